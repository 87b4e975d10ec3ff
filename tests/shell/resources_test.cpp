// The resources as the program finds them at run time: every English
// message exact, every base-language message with its English twin, the
// dialog templates with every control where it belongs, the background
// picture's own mapping. The same checks run over windres's output and over
// the host's embedded copy. The ids are written out, not taken from
// resource_ids.h: a number changed there moves a resource, and fails here.
#include "dialog_template.h"

#include <gtest/gtest.h>
#include <cstring>
#include <string>

namespace {

HINSTANCE Module() {
    return GetModuleHandleA(nullptr);
}

std::string Load(unsigned id, int size = 512) {
    char buffer[512] = "unchanged";
    int n = LoadStringA(Module(), id, buffer, size);
    EXPECT_EQ(size_t(n), std::strlen(buffer)) << id;
    return buffer;
}

TEST(Strings, EveryEnglishMessageIsExact) {
    const struct {
        unsigned id;
        const char* text;
    } expected[] = {
        {3, "Are you sure you want to abort the installation?"},
        {5, "There is not enough memory to complete the operation!"},
        {6, "Enter Brivanta destination directory."},
        {7, "If this directory contains any Brivanta files, they will be overwritten."},
        {8, "Brivanta 98 Setup"},
        {9, "There is an error in the installation files!"},
        {10, "The file %s could not be found!"},
        {11, "Can't copy the file %s to the directory:\n %s"},
        {12, "Installation will be terminated!"},
        {13, "Can't read data from the source disk! Do you want to try again?"},
        {14, "Enter source directory."},
        {15, "Installation was successful!"},
        {16, "The directory can't be found!"},
        {21, "This is not a  valid directory name!"},
        {22, "Do you want to create the directory:%s?"},
        {23, "The specified directory can't be created!"},
        {30, "Put the %s in the drive (or type new directory)."},
        {43, "Brivanta can't be added to the program group:%s!"},
        {46, "Brivanta can't be added to the StartUp group!"},
        {56, "Get Directory"},
        {57, "You must restart your computer before new settings will take effect.\n Do you "
             "want to restart your computer now?"},
        {58, "Close all opened programs and try the installation again!"},
        {59, "A windows application which manipulates keyboard layouts is found.\nDo you want "
             "to disable it? \n(it will be restored after the uninstallation of Brivanta)"},
        {62, "This version of Brivanta requires Windows 95..98!\nFor other Brivanta versions "
             "call Velmor Ltd."},
    };
    int present = 0;
    for (unsigned id = 1; id < 100; ++id)
        present += Load(id + 1000).empty() ? 0 : 1;
    EXPECT_EQ(present, int(sizeof expected / sizeof expected[0])) << "an English text too many";
    for (const auto& e : expected) {
        EXPECT_EQ(Load(e.id + 1000), e.text) << e.id;
    }
}

TEST(Strings, EveryBaseMessageHasItsEnglishTwinAndNoOther) {
    for (unsigned id = 1; id < 100; ++id) {
        bool base = !Load(id).empty(), english = !Load(id + 1000).empty();
        EXPECT_EQ(base, english) << "message " << id;
        if (base) { // written by us, not copies of the English ones
            EXPECT_NE(Load(id), Load(id + 1000)) << id;
        }
    }
}

TEST(Strings, LoadingCutsToTheBufferAndReportsMissingIds) {
    EXPECT_EQ(Load(1008, 6), "Briva");
    EXPECT_EQ(Load(1008, 1), "");
    EXPECT_EQ(Load(999), "");
    EXPECT_EQ(Load(4), "");
}

// One control of a template as the dialog tables give it.
struct Expected {
    unsigned id;
    const char* className;
    int x, y, cx, cy;
    const char* text; // nullptr: not checked (base-language or empty)
};

void CheckTemplate(int id, const char* caption, int cx, int cy,
                   std::initializer_list<Expected> expected, bool visible = true) {
    SCOPED_TRACE("template " + std::to_string(id));
    DialogTemplate t;
    ASSERT_TRUE(t.Load(Module(), id));
    if (caption) {
        EXPECT_STREQ(t.caption, caption);
    }
    EXPECT_EQ(t.cx, cx);
    EXPECT_EQ(t.cy, cy);
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_STREQ(t.font, "MS Sans Serif");
    const DWORD popup = 0x80000000, shown = 0x10000000, caption_ = 0x00C00000, modal = 0x80;
    EXPECT_EQ(t.style & (popup | caption_ | modal), popup | caption_ | modal);
    EXPECT_EQ((t.style & shown) != 0, visible);
    EXPECT_EQ(t.controls.size(), expected.size());
    for (const Expected& e : expected) {
        SCOPED_TRACE("control " + std::to_string(e.id) + " " + (e.text ? e.text : ""));
        const TemplateControl* c = nullptr;
        if (e.id != 0xFFFF) {
            c = t.Find(e.id);
        } else { // controls without an id are told apart by their text and place
            for (const TemplateControl& candidate : t.controls)
                if (candidate.id == 0xFFFF && candidate.x == e.x && candidate.y == e.y)
                    c = &candidate;
        }
        ASSERT_TRUE(c);
        EXPECT_STREQ(c->className, e.className);
        EXPECT_EQ(c->x, e.x);
        EXPECT_EQ(c->y, e.y);
        EXPECT_EQ(c->cx, e.cx);
        EXPECT_EQ(c->cy, e.cy);
        if (e.text) {
            EXPECT_STREQ(c->text, e.text);
        }
    }
}

const unsigned None = 0xFFFF;

// The base-language templates have the English ones' controls in the same places.
void CheckTwins(int base) {
    DialogTemplate b, e;
    ASSERT_TRUE(b.Load(Module(), base));
    ASSERT_TRUE(e.Load(Module(), base + 200));
    EXPECT_EQ(b.style, e.style);
    EXPECT_EQ(b.cx, e.cx);
    EXPECT_EQ(b.cy, e.cy);
    ASSERT_EQ(b.controls.size(), e.controls.size()) << base;
    for (size_t i = 0; i < b.controls.size(); ++i) {
        EXPECT_EQ(b.controls[i].id, e.controls[i].id) << base;
        EXPECT_EQ(b.controls[i].style, e.controls[i].style) << base;
        EXPECT_EQ(b.controls[i].x, e.controls[i].x) << base;
        EXPECT_EQ(b.controls[i].cx, e.controls[i].cx) << base;
    }
}

TEST(Templates, MessageQuestionAndPromptsHaveEveryControlInPlace) {
    const char* title = "Brivanta Installation";
    CheckTemplate(304, title, 255, 63,
                  {{1, "BUTTON", 66, 43, 50, 14, "&OK"},
                   {2, "BUTTON", 141, 43, 50, 14, "&Cancel"},
                   {100, "STATIC", 10, 4, 236, 32, nullptr}});
    CheckTemplate(305, title, 247, 61,
                  {{1, "BUTTON", 99, 42, 50, 14, "&OK"}, {100, "STATIC", 5, 10, 230, 26, nullptr}});
    CheckTemplate(309, title, 277, 77,
                  {{105, "STATIC", 18, 5, 180, 15, nullptr},
                   {None, "STATIC", 4, 30, 40, 8, "Directory:"},
                   {103, "EDIT", 48, 30, 152, 13, nullptr},
                   {110, "BUTTON", 215, 30, 50, 14, "&Browse..."},
                   {1, "BUTTON", 79, 56, 50, 14, "&OK"},
                   {2, "BUTTON", 147, 56, 50, 14, "&Cancel"}});
    CheckTemplate(310, title, 288, 86,
                  {{105, "STATIC", 5, 5, 275, 15, nullptr},
                   {None, "STATIC", 5, 28, 35, 8, "Directory:"},
                   {103, "EDIT", 45, 25, 183, 13, nullptr},
                   {110, "BUTTON", 234, 25, 50, 14, "&Browse..."},
                   {106, "STATIC", 5, 45, 270, 15, nullptr},
                   {1, "BUTTON", 84, 65, 50, 14, "&OK"},
                   {2, "BUTTON", 154, 65, 50, 14, "&Cancel"}});
    CheckTemplate(306, "Progress", 186, 55,
                  {{None, "BUTTON", 10, 4, 167, 23, ""},
                   {102, "BUTTON", 13, 11, 161, 13, ""},
                   {2, "BUTTON", 67, 35, 50, 14, "&Cancel"}});
    for (int base : {104, 105, 109, 110, 106, 114})
        CheckTwins(base);

    DialogTemplate question, message, prompt;
    ASSERT_TRUE(question.Load(Module(), 304));
    ASSERT_TRUE(message.Load(Module(), 305));
    ASSERT_TRUE(prompt.Load(Module(), 309));
    EXPECT_EQ(question.Find(1)->style & 0xF, 0u) << "plain push buttons";
    EXPECT_EQ(message.Find(1)->style & 0xF, 1u) << "default push button";
    EXPECT_EQ(question.Find(100)->style & 0x3, 1u) << "centred";
    EXPECT_NE(prompt.Find(103)->style & 0x00800080, 0u) << "bordered, scrolling";
}

TEST(Templates, FolderBrowserKeepsTheOpenDialogsIdsAndHidesTheFileControls) {
    CheckTemplate(314, "Select Directory", 212, 137,
                  {{None, "STATIC", 25, 6, 120, 9, "&Directories:"},
                   {1088, "STATIC", 25, 17, 115, 9, ""},
                   {1121, "LISTBOX", 25, 31, 115, 68, ""},
                   {1091, "STATIC", 25, 103, 92, 9, "Dri&ves:"},
                   {1137, "COMBOBOX", 25, 113, 115, 68, ""},
                   {1, "BUTTON", 155, 5, 50, 14, "OK"},
                   {2, "BUTTON", 155, 23, 50, 14, "Cancel"},
                   {1037, "BUTTON", 155, 113, 50, 14, "Net&work..."},
                   {1090, "STATIC", 6, 6, 76, 9, "File &Name:"},
                   {1152, "EDIT", 6, 16, 90, 12, ""},
                   {1120, "LISTBOX", 6, 32, 90, 68, ""},
                   {1089, "STATIC", 6, 104, 90, 9, "List Files of &Type:"},
                   {1136, "COMBOBOX", 6, 114, 90, 36, ""},
                   {57669, "BUTTON", 155, 41, 50, 14, "&Help"},
                   {1040, "BUTTON", 155, 63, 50, 12, "&Read Only"}},
                  false);
    DialogTemplate t;
    ASSERT_TRUE(t.Load(Module(), 314));
    EXPECT_EQ(t.x, 36);
    EXPECT_EQ(t.y, 24);
    for (unsigned hidden : {1090u, 1152u, 1120u, 1089u, 1136u, 57669u, 1040u})
        EXPECT_EQ(t.Find(hidden)->style & 0x10000000, 0u) << hidden;
    EXPECT_NE(t.Find(1121)->style & 0x10000000, 0u);
}

TEST(Templates, WelcomeAndOptionsHaveEveryControlInPlace) {
    CheckTemplate(
        132, "Brivanta 98 Setup", 275, 156,
        {{2003, "STATIC", 12, 5, 246, 63, ""},
         {None, "STATIC", 24, 10, 0, 0, ""},
         {257, "STATIC", 58, 11, 173, 18, "Welcome to the Brivanta 98  installation program."},
         {258, "STATIC", 22, 41, 225, 20,
          "Setup cannot install system files or update shared files if the files are in use. "
          "Before continuing, close any open applications."},
         {259, "STATIC", 13, 79, 244, 21, nullptr},
         {None, "STATIC", 11, 103, 245, 8, "DO NOT INSTALL THIS SOFTWARE UNDER WINDOWS NT!"},
         {2000, "STATIC", 5, 127, 256, 1, ""},
         {1, "BUTTON", 59, 134, 62, 14, "Continue"},
         {2, "BUTTON", 146, 134, 65, 14, "E&xit Setup"}});
    CheckTemplate(
        311, "Setup Options", 354, 199,
        {{None, "STATIC", 8, 6, 314, 19,
          "In this dialog box you can select Setup options. These options can be later "
          "modified via Brivanta control panel."},
         {None, "BUTTON", 7, 34, 169, 109, "Keyboard layouts:"},
         {None, "STATIC", 14, 47, 147, 11, "Select keyboard layouts you want to install. "},
         {1004, "BUTTON", 15, 62, 67, 10, "United States"},
         {1005, "BUTTON", 15, 77, 95, 10, "&Bulgarian Standard (BDS)"},
         {1006, "BUTTON", 15, 92, 95, 10, "Bulgarian &Phonetic"},
         {None, "STATIC", 15, 109, 153, 28,
          "After installation these and all other keyboard layouts can be added, removed and "
          "edited with Brivanta tools."},
         {None, "BUTTON", 185, 34, 160, 59, "Filters And Fonts:"},
         {1007, "BUTTON", 193, 45, 112, 10, "Install Cyrillic &Language Driver."},
         {1008, "BUTTON", 193, 61, 126, 10, "Install Cyrillic &Dos <-> Windows filter."},
         {1012, "BUTTON", 193, 77, 116, 10, "Install Cyrillic &System Fonts."},
         {None, "BUTTON", 186, 97, 160, 46, "True Type Fonts:"},
         {None, "STATIC", 193, 111, 144, 13, "The specified fonts are in unicode encoding."},
         {1013, "BUTTON", 194, 128, 63, 10, "Install &DunorU"},
         {1014, "BUTTON", 275, 128, 64, 10, "Install &ArvelU"},
         {None, "STATIC", 4, 154, 70, 8, "Brivanta Directory:"},
         {1010, "STATIC", 78, 154, 209, 10, ""},
         {1009, "BUTTON", 296, 151, 50, 14, "&Change..."},
         {1, "BUTTON", 110, 174, 50, 14, "OK"},
         {2, "BUTTON", 194, 174, 50, 14, "Cancel"}});
    DialogTemplate welcome, options;
    ASSERT_TRUE(welcome.Load(Module(), 132));
    ASSERT_TRUE(options.Load(Module(), 311));
    EXPECT_EQ(options.style & 0x00080000, 0u) << "no system menu, no close box";
    EXPECT_NE(welcome.style & 0x00080000, 0u);
    EXPECT_EQ(welcome.controls[1].ordinal, 102) << "the program's icon";
    EXPECT_NE(options.Find(1004)->style & 0x08000000, 0u) << "United States is disabled";
    for (unsigned box : {1004u, 1005u, 1006u, 1007u, 1008u, 1012u, 1013u, 1014u})
        EXPECT_EQ(options.Find(box)->style & 0xF, 3u) << "automatic check box " << box;
    EXPECT_FALSE(welcome.Load(Module(), 332)) << "no English twin of an English-only dialog";
}

TEST(Picture, MetafileSetsItsOwnAnisotropicWindowBeforeDrawing) {
    HRSRC found = FindResourceA(Module(), "#1", "MF");
    ASSERT_TRUE(found);
    const BYTE* p = static_cast<const BYTE*>(LockResource(LoadResource(Module(), found)));
    DWORD size = SizeofResource(Module(), found);
    auto word = [&](size_t at) { return unsigned(p[at]) | unsigned(p[at + 1]) << 8; };
    ASSERT_GT(size, 18u + 3 * 8);
    EXPECT_EQ(word(0), 1u);     // memory metafile, no placeable header
    EXPECT_EQ(word(2), 9u);     // header words
    EXPECT_EQ(word(4), 0x300u); // version
    EXPECT_EQ((word(6) | word(8) << 16) * 2, size);
    // SetMapMode(MM_ANISOTROPIC), SetWindowOrg(0, 0), SetWindowExt(2364, 1669).
    const unsigned records[][4] = {{4, 0x103, 8, 0}, {5, 0x20B, 0, 0}, {5, 0x20C, 1669, 2364}};
    size_t at = 18;
    for (const auto& r : records) {
        EXPECT_EQ(word(at), r[0]);
        EXPECT_EQ(word(at + 4), r[1]);
        EXPECT_EQ(word(at + 6), r[2]);
        if (r[0] == 5) {
            EXPECT_EQ(word(at + 8), r[3]);
        }
        at += r[0] * 2;
    }
    int polygons = 0;
    while (at + 6 <= size && word(at + 4) != 0) {
        polygons += word(at + 4) == 0x324;
        at += (word(at) | word(at + 2) << 16) * 2;
    }
    EXPECT_GT(polygons, 3);
    EXPECT_EQ(at + 6, size) << "ends with the end record";
}

} // namespace
