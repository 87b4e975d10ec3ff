// The registry store of an emulated machine held in memory, over any store
// and journal: a load either refuses them with the line at fault, or gives
// a registry that a change, the fold of the journal and a second load keep
// exactly, whatever cut entry ends the journal; and a load that leaves a
// key's lines unread until they are asked for gives what reading every line
// gives.
//
// Input: the store, then "\n[~]\n" and the journal (none without it).
#include "fuzz_input.h"
#include "host_fs.h"
#include "machine.h"
#include "registry_store.h"

#include "platform/host.h"

#include <string>
#include <string_view>

namespace {

const std::string kFolder = hostwin::hostfs::kMemoryFolder;
const std::string kStore = kFolder + "/registry.reg";
const std::string kJournal = kFolder + "/registry-journal.reg";

std::string Read(const std::string& path) {
    std::string text;
    hostwin::hostfs::ReadWhole(path, &text);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string error;
    if (!hostwin::MountMachineInMemory(&error)) {
        std::fprintf(stderr, "cannot mount a machine in memory: %s\n", error.c_str());
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace hostwin;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find("\n[~]\n");
    const std::string_view store = input.substr(0, split);
    const std::string_view journal =
        split == std::string_view::npos ? std::string_view() : input.substr(split + 5);
    ResetRegistry();
    hostfs::WriteWhole(kStore, store);
    hostfs::Unlink(kJournal);
    if (split != std::string_view::npos)
        hostfs::WriteWhole(kJournal, journal);
    std::string error;
    if (!LoadRegistry(kFolder, false, &error)) {
        FUZZ_CHECK(error.find(" line ") != std::string::npos);
        ResetRegistry();
        return 0;
    }
    // Keys whose lines were left unread are written as a load that reads
    // every line writes them.
    const size_t whole = WholeJournalEntries(journal);
    RegRoots eager;
    FUZZ_CHECK(ParseRegistry(store, &eager, nullptr) &&
               (whole == 0 || ParseRegistry(journal.substr(0, whole), &eager, nullptr)));
    FUZZ_CHECK(FormatRegistry(MountedRegistry()) == FormatRegistry(eager));
    // A cut entry is taken off before a change is added.
    FUZZ_CHECK(Read(kJournal) == journal.substr(0, whole));
    HKEY key;
    FUZZ_CHECK(RegCreateKeyExA(HKEY_CURRENT_USER, "Fuzz", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                               &key, nullptr) == ERROR_SUCCESS);
    FUZZ_CHECK(RegSetValueExA(key, "v", 0, REG_BINARY, data, DWORD(size < 64 ? size : 64)) ==
               ERROR_SUCCESS);
    RegCloseKey(key);
    const std::string held = FormatRegistry(MountedRegistry());
    FUZZ_CHECK(FoldRegistry());
    const std::string folded = Read(kStore);
    FUZZ_CHECK(folded == held);
    FUZZ_CHECK(Read(kJournal).empty());
    ResetRegistry();
    if (!LoadRegistry(kFolder, false, &error)) {
        std::fprintf(stderr, "the folded store does not load: %s\n", error.c_str());
        std::abort();
    }
    FUZZ_CHECK(FormatRegistry(MountedRegistry()) == folded);
    // Nothing of this run is left held: what stays allocated after a run
    // is then a leak, and libFuzzer need not run inputs again to look.
    ResetRegistry();
    return 0;
}
