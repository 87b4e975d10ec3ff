// Reading and writing the REGEDIT4 text of the emulated registry. Text values
// are written as "text" only when that gives back exactly the stored bytes
// (one terminating zero, no other zero, no line break); anything else is
// written as hex so that types and sizes survive a save and a load. A line
// break in a value name is written as \n or \r, as the registry editor does.
// The reader takes what the registry editor takes from a hand-edited file:
// blanks and comments around the data, indented lines, one-digit hex bytes,
// deletion lines and a final Ctrl-Z. Reading and writing take time in
// proportion to the text: names are found by halving sorted siblings, and
// a store written in order is read by appending.
#include "registry_store.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace hostwin {

const char kJournalHead[] = "REGEDIT4\r\n\r\n";
const char kEntryEnd[] = "\r\n";

namespace {

const char* const kRootNames[RootCount] = {"HKEY_LOCAL_MACHINE",  "HKEY_CURRENT_USER",
                                           "HKEY_CLASSES_ROOT",   "HKEY_USERS",
                                           "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
const uintptr_t kRootHandles[RootCount] = {0x80000002, 0x80000001, 0x80000000,
                                           0x80000003, 0x80000005, 0x80000006};

unsigned char Lower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c;
}

bool PlainText(const RegValue& v) {
    if (v.type != REG_SZ || v.data.empty() || v.data.back() != 0)
        return false;
    for (size_t i = 0; i + 1 < v.data.size(); ++i)
        if (v.data[i] == 0 || v.data[i] == '\r' || v.data[i] == '\n')
            return false;
    return true;
}

void AppendQuoted(std::string_view text, std::string* out) {
    *out += '"';
    size_t from = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '\\' && c != '"' && c != '\n' && c != '\r')
            continue;
        out->append(text.data() + from, i - from);
        *out += '\\';
        *out += c == '\n' ? 'n' : c == '\r' ? 'r' : c;
        from = i + 1;
    }
    out->append(text.data() + from, text.size() - from);
    *out += '"';
}

void AppendData(const RegValue& v, bool wrap, std::string* out) {
    static const char kHex[] = "0123456789abcdef";
    if (PlainText(v)) {
        AppendQuoted(std::string_view(v.data).substr(0, v.data.size() - 1), out);
        return;
    }
    if (v.type == REG_DWORD && v.data.size() == 4) {
        *out += "dword:";
        for (int i = 3; i >= 0; --i) {
            unsigned char b = static_cast<unsigned char>(v.data[size_t(i)]);
            *out += kHex[b >> 4];
            *out += kHex[b & 15];
        }
        return;
    }
    if (v.type == REG_BINARY) {
        *out += "hex:";
    } else {
        char head[32];
        std::snprintf(head, sizeof head, "hex(%x):", unsigned(v.type));
        *out += head;
    }
    for (size_t i = 0; i < v.data.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(v.data[i]);
        *out += kHex[b >> 4];
        *out += kHex[b & 15];
        if (i + 1 < v.data.size()) {
            *out += ',';
            if (wrap && i % 25 == 24) // regedit wraps long hex data in the same way
                *out += "\\\r\n  ";
        }
    }
}

void AppendValue(const RegValue& v, std::string* out) {
    if (v.name.empty())
        *out += '@';
    else
        AppendQuoted(v.name, out);
    *out += '=';
    AppendData(v, true, out);
    *out += "\r\n";
}

// The text being written: kept whole, or handed on in pieces.
struct Output {
    std::string text;
    const std::function<bool(std::string_view)>* write = nullptr; // null: kept whole
    size_t written = 0;
    bool ok = true;

    void Flush(size_t atLeast) {
        if (!write || text.size() < atLeast)
            return;
        ok = ok && (*write)(text);
        written += text.size();
        text.clear();
    }
};

// `path` holds the key's path on entry and again on return.
void AppendKey(const RegNode& key, std::string* path, bool isRoot, Output* out) {
    if (!isRoot || key.HasValues()) {
        std::string& text = out->text;
        text += '[';
        text += *path;
        text += "]\r\n";
        if (!key.Unread().empty()) // in this very form, checked as it was read
            text.append(key.Unread().data(), key.Unread().size());
        else
            for (const RegValue& v : key.Values())
                AppendValue(v, &text);
        text += "\r\n";
        out->Flush(1 << 16);
    }
    const size_t length = path->size();
    for (const auto& sub : key.subkeys) {
        *path += '\\';
        *path += sub->name;
        AppendKey(*sub, path, false, out);
        path->resize(length);
    }
}

void AppendRegistry(const RegRoots& roots, Output* out) {
    out->text += "REGEDIT4\r\n\r\n";
    std::string path;
    for (const auto& root : roots.keys) {
        path = root->name;
        AppendKey(*root, &path, true, out);
    }
    out->Flush(0);
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
bool ReadQuoted(std::string_view line, size_t* p, std::string* out) {
    if (*p >= line.size() || line[*p] != '"')
        return false;
    size_t from = *p + 1;
    for (size_t i = from; i < line.size(); ++i) {
        char c = line[i];
        if (c != '"' && c != '\\')
            continue;
        out->append(line.data() + from, i - from);
        if (c == '"') {
            *p = i + 1;
            return true;
        }
        const char* escaped = i + 1 < line.size() ? std::strchr("\\\"nr0", line[i + 1]) : nullptr;
        if (!escaped || !*escaped)
            return false;
        *out += "\\\"\n\r"[escaped - "\\\"nr0"];
        from = ++i + 1;
    }
    return false;
}

size_t SkipBlanks(std::string_view text, size_t p) {
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t'))
        ++p;
    return p;
}

std::string_view TrimRight(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Nothing but blanks, or a comment, from p on.
bool RestIsEmpty(std::string_view text, size_t p) {
    p = SkipBlanks(text, p);
    return p == text.size() || text[p] == ';';
}

// Bytes of one or two hex digits, separated by commas.
bool ReadHexBytes(std::string_view text, std::string* out) {
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
size_t DataStart(std::string_view line, std::string* name) {
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

// Parses "name"=data or @=data, without the blanks before it; `line` holds
// any continuation lines joined. "name"=- deletes the value (*remove).
// `p` is where DataStart found the data, and v->name the name it read.
bool ParseValue(std::string_view line, size_t p, RegValue* v, bool* remove, std::string* what) {
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
    std::string_view data = line.substr(p);
    if (!data.empty() && data[0] == '"') {
        size_t q = 0;
        v->data.clear();
        v->data.reserve(data.size()); // one allocation, not one for each escape
        if (!ReadQuoted(data, &q, &v->data) || !RestIsEmpty(data, q)) {
            *what = "bad text value";
            return false;
        }
        v->data += '\0';
        v->type = REG_SZ;
        return true;
    }
    data = TrimRight(data.substr(0, data.find(';')));
    *remove = data == "-";
    if (*remove)
        return true;
    if (data.compare(0, 6, "dword:") == 0) {
        std::string digits(data.substr(6));
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
    std::string head(data.substr(0, colon == std::string::npos ? 0 : colon));
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
bool ParseKeyLine(std::string_view line, RegRoots* roots, RegNode** current, std::string* what) {
    size_t close = line.rfind(']');
    if (close == std::string::npos || !RestIsEmpty(line, close + 1)) {
        *what = "key header without ']'";
        return false;
    }
    const bool remove = line.size() > 1 && line[1] == '-';
    std::string_view path = line.substr(remove ? 2 : 1, close - (remove ? 2 : 1));
    if (path.find('\0') != std::string::npos) {
        *what = "zero byte in a key name";
        return false;
    }
    size_t slash = path.find('\\');
    RegNode* node = roots->ByName(path.substr(0, slash));
    if (!node) {
        *what = "unknown root key in [" + std::string(path) + "]";
        return false;
    }
    *current = nullptr;
    while (slash != std::string::npos) {
        size_t next = path.find('\\', slash + 1);
        std::string_view name = path.substr(
            slash + 1, next == std::string::npos ? std::string::npos : next - slash - 1);
        if (name.empty() || name.size() > 255) {
            *what = (name.empty() ? "empty key name in [" : "key name over 255 characters in [") +
                    std::string(path) + "]";
            return false;
        }
        std::shared_ptr<RegNode> sub = node->FindSubkey(name);
        if (!sub && remove)
            return true; // nothing to delete
        if (!sub) {
            sub = std::make_shared<RegNode>();
            sub->name = std::string(name);
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
        *what = "a root key cannot be deleted: [" + std::string(path) + "]";
        return false;
    }
    node->parent->RemoveSubkey(node);
    return true;
}

// The next line from *at, without its line end; false at the end.
bool NextLine(std::string_view text, size_t* at, std::string_view* line) {
    if (*at >= text.size())
        return false;
    size_t end = text.find('\n', *at);
    if (end == std::string::npos)
        end = text.size();
    *line = text.substr(*at, end - *at);
    if (!line->empty() && line->back() == '\r')
        line->remove_suffix(1);
    *at = end + 1;
    return true;
}

template <typename T, typename Name>
size_t LowerBound(const std::vector<T>& items, std::string_view name, Name nameOf) {
    // Items come mostly in order: try the end first.
    if (items.empty() || CompareNames(nameOf(items.back()), name) < 0)
        return items.size();
    size_t low = 0, high = items.size();
    while (low < high) {
        size_t mid = (low + high) / 2;
        if (CompareNames(nameOf(items[mid]), name) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

std::string_view ValueName(const RegValue& v) {
    return v.name;
}

std::string_view KeyName(const std::shared_ptr<RegNode>& k) {
    return k->name;
}

} // namespace

int CompareNames(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = Lower(static_cast<unsigned char>(a[i]));
        unsigned char y = Lower(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

const std::vector<RegValue>& RegNode::Values() const {
    if (!unread_.empty())
        ReadUnread();
    return values_;
}

std::vector<RegValue>& RegNode::MutableValues() {
    if (!unread_.empty())
        ReadUnread();
    return values_;
}

bool RegNode::HasValues() const {
    return !unread_.empty() || !values_.empty();
}

RegValue* RegNode::FindValue(std::string_view n) {
    std::vector<RegValue>& values = MutableValues();
    size_t at = LowerBound(values, n, ValueName);
    return at < values.size() && CompareNames(values[at].name, n) == 0 ? &values[at] : nullptr;
}

RegValue* RegNode::SetValue(RegValue v) {
    std::vector<RegValue>& values = MutableValues();
    size_t at = LowerBound(values, v.name, ValueName);
    if (at < values.size() && CompareNames(values[at].name, v.name) == 0) {
        values[at].type = v.type;
        values[at].data = std::move(v.data);
    } else {
        values.insert(values.begin() + long(at), std::move(v));
    }
    return &values[at];
}

bool RegNode::RemoveValue(std::string_view n) {
    RegValue* v = FindValue(n);
    if (v)
        values_.erase(values_.begin() + (v - values_.data()));
    return v != nullptr;
}

void RegNode::SetUnread(std::string_view lines, std::shared_ptr<const void> keep) {
    unread_ = lines;
    keep_ = std::move(keep);
}

std::shared_ptr<RegNode> RegNode::FindSubkey(std::string_view n) const {
    size_t at = LowerBound(subkeys, n, KeyName);
    return at < subkeys.size() && CompareNames(subkeys[at]->name, n) == 0 ? subkeys[at] : nullptr;
}

void RegNode::AddSubkey(const std::shared_ptr<RegNode>& key) {
    key->parent = this;
    subkeys.insert(subkeys.begin() + long(LowerBound(subkeys, key->name, KeyName)), key);
}

void RegNode::RemoveSubkey(const RegNode* key) {
    size_t at = LowerBound(subkeys, key->name, KeyName);
    if (at < subkeys.size() && subkeys[at].get() == key)
        subkeys.erase(subkeys.begin() + long(at));
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

RegNode* RegRoots::ByName(std::string_view name) const {
    for (int i = 0; i < RootCount; ++i)
        if (CompareNames(name, kRootNames[i]) == 0)
            return keys[i].get();
    return nullptr;
}

std::string FormatRegistry(const RegRoots& roots) {
    Output out;
    AppendRegistry(roots, &out);
    return std::move(out.text);
}

bool WriteRegistry(const RegRoots& roots, const std::function<bool(std::string_view)>& write,
                   size_t* size) {
    Output out;
    out.write = &write;
    AppendRegistry(roots, &out);
    *size = out.written;
    return out.ok;
}

std::string FormatValueName(const std::string& name) {
    if (name.empty())
        return "@";
    std::string out;
    AppendQuoted(name, &out);
    return out;
}

std::string FormatValueData(const RegValue& value, bool wrap) {
    std::string out;
    AppendData(value, wrap, &out);
    return out;
}

namespace {

// Reads the value line `line` (the blanks before it taken off) and the
// continuation lines that follow it from *at on, counted in *number. `v`
// and `joined` are reused from line to line.
bool ReadValue(std::string_view text, size_t* at, std::string_view line, size_t* number,
               RegValue* v, bool* remove, std::string* joined, std::string* what) {
    v->name.clear();
    v->data.clear();
    v->type = REG_NONE;
    *remove = false;
    std::string_view whole = line;
    const size_t data = DataStart(line, &v->name);
    if (data >= line.size() || line[data] != '"') {
        // Only other data than text is wrapped onto continuation lines.
        whole = TrimRight(line);
        if (!whole.empty() && whole.back() == '\\') {
            joined->assign(whole.data(), whole.size());
            std::string_view next;
            while (!joined->empty() && joined->back() == '\\' && NextLine(text, at, &next)) {
                ++*number;
                joined->pop_back();
                next = TrimRight(next);
                joined->append(next.data(), next.size());
            }
            whole = *joined;
        }
    }
    return ParseValue(whole, data == std::string::npos ? data : std::min(data, whole.size()), v,
                      remove, what);
}

// Where the quoted text at `p` ends when the store writes it in just this
// form: every escape one that the writer makes, nothing it would escape left
// bare, and in a value's data neither a zero nor a line break, which the
// writer gives as hex. npos otherwise.
size_t QuotedInStoreForm(std::string_view line, size_t p, bool data) {
    if (p >= line.size() || line[p] != '"')
        return std::string::npos;
    for (size_t i = p + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"')
            return i + 1;
        if (c == '\r' || c == '\0')
            return std::string::npos;
        if (c == '\\') {
            const char e = i + 1 < line.size() ? line[i + 1] : '\0';
            if (e != '\\' && e != '"' && (data || (e != 'n' && e != 'r')))
                return std::string::npos;
            ++i;
        }
    }
    return std::string::npos;
}

// A text value's whole line, its line end included, exactly as the store
// writes it: "name"="text" or @="text". This answers at the speed of reading
// for the common case; other data is formatted and compared.
bool InStoreForm(std::string_view line) {
    size_t p = line.empty() ? 0 : line[0] == '@' ? 1 : QuotedInStoreForm(line, 0, false);
    if (p == 0 || p == 2 || p == std::string::npos) // "" is written as @
        return false;
    if (p >= line.size() || line[p] != '=')
        return false;
    p = QuotedInStoreForm(line, p + 1, true);
    return p != std::string::npos && line.substr(p) == "\r\n";
}

// The value lines kept unread for one key while they are in the very form
// the store writes them: sorted, each name once, nothing between them.
struct UnreadLines {
    RegNode* key = nullptr;
    size_t from = 0, to = 0;
    std::string last, form; // the last name; a value as the store writes it

    void Start(RegNode* node, size_t at) {
        key = node;
        from = to = at;
        last.clear();
    }
    // Takes the value at text[start, at) when it is in that form.
    bool Take(std::string_view text, size_t start, size_t at, const RegValue& v) {
        const std::string_view line = text.substr(start, at - start);
        if (to > from && CompareNames(last, v.name) >= 0)
            return false;
        if (!InStoreForm(line)) {
            form.clear();
            AppendValue(v, &form);
            if (line != form)
                return false;
        }
        to = at;
        last = v.name;
        return true;
    }
    void End(std::string_view text, const std::shared_ptr<const void>& keep) {
        if (key && to > from)
            key->SetUnread(text.substr(from, to - from), keep);
        key = nullptr;
    }
};

} // namespace

void RegNode::ReadUnread() const {
    const std::string_view text = unread_;
    unread_ = {};
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i)
        count += (text[i] == '"' || text[i] == '@') && (i == 0 || text[i - 1] == '\n');
    values_.reserve(values_.size() + count);
    // Checked when the store was read: sorted, each name once, no deletion.
    size_t at = 0, number = 0;
    std::string_view line;
    std::string joined, what;
    RegValue v;
    bool remove = false;
    while (NextLine(text, &at, &line))
        if (ReadValue(text, &at, line, &number, &v, &remove, &joined, &what) && !remove)
            values_.push_back(std::move(v));
    keep_.reset();
}

bool ParseRegistry(std::string_view text, RegRoots* roots, std::string* error,
                   const std::shared_ptr<const void>& keep) {
    // A final Ctrl-Z, as DOS editors end a file, is not part of the text.
    if (!text.empty() && text.back() == '\x1a')
        text.remove_suffix(1);
    size_t at = 0, number = 0; // number: of the line last read, from 1
    std::string_view line;
    auto fail = [&](size_t lineNumber, const std::string& what) {
        if (error)
            *error = "line " + std::to_string(lineNumber) + ": " + what;
        return false;
    };
    if (!NextLine(text, &at, &line) || line != "REGEDIT4")
        return fail(1, "the store does not begin with REGEDIT4");
    number = 1;
    RegNode* current = nullptr;
    UnreadLines unread;
    std::string what, joined;
    RegValue v;
    for (size_t start = at; NextLine(text, &at, &line); start = at) {
        ++number;
        line.remove_prefix(SkipBlanks(line, 0));
        if (line.empty() || line[0] == ';') {
            unread.End(text, keep);
            continue;
        }
        if (line[0] == '[') {
            unread.End(text, keep);
            if (!ParseKeyLine(line, roots, &current, &what))
                return fail(number, what);
            if (keep && current && !current->HasValues())
                unread.Start(current, at);
            continue;
        }
        if (!current)
            return fail(number, "value outside a key");
        const size_t first = number;
        bool remove = false;
        if (!ReadValue(text, &at, line, &number, &v, &remove, &joined, &what))
            return fail(first, what);
        if (unread.key && !remove && unread.Take(text, start, at, v))
            continue;
        unread.End(text, keep); // what follows is read at once, after what was kept
        if (remove)
            current->RemoveValue(v.name);
        else
            current->SetValue(v);
    }
    unread.End(text, keep);
    return true;
}

std::string KeyMadeEntry(const RegNode& key) {
    return "[" + key.FullPath() + "]\r\n";
}

std::string ValueSetEntry(const RegNode& key, const RegValue& value) {
    std::string out = KeyMadeEntry(key);
    AppendValue(value, &out);
    return out;
}

std::string KeyDeletedEntry(const std::string& path) {
    return "[-" + path + "]\r\n";
}

std::string ValueDeletedEntry(const RegNode& key, const std::string& name) {
    std::string out = KeyMadeEntry(key);
    if (name.empty())
        out += '@';
    else
        AppendQuoted(name, &out);
    return out + "=-\r\n";
}

size_t WholeJournalEntries(std::string_view journal) {
    if (journal.compare(0, sizeof kJournalHead - 1, kJournalHead) != 0)
        return 0;
    size_t end = journal.rfind("\r\n\r\n");
    return end == std::string::npos ? 0 : end + 4;
}

} // namespace hostwin
