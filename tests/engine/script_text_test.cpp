// The script reader: sections, entries, references and the shipped script.
#include "script_text.h"
#include "support/test_script.h"
#include "text.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <string>

namespace {

// Answers variables from a table; records every name it was asked for.
struct Entry {
    ResultCode code;
    std::string key, value;
};

Entry Get(ScriptText& s, const char* section, unsigned n, unsigned keyCap = 256,
          unsigned valueCap = 256) {
    std::vector<char> key(keyCap + 1, 'K'), value(valueCap + 1, 'V');
    unsigned kl = keyCap, vl = valueCap;
    ResultCode r = s.GetEntry(section, key.data(), &kl, value.data(), &vl, n);
    Entry e{r, key.data(), value.data()};
    if (r == Ok) {
        EXPECT_EQ(kl, e.key.size());
        EXPECT_EQ(vl, e.value.size());
    }
    EXPECT_EQ(key[keyCap], 'K') << "key written past its capacity";
    EXPECT_EQ(value[valueCap], 'V') << "value written past its capacity";
    return e;
}

const char kSmall[] = "Paths:~Disk 1=A:\\\r\n"
                      ":BV_DIR=C:\\X\r\n"
                      "Files: key = value\r\n"
                      ":no equals here\r\n"
                      ":#@ALIAS#tail=#V#\r\n"
                      ":a##b=c####d\r\n"
                      "@ALIAS:   |REG|HLM\\A#B#\\\r\n"
                      "End:\r\n";

TEST(ScriptText, FindsLinesOfSectionsWhateverTheCase) {
    TestScript s(kSmall);
    EXPECT_EQ(s.Status(), 0);
    const char* line;
    unsigned length;
    ASSERT_EQ(s.FindLine("paths", 1, &line, &length), Ok);
    EXPECT_EQ(std::string(line, length), "BV_DIR=C:\\X");
    EXPECT_EQ(s.FindLine("PATHS", 2, &line, &length), NoSuchLine);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(line, s.Text());
    EXPECT_EQ(s.FindLine("Nowhere", 0, &line, &length), NoSuchLine);
    ASSERT_EQ(s.FindLine("End", 0, &line, &length), Ok);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(s.FindLine("End", 1, &line, &length), NoSuchLine);
}

TEST(ScriptText, SplitsKeyAndValueAndDropsOnlyLeadingBlanks) {
    TestScript s(kSmall);
    s.vars["V"] = "val";
    Entry e = Get(s, "Files", 0);
    EXPECT_EQ(e.code, Ok);
    EXPECT_EQ(e.key, "key ");
    EXPECT_EQ(e.value, "value");
    e = Get(s, "Files", 1);
    EXPECT_EQ(e.key, "no equals here");
    EXPECT_EQ(e.value, "");
    e = Get(s, "Files", 3);
    EXPECT_EQ(e.key, "a#b");
    EXPECT_EQ(e.value, "c##d");
    e = Get(s, "Files", 4);
    EXPECT_EQ(e.code, NoSuchLine);
    EXPECT_EQ(e.key, "");
    EXPECT_EQ(e.value, "");
}

TEST(ScriptText, AliasesArePastedRawAndVariablesResolved) {
    TestScript s(kSmall);
    s.vars["V"] = "val";
    Entry e = Get(s, "Files", 2);
    ASSERT_EQ(e.code, Ok);
    // The alias keeps its own '#' unexpanded and loses its leading blanks.
    EXPECT_EQ(e.key, "|REG|HLM\\A#B#\\tail");
    EXPECT_EQ(e.value, "val");
    EXPECT_EQ(s.asked, std::vector<std::string>{"V"});

    char alias[8];
    unsigned max = 7;
    ASSERT_EQ(s.GetAliasText("@alias", alias, &max, 0), Ok);
    EXPECT_EQ(std::string(alias), "|REG"); // cut to 7, then the blanks dropped
    EXPECT_EQ(max, 4u);
    max = 7;
    EXPECT_EQ(s.GetAliasText("@NONE", alias, &max, 0), NoSuchLine);
}

TEST(ScriptText, AFailingVariableStopsTheLineAtOnce) {
    TestScript s("Sec:#IF_A##LATER#k=v\r\n:#K#=#BAD##LATER#\r\n:#K#=x\r\nEnd:\r\n");
    s.vars["K"] = "key";
    s.vars["LATER"] = "l";
    EXPECT_EQ(Get(s, "Sec", 0).code, KeyNotApplicable);
    EXPECT_EQ(s.asked, std::vector<std::string>{"IF_A"}); // nothing after it resolved
    s.asked.clear();
    Entry e = Get(s, "Sec", 1);
    EXPECT_EQ(e.code, ValueNotApplicable);
    EXPECT_EQ(e.key, "key");
    EXPECT_EQ(s.asked, (std::vector<std::string>{"K", "BAD"}));
    EXPECT_EQ(Get(s, "Sec", 2).value, "x");
}

TEST(ScriptText, MalformedHeadersAndUnreachableSections) {
    std::string longName(128, 'N');
    TestScript bad("A:x\r\n" + longName + ":y\r\nB:z\r\n");
    EXPECT_EQ(Get(bad, "A", 0).code, Ok);
    EXPECT_EQ(Get(bad, "B", 0).code, MalformedScript); // the long header is in the way
    EXPECT_EQ(Get(bad, "A", 1).code, MalformedScript);
    std::string name127(127, 'N');
    TestScript ok("A:x\r\n" + name127 + ":y\r\n");
    EXPECT_EQ(Get(ok, name127.c_str(), 0).value, "");
    EXPECT_EQ(Get(ok, name127.c_str(), 0).key, "y");

    TestScript cut("A:x\r\nB");
    EXPECT_EQ(Get(cut, "B", 0).code, MalformedScript);
    // Only the first run of a section is reachable; a stray blank line joins
    // the next header's name.
    TestScript twice("A:1\r\nB:2\r\nA:3\r\n\r\nC:4\r\nEnd:\r\n");
    EXPECT_EQ(Get(twice, "A", 1).code, NoSuchLine);
    EXPECT_EQ(Get(twice, "C", 0).code, NoSuchLine);
    EXPECT_EQ(Get(twice, "\r\nC", 0).key, "4");
}

TEST(ScriptText, ReferencesNeverReadPastTheScript) {
    // The last line has an open reference and no line end: the reader must
    // stay inside the text it was given (no terminating zero follows).
    std::string text = "S:#IF_X#a=b\r\n:k=#OPEN";
    std::vector<char> exact(text.begin(), text.end());
    ScriptText plain(exact.data(), unsigned(exact.size()));
    Entry e = Get(plain, "S", 1);
    EXPECT_EQ(e.code, Ok);
    EXPECT_EQ(e.key, "k");
    EXPECT_EQ(e.value, "");                               // the unfinished reference is dropped
    EXPECT_EQ(Get(plain, "S", 0).code, KeyNotApplicable); // base resolver knows nothing
}

TEST(ScriptText, OverlongReferenceNamesFailTheLine) {
    TestScript s("S:#" + std::string(128, 'x') + "#=v\r\n:#" + std::string(127, 'y') +
                 "#=v\r\nEnd:\r\n");
    s.vars[std::string(127, 'y')] = "ok";
    EXPECT_EQ(Get(s, "S", 0).code, KeyNotApplicable);
    EXPECT_EQ(Get(s, "S", 1).key, "ok");
}

TEST(ScriptText, LongTextIsCutAtTheCapacityNeverOverrun) {
    std::string big(600, 'a');
    TestScript s("S:" + big + "=#V##IF_NO#\r\n:#@AL#=#@AL##@AL#\r\n@AL:" + std::string(300, 'b') +
                 "\r\nEnd:\r\n");
    s.vars["V"] = std::string(400, 'v');
    Entry e = Get(s, "S", 0, 10, 256);
    EXPECT_EQ(e.code, Ok); // the condition after a full value is dropped with the rest
    EXPECT_EQ(e.key, std::string(9, 'a'));
    EXPECT_EQ(e.value, std::string(255, 'v'));
    e = Get(s, "S", 1, 256, 300);
    EXPECT_EQ(e.key, std::string(255, 'b')); // an alias gives at most 260, cut to the room
    EXPECT_EQ(e.value, std::string(260, 'b') + std::string(39, 'b'));
    e = Get(s, "S", 1, 1, 1);
    EXPECT_EQ(e.key, "");
}

// ---- The shipped script ---------------------------------------------------

TEST(ShippedScript, HasItsSectionsWithTheirLineCounts) {
    TestScript s("FD", MAKEINTRESOURCEA(1));
    ASSERT_EQ(s.Status(), 0);
    const struct {
        const char* name;
        unsigned lines;
    } sections[] = {{"Paths", 7},        {"Files", 39},      {"Delete", 1},
                    {"@UN_REG", 1},      {"@FONT_S", 1},     {"@KBD_REG", 1},
                    {"WriteSysDB", 229}, {"DeleteSysDB", 5}, {"End", 1}};
    for (const auto& sec : sections) {
        const char* line;
        unsigned length;
        EXPECT_EQ(s.FindLine(sec.name, sec.lines - 1, &line, &length), Ok) << sec.name;
        EXPECT_EQ(s.FindLine(sec.name, sec.lines, &line, &length), NoSuchLine) << sec.name;
    }
    unsigned crlf = 0;
    for (unsigned i = 0; i + 1 < s.Length(); ++i)
        crlf += s.Text()[i] == '\r' && s.Text()[i + 1] == '\n';
    EXPECT_EQ(crlf, 295u);
}

TEST(ShippedScript, EveryFilesLineExpandsWhenEveryConditionHolds) {
    TestScript s("FD", MAKEINTRESOURCEA(1));
    s.grantConditions = true;
    s.vars["FEXT"] = "001";
    for (unsigned n = 0; n < 39; ++n) {
        Entry e = Get(s, "Files", n);
        ASSERT_EQ(e.code, Ok) << n;
        EXPECT_EQ(e.key[0], '|') << e.key;
        EXPECT_EQ(e.key.find('#'), std::string::npos) << e.key;
    }
    EXPECT_EQ(Get(s, "Files", 16).key, "|~Disk 2|Fonts\\c8514fix.fo_,|FONT_DIR|8514fix.001");
    EXPECT_EQ(Get(s, "Files", 0).key, "|~Disk 1|brivanta.ex_,|BV_DIR|brivanta.exe");
}

TEST(ShippedScript, UninstallAliasAndTheNeverAppliedDunorLines) {
    TestScript s("FD", MAKEINTRESOURCEA(1));
    s.grantConditions = true;
    s.vars["BV_SRC_DIR"] = "A:\\";
    s.vars["BV_Path"] = "C:\\Velmor\\";
    s.vars["BV_SCUT"] = "2";
    s.vars["IF_N_DUNOR"] = "";
    s.vars["IF_N_ARVEL"] = "";
    bool sawDisplayName = false;
    unsigned notApplied = 0;
    for (unsigned n = 0; n < 54; ++n) {
        Entry e = Get(s, "WriteSysDB", n);
        if (e.code == KeyNotApplicable) {
            ++notApplied;
            continue;
        }
        ASSERT_EQ(e.code, Ok) << n;
        if (e.value == "Brivanta 3.2") {
            sawDisplayName = true;
            EXPECT_EQ(e.key, "|REG|HLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                             "Brivanta 3.2\\DisplayName");
        }
    }
    EXPECT_TRUE(sawDisplayName);
    EXPECT_EQ(notApplied, 2u); // the two lines that start with ##IF_DUNORU##
    EXPECT_NE(std::find(s.asked.begin(), s.asked.end(), "DunorU Tur,162=DunorU,162\r\n:"),
              s.asked.end());
}

TEST(ShippedScript, AutoNumberAdvancesOnlyWhenItsLineApplies) {
    TestScript s("FD", MAKEINTRESOURCEA(1));
    s.vars["IF_KBDBDS"] = "";
    // IF_KBDPH is false: the phonetic line consumes no number.
    EXPECT_EQ(Get(s, "WriteSysDB", 18).key,
              "|REG|HCU\\Software\\Velmor\\Active layouts\\1\\layout");
    EXPECT_EQ(Get(s, "WriteSysDB", 19).code, KeyNotApplicable);
    EXPECT_EQ(Get(s, "WriteSysDB", 20).key,
              "|REG|HCU\\Software\\Velmor\\Active layouts\\2\\layout");
    EXPECT_EQ(Get(s, "DeleteSysDB", 0).key, "|REG|HCU\\Software\\Velmor\\Active layouts\\3");
}

} // namespace
