// A script reader over text held in memory (or the shipped resource) whose
// variables are answered from a table, recording every name asked for.
#pragma once

#include "script_text.h"

#include <map>
#include <string>
#include <vector>

namespace detail {
// Holds the text so it is alive before the reader is built over it.
struct TextHolder {
    std::string text;
};
} // namespace detail

class TestScript : private detail::TextHolder, public ScriptText {
  public:
    explicit TestScript(const std::string& t)
        : TextHolder{t}, ScriptText(text.data(), unsigned(text.size())) {}
    TestScript(LPCSTR type, LPCSTR name) : ScriptText(type, name) {}

    std::map<std::string, std::string> vars; // name -> text; absent: not applicable
    std::vector<std::string> asked;
    bool grantConditions = false; // every IF_ name holds
    int autoNumber = 1;           // AUTO_NUMBER counts up from here

    ResultCode ResolveVariable(const char* name, char* dest, unsigned* room) override;
};

// Joins lines with CR LF, as the script stores them.
std::string ScriptLines(std::initializer_list<const char*> lines);
