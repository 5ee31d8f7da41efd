#include "formats/dib.h"

#include <algorithm>
#include <bit>

namespace imaging::fio {

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::uint32_t kBiAlphaBitfields = 6;

// Scales the field of `mask` in `v` to 0..255.
int maskedChannel(std::uint32_t v, std::uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask >> shift);
    const std::uint32_t f = (v & mask) >> shift;
    const std::uint32_t max = width >= 32 ? 0xFFFFFFFFu : ((1u << width) - 1);
    return static_cast<int>((static_cast<std::uint64_t>(f) * 255 + max / 2) / max);
}

bool contiguous(std::uint32_t mask) {
    if (mask == 0) return true;
    const std::uint32_t m = mask >> std::countr_zero(mask);
    return (m & (m + 1)) == 0;
}

}  // namespace

DibHeader readDibHeader(ByteView data, std::string_view where, bool icon) {
    ByteReader in(data, where);
    DibHeader h;
    h.headerSize = in.u32le();
    long long rawHeight = 0;
    if (h.headerSize == 12) {
        h.width = in.u16le();
        rawHeight = in.u16le();
        in.u16le();  // planes
        h.bits = in.u16le();
        h.paletteEntrySize = 3;
        if (h.bits <= 8) h.paletteEntries = std::size_t{1} << h.bits;
    } else if (h.headerSize >= 40 && h.headerSize <= 4096) {
        h.width = in.i32le();
        rawHeight = in.i32le();
        in.u16le();  // planes
        h.bits = in.u16le();
        h.compression = in.u32le();
        in.skip(12);  // image size, resolution
        const std::uint32_t used = in.u32le();
        in.u32le();  // important colours
        if (h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) {
            if (h.headerSize >= 52) {
                for (int i = 0; i < 3; ++i) h.masks[i] = in.u32le();
                if (h.headerSize >= 56) h.masks[3] = in.u32le();
            } else {
                in.seek(h.headerSize);
                for (int i = 0; i < (h.compression == kBiAlphaBitfields ? 4 : 3); ++i) h.masks[i] = in.u32le();
            }
        }
        if (h.bits <= 8) {
            const std::size_t full = std::size_t{1} << std::min(h.bits, 8);
            h.paletteEntries = used == 0 ? full : std::min<std::size_t>(used, 256);
        } else {
            h.paletteEntries = std::min<std::size_t>(used, 256);  // an optional table to skip
        }
    } else {
        in.corrupt("unknown bitmap header size " + std::to_string(h.headerSize));
    }
    if (h.bits != 1 && h.bits != 2 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32)
        in.corrupt("unsupported bitmap depth of " + std::to_string(h.bits) + " bits");
    if (h.compression != kBiRgb && h.compression != kBiBitfields && h.compression != kBiAlphaBitfields)
        unsupported(where,
                    "compressed device-independent bitmaps (type " + std::to_string(h.compression) + ") are not read");
    if (h.compression != kBiRgb && h.bits != 16 && h.bits != 32) in.corrupt("bit fields on a palette bitmap");
    if (h.compression != kBiRgb)
        for (std::uint32_t m : h.masks)
            if (!contiguous(m)) in.corrupt("bit-field masks are not contiguous");
    if (rawHeight < 0) {
        if (icon) in.corrupt("a top-down icon bitmap");
        h.topDown = true;
        rawHeight = -rawHeight;
    }
    h.height = icon ? rawHeight / 2 : rawHeight;
    checkSize(h.width, h.height, where);
    std::size_t tableOffset = h.headerSize;
    if ((h.compression == kBiBitfields || h.compression == kBiAlphaBitfields) && h.headerSize < 52)
        tableOffset += h.compression == kBiAlphaBitfields ? 16 : 12;
    h.bitsOffset = tableOffset + h.paletteEntries * h.paletteEntrySize;
    if (h.bits <= 8) {
        h.bitmapBits = h.bits;
    } else if (h.bits == 16) {
        const bool is555 =
            h.compression == kBiRgb || (h.masks[0] == 0x7C00 && h.masks[1] == 0x03E0 && h.masks[2] == 0x001F);
        h.bitmapBits = is555 ? 16 : 24;
    } else if (h.bits == 32 && (icon || h.masks[3] != 0)) {
        h.bitmapBits = 32;
    } else {
        h.bitmapBits = 24;
    }
    return h;
}

Bitmap readDib(ByteView data, std::string_view where, bool icon) {
    const DibHeader h = readDibHeader(data, where, icon);
    ByteReader in(data, where);
    const std::size_t rowBytes = ((static_cast<std::size_t>(h.width) * h.bits + 31) / 32) * 4;
    const std::size_t maskRowBytes = ((static_cast<std::size_t>(h.width) + 31) / 32) * 4;
    const std::uint64_t need =
        static_cast<std::uint64_t>(h.bitsOffset) + static_cast<std::uint64_t>(rowBytes) * h.height;
    if (need > data.size()) in.truncated();

    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    Bitmap out(width, height, h.bitmapBits);
    if (h.bits <= 8) {
        in.seek(h.bitsOffset - h.paletteEntries * h.paletteEntrySize);
        std::vector<Rgb> pal;
        for (std::size_t i = 0; i < h.paletteEntries; ++i) {
            ByteView e = in.bytes(h.paletteEntrySize);
            pal.push_back(makeRgb(e[2], e[1], e[0]));
        }
        pal.resize(std::min(pal.size(), std::size_t{1} << h.bits));
        out.palette() = paddedPalette(std::move(pal), h.bits);
    }
    std::uint32_t masks[4] = {h.masks[0], h.masks[1], h.masks[2], h.masks[3]};
    if (h.compression == kBiRgb && h.bits == 32) {
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
        masks[3] = 0xFF000000;
    }
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const int fileRow = h.topDown ? y : height - 1 - y;
        const std::uint8_t* src = data.data() + h.bitsOffset + static_cast<std::size_t>(fileRow) * rowBytes;
        std::uint8_t* d = out.row(y);
        if (h.bits <= 8) {
            unpackRow(src, h.bits, width, d);
        } else if (h.bits == 16) {
            for (int x = 0; x < width; ++x) {
                const std::uint16_t v = static_cast<std::uint16_t>(src[2 * x] | (src[2 * x + 1] << 8));
                if (h.bitmapBits == 16) {
                    d[2 * x] = static_cast<std::uint8_t>(v & 0xFF);
                    d[2 * x + 1] = static_cast<std::uint8_t>((v >> 8) & 0x7F);
                } else {
                    d[3 * x] = static_cast<std::uint8_t>(maskedChannel(v, masks[0]));
                    d[3 * x + 1] = static_cast<std::uint8_t>(maskedChannel(v, masks[1]));
                    d[3 * x + 2] = static_cast<std::uint8_t>(maskedChannel(v, masks[2]));
                }
            }
        } else if (h.bits == 24) {
            for (int x = 0; x < width; ++x) {
                d[3 * x] = src[3 * x + 2];
                d[3 * x + 1] = src[3 * x + 1];
                d[3 * x + 2] = src[3 * x];
            }
        } else {
            const int bpp = out.bytesPerPixel();
            for (int x = 0; x < width; ++x) {
                const std::uint32_t v = static_cast<std::uint32_t>(src[4 * x]) | (src[4 * x + 1] << 8) |
                                        (src[4 * x + 2] << 16) | (static_cast<std::uint32_t>(src[4 * x + 3]) << 24);
                d[bpp * x] = static_cast<std::uint8_t>(maskedChannel(v, masks[0]));
                d[bpp * x + 1] = static_cast<std::uint8_t>(maskedChannel(v, masks[1]));
                d[bpp * x + 2] = static_cast<std::uint8_t>(maskedChannel(v, masks[2]));
                if (bpp == 4) {
                    d[4 * x + 3] = static_cast<std::uint8_t>(maskedChannel(v, masks[3]));
                    anyAlpha = anyAlpha || d[4 * x + 3] != 0;
                }
            }
        }
    }
    if (!icon) {
        if (out.bits() == 32 && !anyAlpha)
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) out.row(y)[4 * x + 3] = 255;
        return out;
    }

    // The AND mask: set bits are transparent. Icons with an alpha channel carry a mask only
    // for old systems, so the alpha wins where it exists.
    const std::size_t maskOffset = h.bitsOffset + rowBytes * static_cast<std::size_t>(height);
    const bool hasMask = maskOffset + maskRowBytes * static_cast<std::size_t>(height) <= data.size();
    std::vector<std::uint8_t> maskRow(static_cast<std::size_t>(width));
    int transparentIndex = -1;
    bool oneIndex = true, anyMasked = false;
    for (int y = 0; y < height; ++y) {
        if (hasMask)
            unpackRow(data.data() + maskOffset + static_cast<std::size_t>(height - 1 - y) * maskRowBytes, 1, width,
                      maskRow.data());
        else std::fill(maskRow.begin(), maskRow.end(), 0);
        std::uint8_t* d = out.row(y);
        for (int x = 0; x < width; ++x) {
            if (out.bits() == 32) {
                if (!anyAlpha) d[4 * x + 3] = maskRow[x] ? 0 : 255;
            } else if (maskRow[x]) {
                anyMasked = true;
                const int idx = out.isIndexed() ? d[x] : -2;
                if (transparentIndex == -1) transparentIndex = idx;
                else if (transparentIndex != idx) oneIndex = false;
            }
        }
    }
    if (out.isIndexed() && anyMasked && oneIndex && transparentIndex >= 0) {
        out.setTransparent(true);
        out.setTransparentColor(kPaletteReference + static_cast<Rgb>(transparentIndex));
    }
    return out;
}

Bytes writeDib(const Bitmap& bitmap) {
    ByteWriter w;
    const int bits = bitmap.bits();
    const std::size_t rowBytes = ((static_cast<std::size_t>(bitmap.width()) * bits + 31) / 32) * 4;
    const std::size_t colours = bitmap.isIndexed() ? (std::size_t{1} << bits) : 0;
    w.u32le(40);
    w.u32le(static_cast<std::uint32_t>(bitmap.width()));
    w.u32le(static_cast<std::uint32_t>(bitmap.height()));
    w.u16le(1);
    w.u16le(static_cast<unsigned>(bits));
    w.u32le(kBiRgb);
    w.u32le(static_cast<std::uint32_t>(rowBytes * bitmap.height()));
    w.u32le(3780);  // 96 dots per inch
    w.u32le(3780);
    w.u32le(static_cast<std::uint32_t>(colours));
    w.u32le(0);
    for (std::size_t i = 0; i < colours; ++i) {
        const Rgb c = bitmap.palette().at(i);
        w.u8(blueOf(c));
        w.u8(greenOf(c));
        w.u8(redOf(c));
        w.u8(0);
    }
    std::vector<std::uint8_t> row(rowBytes);
    for (int y = bitmap.height() - 1; y >= 0; --y) {
        std::fill(row.begin(), row.end(), 0);
        const std::uint8_t* s = bitmap.row(y);
        if (bits <= 8) {
            packRow(s, bits, bitmap.width(), row.data());
        } else if (bits == 16) {
            std::copy_n(s, bitmap.stride(), row.data());
        } else {
            const int bpp = bitmap.bytesPerPixel();
            for (int x = 0; x < bitmap.width(); ++x) {
                row[bpp * x] = s[bpp * x + 2];
                row[bpp * x + 1] = s[bpp * x + 1];
                row[bpp * x + 2] = s[bpp * x];
                if (bpp == 4) row[4 * x + 3] = s[4 * x + 3];
            }
        }
        w.append(row);
    }
    return w.take();
}

}  // namespace imaging::fio
