// The emulated machine's registry: a tree of keys in memory, kept in a
// REGEDIT4 text file the way "regedit /e" writes it on Windows 95/98.
#pragma once

#include "platform/win32.h"

#include <memory>
#include <string>
#include <vector>

namespace hostwin {

struct RegValue {
    std::string name; // "" is the key's default value
    DWORD type = REG_NONE;
    std::string data; // raw bytes, exactly as stored
};

// Names keep the case they were created with and are compared without it.
struct RegNode {
    std::string name;
    RegNode* parent = nullptr; // null for a root; meaningless once deleted
    bool deleted = false;
    std::vector<RegValue> values;
    std::vector<std::shared_ptr<RegNode>> subkeys; // sorted without regard to case

    RegValue* FindValue(const std::string& name);
    std::shared_ptr<RegNode> FindSubkey(const std::string& name) const;
    // Inserts in sorted place; the caller makes sure the name is new.
    void AddSubkey(const std::shared_ptr<RegNode>& key);
    void RemoveSubkey(const RegNode* key);
    std::string FullPath() const; // "HKEY_CURRENT_USER\Software\X"
};

enum { RootCount = 6 };

// The roots in the order the store lists them.
struct RegRoots {
    std::shared_ptr<RegNode> keys[RootCount];
    RegRoots();
    // The root a predefined handle stands for, or null.
    RegNode* ByHandle(HKEY handle) const;
    RegNode* ByName(const std::string& name) const;
};

int CompareNames(const std::string& a, const std::string& b);

// The store as text, keys and values sorted without regard to case.
std::string FormatRegistry(const RegRoots& roots);
// Reads a store; on failure answers false with "line N: what" in *error.
bool ParseRegistry(const std::string& text, RegRoots* roots, std::string* error);

} // namespace hostwin
