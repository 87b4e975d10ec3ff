// The emulated machine's registry: a tree of keys in memory, kept in a
// REGEDIT4 text file the way "regedit /e" writes it on Windows 95/98, and a
// journal of the changes since that file was written, in the same form.
#pragma once

#include "platform/win32.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace hostwin {

struct RegValue {
    std::string name; // "" is the key's default value
    DWORD type = REG_NONE;
    std::string data; // raw bytes, exactly as stored
};

// Names keep the case they were created with and are compared without it.
// Subkeys and values are kept sorted that way, so that a name is found by
// halving instead of by walking every sibling.
//
// A key read from a store in the form the store is written keeps its value
// lines as text until something asks for its values: a used machine's store
// holds tens of thousands of values that a run never reads, and a fold
// writes such a key's lines back as they are.
struct RegNode : std::enable_shared_from_this<RegNode> {
    std::string name;
    RegNode* parent = nullptr; // null for a root; meaningless once deleted
    bool deleted = false;
    unsigned long changed = 0; // when a change last touched this key or one below it
    std::vector<std::shared_ptr<RegNode>> subkeys; // sorted without regard to case

    // Sorted without regard to case.
    const std::vector<RegValue>& Values() const;
    std::vector<RegValue>& MutableValues();
    bool HasValues() const;
    RegValue* FindValue(std::string_view name);
    // Sets a value; one that exists keeps the case of its name.
    RegValue* SetValue(RegValue value);
    bool RemoveValue(std::string_view name);
    std::shared_ptr<RegNode> FindSubkey(std::string_view name) const;
    // Inserts in sorted place; the caller makes sure the name is new.
    void AddSubkey(const std::shared_ptr<RegNode>& key);
    void RemoveSubkey(const RegNode* key);
    std::string FullPath() const; // "HKEY_CURRENT_USER\Software\X"

    // Value lines not read yet, exactly as the store writes these values,
    // and what keeps their text alive.
    void SetUnread(std::string_view lines, std::shared_ptr<const void> keep);
    std::string_view Unread() const { return unread_; }

  private:
    void ReadUnread() const;
    mutable std::vector<RegValue> values_;
    mutable std::string_view unread_;
    mutable std::shared_ptr<const void> keep_;
};

enum { RootCount = 6 };

// The roots in the order the store lists them.
struct RegRoots {
    std::shared_ptr<RegNode> keys[RootCount];
    RegRoots();
    // The root a predefined handle stands for, or null.
    RegNode* ByHandle(HKEY handle) const;
    RegNode* ByName(std::string_view name) const;
};

int CompareNames(std::string_view a, std::string_view b);

// The store as text, keys and values sorted without regard to case.
std::string FormatRegistry(const RegRoots& roots);
// The same text handed to `write` in pieces of about 64 KB, so that a large
// store is never held whole; false when a `write` failed. *size: the text's.
bool WriteRegistry(const RegRoots& roots, const std::function<bool(std::string_view)>& write,
                   size_t* size);
// Reads a store, or a journal on top of what is read already; on failure
// answers false with "line N: what" in *error. With `keep`, which keeps
// `text` alive, the value lines of a key that are in the store's own form
// stay unread until they are asked for; every line is checked all the same.
bool ParseRegistry(std::string_view text, RegRoots* roots, std::string* error,
                   const std::shared_ptr<const void>& keep = nullptr);

// A value's name as the store writes it ("name" or @), and its data after
// the "=": "text", dword:..., hex:... (on one line when `wrap` is false).
std::string FormatValueName(const std::string& name);
std::string FormatValueData(const RegValue& value, bool wrap);

// The journal's entries, each a small REGEDIT4 block that the reader above
// applies: a key made (with the keys above it), a value set, a key deleted
// with its subkeys, a value deleted. The writer ends each with a blank line
// (kEntryEnd), written last: an entry without it was cut and is not applied.
extern const char kJournalHead[]; // "REGEDIT4" and the blank line
extern const char kEntryEnd[];
std::string KeyMadeEntry(const RegNode& key);
std::string ValueSetEntry(const RegNode& key, const RegValue& value);
std::string KeyDeletedEntry(const std::string& path);
std::string ValueDeletedEntry(const RegNode& key, const std::string& name);
// How much of a journal's text is whole entries (its head included): the
// part to replay.
size_t WholeJournalEntries(std::string_view journal);

} // namespace hostwin
