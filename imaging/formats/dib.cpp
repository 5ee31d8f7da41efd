#include "formats/dib.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace imaging::fio {

namespace {

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6 };

// A run-length code of two bytes can stand for 255 pixels, a delta escape skips up to 255
// rows and the end-of-bitmap code all the rest, so a valid run-length file can be very small
// for its size; beyond this ratio it is taken for a hostile one before anything is allocated.
constexpr std::uint64_t kRlePixelsPerByte = 4096;

bool isWindowsHeader(std::size_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124 || size > 124;
}

// Scales the field of `mask` in `v` to 0..255, rounding: fields wider than 8 bits keep their
// precision until the end.
int maskedChannel(std::uint32_t v, std::uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask >> shift);
    const std::uint32_t f = (v & mask) >> shift;
    const std::uint64_t max = width >= 32 ? 0xFFFFFFFFull : ((std::uint64_t{1} << width) - 1);
    return static_cast<int>((static_cast<std::uint64_t>(f) * 255 + max / 2) / max);
}

bool contiguous(std::uint32_t mask) {
    if (mask == 0) return true;
    const std::uint32_t m = mask >> std::countr_zero(mask);
    return (m & (m + 1)) == 0;
}

bool is555(const std::uint32_t* m) { return m[0] == 0x7C00 && m[1] == 0x03E0 && m[2] == 0x001F; }

std::size_t strideOf(long long width, int bits) {
    return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) + 31) / 32) * 4;
}

std::size_t pixelStart(const DibHeader& h, const DibOptions& options, std::size_t size) {
    const std::size_t afterPalette = h.paletteOffset + h.paletteEntries * h.paletteEntrySize;
    return options.pixelOffset >= afterPalette && options.pixelOffset < size ? options.pixelOffset : h.bitsOffset;
}

// Rows in file order: `y` counts from the first row stored.
std::uint8_t* targetRow(Bitmap& out, const DibHeader& h, int y) {
    return out.row(h.topDown ? y : static_cast<int>(h.height) - 1 - y);
}

void decodeRunLength(const DibHeader& h, ByteReader& in, Bitmap& out) {
    const bool four = h.compression == kRle4;
    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    int x = 0, y = 0;
    auto put = [&](int value) {
        if (x < width && y < height) targetRow(out, h, y)[x] = static_cast<std::uint8_t>(value);
        ++x;
    };
    while (y < height) {
        if (in.remaining() < 2) in.truncated();
        const int count = in.u8();
        const int value = in.u8();
        if (count > 0) {
            for (int k = 0; k < count && x < width; ++k) put(four ? (k & 1 ? value & 15 : value >> 4) : value);
            continue;
        }
        switch (value) {
        case 0:
            x = 0;
            ++y;
            break;
        case 1: return;
        case 2: {
            const int dx = in.u8(), dy = in.u8();
            x += dx;
            y += dy;
            break;
        }
        default: {
            const std::size_t bytes = four ? (static_cast<std::size_t>(value) + 1) / 2 : static_cast<std::size_t>(value);
            const std::uint8_t* p = in.bytes(bytes + (bytes & 1)).data();
            for (int k = 0; k < value && x < width; ++k) put(four ? (k & 1 ? p[k / 2] & 15 : p[k / 2] >> 4) : p[k]);
            break;
        }
        }
    }
}

// Returns whether any pixel had a non-zero alpha value.
bool decodeRows(const DibHeader& h, ByteView data, std::size_t start, bool icon, Bitmap& out) {
    const std::size_t stride = strideOf(h.width, h.bits);
    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    std::uint32_t masks[4] = {h.masks[0], h.masks[1], h.masks[2], h.masks[3]};
    if (h.compression == kRgb && h.bits == 32) {
        masks[0] = 0x00FF0000;
        masks[1] = 0x0000FF00;
        masks[2] = 0x000000FF;
        // Icons store alpha there, and so do 32-bit files of many programs: browsers take it
        // as alpha unless every pixel leaves it zero (readDib then makes the picture opaque).
        masks[3] = icon || out.bits() == 32 ? 0xFF000000 : 0;
    }
    if (h.compression == kRgb && h.bits == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }
    const int bpp = out.bytesPerPixel();
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* s = data.data() + start + stride * static_cast<std::size_t>(y);
        std::uint8_t* d = targetRow(out, h, y);
        if (h.bits <= 8) {
            unpackRow(s, h.bits, width, d);
        } else if (h.bits == 24) {
            for (int x = 0; x < width; ++x) {
                d[bpp * x] = s[3 * x + 2];
                d[bpp * x + 1] = s[3 * x + 1];
                d[bpp * x + 2] = s[3 * x];
                if (bpp == 4) d[4 * x + 3] = 255;  // an icon's mask sets alpha afterwards
            }
        } else if (h.bits == 16 && out.bits() == 16) {
            for (int x = 0; x < width; ++x) {
                d[2 * x] = s[2 * x];
                d[2 * x + 1] = static_cast<std::uint8_t>(s[2 * x + 1] & 0x7F);
            }
        } else {
            const int size = h.bits / 8;
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = s + static_cast<std::size_t>(size) * x;
                const std::uint32_t v = size == 2 ? static_cast<std::uint32_t>(p[0] | (p[1] << 8))
                                                  : static_cast<std::uint32_t>(p[0]) | (p[1] << 8) | (p[2] << 16) |
                                                        (static_cast<std::uint32_t>(p[3]) << 24);
                d[bpp * x] = static_cast<std::uint8_t>(maskedChannel(v, masks[0]));
                d[bpp * x + 1] = static_cast<std::uint8_t>(maskedChannel(v, masks[1]));
                d[bpp * x + 2] = static_cast<std::uint8_t>(maskedChannel(v, masks[2]));
                if (bpp == 4) {
                    d[4 * x + 3] = static_cast<std::uint8_t>(masks[3] ? maskedChannel(v, masks[3]) : 255);
                    anyAlpha = anyAlpha || (masks[3] && d[4 * x + 3] != 0);
                }
            }
        }
    }
    return anyAlpha;
}

// The AND mask of an icon: set bits are transparent. Icons with an alpha channel carry a mask
// only for old systems, so the alpha wins where it exists. A palette icon whose masked pixels
// all use one entry that no visible pixel uses keeps its palette with that entry transparent;
// otherwise it becomes RGBA, so a colour the mask hides in one place still shows in another.
void applyIconMask(const DibHeader& h, ByteView data, std::size_t maskOffset, bool anyAlpha, Bitmap& out) {
    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    const std::size_t maskRowBytes = strideOf(h.width, 1);
    const bool hasMask =
        maskOffset <= data.size() && maskRowBytes * static_cast<std::size_t>(height) <= data.size() - maskOffset;
    if (!hasMask) return;
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        unpackRow(data.data() + maskOffset + static_cast<std::size_t>(height - 1 - y) * maskRowBytes, 1, width,
                  mask.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width));
    auto masked = [&](int x, int y) { return mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] != 0; };
    if (out.bits() == 32) {
        if (anyAlpha) return;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) out.row(y)[4 * x + 3] = masked(x, y) ? 0 : 255;
        return;
    }
    if (!out.isIndexed()) return;
    int transparentIndex = -1;
    bool oneIndex = true, anyMasked = false;
    std::vector<bool> shown(256, false);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int idx = out.row(y)[x];
            if (!masked(x, y)) {
                shown[static_cast<std::size_t>(idx)] = true;
                continue;
            }
            anyMasked = true;
            if (transparentIndex == -1) transparentIndex = idx;
            else if (transparentIndex != idx) oneIndex = false;
        }
    if (!anyMasked) return;
    if (oneIndex && !shown[static_cast<std::size_t>(transparentIndex)]) {
        out.setTransparent(true);
        out.setTransparentColor(kPaletteReference + static_cast<Rgb>(transparentIndex));
        return;
    }
    Bitmap rgba = out.toRgba32();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (masked(x, y)) rgba.row(y)[4 * x + 3] = 0;
    out = std::move(rgba);
}

}  // namespace

DibHeader readDibHeader(ByteView data, std::string_view where, const DibOptions& options) {
    ByteReader in(data, where);
    DibHeader h;
    h.headerSize = in.u32le();
    long long rawHeight = 0;
    std::uint32_t used = 0;
    if (h.headerSize == 12) {
        h.os2 = true;
        h.width = in.u16le();
        rawHeight = in.u16le();
        in.u16le();  // planes
        h.bits = in.u16le();
        h.paletteEntrySize = 3;
    } else if (h.headerSize >= 16 && h.headerSize <= 4096) {
        // An OS/2 2.x header shares the first fields of the Windows one and may end after any.
        h.os2 = !isWindowsHeader(h.headerSize);
        const long long width = in.i32le();
        rawHeight = in.i32le();
        in.u16le();  // planes
        h.bits = in.u16le();
        if (h.headerSize >= 20) h.compression = in.u32le();
        if (h.headerSize >= 36) {
            in.skip(12);  // image size, resolution
            used = in.u32le();
        }
        if (width < 0 || rawHeight == -2147483648LL) in.corrupt("invalid image size");
        h.width = width;
        in.seek(h.headerSize);
        if (!h.os2 && (h.compression == kBitfields || h.compression == kAlphaBitfields)) {
            // The masks sit inside the larger headers and follow the 40-byte one.
            if (h.headerSize >= 52) {
                in.seek(40);
                for (int i = 0; i < 3; ++i) h.masks[i] = in.u32le();
                if (h.headerSize >= 56) h.masks[3] = in.u32le();
                in.seek(h.headerSize);
            } else {
                for (int i = 0; i < (h.compression == kAlphaBitfields ? 4 : 3); ++i) h.masks[i] = in.u32le();
            }
        }
    } else {
        in.corrupt("unknown bitmap header size " + std::to_string(h.headerSize));
    }
    h.paletteOffset = in.pos();
    if (h.bits != 1 && h.bits != 2 && h.bits != 4 && h.bits != 8 && h.bits != 16 && h.bits != 24 && h.bits != 32)
        in.corrupt("unsupported bitmap depth of " + std::to_string(h.bits) + " bits");
    switch (h.compression) {
    case kRgb: break;
    case kRle8:
    case kRle4:
        if (h.bits != (h.compression == kRle8 ? 8 : 4)) in.corrupt("run-length coding does not match the depth");
        if (options.icon) unsupported(where, "run-length coded icon bitmaps are not read");
        break;
    case kBitfields:
    case kAlphaBitfields:
        if (!h.os2) {
            if (h.bits != 16 && h.bits != 32) in.corrupt("bit fields on a palette bitmap");
            for (std::uint32_t m : h.masks)
                if (!contiguous(m)) in.corrupt("bit-field masks are not contiguous");
            break;
        }
        [[fallthrough]];
    default:
        unsupported(where, std::string(h.os2 ? "OS/2 " : "") + "compression " + std::to_string(h.compression) +
                               " is not read");
    }
    if (rawHeight < 0) {
        if (options.icon) in.corrupt("a top-down icon bitmap");
        h.topDown = true;
        rawHeight = -rawHeight;
    }
    h.height = options.icon ? rawHeight / 2 : rawHeight;
    checkSize(h.width, h.height, where);

    // Palette depths use up to 2^bits entries of the table; direct colour may carry a table
    // for old displays, to be skipped.
    std::size_t tableEntries = 0;
    if (h.bits <= 8) {
        const std::size_t full = std::size_t{1} << h.bits;
        tableEntries = used == 0 ? full : std::min<std::size_t>(used, 256);
        // A table shorter than the depth asks for (OS/2 1.x files say so only through where the
        // rows begin): the entries up to the rows, the rest black.
        const std::size_t fullEnd = h.paletteOffset + full * h.paletteEntrySize;
        if (used == 0 && options.pixelOffset > h.paletteOffset && options.pixelOffset < fullEnd)
            tableEntries = (options.pixelOffset - h.paletteOffset) / h.paletteEntrySize;
        h.paletteEntries = std::min(tableEntries, full);
    } else {
        tableEntries = std::min<std::size_t>(used, 256);
    }
    h.bitsOffset = h.paletteOffset + tableEntries * h.paletteEntrySize;
    if (h.paletteOffset + h.paletteEntries * h.paletteEntrySize > data.size()) in.truncated();

    if (h.bits <= 8) h.bitmapBits = h.bits;
    else if (h.bits == 16 && h.masks[3] != 0) h.bitmapBits = 32;  // 4-4-4-4, 1-5-5-5 with alpha
    else if (h.bits == 16) h.bitmapBits = h.compression == kRgb || is555(h.masks) ? 16 : 24;
    else if (h.bits == 32 && (options.icon || options.keep32 || h.masks[3] != 0)) h.bitmapBits = 32;
    else if (h.bits == 24 && options.icon) h.bitmapBits = 32;  // room for the AND mask
    else h.bitmapBits = 24;
    return h;
}

Bitmap readDib(ByteView data, std::string_view where, const DibOptions& options) {
    const DibHeader h = readDibHeader(data, where, options);
    ByteReader in(data, where);
    in.seek(h.paletteOffset);
    std::vector<Rgb> palette;
    for (std::size_t i = 0; i < h.paletteEntries; ++i) {
        ByteView e = in.bytes(h.paletteEntrySize);
        palette.push_back(makeRgb(e[2], e[1], e[0]));
    }
    const std::size_t start = pixelStart(h, options, data.size());
    const std::size_t stride = strideOf(h.width, h.bits);
    const std::size_t height = static_cast<std::size_t>(h.height);
    // Everything is checked against the data before the bitmap is allocated. The last row's
    // padding is often missing in the wild; its pixels must be there.
    if (h.runLength()) {
        if (static_cast<std::uint64_t>(h.width) * height > (data.size() - std::min(start, data.size())) * kRlePixelsPerByte)
            in.corrupt("an image of " + std::to_string(h.width) + " x " + std::to_string(h.height) +
                       " pixels cannot come from " + std::to_string(data.size()) + " bytes");
    } else {
        const std::size_t lastRow = (static_cast<std::size_t>(h.width) * h.bits + 7) / 8;
        const std::uint64_t need = static_cast<std::uint64_t>(start) + stride * (height - 1) + lastRow;
        if (need > data.size()) in.truncated();
    }

    Bitmap out(static_cast<int>(h.width), static_cast<int>(h.height), h.bitmapBits);
    if (h.bits <= 8) out.palette() = paddedPalette(std::move(palette), h.bits);
    bool anyAlpha = false;
    if (h.runLength()) {
        in.seek(start);
        decodeRunLength(h, in, out);
    } else {
        anyAlpha = decodeRows(h, data, start, options.icon, out);
    }
    // 32-bit pixels whose alpha is zero everywhere come from a writer that did not fill it in;
    // an invisible picture would be wrong. An icon's mask decides then instead.
    if (out.bits() == 32 && !anyAlpha && !options.icon)
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x) out.row(y)[4 * x + 3] = 255;
    if (options.icon) applyIconMask(h, data, start + stride * height, anyAlpha, out);
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
    w.u32le(kRgb);
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
