// Copying one file entry: the 2048-byte loop, every failure code, and the
// cases where an existing target must survive.
#include "install_engine.h"
#include "support/differences.h"
#include "support/scratch.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

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
    // The names in the target folder, in the order the system lists them.
    std::vector<std::string> TargetNames() {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA(Target("*").c_str(), &data);
        for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &data))
            if (std::string(data.cFileName) != "." && std::string(data.cFileName) != "..")
                names.push_back(data.cFileName);
        if (find != INVALID_HANDLE_VALUE)
            FindClose(find);
        return names;
    }
};

using Names = std::vector<std::string>;

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

// An existing file is replaced only by a whole new one: the chunk hook
// ending the copy halfway leaves it byte for byte and nothing beside it.
TEST_F(CopyFixture, ACopyEndedHalfwayLeavesAnExistingTargetAsItWas) {
    const std::string data = TestBytes(5000, 3), old = TestBytes(3000, 4);
    ASSERT_TRUE(Scratch::WriteFile(Source("in.bin"), data));
    ASSERT_TRUE(Scratch::WriteFile(Target("t.bin"), old));
    struct Ending : InstallEngine {
        Ending() : InstallEngine(nullptr, nullptr) {}
        ResultCode ChunkCopied(unsigned chunk) override { return chunk == 1 ? Abort : Ok; }
    } ending;
    EXPECT_EQ(ending.CopyFile(Entry("in.bin", "t.bin")), Abort);
    EXPECT_TRUE(Scratch::ReadFile(Target("t.bin")) == old) << "the old file is not whole";
    EXPECT_EQ(TargetNames(), Names{"t.bin"});
    EXPECT_EQ(engine.CopyFile(Entry("in.bin", "t.bin")), Ok);
    EXPECT_TRUE(Scratch::ReadFile(Target("t.bin")) == data) << "the new file is not whole";
    EXPECT_EQ(TargetNames(), Names{"t.bin"});
}

// A run ended between the two moves of a replacement left the old file
// waiting beside its place: the next copy of it puts it back first, and one
// left beside a whole target is removed. The waiting name follows from the
// target's name in any case.
TEST_F(CopyFixture, AnOldFileLeftWaitingIsPutBackOrRemovedByTheNextCopy) {
    char spare[FileEntry::SpareNameSize];
    FileEntry::SpareName("W.BIN", FileEntry::OldWaiting, spare);
    const std::string waiting = Target(spare);
    ASSERT_TRUE(Scratch::WriteFile(Source("in.bin"), TestBytes(5000, 5)));
    ASSERT_TRUE(Scratch::WriteFile(waiting, "the old file"));
    struct Ending : InstallEngine {
        Ending() : InstallEngine(nullptr, nullptr) {}
        ResultCode ChunkCopied(unsigned) override { return Abort; }
    } ending;
    EXPECT_EQ(ending.CopyFile(Entry("in.bin", "w.bin")), Abort);
    EXPECT_TRUE(Scratch::ReadFile(Target("w.bin")) == "the old file");
    EXPECT_EQ(TargetNames(), Names{"w.bin"});

    ASSERT_TRUE(Scratch::WriteFile(waiting, "older still"));
    EXPECT_EQ(engine.CopyFile(Entry("in.bin", "w.bin")), Ok);
    EXPECT_TRUE(Scratch::ReadFile(Target("w.bin")) == TestBytes(5000, 5));
    EXPECT_EQ(TargetNames(), Names{"w.bin"});
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

// The longest target a script can name is replaced too: the spare files
// take short names in its folder.
TEST_F(CopyFixture, ATargetOfTheLongestPathIsReplaced) {
    std::string name(FileEntry::TextSize - 1 - std::string(dst->Directory()).size(), 'n');
    ASSERT_TRUE(Scratch::WriteFile(Source("a.txt"), "new"));
    ASSERT_TRUE(Scratch::WriteFile(Target(name.c_str()), "old"));
    EXPECT_EQ(engine.CopyFile(Entry("a.txt", name.c_str())), Ok);
    EXPECT_EQ(Scratch::ReadFile(Target(name.c_str())), "new");
    EXPECT_EQ(TargetNames(), Names{name});
}

#if HOST_ONLY("fault switches: Wine cannot make a chosen file call fail")
// The failures a real disk gives rarely, made on purpose: each gives its
// code, and an existing target (read-only here) stays as it was, attribute
// included, with nothing left beside it.
TEST_F(CopyFixture, EveryFailureOfThePlatformGivesItsCodeAndKeepsAnOldTarget) {
    using hostwin::FaultKind;
    using hostwin::FaultOp;
    const std::string data = TestBytes(5000), old = "the old file";
    ASSERT_TRUE(Scratch::WriteFile(Source("f.bin"), data));
    const struct {
        FaultOp op;
        unsigned nth;
        FaultKind kind;
        ResultCode expected;
    } cases[] = {
        {FaultOp::Create, 1, FaultKind::Fail, CannotCreateTarget},
        {FaultOp::Open, 1, FaultKind::Fail, CannotOpenSource},
        {FaultOp::Read, 1, FaultKind::Fail, ReadFailed},
        {FaultOp::Read, 3, FaultKind::Fail, ReadFailed},
        {FaultOp::Write, 1, FaultKind::Fail, WriteFailed},
        {FaultOp::Write, 2, FaultKind::ShortWrite, WriteFailed}, // no room for both copies
        {FaultOp::Write, 3, FaultKind::ShortWrite, WriteFailed},
        {FaultOp::Close, 2, FaultKind::Fail, WriteFailed}, // the target's
        // Only a replacement moves and deletes: the old file aside, the new
        // one into place, the old one away.
        {FaultOp::Move, 1, FaultKind::Fail, CannotCreateTarget},
        {FaultOp::Move, 2, FaultKind::Fail, CannotCreateTarget},
        {FaultOp::Delete, 1, FaultKind::Fail, CannotCreateTarget},
    };
    for (bool existing : {false, true}) {
        for (const auto& c : cases) {
            std::string label = std::string(existing ? "existing" : "new") + " target, op " +
                                std::to_string(int(c.op)) + " #" + std::to_string(c.nth);
            hostwin::ClearFaults();
            SetFileAttributesA(Target("f.out").c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(Target("f.out").c_str());
            if (existing) {
                ASSERT_TRUE(Scratch::WriteFile(Target("f.out"), old));
                ASSERT_TRUE(SetFileAttributesA(Target("f.out").c_str(), FILE_ATTRIBUTE_READONLY));
            }
            hostwin::FaultRule rule;
            rule.op = c.op;
            rule.nth = c.nth;
            rule.kind = c.kind;
            hostwin::AddFault(rule);
            bool moves = c.op == FaultOp::Move || c.op == FaultOp::Delete;
            ResultCode code = engine.CopyFile(Entry("f.bin", "f.out"));
            EXPECT_EQ(hostwin::TriggeredFaults().size(), existing || !moves ? 1u : 0u) << label;
            if (!existing) {
                EXPECT_EQ(code, moves ? Ok : c.expected) << label;
                continue;
            }
            EXPECT_EQ(code, c.expected) << label;
            EXPECT_TRUE(Scratch::ReadFile(Target("f.out")) == old) << label;
            EXPECT_TRUE(GetFileAttributesA(Target("f.out").c_str()) & FILE_ATTRIBUTE_READONLY)
                << label;
            EXPECT_EQ(TargetNames(), Names{"f.out"}) << label;
        }
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
