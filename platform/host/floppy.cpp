// The floppy drives of the emulated machine. Inserting a disk replaces what
// the drive shows with the files of a folder or of a floppy image, read with
// mtools, as a person swaps floppies; a disk that cannot be read leaves the
// one in the drive where it is.
#include "machine.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace hostwin {

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

void RemoveTree(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) == 0)
        nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

// Runs mtools' `args` (program first), its output thrown away.
bool RunMtools(const char* const* args, const std::string& image, std::string* error) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child;
    int started =
        posix_spawnp(&child, args[0], &actions, nullptr, const_cast<char**>(args), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        *error = std::string("cannot run ") + args[0] +
                 " (mtools; run tools/install-deps.sh): " + std::strerror(started);
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return true;
    *error = image + " is not a floppy image that mtools can read";
    return false;
}

// The files and folders below `from` into the folder `to`.
bool CopyTree(const std::string& from, const std::string& to) {
    DIR* dir = opendir(from.c_str());
    if (!dir)
        return false;
    bool ok = true;
    DWORD error = 0;
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        bool isDir = false;
        if (!HostExists(from + "/" + name, &isDir))
            continue;
        ok = isDir ? mkdir((to + "/" + name).c_str(), 0755) == 0 &&
                         CopyTree(from + "/" + name, to + "/" + name)
                   : CopyContents(from + "/" + name, to + "/" + name, &error);
        if (!ok)
            break;
    }
    closedir(dir);
    return ok;
}

} // namespace

bool CheckDisk(const std::string& disk, std::string* error) {
    bool isDir = false;
    if (!HostExists(disk, &isDir)) {
        *error = "no such disk: " + disk;
        return false;
    }
    const char* args[] = {"mdir", "-i", disk.c_str(), "::/", nullptr};
    return isDir || RunMtools(args, disk, error);
}

bool InsertDisk(char drive, const std::string& disk, std::string* error) {
    drive = char(drive | 0x20);
    if ((drive != 'a' && drive != 'b') || !IsMounted() || MachineIsReadOnly()) {
        *error = "no floppy drive to insert a disk into";
        return false;
    }
    // Read in beside the drive, then swapped in whole.
    const std::string root = MachineFolder() + "/drive_" + drive;
    const std::string incoming = root + ".incoming", outgoing = root + ".outgoing";
    RemoveTree(incoming);
    RemoveTree(outgoing);
    bool isDir = false, read = false;
    if (!HostExists(disk, &isDir)) {
        *error = "no such disk: " + disk;
    } else if (mkdir(incoming.c_str(), 0755) != 0) {
        *error = "cannot make " + incoming + ": " + std::strerror(errno);
    } else if (isDir) {
        if (!(read = CopyTree(disk, incoming)))
            *error = "cannot copy the files of " + disk;
    } else {
        const std::string target = incoming + "/";
        const char* args[] = {"mcopy", "-i",  disk.c_str(),   "-s",   "-n",
                              "-m",    "::/", target.c_str(), nullptr};
        read = RunMtools(args, disk, error);
    }
    struct stat st;
    bool hadDisk = lstat(root.c_str(), &st) == 0;
    bool swapped = read && (!hadDisk || rename(root.c_str(), outgoing.c_str()) == 0);
    if (swapped && rename(incoming.c_str(), root.c_str()) != 0) {
        swapped = false;
        if (hadDisk)
            rename(outgoing.c_str(), root.c_str());
    }
    if (read && !swapped)
        *error = "cannot put the disk in " + root + ": " + std::strerror(errno);
    RemoveTree(incoming);
    RemoveTree(outgoing);
    return swapped;
}

} // namespace hostwin
