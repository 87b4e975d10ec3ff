// The product-independent install engine: builds its lists from the script,
// locates each source disk, copies files in 2048-byte chunks and deletes the
// files of the Delete section, calling a virtual hook at every step.
#pragma once

#include "engine_ui.h"
#include "entry_list.h"
#include "platform/win32.h"
#include "result_code.h"
#include "script_text.h"

class InstallEngine {
  public:
    enum { LabelSize = 32, TitleSize = 100 };

    InstallEngine(HINSTANCE instance, ScriptText* script);
    InstallEngine(const InstallEngine&) = delete;
    InstallEngine& operator=(const InstallEngine&) = delete;
    ~InstallEngine() = default;

    // Hooks, in slot order. To continue, a hook answers 0.
    virtual unsigned DiskLabel(PathEntry* disk, char* label);
    virtual ResultCode BeforeFile(FileEntry* file);
    virtual ResultCode ChunkCopied(unsigned chunk);
    virtual ResultCode BeforeCopy();
    virtual ResultCode AfterCopy();
    virtual ResultCode FileDone(FileEntry* file, unsigned filesDone);
    virtual ResultCode BeforeDelete(FileEntry* file);
    virtual ResultCode FileError(ResultCode code, FileEntry* file);
    virtual ResultCode LocateDisk(PathEntry* disk, PathEntry* previous, bool firstDisk);
    virtual ResultCode PathAdded(PathEntry* path);
    virtual ResultCode Initialize();
    virtual ResultCode Finish(ResultCode runResult);
    virtual int OnCreate(HWND window, WPARAM wParam, LPARAM lParam);
    virtual int OnPaint(HWND window, PAINTSTRUCT paint);
    virtual int AfterRun(HWND window, WPARAM wParam, LPARAM lParam);

    void SetScript(ScriptText* script) { script_ = script; }
    ScriptText* Script() const { return script_; }
    void SetUi(EngineUi* ui) { ui_ = ui; }

    ResultCode Run();
    ResultCode ParsePaths();
    ResultCode ParseFileSection(const char* section);
    ResultCode CopyFile(FileEntry* file);
    ResultCode DeleteFiles();
    bool IsSourceOfAnyFile(PathEntry* path) const;
    FileEntry* FindFileEntry(const char* name, bool bySource) const;
    PathEntry* FindPathEntry(const char* name) const;

    HWND OwnerWindow() const { return owner_; }
    void SetOwnerWindow(HWND owner) { owner_ = owner; }
    HWND ProgressWindow() const { return progress_; }
    HINSTANCE Instance() const { return instance_; }
    bool RestartRequested() const { return restart_ != 0; }
    void SetRestartRequested(bool restart) { restart_ = restart ? 1 : 0; }
    ResultCode RunResult() const { return runResult_; }
    void SetRunResult(ResultCode result) { runResult_ = result; }
    unsigned FilesDone() const { return filesDone_; }
    unsigned FileCount() const { return fileCount_; }
    unsigned DiskCount() const { return diskCount_; }
    EntryList& Paths() { return paths_; }
    EntryList& Files() { return files_; }
    EntryList& Deletes() { return deletes_; }
    char* WindowTitle() { return title_; }

  protected:
    // Points a later disk at the sibling DISK<n> folder of the previous one.
    bool ApplySiblingRule(PathEntry* disk, PathEntry* previous);

  private:
    ResultCode CopyDiskFiles(PathEntry* disk);
    ResultCode CopyOneFile(FileEntry* file);
    PathEntry* NextUsedPath(PathEntry* path) const;
    ResultCode PromptForDisk(PathEntry* disk);

    HWND owner_ = nullptr;
    HWND progress_ = nullptr;
    HINSTANCE instance_;
    DWORD restart_ = 0;
    ResultCode runResult_ = Ok;
    unsigned filesDone_ = 0;
    EntryList paths_;
    EntryList files_;
    EntryList deletes_;
    HANDLE picture_ = nullptr;
    char title_[TitleSize] = "";
    ScriptText* script_;
    unsigned fileCount_ = 0;
    unsigned diskCount_ = 0;
    EngineUi* ui_ = nullptr;
};

// Splits an expanded Files line ("|SRC|name,|TGT|name") or Delete line
// ("|SRC|name"); the output buffers hold 256 bytes each. False: not well formed.
bool ParseFileLine(const char* line, bool deleteForm, char* sourcePath, char* sourceName,
                   char* targetPath, char* targetName);
