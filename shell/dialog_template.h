// Reads a dialog template resource (the classic DLGTEMPLATE layout that
// windres writes): the terminal shows dialogs from it, and tests check the
// templates with it on both platforms.
#pragma once

#include "platform/win32.h"

#include <cstddef>
#include <vector>

struct TemplateControl {
    unsigned id;        // 0xFFFF: no id
    char className[16]; // "BUTTON", "EDIT", "STATIC", ...
    DWORD style;
    int x, y, cx, cy;
    char text[256]; // single-byte (code page 1251) text
    int ordinal;    // >= 0: the control shows this resource (an icon)
};

class DialogTemplate {
  public:
    bool Load(HINSTANCE instance, int id);
    bool Parse(const BYTE* data, size_t size);
    const TemplateControl* Find(unsigned id) const;

    DWORD style = 0;
    int x = 0, y = 0, cx = 0, cy = 0;
    char caption[256] = "";
    int pointSize = 0;
    char font[64] = "";
    std::vector<TemplateControl> controls;
};

// Single-byte text of a UTF-16 code unit: ASCII and Cyrillic (code page 1251).
char NarrowChar(unsigned unit);
