// The engine's lists: named directories of Paths and file operations of
// Files and Delete. A list owns its entries; an entry knows its list.
#pragma once

#include "platform/win32.h"
#include "result_code.h"

class ListEntry;

class EntryList {
  public:
    enum : unsigned { Append = 0xffff };

    EntryList() = default;
    EntryList(const EntryList&) = delete;
    EntryList& operator=(const EntryList&) = delete;
    virtual ~EntryList() { Clear(); }

    virtual int Insert(ListEntry* entry, unsigned position);
    virtual int Remove(ListEntry* entry);
    virtual int RemoveFrom(EntryList* other, ListEntry* entry);
    virtual void Clear();

    unsigned Count() const { return count_; }
    ListEntry* First() const { return first_; }

  private:
    ListEntry* first_ = nullptr;
    unsigned count_ = 0;
};

class ListEntry {
  public:
    ListEntry(EntryList* list, unsigned position);
    ListEntry(const ListEntry&) = delete;
    ListEntry& operator=(const ListEntry&) = delete;
    virtual ~ListEntry();
    virtual int Reserved(void*) { return 0; }

    ListEntry* Next() const { return next_; }
    void SetNext(ListEntry* next) { next_ = next; }

  private:
    ListEntry* next_ = nullptr;
    EntryList* list_ = nullptr;
};

class PathEntry : public ListEntry {
  public:
    enum { TextSize = 256 };

    PathEntry(EntryList* list, const char* name, const char* directory);

    const char* Name() const { return name_; }
    const char* Directory() const { return directory_; }
    PathEntry* NextPath() const { return static_cast<PathEntry*>(Next()); }

    // Upper-cased, with a trailing backslash; cut to 255 characters.
    void SetDirectory(const char* text);
    bool IsDisk() const { return name_[0] == '~'; }
    const char* LastComponent() const;
    void ReplaceLastComponent(const char* text, bool cut);

  private:
    char name_[TextSize];
    char directory_[TextSize];
};

class FileEntry : public ListEntry {
  public:
    enum { TextSize = 256, ChunkSize = 2048 };
    // An existing target is never written in place: its new content goes to
    // a spare file beside it, and the old file waits under another while the
    // new one moves into place. Both take valid 8.3 names that only the
    // target's name gives, so that they fit every folder Windows can make,
    // on any volume, and a later run finds what a killed one left.
    enum Spare { NewContent = 'N', OldWaiting = 'O' };
    enum { SpareNameSize = 12 };
    // "XXXXXXXX.~N" or "XXXXXXXX.~O": eight base-32 digits of a hash of the
    // upper-cased target name, then the kind.
    static void SpareName(const char* targetName, Spare kind, char name[SpareNameSize]);

    FileEntry(EntryList* list, PathEntry* source, PathEntry* target, const char* sourceName,
              const char* targetName);
    ~FileEntry() override;

    PathEntry* Source() const { return source_; }
    PathEntry* Target() const { return target_; }
    const char* SourceName() const { return sourceName_; }
    const char* TargetName() const { return targetName_; }
    FileEntry* NextFile() const { return static_cast<FileEntry*>(Next()); }

    ResultCode OpenFiles();
    ResultCode CopyChunk();
    ResultCode DeleteFile();
    // Closes both files; what was written for an existing target is dropped
    // and the target stays as it was.
    void CloseFiles();
    // Closes both files and, for an existing target, puts the new content in
    // its place: 12 when done, 9 when closing failed, 6 when the target
    // could not be replaced (the old file is then back in place).
    ResultCode FinishFiles();
    // Whether the last copy made the target itself, as it did not exist.
    bool CreatedTarget() const { return createdTarget_; }

  private:
    bool TargetPath(char* path) const;
    bool SparePath(char* path, Spare kind) const;
    bool ReplaceTarget();
    void RestoreWaitingTarget(const char* target);

    PathEntry* source_;
    PathEntry* target_;
    char sourceName_[TextSize];
    char targetName_[TextSize];
    HFILE sourceFile_ = HFILE_ERROR;
    HFILE targetFile_ = HFILE_ERROR;
    bool replacing_ = false; // targetFile_ is the new content of an existing target
    bool createdTarget_ = false;
};
