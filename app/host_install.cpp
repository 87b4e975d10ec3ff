#include "host_install.h"

#include "language.h"
#include "product_installer.h"
#include "product_state.h"
#include "run_log.h"
#include "shell_ui.h"

#include "platform/host.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every run starts as a fresh process would.
void ResetProductState() {
    SetupOptions = {};
    DestinationDir[0] = 0;
    SourceDir[0] = 0;
    SharedDir[0] = 0;
    FontExtension[0] = 0;
    AutoNumber = 1;
}

} // namespace

bool MountSourceDrive(const std::string& source, std::string* error) {
    char* absolute = realpath(source.c_str(), nullptr);
    struct stat st;
    if (!absolute || stat(absolute, &st) != 0 || !S_ISDIR(st.st_mode)) {
        *error = "no such source folder: " + source;
        free(absolute);
        return false;
    }
    std::string drive = hostwin::MachineFolder() + "/drive_d";
    struct stat existing;
    if (lstat(drive.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        *error = drive + " exists and is not a link to a source folder";
        free(absolute);
        return false;
    }
    unlink(drive.c_str());
    bool linked = symlink(absolute, drive.c_str()) == 0;
    if (!linked)
        *error = "cannot link " + drive + ": " + std::strerror(errno);
    free(absolute);
    return linked;
}

bool FloppyDrive::Find(const std::string& folder, std::string* error) {
    for (const char* suffix : {".IMG", ""}) {
        int found = 0;
        for (int i = 0; i < 3; ++i) {
            disks_[i] = folder + "/DISK" + std::to_string(i + 1) + suffix;
            struct stat st;
            found += stat(disks_[i].c_str(), &st) == 0 && (S_ISDIR(st.st_mode) != 0) == !suffix[0];
        }
        if (found < 3)
            continue;
        for (const std::string& disk : disks_)
            if (!hostwin::CheckDisk(disk, error))
                return false;
        return true;
    }
    *error = "neither the floppy images DISK1.IMG..DISK3.IMG nor the disk folders DISK1..DISK3 "
             "in '" +
             folder + "'";
    return false;
}

bool FloppyDrive::Insert(const char* disk, std::string* error) {
    for (int i = 0; i < 3; ++i) {
        std::string name = "DISK" + std::to_string(i + 1);
        if (name != disk)
            continue;
        if (!hostwin::InsertDisk('A', disks_[i], error))
            return false;
        current_ = name;
        return true;
    }
    *error = std::string("no disk ") + disk + " among the three";
    return false;
}

const char kSetupModule[] = "D:\\DISK1\\SETUP.EXE";
const char kFloppySetupModule[] = "A:\\SETUP.EXE";

SetupOutcome RunSetup(DialogFrontEnd* frontEnd, const char* module) {
    ResetProductState();
    hostwin::SetModuleFileName(module);
    SetFrontEnd(frontEnd);
    SetModuleInstance(GetModuleHandleA(nullptr));
    ShellUi ui;
    SetupOutcome outcome;
    {
        ProductInstaller installer(ModuleInstance());
        installer.SetUi(&ui);
        outcome.runResult = installer.Run();
        outcome.result = installer.Finish(outcome.runResult);
        outcome.restart = installer.RestartRequested();
    }
    SetFrontEnd(nullptr);
    // As the main window does once it is gone.
    if (outcome.restart)
        LogChange(ExitWindowsEx(EWX_REBOOT, 0) != FALSE, "restart Windows");
    return outcome;
}
