#include "product_installer.h"

#include "fonts.h"
#include "messages.h"
#include "product_script.h"
#include "product_state.h"
#include "resource_ids.h"
#include "setup_state.h"

#include "text.h"

#include <cstring>

namespace {

// The directory of the running program; false when its name is not known.
bool ModuleDirectory(char* directory, DWORD size) {
    DWORD n = GetModuleFileNameA(nullptr, directory, size);
    if (n == 0 || n >= size)
        return false;
    char* slash = std::strrchr(directory, '\\');
    *(slash ? slash : directory) = 0;
    return true;
}

// Removes what a failed write left of a target the copy made, so that nothing
// refers to a truncated file. An existing target is never cut: it stays.
void DeletePartialTarget(FileEntry* file) {
    char path[FileEntry::TextSize];
    if (file->Target() &&
        JoinPath(path, sizeof path, file->Target()->Directory(), file->TargetName()))
        DeleteFileA(path);
}

} // namespace

bool IsToleratedTarget(const char* targetName) {
    const char* extension = FileExtension(targetName);
    return CompareNoCase(extension, "nls") == 0 || CompareNoCase(extension, "kbd") == 0 ||
           CompareNoCase(extension, "ttf") == 0;
}

ProductInstaller::ProductInstaller(HINSTANCE instance) : InstallEngine(instance, nullptr) {
    SetDefaultProgramDirHook(DefaultProgramDir);
}

ProductInstaller::~ProductInstaller() {
    SetDefaultProgramDirHook(nullptr);
    if (Script() == productScript_)
        SetScript(nullptr);
    delete productScript_;
}

ResultCode ProductInstaller::PathAdded(PathEntry* path) {
    const char* name = path->Name();
    char directory[MAX_PATH];
    if (CompareNoCase(name, "~Disk 1") == 0) {
        if (ModuleDirectory(directory, sizeof directory))
            path->SetDirectory(directory);
    } else if (CompareNoCase(name, "BV_DIR") == 0) {
        path->SetDirectory(DestinationDir);
    } else if (CompareNoCase(name, "SYS_DIR") == 0) {
        UINT n = GetSystemDirectoryA(directory, sizeof directory);
        path->SetDirectory(n > 0 && n < sizeof directory ? directory : "");
    } else if (CompareNoCase(name, "FONT_DIR") == 0) {
        FontsDirectory(directory, sizeof directory);
        path->SetDirectory(directory);
    } else if (CompareNoCase(name, "OLD_DIR") == 0) {
        path->SetDirectory(SharedDir);
    }
    return Ok;
}

ResultCode ProductInstaller::AfterCopy() {
    // After any change the user made at the disk prompt.
    PathEntry* disk = FindPathEntry("~Disk 1");
    CopyText(SourceDir, sizeof SourceDir, disk ? disk->Directory() : "");
    return InstallEngine::AfterCopy();
}

ResultCode ProductInstaller::FileError(ResultCode code, FileEntry* file) {
    if (code != CannotCreateTarget && code != WriteFailed)
        return InstallEngine::FileError(code, file);
    if (IsToleratedTarget(file->TargetName())) {
        if (code == WriteFailed && file->CreatedTarget())
            DeletePartialTarget(file);
        return Skip;
    }
    ShowMessageTexts(OwnerWindow(), IDS_COPY_FAILED, file->TargetName(),
                     file->Target() ? file->Target()->Directory() : "");
    ShowMessage(OwnerWindow(), IDS_CLOSE_PROGRAMS_AND_RETRY);
    return Abort;
}
