// Draws the program's icon (resources/setup.ico: 32 x 32 and 16 x 16, 16
// colours) and its background picture (resources/background.wmf: a memory
// metafile that sets its own anisotropic window, then fills polygons).
// Usage: make-art DIR  (writes both files into DIR)
#include "little_endian.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

bool WriteFile(const std::string& path, const Bytes& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// ---- Icon ------------------------------------------------------------------

// The standard 16-colour palette, as blue, green, red.
const uint8_t kPalette[16][3] = {{0, 0, 0},       {0, 0, 128},   {0, 128, 0},   {0, 128, 128},
                                 {128, 0, 0},     {128, 0, 128}, {128, 128, 0}, {192, 192, 192},
                                 {128, 128, 128}, {0, 0, 255},   {0, 255, 0},   {0, 255, 255},
                                 {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255}};
enum { Transparent = -1, Navy = 4, Blue = 12, Yellow = 11 };

// A 5 x 7 letter B, the product's initial.
const char* const kLetter[7] = {"1111.", "1...1", "1...1", "1111.", "1...1", "1...1", "1111."};

// Colour of pixel (x, y) of an icon of size n: a blue disc with a dark rim,
// a yellow letter on it.
int IconPixel(int n, int x, int y) {
    double c = (n - 1) / 2.0, r = n / 2.0 - 0.5;
    double d = std::sqrt((x - c) * (x - c) + (y - c) * (y - c));
    if (d > r)
        return Transparent;
    int cell = n / 8; // letter cell size: 4 at 32, 2 at 16
    int lx = (x - (n - 5 * cell) / 2), ly = (y - (n - 7 * cell) / 2);
    if (lx >= 0 && ly >= 0 && lx < 5 * cell && ly < 7 * cell &&
        kLetter[ly / cell][lx / cell] == '1')
        return Yellow;
    if (d > r - n / 16.0 - 0.5)
        return Navy;
    return (x + y < n - n / 4) ? Blue : Navy; // light from the upper left
}

Bytes IconImage(int n) {
    Bytes b;
    unsigned xorRow = unsigned(n / 2 + 3) / 4 * 4, andRow = unsigned(n / 8 + 3) / 4 * 4;
    Dword(b, 40);
    Dword(b, uint32_t(n));
    Dword(b, uint32_t(2 * n));
    Word(b, 1);
    Word(b, 4);
    Dword(b, 0);
    Dword(b, (xorRow + andRow) * unsigned(n));
    Dword(b, 0);
    Dword(b, 0);
    Dword(b, 16);
    Dword(b, 0);
    for (const auto& c : kPalette) {
        b.push_back(c[0]);
        b.push_back(c[1]);
        b.push_back(c[2]);
        b.push_back(0);
    }
    for (int y = n - 1; y >= 0; --y) { // rows bottom-up
        Bytes row(xorRow, 0);
        for (int x = 0; x < n; ++x) {
            int p = IconPixel(n, x, y);
            row[size_t(x / 2)] |= uint8_t((p < 0 ? 0 : p) << (x % 2 ? 0 : 4));
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    for (int y = n - 1; y >= 0; --y) {
        Bytes row(andRow, 0);
        for (int x = 0; x < n; ++x)
            if (IconPixel(n, x, y) < 0)
                row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

Bytes Icon() {
    Bytes large = IconImage(32), small = IconImage(16), b;
    Word(b, 0);
    Word(b, 1);
    Word(b, 2);
    uint32_t offset = 6 + 2 * 16;
    for (const Bytes* image : {&large, &small}) {
        int n = image == &large ? 32 : 16;
        b.push_back(uint8_t(n));
        b.push_back(uint8_t(n));
        b.push_back(16);
        b.push_back(0);
        Word(b, 1);
        Word(b, 4);
        Dword(b, uint32_t(image->size()));
        Dword(b, offset);
        offset += uint32_t(image->size());
    }
    b.insert(b.end(), large.begin(), large.end());
    b.insert(b.end(), small.begin(), small.end());
    return b;
}

// ---- Background metafile -----------------------------------------------------

enum { WinWidth = 2364, WinHeight = 1669 };

class Metafile {
  public:
    void Record(unsigned function, const std::vector<unsigned>& params) {
        uint32_t size = 3 + uint32_t(params.size());
        Dword(records_, size);
        Word(records_, function);
        for (unsigned p : params)
            Word(records_, p & 0xffff);
        if (size > maxRecord_)
            maxRecord_ = size;
    }
    // A solid brush, selected, used for one polygon and deleted: object slot 1
    // (slot 0 holds the null pen).
    void Polygon(uint32_t rgb, const std::vector<int>& points) {
        Record(0x02FC, {0, rgb & 0xffff, rgb >> 16, 0}); // CreateBrushIndirect
        Record(0x012D, {1});                             // SelectObject
        std::vector<unsigned> p{unsigned(points.size() / 2)};
        for (int v : points)
            p.push_back(unsigned(v));
        Record(0x0324, p);   // Polygon
        Record(0x01F0, {1}); // DeleteObject
    }
    Bytes Finish() {
        Record(0x0000, {});
        Bytes b;
        Word(b, 1);      // memory metafile
        Word(b, 9);      // header words
        Word(b, 0x0300); // version
        Dword(b, uint32_t(9 + records_.size() / 2));
        Word(b, 2); // objects: pen and brush
        Dword(b, maxRecord_);
        Word(b, 0);
        b.insert(b.end(), records_.begin(), records_.end());
        return b;
    }

  private:
    Bytes records_;
    uint32_t maxRecord_ = 0;
};

uint32_t Rgb(int r, int g, int b) {
    return uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16;
}

Bytes Background() {
    Metafile m;
    m.Record(0x0103, {8});                   // SetMapMode MM_ANISOTROPIC
    m.Record(0x020B, {0, 0});                // SetWindowOrg (y, x)
    m.Record(0x020C, {WinHeight, WinWidth}); // SetWindowExt (y, x)
    m.Record(0x02FA, {5, 0, 0, 0, 0});       // CreatePenIndirect PS_NULL: slot 0
    m.Record(0x012D, {0});
    // Sky: bands from deep blue to a pale horizon. The last one goes down to
    // the bottom, so no valley between the hills shows the window's gray.
    const int bands = 24;
    for (int i = 0; i < bands; ++i) {
        int top = WinHeight * 6 * i / (bands * 10);
        int bottom = WinHeight * 6 * (i + 1) / (bands * 10) + 2; // overlap: no seams
        if (i == bands - 1)
            bottom = WinHeight;
        m.Polygon(Rgb(10 + 6 * i, 20 + 7 * i, 110 + 5 * i),
                  {0, top, WinWidth, top, WinWidth, bottom, 0, bottom});
    }
    // A low sun: a 36-sided polygon.
    std::vector<int> sun;
    for (int k = 0; k < 36; ++k) {
        double a = k * 3.14159265358979 / 18;
        sun.push_back(int(1750 + 170 * std::cos(a)));
        sun.push_back(int(860 + 170 * std::sin(a)));
    }
    m.Polygon(Rgb(250, 214, 120), sun);
    // Three ranges of hills, far to near.
    const uint32_t hills[3] = {Rgb(62, 96, 130), Rgb(40, 110, 80), Rgb(24, 78, 52)};
    for (int h = 0; h < 3; ++h) {
        std::vector<int> p{0, WinHeight};
        // The ridge ends exactly on the right edge, not on the last step
        // before it: a slanted end would leave a gray wedge there.
        for (int x = 0;; x = std::min(x + 74, int(WinWidth))) {
            double y = 930 + 180 * h - (140 - 30 * h) * std::sin(x / (260.0 + 90 * h) + h * 1.7) -
                       60 * std::sin(x / 97.0 + h);
            p.push_back(x);
            p.push_back(int(y));
            if (x == WinWidth)
                break;
        }
        p.push_back(WinWidth);
        p.push_back(WinHeight);
        m.Polygon(hills[h], p);
    }
    return m.Finish();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-art DIR\n");
        return 2;
    }
    std::string dir = argv[1];
    if (!WriteFile(dir + "/setup.ico", Icon()) ||
        !WriteFile(dir + "/background.wmf", Background())) {
        std::fprintf(stderr, "make-art: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
