#pragma once
// Small pieces every main-format codec needs: bounds-checked reading of header fields,
// the page window of LoadOptions, depth conversion after decoding, and the checks a
// writer makes before it trusts a bitmap's indices and palette.

#include <cstdint>
#include <string>
#include <vector>

#include "core/codec.h"
#include "core/error.h"

namespace imaging::codec {

// Reads little- and big-endian fields; running past the end throws Truncated naming `where`.
class ByteReader {
public:
    ByteReader(ByteView data, const char* where) : data_(data), where_(where) {}

    std::size_t position() const { return pos_; }
    std::size_t size() const { return data_.size(); }
    std::size_t remaining() const { return data_.size() - pos_; }
    void seek(std::size_t pos);
    void skip(std::size_t n) { seek(pos_ + need(n)); }
    const std::uint8_t* bytes(std::size_t n) {
        const std::uint8_t* p = data_.data() + pos_;
        pos_ += need(n);
        return p;
    }
    std::uint8_t u8() { return *bytes(1); }
    std::uint16_t le16() {
        const std::uint8_t* p = bytes(2);
        return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
    }
    std::uint32_t le32() {
        const std::uint8_t* p = bytes(4);
        return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }
    std::uint16_t be16() {
        const std::uint8_t* p = bytes(2);
        return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
    }

private:
    std::size_t need(std::size_t n) const;

    ByteView data_;
    const char* where_;
    std::size_t pos_ = 0;
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
