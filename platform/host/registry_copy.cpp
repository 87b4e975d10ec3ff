// Copies of the registry, taken to be compared with later ones. A copy
// shares the registry itself: only when a change first touches a key after
// a copy was taken does the copy keep that key's values and subkeys as they
// were. Each key notes when a change last touched it or a key below it, so
// that a comparison passes over whatever no change touched since the older
// copy: copies and comparisons cost what changed, not what the registry
// holds.
#include "machine.h"
#include "registry_store.h"

#include <map>
#include <set>

namespace hostwin {

namespace {

struct KeyState {
    std::shared_ptr<const RegNode> key; // kept, so that no other key takes its place
    std::vector<RegValue> values;
    std::vector<std::shared_ptr<RegNode>> subkeys;
};

unsigned long g_clock = 0;

} // namespace

struct RegistryCopy {
    RegistryCopy() = default;
    RegistryCopy(const RegistryCopy&) = delete;
    RegistryCopy& operator=(const RegistryCopy&) = delete;
    ~RegistryCopy();

    unsigned long taken = 0;
    std::shared_ptr<RegNode> roots[RootCount]; // null once the registry is replaced
    std::map<const RegNode*, KeyState> before; // keys changed since, as they were
};

namespace {

std::set<RegistryCopy*> g_copies;

// A key as a copy sees it.
struct View {
    const std::vector<RegValue>* values;
    const std::vector<std::shared_ptr<RegNode>>* subkeys;
};

View Seen(const RegistryCopy& copy, const RegNode& key) {
    auto saved = copy.before.find(&key);
    if (saved != copy.before.end())
        return {&saved->second.values, &saved->second.subkeys};
    return {&key.Values(), &key.subkeys};
}

// Every entry of `key` as `copy` sees it and, with `subkeys`, of the keys
// below it.
void AddEntries(const RegistryCopy& copy, const RegNode& key, const std::string& path, bool isRoot,
                bool subkeys, std::map<std::string, std::string>* out) {
    View view = Seen(copy, key);
    if (!isRoot || !view.values->empty())
        (*out)[path] = "";
    for (const RegValue& v : *view.values)
        (*out)[path + "\\" + FormatValueName(v.name)] = FormatValueData(v, false);
    if (subkeys)
        for (const auto& sub : *view.subkeys)
            AddEntries(copy, *sub, path + "\\" + sub->name, false, true, out);
}

bool SameValues(const std::vector<RegValue>& a, const std::vector<RegValue>& b) {
    if (&a == &b)
        return true;
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].data != b[i].data)
            return false;
    return true;
}

struct Sides {
    const RegistryCopy& a;
    const RegistryCopy& b;
    std::map<std::string, std::string>* inA;
    std::map<std::string, std::string>* inB;
};

// Walks both copies of a key side by side: their subkeys are sorted alike.
void Compare(const Sides& s, const RegNode& x, const RegNode& y, const std::string& pathX,
             const std::string& pathY, bool isRoot) {
    // Untouched by any change since both copies were taken: the same.
    if (&x == &y && x.changed <= std::min(s.a.taken, s.b.taken))
        return;
    View vx = Seen(s.a, x), vy = Seen(s.b, y);
    if (!SameValues(*vx.values, *vy.values)) {
        AddEntries(s.a, x, pathX, isRoot, false, s.inA);
        AddEntries(s.b, y, pathY, isRoot, false, s.inB);
    }
    const auto &xs = *vx.subkeys, &ys = *vy.subkeys;
    size_t i = 0, j = 0;
    while (i < xs.size() || j < ys.size()) {
        int order = i == xs.size()   ? 1
                    : j == ys.size() ? -1
                                     : CompareNames(xs[i]->name, ys[j]->name);
        if (order < 0) {
            AddEntries(s.a, *xs[i], pathX + "\\" + xs[i]->name, false, true, s.inA);
            ++i;
        } else if (order > 0) {
            AddEntries(s.b, *ys[j], pathY + "\\" + ys[j]->name, false, true, s.inB);
            ++j;
        } else {
            Compare(s, *xs[i], *ys[j], pathX + "\\" + xs[i]->name, pathY + "\\" + ys[j]->name,
                    false);
            ++i;
            ++j;
        }
    }
}

} // namespace

RegistryCopy::~RegistryCopy() {
    g_copies.erase(this);
}

void NoteChange(RegNode* key) {
    for (RegistryCopy* copy : g_copies)
        if (!copy->before.count(key))
            copy->before[key] = KeyState{key->shared_from_this(), key->Values(), key->subkeys};
    ++g_clock;
    for (RegNode* k = key; k; k = k->parent)
        k->changed = g_clock;
}

void ForgetCopies() {
    for (RegistryCopy* copy : g_copies) {
        for (auto& root : copy->roots)
            root = nullptr;
        copy->before.clear();
    }
    g_copies.clear();
}

std::shared_ptr<const RegistryCopy> CopyRegistry() {
    if (!IsMounted())
        return nullptr;
    auto copy = std::make_shared<RegistryCopy>();
    copy->taken = g_clock;
    for (int i = 0; i < RootCount; ++i)
        copy->roots[i] = MountedRegistry().keys[i];
    g_copies.insert(copy.get());
    return copy;
}

void RegistryDifferences(const RegistryCopy& a, const RegistryCopy& b,
                         std::map<std::string, std::string>* inA,
                         std::map<std::string, std::string>* inB) {
    for (int i = 0; i < RootCount; ++i)
        if (a.roots[i] && b.roots[i])
            Compare(Sides{a, b, inA, inB}, *a.roots[i], *b.roots[i], a.roots[i]->name,
                    b.roots[i]->name, true);
}

} // namespace hostwin
