#include "dialog_template.h"

#include "text.h"

#include <cstring>

namespace {

class Reader {
  public:
    Reader(const BYTE* data, size_t size) : data_(data), size_(size) {}
    bool Word(unsigned* value) {
        if (at_ + 2 > size_)
            return false;
        *value = unsigned(data_[at_]) | unsigned(data_[at_ + 1]) << 8;
        at_ += 2;
        return true;
    }
    bool Dword(DWORD* value) {
        unsigned low, high;
        if (!Word(&low) || !Word(&high))
            return false;
        *value = DWORD(low) | DWORD(high) << 16;
        return true;
    }
    bool Short(int* value) {
        unsigned v;
        if (!Word(&v))
            return false;
        *value = int(short(v));
        return true;
    }
    // A text, or an ordinal (0xFFFF, n) answered through `ordinal`.
    bool Text(char* out, size_t size, int* ordinal) {
        unsigned unit;
        if (!Word(&unit))
            return false;
        if (unit == 0xFFFF) {
            unsigned value;
            if (!Word(&value))
                return false;
            if (ordinal)
                *ordinal = int(value);
            out[0] = 0;
            return true;
        }
        size_t n = 0;
        while (unit != 0) {
            if (n + 1 < size)
                out[n++] = NarrowChar(unit);
            if (!Word(&unit))
                return false;
        }
        out[n] = 0;
        return true;
    }
    void Align4() { at_ = (at_ + 3) & ~size_t(3); }

  private:
    const BYTE* data_;
    size_t size_;
    size_t at_ = 0;
};

const char* AtomClass(int atom) {
    switch (atom) {
    case 0x80:
        return "BUTTON";
    case 0x81:
        return "EDIT";
    case 0x82:
        return "STATIC";
    case 0x83:
        return "LISTBOX";
    case 0x84:
        return "SCROLLBAR";
    case 0x85:
        return "COMBOBOX";
    default:
        return "";
    }
}

} // namespace

char NarrowChar(unsigned unit) {
    if (unit < 0x80)
        return char(unit);
    if (unit >= 0x410 && unit <= 0x44F)
        return char(0xC0 + (unit - 0x410));
    if (unit == 0x401)
        return char(0xA8);
    if (unit == 0x451)
        return char(0xB8);
    return '?';
}

bool DialogTemplate::Load(HINSTANCE instance, int id) {
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), RT_DIALOG);
    if (!found)
        return false;
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(instance, found)));
    return data && Parse(data, SizeofResource(instance, found));
}

bool DialogTemplate::Parse(const BYTE* data, size_t size) {
    Reader r(data, size);
    DWORD extended;
    unsigned count;
    char ignored[64];
    if (!r.Dword(&style) || !r.Dword(&extended) || !r.Word(&count) || !r.Short(&x) ||
        !r.Short(&y) || !r.Short(&cx) || !r.Short(&cy))
        return false;
    // Menu and class: none (0) expected, but either may be named.
    if (!r.Text(ignored, sizeof ignored, nullptr) || !r.Text(ignored, sizeof ignored, nullptr) ||
        !r.Text(caption, sizeof caption, nullptr))
        return false;
    if (style & 0x40) { // DS_SETFONT
        unsigned points;
        if (!r.Word(&points) || !r.Text(font, sizeof font, nullptr))
            return false;
        pointSize = int(points);
    }
    controls.clear();
    for (unsigned i = 0; i < count; ++i) {
        TemplateControl c = {};
        c.ordinal = -1;
        DWORD controlExtended;
        unsigned extra;
        int atom = -1;
        r.Align4();
        if (!r.Dword(&c.style) || !r.Dword(&controlExtended) || !r.Short(&c.x) || !r.Short(&c.y) ||
            !r.Short(&c.cx) || !r.Short(&c.cy) || !r.Word(&c.id) ||
            !r.Text(c.className, sizeof c.className, &atom) ||
            !r.Text(c.text, sizeof c.text, &c.ordinal) || !r.Word(&extra))
            return false;
        if (atom >= 0)
            std::strcpy(c.className, AtomClass(atom));
        UpperCase(c.className);
        for (unsigned skip = 0; skip < extra; skip += 2) { // creation data, unused here
            unsigned ignoredWord;
            if (!r.Word(&ignoredWord))
                return false;
        }
        controls.push_back(c);
    }
    return true;
}

const TemplateControl* DialogTemplate::Find(unsigned id) const {
    for (const TemplateControl& c : controls)
        if (c.id == id)
            return &c;
    return nullptr;
}
