#include "color/fixed_palettes.h"

namespace imaging::color {

namespace {

std::vector<Rgb> uniformGrid(int rl, int gl, int bl) {
    std::vector<Rgb> pal;
    pal.reserve(static_cast<std::size_t>(rl) * gl * bl);
    for (int r = 0; r < rl; ++r)
        for (int g = 0; g < gl; ++g)
            for (int b = 0; b < bl; ++b)
                pal.push_back(makeRgb(r * 255 / (rl - 1), g * 255 / (gl - 1), b * 255 / (bl - 1)));
    return pal;
}

const std::vector<Rgb>& vgaColors() {
    static const std::vector<Rgb> vga = {
        makeRgb(0, 0, 0),       makeRgb(128, 0, 0),   makeRgb(0, 128, 0),   makeRgb(128, 128, 0),
        makeRgb(0, 0, 128),     makeRgb(128, 0, 128), makeRgb(0, 128, 128), makeRgb(192, 192, 192),
        makeRgb(128, 128, 128), makeRgb(255, 0, 0),   makeRgb(0, 255, 0),   makeRgb(255, 255, 0),
        makeRgb(0, 0, 255),     makeRgb(255, 0, 255), makeRgb(0, 255, 255), makeRgb(255, 255, 255),
    };
    return vga;
}

}  // namespace

GridLevels fixedGridLevels(int bits) {
    switch (bits) {
    case 3: return {2, 2, 2};
    case 5: return {4, 4, 2};
    case 6: return {4, 4, 4};
    case 7: return {4, 8, 4};
    case 8: return {8, 8, 4};
    default: return {};
    }
}

std::vector<Rgb> fixedPalette(int bits) {
    switch (bits) {
    case 1: return {makeRgb(0, 0, 0), makeRgb(255, 255, 255)};
    case 2: return {makeRgb(0, 0, 0), makeRgb(85, 85, 85), makeRgb(170, 170, 170), makeRgb(255, 255, 255)};
    case 4: return vgaColors();
    default: {
        const GridLevels l = fixedGridLevels(bits);
        if (l.r == 0) return {};
        return uniformGrid(l.r, l.g, l.b);
    }
    }
}

std::vector<Rgb> windowsPalette(int bits) {
    if (bits < 4) return fixedPalette(bits);
    // The order the system lists them in: the ten reserved at the start of its 256-entry
    // table, then the ten at its end.
    std::vector<Rgb> pal = {
        makeRgb(0, 0, 0),       makeRgb(128, 0, 0),     makeRgb(0, 128, 0),     makeRgb(128, 128, 0),
        makeRgb(0, 0, 128),     makeRgb(128, 0, 128),   makeRgb(0, 128, 128),   makeRgb(192, 192, 192),
        makeRgb(192, 220, 192), makeRgb(166, 202, 240), makeRgb(255, 251, 240), makeRgb(160, 160, 164),
        makeRgb(128, 128, 128), makeRgb(255, 0, 0),     makeRgb(0, 255, 0),     makeRgb(255, 255, 0),
        makeRgb(0, 0, 255),     makeRgb(255, 0, 255),   makeRgb(0, 255, 255),   makeRgb(255, 255, 255),
    };
    if (bits == 4) return vgaColors();
    return pal;
}

std::vector<Rgb> netscapePalette(int bits) {
    if (bits < 8) return fixedPalette(bits);
    return uniformGrid(6, 6, 6);
}

}  // namespace imaging::color
