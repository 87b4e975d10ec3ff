#include "program_groups.h"

#include "messages.h"
#include "program_group.h"
#include "resource_ids.h"
#include "text.h"

#include <new>

namespace {

const char kMakerGroup[] = "Velmor Applications";
const char kStartUpGroup[] = "StartUp";
const char kItemTitle[] = "Brivanta 3.2";
const char kProgramName[] = "brivanta.exe";
const char* const kOldMakerItems[] = {"BV Control Panel", "BV Panel Help", "BV ReadMe",
                                      "BV Tutorial",      "Brivanta 3.0",  "Brivanta 3.1"};
const char* const kOldStartUpItems[] = {"Brivanta 3.0", "Brivanta 3.1"};

// Adds the item when there is a command line; true when it is in the group.
bool AddProductItem(ProgramGroup& group, const char* commandLine) {
    return commandLine[0] != 0 && group.AddItem(commandLine, kItemTitle) == Ok;
}

void MakerGroup(HWND owner, const char* commandLine) {
    ProgramGroup* group = new (std::nothrow) ProgramGroup(kMakerGroup, owner);
    if (owner)
        SetForegroundWindow(owner);
    if (!group)
        return;
    if (!AddProductItem(*group, commandLine))
        ShowMessageText(owner, IDS_NOT_ADDED_TO_GROUP, kMakerGroup);
    for (const char* item : kOldMakerItems)
        group->DeleteItem(item);
    group->ShowGroup(4);
    group->ShowGroup(6);
    group->Release();
    delete group;
}

void StartUpGroup(HWND owner, const char* commandLine) {
    ProgramGroup* group = new (std::nothrow) ProgramGroup(kStartUpGroup, owner);
    if (!group)
        return;
    if (!AddProductItem(*group, commandLine))
        ShowMessage(owner, IDS_NOT_ADDED_TO_STARTUP);
    for (const char* item : kOldStartUpItems)
        group->DeleteItem(item);
    group->ShowGroup(6);
    group->Release();
    delete group;
}

} // namespace

bool ProductCommandLine(const InstallEngine& engine, char* output, size_t size) {
    output[0] = 0;
    FileEntry* entry = engine.FindFileEntry(kProgramName, false);
    if (!entry || !entry->Target())
        return false;
    if (!JoinPath(output, size, entry->Target()->Directory(), entry->TargetName())) {
        output[0] = 0;
        return false;
    }
    return true;
}

ResultCode CreateProgramGroups(InstallEngine& engine) {
    char commandLine[MAX_PATH];
    ProductCommandLine(engine, commandLine, sizeof commandLine);
    MakerGroup(engine.OwnerWindow(), commandLine);
    StartUpGroup(engine.OwnerWindow(), commandLine);
    return Ok;
}
