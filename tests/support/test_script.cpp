#include "test_script.h"

#include <cstring>

ResultCode TestScript::ResolveVariable(const char* name, char* dest, unsigned* room) {
    asked.push_back(name);
    std::string n = name, value;
    if (n == "AUTO_NUMBER") {
        value = std::to_string(autoNumber++);
    } else if (vars.count(n)) {
        value = vars[n];
    } else if (!(grantConditions && n.rfind("IF_", 0) == 0)) {
        *room = 0;
        return NotApplicable;
    }
    unsigned length = value.size() < *room ? unsigned(value.size()) : *room;
    std::memcpy(dest, value.data(), length);
    *room = length;
    return Ok;
}

std::string ScriptLines(std::initializer_list<const char*> lines) {
    std::string s;
    for (const char* l : lines)
        s += std::string(l) + "\r\n";
    return s;
}
