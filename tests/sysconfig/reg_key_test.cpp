// Registry access by path, against the real registry calls: the same tests
// run over the host's emulated registry and under Wine.
#include "sysconfig/sysconfig_fixtures.h"

#include "reg_key.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>

namespace {

const unsigned kBoth = RegKey::AccessRead | RegKey::AccessWrite;

TEST(RegKey, OnlyAnUpperCaseHPrefixWithMUOrCHasARoot) {
    TestRegistry reg;
    RegKey lm("HLM\\", kBoth, false);
    EXPECT_EQ(lm.Handle(), HKEY_LOCAL_MACHINE);
    // Only the first and third characters count.
    RegKey cu(kBoth);
    EXPECT_TRUE(cu.Open("HxU/Software", false));
    EXPECT_TRUE(cu.IsOpen());

    std::string rest = reg.Sub() + "\\Made\\value";
    RegKey none(kBoth);
    char buffer[16] = "junk";
    for (const char* prefix : {"hcu\\", "hCU\\", "XCU\\", "HCX\\", "HC", ""}) {
        std::string path = prefix + rest;
        EXPECT_FALSE(none.SetString(path.c_str(), "x")) << path;
        EXPECT_FALSE(none.SetNumber(path.c_str(), 1)) << path;
        EXPECT_FALSE(none.QueryValue(path.c_str(), buffer, sizeof buffer)) << path;
        EXPECT_STREQ(buffer, "");
        EXPECT_FALSE(none.Delete(path.c_str())) << path;
        EXPECT_FALSE(none.Open(path.c_str(), false)) << path;
    }
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, reg.Sub()));

    // A failed open lets go of the key held before.
    ASSERT_TRUE(none.SetString(reg.Path("Made\\value").c_str(), "x"));
    ASSERT_TRUE(none.Open(reg.Path("Made").c_str(), false));
    EXPECT_FALSE(none.Open(reg.Path("Missing").c_str(), false));
    EXPECT_FALSE(none.IsOpen());
    // An empty path closes and succeeds.
    ASSERT_TRUE(none.Open(reg.Path("\\\\Made\\").c_str(), false)); // empty components skipped
    EXPECT_TRUE(none.Open("", false));
    EXPECT_FALSE(none.IsOpen());
}

TEST(RegKey, DefaultValueIsNamedExactlyOrByATrailingBackslash) {
    TestRegistry reg;
    RegKey writer(kBoth);
    ASSERT_TRUE(writer.SetString(reg.Path("Nls\\Locale\\Default Value").c_str(), "00000402"));
    StoredValue def = ReadStored(HKEY_CURRENT_USER, reg.Sub() + "\\Nls\\Locale", "");
    EXPECT_EQ(def.data, std::string("00000402", 9));
    ASSERT_TRUE(writer.SetString(reg.Path("Nls\\Locale\\default value").c_str(), "plain"));
    EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, reg.Sub() + "\\Nls\\Locale", "DEFAULT VALUE").data,
              std::string("plain", 6));
    ASSERT_TRUE(writer.SetString(reg.Path("Nls\\Program dir").c_str(), "C:\\BV"));

    RegKey held(reg.Path("Nls\\").c_str(), kBoth, false);
    ASSERT_TRUE(held.IsOpen());
    char buffer[64];
    EXPECT_TRUE(held.QueryValue("Program dir", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "C:\\BV");
    EXPECT_TRUE(held.QueryValue("Locale\\Default Value", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "00000402");
    EXPECT_TRUE(held.QueryValue("Locale\\", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "00000402");
    EXPECT_TRUE(held.QueryValue("Locale\\default value", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "plain");
    EXPECT_FALSE(held.QueryValue("Locale\\missing", buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "");
    EXPECT_FALSE(held.QueryValue("NoKey\\x", buffer, sizeof buffer));

    // An empty last component is the default value, on a held key too.
    ASSERT_TRUE(held.SetString("", "held default"));
    EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, reg.Sub() + "\\Nls", "").data,
              std::string("held default", 13));

    // A path ending in a backslash makes its keys and writes nothing; so
    // does a root prefix alone.
    ASSERT_TRUE(writer.SetString("HCU\\", "ignored"));
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, "", "").found);
    ASSERT_TRUE(writer.SetString(reg.Path("Velmor\\Brivanta\\3.2\\").c_str(), "ignored"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, reg.Sub() + "\\Velmor\\Brivanta\\3.2"));
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, reg.Sub() + "\\Velmor\\Brivanta\\3.2", "").found);

    // Made on construction when asked to, as an empty default value.
    RegKey made(reg.Path("Fresh\\Key\\").c_str(), kBoth, true);
    EXPECT_TRUE(made.IsOpen());
    RegKey notMade(reg.Path("Other\\").c_str(), kBoth, false);
    EXPECT_FALSE(notMade.IsOpen());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, reg.Sub() + "\\Other"));
}

TEST(RegKey, TypesAndSizesAreStoredExactly) {
    TestRegistry reg;
    RegKey key(kBoth);
    ASSERT_TRUE(key.SetNumber(reg.Path("T\\number").c_str(), 0x0A));
    ASSERT_TRUE(key.SetString(reg.Path("T\\empty").c_str(), ""));
    ASSERT_TRUE(key.SetString(reg.Path("T\\text").c_str(), "abc"));
    std::string sub = reg.Sub() + "\\T";
    StoredValue number = ReadStored(HKEY_CURRENT_USER, sub, "number");
    EXPECT_EQ(number.type, DWORD(REG_DWORD));
    EXPECT_EQ(number.size, 4u);
    EXPECT_EQ(number.data, std::string("\x0A\0\0\0", 4));
    StoredValue empty = ReadStored(HKEY_CURRENT_USER, sub, "EMPTY");
    EXPECT_EQ(empty.type, DWORD(REG_SZ));
    EXPECT_EQ(empty.size, 1u);
    StoredValue text = ReadStored(HKEY_CURRENT_USER, sub, "text");
    EXPECT_EQ(text.type, DWORD(REG_SZ));
    EXPECT_EQ(text.data, std::string("abc", 4));
}

TEST(RegKey, QueryValueAlwaysLeavesATerminatedTextWithinTheBuffer) {
    TestRegistry reg;
    RegKey key(kBoth);
    ASSERT_TRUE(key.SetNumber(reg.Path("Q\\dword").c_str(), 0x00434241)); // "ABC\0"
    ASSERT_TRUE(key.SetNumber(reg.Path("Q\\full").c_str(), 0x41414141));  // no zero at all
    ASSERT_TRUE(key.SetString(reg.Path("Q\\text").c_str(), "abc"));
    char buffer[8];
    auto query = [&](const char* name, unsigned size) {
        std::memset(buffer, '#', sizeof buffer);
        return key.QueryValue(reg.Path(std::string("Q\\") + name).c_str(), buffer, size);
    };
    EXPECT_TRUE(query("dword", 8));
    EXPECT_STREQ(buffer, "ABC");
    EXPECT_TRUE(query("full", 5));
    EXPECT_STREQ(buffer, "AAAA");
    EXPECT_EQ(buffer[5], '#');
    // Four bytes without a zero in a buffer of four: no room to terminate.
    EXPECT_FALSE(query("full", 4));
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[4], '#');
    EXPECT_TRUE(query("text", 4)); // an exact fit with its zero
    EXPECT_STREQ(buffer, "abc");
    EXPECT_FALSE(query("text", 3));
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[3], '#');
    EXPECT_FALSE(query("text", 0));
    EXPECT_EQ(buffer[0], '#');
}

TEST(RegKey, TheWalksStartAtAGivenKeyAndAnswerTheRegistryStatus) {
    TestRegistry reg;
    const std::string sub = reg.Sub();
    const BYTE bytes[] = {1, 0, 2, 0, 3};
    EXPECT_EQ(SetValueByPath(HKEY_CURRENT_USER, (sub + "\\W\\bin").c_str(), bytes, REG_BINARY, 3),
              ERROR_SUCCESS);
    StoredValue bin = ReadStored(HKEY_CURRENT_USER, sub + "\\W", "bin");
    EXPECT_EQ(bin.type, DWORD(REG_BINARY));
    EXPECT_EQ(bin.data, std::string("\1\0\2", 3));
    // The size handed in counts for binary data only.
    EXPECT_EQ(SetValueByPath(HKEY_CURRENT_USER, (sub + "\\W\\text").c_str(),
                             reinterpret_cast<const BYTE*>("ab"), REG_SZ, 1),
              ERROR_SUCCESS);
    EXPECT_EQ(ReadStored(HKEY_CURRENT_USER, sub + "\\W", "text").size, 3u);
    EXPECT_EQ(SetValueByPath(HKEY_CURRENT_USER, (sub + "\\W\\none").c_str(), bytes, REG_NONE, 5),
              ERROR_SUCCESS);
    StoredValue none = ReadStored(HKEY_CURRENT_USER, sub + "\\W", "none");
    EXPECT_TRUE(none.found);
    EXPECT_EQ(none.size, 0u);

    HKEY w;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (sub + "\\W").c_str(), 0, KEY_ALL_ACCESS, &w),
              ERROR_SUCCESS);
    BYTE buffer[8];
    DWORD size = sizeof buffer;
    EXPECT_EQ(QueryValueByPath(w, "bin", buffer, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(std::memcmp(buffer, bytes, 3), 0);
    size = sizeof buffer;
    EXPECT_EQ(QueryValueByPath(w, "Missing\\bin", buffer, &size), ERROR_FILE_NOT_FOUND);
    size = sizeof buffer;
    EXPECT_EQ(QueryValueByPath(w, "missing", buffer, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(DeleteByPath(w, "bin"), ERROR_SUCCESS);
    EXPECT_EQ(DeleteByPath(w, "bin"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, sub + "\\W", "bin").found);
    RegCloseKey(w); // the walks leave the starting key open
}

// The calls themselves where a program could trip: a text without data,
// and the result of an open or a create that fails on a handle that is no
// key at all, which Windows 95/98 and Wine leave as the caller had it.
TEST(RegistryCalls, ATextWithoutDataIsRefusedAndAFailedOpenLeavesTheResultAlone) {
    TestRegistry reg;
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, reg.Sub().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, "none", 0, REG_SZ, nullptr, 0), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, reg.Sub(), "none").found);
    const HKEY untouched = reinterpret_cast<HKEY>(uintptr_t(0x1234));
    HKEY result = untouched;
    EXPECT_EQ(RegOpenKeyExA(nullptr, "Software", 0, KEY_READ, &result), ERROR_INVALID_HANDLE);
    EXPECT_EQ(result, untouched);
    EXPECT_EQ(RegCreateKeyExA(nullptr, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &result,
                              nullptr),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(result, untouched);
    // A key that is not there: the open clears the result.
    EXPECT_EQ(RegOpenKeyExA(key, "missing", 0, KEY_READ, &result), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(result, nullptr);
    RegCloseKey(key);
}

TEST(RegKey, DeleteRemovesWholeTreesOrValuesButNeverTheParentOfAnEmptyName) {
    TestRegistry reg;
    RegKey key(kBoth);
    // Names that grow in length: each enumeration needs its full name size.
    const char* deep =
        "Tree\\a\\bbbbbbbbbbbbbbbbbbbbbb\\c\\ddddddddddddddddddddddddddddddddddd\\e\\";
    ASSERT_TRUE(key.SetString((reg.Path(deep) + "leaf").c_str(), "x"));
    ASSERT_TRUE(key.SetString(
        reg.Path("Tree\\a\\zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz\\v").c_str(), "x"));
    ASSERT_TRUE(key.SetString(reg.Path("Tree\\b\\v").c_str(), "x"));
    ASSERT_TRUE(key.SetString(reg.Path("Tree\\v").c_str(), "x"));
    ASSERT_TRUE(key.SetString(reg.Path("Keep\\internat.exe").c_str(), "internat.exe"));
    ASSERT_TRUE(key.SetString(reg.Path("Keep\\other").c_str(), "x"));

    // A trailing backslash or a bare prefix names nothing to delete.
    EXPECT_FALSE(key.Delete(reg.Path("Tree\\").c_str()));
    EXPECT_FALSE(key.Delete("HCU\\"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, reg.Sub() + "\\Tree\\b"));

    EXPECT_TRUE(key.Delete(reg.Path("Tree").c_str()));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, reg.Sub() + "\\Tree"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, reg.Sub() + "\\Keep"));
    EXPECT_FALSE(key.Delete(reg.Path("Tree").c_str())); // gone: a silent failure

    RegKey held(reg.Path("Keep\\").c_str(), kBoth, false);
    ASSERT_TRUE(held.IsOpen());
    EXPECT_TRUE(held.Delete("internat.exe"));
    EXPECT_FALSE(ReadStored(HKEY_CURRENT_USER, reg.Sub() + "\\Keep", "internat.exe").found);
    EXPECT_TRUE(ReadStored(HKEY_CURRENT_USER, reg.Sub() + "\\Keep", "other").found);
    EXPECT_TRUE(held.IsOpen());
}

TEST(RegKey, TreeDeletionStopsCleanlyAtASubkeyNameTooLongForItsBuffer) {
    TestRegistry reg;
    RegKey key(kBoth);
    std::string longName(130, 'n');
    ASSERT_TRUE(key.SetString(reg.Path("T\\a\\v").c_str(), "x"));
    ASSERT_TRUE(key.SetString(reg.Path("T\\" + longName + "\\v").c_str(), "x"));
    EXPECT_FALSE(key.Delete(reg.Path("T").c_str()));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, reg.Sub() + "\\T\\" + longName));
    // Cleared by hand for the fixture, which deletes with the same function.
    HKEY t;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (reg.Sub() + "\\T").c_str(), 0, KEY_ALL_ACCESS, &t),
              0);
    EXPECT_EQ(RegDeleteKeyA(t, longName.c_str()), ERROR_SUCCESS);
    RegCloseKey(t);
}

TEST(RegKey, OverLongPathsFailWithoutTouchingAnything) {
    TestRegistry reg;
    RegKey key(kBoth);
    std::string path = reg.Path(std::string(5000, 'k') + "\\v");
    char buffer[16];
    EXPECT_FALSE(key.SetString(path.c_str(), "x"));
    EXPECT_FALSE(key.SetNumber(path.c_str(), 1));
    EXPECT_FALSE(key.QueryValue(path.c_str(), buffer, sizeof buffer));
    EXPECT_FALSE(key.Delete(path.c_str()));
    EXPECT_FALSE(key.Open(path.c_str(), false));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, reg.Sub()));
    // 1023 characters after the prefix is the longest a path may be.
    std::string rest = reg.Sub() + "\\";
    while (rest.size() < RegKey::MaxPath - 12)
        rest += "abcdefghi\\";
    rest += std::string(RegKey::MaxPath - 2 - rest.size(), 'p') + "\\v";
    ASSERT_EQ(rest.size(), size_t(RegKey::MaxPath));
    std::string tooLong = rest;
    tooLong.insert(tooLong.size() - 2, "p");
    EXPECT_FALSE(key.SetString(("HCU\\" + tooLong).c_str(), "x"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, reg.Sub()));
    EXPECT_TRUE(key.SetString(("HCU\\" + rest).c_str(), "x"));
    EXPECT_TRUE(key.QueryValue(("HCU\\" + rest).c_str(), buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "x");
}

} // namespace
