#include "reg_key.h"

#include "text.h"

#include <cstring>
#include <new>

namespace {

const char kDefaultValue[] = "Default Value";

HKEY RootKey(char third) {
    switch (third) {
    case 'M':
        return HKEY_LOCAL_MACHINE;
    case 'U':
        return HKEY_CURRENT_USER;
    case 'C':
        return HKEY_CURRENT_CONFIG;
    default:
        return nullptr;
    }
}

bool IsRoot(HKEY key) {
    return key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_CURRENT_CONFIG;
}

// The key a walk down a path stands on: each key opened replaces the one
// before, which is closed unless it is the key the walk started from.
class Walk {
  public:
    explicit Walk(HKEY start) : start_(start), current_(start) {}
    ~Walk() { Release(); }
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    HKEY Current() const { return current_; }
    void MoveTo(HKEY next) {
        Release();
        current_ = next;
    }
    // Hands the current key to the caller; the walk no longer closes it.
    HKEY Take() {
        HKEY key = current_;
        current_ = start_;
        return key;
    }

  private:
    void Release() {
        if (current_ != start_)
            RegCloseKey(current_);
    }
    HKEY start_;
    HKEY current_;
};

// Cuts the component at *cursor, which ends at the next backslash; false when
// there is no backslash (the rest is the last component).
bool NextKeyComponent(char** cursor, char** component) {
    char* slash = std::strchr(*cursor, '\\');
    if (!slash)
        return false;
    *slash = 0;
    *component = *cursor;
    *cursor = slash + 1;
    return true;
}

// Opens every component of the work path that a backslash follows; *cursor
// is left on the last component.
LONG OpenKeys(Walk* walk, char** cursor, REGSAM mask) {
    char* component;
    while (NextKeyComponent(cursor, &component)) {
        HKEY next;
        LONG status = RegOpenKeyExA(walk->Current(), component, 0, mask, &next);
        if (status != ERROR_SUCCESS)
            return status;
        walk->MoveTo(next);
    }
    return ERROR_SUCCESS;
}

const char* ValueName(const char* name) {
    return std::strcmp(name, kDefaultValue) == 0 ? "" : name;
}

} // namespace

RegKey::RegKey(const char* path, unsigned access, bool create) : access_(access) {
    if (Open(path, false) || !create)
        return;
    if (SetString(path, ""))
        Open(path, false);
}

void RegKey::Close() {
    if (key_ && !IsRoot(key_))
        RegCloseKey(key_);
    key_ = nullptr;
}

// The root an absolute path names and the rest after its prefix; null when
// it has none.
static const char* AbsoluteRest(const char* path, HKEY* root) {
    size_t length = std::strlen(path);
    *root = (length >= 3 && path[0] == 'H') ? RootKey(path[2]) : nullptr;
    return *root ? path + (length < 4 ? length : 4) : nullptr;
}

static bool CopyPath(char* work, const char* rest) {
    if (!rest || std::strlen(rest) > RegKey::MaxPath)
        return false;
    std::strcpy(work, rest);
    return true;
}

// The working copy of a walk's path; a status when there is nothing to walk.
static LONG StartWalk(HKEY start, const char* path, char* work) {
    if (!start)
        return ERROR_INVALID_HANDLE;
    return CopyPath(work, path) ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
}

const char* RegKey::Start(const char* path, HKEY* start) const {
    if (key_) {
        *start = key_;
        return path;
    }
    return AbsoluteRest(path, start);
}

bool RegKey::Open(const char* path, bool relative) {
    if (!*path) {
        Close();
        return true;
    }
    HKEY start = key_;
    char work[MaxPath + 1];
    if (!CopyPath(work, relative ? path : AbsoluteRest(path, &start)) || !start) {
        Close();
        return false;
    }
    REGSAM mask =
        ((access_ & AccessRead) ? KEY_READ : 0) | ((access_ & AccessWrite) ? KEY_WRITE : 0);
    bool ok = true;
    HKEY opened = nullptr;
    {
        Walk walk(start);
        char* cursor = work;
        char* component = cursor;
        bool more = true;
        while (ok && more) {
            more = NextKeyComponent(&cursor, &component);
            if (!more)
                component = cursor;
            if (!*component)
                continue;
            HKEY next;
            ok = RegOpenKeyExA(walk.Current(), component, 0, mask, &next) == ERROR_SUCCESS;
            if (ok)
                walk.MoveTo(next);
        }
        if (ok)
            opened = walk.Take();
    }
    if (ok && opened == key_) // a relative path without a component: keep the key
        return true;
    Close();
    key_ = opened;
    return ok;
}

LONG QueryValueByPath(HKEY start, const char* path, BYTE* buffer, DWORD* size) {
    char work[RegKey::MaxPath + 1];
    LONG status = StartWalk(start, path, work);
    if (status != ERROR_SUCCESS)
        return status;
    if (!*work) {
        *size = 0;
        return ERROR_SUCCESS;
    }
    Walk walk(start);
    char* cursor = work;
    status = OpenKeys(&walk, &cursor, KEY_READ);
    if (status != ERROR_SUCCESS)
        return status;
    return RegQueryValueExA(walk.Current(), ValueName(cursor), nullptr, nullptr, buffer, size);
}

bool RegKey::QueryValue(const char* path, char* buffer, unsigned size) {
    if (!buffer || size == 0)
        return false;
    buffer[0] = 0;
    HKEY start = nullptr;
    const char* rest = Start(path, &start);
    DWORD got = size;
    if (!rest ||
        QueryValueByPath(start, rest, reinterpret_cast<BYTE*>(buffer), &got) != ERROR_SUCCESS) {
        buffer[0] = 0;
        return false;
    }
    // The data need not end in a zero (a number, or a text stored without
    // one): terminate it, and refuse data that leaves no room to.
    if (got < size) {
        buffer[got] = 0;
    } else if (buffer[size - 1] != 0) {
        buffer[0] = 0;
        return false;
    }
    return true;
}

static DWORD StoredSize(DWORD type, const BYTE* data, DWORD size) {
    switch (type) {
    case REG_SZ:
        return DWORD(std::strlen(reinterpret_cast<const char*>(data)) + 1);
    case REG_BINARY:
        return size;
    case REG_DWORD:
        return 4;
    default:
        return 0;
    }
}

LONG SetValueByPath(HKEY start, const char* path, const BYTE* data, DWORD type, DWORD size) {
    char work[RegKey::MaxPath + 1];
    LONG status = StartWalk(start, path, work);
    if (status != ERROR_SUCCESS)
        return status;
    Walk walk(start);
    char* cursor = work;
    char* component;
    while (NextKeyComponent(&cursor, &component)) {
        HKEY next;
        DWORD disposition;
        status = RegCreateKeyExA(walk.Current(), component, 0, const_cast<LPSTR>(""),
                                 REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &next, &disposition);
        if (status != ERROR_SUCCESS)
            return status;
        walk.MoveTo(next);
    }
    if (!*cursor && cursor != work) // a path ending in a backslash only makes its keys
        return ERROR_SUCCESS;
    return RegSetValueExA(walk.Current(), ValueName(cursor), 0, type, data,
                          StoredSize(type, data, size));
}

bool RegKey::SetValue(const char* path, DWORD type, const BYTE* data) {
    HKEY start = nullptr;
    const char* rest = Start(path, &start);
    if (rest && !*rest && rest != path) // a root prefix alone ends in a backslash
        return true;
    return rest && SetValueByPath(start, rest, data, type, 0) == ERROR_SUCCESS;
}

bool RegKey::SetString(const char* path, const char* text) {
    return SetValue(path, REG_SZ, reinterpret_cast<const BYTE*>(text));
}

bool RegKey::SetNumber(const char* path, DWORD number) {
    return SetValue(path, REG_DWORD, reinterpret_cast<const BYTE*>(&number));
}

LONG DeleteByPath(HKEY start, const char* path) {
    char work[RegKey::MaxPath + 1];
    LONG status = StartWalk(start, path, work);
    if (status != ERROR_SUCCESS)
        return status;
    Walk walk(start);
    char* cursor = work;
    status = OpenKeys(&walk, &cursor, KEY_ALL_ACCESS);
    if (status != ERROR_SUCCESS)
        return status;
    // An empty name would open the key itself and delete the whole tree
    // above the path's end.
    if (!*cursor)
        return ERROR_INVALID_PARAMETER;
    HKEY key;
    if (RegOpenKeyExA(walk.Current(), cursor, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegCloseKey(key);
        return DeleteKeyTree(walk.Current(), cursor) ? ERROR_SUCCESS : ERROR_CANTWRITE;
    }
    return RegDeleteValueA(walk.Current(), cursor);
}

LONG RegKey::DeleteEntry(const char* path) {
    HKEY start = nullptr;
    const char* rest = Start(path, &start);
    return rest ? DeleteByPath(start, rest) : ERROR_BAD_PATHNAME;
}

namespace {

struct TreeNode {
    HKEY key;
    TreeNode* up;
    char name[128];
};

} // namespace

bool DeleteKeyTree(HKEY parent, const char* name) {
    if (!name || !*name || std::strlen(name) >= sizeof TreeNode().name)
        return false;
    HKEY opened;
    if (RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &opened) != ERROR_SUCCESS)
        return false;
    TreeNode bottom{parent, nullptr, ""};
    TreeNode* current = new (std::nothrow) TreeNode{opened, &bottom, ""};
    if (!current) {
        RegCloseKey(opened);
        return false;
    }
    CopyText(current->name, sizeof current->name, name);
    bool ok = true;
    while (ok && current != &bottom) {
        char sub[sizeof current->name];
        DWORD subSize = sizeof sub; // set again before every call: the call changes it
        LONG status =
            RegEnumKeyExA(current->key, 0, sub, &subSize, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) {
            RegCloseKey(current->key);
            TreeNode* up = current->up;
            ok = RegDeleteKeyA(up->key, current->name) == ERROR_SUCCESS;
            delete current;
            current = up;
            continue;
        }
        // ERROR_MORE_DATA (a name too long for the node) ends it too: the
        // same subkey would come first again on every round.
        if (status != ERROR_SUCCESS) {
            ok = false;
            break;
        }
        HKEY child;
        if (RegOpenKeyExA(current->key, sub, 0, KEY_ALL_ACCESS, &child) != ERROR_SUCCESS) {
            ok = false;
            break;
        }
        TreeNode* node = new (std::nothrow) TreeNode{child, current, ""};
        if (!node) {
            RegCloseKey(child);
            ok = false;
            break;
        }
        CopyText(node->name, sizeof node->name, sub);
        current = node;
    }
    while (current != &bottom) {
        RegCloseKey(current->key);
        TreeNode* up = current->up;
        delete current;
        current = up;
    }
    return ok;
}
