#pragma once
// One raster image in memory.
//
// Pixel layout, chosen so that every algorithm can address a pixel without bit fiddling:
//   bits 1..8  one byte per pixel holding a palette index (< 2^bits); palette() has 2^bits entries
//   bits 16    two bytes per pixel, little-endian 5-5-5: bits 0-4 blue, 5-9 green, 10-14 red
//   bits 24    three bytes per pixel in the order R, G, B
//   bits 32    four bytes per pixel in the order R, G, B, A (A = 255 is opaque)
// Rows are stored top-down without padding; codecs pack and unpack to their file layouts.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/color.h"

namespace imaging {

class Bitmap {
public:
    Bitmap() = default;
    // A bitmap of the given size and depth, all pixels zero. For palette depths the palette
    // is a grey ramp of 2^bits entries. Throws InvalidArgument / TooLarge on bad values.
    Bitmap(int width, int height, int bits);

    bool empty() const { return width_ == 0 || height_ == 0; }
    int width() const { return width_; }
    int height() const { return height_; }
    int bits() const { return bits_; }
    bool isIndexed() const { return bits_ <= 8; }

    static bool isValidDepth(int bits);
    static int bytesPerPixel(int bits);  // 1 for palette depths
    int bytesPerPixel() const { return bytesPerPixel(bits_); }
    std::size_t stride() const { return static_cast<std::size_t>(width_) * bytesPerPixel(); }

    std::uint8_t* row(int y) { return data_.data() + static_cast<std::size_t>(y) * stride(); }
    const std::uint8_t* row(int y) const { return data_.data() + static_cast<std::size_t>(y) * stride(); }
    std::vector<std::uint8_t>& data() { return data_; }
    const std::vector<std::uint8_t>& data() const { return data_; }

    // The bitmap's own palette (BitmapPalette); empty above 8 bits.
    std::vector<Rgb>& palette() { return palette_; }
    const std::vector<Rgb>& palette() const { return palette_; }
    // The palette that colour reduction with the Custom kind maps to (UserPalette).
    std::vector<Rgb>& userPalette() { return userPalette_; }
    const std::vector<Rgb>& userPalette() const { return userPalette_; }

    // The colour of a pixel as RGB (palette looked up); alpha is dropped.
    Rgb pixel(int x, int y) const;
    // Palette depths: the index at (x, y). Other depths: the pixel value packed as RGB.
    std::uint32_t rawPixel(int x, int y) const;
    // Sets a pixel: for palette depths `value` is the index, otherwise an RGB colour
    // (alpha 255 at 32 bits).
    void setPixel(int x, int y, std::uint32_t value);

    // Transparency of the bitmap: on/off and the transparent colour, either an RGB value
    // or a palette reference (kPaletteReference + index).
    bool transparent() const { return transparent_; }
    Rgb transparentColor() const { return transparentColor_; }
    void setTransparent(bool on) { transparent_ = on; }
    void setTransparentColor(Rgb c) { transparentColor_ = c; }
    // The transparent colour as RGB, as a conversion to a direct-colour depth keeps it: a
    // palette reference is looked up (and left as it is when it names no entry).
    Rgb transparentRgb() const;

    // Size of the pixels as a program holding them in the file's packed layout would:
    // rows padded to 32 bits, palette included. Shown to the user as the memory size.
    std::size_t memorySize() const;

    // Number of distinct colours (RGB, alpha ignored) actually used by the pixels.
    int uniqueColorCount() const;

    // Converts to 24 bits (RGB) or 32 bits (RGBA); palette entries are looked up.
    Bitmap toRgb24() const;
    Bitmap toRgba32() const;

    bool operator==(const Bitmap& other) const;

private:
    int width_ = 0;
    int height_ = 0;
    int bits_ = 0;
    std::vector<std::uint8_t> data_;
    std::vector<Rgb> palette_;
    std::vector<Rgb> userPalette_;
    bool transparent_ = false;
    Rgb transparentColor_ = 0;
};

// 5-5-5 helpers for 16-bit pixels; expansion replicates the top bits so 31 maps to 255.
std::uint16_t packRgb555(Rgb c);
Rgb unpackRgb555(std::uint16_t v);

}  // namespace imaging
