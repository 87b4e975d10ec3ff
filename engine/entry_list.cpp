#include "entry_list.h"

#include "text.h"

#include <cstring>

int EntryList::Insert(ListEntry* entry, unsigned position) {
    ListEntry* previous = nullptr;
    ListEntry* at = first_;
    for (unsigned i = 0; i < position && at; ++i) {
        previous = at;
        at = at->Next();
    }
    entry->SetNext(at);
    if (previous)
        previous->SetNext(entry);
    else
        first_ = entry;
    ++count_;
    return 1;
}

int EntryList::Remove(ListEntry* entry) {
    ListEntry* previous = nullptr;
    ListEntry* at = first_;
    while (at && at != entry) {
        previous = at;
        at = at->Next();
    }
    if (!at)
        return 0;
    if (previous)
        previous->SetNext(entry->Next());
    else
        first_ = entry->Next();
    --count_;
    return 1;
}

int EntryList::RemoveFrom(EntryList* other, ListEntry* entry) {
    return other->Remove(entry);
}

void EntryList::Clear() {
    while (ListEntry* entry = first_) {
        Remove(entry); // also for an entry that was inserted without knowing the list
        delete entry;
    }
    count_ = 0;
}

ListEntry::ListEntry(EntryList* list, unsigned position) : list_(list) {
    if (list_)
        list_->Insert(this, position);
}

ListEntry::~ListEntry() {
    if (list_)
        list_->Remove(this);
}

PathEntry::PathEntry(EntryList* list, const char* name, const char* directory)
    : ListEntry(list, EntryList::Append) {
    CopyText(name_, TextSize, name);
    CopyText(directory_, TextSize, directory);
}

namespace {

// Unlike AppendBackslash, an empty text becomes a lone backslash. With no
// room the text stays cut, and a later join fails cleanly.
void EndWithBackslash(char* directory, size_t capacity) {
    size_t n = std::strlen(directory);
    if ((n == 0 || directory[n - 1] != '\\') && n + 1 < capacity) {
        directory[n] = '\\';
        directory[n + 1] = 0;
    }
}

} // namespace

void PathEntry::SetDirectory(const char* text) {
    if (text != directory_)
        CopyText(directory_, TextSize, text);
    EndWithBackslash(directory_, TextSize);
    UpperCase(directory_);
}

const char* PathEntry::LastComponent() const {
    size_t n = std::strlen(directory_);
    if (n == 0)
        return directory_;
    size_t i = n - 1;
    if (directory_[i] == '\\' && i > 0)
        --i;
    while (i > 0 && directory_[i] != '\\' && directory_[i] != ':')
        --i;
    if (directory_[i] == '\\' || directory_[i] == ':')
        return directory_ + i + 1;
    return directory_ + i;
}

void PathEntry::ReplaceLastComponent(const char* text, bool cut) {
    if (cut)
        directory_[LastComponent() - directory_] = 0;
    size_t n = std::strlen(directory_);
    CopyText(directory_ + n, TextSize - n, text);
    EndWithBackslash(directory_, TextSize);
}

FileEntry::FileEntry(EntryList* list, PathEntry* source, PathEntry* target, const char* sourceName,
                     const char* targetName)
    : ListEntry(list, EntryList::Append), source_(source), target_(target) {
    CopyText(sourceName_, TextSize, sourceName);
    CopyText(targetName_, TextSize, targetName ? targetName : "");
}

FileEntry::~FileEntry() {
    CloseFiles();
}
