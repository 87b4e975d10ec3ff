#include "ini_file.h"

#include "text.h"

#include <cstdio>
#include <cstring>

namespace {

const char kMissing[] = "!";
const char kTempName[] = "wdps.tmp";

// Splits "section\key" into a copy of the section and a pointer to the key
// (null when there is no backslash). False when the path does not fit.
bool SplitPath(const char* path, char* section, const char** key) {
    if (!path || std::strlen(path) > IniFile::MaxSectionPath)
        return false;
    std::strcpy(section, path);
    char* slash = std::strchr(section, '\\');
    *key = nullptr;
    if (slash) {
        *slash = 0;
        *key = slash + 1;
    }
    return true;
}

// Reads a file in pieces of at most LineCapacity - 1 bytes, each ending at a
// line break (CR LF, LF, or a bare CR as some old editors write them), at the
// end of the file, or where the buffer is full: a longer line comes in
// several pieces and is carried through whole.
class LineReader {
  public:
    explicit LineReader(HFILE file) : file_(file) {}
    // False at the end of the file or on a read error (see Failed).
    bool Next(char* piece, unsigned capacity, unsigned* length) {
        unsigned n = 0;
        while (n + 1 < capacity) {
            if (pos_ == end_ && !Fill())
                break;
            char c = buffer_[pos_];
            if (c == '\r' && n > 0 && n + 2 >= capacity)
                break; // CR LF stays together, in the next piece
            piece[n++] = buffer_[pos_++];
            if (c == '\n')
                break;
            if (c == '\r') {
                if ((pos_ < end_ || Fill()) && buffer_[pos_] == '\n')
                    piece[n++] = buffer_[pos_++];
                break;
            }
        }
        piece[n] = 0;
        *length = n;
        return n > 0;
    }
    bool Failed() const { return failed_; }

  private:
    bool Fill() {
        if (file_ == HFILE_ERROR || failed_)
            return false;
        UINT got = _lread(file_, buffer_, sizeof buffer_);
        if (got == UINT(HFILE_ERROR)) {
            failed_ = true;
            return false;
        }
        pos_ = 0;
        end_ = got;
        return got > 0;
    }
    HFILE file_;
    char buffer_[2048];
    unsigned pos_ = 0, end_ = 0;
    bool failed_ = false;
};

// A header's section name: after the "[" that is the first non-blank, up to
// the last "]". False for any other line.
bool IsHeaderOf(const char* line, const char* section) {
    while (*line == ' ')
        ++line;
    if (*line != '[')
        return false;
    const char* close = std::strrchr(line, ']');
    if (!close)
        return false;
    size_t length = size_t(close - line - 1);
    return std::strlen(section) == length && CompareNoCaseN(line + 1, section, length) == 0;
}

// A header starts with "[" after any blanks; one without "]" still ends the
// section before it, though it names none.
bool IsHeader(const char* line) {
    while (*line == ' ')
        ++line;
    return *line == '[';
}

// The key of a line runs from its first character to the first "=".
bool HasKey(const char* line, const char* key) {
    const char* equals = std::strchr(line, '=');
    if (!equals)
        return false;
    size_t length = size_t(equals - line);
    return std::strlen(key) == length && CompareNoCaseN(line, key, length) == 0;
}

bool WriteText(HFILE file, const char* text) {
    UINT length = UINT(std::strlen(text));
    return _lwrite(file, text, length) == length;
}

bool WriteEntry(HFILE file, const char* key, const char* value) {
    return WriteText(file, key) && WriteText(file, "=") && WriteText(file, value) &&
           WriteText(file, "\r\n");
}

// A temporary file that is the only whole copy of the file it was to replace
// must outlive the next rewrite, which takes the temporary name again: it
// moves beside that file as NAME.~1 (or ~2, ... the first free).
void KeepWholeCopy(const char* tempPath, const char* filePath) {
    char kept[MAX_PATH];
    for (unsigned n = 1; n < 1000; ++n) {
        if (std::snprintf(kept, sizeof kept, "%s.~%u", filePath, n) >= int(sizeof kept))
            return;
        if (GetFileAttributesA(kept) == INVALID_FILE_ATTRIBUTES) {
            MoveFileA(tempPath, kept);
            return;
        }
    }
}

} // namespace

IniFile::IniFile(const char* name) {
    name_[0] = 0;
    if (!name)
        return;
    size_t length = std::strlen(name);
    bool hasDot = std::strchr(name, '.') != nullptr;
    if (length + (hasDot ? 0 : 4) > MaxName)
        return;
    for (size_t i = 0; i <= length; ++i)
        name_[i] = UpperAscii(name[i]);
    if (!hasDot)
        std::strcat(name_, ".INI");
    valid_ = true;
}

bool IniFile::IsWinIni() const {
    return CompareNoCase(name_, "win.ini") == 0;
}

DWORD IniFile::Read(const char* section, const char* key, char* buffer, DWORD size) const {
    if (IsWinIni())
        return GetProfileStringA(section, key, kMissing, buffer, size);
    return GetPrivateProfileStringA(section, key, kMissing, buffer, size, name_);
}

BOOL IniFile::Write(const char* section, const char* key, const char* value) const {
    if (!valid_)
        return FALSE;
    if (IsWinIni())
        return WriteProfileStringA(section, key, value);
    return WritePrivateProfileStringA(section, key, value, name_);
}

bool IniFile::GetValue(const char* section, const char* key, const char* fallback, char* buffer,
                       DWORD size) const {
    if (!buffer || size == 0)
        return false;
    if (valid_ && section && key) {
        Read(section, key, buffer, size);
        if (buffer[0] != kMissing[0])
            return true;
    }
    CopyText(buffer, size, fallback ? fallback : "");
    return false;
}

bool IniFile::GetValueByPath(const char* path, const char* fallback, char* buffer,
                             DWORD size) const {
    char section[MaxSectionPath + 1];
    const char* key = nullptr;
    if (!SplitPath(path, section, &key) || !key) {
        if (buffer && size)
            CopyText(buffer, size, fallback ? fallback : "");
        return false;
    }
    return GetValue(section, key, fallback, buffer, size);
}

BOOL IniFile::SetValue(const char* section, const char* key, const char* value) const {
    return section && key && value ? Write(section, key, value) : FALSE;
}

BOOL IniFile::SetValueByPath(const char* path, const char* value) const {
    char section[MaxSectionPath + 1];
    const char* key = nullptr;
    if (!SplitPath(path, section, &key) || !key)
        return FALSE;
    return SetValue(section, key, value);
}

BOOL IniFile::DeleteByPath(const char* path) const {
    char section[MaxSectionPath + 1];
    const char* key = nullptr;
    if (!SplitPath(path, section, &key))
        return FALSE;
    return Write(section, key, nullptr);
}

void IniFile::FlushCache() const {
    if (IsWinIni())
        WriteProfileStringA(nullptr, nullptr, nullptr);
    else
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, name_);
}

bool IniFile::DisableKey(const char* section, const char* key) const {
    return section && key && Rewrite(Edit::Disable, section, key, nullptr);
}

bool IniFile::InsertEntry(const char* section, const char* key, const char* value) const {
    return section && key && value && Rewrite(Edit::Insert, section, key, value);
}

bool IniFile::Rewrite(Edit edit, const char* section, const char* key, const char* value) const {
    char directory[MAX_PATH];
    char filePath[MAX_PATH];
    char tempPath[MAX_PATH];
    UINT length = GetWindowsDirectoryA(directory, MAX_PATH);
    if (!valid_ || length == 0 || length >= MAX_PATH || !AppendBackslash(directory, MAX_PATH) ||
        !JoinPath(filePath, MAX_PATH, directory, name_))
        return false;
    length = GetTempPathA(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH || !AppendBackslash(directory, MAX_PATH) ||
        !JoinPath(tempPath, MAX_PATH, directory, kTempName))
        return false;
    // The system may hold the file cached: without this, the next profile
    // write would put the cached old text back over the rewrite.
    FlushCache();

    HFILE in = _lopen(filePath, OF_READ);
    if (in == HFILE_ERROR &&
        !(edit == Edit::Insert && GetFileAttributesA(filePath) == INVALID_FILE_ATTRIBUTES &&
          GetLastError() == ERROR_FILE_NOT_FOUND))
        return false;
    HFILE out = _lcreat(tempPath, 0);
    if (out == HFILE_ERROR) {
        if (in != HFILE_ERROR)
            _lclose(in);
        return false;
    }

    LineReader reader(in);
    char piece[LineCapacity];
    unsigned pieceLength = 0;
    bool lineStart = true, header = false, headerMatched = false;
    bool found = false, endsWithBreak = false, inSection = false, writeOk = true;
    while (writeOk && reader.Next(piece, sizeof piece, &pieceLength)) {
        if (lineStart) {
            header = IsHeader(piece);
            headerMatched = IsHeaderOf(piece, section);
            if (!header && edit == Edit::Disable && inSection && HasKey(piece, key))
                writeOk = WriteText(out, "*");
        } else if (header && std::strchr(piece, ']')) {
            // A header longer than the buffer: its name is too long to match.
            headerMatched = false;
        }
        writeOk = writeOk && _lwrite(out, piece, pieceLength) == pieceLength;
        endsWithBreak = piece[pieceLength - 1] == '\n' || piece[pieceLength - 1] == '\r';
        lineStart = endsWithBreak;
        if (!endsWithBreak)
            continue;
        if (header)
            inSection = headerMatched;
        if (edit == Edit::Insert && headerMatched) {
            writeOk = writeOk && WriteEntry(out, key, value);
            found = true;
            headerMatched = false;
        }
    }
    if (edit == Edit::Insert && headerMatched && writeOk) {
        // The header was the last line and has no line break of its own.
        writeOk = (endsWithBreak || WriteText(out, "\r\n")) && WriteEntry(out, key, value);
        found = true;
    }
    if (edit == Edit::Insert && !found && writeOk) {
        writeOk = (endsWithBreak || WriteText(out, "\r\n")) && WriteText(out, "[") &&
                  WriteText(out, section) && WriteText(out, "]\r\n") && WriteEntry(out, key, value);
    }
    bool readOk = !reader.Failed();
    if (in != HFILE_ERROR)
        readOk = _lclose(in) == 0 && readOk;
    writeOk = _lclose(out) == 0 && writeOk;
    if (!readOk || !writeOk) {
        DeleteFileA(tempPath);
        return false;
    }
    // A copy that fails may have cut the file short: the temporary file is
    // then the only complete copy and stays.
    if (!CopyFileA(tempPath, filePath, FALSE)) {
        KeepWholeCopy(tempPath, filePath);
        return false;
    }
    DeleteFileA(tempPath);
    return true;
}

bool IniFile::Exists() const {
    if (!valid_)
        return false;
    char directory[MAX_PATH];
    char path[MAX_PATH];
    UINT length = GetWindowsDirectoryA(directory, 256);
    if (length > 0 && length < 256 && AppendBackslash(directory, MAX_PATH) &&
        JoinPath(path, MAX_PATH, directory, name_) && PathExists(path))
        return true;
    return PathExists(name_);
}
