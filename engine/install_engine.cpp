#include "install_engine.h"

#include "run_log.h"
#include "text.h"

#include <cstring>
#include <new>

InstallEngine::InstallEngine(HINSTANCE instance, ScriptText* script)
    : instance_(instance), script_(script) {}

// ---- Default hooks without dialogs -------------------------------------

unsigned InstallEngine::DiskLabel(PathEntry* disk, char* label) {
    return unsigned(CopyText(label, LabelSize, disk->Name())) + 1;
}

ResultCode InstallEngine::BeforeFile(FileEntry*) {
    return Ok;
}
ResultCode InstallEngine::ChunkCopied(unsigned) {
    return Ok;
}
ResultCode InstallEngine::BeforeDelete(FileEntry*) {
    return Ok;
}
ResultCode InstallEngine::PathAdded(PathEntry*) {
    return Ok;
}
ResultCode InstallEngine::Initialize() {
    return Ok;
}
ResultCode InstallEngine::Finish(ResultCode runResult) {
    return runResult;
}

// ---- Run sequence --------------------------------------------------------

ResultCode InstallEngine::Run() {
    ResultCode result = Initialize();
    if (result != Ok)
        return result;
    if (!script_)
        return ScriptError;
    if ((result = ParsePaths()) != Ok)
        return result;
    if ((result = ParseFileSection("Files")) != Ok)
        return result;
    if ((result = ParseFileSection("Delete")) != Ok)
        return result;
    if (files_.Count() != 0) {
        if (BeforeCopy() != Ok)
            return Abort;
        filesDone_ = 0;
        PathEntry* previous = nullptr;
        bool first = true;
        for (PathEntry* path = static_cast<PathEntry*>(paths_.First()); path;
             path = NextUsedPath(path)) {
            if (!path->IsDisk())
                continue;
            if ((result = LocateDisk(path, previous, first)) != Ok)
                return result;
            SetForegroundWindow(owner_);
            first = false;
            previous = path;
            if (CopyDiskFiles(path) == Abort)
                return Abort;
        }
        if (AfterCopy() != Ok)
            return Abort;
    }
    DeleteFiles();
    return Ok;
}

PathEntry* InstallEngine::NextUsedPath(PathEntry* path) const {
    PathEntry* next = path->NextPath();
    while (next && !IsSourceOfAnyFile(next))
        next = next->NextPath();
    return next;
}

ResultCode InstallEngine::CopyDiskFiles(PathEntry* disk) {
    ResultCode code = Ok;
    for (FileEntry* file = static_cast<FileEntry*>(files_.First()); file && code == Ok;
         file = file->NextFile()) {
        if (file->Source() != disk)
            continue;
        code = BeforeFile(file);
        if (code == Skip) {
            LogCopy(file, "skipped");
            code = Ok;
            continue;
        }
        if (code != Ok)
            break;
        if ((code = CopyOneFile(file)) != Ok)
            break;
        ++filesDone_;
        if (FileDone(file, filesDone_) != Ok)
            return Abort;
    }
    return code;
}

// Copies until it succeeds or the error hook skips it; Abort otherwise.
ResultCode InstallEngine::CopyOneFile(FileEntry* file) {
    for (;;) {
        ResultCode code = CopyFile(file);
        if (code == Ok) {
            LogCopy(file, "copied");
            return Ok;
        }
        ResultCode answer = FileError(code, file);
        LogCopyError(file, code, answer);
        if (answer == Skip)
            return Ok;
        if (answer != Ok)
            return Abort;
    }
}

bool InstallEngine::IsSourceOfAnyFile(PathEntry* path) const {
    for (FileEntry* f = static_cast<FileEntry*>(files_.First()); f; f = f->NextFile())
        if (f->Source() == path)
            return true;
    return false;
}

FileEntry* InstallEngine::FindFileEntry(const char* name, bool bySource) const {
    for (FileEntry* f = static_cast<FileEntry*>(files_.First()); f; f = f->NextFile())
        if (CompareNoCase(bySource ? f->SourceName() : f->TargetName(), name) == 0)
            return f;
    return nullptr;
}

PathEntry* InstallEngine::FindPathEntry(const char* name) const {
    for (PathEntry* p = static_cast<PathEntry*>(paths_.First()); p; p = p->NextPath())
        if (CompareNoCase(p->Name(), name) == 0)
            return p;
    return nullptr;
}

// ---- Parsing ---------------------------------------------------------------

ResultCode InstallEngine::ParsePaths() {
    diskCount_ = 0;
    unsigned lines = 0;
    ResultCode last = Ok;
    for (unsigned n = 0;; ++n) {
        char key[PathEntry::TextSize], value[PathEntry::TextSize];
        unsigned keyLength = sizeof key, valueLength = sizeof value;
        if (script_->GetEntry("Paths", key, &keyLength, value, &valueLength, n) != Ok)
            break;
        ++lines;
        PathEntry* entry = new (std::nothrow) PathEntry(&paths_, key, value);
        if (!entry)
            return OutOfMemory;
        last = PathAdded(entry);
        if (entry->IsDisk())
            ++diskCount_;
        if (last != Ok)
            break;
    }
    return lines == 0 ? ScriptError : last;
}

ResultCode InstallEngine::ParseFileSection(const char* section) {
    const bool isFiles = CompareNoCase(section, "Files") == 0;
    EntryList& list = isFiles ? files_ : deletes_;
    if (isFiles)
        fileCount_ = 0;
    for (unsigned n = 0;; ++n) {
        char line[FileEntry::TextSize];
        unsigned length = sizeof line;
        ResultCode got = script_->GetEntry(section, line, &length, nullptr, nullptr, n);
        if (got == KeyNotApplicable || got == ValueNotApplicable)
            continue;
        if (got != Ok)
            return Ok;
        char sourcePath[256], sourceName[256], targetPath[256], targetName[256];
        if (!ParseFileLine(line, !isFiles, sourcePath, sourceName, targetPath, targetName))
            return ScriptError;
        PathEntry* source = FindPathEntry(sourcePath);
        PathEntry* target = isFiles ? FindPathEntry(targetPath) : nullptr;
        if (!source || (isFiles && !target))
            return ScriptError;
        FileEntry* entry = new (std::nothrow)
            FileEntry(&list, source, target, sourceName, isFiles ? targetName : "");
        if (!entry)
            return OutOfMemory;
        if (isFiles)
            ++fileCount_;
    }
}

namespace {

// Copies [from, to) into a 256-byte field.
void Field(char* dest, const char* from, const char* to) {
    CopyBytes(dest, 256, from, size_t(to - from));
}

} // namespace

bool ParseFileLine(const char* line, bool deleteForm, char* sourcePath, char* sourceName,
                   char* targetPath, char* targetName) {
    sourcePath[0] = sourceName[0] = 0;
    if (targetPath)
        targetPath[0] = 0;
    if (targetName)
        targetName[0] = 0;
    // A line that fills a whole 256-byte buffer may have been cut.
    if (std::strlen(line) >= 255 || line[0] != '|')
        return false;
    const char* bar = std::strchr(line + 1, '|');
    if (!bar)
        return false;
    Field(sourcePath, line + 1, bar);
    const char* name = bar + 1;
    if (deleteForm) {
        if (std::strchr(name, ','))
            return false;
        CopyText(sourceName, 256, name);
        return true;
    }
    const char* comma = std::strchr(name, ',');
    if (!comma || comma[1] != '|')
        return false;
    const char* targetBar = std::strchr(comma + 2, '|');
    if (!targetBar)
        return false;
    Field(sourceName, name, comma);
    Field(targetPath, comma + 2, targetBar);
    CopyText(targetName, 256, targetBar + 1);
    return true;
}

// ---- Copying and deleting ------------------------------------------------

ResultCode InstallEngine::CopyFile(FileEntry* file) {
    ResultCode code = file->OpenFiles();
    if (code == EndOfFile)
        return Ok; // nothing to copy: the source is the target itself
    if (code != Ok)
        return code;
    for (unsigned chunk = 0;; ++chunk) {
        code = file->CopyChunk();
        if (code != Ok)
            break;
        if ((code = ChunkCopied(chunk)) != Ok) {
            // "Last chunk written" from the hook ends the file where it is.
            if (code == EndOfFile)
                code = file->FinishFiles();
            else
                file->CloseFiles();
            break;
        }
    }
    return code == EndOfFile ? Ok : code;
}

ResultCode InstallEngine::DeleteFiles() {
    ResultCode code = Ok;
    for (FileEntry* f = static_cast<FileEntry*>(deletes_.First()); f && code == Ok;
         f = f->NextFile()) {
        if (BeforeDelete(f) != Ok)
            continue;
        bool deleted = f->DeleteFile() == Ok;
        LogDelete(f, deleted);
        if (!deleted)
            code = FileError(DeleteFailed, f);
    }
    return code;
}

void FileEntry::SpareName(const char* targetName, Spare kind, char name[SpareNameSize]) {
    // FNV-1a over the upper-cased name (Windows names are caseless), folded
    // to 40 bits: two names of one folder share a spare name about once in
    // 10^12 pairs.
    unsigned long long hash = 14695981039346656037ull;
    for (const char* c = targetName; *c; ++c)
        hash = (hash ^ (unsigned char)UpperAscii(*c)) * 1099511628211ull;
    hash ^= hash >> 40;
    static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
    for (int i = 7; i >= 0; --i, hash >>= 5)
        name[i] = digits[hash & 31];
    name[8] = '.';
    name[9] = '~';
    name[10] = char(kind);
    name[11] = 0;
}

bool FileEntry::TargetPath(char* path) const {
    return JoinPath(path, TextSize, target_->Directory(), targetName_);
}

// In a MAX_PATH buffer: every folder Windows can make (248 characters at
// most) leaves room for an 8.3 name, even beside a 255-character target.
bool FileEntry::SparePath(char* path, Spare kind) const {
    char name[SpareNameSize];
    SpareName(targetName_, kind, name);
    return JoinPath(path, MAX_PATH, target_->Directory(), name);
}

// A replacement stopped between its two moves left the old file under its
// waiting name: it goes back first. Beside a whole target it is stale.
void FileEntry::RestoreWaitingTarget(const char* target) {
    char old[MAX_PATH];
    if (!SparePath(old, OldWaiting) || GetFileAttributesA(old) == INVALID_FILE_ATTRIBUTES)
        return;
    if (GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES)
        MoveFileA(old, target);
    else
        DeleteFileA(old);
}

ResultCode FileEntry::OpenFiles() {
    char target[TextSize], source[TextSize], fresh[MAX_PATH];
    if (!TargetPath(target))
        return CannotCreateTarget;
    if (!JoinPath(source, sizeof source, source_->Directory(), sourceName_))
        return CannotOpenSource;
    if (CompareNoCase(source, target) == 0)
        return EndOfFile; // copying a file onto itself would only empty it
    createdTarget_ = false;
    RestoreWaitingTarget(target);
    if (GetFileAttributesA(target) != INVALID_FILE_ATTRIBUTES) {
        // Keep an existing target untouched until its replacement is whole.
        if (!SparePath(fresh, NewContent))
            return CannotCreateTarget;
        sourceFile_ = _lopen(source, OF_READ);
        if (sourceFile_ == HFILE_ERROR)
            return CannotOpenSource;
        targetFile_ = _lcreat(fresh, 0);
        if (targetFile_ == HFILE_ERROR) {
            CloseFiles();
            return CannotCreateTarget;
        }
        replacing_ = true;
        return Ok;
    }
    targetFile_ = _lcreat(target, 0);
    if (targetFile_ == HFILE_ERROR)
        return CannotCreateTarget;
    createdTarget_ = true;
    sourceFile_ = _lopen(source, OF_READ);
    if (sourceFile_ == HFILE_ERROR) {
        CloseFiles();
        return CannotOpenSource;
    }
    return Ok;
}

ResultCode FileEntry::CopyChunk() {
    char buffer[ChunkSize];
    UINT got = _lread(sourceFile_, buffer, sizeof buffer);
    if (got == UINT(HFILE_ERROR)) {
        CloseFiles();
        return ReadFailed;
    }
    UINT put = _lwrite(targetFile_, buffer, got);
    if (put == UINT(HFILE_ERROR) || put != got) {
        CloseFiles();
        return WriteFailed;
    }
    return got < sizeof buffer ? FinishFiles() : Ok;
}

ResultCode FileEntry::FinishFiles() {
    if (sourceFile_ != HFILE_ERROR)
        _lclose(sourceFile_);
    HFILE target = targetFile_;
    sourceFile_ = targetFile_ = HFILE_ERROR;
    // The last bytes may reach the disk only when the file is closed.
    if (_lclose(target) == HFILE_ERROR) {
        CloseFiles();
        return WriteFailed;
    }
    if (!replacing_)
        return EndOfFile;
    replacing_ = false;
    return ReplaceTarget() ? EndOfFile : CannotCreateTarget;
}

// Windows 95/98 cannot replace a file in one call: the old file is moved
// aside, the new one into place, and only then is the old one deleted. Any
// step that fails puts the old file back and drops the new one.
bool FileEntry::ReplaceTarget() {
    char target[TextSize], fresh[MAX_PATH], old[MAX_PATH];
    if (!TargetPath(target) || !SparePath(fresh, NewContent) || !SparePath(old, OldWaiting))
        return false;
    DWORD attributes = GetFileAttributesA(target);
    bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly) // a read-only old file could not be deleted
        SetFileAttributesA(target, attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
    bool oldInPlace = true;
    if (MoveFileA(target, old)) {
        if (MoveFileA(fresh, target)) {
            if (DeleteFileA(old))
                return true;
            MoveFileA(target, fresh);
        }
        oldInPlace = MoveFileA(old, target) != FALSE; // else the next copy puts it back
    }
    if (readOnly && oldInPlace)
        SetFileAttributesA(target, attributes);
    DeleteFileA(fresh);
    return false;
}

void FileEntry::CloseFiles() {
    if (sourceFile_ != HFILE_ERROR)
        _lclose(sourceFile_);
    if (targetFile_ != HFILE_ERROR)
        _lclose(targetFile_);
    sourceFile_ = targetFile_ = HFILE_ERROR;
    char fresh[MAX_PATH];
    if (replacing_ && SparePath(fresh, NewContent))
        DeleteFileA(fresh);
    replacing_ = false;
}

ResultCode FileEntry::DeleteFile() {
    char path[TextSize];
    if (!JoinPath(path, sizeof path, source_->Directory(), sourceName_))
        return DeleteFailed;
    return DeleteFileA(path) ? Ok : DeleteFailed;
}
