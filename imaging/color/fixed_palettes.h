#pragma once
// The palettes that do not depend on the image.
//
// Fixed (kind 1), by depth:
//   1 bit   black, white
//   2 bits  four greys: 0, 85, 170, 255 (a colour image at four entries reads best as greys)
//   3 bits  the eight corners of the RGB cube
//   4 bits  the 16 standard VGA colours in their usual order
//   5 bits  uniform levels 4 red x 4 green x 2 blue
//   6 bits  uniform levels 4 x 4 x 4
//   7 bits  uniform levels 4 red x 8 green x 4 blue
//   8 bits  uniform levels 8 red x 8 green x 4 blue ("3-3-2")
//   Green gets the most levels and blue the fewest, as the eye resolves them.
// Windows (kind 8): the 20 static system colours (the 16 VGA colours plus money green,
//   sky blue, cream and medium grey). At 5 bits and more all 20 are used; at 4 bits the
//   16 VGA colours; below that the Fixed palette of the depth.
// Netscape (kind 64): the 216-colour web cube, levels 0, 51, ..., 255, entry 36r + 6g + b.
//   It needs 8 bits; at fewer bits the Fixed palette of the depth is used instead, as the
//   windows also switch the kind to Fixed there.

#include <vector>

#include "core/color.h"

namespace imaging::color {

// Colours in use, in palette order (not padded to 2^bits).
std::vector<Rgb> fixedPalette(int bits);
std::vector<Rgb> windowsPalette(int bits);
std::vector<Rgb> netscapePalette(int bits);

// Per-channel level counts when `palette` is one of the uniform grids above (used to scale
// ordered dithering per channel); {0, 0, 0} otherwise.
struct GridLevels {
    int r = 0, g = 0, b = 0;
};
GridLevels fixedGridLevels(int bits);

}  // namespace imaging::color
