// What the installation tests read back from the emulated machine.
#pragma once

#include "reg_key.h"

#include "platform/host.h"

#include <string>
#include <vector>

// A registry value as text, or "<missing>".
inline std::string Reg(const std::string& path) {
    RegKey key(RegKey::AccessRead);
    char value[512];
    return key.QueryValue(path.c_str(), value, sizeof value) ? value : "<missing>";
}

// The items of a Program Manager group as "title=command line", in order.
inline std::vector<std::string> Items(const std::string& group) {
    std::vector<std::string> items;
    for (const hostwin::ProgmanGroup& g : hostwin::ProgmanGroups())
        if (g.name == group)
            for (const hostwin::ProgmanItem& item : g.items)
                items.push_back(item.title + "=" + item.commandLine);
    return items;
}
