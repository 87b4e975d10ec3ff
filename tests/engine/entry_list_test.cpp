// Lists own their entries; path entries keep directories in the form the
// engine joins file names to.
#include "entry_list.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Names(EntryList& list) {
    std::vector<std::string> out;
    for (ListEntry* e = list.First(); e; e = e->Next())
        out.push_back(static_cast<PathEntry*>(e)->Name());
    return out;
}

int g_destroyed = 0;
struct Counted : PathEntry {
    Counted(EntryList* list, const char* name) : PathEntry(list, name, "") {}
    ~Counted() override { ++g_destroyed; }
};

TEST(EntryList, InsertsAtAPositionOrAppendsAndEntriesUnlinkThemselves) {
    EntryList list;
    new PathEntry(&list, "b", "");
    new PathEntry(&list, "d", "");
    auto* a = new PathEntry(nullptr, "a", "");
    list.Insert(a, 0);
    auto* c = new PathEntry(nullptr, "c", "");
    list.Insert(c, 2);
    auto* e = new PathEntry(nullptr, "e", "");
    list.Insert(e, 99); // past the end appends
    EXPECT_EQ(Names(list), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
    EXPECT_EQ(list.Count(), 5u);

    EntryList other;
    EXPECT_EQ(other.Remove(c), 0); // not in that list
    EXPECT_EQ(list.RemoveFrom(&other, c), 0);
    EXPECT_EQ(list.Remove(c), 1);
    EXPECT_EQ(list.Count(), 4u);
    delete c; // it was created without a list: nothing to unlink from

    // An entry made in a list and deleted directly leaves the list consistent.
    auto* inList = static_cast<PathEntry*>(list.First()->Next()); // "b"
    delete inList;
    EXPECT_EQ(Names(list), (std::vector<std::string>{"a", "d", "e"}));
    EXPECT_EQ(list.Count(), 3u);
    // a and e were inserted by hand and do not know the list; take them out
    // before the list is destroyed.
    list.Remove(a);
    list.Remove(e);
    delete a;
    delete e;
}

TEST(EntryList, ClearDestroysEveryEntryOnce) {
    g_destroyed = 0;
    {
        EntryList list;
        for (const char* n : {"1", "2", "3"})
            new Counted(&list, n);
        list.Clear();
        EXPECT_EQ(g_destroyed, 3);
        EXPECT_EQ(list.Count(), 0u);
        EXPECT_EQ(list.First(), nullptr);
        new Counted(&list, "4");
    }
    EXPECT_EQ(g_destroyed, 4); // the destructor clears what is left
}

TEST(PathEntry, SetDirectoryUpperCasesAndEndsInABackslash) {
    EntryList list;
    PathEntry p(&list, "~Disk 1", "A:\\");
    p.SetDirectory("c:\\setup\\disk1");
    EXPECT_STREQ(p.Directory(), "C:\\SETUP\\DISK1\\");
    p.SetDirectory("A:\\");
    EXPECT_STREQ(p.Directory(), "A:\\");
    p.SetDirectory("");
    EXPECT_STREQ(p.Directory(), "\\"); // an unknown folder: a lone backslash
    p.SetDirectory("c:\\\xe4\xe8r");   // only a to z change
    EXPECT_STREQ(p.Directory(), "C:\\\xe4\xe8R\\");
    EXPECT_TRUE(p.IsDisk());
    list.Remove(&p);
}

TEST(PathEntry, LastComponentAndItsReplacement) {
    PathEntry p(nullptr, "x", "C:\\SETUP\\DISK1\\");
    EXPECT_STREQ(p.LastComponent(), "DISK1\\");
    p.ReplaceLastComponent("DISK2", true);
    EXPECT_STREQ(p.Directory(), "C:\\SETUP\\DISK2\\");

    PathEntry q(nullptr, "x", "C:\\SETUP\\");
    q.ReplaceLastComponent("disk2", false);
    EXPECT_STREQ(q.Directory(), "C:\\SETUP\\disk2\\"); // no case change here

    PathEntry r(nullptr, "x", "SETUP");
    r.ReplaceLastComponent("", true); // nothing left: still a directory
    EXPECT_STREQ(r.Directory(), "\\");

    EXPECT_STREQ(PathEntry(nullptr, "x", "A:\\").LastComponent(), "\\");
    EXPECT_STREQ(PathEntry(nullptr, "x", "C:\\SETUP").LastComponent(), "SETUP");
    EXPECT_STREQ(PathEntry(nullptr, "x", "").LastComponent(), "");
    EXPECT_FALSE(PathEntry(nullptr, "BV_DIR", "").IsDisk());
}

TEST(PathEntry, LongTextsAreCutTo255Characters) {
    std::string longText(300, 'n');
    PathEntry p(nullptr, longText.c_str(), longText.c_str());
    EXPECT_EQ(std::string(p.Name()), std::string(255, 'n'));
    EXPECT_EQ(std::string(p.Directory()), std::string(255, 'n'));
    p.SetDirectory(longText.c_str()); // no room for the backslash: stays cut, no overrun
    EXPECT_EQ(std::string(p.Directory()), std::string(255, 'N'));
    p.ReplaceLastComponent(longText.c_str(), false);
    EXPECT_EQ(std::string(p.Directory()).size(), 255u);

    FileEntry f(nullptr, &p, nullptr, longText.c_str(), nullptr);
    EXPECT_EQ(std::string(f.SourceName()).size(), 255u);
    EXPECT_STREQ(f.TargetName(), "");
}

} // namespace
