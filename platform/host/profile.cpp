// Profile (INI file) calls of the emulated machine. Results follow Wine in
// Windows 98 mode (trimmed keys and values, quotes taken off a value, the
// default's trailing blanks dropped, truncation to size - 1); unlike Wine a
// write changes only the line it concerns and keeps every other line,
// comment and blank line as it was.
//
// Like Windows 95/98 the system keeps the most recently used file cached and
// does not look at the disk again while it is cached: a file changed by other
// means is only seen after WritePrivateProfileStringA(NULL, NULL, NULL, file).
#include "host_fs.h"
#include "machine.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

using namespace hostwin;

namespace {

struct Cache {
    std::string file;               // full DOS path, upper case
    std::vector<std::string> lines; // each with its line break, if it had one
    bool valid = false;
};
Cache g_cache;

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 32);
    return s;
}

// A name without a directory lives in the Windows directory.
std::string FileOf(LPCSTR file) {
    std::string name = file ? file : "";
    if (name.find_first_of("\\/:") == std::string::npos)
        name = InWindowsDirectory(name);
    return Upper(FullDosPath(name.c_str()));
}

// Lines end in CR LF, LF, or a bare CR as some old editors write them.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
            end += 2;
        else
            ++end;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

bool EndsWithBreak(const std::string& line) {
    return !line.empty() && (line.back() == '\n' || line.back() == '\r');
}

// Loads the file into the cache unless it is there; false when it does not
// exist (the cache then holds it as empty).
bool Load(const std::string& file) {
    if (g_cache.valid && g_cache.file == file)
        return true;
    g_cache = Cache();
    g_cache.file = file;
    g_cache.valid = true;
    MappedPath m = MapPath(file.c_str());
    std::string text;
    if (!m.valid || !hostfs::ReadWhole(m.host, &text))
        return false;
    g_cache.lines = SplitLines(text);
    return true;
}

// The section name of a header line, or false.
bool HeaderName(const std::string& line, std::string* name) {
    std::string t = Trim(line);
    if (t.empty() || t[0] != '[')
        return false;
    size_t close = t.rfind(']');
    if (close == std::string::npos)
        return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

bool KeyLine(const std::string& line, std::string* key, std::string* value) {
    std::string t = Trim(line);
    size_t eq = t.find('=');
    if (t.empty() || t[0] == ';' || eq == std::string::npos)
        return false;
    *key = Trim(t.substr(0, eq));
    *value = Trim(t.substr(eq + 1));
    return true;
}

// The first section of that name: its header line, and the line after its
// last line. false when there is none.
bool FindSection(const std::string& section, size_t* header, size_t* end) {
    const std::vector<std::string>& lines = g_cache.lines;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (!HeaderName(lines[i], &name) || !EqualNoCase(name, Trim(section)))
            continue;
        *header = i;
        size_t j = i + 1;
        while (j < lines.size() && !HeaderName(lines[j], &name))
            ++j;
        *end = j;
        return true;
    }
    return false;
}

bool FindKey(size_t from, size_t to, const std::string& key, size_t* at, std::string* value) {
    for (size_t i = from; i < to; ++i) {
        std::string k, v;
        if (KeyLine(g_cache.lines[i], &k, &v) && EqualNoCase(k, Trim(key))) {
            *at = i;
            if (value)
                *value = v;
            return true;
        }
    }
    return false;
}

DWORD CopyResult(const std::string& text, LPSTR buffer, DWORD size) {
    if (!buffer || size == 0)
        return 0;
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return DWORD(n);
}

// A list of names, each ended by a zero, the list by another.
DWORD CopyList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
    if (!buffer || size == 0)
        return 0;
    if (size == 1) {
        buffer[0] = 0;
        return 0;
    }
    DWORD used = 0;
    for (const std::string& n : names) {
        if (used + n.size() + 2 > size) { // cut, as Windows does, to size - 2
            size_t take = size - 2 - used;
            std::memcpy(buffer + used, n.data(), take);
            buffer[size - 2] = 0;
            buffer[size - 1] = 0;
            return size - 2;
        }
        std::memcpy(buffer + used, n.c_str(), n.size() + 1);
        used += DWORD(n.size() + 1);
    }
    buffer[used] = 0;
    return used;
}

bool Store(const std::string& file) {
    MappedPath m = MapPath(file.c_str());
    if (!m.valid) {
        SetError(m.error);
        return false;
    }
    size_t slash = m.host.rfind('/');
    bool isDir = false;
    if (!HostExists(m.host.substr(0, slash), &isDir) || !isDir) {
        SetError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (HostIsReadOnly(m.host)) {
        SetError(ERROR_ACCESS_DENIED);
        return false;
    }
    std::string text;
    for (const std::string& line : g_cache.lines)
        text += line;
    if (!hostfs::WriteWhole(m.host, text)) {
        SetError(ERROR_WRITE_FAULT);
        return false;
    }
    return true;
}

void EndLastLine() {
    if (!g_cache.lines.empty() && !EndsWithBreak(g_cache.lines.back()))
        g_cache.lines.back() += "\r\n";
}

} // namespace

namespace hostwin {
void DropProfileCache() {
    g_cache = Cache();
}
} // namespace hostwin

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR buffer,
                               DWORD size, LPCSTR file) {
    std::string path = FileOf(file);
    if (path.empty() || MachineFolder().empty())
        return CopyResult(Trim(fallback ? fallback : ""), buffer, size);
    Load(path);
    if (!section) {
        std::vector<std::string> names;
        for (const std::string& line : g_cache.lines) {
            std::string name;
            if (HeaderName(line, &name))
                names.push_back(name);
        }
        return CopyList(names, buffer, size);
    }
    size_t header = 0, end = 0;
    bool found = FindSection(section, &header, &end);
    if (!key) {
        std::vector<std::string> names;
        std::string k, v;
        for (size_t i = header + 1; found && i < end; ++i)
            if (KeyLine(g_cache.lines[i], &k, &v))
                names.push_back(k);
        return CopyList(names, buffer, size);
    }
    std::string value;
    size_t at = 0;
    if (!found || !FindKey(header + 1, end, key, &at, &value)) {
        std::string d = fallback ? fallback : "";
        d.erase(d.find_last_not_of(' ') + 1);
        return CopyResult(d, buffer, size);
    }
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    return CopyResult(value, buffer, size);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file) {
    if (!section && !key && !value) { // the documented way to flush the cache
        DropProfileCache();
        return FALSE;
    }
    std::string path = FileOf(file);
    if (!section || path.empty() || MachineFolder().empty()) {
        SetError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (ShouldFail(FaultOp::Profile, file)) {
        SetError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    bool existed = Load(path);
    std::vector<std::string>& lines = g_cache.lines;
    size_t header = 0, end = 0;
    bool found = FindSection(section, &header, &end);
    if (!key) {
        if (!found)
            return TRUE;
        lines.erase(lines.begin() + long(header), lines.begin() + long(end));
    } else if (!value) {
        size_t at = 0;
        if (!found || !FindKey(header + 1, end, key, &at, nullptr))
            return TRUE;
        lines.erase(lines.begin() + long(at));
    } else if (!found) {
        EndLastLine();
        lines.push_back("[" + std::string(section) + "]\r\n");
        lines.push_back(std::string(key) + "=" + value + "\r\n");
    } else {
        size_t at = 0;
        if (FindKey(header + 1, end, key, &at, nullptr)) {
            std::string k, v;
            KeyLine(lines[at], &k, &v);
            lines[at] = k + "=" + value + "\r\n";
        } else {
            // After the section's last line that is not blank.
            size_t last = end;
            while (last > header + 1 && Trim(lines[last - 1]).empty())
                --last;
            if (!EndsWithBreak(lines[last - 1]))
                lines[last - 1] += "\r\n";
            lines.insert(lines.begin() + long(last), std::string(key) + "=" + value + "\r\n");
        }
    }
    if (!existed && lines.empty())
        return TRUE;
    if (!Store(path)) {
        DropProfileCache(); // the cache must not claim what the disk lacks
        return FALSE;
    }
    return TRUE;
}

DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR buffer, DWORD size) {
    return GetPrivateProfileStringA(section, key, fallback, buffer, size, "WIN.INI");
}

BOOL WriteProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value) {
    if (!section && !key && !value) {
        DropProfileCache();
        return FALSE;
    }
    return WritePrivateProfileStringA(section, key, value, "WIN.INI");
}
