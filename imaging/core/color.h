#pragma once
// Colours as the whole program passes them: 24-bit RGB with red in the low byte.
// A value of 0x1000000 + n does not name a colour but palette entry n.

#include <cstdint>

namespace imaging {

using Rgb = std::uint32_t;

inline constexpr Rgb kPaletteReference = 0x1000000;

constexpr Rgb makeRgb(int r, int g, int b) {
    return static_cast<Rgb>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int redOf(Rgb c) { return static_cast<int>(c & 0xFF); }
constexpr int greenOf(Rgb c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int blueOf(Rgb c) { return static_cast<int>((c >> 16) & 0xFF); }

constexpr bool isPaletteReference(Rgb c) { return c >= kPaletteReference && c < kPaletteReference + 256; }
constexpr int paletteIndexOf(Rgb c) { return static_cast<int>(c - kPaletteReference); }

}  // namespace imaging
