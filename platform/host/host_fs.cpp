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
    std::shared_ptr<Node> node;
    size_t at = 0;
    int flags = 0;
};

std::shared_ptr<Node> g_root;
std::map<int, MemoryFile> g_files;
int g_nextFile = 1 << 20; // far from the system's descriptors

bool InMemory(const std::string& path) {
    const size_t n = sizeof kMemoryFolder - 1;
    return path.compare(0, n, kMemoryFolder) == 0 && (path.size() == n || path[n] == '/');
}

bool IsMemoryFile(int fd) {
    return fd >= (1 << 20);
}

int Fail(int error) {
    errno = error;
    return -1;
}

// The folder that holds `path` and the last name in it; null with errno
// set when that folder is not there.
Node* Holder(const std::string& path, std::string* name) {
    if (!g_root)
        g_root = std::make_shared<Node>(Node{true, 0755, "", {}});
    Node* node = g_root.get();
    size_t at = sizeof kMemoryFolder; // past "(memory)/"
    if (path.size() < at) {
        errno = EINVAL;
        return nullptr;
    }
    for (size_t slash; (slash = path.find('/', at)) != std::string::npos; at = slash + 1) {
        auto it = node->entries.find(std::string_view(path).substr(at, slash - at));
        if (it == node->entries.end() || !it->second->folder) {
            errno = it == node->entries.end() ? ENOENT : ENOTDIR;
            return nullptr;
        }
        node = it->second.get();
    }
    *name = path.substr(at);
    return node;
}

// The node a path names; "." and ".." are the folder and the one above,
// as a folder listing names them. Walks without copying names or nodes:
// every file call of the machine in memory comes through here.
std::shared_ptr<Node> Find(const std::string& path) {
    if (!g_root)
        g_root = std::make_shared<Node>(Node{true, 0755, "", {}});
    const std::shared_ptr<Node>* walked[160]; // MAX_PATH allows no deeper path
    size_t depth = 0;
    walked[0] = &g_root;
    const std::string_view whole(path);
    size_t at = sizeof kMemoryFolder - 1;
    while (at < whole.size()) {
        size_t end = whole.find('/', at + 1);
        end = end == std::string_view::npos ? whole.size() : end;
        const std::string_view name = whole.substr(at + 1, end - at - 1);
        at = end;
        if (name.empty() || name == ".")
            continue;
        if (name == "..") {
            depth -= depth > 0;
            continue;
        }
        const Node& folder = **walked[depth];
        if (!folder.folder) {
            errno = ENOTDIR;
            return nullptr;
        }
        auto it = folder.entries.find(name);
        if (it == folder.entries.end()) {
            errno = ENOENT;
            return nullptr;
        }
        if (depth + 1 == sizeof walked / sizeof walked[0]) {
            errno = ENAMETOOLONG;
            return nullptr;
        }
        walked[++depth] = &it->second;
    }
    return *walked[depth];
}

MemoryFile* Lookup(int fd) {
    auto it = g_files.find(fd);
    return it == g_files.end() ? nullptr : &it->second;
}

} // namespace

void ClearMemory() {
    g_root = nullptr;
    g_files.clear();
}

int Lstat(const std::string& path, struct stat* st) {
    return InMemory(path) ? Stat(path, st) : lstat(path.c_str(), st);
}

int Stat(const std::string& path, struct stat* st) {
    if (!InMemory(path))
        return stat(path.c_str(), st);
    std::shared_ptr<Node> node = Find(path);
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
    std::string name;
    Node* holder = Holder(path, &name);
    if (!holder)
        return -1;
    std::shared_ptr<Node>& node = holder->entries[name];
    if (!node) {
        if (!(flags & O_CREAT)) {
            holder->entries.erase(name);
            return Fail(ENOENT);
        }
        node = std::make_shared<Node>(Node{false, mode & 0777, "", {}});
    } else if (node->folder && (flags & O_ACCMODE) != O_RDONLY) {
        return Fail(EISDIR);
    }
    if ((flags & O_TRUNC) && (flags & O_ACCMODE) != O_RDONLY)
        node->data.clear();
    g_files[g_nextFile] = MemoryFile{node, 0, flags};
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
    return g_files.erase(fd) ? 0 : Fail(EBADF);
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
    std::shared_ptr<Node> node = Find(path);
    if (!node)
        return Fail(ENOENT);
    node->mode = mode & 0777;
    return 0;
}

namespace {

// Takes a file (or an empty folder) out of its folder in memory.
int RemoveEntry(const std::string& path, bool folder) {
    std::string name;
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
    std::string fromName, toName;
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
    fromHolder->entries.erase(it);
    toHolder->entries[toName] = node;
    return 0;
}

int Mkdir(const std::string& path, mode_t mode) {
    if (!InMemory(path))
        return mkdir(path.c_str(), mode);
    if (path == kMemoryFolder) {
        Find(path);
        return 0;
    }
    std::string name;
    Node* holder = Holder(path, &name);
    if (!holder)
        return -1;
    if (holder->entries.count(name))
        return Fail(EEXIST);
    holder->entries[name] = std::make_shared<Node>(Node{true, mode & 0777, "", {}});
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
    std::shared_ptr<Node> node = Find(folder);
    if (!node || !node->folder) {
        errno = node ? ENOTDIR : ENOENT;
        return false;
    }
    *names = {".", ".."};
    for (const auto& entry : node->entries)
        names->push_back(entry.first);
    return true;
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

bool WriteWhole(const std::string& path, const std::string& text) {
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
