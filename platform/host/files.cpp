// File and directory calls of the emulated machine. Results and error codes
// follow what the program sees on Windows 95/98: a read-only file cannot be
// opened for writing or deleted, even though the host process runs as root.
#include "host_fs.h"
#include "machine.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace hostwin;

namespace hostwin {

bool CopyContents(const std::string& from, const std::string& to, DWORD* error) {
    int in = hostfs::Open(from, O_RDONLY);
    if (in < 0) {
        *error = ErrnoToWin32(errno);
        return false;
    }
    int out = hostfs::Open(to, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) {
        *error = ErrnoToWin32(errno);
        hostfs::Close(in);
        return false;
    }
    char buf[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = hostfs::Read(in, buf, sizeof buf);
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (hostfs::Write(out, buf, size_t(n)) != n) {
            ok = false;
            break;
        }
    }
    hostfs::Close(in);
    if (hostfs::Close(out) != 0)
        ok = false;
    if (!ok)
        *error = ERROR_WRITE_FAULT;
    return ok;
}

} // namespace hostwin

namespace {

HFILE Fail(DWORD code) {
    SetError(code);
    return HFILE_ERROR;
}

BOOL FailBool(DWORD code) {
    SetError(code);
    return FALSE;
}

// Maps a path for a call that needs its parent directory to exist.
bool MapExisting(LPCSTR path, MappedPath* m) {
    *m = MapPath(path);
    if (!m->valid) {
        SetError(m->error);
        return false;
    }
    return true;
}

DWORD MissingError(const MappedPath& m) {
    return m.parentIsFolder ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD AttributesOf(mode_t mode) {
    if (S_ISDIR(mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    return FILE_ATTRIBUTE_ARCHIVE | ((mode & S_IWUSR) ? 0 : FILE_ATTRIBUTE_READONLY);
}

// Wildcard match of a DOS pattern against a name, ignoring case.
bool MatchPattern(const char* p, const char* n) {
    for (; *p; ++p) {
        if (*p == '*') {
            while (p[1] == '*')
                ++p;
            if (!p[1])
                return true;
            for (const char* s = n; *s; ++s)
                if (MatchPattern(p + 1, s))
                    return true;
            return MatchPattern(p + 1, n + std::strlen(n));
        }
        if (!*n)
            return (*p == '.' && p[1] == '*' && !p[2]); // "x.*" matches "x"
        char a = *p, b = *n;
        if (a >= 'A' && a <= 'Z')
            a = char(a + 32);
        if (b >= 'A' && b <= 'Z')
            b = char(b + 32);
        if (a != '?' && a != b)
            return false;
        ++n;
    }
    return !*n;
}

// The 8.3 alias Windows gives a long name ("x.0011" is "X~1.001"), or "" for
// a name that is 8.3 already. Patterns match either name, so the alias only
// needs the right shape; its number is always 1 here.
std::string ShortAlias(const std::string& name) {
    if (name == "." || name == "..")
        return "";
    size_t dot = name.rfind('.');
    std::string base = name.substr(0, dot),
                ext = dot == std::string::npos ? "" : name.substr(dot + 1);
    auto plain = [](const std::string& part, size_t max) {
        if (part.empty() || part.size() > max)
            return false;
        for (unsigned char c : part)
            if (c == ' ' || c == '.' || std::strchr("+,;=[]", c))
                return false;
        return true;
    };
    if (plain(base, 8) && (ext.empty() ? dot == std::string::npos : plain(ext, 3)))
        return "";
    auto shorten = [](const std::string& part, size_t max) {
        std::string out;
        for (unsigned char c : part) {
            if (c == ' ' || c == '.')
                continue;
            out += std::strchr("+,;=[]", c) ? '_' : char(std::toupper(c));
            if (out.size() == max)
                break;
        }
        return out;
    };
    std::string alias = shorten(base, 6) + "~1";
    std::string shortExt = shorten(ext, 3);
    return shortExt.empty() ? alias : alias + "." + shortExt;
}

bool MatchesName(const std::string& mask, const std::string& name) {
    if (MatchPattern(mask.c_str(), name.c_str()))
        return true;
    std::string alias = ShortAlias(name);
    return !alias.empty() && MatchPattern(mask.c_str(), alias.c_str());
}

struct FindState {
    std::vector<WIN32_FIND_DATAA> entries;
    size_t next = 0;
};

bool FillFindData(const std::string& host, const std::string& name, WIN32_FIND_DATAA* d) {
    struct stat st;
    if (hostfs::Stat(host, &st) != 0 || name.size() >= MAX_PATH)
        return false;
    std::memset(d, 0, sizeof *d);
    d->dwFileAttributes = AttributesOf(st.st_mode);
    d->nFileSizeLow = S_ISDIR(st.st_mode) ? 0 : DWORD(st.st_size);
    d->nFileSizeHigh = S_ISDIR(st.st_mode) ? 0 : DWORD(uint64_t(st.st_size) >> 32);
    std::memcpy(d->cFileName, name.c_str(), name.size() + 1);
    return true;
}

} // namespace

namespace {

// Open files keep a read-ahead and a write-behind buffer, as the system's
// cache would: a copy in 2048-byte calls then costs few host calls. The
// buffer grows with use up to Size: a small file costs little.
struct OpenFile {
    enum { Size = 64 * 1024, FirstSize = 256 };
    HFILE file = HFILE_ERROR;
    std::unique_ptr<char[]> data;    // `capacity` bytes, not cleared: only what was read or
    size_t capacity = 0;             // written is used
    size_t readAhead = Size;         // what the first read takes: no more than the file holds
    size_t readPos = 0, readLen = 0; // unread bytes are data[readPos, readLen)
    size_t pending = 0;              // bytes written but not yet on disk
    char path[MAX_PATH] = {};        // as opened, so that a fault names the file
};
// A program keeps few files open at once: a short list does.
std::vector<OpenFile> g_open;

OpenFile* Lookup(HFILE file) {
    for (OpenFile& f : g_open)
        if (f.file == file)
            return &f;
    return nullptr;
}

const char* PathOf(HFILE file) {
    OpenFile* f = Lookup(file);
    return f ? f->path : nullptr;
}

bool Flush(HFILE file, OpenFile* f) {
    bool ok = hostfs::WriteAll(file, f->data.get(), f->pending);
    f->pending = 0;
    return ok;
}

// Gives the file position back the read-ahead bytes nobody has read yet.
void DropReadAhead(HFILE file, OpenFile* f) {
    if (f->readLen > f->readPos)
        hostfs::Seek(file, -off_t(f->readLen - f->readPos), SEEK_CUR);
    f->readPos = f->readLen = 0;
}

// Gives the buffer room for `size` bytes (at most Size); the first `keep`
// bytes stay.
void Grow(OpenFile* f, size_t size, size_t keep) {
    size = std::min(size, size_t(OpenFile::Size));
    if (size <= f->capacity)
        return;
    std::unique_ptr<char[]> data(new char[size]);
    if (keep)
        std::memcpy(data.get(), f->data.get(), keep);
    f->data = std::move(data);
    f->capacity = size;
}

// `m` is the mapped path of the file as it was opened. The path fits: a
// longer one does not map.
HFILE Track(int fd, LPCSTR path, const MappedPath& m) {
    if (fd >= 0) {
        OpenFile* known = Lookup(fd);
        OpenFile& f = known ? *known : g_open.emplace_back();
        f = OpenFile();
        f.file = fd;
        if (m.exists && m.size < off_t(OpenFile::Size))
            f.readAhead = std::max(size_t(m.size) + 1, size_t(OpenFile::FirstSize));
        std::strncpy(f.path, path, sizeof f.path - 1);
    }
    return fd;
}

} // namespace

HFILE _lcreat(LPCSTR path, int attribute) {
    MappedPath m;
    if (!MapExisting(path, &m))
        return HFILE_ERROR;
    if (ShouldFail(FaultOp::Create, path))
        return Fail(ERROR_ACCESS_DENIED);
    if (m.IsFolder() || m.IsReadOnly())
        return Fail(ERROR_ACCESS_DENIED);
    if (!m.parentIsFolder)
        return Fail(ERROR_PATH_NOT_FOUND);
    int fd = hostfs::Open(m.host, O_RDWR | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return Fail(ErrnoToWin32(errno));
    if (attribute & FILE_ATTRIBUTE_READONLY)
        hostfs::Fchmod(fd, 0444);
    m.exists = false; // made empty
    return Track(fd, path, m);
}

HFILE _lopen(LPCSTR path, int mode) {
    MappedPath m;
    if (!MapExisting(path, &m))
        return HFILE_ERROR;
    if (ShouldFail(FaultOp::Open, path))
        return Fail(ERROR_ACCESS_DENIED);
    if (!m.exists)
        return Fail(MissingError(m));
    if (m.IsFolder())
        return Fail(ERROR_ACCESS_DENIED);
    int access = mode & 3;
    if (access != OF_READ && (m.IsReadOnly() || MachineIsReadOnly()))
        return Fail(ERROR_ACCESS_DENIED);
    int flags = access == OF_WRITE ? O_WRONLY : access == OF_READWRITE ? O_RDWR : O_RDONLY;
    int fd = hostfs::Open(m.host, flags);
    if (fd < 0)
        return Fail(ErrnoToWin32(errno));
    return Track(fd, path, m);
}

UINT _lread(HFILE file, LPVOID buffer, UINT count) {
    if (ShouldFail(FaultOp::Read, PathOf(file)))
        return UINT(Fail(ERROR_READ_FAULT));
    OpenFile* f = Lookup(file);
    if (!f)
        return UINT(Fail(ERROR_INVALID_HANDLE));
    if (f->pending && !Flush(file, f))
        return UINT(Fail(ERROR_WRITE_FAULT));
    char* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < count) {
        if (f->readPos == f->readLen) {
            if (f->readLen == f->capacity) // the last read filled it: the file goes on
                Grow(f, f->capacity ? 2 * f->capacity : f->readAhead, 0);
            ssize_t n = hostfs::Read(file, f->data.get(), f->capacity);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return UINT(Fail(errno == EBADF ? ERROR_INVALID_HANDLE : ERROR_READ_FAULT));
            if (n == 0)
                break;
            f->readPos = 0;
            f->readLen = size_t(n);
        }
        size_t take = std::min(size_t(count) - done, f->readLen - f->readPos);
        std::memcpy(out + done, f->data.get() + f->readPos, take);
        f->readPos += take;
        done += take;
    }
    return UINT(done);
}

UINT _lwrite(HFILE file, LPCSTR buffer, UINT count) {
    FaultKind kind = FaultKind::Fail;
    if (ShouldFail(FaultOp::Write, PathOf(file), &kind)) {
        if (kind == FaultKind::Fail)
            return UINT(Fail(ERROR_WRITE_FAULT));
        count /= 2; // the disk filled up halfway through
    }
    OpenFile* f = Lookup(file);
    if (!f)
        return UINT(Fail(ERROR_INVALID_HANDLE));
    DropReadAhead(file, f);
    if (f->pending + count > f->capacity)
        Grow(f, std::max({f->pending + count, 2 * f->capacity, size_t(OpenFile::FirstSize)}),
             f->pending);
    if (f->pending + count > size_t(OpenFile::Size)) {
        if (!Flush(file, f))
            return UINT(Fail(ERROR_WRITE_FAULT));
        if (count > size_t(OpenFile::Size)) // too big to keep: straight to the file
            return hostfs::WriteAll(file, buffer, count) ? count : UINT(Fail(ERROR_WRITE_FAULT));
    }
    if (count == 0) // nothing to keep, and maybe no buffer yet
        return 0;
    std::memcpy(f->data.get() + f->pending, buffer, count);
    f->pending += count;
    return count;
}

HFILE _lclose(HFILE file) {
    bool fail = ShouldFail(FaultOp::Close, PathOf(file));
    OpenFile* f = Lookup(file);
    if (!f)
        return Fail(ERROR_INVALID_HANDLE);
    bool flushed = Flush(file, f);
    if (f != &g_open.back())
        *f = std::move(g_open.back());
    g_open.pop_back();
    if (hostfs::Close(file) != 0 || fail || !flushed)
        return Fail(flushed ? ERROR_INVALID_HANDLE : ERROR_WRITE_FAULT);
    return 0;
}

DWORD GetFileAttributesA(LPCSTR path) {
    MappedPath m;
    if (!MapExisting(path, &m))
        return INVALID_FILE_ATTRIBUTES;
    if (!m.exists) {
        SetError(MissingError(m));
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(m.mode);
}

BOOL SetFileAttributesA(LPCSTR path, DWORD attributes) {
    MappedPath m;
    if (!MapExisting(path, &m))
        return FALSE;
    if (ShouldFail(FaultOp::SetAttr, path))
        return FailBool(ERROR_ACCESS_DENIED);
    if (!m.exists)
        return FailBool(MissingError(m));
    if (m.IsFolder())
        return TRUE;
    mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0644;
    if (hostfs::Chmod(m.host, mode) != 0)
        return FailBool(ErrnoToWin32(errno));
    return TRUE;
}

namespace {

// Maps the path of a call that removes something that must exist; false
// (with the error set) when it cannot go ahead.
bool MapForRemoval(LPCSTR path, MappedPath* m) {
    if (!MapExisting(path, m))
        return false;
    if (ShouldFail(FaultOp::Delete, path))
        return FailBool(ERROR_ACCESS_DENIED);
    if (!m->exists)
        return FailBool(MissingError(*m));
    return true;
}

} // namespace

BOOL DeleteFileA(LPCSTR path) {
    MappedPath m;
    if (!MapForRemoval(path, &m))
        return FALSE;
    if (m.IsFolder() || m.IsReadOnly())
        return FailBool(ERROR_ACCESS_DENIED);
    if (hostfs::Unlink(m.host) != 0)
        return FailBool(ErrnoToWin32(errno));
    return TRUE;
}

BOOL CopyFileA(LPCSTR existing, LPCSTR target, BOOL failIfExists) {
    MappedPath from, to;
    if (!MapExisting(existing, &from) || !MapExisting(target, &to))
        return FALSE;
    if (ShouldFail(FaultOp::Copy, existing))
        return FailBool(ERROR_ACCESS_DENIED);
    if (!from.exists)
        return FailBool(MissingError(from));
    if (from.IsFolder())
        return FailBool(ERROR_ACCESS_DENIED);
    if (to.exists) {
        if (failIfExists)
            return FailBool(ERROR_FILE_EXISTS);
        if (to.IsFolder() || to.IsReadOnly())
            return FailBool(ERROR_ACCESS_DENIED);
    }
    if (!to.parentIsFolder)
        return FailBool(ERROR_PATH_NOT_FOUND);
    DWORD error = 0;
    if (!CopyContents(from.host, to.host, &error))
        return FailBool(error);
    if (from.IsReadOnly())
        hostfs::Chmod(to.host, 0444);
    return TRUE;
}

BOOL MoveFileA(LPCSTR existing, LPCSTR target) {
    MappedPath from, to;
    if (!MapExisting(existing, &from) || !MapExisting(target, &to))
        return FALSE;
    if (ShouldFail(FaultOp::Move, existing))
        return FailBool(ERROR_ACCESS_DENIED);
    if (!from.exists)
        return FailBool(MissingError(from));
    // Renaming a name to itself in another case is allowed.
    if (to.exists && from.host != to.host)
        return FailBool(ERROR_ALREADY_EXISTS);
    if (!to.parentIsFolder)
        return FailBool(ERROR_PATH_NOT_FOUND);
    if (hostfs::Rename(from.host, to.host) == 0)
        return TRUE;
    if (errno != EXDEV || from.IsFolder())
        return FailBool(ErrnoToWin32(errno));
    DWORD error = 0;
    if (!CopyContents(from.host, to.host, &error))
        return FailBool(error);
    hostfs::Unlink(from.host);
    return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) {
    MappedPath m;
    if (!MapExisting(path, &m))
        return FALSE;
    if (ShouldFail(FaultOp::MakeDir, path))
        return FailBool(ERROR_ACCESS_DENIED);
    if (m.exists)
        return FailBool(ERROR_ALREADY_EXISTS);
    if (!m.parentIsFolder)
        return FailBool(ERROR_PATH_NOT_FOUND);
    if (hostfs::Mkdir(m.host, 0755) != 0)
        return FailBool(ErrnoToWin32(errno));
    return TRUE;
}

BOOL RemoveDirectoryA(LPCSTR path) {
    MappedPath m;
    if (!MapForRemoval(path, &m))
        return FALSE;
    if (!m.IsFolder())
        return FailBool(ERROR_DIRECTORY);
    if (hostfs::Rmdir(m.host) != 0)
        return FailBool(ErrnoToWin32(errno));
    return TRUE;
}

HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data) {
    if (!pattern || !data) {
        SetError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    MappedPath m = MapPath(pattern, true);
    if (!m.valid) {
        SetError(m.error);
        return INVALID_HANDLE_VALUE;
    }
    if (ShouldFail(FaultOp::Open, pattern)) {
        SetError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    size_t slash = m.host.rfind('/');
    std::string dir = m.host.substr(0, slash);
    std::string mask = m.host.substr(slash + 1);
    std::string full = FullDosPath(pattern);
    if (full.size() == 3) { // "C:\" names the root itself: nothing to find
        SetError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto* state = new FindState;
    bool wild = mask.find_first_of("*?") != std::string::npos;
    if (!wild) {
        WIN32_FIND_DATAA d;
        if (FillFindData(m.host, mask, &d))
            state->entries.push_back(d);
    } else if (std::vector<std::string> names; hostfs::List(dir, &names)) {
        bool isRoot = dir.size() == MachineFolder().size() + 8; // ".../drive_x"
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return strcasecmp(a.c_str(), b.c_str()) < 0;
        });
        for (const std::string& n : names) {
            if (isRoot && (n == "." || n == ".."))
                continue;
            WIN32_FIND_DATAA d;
            if (MatchesName(mask, n) && FillFindData(dir + "/" + n, n, &d))
                state->entries.push_back(d);
        }
    }
    if (state->entries.empty()) {
        delete state;
        bool isDir = false;
        SetError(HostExists(dir, &isDir) && isDir ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *data = state->entries[0];
    state->next = 1;
    return state;
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA data) {
    auto* state = static_cast<FindState*>(find);
    if (!state || find == INVALID_HANDLE_VALUE)
        return FailBool(ERROR_INVALID_HANDLE);
    if (state->next >= state->entries.size())
        return FailBool(ERROR_NO_MORE_FILES);
    *data = state->entries[state->next++];
    return TRUE;
}

BOOL FindClose(HANDLE find) {
    if (!find || find == INVALID_HANDLE_VALUE)
        return FailBool(ERROR_INVALID_HANDLE);
    delete static_cast<FindState*>(find);
    return TRUE;
}
