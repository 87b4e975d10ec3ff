// The product's script reader: answers the script's variables from the
// options the user chose and the state of the machine.
#pragma once

#include "script_text.h"

class ProductScript : public ScriptText {
  public:
    // The script resource of the program's own module.
    ProductScript(LPCSTR type, LPCSTR name) : ScriptText(type, name) {}
    // A script held in memory (not copied).
    ProductScript(const char* text, unsigned length) : ScriptText(text, length) {}

    // Writes at most *room bytes (a longer value is cut to the room, as the
    // reader cuts its aliases); 5 when the line does not apply.
    ResultCode ResolveVariable(const char* name, char* dest, unsigned* room) override;
};

// The key under which the resolver looks for installed TrueType families.
extern const char kFontsKey[];
