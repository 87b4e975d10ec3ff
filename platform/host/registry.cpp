// Registry calls of the emulated machine, with the results Wine gives in
// Windows 98 mode: RegDeleteKeyA removes a key with all its subkeys, a REG_SZ
// is stored with the length of its text plus its zero whatever size the
// caller gave. Every change is saved before the call returns; a change that
// cannot be saved is undone and reported as failed.
#include "machine.h"
#include "registry_store.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace hostwin;

namespace {

// Wine refuses longer key names.
const size_t kMaxKeyName = 255;

RegRoots g_roots;
std::string g_storePath;

struct OpenKey {
    std::shared_ptr<RegNode> node;
};
std::set<OpenKey*> g_handles;

std::shared_ptr<RegNode> Shared(RegNode* root) {
    for (auto& k : g_roots.keys)
        if (k.get() == root)
            return k;
    return nullptr;
}

// The key behind a handle; null with *status set when there is none.
std::shared_ptr<RegNode> Resolve(HKEY handle, LONG* status) {
    if (RegNode* root = g_roots.ByHandle(handle)) {
        *status = ERROR_SUCCESS;
        return Shared(root);
    }
    auto* open = reinterpret_cast<OpenKey*>(handle);
    if (!handle || !g_handles.count(open)) {
        *status = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    if (open->node->deleted) {
        *status = ERROR_KEY_DELETED;
        return nullptr;
    }
    *status = ERROR_SUCCESS;
    return open->node;
}

HKEY NewHandle(const std::shared_ptr<RegNode>& node) {
    auto* open = new OpenKey{node};
    g_handles.insert(open);
    return reinterpret_cast<HKEY>(open);
}

// Splits a subkey path; empty components are passed over as Wine does.
LONG SplitPath(LPCSTR path, std::vector<std::string>* parts) {
    if (!path)
        return ERROR_SUCCESS;
    if (path[0] == '\\')
        return ERROR_BAD_PATHNAME;
    std::string part;
    for (const char* p = path;; ++p) {
        if (*p == '\\' || *p == 0) {
            if (part.size() > kMaxKeyName)
                return ERROR_MORE_DATA; // what Wine answers for an over-long name
            if (!part.empty())
                parts->push_back(part);
            part.clear();
            if (!*p)
                break;
        } else {
            part += *p;
        }
    }
    return ERROR_SUCCESS;
}

std::string CallPath(const std::shared_ptr<RegNode>& key, LPCSTR name) {
    return key->FullPath() + "\\" + (name ? name : "");
}

// The key behind a handle, once the fault switch has let the call through.
std::shared_ptr<RegNode> Begin(HKEY handle, LPCSTR name, LONG* status) {
    std::shared_ptr<RegNode> node = Resolve(handle, status);
    if (node && ShouldFail(FaultOp::Registry, CallPath(node, name).c_str())) {
        *status = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    return node;
}

// Walks down to an existing subkey.
LONG Descend(std::shared_ptr<RegNode>* node, LPCSTR subKey) {
    std::vector<std::string> parts;
    LONG status = SplitPath(subKey, &parts);
    for (size_t i = 0; status == ERROR_SUCCESS && i < parts.size(); ++i) {
        *node = (*node)->FindSubkey(parts[i]);
        if (!*node)
            status = ERROR_FILE_NOT_FOUND;
    }
    return status;
}

const char kStoreAside[] = ".old"; // the store while its successor moves in

bool Save() {
    if (g_storePath.empty())
        return true;
    if (ShouldFail(FaultOp::Registry, g_storePath.c_str()))
        return false;
    std::string text = FormatRegistry(g_roots);
    std::string temp = g_storePath + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    // Not synced: the emulation models failed calls, not power cuts, and a
    // sync on every registry write made one installation take seconds.
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    // The old store steps aside before the new one takes its name: a rename
    // over an existing file makes ext4 write the new one out at once, which
    // was most of an installation's time. A load takes the old store back
    // when a run stopped between the two renames.
    const std::string old = g_storePath + kStoreAside;
    bool aside = ok && std::rename(g_storePath.c_str(), old.c_str()) == 0;
    if (ok && (aside || errno == ENOENT) && std::rename(temp.c_str(), g_storePath.c_str()) == 0) {
        if (aside)
            std::remove(old.c_str());
        return true;
    }
    if (aside)
        std::rename(old.c_str(), g_storePath.c_str());
    std::remove(temp.c_str());
    return false;
}

void MarkDeleted(RegNode* node, bool deleted) {
    node->deleted = deleted;
    for (auto& sub : node->subkeys)
        MarkDeleted(sub.get(), deleted);
}

} // namespace

namespace hostwin {

bool LoadRegistry(const std::string& folder, std::string* error) {
    RegRoots roots;
    std::string path = folder + "/registry.reg";
    struct stat st;
    if (stat(path.c_str(), &st) != 0 && errno == ENOENT)
        std::rename((path + kStoreAside).c_str(), path.c_str()); // a save cut short
    std::ifstream in(path, std::ios::binary);
    if (in) {
        std::stringstream text;
        text << in.rdbuf();
        std::string what;
        if (!ParseRegistry(text.str(), &roots, &what)) {
            if (error)
                *error = path + " " + what;
            return false;
        }
    } else if (errno != ENOENT) {
        if (error)
            *error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    ResetRegistry();
    g_roots = roots;
    g_storePath = path;
    return true;
}

bool LoadRegistryText(const std::string& text, std::string* error) {
    RegRoots roots;
    std::string what;
    if (!ParseRegistry(text, &roots, &what)) {
        if (error)
            *error = "registry text " + what;
        return false;
    }
    ResetRegistry();
    g_roots = roots;
    return true;
}

void KeepRegistryInMemory() {
    g_storePath.clear();
}

void ResetRegistry() {
    for (OpenKey* open : g_handles)
        delete open;
    g_handles.clear();
    g_roots = RegRoots();
    g_storePath.clear();
}

} // namespace hostwin

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    LONG status;
    std::shared_ptr<RegNode> node = Begin(key, subKey, &status);
    if (!node)
        return status;
    if ((status = Descend(&node, subKey)) != ERROR_SUCCESS)
        return status;
    *result = NewHandle(node);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     PHKEY result, LPDWORD disposition) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    LONG status;
    std::shared_ptr<RegNode> node = Begin(key, subKey, &status);
    if (!node)
        return status;
    std::vector<std::string> parts;
    if ((status = SplitPath(subKey, &parts)) != ERROR_SUCCESS)
        return status;
    // Windows takes a line break in a key name, but the store's key lines
    // could not hold it: such a key would leave a machine that no longer
    // loads. (A value name keeps its line break, written as \n or \r.)
    for (const std::string& part : parts)
        if (part.find_first_of("\r\n") != std::string::npos)
            return ERROR_INVALID_PARAMETER;
    RegNode* firstParent = nullptr;
    std::shared_ptr<RegNode> firstNew;
    for (const std::string& part : parts) {
        std::shared_ptr<RegNode> sub = node->FindSubkey(part);
        if (!sub) {
            sub = std::make_shared<RegNode>();
            sub->name = part;
            node->AddSubkey(sub);
            if (!firstNew) {
                firstNew = sub;
                firstParent = node.get();
            }
        }
        node = sub;
    }
    if (firstNew && !Save()) {
        firstParent->RemoveSubkey(firstNew.get());
        return ERROR_CANTWRITE;
    }
    if (disposition)
        *disposition = firstNew ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewHandle(node);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
    LONG status;
    std::shared_ptr<RegNode> node = Begin(key, name, &status);
    if (!node)
        return status;
    if (data && !size)
        return ERROR_INVALID_PARAMETER;
    const RegValue* v = node->FindValue(name ? name : "");
    if (!v)
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = v->type;
    DWORD length = DWORD(v->data.size());
    if (!size)
        return ERROR_SUCCESS;
    if (data) {
        if (*size < length) {
            *size = length;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, v->data.data(), length);
        // Like Wine: a text stored without its zero gets one where there is room.
        if (v->type == REG_SZ && length < *size && (length == 0 || data[length - 1] != 0))
            data[length] = 0;
    }
    *size = length;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    LONG status;
    std::shared_ptr<RegNode> node = Begin(key, name, &status);
    if (!node)
        return status;
    if (!data && size)
        return ERROR_INVALID_PARAMETER;
    RegValue v;
    v.name = name ? name : "";
    v.type = type;
    if (type == REG_SZ) // Windows 95/98 store the text's length plus its zero
        v.data.assign(data ? reinterpret_cast<const char*>(data) : "",
                      std::strlen(data ? reinterpret_cast<const char*>(data) : "") + 1);
    else
        v.data.assign(reinterpret_cast<const char*>(data), size);
    RegValue* old = node->FindValue(v.name);
    RegValue before;
    if (old) {
        before = *old;
        old->type = v.type;
        old->data = v.data;
    } else {
        node->values.push_back(v);
    }
    if (!Save()) {
        if (old)
            *node->FindValue(v.name) = before;
        else
            node->values.pop_back();
        return ERROR_CANTWRITE;
    }
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    LONG status;
    std::shared_ptr<RegNode> node = Begin(key, subKey, &status);
    if (!node)
        return status;
    if ((status = Descend(&node, subKey)) != ERROR_SUCCESS)
        return status;
    RegNode* parent = node->parent;
    if (!parent) // a root cannot be deleted
        return ERROR_ACCESS_DENIED;
    parent->RemoveSubkey(node.get());
    MarkDeleted(node.get(), true);
    if (!Save()) {
        MarkDeleted(node.get(), false);
        parent->AddSubkey(node);
        return ERROR_CANTWRITE;
    }
    return ERROR_SUCCESS;
}

LONG RegDeleteValueA(HKEY key, LPCSTR name) {
    LONG status;
    std::shared_ptr<RegNode> node = Begin(key, name, &status);
    if (!node)
        return status;
    std::string wanted = name ? name : "";
    for (size_t i = 0; i < node->values.size(); ++i) {
        if (node->values[i].name.size() != wanted.size() ||
            CompareNames(node->values[i].name, wanted) != 0)
            continue;
        RegValue before = node->values[i];
        node->values.erase(node->values.begin() + long(i));
        if (!Save()) {
            node->values.insert(node->values.begin() + long(i), before);
            return ERROR_CANTWRITE;
        }
        return ERROR_SUCCESS;
    }
    return ERROR_FILE_NOT_FOUND;
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD, LPSTR className,
                   LPDWORD classSize, PFILETIME lastWrite) {
    LONG status;
    std::shared_ptr<RegNode> node = Begin(key, nullptr, &status);
    if (!node)
        return status;
    if (!name || !nameSize)
        return ERROR_INVALID_PARAMETER;
    if (index >= node->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    const std::string& found = node->subkeys[index]->name;
    if (found.size() >= *nameSize)
        return ERROR_MORE_DATA; // the size is left as it was, as Wine does
    std::memcpy(name, found.c_str(), found.size() + 1);
    *nameSize = DWORD(found.size());
    if (className && classSize && *classSize)
        className[0] = 0;
    if (classSize)
        *classSize = 0;
    if (lastWrite)
        *lastWrite = FILETIME{0, 0};
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (g_roots.ByHandle(key))
        return ERROR_SUCCESS;
    auto* open = reinterpret_cast<OpenKey*>(key);
    if (!key || !g_handles.erase(open))
        return ERROR_INVALID_HANDLE;
    delete open;
    return ERROR_SUCCESS;
}
