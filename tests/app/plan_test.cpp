// The preview resolves the shipped script on a machine mounted read-only,
// as the host program mounts it for --plan.
#include "plan.h"
#include "support/scratch.h"

#include "platform/host.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& text, const std::string& prefix) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0)
            out.push_back(line);
    return out;
}

int PlanOnThisMachine(const PlanOptions& options, std::ostream& out) {
    std::string error;
    EXPECT_TRUE(hostwin::MountMachineReadOnly(hostwin::MachineFolder(), &error)) << error;
    return PrintPlan(options, out);
}

TEST(Plan, AllOptionsCopyEveryApplicableFileToTheMachinesFolders) {
    Scratch s;
    hostwin::SetModuleFileName("A:\\SETUP.EXE");
    std::ostringstream out;
    ASSERT_EQ(PlanOnThisMachine(PlanOptions(), out), 0) << out.str();
    std::string text = out.str();
    // The directories by what they are, as a run finds them; not by the
    // script's names for them.
    EXPECT_EQ(text.rfind("destination = C:\\WINDOWS\\VELMOR\\\ndisk 1 = A:\\\ndisk 2 = A:\\\n"
                         "disk 3 = A:\\\ncopy ",
                         0),
              0u)
        << text;
    for (const char* name : {"~Disk", "BV_DIR", "OLD_DIR", "SYS_DIR", "FONT_DIR", "path "})
        EXPECT_EQ(text.find(name), std::string::npos) << name;
    auto copies = Lines(text, "copy ");
    EXPECT_EQ(copies.size(), 38u); // every line but the one switched off by IF_REG1
    EXPECT_EQ(copies.front(), "copy A:\\brivanta.ex_ -> C:\\WINDOWS\\VELMOR\\brivanta.exe");
    EXPECT_NE(text.find("copy A:\\Fonts\\c8514fix.fo_ -> C:\\WINDOWS\\FONTS\\8514fix.001\n"),
              std::string::npos);
    EXPECT_EQ(copies.back(), "copy A:\\arvui.ttf -> C:\\WINDOWS\\FONTS\\arvui.ttf");
    EXPECT_TRUE(Lines(text, "delete ").empty()); // no shared folder known
    EXPECT_TRUE(Lines(text, "error").empty());
    // Nothing was written: the target folder was never made.
    EXPECT_FALSE(Scratch::Exists("C:\\WINDOWS\\VELMOR"));
}

TEST(Plan, OptionsSwitchTheirLinesOff) {
    Scratch s;
    hostwin::SetModuleFileName("C:\\SETUP\\DISK1\\SETUP.EXE");
    PlanOptions options;
    for (bool& f : options.flags)
        f = false;
    std::ostringstream out;
    ASSERT_EQ(PlanOnThisMachine(options, out), 0);
    auto copies = Lines(out.str(), "copy ");
    ASSERT_EQ(copies.size(), 7u); // the unconditional files
    EXPECT_EQ(copies[0],
              "copy C:\\SETUP\\DISK1\\brivanta.ex_ -> C:\\WINDOWS\\VELMOR\\brivanta.exe");

    options.flags[4] = true; // SystemFonts: 15 fonts from the sibling second disk
    std::ostringstream fonts;
    ASSERT_EQ(PlanOnThisMachine(options, fonts), 0);
    auto withFonts = Lines(fonts.str(), "copy ");
    ASSERT_EQ(withFonts.size(), 22u);
    EXPECT_EQ(withFonts[7],
              "copy C:\\SETUP\\DISK2\\Fonts\\c8514fix.fo_ -> C:\\WINDOWS\\FONTS\\8514fix.001");
}

// The machine's state decides: the stored destination, the shared folder of
// velmor.ini and the font files already there.
TEST(Plan, ThePreviewFollowsTheMachineThroughTheProductsVariables) {
    Scratch s;
    hostwin::SetModuleFileName("A:\\SETUP.EXE");
    ASSERT_TRUE(Scratch::WriteFile("C:\\WINDOWS\\VELMOR.INI",
                                   "[Global]\r\nVelmorDir=C:\\Velmor\\Shared\r\n"));
    ASSERT_TRUE(Scratch::WriteFile("C:\\WINDOWS\\FONTS\\vgasys.001", "an earlier copy"));
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Velmor\\Brivanta\\3.2", 0, nullptr, 0,
                              KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char dir[] = "d:\\apps\\bv";
    RegSetValueExA(key, "Program dir", 0, REG_SZ, reinterpret_cast<const BYTE*>(dir), sizeof dir);
    RegCloseKey(key);
    std::ostringstream out;
    ASSERT_EQ(PlanOnThisMachine(PlanOptions(), out), 0) << out.str();
    std::string text = out.str();
    EXPECT_EQ(Lines(text, "destination "),
              std::vector<std::string>{"destination = d:\\apps\\bv\\"}); // as stored
    EXPECT_NE(text.find("-> C:\\WINDOWS\\FONTS\\vgasys.002\n"), std::string::npos) << text;
    EXPECT_EQ(Lines(text, "delete "),
              std::vector<std::string>{"delete C:\\VELMOR\\SHARED\\bvpanel.exe"});
    EXPECT_TRUE(Scratch::Exists("C:\\WINDOWS\\FONTS\\vgasys.001")) << "nothing changed";
}

} // namespace
