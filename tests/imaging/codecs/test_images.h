#pragma once
// Generated test pictures: deterministic, small, and busy enough that a codec which drops a
// row, a palette entry or a bit shows it.

#include <cstdint>
#include <string>

#include "core/bitmap.h"
#include "core/image.h"

namespace imaging::test {

// A palette bitmap using every index of its depth, with a distinct pseudo-random palette.
Bitmap makeIndexed(int width, int height, int bits, std::uint32_t seed = 1);
// 16, 24 or 32 bits: gradients plus noise (32 bits gets a varying alpha).
Bitmap makeTrueColour(int width, int height, int bits, std::uint32_t seed = 1);
// A smooth, photo-like RGB picture (for lossy codecs, where noise would only measure noise).
Bitmap makePhoto(int width, int height);

// Mean absolute difference per channel over RGB, for lossy comparisons.
double meanAbsoluteError(const Bitmap& a, const Bitmap& b);

// True when /usr/bin/identify and /usr/bin/convert exist (ImageMagick).
bool haveImageMagick();
// Runs a shell command and returns its standard output; `ok` tells whether it exited with 0.
std::string runCommand(const std::string& command, bool* ok = nullptr);

}  // namespace imaging::test
