// ParseFileLine over any line. Input: a form byte (bit 1: a Delete line;
// bit 2 with it: no target buffers), then the line (up to a zero byte). A line it accepts must be
// exactly its parts put back together.
#include "fuzz_input.h"
#include "install_engine.h"

#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const unsigned form = input.Byte();
    const bool deleteForm = form & 1, noTargets = deleteForm && (form & 2);
    const std::string rest = input.Rest();
    const size_t length = std::strlen(rest.c_str());
    // Each text in a block of its own size, so that a byte too far is seen.
    std::unique_ptr<char[]> line(new char[length + 1]);
    std::memcpy(line.get(), rest.c_str(), length + 1);
    std::unique_ptr<char[]> sp(new char[256]), sn(new char[256]);
    std::unique_ptr<char[]> tp(new char[256]), tn(new char[256]);
    if (!ParseFileLine(line.get(), deleteForm, sp.get(), sn.get(), noTargets ? nullptr : tp.get(),
                       noTargets ? nullptr : tn.get()))
        return 0;
    std::string joined = "|" + std::string(sp.get()) + "|" + sn.get();
    if (!deleteForm)
        joined += ",|" + std::string(tp.get()) + "|" + tn.get();
    FUZZ_CHECK(joined == line.get());
    return 0;
}
