// Copying one file entry: the 2048-byte loop, every failure code, and the
// cases where an existing target must survive.
#include "install_engine.h"
#include "support/differences.h"
#include "support/scratch.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct CopyFixture : ::testing::Test {
    Scratch scratch;
    EntryList paths, files;
    PathEntry* src = nullptr;
    PathEntry* dst = nullptr;
    InstallEngine engine{nullptr, nullptr};

    void SetUp() override {
        ASSERT_TRUE(Scratch::MakeDir(scratch.Path("SRC")));
        ASSERT_TRUE(Scratch::MakeDir(scratch.Path("DST")));
        src = new PathEntry(&paths, "~Disk 1", "");
        dst = new PathEntry(&paths, "TGT", "");
        src->SetDirectory(scratch.Path("SRC").c_str());
        dst->SetDirectory(scratch.Path("DST").c_str());
    }
    FileEntry* Entry(const char* from, const char* to) {
        return new FileEntry(&files, src, dst, from, to);
    }
    std::string Target(const char* name) { return std::string(dst->Directory()) + name; }
    std::string Source(const char* name) { return std::string(src->Directory()) + name; }
};

TEST_F(CopyFixture, CopiesFilesOfEverySizeAroundTheChunkByteForByte) {
    for (size_t size : {size_t(0), size_t(2047), size_t(2048), size_t(2049), size_t(1000000)}) {
        std::string data = TestBytes(size, unsigned(size));
        ASSERT_TRUE(Scratch::WriteFile(Source("in.bin"), data));
        std::vector<unsigned> chunks;
        struct Counting : InstallEngine {
            std::vector<unsigned>* seen;
            Counting(std::vector<unsigned>* s) : InstallEngine(nullptr, nullptr), seen(s) {}
            ResultCode ChunkCopied(unsigned n) override {
                seen->push_back(n);
                return Ok;
            }
        } counting(&chunks);
        EXPECT_EQ(counting.CopyFile(Entry("in.bin", "out.bin")), Ok) << size;
        bool ok = false;
        EXPECT_EQ(Scratch::ReadFile(Target("out.bin"), &ok), data) << size;
        EXPECT_TRUE(ok);
        EXPECT_EQ(chunks.size(), size / 2048) << size; // full chunks only, counted from 0
        if (!chunks.empty()) {
            EXPECT_EQ(chunks.back(), size / 2048 - 1);
        }
    }
}

TEST_F(CopyFixture, TheChunkHookCanEndACopyEarly) {
    ASSERT_TRUE(Scratch::WriteFile(Source("in.bin"), TestBytes(5000)));
    struct Ending : InstallEngine {
        ResultCode code;
        explicit Ending(ResultCode c) : InstallEngine(nullptr, nullptr), code(c) {}
        ResultCode ChunkCopied(unsigned) override { return code; }
    };
    Ending aborting(Abort);
    EXPECT_EQ(aborting.CopyFile(Entry("in.bin", "a.out")), Abort);
    // "Last chunk written" from the hook finishes the file like the end of the source.
    Ending finishing(EndOfFile);
    EXPECT_EQ(finishing.CopyFile(Entry("in.bin", "b.out")), Ok);
    EXPECT_EQ(Scratch::ReadFile(Target("b.out")).size(), 2048u);
}

TEST_F(CopyFixture, SourcesInSubFoldersAndReadOnlyTargetsAreCopied) {
    ASSERT_TRUE(Scratch::MakeDir(Source("KBD")));
    ASSERT_TRUE(Scratch::WriteFile(Source("KBD\\kbdus.kbd"), "new layout"));
    ASSERT_TRUE(Scratch::WriteFile(Target("kbdus.kbd"), "old"));
    ASSERT_TRUE(SetFileAttributesA(Target("kbdus.kbd").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(engine.CopyFile(Entry("KBD\\kbdus.kbd", "kbdus.kbd")), Ok);
    EXPECT_EQ(Scratch::ReadFile(Target("kbdus.kbd")), "new layout");
    EXPECT_FALSE(GetFileAttributesA(Target("kbdus.kbd").c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(CopyFixture, AMissingSourceLeavesANewTargetEmptyAndAnOldOneIntact) {
    EXPECT_EQ(engine.CopyFile(Entry("missing.bin", "new.bin")), CannotOpenSource);
    bool ok = false;
    EXPECT_EQ(Scratch::ReadFile(Target("new.bin"), &ok), "");
    EXPECT_TRUE(ok) << "the new target is created before the source is opened";

    ASSERT_TRUE(Scratch::WriteFile(Target("kbdus.kbd"), "the system's layout"));
    ASSERT_TRUE(SetFileAttributesA(Target("kbdus.kbd").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(engine.CopyFile(Entry("missing.kbd", "kbdus.kbd")), CannotOpenSource);
    EXPECT_EQ(Scratch::ReadFile(Target("kbdus.kbd")), "the system's layout");
    EXPECT_TRUE(GetFileAttributesA(Target("kbdus.kbd").c_str()) & FILE_ATTRIBUTE_READONLY);
}

TEST_F(CopyFixture, AFileCopiedOntoItselfIsLeftAsItIs) {
    ASSERT_TRUE(Scratch::WriteFile(Source("same.exe"), "program"));
    FileEntry* f = new FileEntry(&files, src, src, "SAME.EXE", "same.exe");
    EXPECT_EQ(engine.CopyFile(f), Ok);
    EXPECT_EQ(Scratch::ReadFile(Source("same.exe")), "program");
}

TEST_F(CopyFixture, TargetsThatCannotBeCreatedAndOverlongPathsFailWithTheirCodes) {
    ASSERT_TRUE(Scratch::WriteFile(Source("a.txt"), "a"));
    ASSERT_TRUE(Scratch::MakeDir(Target("adir")));
    EXPECT_EQ(engine.CopyFile(Entry("a.txt", "adir")), CannotCreateTarget);

    std::string longName(255 - std::string(dst->Directory()).size() + 1, 'n');
    EXPECT_EQ(engine.CopyFile(Entry("a.txt", longName.c_str())), CannotCreateTarget);
    std::string longSource(255 - std::string(src->Directory()).size() + 1, 's');
    EXPECT_EQ(engine.CopyFile(Entry(longSource.c_str(), "b.txt")), CannotOpenSource);
    EXPECT_FALSE(Scratch::Exists(Target("b.txt")));

    FileEntry del(nullptr, dst, nullptr, longName.c_str(), "");
    EXPECT_EQ(del.DeleteFile(), DeleteFailed);
    FileEntry gone(nullptr, dst, nullptr, "gone.txt", "");
    EXPECT_EQ(gone.DeleteFile(), DeleteFailed);
    ASSERT_TRUE(Scratch::WriteFile(Target("here.txt"), "x"));
    FileEntry here(nullptr, dst, nullptr, "here.txt", "");
    EXPECT_EQ(here.DeleteFile(), Ok);
    EXPECT_FALSE(Scratch::Exists(Target("here.txt")));
}

#if HOST_ONLY("fault switches: Wine cannot make a chosen file call fail")
// The failures a real disk gives rarely, made on purpose.
TEST_F(CopyFixture, EveryFailureOfThePlatformGivesItsCode) {
    std::string data = TestBytes(5000);
    ASSERT_TRUE(Scratch::WriteFile(Source("f.bin"), data));
    const struct {
        hostwin::FaultOp op;
        unsigned nth;
        hostwin::FaultKind kind;
        ResultCode expected;
    } cases[] = {
        {hostwin::FaultOp::Create, 1, hostwin::FaultKind::Fail, CannotCreateTarget},
        {hostwin::FaultOp::Open, 1, hostwin::FaultKind::Fail, CannotOpenSource},
        {hostwin::FaultOp::Read, 1, hostwin::FaultKind::Fail, ReadFailed},
        {hostwin::FaultOp::Read, 3, hostwin::FaultKind::Fail, ReadFailed},
        {hostwin::FaultOp::Write, 1, hostwin::FaultKind::Fail, WriteFailed},
        {hostwin::FaultOp::Write, 2, hostwin::FaultKind::ShortWrite, WriteFailed},
        {hostwin::FaultOp::Write, 3, hostwin::FaultKind::ShortWrite, WriteFailed},
        {hostwin::FaultOp::Close, 2, hostwin::FaultKind::Fail, WriteFailed}, // the target's
    };
    for (const auto& c : cases) {
        hostwin::ClearFaults();
        hostwin::FaultRule rule;
        rule.op = c.op;
        rule.nth = c.nth;
        rule.kind = c.kind;
        hostwin::AddFault(rule);
        EXPECT_EQ(engine.CopyFile(Entry("f.bin", "f.out")), c.expected)
            << int(c.op) << " #" << c.nth;
        EXPECT_EQ(hostwin::TriggeredFaults().size(), 1u);
    }
    hostwin::ClearFaults();
    EXPECT_EQ(engine.CopyFile(Entry("f.bin", "f.out")), Ok);
    EXPECT_EQ(Scratch::ReadFile(Target("f.out")), data);

    hostwin::FaultRule del;
    del.op = hostwin::FaultOp::Delete;
    hostwin::AddFault(del);
    FileEntry d(nullptr, dst, nullptr, "f.out", "");
    EXPECT_EQ(d.DeleteFile(), DeleteFailed);
    EXPECT_TRUE(Scratch::Exists(Target("f.out")));
}

TEST_F(CopyFixture, FilesAreClosedAfterEveryOutcome) {
    // A file left open keeps its descriptor: count them around many failures.
    ASSERT_TRUE(Scratch::WriteFile(Source("f.bin"), TestBytes(9000)));
    HFILE before = _lopen(Source("f.bin").c_str(), OF_READ);
    _lclose(before);
    for (int i = 0; i < 50; ++i) {
        hostwin::ClearFaults();
        hostwin::FaultRule rule;
        rule.op = i % 2 ? hostwin::FaultOp::Read : hostwin::FaultOp::Write;
        rule.nth = unsigned(1 + i % 5);
        hostwin::AddFault(rule);
        engine.CopyFile(Entry("f.bin", "f.out"));
    }
    hostwin::ClearFaults();
    HFILE after = _lopen(Source("f.bin").c_str(), OF_READ);
    _lclose(after);
    EXPECT_EQ(after, before);
}
#endif

} // namespace
