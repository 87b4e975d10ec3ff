// Reading and writing the REGEDIT4 text of the emulated registry. Text values
// are written as "text" only when that gives back exactly the stored bytes
// (one terminating zero, no other zero, no line break); anything else is
// written as hex so that types and sizes survive a save and a load. A line
// break in a value name is written as \n or \r, as the registry editor does.
// The reader takes what the registry editor takes from a hand-edited file:
// blanks and comments around the data, indented lines, one-digit hex bytes,
// deletion lines and a final Ctrl-Z.
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
        if (c == '\\' || c == '"' || c == '\n' || c == '\r')
            out += '\\';
        out += c == '\n' ? 'n' : c == '\r' ? 'r' : c;
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
            const char* escaped =
                i + 1 < line.size() ? std::strchr("\\\"nr0", line[i + 1]) : nullptr;
            if (!escaped || !*escaped)
                return false;
            c = "\\\"\n\r"[escaped - "\\\"nr0"];
            ++i;
        }
        *out += c;
    }
    return false;
}

size_t SkipBlanks(const std::string& text, size_t p) {
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t'))
        ++p;
    return p;
}

std::string TrimRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

// Nothing but blanks, or a comment, from p on.
bool RestIsEmpty(const std::string& text, size_t p) {
    p = SkipBlanks(text, p);
    return p == text.size() || text[p] == ';';
}

// Bytes of one or two hex digits, separated by commas.
bool ReadHexBytes(const std::string& text, std::string* out) {
    size_t i = 0;
    while ((i = SkipBlanks(text, i)) < text.size()) {
        int value = 0, digits = 0;
        for (; i < text.size() && HexDigit(text[i]) >= 0 && digits < 3; ++i, ++digits)
            value = value * 16 + HexDigit(text[i]);
        if (digits == 0 || digits > 2)
            return false;
        *out += char(value);
        i = SkipBlanks(text, i);
        if (i < text.size() && text[i++] != ',')
            return false;
    }
    return true;
}

// Where the data of a value line begins: past the name, the "=" and the
// blanks around it; npos when the line has no such shape.
size_t DataStart(const std::string& line, std::string* name) {
    size_t p = 0;
    if (line[0] == '@')
        p = 1;
    else if (!ReadQuoted(line, &p, name))
        return std::string::npos;
    p = SkipBlanks(line, p);
    if (p >= line.size() || line[p] != '=')
        return std::string::npos;
    return SkipBlanks(line, p + 1);
}

// Whether the line holds a "text" value: only other data is wrapped onto
// continuation lines. Judged after the name, which may itself hold =".
bool IsTextValue(const std::string& line) {
    std::string name;
    size_t p = DataStart(line, &name);
    return p < line.size() && line[p] == '"';
}

// Parses "name"=data or @=data, without the blanks before it; `line` holds
// any continuation lines joined. "name"=- deletes the value (*remove).
bool ParseValue(const std::string& line, RegValue* v, bool* remove, std::string* what) {
    size_t p = DataStart(line, &v->name);
    if (line[0] == '"' && (p == std::string::npos || v->name.find('\0') != std::string::npos)) {
        // No registry call can make or reach a name with a zero byte, and
        // names compared as C strings would sort such names at random.
        *what = v->name.find('\0') != std::string::npos ? "bad value name"
                                                        : "'=' expected after the value name";
        return false;
    }
    if (p == std::string::npos) {
        *what = "'=' expected after the value name";
        return false;
    }
    std::string data = line.substr(p);
    if (!data.empty() && data[0] == '"') {
        size_t q = 0;
        std::string text;
        if (!ReadQuoted(data, &q, &text) || !RestIsEmpty(data, q)) {
            *what = "bad text value";
            return false;
        }
        v->type = REG_SZ;
        v->data = text + '\0';
        return true;
    }
    data = TrimRight(data.substr(0, data.find(';')));
    *remove = data == "-";
    if (*remove)
        return true;
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
        unsigned long long type = std::strtoull(head.c_str() + 4, nullptr, 16);
        if (type > 0xffffffffull) {
            *what = "value type wider than 32 bits";
            return false;
        }
        v->type = DWORD(type);
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

// A key header "[path]", which opens the key (made where missing), or a
// deletion "[-path]", which deletes it with its subkeys and opens none.
// False with *what for a line that is neither.
bool ParseKeyLine(const std::string& line, RegRoots* roots, RegNode** current, std::string* what) {
    size_t close = line.rfind(']');
    if (close == std::string::npos || !RestIsEmpty(line, close + 1)) {
        *what = "key header without ']'";
        return false;
    }
    const bool remove = line.size() > 1 && line[1] == '-';
    std::string path = line.substr(remove ? 2 : 1, close - (remove ? 2 : 1));
    if (path.find('\0') != std::string::npos) {
        *what = "zero byte in a key name";
        return false;
    }
    size_t slash = path.find('\\');
    RegNode* node = roots->ByName(path.substr(0, slash));
    if (!node) {
        *what = "unknown root key in [" + path + "]";
        return false;
    }
    *current = nullptr;
    while (slash != std::string::npos) {
        size_t next = path.find('\\', slash + 1);
        std::string name = path.substr(slash + 1, next == std::string::npos ? std::string::npos
                                                                            : next - slash - 1);
        if (name.empty() || name.size() > 255) {
            *what = (name.empty() ? "empty key name in [" : "key name over 255 characters in [") +
                    path + "]";
            return false;
        }
        std::shared_ptr<RegNode> sub = node->FindSubkey(name);
        if (!sub && remove)
            return true; // nothing to delete
        if (!sub) {
            sub = std::make_shared<RegNode>();
            sub->name = name;
            node->AddSubkey(sub);
        }
        node = sub.get();
        slash = next;
    }
    if (!remove) {
        *current = node;
        return true;
    }
    if (!node->parent) {
        *what = "a root key cannot be deleted: [" + path + "]";
        return false;
    }
    node->parent->RemoveSubkey(node);
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
    // A final Ctrl-Z, as DOS editors end a file, is not part of the text.
    size_t size = text.size() - (!text.empty() && text.back() == '\x1a' ? 1 : 0);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < size) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos || end > size)
            end = size;
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
    std::string what;
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string line = lines[i].substr(SkipBlanks(lines[i], 0));
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (!ParseKeyLine(line, roots, &current, &what))
                return fail(i, what);
            continue;
        }
        if (!current)
            return fail(i, "value outside a key");
        size_t first = i;
        const bool isText = IsTextValue(line);
        std::string joined = isText ? line : TrimRight(line);
        while (!isText && !joined.empty() && joined.back() == '\\' && i + 1 < lines.size()) {
            joined.pop_back();
            joined += TrimRight(lines[++i]);
        }
        RegValue v;
        bool remove = false;
        if (!ParseValue(joined, &v, &remove, &what))
            return fail(first, what);
        RegValue* old = current->FindValue(v.name);
        if (remove && old)
            current->values.erase(current->values.begin() + (old - current->values.data()));
        else if (old && !remove)
            *old = v;
        else if (!remove)
            current->values.push_back(v);
    }
    return true;
}

} // namespace hostwin
