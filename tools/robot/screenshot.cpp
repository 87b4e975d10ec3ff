#include "robot.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const int SettleTries = 30, SettleMs = 150;

struct Capture {
    int width = 0, height = 0;
    std::vector<unsigned char> bits; // bottom-up rows of BGR, 4-byte aligned
};

int Stride(int width) {
    return (width * 3 + 3) & ~3;
}

bool Grab(const RECT& r, Capture* out) {
    out->width = r.right - r.left;
    out->height = r.bottom - r.top;
    if (out->width <= 0 || out->height <= 0)
        return false;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = out->width;
    info.bmiHeader.biHeight = out->height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = bitmap && memory;
    if (ok) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, out->width, out->height, screen, r.left, r.top, SRCCOPY) != 0;
        GdiFlush();
        const unsigned char* p = static_cast<const unsigned char*>(bits);
        out->bits.assign(p, p + size_t(Stride(out->width)) * size_t(out->height));
        SelectObject(memory, old);
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (memory)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

void Put16(FILE* f, unsigned v) {
    std::fputc(int(v & 0xFF), f);
    std::fputc(int(v >> 8 & 0xFF), f);
}

void Put32(FILE* f, unsigned long v) {
    Put16(f, unsigned(v & 0xFFFF));
    Put16(f, unsigned(v >> 16 & 0xFFFF));
}

bool WriteBmp(const Capture& c, const char* path) {
    FILE* f = std::fopen(path, "wb");
    if (!f)
        return false;
    unsigned long image = (unsigned long)(c.bits.size());
    std::fputs("BM", f);
    Put32(f, 54 + image);
    Put32(f, 0);
    Put32(f, 54);
    Put32(f, 40); // BITMAPINFOHEADER
    Put32(f, (unsigned long)(c.width));
    Put32(f, (unsigned long)(c.height));
    Put16(f, 1);
    Put16(f, 24);
    Put32(f, 0);
    Put32(f, image);
    Put32(f, 2835); // 72 dpi
    Put32(f, 2835);
    Put32(f, 0);
    Put32(f, 0);
    bool ok = std::fwrite(c.bits.data(), 1, c.bits.size(), f) == c.bits.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

bool SaveScreenshot(HWND window, const char* path) {
    RECT r = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (window && !GetWindowRect(window, &r))
        return false;
    // The target paints when its queue is idle; two equal captures in a row
    // mean it has.
    Capture last, now;
    if (!Grab(r, &last))
        return false;
    for (int i = 0; i < SettleTries; ++i) {
        Sleep(SettleMs);
        if (!Grab(r, &now))
            return false;
        if (now.bits == last.bits)
            break;
        last.bits.swap(now.bits);
    }
    return WriteBmp(last, path); // the latest capture
}
