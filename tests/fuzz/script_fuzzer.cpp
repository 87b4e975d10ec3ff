// The script reader over any script: GetEntry, FindLine, GetAliasText and
// Expand, with variables answered from the input.
//
// Input: line number, key capacity, value capacity, mode; the section name
// as a line; NAME=text variable lines up to an empty line; the script.
// Mode bits: 1 the resolver reports its whole length even when it was cut,
// 2 no value buffer (as the engine reads Files), 4 and 8 add 256 to the key
// and value capacities.
#include "fuzz_input.h"
#include "script_text.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

struct Variable {
    std::string name;
    std::string text;
};

class FuzzScript : public ScriptText {
  public:
    FuzzScript(const char* text, unsigned length, const std::vector<Variable>& variables,
               bool overstate)
        : ScriptText(text, length), variables_(variables), overstate_(overstate) {}

    ResultCode ResolveVariable(const char* name, char* dest, unsigned* room) override {
        for (const Variable& v : variables_) {
            if (v.name != name)
                continue;
            unsigned length = unsigned(v.text.size());
            unsigned take = length < *room ? length : *room;
            std::memcpy(dest, v.text.data(), take);
            *room = overstate_ ? length : take;
            return Ok;
        }
        *room = 0;
        return NotApplicable;
    }

  private:
    const std::vector<Variable>& variables_;
    bool overstate_;
};

// An expansion's answer: a length below the capacity and a terminator there.
void CheckExpanded(const char* dest, unsigned capacity, unsigned length) {
    if (capacity == 0) {
        FUZZ_CHECK(length == 0);
        return;
    }
    FUZZ_CHECK(length < capacity);
    FUZZ_CHECK(dest[length] == 0);
}

void ReadEntry(FuzzScript& script, const char* section, unsigned n, unsigned keyCapacity,
               unsigned valueCapacity, bool withValue) {
    // Buffers of exactly the capacity, so that a write past it is seen.
    std::unique_ptr<char[]> key(new char[keyCapacity]);
    std::unique_ptr<char[]> value(new char[valueCapacity]);
    unsigned keyLength = keyCapacity, valueLength = valueCapacity;
    ResultCode got =
        script.GetEntry(section, key.get(), &keyLength, withValue ? value.get() : nullptr,
                        withValue ? &valueLength : nullptr, n);
    if (got == Ok || got == ValueNotApplicable)
        CheckExpanded(key.get(), keyCapacity, keyLength);
    if (got == Ok && withValue)
        CheckExpanded(value.get(), valueCapacity, valueLength);
}

void ReadLine(FuzzScript& script, const char* section, unsigned n, unsigned capacity) {
    const char* line = nullptr;
    unsigned lineLength = 0;
    if (script.FindLine(section, n, &line, &lineLength) != Ok)
        return;
    FUZZ_CHECK(line >= script.Text() && line + lineLength <= script.Text() + script.Length());
    std::unique_ptr<char[]> dest(new char[capacity]);
    unsigned length = capacity;
    script.Expand(line, lineLength, dest.get(), &length);
    CheckExpanded(dest.get(), capacity, length);

    char alias[ScriptText::MaxAliasLength + 1];
    unsigned aliasLength = ScriptText::MaxAliasLength;
    if (script.GetAliasText(section, alias, &aliasLength, n) == Ok)
        FUZZ_CHECK(aliasLength <= ScriptText::MaxAliasLength && alias[aliasLength] == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    const unsigned n = input.Byte();
    unsigned keyCapacity = input.Byte(), valueCapacity = input.Byte();
    const unsigned mode = input.Byte();
    keyCapacity += (mode & 4) ? 256 : 0;
    valueCapacity += (mode & 8) ? 256 : 0;
    const std::string section = input.Line();
    std::vector<Variable> variables;
    for (std::string line = input.Line(); !line.empty(); line = input.Line()) {
        size_t equals = line.find('=');
        variables.push_back(
            {line.substr(0, equals), equals == std::string::npos ? "" : line.substr(equals + 1)});
    }
    // The script in a block of its own size: a read past its end is seen.
    const std::string rest = input.Rest();
    std::unique_ptr<char[]> text(new char[rest.size()]);
    std::memcpy(text.get(), rest.data(), rest.size());
    FuzzScript script(text.get(), unsigned(rest.size()), variables, mode & 1);

    ReadEntry(script, section.c_str(), n, keyCapacity, valueCapacity, !(mode & 2));
    ReadLine(script, section.c_str(), n, keyCapacity);
    // Text from outside the script: references end with it.
    std::unique_ptr<char[]> dest(new char[valueCapacity]);
    unsigned length = valueCapacity;
    script.Expand(section.data(), unsigned(section.size()), dest.get(), &length);
    CheckExpanded(dest.get(), valueCapacity, length);
    return 0;
}
