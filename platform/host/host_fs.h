// The host files behind the emulated machine: the real file system, or for
// a machine held in memory (its folder is kMemoryFolder), a tree of files
// in memory that answers the same calls the same way, errno included. The
// machine's code calls these instead of the system's file calls.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace hostwin {
namespace hostfs {

extern const char kMemoryFolder[]; // the folder name of the machine in memory

// Empties the memory, as a new machine there starts.
void ClearMemory();

int Stat(const std::string& path, struct stat* st);
int Lstat(const std::string& path, struct stat* st); // memory has no links: as Stat
int Open(const std::string& path, int flags, mode_t mode = 0644);
ssize_t Read(int fd, void* buffer, size_t size);
ssize_t Write(int fd, const void* buffer, size_t size);
off_t Seek(int fd, off_t offset, int whence);
int Close(int fd);
int Fchmod(int fd, mode_t mode);
int Truncate(int fd, off_t size);
int Chmod(const std::string& path, mode_t mode);
int Unlink(const std::string& path);
int Rename(const std::string& from, const std::string& to);
int Mkdir(const std::string& path, mode_t mode = 0755);
int Rmdir(const std::string& path);
// The names in a folder, "." and ".." included, as readdir gives them.
bool List(const std::string& folder, std::vector<std::string>* names);
// The name of an entry of `folder` that is `name` but for the case of ASCII
// letters (the last one a listing gives, when there are several); false
// when there is none. A listing would give the same, without a list.
bool FindNoCase(const std::string& folder, std::string_view name, std::string* found);
// All of `n` bytes, written on past interruptions and short writes.
bool WriteAll(int fd, const char* p, size_t n);
// A whole file, read or written (made or emptied first).
bool ReadWhole(const std::string& path, std::string* text);
bool WriteWhole(const std::string& path, std::string_view text);

// A whole file read into memory of its own, which a large file takes at
// once rather than a page fault for each page, and which stays as long as
// anything holds it.
class SharedText {
  public:
    SharedText() = default;
    SharedText(const SharedText&) = delete;
    SharedText& operator=(const SharedText&) = delete;
    ~SharedText();
    std::string_view Text() const { return text_; }

  private:
    friend bool ReadShared(const std::string& path, std::shared_ptr<const SharedText>* out);
    std::string held_;       // a small file, or one in memory
    void* mapped_ = nullptr; // a large one
    size_t mappedSize_ = 0;
    std::string_view text_;
};
bool ReadShared(const std::string& path, std::shared_ptr<const SharedText>* out);

} // namespace hostfs
} // namespace hostwin
