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
    enum { TextSize = 256 };

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
    void CloseFiles();

  private:
    PathEntry* source_;
    PathEntry* target_;
    char sourceName_[TextSize];
    char targetName_[TextSize];
    HFILE sourceFile_ = HFILE_ERROR;
    HFILE targetFile_ = HFILE_ERROR;
};
