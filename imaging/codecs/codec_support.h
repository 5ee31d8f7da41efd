#pragma once
// Small pieces every main-format codec needs: bounds-checked reading of header fields,
// the page window of LoadOptions, depth conversion after decoding, and the checks a
// writer makes before it trusts a bitmap's indices and palette.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/codec.h"
#include "core/error.h"

namespace imaging::codec {

// Reads little- and big-endian fields of every codec's headers; running past the end throws
// Truncated naming `where`, so a short or lying file never leads to a read past the buffer.
class ByteReader {
public:
    ByteReader(ByteView data, std::string_view where) : data_(data), where_(where) {}

    std::size_t size() const { return data_.size(); }
    std::size_t pos() const { return pos_; }
    std::size_t remaining() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }
    const std::string& where() const { return where_; }
    ByteView data() const { return data_; }

    void seek(std::size_t pos);
    void skip(std::size_t n);
    std::uint8_t u8();
    std::uint16_t u16le();
    std::uint16_t u16be();
    std::uint32_t u32le();
    std::uint32_t u32be();
    std::int16_t i16le() { return static_cast<std::int16_t>(u16le()); }
    std::int16_t i16be() { return static_cast<std::int16_t>(u16be()); }
    std::int32_t i32le() { return static_cast<std::int32_t>(u32le()); }
    ByteView bytes(std::size_t n);
    // A reader over the next n bytes (consumed here), for length-prefixed blocks.
    ByteReader sub(std::size_t n);

    [[noreturn]] void truncated() const;
    [[noreturn]] void corrupt(const std::string& reason) const;

private:
    void need(std::size_t n) const {
        if (n > remaining()) truncated();
    }
    ByteView data_;
    std::size_t pos_ = 0;
    std::string where_;
};

// Little-endian writers for the formats we build by hand.
inline void putLe16(Bytes& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void putLe32(Bytes& out, std::uint32_t v) {
    putLe16(out, v & 0xFFFF);
    putLe16(out, v >> 16);
}

// Which pages of `total` the options ask for: [first, first + count). Throws InvalidArgument
// when the first page does not exist.
struct PageRange {
    int first = 0;
    int count = 0;
};
PageRange pageRange(int total, const LoadOptions& options, const char* where);

// Refuses an image whose decoded size could not possibly come from `dataBytes` of input
// with the format's best compression ratio, before anything of that size is allocated.
// `slack` pixels are always allowed, so tiny flat images keep working.
void checkPixelBudget(long long width, long long height, std::size_t dataBytes, long long pixelsPerByte,
                      const char* where, long long slack = 1LL << 22);

// Pads or trims a palette-depth bitmap's palette to exactly 2^bits entries (missing ones black).
void normalizePalette(Bitmap& bitmap);

// The bitmap at 16, 24 or 32 bits (16 packs each channel to 5 bits); a transparent colour
// given as a palette reference becomes the entry's colour.
Bitmap toDirect(const Bitmap& bitmap, int bits);

// Applies LoadOptions::bits to a decoded bitmap: 0 keeps it; 16/24/32 convert; a palette depth
// at least as deep as the stored one widens the palette. Anything else needs colour reduction,
// which is not a codec's job: Unsupported.
void convertForLoad(Bitmap& bitmap, int bits, const char* where);

// The depth a writer stores: options.bits, or the bitmap's own depth when that is 0.
int requestedBits(const Bitmap& bitmap, const SaveOptions& options);

// For palette writers: throws InvalidArgument when the bitmap is not at a palette depth or
// holds an index that does not fit into `bits`.
void checkIndexedFits(const Bitmap& bitmap, int bits, const char* where);

// The palette entry closest to `colour` by the sum of absolute channel differences; the
// lowest index wins ties. Used for transparent and background colours given as RGB.
int nearestPaletteIndex(const std::vector<Rgb>& palette, int count, Rgb colour);

// The palette index a palette-depth bitmap's transparent colour names, or -1 when the bitmap
// is not transparent. An RGB colour is matched exactly; with `nearest` a colour missing from
// the palette falls to the nearest entry (GIF keeps its transparency that way), without it no
// entry is transparent, since no pixel has that colour.
int transparentIndex(const Bitmap& bitmap, int paletteEntries, bool nearest = true);

// The palette entry `i`, black where the palette is shorter.
inline Rgb paletteEntry(const Bitmap& bitmap, int i) {
    return static_cast<std::size_t>(i) < bitmap.palette().size() ? bitmap.palette()[i] : 0;
}

// What Bitmap::memorySize reports for a bitmap of this size and depth, without making one.
std::uint64_t memorySizeOf(int width, int height, int bits);

// Expands one row of any depth into RGB bytes (3 per pixel), for encoders that need RGB
// from a bitmap that does not hold it.
void rowToRgb(const Bitmap& bitmap, int y, std::uint8_t* out);

}  // namespace imaging::codec
