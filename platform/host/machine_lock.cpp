// One run per machine: a second setup on the same machine folder would
// interleave its reads and writes of the registry store and the INI files.
// The lock is a socket bound to a name made from the folder's path in the
// abstract namespace, so it holds through a demo machine being wiped and
// made again, leaves no file behind, and dies with the process, however it
// ends.
#include "platform/host.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace hostwin {

namespace {

// The folder's absolute path, links resolved; for a folder still to be made,
// that of its parent followed by its name.
std::string CanonicalFolder(const std::string& folder) {
    char resolved[PATH_MAX];
    if (realpath(folder.c_str(), resolved))
        return resolved;
    std::string path = folder;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    size_t slash = path.rfind('/');
    std::string parent = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    if (!realpath(parent.c_str(), resolved))
        return path;
    return std::string(resolved) + "/" + path.substr(slash == std::string::npos ? 0 : slash + 1);
}

} // namespace

MachineLock LockMachine(const std::string& folder, std::string* error) {
    std::string path = CanonicalFolder(folder);
    unsigned long long hash = 14695981039346656037ull; // FNV-1a
    for (unsigned char c : path)
        hash = (hash ^ c) * 1099511628211ull;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    int length = std::snprintf(address.sun_path + 1, sizeof address.sun_path - 1,
                               "brivanta-machine-%016llx", hash);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        *error = std::string("cannot lock the machine ") + path + ": " + std::strerror(errno);
        return MachineLock::Failed;
    }
    socklen_t size = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0)
        return MachineLock::Held; // until the process ends
    int cause = errno;
    close(fd);
    if (cause == EADDRINUSE) {
        *error = "another installation is running on the machine " + path;
        return MachineLock::InUse;
    }
    *error = "cannot lock the machine " + path + ": " + std::strerror(cause);
    return MachineLock::Failed;
}

} // namespace hostwin
