// The host files: system calls, or the same calls answered from memory for
// the machine held there. The memory is a tree of folders; an open file
// keeps its node, the way a file system keeps an inode, so it stays
// readable after its name is gone.
#include "host_fs.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <algorithm>
#include <memory>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace hostwin {
namespace hostfs {

const char kMemoryFolder[] = "(memory)";

namespace {

// A file or a folder; a folder holds its entries by name.
struct Node {
    bool folder = false;
    mode_t mode = 0644;
    std::string data;
    std::map<std::string, std::shared_ptr<Node>, std::less<>> entries; // found by views
};

struct MemoryFile {
    int fd = -1;
    std::shared_ptr<Node> node;
    size_t at = 0;
    int flags = 0;
};

std::shared_ptr<Node> g_root;
// The folders the last walk went through, by where their paths end in
// g_lastPath ("(memory)/a/b", no "." or ".." in it): the calls for one
// file come one after another and walk the same folders, so a walk starts
// from the deepest of them on its way. Taking a folder out of the tree, or
// moving one, forgets them all.
enum { kMaxDepth = 160 }; // MAX_PATH allows no deeper path
std::string g_lastPath;
Node* g_lastFolders[kMaxDepth]; // [0] is the top
size_t g_lastEnds[kMaxDepth];
size_t g_lastCount = 0;
std::vector<MemoryFile> g_files; // few are open at once
int g_nextFile = 1 << 20;        // far from the system's descriptors

bool InMemory(const std::string& path) {
    const size_t n = sizeof kMemoryFolder - 1;
    return path.compare(0, n, kMemoryFolder) == 0 && (path.size() == n || path[n] == '/');
}

bool IsMemoryFile(int fd) {
    return fd >= (1 << 20);
}

void ForgetLastFolder() {
    g_lastPath.clear();
    g_lastCount = 0;
}

// How many of the last walk's folders `path` passes through on its way.
size_t LastFoldersOnTheWay(std::string_view path) {
    size_t k = g_lastCount;
    for (; k > 0; --k) {
        const size_t end = g_lastEnds[k - 1];
        if (path.size() >= end && (path.size() == end || path[end] == '/') &&
            path.compare(0, end, std::string_view(g_lastPath).substr(0, end)) == 0)
            break;
    }
    return k;
}

int Fail(int error) {
    errno = error;
    return -1;
}

// The folder that holds `path` and the last name in it (a view into
// `path`); null with errno set when that folder is not there.
Node* Holder(const std::string& path, std::string_view* name) {
    if (!g_root)
        g_root = std::make_shared<Node>(Node{true, 0755, "", {}});
    Node* node = g_root.get();
    size_t at = sizeof kMemoryFolder; // past "(memory)/"
    if (path.size() < at) {
        errno = EINVAL;
        return nullptr;
    }
    const size_t last = path.rfind('/');
    const size_t k = LastFoldersOnTheWay(std::string_view(path).substr(0, last));
    if (k > 0 && g_lastEnds[k - 1] == last) {
        *name = std::string_view(path).substr(last + 1);
        return g_lastFolders[k - 1];
    }
    for (size_t slash; (slash = path.find('/', at)) != std::string::npos; at = slash + 1) {
        auto it = node->entries.find(std::string_view(path).substr(at, slash - at));
        if (it == node->entries.end() || !it->second->folder) {
            errno = it == node->entries.end() ? ENOENT : ENOTDIR;
            return nullptr;
        }
        node = it->second.get();
    }
    *name = std::string_view(path).substr(at);
    return node;
}

// The node a path names; "." and ".." are the folder and the one above,
// as a folder listing names them. Walks without copying names or nodes,
// from the deepest of the last walk's folders on the way: every file call
// of the machine in memory comes through here.
Node* Find(const std::string& path) {
    if (!g_root)
        g_root = std::make_shared<Node>(Node{true, 0755, "", {}});
    const std::string_view whole(path);
    Node* walked[kMaxDepth]; // the walk so far, and where each one's path ends
    size_t ends[kMaxDepth];
    walked[0] = g_root.get();
    ends[0] = sizeof kMemoryFolder - 1;
    const size_t known = std::max(LastFoldersOnTheWay(whole), size_t(1)); // the top at least
    std::copy(g_lastFolders + 1, g_lastFolders + known, walked + 1);
    std::copy(g_lastEnds + 1, g_lastEnds + known, ends + 1);
    size_t depth = known - 1, at = ends[depth];
    bool plain = true; // no "." or ".." or empty name: the walk can be kept
    while (at < whole.size()) {
        size_t end = whole.find('/', at + 1);
        end = end == std::string_view::npos ? whole.size() : end;
        const std::string_view name = whole.substr(at + 1, end - at - 1);
        at = end;
        if (name.empty() || name == ".") {
            plain = false;
            continue;
        }
        if (name == "..") {
            plain = false;
            depth -= depth > 0;
            continue;
        }
        const Node& folder = *walked[depth];
        if (!folder.folder) {
            errno = ENOTDIR;
            return nullptr;
        }
        auto it = folder.entries.find(name);
        if (it == folder.entries.end()) {
            errno = ENOENT;
            return nullptr;
        }
        if (depth + 1 == kMaxDepth) {
            errno = ENAMETOOLONG;
            return nullptr;
        }
        walked[++depth] = it->second.get();
        ends[depth] = end;
    }
    const size_t folders = walked[depth]->folder ? depth + 1 : depth;
    if (plain && folders > known) { // past the last walk's folders: keep this one instead
        std::copy(walked, walked + folders, g_lastFolders);
        std::copy(ends, ends + folders, g_lastEnds);
        g_lastPath.assign(path, 0, ends[folders - 1]);
        g_lastCount = folders;
    }
    return walked[depth];
}

MemoryFile* Lookup(int fd) {
    for (MemoryFile& f : g_files)
        if (f.fd == fd)
            return &f;
    return nullptr;
}

} // namespace

void ClearMemory() {
    ForgetLastFolder();
    g_root = nullptr;
    g_files.clear();
}

int Lstat(const std::string& path, struct stat* st) {
    return InMemory(path) ? Stat(path, st) : lstat(path.c_str(), st);
}

int Stat(const std::string& path, struct stat* st) {
    if (!InMemory(path))
        return stat(path.c_str(), st);
    Node* node = Find(path);
    if (!node)
        return -1;
    std::memset(st, 0, sizeof *st);
    st->st_mode = (node->folder ? S_IFDIR : S_IFREG) | node->mode;
    st->st_size = off_t(node->data.size());
    st->st_nlink = 1;
    return 0;
}

int Open(const std::string& path, int flags, mode_t mode) {
    if (!InMemory(path))
        return open(path.c_str(), flags, mode);
    std::string_view name;
    Node* holder = Holder(path, &name);
    if (!holder)
        return -1;
    auto it = holder->entries.find(name);
    if (it == holder->entries.end()) {
        if (!(flags & O_CREAT))
            return Fail(ENOENT);
        it = holder->entries.emplace(name, std::make_shared<Node>(Node{false, mode & 0777, "", {}}))
                 .first;
    } else if (it->second->folder && (flags & O_ACCMODE) != O_RDONLY) {
        return Fail(EISDIR);
    }
    const std::shared_ptr<Node>& node = it->second;
    if ((flags & O_TRUNC) && (flags & O_ACCMODE) != O_RDONLY)
        node->data.clear();
    g_files.push_back(MemoryFile{g_nextFile, node, 0, flags});
    return g_nextFile++;
}

ssize_t Read(int fd, void* buffer, size_t size) {
    if (!IsMemoryFile(fd))
        return read(fd, buffer, size);
    MemoryFile* f = Lookup(fd);
    if (!f || (f->flags & O_ACCMODE) == O_WRONLY)
        return Fail(EBADF);
    if (f->node->folder)
        return Fail(EISDIR);
    size_t n = f->at < f->node->data.size() ? std::min(size, f->node->data.size() - f->at) : 0;
    std::memcpy(buffer, f->node->data.data() + f->at, n);
    f->at += n;
    return ssize_t(n);
}

ssize_t Write(int fd, const void* buffer, size_t size) {
    if (!IsMemoryFile(fd))
        return write(fd, buffer, size);
    MemoryFile* f = Lookup(fd);
    if (!f || (f->flags & O_ACCMODE) == O_RDONLY)
        return Fail(EBADF);
    std::string& data = f->node->data;
    if (f->flags & O_APPEND)
        f->at = data.size();
    if (data.size() < f->at + size)
        data.resize(f->at + size);
    std::memcpy(&data[f->at], buffer, size);
    f->at += size;
    return ssize_t(size);
}

off_t Seek(int fd, off_t offset, int whence) {
    if (!IsMemoryFile(fd))
        return lseek(fd, offset, whence);
    MemoryFile* f = Lookup(fd);
    if (!f)
        return Fail(EBADF);
    off_t base = whence == SEEK_SET   ? 0
                 : whence == SEEK_CUR ? off_t(f->at)
                                      : off_t(f->node->data.size());
    if (base + offset < 0)
        return Fail(EINVAL);
    f->at = size_t(base + offset);
    return off_t(f->at);
}

int Close(int fd) {
    if (!IsMemoryFile(fd))
        return close(fd);
    MemoryFile* f = Lookup(fd);
    if (!f)
        return Fail(EBADF);
    if (f != &g_files.back())
        *f = std::move(g_files.back());
    g_files.pop_back();
    return 0;
}

int Fchmod(int fd, mode_t mode) {
    if (!IsMemoryFile(fd))
        return fchmod(fd, mode);
    MemoryFile* f = Lookup(fd);
    if (!f)
        return Fail(EBADF);
    f->node->mode = mode & 0777;
    return 0;
}

int Truncate(int fd, off_t size) {
    if (!IsMemoryFile(fd))
        return ftruncate(fd, size);
    MemoryFile* f = Lookup(fd);
    if (!f || (f->flags & O_ACCMODE) == O_RDONLY)
        return Fail(EBADF);
    f->node->data.resize(size_t(size));
    return 0;
}

int Chmod(const std::string& path, mode_t mode) {
    if (!InMemory(path))
        return chmod(path.c_str(), mode);
    Node* node = Find(path);
    if (!node)
        return Fail(ENOENT);
    node->mode = mode & 0777;
    return 0;
}

namespace {

// Takes a file (or an empty folder) out of its folder in memory.
int RemoveEntry(const std::string& path, bool folder) {
    std::string_view name;
    Node* holder = Holder(path, &name);
    if (!holder)
        return -1;
    auto it = holder->entries.find(name);
    if (it == holder->entries.end())
        return Fail(ENOENT);
    if (it->second->folder != folder)
        return Fail(folder ? ENOTDIR : EISDIR);
    if (folder && !it->second->entries.empty())
        return Fail(ENOTEMPTY);
    if (folder)
        ForgetLastFolder();
    holder->entries.erase(it);
    return 0;
}

} // namespace

int Unlink(const std::string& path) {
    return InMemory(path) ? RemoveEntry(path, false) : unlink(path.c_str());
}

int Rename(const std::string& from, const std::string& to) {
    if (!InMemory(from) && !InMemory(to))
        return rename(from.c_str(), to.c_str());
    if (InMemory(from) != InMemory(to))
        return Fail(EXDEV);
    std::string_view fromName, toName;
    Node* fromHolder = Holder(from, &fromName);
    if (!fromHolder)
        return -1;
    auto it = fromHolder->entries.find(fromName);
    if (it == fromHolder->entries.end())
        return Fail(ENOENT);
    Node* toHolder = Holder(to, &toName);
    if (!toHolder)
        return -1;
    if (from == to)
        return 0;
    std::shared_ptr<Node> node = it->second;
    auto there = toHolder->entries.find(toName);
    if (there != toHolder->entries.end()) {
        if (there->second->folder != node->folder)
            return Fail(node->folder ? ENOTDIR : EISDIR);
        if (there->second->folder && !there->second->entries.empty())
            return Fail(ENOTEMPTY);
    }
    if (node->folder && to.compare(0, from.size() + 1, from + "/") == 0)
        return Fail(EINVAL);
    if (node->folder || there != toHolder->entries.end())
        ForgetLastFolder();        // a folder moves, or one may be replaced
    fromHolder->entries.erase(it); // the names are views into the paths: both stay good
    if (there != toHolder->entries.end())
        there->second = node;
    else
        toHolder->entries.emplace(toName, node);
    return 0;
}

int Mkdir(const std::string& path, mode_t mode) {
    if (!InMemory(path))
        return mkdir(path.c_str(), mode);
    if (path == kMemoryFolder) {
        Find(path);
        return 0;
    }
    std::string_view name;
    Node* holder = Holder(path, &name);
    if (!holder)
        return -1;
    if (holder->entries.count(name))
        return Fail(EEXIST);
    holder->entries.emplace(name, std::make_shared<Node>(Node{true, mode & 0777, "", {}}));
    return 0;
}

int Rmdir(const std::string& path) {
    return InMemory(path) ? RemoveEntry(path, true) : rmdir(path.c_str());
}

bool List(const std::string& folder, std::vector<std::string>* names) {
    names->clear();
    if (!InMemory(folder)) {
        DIR* d = opendir(folder.c_str());
        if (!d)
            return false;
        while (dirent* e = readdir(d))
            names->push_back(e->d_name);
        closedir(d);
        return true;
    }
    Node* node = Find(folder);
    if (!node || !node->folder) {
        errno = node ? ENOTDIR : ENOENT;
        return false;
    }
    *names = {".", ".."};
    for (const auto& entry : node->entries)
        names->push_back(entry.first);
    return true;
}

namespace {

bool EqualNoCase(std::string_view a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i], y = b[i];
        if ((x >= 'A' && x <= 'Z' ? x + 32 : x) != (y >= 'A' && y <= 'Z' ? y + 32 : y))
            return false;
    }
    return i == a.size() && !b[i];
}

} // namespace

bool FindNoCase(const std::string& folder, std::string_view name, std::string* found) {
    bool any = false;
    if (!InMemory(folder)) {
        DIR* d = opendir(folder.c_str());
        if (!d)
            return false;
        while (dirent* e = readdir(d))
            if (EqualNoCase(name, e->d_name)) {
                *found = e->d_name;
                any = true;
            }
        closedir(d);
        return any;
    }
    Node* node = Find(folder);
    if (!node || !node->folder)
        return false;
    for (const auto& entry : node->entries)
        if (EqualNoCase(name, entry.first.c_str())) {
            *found = entry.first;
            any = true;
        }
    return any;
}

bool ReadWhole(const std::string& path, std::string* text) {
    int fd = Open(path, O_RDONLY);
    if (fd < 0)
        return false;
    text->clear();
    struct stat st;
    if (Stat(path, &st) == 0)
        text->reserve(size_t(st.st_size));
    char buffer[65536];
    ssize_t n;
    while ((n = Read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            text->append(buffer, size_t(n));
    int error = errno;
    Close(fd);
    errno = error;
    return n == 0;
}

bool WriteAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = Write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= size_t(w);
    }
    return true;
}

bool WriteWhole(const std::string& path, std::string_view text) {
    int fd = Open(path, O_WRONLY | O_CREAT | O_TRUNC);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, text.data(), text.size());
    return Close(fd) == 0 && ok;
}

namespace {

// Memory for `size` bytes of a large file, all made at once and in huge
// pages where the system has them: memory made page by page, as a read into
// plain memory makes it, costs a fault for each page, and on a virtual
// machine the faults cost ten times the reading. *base and *length: what to
// unmap. MAP_FAILED when there is no memory.
void* TakeMemory(size_t size, void** base, size_t* length) {
    const size_t huge = size_t(2) << 20;
    *length = (size + huge - 1) / huge * huge + huge; // room to align
    *base = mmap(nullptr, *length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (*base == MAP_FAILED)
        return MAP_FAILED;
    char* p =
        reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(*base) + huge - 1) & ~(huge - 1));
    const size_t whole = *length - huge;
    madvise(p, whole, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    madvise(p, whole, MADV_POPULATE_WRITE); // where it fails, each page is made when written
#endif
    return p;
}

} // namespace

SharedText::~SharedText() {
    if (mapped_)
        munmap(mapped_, mappedSize_);
}

bool ReadShared(const std::string& path, std::shared_ptr<const SharedText>* out) {
    auto shared = std::make_shared<SharedText>();
    *out = shared;
    auto plain = [&]() {
        if (!ReadWhole(path, &shared->held_))
            return false;
        shared->text_ = shared->held_;
        return true;
    };
    struct stat st;
    if (InMemory(path) || Stat(path, &st) != 0 || st.st_size < (1 << 20))
        return plain();
    int fd = Open(path, O_RDONLY);
    if (fd < 0)
        return false;
    // One byte more than the file holds, to see that it did not grow.
    const size_t room = size_t(st.st_size) + 1;
    void* p = TakeMemory(room, &shared->mapped_, &shared->mappedSize_);
    size_t got = 0;
    ssize_t n = 0;
    while (p != MAP_FAILED && got < room) {
        n = Read(fd, static_cast<char*>(p) + got, room - got);
        if (n == 0 || (n < 0 && errno != EINTR))
            break;
        got += n > 0 ? size_t(n) : 0;
    }
    const int error = errno;
    Close(fd);
    if (p != MAP_FAILED && n >= 0 && got < room) {
        shared->text_ = std::string_view(static_cast<const char*>(p), got);
        return true;
    }
    if (p != MAP_FAILED)
        munmap(shared->mapped_, shared->mappedSize_);
    shared->mapped_ = nullptr;
    if (p == MAP_FAILED || n >= 0) // no memory to map, or the file grew while it was read
        return plain();
    errno = error;
    return false;
}

} // namespace hostfs
} // namespace hostwin
