// The REGEDIT4 reader of the host's registry store over any text. A store it
// accepts must come back unchanged from a write and a second read, since the
// emulated machine saves and loads its registry that way on every change.
#include "fuzz_input.h"
#include "registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    hostwin::RegRoots roots;
    std::string error;
    if (!hostwin::ParseRegistry(text, &roots, &error)) {
        FUZZ_CHECK(error.compare(0, 5, "line ") == 0);
        return 0;
    }
    const std::string saved = hostwin::FormatRegistry(roots);
    hostwin::RegRoots again;
    if (!hostwin::ParseRegistry(saved, &again, &error)) {
        std::fprintf(stderr, "the saved store does not read back: %s\n", error.c_str());
        std::abort();
    }
    FUZZ_CHECK(hostwin::FormatRegistry(again) == saved);
    return 0;
}
