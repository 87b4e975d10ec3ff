// Reading and writing the REGEDIT4 text of the emulated registry. Text values
// are written as "text" only when that gives back exactly the stored bytes
// (one terminating zero, no other zero, no line break); anything else is
// written as hex so that types and sizes survive a save and a load.
#include "registry_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace hostwin {

namespace {

const char* const kRootNames[RootCount] = {"HKEY_LOCAL_MACHINE",  "HKEY_CURRENT_USER",
                                           "HKEY_CLASSES_ROOT",   "HKEY_USERS",
                                           "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
const uintptr_t kRootHandles[RootCount] = {0x80000002, 0x80000001, 0x80000000,
                                           0x80000003, 0x80000005, 0x80000006};

bool PlainText(const RegValue& v) {
    if (v.type != REG_SZ || v.data.empty() || v.data.back() != 0)
        return false;
    for (size_t i = 0; i + 1 < v.data.size(); ++i)
        if (v.data[i] == 0 || v.data[i] == '\r' || v.data[i] == '\n')
            return false;
    return true;
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

void FormatValue(const RegValue& v, std::string* out) {
    std::string line = v.name.empty() ? "@" : Quote(v.name);
    line += '=';
    if (PlainText(v)) {
        line += Quote(v.data.substr(0, v.data.size() - 1));
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        unsigned char b[4];
        std::memcpy(b, v.data.data(), 4);
        char hex[16];
        std::snprintf(hex, sizeof hex, "dword:%02x%02x%02x%02x", b[3], b[2], b[1], b[0]);
        line += hex;
    } else {
        char head[32];
        if (v.type == REG_BINARY)
            std::snprintf(head, sizeof head, "hex:");
        else
            std::snprintf(head, sizeof head, "hex(%x):", unsigned(v.type));
        line += head;
        for (size_t i = 0; i < v.data.size(); ++i) {
            char byte[8];
            std::snprintf(byte, sizeof byte, "%02x",
                          unsigned(static_cast<unsigned char>(v.data[i])));
            line += byte;
            if (i + 1 < v.data.size()) {
                line += ',';
                if (i % 25 == 24) // regedit wraps long hex data in the same way
                    line += "\\\r\n  ";
            }
        }
    }
    *out += line + "\r\n";
}

void FormatKey(const RegNode& key, const std::string& path, bool isRoot, std::string* out) {
    if (!isRoot || !key.values.empty()) {
        *out += "[" + path + "]\r\n";
        std::vector<const RegValue*> values;
        for (const RegValue& v : key.values)
            values.push_back(&v);
        std::sort(values.begin(), values.end(), [](const RegValue* a, const RegValue* b) {
            return CompareNames(a->name, b->name) < 0;
        });
        for (const RegValue* v : values)
            FormatValue(*v, out);
        *out += "\r\n";
    }
    for (const auto& sub : key.subkeys)
        FormatKey(*sub, path + "\\" + sub->name, false, out);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads a quoted text at *p; answers false when it is not closed.
bool ReadQuoted(const std::string& line, size_t* p, std::string* out) {
    if (*p >= line.size() || line[*p] != '"')
        return false;
    for (size_t i = *p + 1; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') {
            *p = i + 1;
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= line.size() || (line[i + 1] != '\\' && line[i + 1] != '"'))
                return false;
            c = line[++i];
        }
        *out += c;
    }
    return false;
}

bool ReadHexBytes(const std::string& text, std::string* out) {
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i == text.size())
            break;
        if (i + 1 >= text.size() || HexDigit(text[i]) < 0 || HexDigit(text[i + 1]) < 0)
            return false;
        *out += char(HexDigit(text[i]) * 16 + HexDigit(text[i + 1]));
        i += 2;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i < text.size() && text[i++] != ',')
            return false;
    }
    return true;
}

// Whether the line holds a "text" value: only other data is wrapped onto
// continuation lines. Judged after the name, which may itself hold =".
bool IsTextValue(const std::string& line) {
    size_t p = 0;
    std::string name;
    if (line[0] == '@')
        p = 1;
    else if (!ReadQuoted(line, &p, &name))
        return false;
    return p + 1 < line.size() && line[p] == '=' && line[p + 1] == '"';
}

// Parses "name"=data or @=data; `line` holds any continuation lines joined.
bool ParseValue(const std::string& line, RegValue* v, std::string* what) {
    size_t p = 0;
    if (line[0] == '@') {
        p = 1;
    } else if (!ReadQuoted(line, &p, &v->name) || v->name.find('\0') != std::string::npos) {
        // No registry call can make or reach a name with a zero byte, and
        // names compared as C strings would sort such names at random.
        *what = "bad value name";
        return false;
    }
    if (p >= line.size() || line[p] != '=') {
        *what = "'=' expected after the value name";
        return false;
    }
    std::string data = line.substr(p + 1);
    if (!data.empty() && data[0] == '"') {
        size_t q = 0;
        std::string text;
        if (!ReadQuoted(data, &q, &text) || q != data.size()) {
            *what = "bad text value";
            return false;
        }
        v->type = REG_SZ;
        v->data = text + '\0';
        return true;
    }
    if (data.compare(0, 6, "dword:") == 0) {
        std::string digits = data.substr(6);
        if (digits.empty() || digits.size() > 8 ||
            digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
            *what = "bad dword value";
            return false;
        }
        uint32_t n = uint32_t(std::strtoul(digits.c_str(), nullptr, 16));
        v->type = REG_DWORD;
        v->data.assign(reinterpret_cast<const char*>(&n), 4);
        return true;
    }
    size_t colon = data.find(':');
    std::string head = data.substr(0, colon == std::string::npos ? 0 : colon);
    if (head == "hex") {
        v->type = REG_BINARY;
    } else if (head.size() > 5 && head.compare(0, 4, "hex(") == 0 && head.back() == ')' &&
               head.find_first_not_of("0123456789abcdefABCDEF", 4) == head.size() - 1) {
        v->type = DWORD(std::strtoul(head.c_str() + 4, nullptr, 16));
    } else {
        *what = "unknown value type";
        return false;
    }
    if (!ReadHexBytes(data.substr(colon + 1), &v->data)) {
        *what = "bad hex data";
        return false;
    }
    return true;
}

} // namespace

int CompareNames(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str());
}

RegValue* RegNode::FindValue(const std::string& n) {
    for (RegValue& v : values)
        if (CompareNames(v.name, n) == 0 && v.name.size() == n.size())
            return &v;
    return nullptr;
}

std::shared_ptr<RegNode> RegNode::FindSubkey(const std::string& n) const {
    for (const auto& k : subkeys)
        if (k->name.size() == n.size() && CompareNames(k->name, n) == 0)
            return k;
    return nullptr;
}

void RegNode::AddSubkey(const std::shared_ptr<RegNode>& key) {
    key->parent = this;
    auto at =
        std::upper_bound(subkeys.begin(), subkeys.end(), key,
                         [](const std::shared_ptr<RegNode>& a, const std::shared_ptr<RegNode>& b) {
                             return CompareNames(a->name, b->name) < 0;
                         });
    subkeys.insert(at, key);
}

void RegNode::RemoveSubkey(const RegNode* key) {
    for (size_t i = 0; i < subkeys.size(); ++i) {
        if (subkeys[i].get() == key) {
            subkeys.erase(subkeys.begin() + long(i));
            return;
        }
    }
}

std::string RegNode::FullPath() const {
    return parent ? parent->FullPath() + "\\" + name : name;
}

RegRoots::RegRoots() {
    for (int i = 0; i < RootCount; ++i) {
        keys[i] = std::make_shared<RegNode>();
        keys[i]->name = kRootNames[i];
    }
}

RegNode* RegRoots::ByHandle(HKEY handle) const {
    for (int i = 0; i < RootCount; ++i)
        if (reinterpret_cast<uintptr_t>(handle) == kRootHandles[i])
            return keys[i].get();
    return nullptr;
}

RegNode* RegRoots::ByName(const std::string& name) const {
    for (int i = 0; i < RootCount; ++i)
        if (CompareNames(name, kRootNames[i]) == 0)
            return keys[i].get();
    return nullptr;
}

std::string FormatRegistry(const RegRoots& roots) {
    std::string out = "REGEDIT4\r\n\r\n";
    for (const auto& root : roots.keys)
        FormatKey(*root, root->name, true, &out);
    return out;
}

bool ParseRegistry(const std::string& text, RegRoots* roots, std::string* error) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    auto fail = [&](size_t index, const std::string& what) {
        if (error)
            *error = "line " + std::to_string(index + 1) + ": " + what;
        return false;
    };
    if (lines.empty() || lines[0] != "REGEDIT4")
        return fail(0, "the store does not begin with REGEDIT4");
    RegNode* current = nullptr;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            if (close == std::string::npos || close != line.size() - 1)
                return fail(i, "key header without ']'");
            std::string path = line.substr(1, close - 1);
            if (path.find('\0') != std::string::npos)
                return fail(i, "zero byte in a key name");
            size_t slash = path.find('\\');
            current = roots->ByName(path.substr(0, slash));
            if (!current)
                return fail(i, "unknown root key in [" + path + "]");
            while (slash != std::string::npos) {
                size_t next = path.find('\\', slash + 1);
                std::string name = path.substr(
                    slash + 1, next == std::string::npos ? std::string::npos : next - slash - 1);
                if (name.empty())
                    return fail(i, "empty key name in [" + path + "]");
                std::shared_ptr<RegNode> sub = current->FindSubkey(name);
                if (!sub) {
                    sub = std::make_shared<RegNode>();
                    sub->name = name;
                    current->AddSubkey(sub);
                }
                current = sub.get();
                slash = next;
            }
            continue;
        }
        if (!current)
            return fail(i, "value before the first key header");
        size_t first = i;
        std::string joined = line;
        const bool text = IsTextValue(line);
        while (!text && !joined.empty() && joined.back() == '\\' && i + 1 < lines.size()) {
            joined.pop_back();
            joined += lines[++i];
        }
        RegValue v;
        std::string what;
        if (!ParseValue(joined, &v, &what))
            return fail(first, what);
        if (RegValue* old = current->FindValue(v.name))
            *old = v;
        else
            current->values.push_back(v);
    }
    return true;
}

} // namespace hostwin
