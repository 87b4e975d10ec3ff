// The interpreter of the script sections that write and delete registry
// values and INI settings. A line's left part is "|target|path" or a path
// alone; target "REG" (exact case) or none is the registry, any other text
// names an INI file. A right part "%n" is a number, anything else text.
// Nothing is shown and nothing stops the run: a line that cannot be carried
// out is passed over.
#pragma once

#include "platform/win32.h"

class ScriptText;

enum { SysDBLineCapacity = 260, SysDBMaxBar = 21 };

bool WriteSysDBSection(ScriptText& script, const char* section);
bool DeleteSysDBSection(ScriptText& script, const char* section);

bool WriteSysDBText(const char* target, const char* path, const char* text);
bool WriteSysDBNumber(const char* target, const char* path, LONG number);
bool DeleteSysDBEntry(const char* target, const char* path);
