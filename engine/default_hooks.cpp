// The engine's hooks that talk to the user: progress, copy errors and the
// search for each source disk. Without a user interface every dialog counts
// as one that could not be shown.
#include "install_engine.h"

#include "text.h"

#include <cstdio>
#include <cstring>

namespace {

// The component ends in digits 1 to 8 and "DISK" stands in front of them.
bool IsDiskComponent(const char* component, size_t length, size_t* letters) {
    size_t i = length;
    while (i > 0 && component[i - 1] >= '1' && component[i - 1] <= '8')
        --i;
    if (i == length || i != 4)
        return false;
    *letters = i;
    return CompareNoCaseN(component, "DISK", 4) == 0;
}

// The disk number at the end of a disk's name ("~Disk 2" gives 2): its last
// character and the digits 1 to 8 right before it. False: no number there.
bool DiskNumber(const char* name, unsigned* number) {
    size_t n = std::strlen(name);
    if (n == 0 || name[n - 1] < '0' || name[n - 1] > '9')
        return false;
    size_t start = n - 1;
    while (start > 0 && name[start - 1] >= '1' && name[start - 1] <= '8' && n - start < 9)
        --start;
    unsigned value = 0;
    for (size_t i = start; i < n; ++i)
        value = value * 10 + unsigned(name[i] - '0');
    *number = value;
    return true;
}

} // namespace

ResultCode InstallEngine::BeforeCopy() {
    progress_ = ui_ ? ui_->OpenProgressWindow(owner_, fileCount_, MsgAbortConfirm) : nullptr;
    if (progress_)
        return Ok;
    if (ui_)
        ui_->ShowMessage(owner_, MsgInstallFilesError);
    return ScriptError;
}

ResultCode InstallEngine::AfterCopy() {
    if (ui_)
        ui_->CloseProgressWindow();
    progress_ = nullptr; // closed, or left to its owner after a cancel
    return Ok;
}

ResultCode InstallEngine::FileDone(FileEntry*, unsigned filesDone) {
    return (ui_ && ui_->UpdateProgress(filesDone) != 0) ? Ok : Abort;
}

ResultCode InstallEngine::FileError(ResultCode code, FileEntry* file) {
    if (!ui_)
        return (code == CannotOpenSource || code == ReadFailed || code == CannotCreateTarget ||
                code == WriteFailed)
                   ? Abort
                   : Ok;
    if (progress_)
        ui_->ShowProgressWindow(progress_, false);
    ResultCode answer = Ok;
    switch (code) {
    case CannotOpenSource:
        ui_->ShowMessageText(owner_, MsgFileNotFound, file->SourceName());
        answer = LocateDisk(file->Source(), nullptr, false);
        break;
    case ReadFailed:
        if (ui_->AskMessageText(owner_, MsgSourceReadRetry, file->SourceName(), 1) == 1)
            answer = Ok;
        else
            answer = LocateDisk(file->Source(), nullptr, false);
        break;
    case CannotCreateTarget:
    case WriteFailed:
        ui_->ShowMessageTexts(owner_, MsgCopyFailed, file->TargetName(),
                              file->Target() ? file->Target()->Directory() : "");
        ui_->ShowMessage(owner_, MsgInstallTerminated);
        answer = Abort;
        break;
    default:
        answer = Ok;
        break;
    }
    if (progress_)
        ui_->ShowProgressWindow(progress_, true);
    return answer;
}

ResultCode InstallEngine::LocateDisk(PathEntry* disk, PathEntry* previous, bool firstDisk) {
    if (firstDisk)
        return Ok;
    if (previous && ApplySiblingRule(disk, previous))
        return Ok;
    return PromptForDisk(disk);
}

bool InstallEngine::ApplySiblingRule(PathEntry* disk, PathEntry* previous) {
    const char* component = previous->LastComponent();
    size_t length = std::strlen(component);
    if (length > 0 && component[length - 1] == '\\')
        --length;
    size_t letters = 0;
    unsigned number = 0;
    if (!IsDiskComponent(component, length, &letters) || !DiskNumber(disk->Name(), &number))
        return false;
    char replacement[32];
    std::snprintf(replacement, sizeof replacement, "%.*s%u", int(letters), component, number);
    char directory[PathEntry::TextSize];
    CopyText(directory, sizeof directory, previous->Directory());
    disk->SetDirectory(directory);
    disk->ReplaceLastComponent(replacement, true);
    return true;
}

namespace {

bool DirectoryExists(const char* directory) {
    size_t n = std::strlen(directory);
    if (n == 3) {
        UINT type = GetDriveTypeA(directory);
        return type != DRIVE_UNKNOWN && type != DRIVE_NO_ROOT_DIR;
    }
    char path[PathEntry::TextSize];
    CopyText(path, sizeof path, directory);
    if (n > 0 && path[n - 1] == '\\')
        path[n - 1] = 0;
    return PathExists(path);
}

} // namespace

ResultCode InstallEngine::PromptForDisk(PathEntry* disk) {
    if (!ui_)
        return Abort;
    char buffer[PathEntry::TextSize];
    CopyText(buffer, sizeof buffer, disk->Directory());
    for (;;) {
        int answer;
        if (diskCount_ > 1) {
            char label[LabelSize];
            DiskLabel(disk, label);
            answer = ui_->PromptDisk(owner_, MsgInsertDisk, label, buffer, sizeof buffer);
        } else {
            answer = ui_->PromptDirectory(owner_, MsgEnterSourceDir, 0, buffer, sizeof buffer);
        }
        if (answer == -1)
            return Abort; // the prompt cannot be shown: asking again would loop
        if (answer != 1) {
            // A question that cannot even be shown counts as a confirmed abort.
            int confirm = ui_->AskMessage(owner_, MsgAbortConfirm, 2);
            if (confirm == 1 || confirm == -1)
                return Abort;
            continue;
        }
        disk->SetDirectory(buffer);
        if (DirectoryExists(disk->Directory()))
            return Ok;
        ui_->ShowMessage(owner_, MsgDirectoryNotFound);
        CopyText(buffer, sizeof buffer, disk->Directory());
    }
}
