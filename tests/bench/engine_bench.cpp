// Speed of the two hot paths: reading the whole shipped script line by line
// (every request rescans from the first byte) and the 2048-byte copy loop.
#include "install_engine.h"
#include "support/scratch.h"

#include "platform/host.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>

namespace {

class GrantAll : public ScriptText {
  public:
    GrantAll() : ScriptText("FD", MAKEINTRESOURCEA(1)) {}
    ResultCode ResolveVariable(const char*, char*, unsigned* room) override {
        *room = 0;
        return Ok;
    }
};

void ReadWholeScript(benchmark::State& state) {
    GrantAll script;
    const char* sections[] = {"Paths", "Files", "Delete", "WriteSysDB", "DeleteSysDB"};
    unsigned lines = 0;
    for (auto _ : state) {
        lines = 0;
        for (const char* section : sections) {
            for (unsigned n = 0;; ++n) {
                char key[256], value[256];
                unsigned kl = sizeof key, vl = sizeof value;
                ResultCode r = script.GetEntry(section, key, &kl, value, &vl, n);
                if (r == NoSuchLine || r == MalformedScript)
                    break;
                ++lines;
                benchmark::DoNotOptimize(key);
            }
        }
    }
    state.counters["lines"] = lines;
}
BENCHMARK(ReadWholeScript)->Unit(benchmark::kMillisecond);

struct BigFile {
    Scratch scratch;
    EntryList paths, files;
    PathEntry* src;
    PathEntry* dst;
    std::string hostSource, hostTarget;
    BigFile() {
        src = new PathEntry(&paths, "~Disk 1", "");
        dst = new PathEntry(&paths, "DEST", "");
        Scratch::MakeDir(scratch.Path("OUT"));
        src->SetDirectory(scratch.Dir().c_str());
        dst->SetDirectory(scratch.Path("OUT").c_str());
        Scratch::WriteFile(scratch.Path("big.bin"), TestBytes(64 << 20));
        hostSource = hostwin::HostPath(scratch.Path("big.bin").c_str());
        hostTarget = hostwin::HostPath(scratch.Path("OUT").c_str()) + "/cp.bin";
    }
};

void CopyLoop64MiB(benchmark::State& state) {
    BigFile big;
    InstallEngine engine(nullptr, nullptr);
    FileEntry* f = new FileEntry(&big.files, big.src, big.dst, "big.bin", "big.out");
    for (auto _ : state)
        engine.CopyFile(f);
    state.SetBytesProcessed(int64_t(state.iterations()) * (64 << 20));
}
BENCHMARK(CopyLoop64MiB)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

void Cp64MiB(benchmark::State& state) {
    BigFile big;
    std::string command = "cp '" + big.hostSource + "' '" + big.hostTarget + "'";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("cp failed");
    state.SetBytesProcessed(int64_t(state.iterations()) * (64 << 20));
}
BENCHMARK(Cp64MiB)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
