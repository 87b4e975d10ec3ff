// The file calls the setup program makes, checked for the results Windows
// gives. The same tests run natively over the emulated machine and under
// Wine, so the emulation cannot drift from the real thing.
#include "support/scratch.h"

#include "platform/win32.h"

#include <gtest/gtest.h>
#include <set>
#include <string>

namespace {

std::set<std::string> Find(const std::string& pattern) {
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.insert(data.cFileName);
    } while (FindNextFileA(h, &data));
    FindClose(h);
    return names;
}

TEST(Files, NamesAreFoundWhateverTheirCaseAndKeepTheCaseTheyWereMadeIn) {
    Scratch s;
    ASSERT_TRUE(Scratch::MakeDir(s.Path("Sub")));
    ASSERT_TRUE(Scratch::WriteFile(s.Path("Sub\\MixedCase.Txt"), "hello"));
    EXPECT_EQ(Scratch::ReadFile(s.Path("SUB\\mixedcase.TXT")), "hello");
    EXPECT_EQ(Find(s.Path("sub\\*")), (std::set<std::string>{".", "..", "MixedCase.Txt"}));
    // Writing through another spelling replaces the same file.
    ASSERT_TRUE(Scratch::WriteFile(s.Path("sub\\MIXEDCASE.TXT"), "again"));
    EXPECT_EQ(Find(s.Path("Sub\\*.txt")), (std::set<std::string>{"MixedCase.Txt"}));
    EXPECT_EQ(Scratch::ReadFile(s.Path("Sub\\MixedCase.Txt")), "again");
}

TEST(Files, CreateTruncatesAndReadsReturnShortCountsAtTheEnd) {
    Scratch s;
    std::string path = s.Path("data.bin");
    ASSERT_TRUE(Scratch::WriteFile(path, std::string(3000, 'x')));
    HFILE f = _lcreat(path.c_str(), 0);
    ASSERT_NE(f, HFILE_ERROR);
    EXPECT_EQ(_lwrite(f, "abc", 3), 3u);
    EXPECT_EQ(_lclose(f), 0);

    f = _lopen(path.c_str(), OF_READ);
    ASSERT_NE(f, HFILE_ERROR);
    char buf[2048];
    EXPECT_EQ(_lread(f, buf, sizeof buf), 3u);
    EXPECT_EQ(_lread(f, buf, sizeof buf), 0u);
    EXPECT_EQ(_lclose(f), 0);
}

TEST(Files, MissingFilesAndFoldersGiveTheirOwnErrors) {
    Scratch s;
    EXPECT_EQ(_lopen(s.Path("nothing.txt").c_str(), OF_READ), HFILE_ERROR);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA(s.Path("nothing.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA(s.Path("nodir\\x.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(_lcreat(s.Path("nodir\\x.txt").c_str(), 0), HFILE_ERROR);
    EXPECT_FALSE(DeleteFileA(s.Path("nothing.txt").c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

TEST(Files, ReadOnlyFilesCanBeReadButNotWrittenOrDeleted) {
    Scratch s;
    std::string path = s.Path("ro.txt");
    ASSERT_TRUE(Scratch::WriteFile(path, "keep"));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_EQ(_lcreat(path.c_str(), 0), HFILE_ERROR);
    EXPECT_EQ(_lopen(path.c_str(), OF_WRITE), HFILE_ERROR);
    EXPECT_FALSE(DeleteFileA(path.c_str()));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(Scratch::ReadFile(path), "keep");

    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(DeleteFileA(path.c_str()));
    EXPECT_FALSE(Scratch::Exists(path));
}

TEST(Files, CopyAndMoveRespectExistingTargets) {
    Scratch s;
    std::string a = s.Path("a.txt"), b = s.Path("b.txt"), c = s.Path("c.txt");
    ASSERT_TRUE(Scratch::WriteFile(a, "alpha"));
    ASSERT_TRUE(Scratch::WriteFile(b, "beta"));

    EXPECT_FALSE(CopyFileA(a.c_str(), b.c_str(), TRUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_EXISTS));
    EXPECT_TRUE(CopyFileA(a.c_str(), b.c_str(), FALSE));
    EXPECT_EQ(Scratch::ReadFile(b), "alpha");

    ASSERT_TRUE(SetFileAttributesA(b.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(CopyFileA(a.c_str(), b.c_str(), FALSE));
    ASSERT_TRUE(SetFileAttributesA(b.c_str(), FILE_ATTRIBUTE_NORMAL));

    EXPECT_FALSE(MoveFileA(a.c_str(), b.c_str()));
    EXPECT_EQ(Scratch::ReadFile(b), "alpha");
    EXPECT_TRUE(MoveFileA(a.c_str(), c.c_str()));
    EXPECT_FALSE(Scratch::Exists(a));
    EXPECT_EQ(Scratch::ReadFile(c), "alpha");
    EXPECT_FALSE(MoveFileA(s.Path("gone.txt").c_str(), s.Path("d.txt").c_str()));
}

TEST(Files, DirectoriesAreCreatedOneLevelAtATime) {
    Scratch s;
    EXPECT_FALSE(CreateDirectoryA(s.Path("A\\B").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_TRUE(CreateDirectoryA(s.Path("A").c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(s.Path("a").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(CreateDirectoryA(s.Path("a\\B").c_str(), nullptr));
    EXPECT_TRUE(GetFileAttributesA(s.Path("A\\b").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    // Trailing backslash or not, the folder is found.
    EXPECT_NE(GetFileAttributesA(s.Path("A\\B\\").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(_lcreat(s.Path("A").c_str(), 0), HFILE_ERROR);
}

TEST(Files, FindMatchesDosPatterns) {
    Scratch s;
    for (const char* name : {"serife.001", "README.001", "vgaoem.fon", "note", "x.0011"})
        ASSERT_TRUE(Scratch::WriteFile(s.Path(name), name));
    ASSERT_TRUE(Scratch::MakeDir(s.Path("DISK2")));

    // x.0011 matches too, through its short name X~1.001.
    EXPECT_EQ(Find(s.Path("*.001")), (std::set<std::string>{"README.001", "serife.001", "x.0011"}));
    EXPECT_EQ(Find(s.Path("*.0011")), (std::set<std::string>{"x.0011"}));
    EXPECT_EQ(Find(s.Path("*.FON")), (std::set<std::string>{"vgaoem.fon"}));
    EXPECT_EQ(Find(s.Path("serif?.001")), (std::set<std::string>{"serife.001"}));
    EXPECT_EQ(Find(s.Path("nomatch.*")), (std::set<std::string>{}));
    EXPECT_EQ(Find(s.Path("*.*")).size(), 8u); // . and .. too
    // A folder named without a trailing backslash is found as itself.
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(s.Path("disk2").c_str(), &data);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, "DISK2");
    EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    FindClose(h);
    EXPECT_EQ(FindFirstFileA(s.Path("DISK3").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileA(s.Path("NODIR\\*").c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));
}

TEST(Files, DriveTypesAndSystemFolders) {
    Scratch s;
    EXPECT_EQ(GetDriveTypeA("C:\\"), UINT(DRIVE_FIXED));
    EXPECT_EQ(GetDriveTypeA("A:\\"), UINT(DRIVE_REMOVABLE));
    EXPECT_EQ(GetDriveTypeA("Q:\\"), UINT(DRIVE_NO_ROOT_DIR));

    char dir[MAX_PATH];
    UINT n = GetWindowsDirectoryA(dir, sizeof dir);
    ASSERT_GT(n, 3u);
    EXPECT_EQ(n, UINT(std::string(dir).size()));
    EXPECT_EQ(dir[n - 1] == '\\', false);
    EXPECT_NE(GetFileAttributesA(dir) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    // A buffer that is too small gets nothing; the answer is the size needed.
    char small[4] = "xyz";
    EXPECT_EQ(GetWindowsDirectoryA(small, sizeof small), n + 1);

    n = GetSystemDirectoryA(dir, sizeof dir);
    ASSERT_GT(n, 3u);
    EXPECT_NE(GetFileAttributesA(dir) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    DWORD t = GetTempPathA(sizeof dir, dir);
    ASSERT_GT(t, 3u);
    EXPECT_EQ(dir[t - 1], '\\');
}

TEST(Resources, TheScriptIsAResourceOfTheProgramItself) {
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC r = FindResourceA(self, MAKEINTRESOURCEA(1), "FD");
    ASSERT_NE(r, nullptr);
    DWORD size = SizeofResource(self, r);
    EXPECT_GT(size, 10000u);
    const char* text = static_cast<const char*>(LockResource(LoadResource(self, r)));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text, 6), "Paths:");
    EXPECT_EQ(std::string(text + size - 6, 6), "End:\r\n");
    EXPECT_EQ(FindResourceA(self, "#1", "fd"), r); // "#1" names id 1; types ignore case
    EXPECT_EQ(FindResourceA(self, MAKEINTRESOURCEA(2), "FD"), nullptr);
}

} // namespace
