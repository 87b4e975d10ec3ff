// Embeds the resources of an .rc tree into the host build: the string
// tables, the dialog templates (compiled to the same binary layout windres
// writes) and the custom resources that name a file. Understands the subset
// of the resource language our .rc files use: #include "file" (each file
// once), #define NAME value, STRINGTABLE, "<id> DIALOG" with STYLE, CAPTION,
// FONT, CONTROL and ICON statements, and "<id> <TYPE> \"file\"". An id or a
// number may be a sum of numbers and names, in parentheses or not. Text
// bytes are kept as written (code page 1251).
// Usage: rc-embed SETUP.RC OUTPUT.CPP
#include "little_endian.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Resource {
    std::string type; // "FD", "MF", "#5" for a dialog
    unsigned id;
    Bytes data;
};

std::vector<Resource> g_resources;
std::map<unsigned, std::string> g_strings;
std::map<std::string, long> g_defines;
std::set<std::string> g_included;
std::string g_error;

const std::map<std::string, uint32_t>& Constants() {
    static const std::map<std::string, uint32_t> table = {
        {"WS_POPUP", 0x80000000},
        {"WS_CHILD", 0x40000000},
        {"WS_VISIBLE", 0x10000000},
        {"WS_DISABLED", 0x08000000},
        {"WS_CAPTION", 0x00C00000},
        {"WS_BORDER", 0x00800000},
        {"WS_VSCROLL", 0x00200000},
        {"WS_HSCROLL", 0x00100000},
        {"WS_SYSMENU", 0x00080000},
        {"WS_GROUP", 0x00020000},
        {"WS_TABSTOP", 0x00010000},
        {"DS_MODALFRAME", 0x80},
        {"DS_SETFONT", 0x40},
        {"BS_PUSHBUTTON", 0},
        {"BS_DEFPUSHBUTTON", 1},
        {"BS_AUTOCHECKBOX", 3},
        {"BS_GROUPBOX", 7},
        {"BS_OWNERDRAW", 11},
        {"SS_LEFT", 0},
        {"SS_CENTER", 1},
        {"SS_RIGHT", 2},
        {"SS_ICON", 3},
        {"SS_BLACKFRAME", 7},
        {"SS_WHITEFRAME", 9},
        {"SS_NOPREFIX", 0x80},
        {"ES_LEFT", 0},
        {"ES_AUTOHSCROLL", 0x80},
        {"ES_OEMCONVERT", 0x400},
        {"LBS_NOTIFY", 1},
        {"LBS_SORT", 2},
        {"LBS_OWNERDRAWFIXED", 0x10},
        {"LBS_HASSTRINGS", 0x40},
        {"LBS_DISABLENOSCROLL", 0x1000},
        {"CBS_DROPDOWNLIST", 3},
        {"CBS_OWNERDRAWFIXED", 0x10},
        {"CBS_AUTOHSCROLL", 0x40},
        {"CBS_SORT", 0x100},
        {"CBS_HASSTRINGS", 0x200},
        {"IDOK", 1},
        {"IDCANCEL", 2},
    };
    return table;
}

void Align4(Bytes& b) {
    while (b.size() % 4)
        b.push_back(0);
}

// Code page 1251 to UTF-16 for the letters our texts use; windres does the
// same through the code page the .rc file declares.
unsigned Utf16(uint8_t c) {
    if (c < 0x80)
        return c;
    if (c >= 0xC0)
        return 0x410 + (c - 0xC0);
    if (c == 0xA8)
        return 0x401;
    if (c == 0xB8)
        return 0x451;
    return '?';
}
void WideText(Bytes& b, const std::string& text) {
    for (unsigned char c : text)
        Word(b, Utf16(c));
    Word(b, 0);
}

// A line split into tokens: quoted strings (unescaped, marked by a leading
// '"'), words, numbers and the punctuation ',', '|', '+', '(' and ')'.
std::vector<std::string> Tokens(const std::string& line) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '/' && i + 1 < line.size() && line[i + 1] == '/') {
            break;
        } else if (c == '"') {
            std::string text = "\"";
            for (++i; i < line.size(); ++i) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        text += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (line[i] == '\\' && i + 1 < line.size()) {
                    char e = line[++i];
                    text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
                    continue;
                }
                text += line[i];
            }
            out.push_back(text);
        } else if (std::strchr(",|+()", c)) {
            out.push_back(std::string(1, c));
            ++i;
        } else {
            size_t start = i;
            while (i < line.size() && !std::strchr(" \t\r,|+()\"", line[i]))
                ++i;
            out.push_back(line.substr(start, i - start));
        }
    }
    return out;
}

bool IsNumber(const std::string& t) {
    return !t.empty() && (isdigit(static_cast<unsigned char>(t[0])) || t[0] == '-');
}

// Arguments of a statement: the tokens between commas, each a list of tokens.
std::vector<std::vector<std::string>> Arguments(const std::vector<std::string>& tokens,
                                                size_t from) {
    std::vector<std::vector<std::string>> args(1);
    for (size_t i = from; i < tokens.size(); ++i) {
        if (tokens[i] == ",")
            args.emplace_back();
        else
            args.back().push_back(tokens[i]);
    }
    return args;
}

bool Style(const std::vector<std::string>& expr, uint32_t* style) {
    bool negate = false;
    for (const std::string& t : expr) {
        if (t == "|")
            continue;
        if (t == "NOT") {
            negate = true;
            continue;
        }
        uint32_t value;
        if (IsNumber(t)) {
            value = uint32_t(std::strtoul(t.c_str(), nullptr, 0));
        } else {
            auto found = Constants().find(t);
            if (found == Constants().end()) {
                g_error = "unknown style " + t;
                return false;
            }
            value = found->second;
        }
        *style = negate ? (*style & ~value) : (*style | value);
        negate = false;
    }
    return true;
}

void Fail(const std::string& why) {
    if (g_error.empty())
        g_error = why;
}

long Sum(const std::vector<std::string>& expr, size_t* at);

long Term(const std::vector<std::string>& expr, size_t* at) {
    if (*at >= expr.size()) {
        Fail("a number is missing");
        return 0;
    }
    const std::string& t = expr[(*at)++];
    if (t == "(") {
        long value = Sum(expr, at);
        if (*at >= expr.size() || expr[(*at)++] != ")")
            Fail("a ) is missing");
        return value;
    }
    if (t == "-")
        return -Term(expr, at);
    if (IsNumber(t))
        return std::strtol(t.c_str(), nullptr, 0);
    auto defined = g_defines.find(t);
    if (defined != g_defines.end())
        return defined->second;
    auto constant = Constants().find(t);
    if (constant != Constants().end())
        return long(constant->second);
    Fail("unknown name " + t);
    return 0;
}

long Sum(const std::vector<std::string>& expr, size_t* at) {
    long value = Term(expr, at);
    while (*at < expr.size() && (expr[*at] == "+" || expr[*at] == "-")) {
        bool minus = expr[(*at)++] == "-";
        long next = Term(expr, at);
        value = minus ? value - next : value + next;
    }
    return value;
}

// A number, a name or a sum of them, as windres reads ids and coordinates;
// what it cannot read sets g_error.
int Number(const std::vector<std::string>& arg) {
    size_t at = 0;
    long value = Sum(arg, &at);
    if (at != arg.size())
        Fail("cannot read the number " + arg[at]);
    return int(value);
}

struct Control {
    uint32_t style;
    int x, y, cx, cy, id;
    std::string className; // empty: the atom below
    unsigned atom;
    std::string text;
    int ordinal; // >= 0: the text is this resource ordinal
};

void AddDialog(unsigned id, uint32_t style, const std::vector<int>& box, const std::string& caption,
               int points, const std::string& face, const std::vector<Control>& controls) {
    Bytes b;
    Dword(b, style);
    Dword(b, 0);
    Word(b, unsigned(controls.size()));
    for (int v : box)
        Word(b, unsigned(v));
    Word(b, 0); // no menu
    Word(b, 0); // the dialog class
    WideText(b, caption);
    if (style & 0x40) {
        Word(b, unsigned(points));
        WideText(b, face);
    }
    for (const Control& c : controls) {
        Align4(b);
        Dword(b, c.style);
        Dword(b, 0);
        for (int v : {c.x, c.y, c.cx, c.cy, c.id})
            Word(b, unsigned(v));
        if (c.className.empty()) {
            Word(b, 0xFFFF);
            Word(b, c.atom);
        } else {
            WideText(b, c.className);
        }
        if (c.ordinal >= 0) {
            Word(b, 0xFFFF);
            Word(b, unsigned(c.ordinal));
        } else {
            WideText(b, c.text);
        }
        Word(b, 0); // no creation data
    }
    g_resources.push_back({"#5", id, b});
}

bool ReadFileBytes(const std::string& path, Bytes* out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream s;
    s << in.rdbuf();
    std::string text = s.str();
    out->assign(text.begin(), text.end());
    return true;
}

bool ParseFile(const std::string& path);

// The next statement of a BEGIN ... END block starting after line *n;
// false at its END (or the end of the file).
bool NextInBlock(const std::vector<std::string>& lines, size_t* n, std::vector<std::string>* s) {
    while (++*n < lines.size()) {
        *s = Tokens(lines[*n]);
        if (s->empty() || (*s)[0] == "BEGIN")
            continue;
        return (*s)[0] != "END";
    }
    return false;
}

// "#define NAME value": a name for the ids and numbers that follow.
bool Define(const std::vector<std::string>& t) {
    if (t.size() < 3) {
        Fail("bad #define");
        return false;
    }
    long value = Number(std::vector<std::string>(t.begin() + 2, t.end()));
    auto old = g_defines.find(t[1]);
    if (old != g_defines.end() && old->second != value)
        Fail(t[1] + " defined twice");
    g_defines[t[1]] = value;
    return g_error.empty();
}

bool StringTable(const std::vector<std::string>& lines, size_t* n) {
    for (std::vector<std::string> s; NextInBlock(lines, n, &s);) {
        auto args = Arguments(s, 0);
        if (args.size() != 2 || args[1].size() != 1 || args[1][0][0] != '"') {
            Fail("bad string line: " + lines[*n]);
            return false;
        }
        g_strings[unsigned(Number(args[0]))] = args[1][0].substr(1);
    }
    return g_error.empty();
}

bool Dialog(unsigned id, const std::vector<std::vector<std::string>>& box,
            const std::vector<std::string>& lines, size_t* n) {
    std::vector<int> size;
    for (const auto& a : box)
        size.push_back(Number(a));
    uint32_t style = 0;
    std::string caption, face;
    int points = 0;
    std::vector<Control> controls;
    for (std::vector<std::string> s; NextInBlock(lines, n, &s);) {
        auto args = Arguments(s, 1);
        if (s[0] == "STYLE") {
            if (!Style(args[0], &style))
                return false;
        } else if (s[0] == "CAPTION") {
            caption = s[1].substr(1);
            style |= 0x00C00000;
        } else if (s[0] == "FONT") {
            points = Number(args[0]);
            face = args[1][0].substr(1);
            style |= 0x40;
        } else if (s[0] == "CONTROL" && args.size() == 8) {
            Control c{0x50000000,           Number(args[4]),
                      Number(args[5]),      Number(args[6]),
                      Number(args[7]),      Number(args[1]),
                      args[2][0].substr(1), 0,
                      args[0][0].substr(1), -1};
            if (!Style(args[3], &c.style))
                return false;
            controls.push_back(c);
        } else if (s[0] == "ICON" && args.size() == 4) {
            controls.push_back(Control{0x50000003, Number(args[2]), Number(args[3]), 0, 0,
                                       Number(args[1]), "", 0x82, "", Number(args[0])});
        } else {
            Fail("unknown dialog statement: " + lines[*n]);
        }
        if (!g_error.empty())
            return false;
    }
    AddDialog(id, style, size, caption, points, face, controls);
    return g_error.empty();
}

// "<id> DIALOG ..." or "<id> <TYPE> \"file\"", the id a sum of any length.
bool Resource(const std::string& dir, const std::vector<std::string>& t,
              const std::vector<std::string>& lines, size_t* n) {
    size_t k = 1;
    while (k < t.size() && t[k] != "DIALOG" && !(k + 1 < t.size() && t[k + 1][0] == '"'))
        ++k;
    if (k == t.size()) {
        Fail("cannot read line: " + lines[*n]);
        return false;
    }
    unsigned id = unsigned(Number(std::vector<std::string>(t.begin(), t.begin() + long(k))));
    if (!g_error.empty())
        return false;
    if (t[k] == "DIALOG")
        return Dialog(id, Arguments(t, k + 1), lines, n);
    if (t[k] == "ICON")
        return true; // the host draws no icons
    Bytes data;
    if (!ReadFileBytes(dir + "/" + t[k + 1].substr(1), &data)) {
        Fail("cannot read " + t[k + 1].substr(1));
        return false;
    }
    g_resources.push_back({t[k], id, data});
    return true;
}

bool ParseLines(const std::string& dir, const std::vector<std::string>& lines) {
    for (size_t n = 0; n < lines.size(); ++n) {
        std::vector<std::string> t = Tokens(lines[n]);
        if (t.empty() || t[0].rfind("#pragma", 0) == 0)
            continue;
        bool read = true;
        if (t[0] == "#include")
            read = t.size() < 2 || t[1][0] != '"' || ParseFile(dir + "/" + t[1].substr(1));
        else if (t[0] == "#define")
            read = Define(t);
        else if (t[0] == "STRINGTABLE")
            read = StringTable(lines, &n);
        else
            read = Resource(dir, t, lines, &n);
        if (!read)
            return false;
    }
    return true;
}

// Each file is read once, as if it said #pragma once.
bool ParseFile(const std::string& path) {
    if (!g_included.insert(path).second)
        return true;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        g_error = "cannot open " + path;
        return false;
    }
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    size_t slash = path.find_last_of('/');
    return ParseLines(slash == std::string::npos ? "." : path.substr(0, slash), lines);
}

void Array(std::ostream& out, const std::string& name, const uint8_t* data, size_t size) {
    out << "const unsigned char " << name << "[] = {";
    for (size_t i = 0; i < size; ++i)
        out << (i % 16 ? "" : "\n") << unsigned(data[i]) << ",";
    out << "0};\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: rc-embed SETUP.RC OUTPUT.CPP\n");
        return 2;
    }
    if (!ParseFile(argv[1])) {
        std::fprintf(stderr, "rc-embed: %s\n", g_error.c_str());
        return 1;
    }
    std::ostringstream out;
    out << "// Generated from " << argv[1] << " by rc-embed; do not edit.\n"
        << "#include \"platform/host.h\"\n\nnamespace {\n";
    for (size_t i = 0; i < g_resources.size(); ++i)
        Array(out, "kData" + std::to_string(i), g_resources[i].data.data(),
              g_resources[i].data.size());
    size_t k = 0;
    for (const auto& s : g_strings)
        Array(out, "kText" + std::to_string(k++), reinterpret_cast<const uint8_t*>(s.second.data()),
              s.second.size());
    out << "\nconst hostwin::EmbeddedResource kResources[] = {\n";
    for (size_t i = 0; i < g_resources.size(); ++i)
        out << "    {\"" << g_resources[i].type << "\", " << g_resources[i].id << ", kData" << i
            << ", " << g_resources[i].data.size() << "},\n";
    out << "};\n\nconst hostwin::EmbeddedString kStrings[] = {\n";
    k = 0;
    for (const auto& s : g_strings)
        out << "    {" << s.first << ", reinterpret_cast<const char*>(kText" << k++ << ")},\n";
    out << "};\n\nstruct Registrar {\n    Registrar() {\n"
        << "        for (const auto& r : kResources)\n            hostwin::RegisterResource(r);\n"
        << "        for (const auto& s : kStrings)\n            hostwin::RegisterString(s);\n"
        << "    }\n} registrar;\n} // namespace\n";
    // Written only when it changed, so dependants are not rebuilt needlessly.
    std::string text = out.str();
    std::ifstream old(argv[2], std::ios::binary);
    std::ostringstream previous;
    previous << old.rdbuf();
    if (old && previous.str() == text)
        return 0;
    std::ofstream file(argv[2], std::ios::binary);
    file << text;
    return file.good() ? 0 : 1;
}
