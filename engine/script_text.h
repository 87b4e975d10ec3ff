// Reader of the installation script: a resource of CR LF lines grouped into
// named sections, with #...# references expanded on the way out.
#pragma once

#include "platform/win32.h"
#include "result_code.h"

class ScriptText {
  public:
    enum { MaxNameLength = 127, MaxAliasLength = 260 };

    // Loads the script from a resource of the program's own module.
    ScriptText(LPCSTR type, LPCSTR name);
    // Reads a script held in memory (not copied; the caller keeps it alive).
    ScriptText(const char* text, unsigned length);
    virtual ~ScriptText() = default;

    int Status() const { return status_; }
    const char* Text() const { return text_; }
    unsigned Length() const { return length_; }

    ResultCode FindLine(const char* section, unsigned n, const char** line,
                        unsigned* lineLength) const;
    ResultCode GetEntry(const char* section, char* key, unsigned* keyCapacity, char* value,
                        unsigned* valueCapacity, unsigned n);
    ResultCode Expand(const char* source, unsigned sourceLength, char* dest, unsigned* capacity);
    ResultCode GetAliasText(const char* section, char* dest, unsigned* maxLength, unsigned n) const;

    // Writes the variable's text (at most *room bytes, no terminator needed)
    // and its length; non-zero (5 by convention) when the line does not apply.
    virtual ResultCode ResolveVariable(const char* name, char* dest, unsigned* room);

  private:
    const char* ReferenceLimit(const char* source, unsigned sourceLength) const;

    int status_ = 0;
    const char* text_ = nullptr;
    unsigned length_ = 0;
    HGLOBAL resource_ = nullptr;
};
