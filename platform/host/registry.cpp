// Registry calls of the emulated machine, with the results Wine gives in
// Windows 98 mode: RegDeleteKeyA removes a key with all its subkeys, a REG_SZ
// is stored with the length of its text plus its zero whatever size the
// caller gave. Every change is saved before the call returns, as an entry
// appended to the journal beside the store; a change that cannot be saved is
// undone and reported as failed. The journal is folded into the store when
// it has grown larger than the store, and when the machine is unmounted.
#include "host_fs.h"
#include "machine.h"
#include "registry_store.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

using namespace hostwin;

namespace {

// Wine refuses longer key names.
const size_t kMaxKeyName = 255;

RegRoots g_roots;

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

const char kStoreName[] = "/registry.reg";
const char kJournalName[] = "/registry-journal.reg";
const char kStoreAside[] = ".old"; // the store while its successor moves in
const char kStoreNext[] = ".tmp";  // the successor while it is written

// Where the registry is kept. Held in memory only while `store` is empty.
struct Store {
    std::string store, journal; // host paths
    pid_t owner = 0;            // a forked child never writes its parent's store
    int journalFile = -1;       // open for appending once a change is written
    size_t journalSize = 0;     // of its whole entries, its head included
    size_t storeSize = 0;
    bool journalCut = false; // a cut entry may follow the whole ones
    bool toFold = false;     // the journal holds changes the store lacks
};
Store g_store;

bool Writable() {
    return !g_store.store.empty() && g_store.owner == getpid();
}

// Takes a cut entry off the journal's end again.
void CutJournal() {
    g_store.journalCut = hostfs::Truncate(g_store.journalFile, off_t(g_store.journalSize)) != 0;
}

// Writes the whole registry to `path`, made or emptied first.
bool WriteStore(const std::string& path, size_t* size) {
    int fd = hostfs::Open(path, O_WRONLY | O_CREAT | O_TRUNC);
    if (fd < 0)
        return false;
    bool ok = WriteRegistry(
        g_roots,
        [fd](std::string_view piece) { return hostfs::WriteAll(fd, piece.data(), piece.size()); },
        size);
    return hostfs::Close(fd) == 0 && ok;
}

// Writes the whole registry as the store, in place of the store and its
// journal. Each step that writes is a fallible call, so that the sweeps
// fail or stop each one: the new store is written beside the old one, the
// old one steps aside (a rename over an existing file makes ext4 write the
// new one out at once, which was most of an installation's time), the new
// one takes its name, and the journal goes. A load takes the old store back
// when a run stopped between the two renames; a journal left beside a new
// store changes nothing when it is replayed, since each entry sets what it
// names to one state.
bool Fold() {
    if (!Writable())
        return true;
    const std::string next = g_store.store + kStoreNext, old = g_store.store + kStoreAside;
    size_t size = 0;
    if (ShouldFail(FaultOp::Registry, next.c_str()) || !WriteStore(next, &size) ||
        ShouldFail(FaultOp::Registry, old.c_str())) {
        hostfs::Unlink(next);
        return false;
    }
    bool aside = hostfs::Rename(g_store.store, old) == 0;
    if ((!aside && errno != ENOENT) || ShouldFail(FaultOp::Registry, g_store.store.c_str()) ||
        hostfs::Rename(next, g_store.store) != 0) {
        if (aside)
            hostfs::Rename(old, g_store.store);
        hostfs::Unlink(next);
        return false;
    }
    if (aside)
        hostfs::Unlink(old);
    g_store.storeSize = size;
    if (g_store.journalFile >= 0)
        hostfs::Close(g_store.journalFile);
    g_store.journalFile = -1;
    if (!ShouldFail(FaultOp::Registry, g_store.journal.c_str()) &&
        (hostfs::Unlink(g_store.journal) == 0 || errno == ENOENT)) {
        g_store.journalSize = 0;
        g_store.journalCut = false;
    }
    g_store.toFold = false;
    return true;
}

// Saves one change, already made in memory: its entry is written, then the
// blank line that ends it. Each of the two writes is a fallible call; when
// either fails, what was written of the entry is taken off again.
bool Save(const std::string& entry) {
    if (!Writable())
        return true;
    const char* journal = g_store.journal.c_str();
    if (ShouldFail(FaultOp::Registry, journal))
        return false;
    if (g_store.journalFile >= 0 && g_store.journalCut)
        CutJournal();
    if (g_store.journalCut) // it cannot be mended: the store takes every change
        return Fold();
    if (g_store.journalFile < 0)
        g_store.journalFile = hostfs::Open(journal, O_WRONLY | O_CREAT | O_APPEND);
    if (g_store.journalFile < 0)
        return false;
    const std::string text = (g_store.journalSize == 0 ? kJournalHead : "") + entry;
    bool ok = hostfs::WriteAll(g_store.journalFile, text.data(), text.size());
    ok = ok && !ShouldFail(FaultOp::Registry, journal) &&
         hostfs::WriteAll(g_store.journalFile, kEntryEnd, std::strlen(kEntryEnd));
    if (!ok) {
        CutJournal();
        return false;
    }
    g_store.journalSize += text.size() + std::strlen(kEntryEnd);
    g_store.toFold = true;
    if (g_store.journalSize > g_store.storeSize)
        Fold(); // when this fails, the change is still saved in the journal
    return true;
}

void MarkDeleted(RegNode* node, bool deleted) {
    node->deleted = deleted;
    for (auto& sub : node->subkeys)
        MarkDeleted(sub.get(), deleted);
}

// Reads the store, or when a fold stopped between its two renames, the old
// store that stepped aside, which a writable load puts back.
bool ReadStore(const std::string& path, bool readOnly,
               std::shared_ptr<const hostfs::SharedText>* text, std::string* error) {
    if (hostfs::ReadShared(path, text))
        return true;
    if (errno == ENOENT) {
        const std::string old = path + kStoreAside;
        if (!readOnly && hostfs::Rename(old, path) == 0)
            return ReadStore(path, readOnly, text, error);
        if (hostfs::ReadShared(old, text))
            return true;
        if (errno == ENOENT) {
            *text = std::make_shared<hostfs::SharedText>();
            return true;
        }
    }
    if (error)
        *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
}

} // namespace

namespace hostwin {

bool LoadRegistry(const std::string& folder, bool readOnly, std::string* error) {
    FoldRegistry(); // of the machine mounted until now
    RegRoots roots;
    const std::string path = folder + kStoreName, journalPath = folder + kJournalName;
    std::shared_ptr<const hostfs::SharedText> store;
    std::string text, what;
    if (!ReadStore(path, readOnly, &store, error))
        return false;
    if (!ParseRegistry(store->Text(), &roots, &what, store)) {
        if (error)
            *error = path + " " + what;
        return false;
    }
    const size_t storeSize = store->Text().size();
    store.reset(); // the keys that keep lines unread hold it
    // The changes since the store was written; a cut entry at its end is
    // passed over, and taken off unless the machine is only read.
    if (!hostfs::ReadWhole(journalPath, &text) && errno != ENOENT) {
        if (error)
            *error = "cannot read " + journalPath + ": " + std::strerror(errno);
        return false;
    }
    const size_t whole = WholeJournalEntries(text);
    if (whole > 0 && !ParseRegistry(std::string_view(text).substr(0, whole), &roots, &what)) {
        if (error)
            *error = journalPath + " " + what;
        return false;
    }
    ResetRegistry();
    g_roots = roots;
    if (readOnly)
        return true;
    g_store.store = path;
    g_store.journal = journalPath;
    g_store.owner = getpid();
    g_store.storeSize = storeSize;
    g_store.journalSize = whole;
    if (whole < text.size()) {
        int fd = hostfs::Open(journalPath, O_WRONLY);
        g_store.journalCut = fd < 0 || hostfs::Truncate(fd, off_t(whole)) != 0;
        if (fd >= 0)
            hostfs::Close(fd);
    }
    g_store.toFold = whole > 0;
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

const RegRoots& MountedRegistry() {
    return g_roots;
}

bool FoldRegistry() {
    return !g_store.toFold || Fold();
}

void ResetRegistry() {
    FoldRegistry();
    if (g_store.journalFile >= 0)
        hostfs::Close(g_store.journalFile);
    g_store = Store();
    ForgetCopies();
    for (OpenKey* open : g_handles)
        delete open;
    g_handles.clear();
    g_roots = RegRoots();
}

} // namespace hostwin

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
    if (!result)
        return ERROR_INVALID_PARAMETER;
    if (!key) // no key at all: the result stays as it was
        return ERROR_INVALID_HANDLE;
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
    // A failure leaves the result as it was.
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
            if (!firstNew)
                NoteChange(node.get());
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
    if (firstNew && !Save(KeyMadeEntry(*node))) {
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
    // A text without data is refused whatever its size, as Windows 95/98 do.
    if (!data && (size || type == REG_SZ))
        return ERROR_INVALID_PARAMETER;
    RegValue v;
    v.name = name ? name : "";
    v.type = type;
    if (type == REG_SZ) // Windows 95/98 store the text's length plus its zero
        v.data.assign(reinterpret_cast<const char*>(data),
                      std::strlen(reinterpret_cast<const char*>(data)) + 1);
    else
        v.data.assign(reinterpret_cast<const char*>(data), size);
    const RegValue* old = node->FindValue(v.name);
    const bool existed = old != nullptr;
    const RegValue before = existed ? *old : RegValue();
    NoteChange(node.get());
    if (!Save(ValueSetEntry(*node, *node->SetValue(v)))) {
        if (existed)
            node->SetValue(before);
        else
            node->RemoveValue(v.name);
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
    const std::string path = node->FullPath();
    NoteChange(parent);
    parent->RemoveSubkey(node.get());
    MarkDeleted(node.get(), true);
    if (!Save(KeyDeletedEntry(path))) {
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
    const RegValue* found = node->FindValue(name ? name : "");
    if (!found)
        return ERROR_FILE_NOT_FOUND;
    const RegValue before = *found;
    NoteChange(node.get());
    node->RemoveValue(before.name);
    if (!Save(ValueDeletedEntry(*node, before.name))) {
        node->SetValue(before);
        return ERROR_CANTWRITE;
    }
    return ERROR_SUCCESS;
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
