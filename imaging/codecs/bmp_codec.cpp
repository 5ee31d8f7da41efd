#include "codecs/bmp_codec.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "codecs/codec_support.h"

namespace imaging {
namespace {

constexpr const char* kWhere = "BMP";

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitfields = 3, kAlphaBitfields = 6 };

// A two-byte run can stand for 255 pixels and a delta escape skips up to 255 rows, so a
// run-length file can be very small for its size; an uncompressed one never is.
constexpr long long kRlePixelsPerByte = 4096;

struct Header {
    bool os2 = false;
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bits = 0;
    std::uint32_t compression = kRgb;
    std::uint32_t masks[4] = {};  // red, green, blue, alpha
    int paletteEntries = 0;
    std::size_t paletteOffset = 0;
    int paletteEntrySize = 4;
    std::size_t pixelOffset = 0;
};

bool isRle(const Header& h) { return h.compression == kRle8 || h.compression == kRle4; }

bool is555(const std::uint32_t* m) { return m[0] == 0x7C00 && m[1] == 0x03E0 && m[2] == 0x001F; }

// The depth read() gives the bitmap.
int decodedBits(const Header& h) {
    if (h.bits <= 8) return h.bits;
    if (h.bits == 16) return is555(h.masks) ? 16 : 24;
    return h.bits;
}

Header parseHeader(ByteView data) {
    codec::ByteReader in(data, kWhere);
    if (in.u16le() != 0x4D42) fail(ErrorCode::UnknownFormat, kWhere, "no BMP signature");
    in.skip(8);
    const std::uint32_t offBits = in.u32le();
    const std::uint32_t headerSize = in.u32le();
    Header h;
    if (headerSize == 12) {
        h.os2 = true;
        h.width = in.u16le();
        h.height = in.u16le();
        in.skip(2);
        h.bits = in.u16le();
        h.paletteEntrySize = 3;
    } else if (headerSize >= 16 && headerSize <= 124) {
        // 40 and the Windows V2..V5 headers (52, 56, 108, 124); any other size is OS/2 2.x,
        // whose first fields are the same.
        h.os2 = headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124;
        const std::size_t start = in.pos();
        const auto width = static_cast<std::int32_t>(in.u32le());
        const auto height = static_cast<std::int32_t>(in.u32le());
        in.skip(2);
        h.bits = in.u16le();
        if (headerSize >= 20) h.compression = in.u32le();
        if (headerSize >= 36) {
            in.skip(12);
            const std::uint32_t used = in.u32le();
            if (used > 0) h.paletteEntries = static_cast<int>(std::min<std::uint32_t>(used, 1u << 16));
        }
        if (h.os2 && h.compression != kRgb && h.compression != kRle8 && h.compression != kRle4)
            fail(ErrorCode::Unsupported, kWhere, "OS/2 compression " + std::to_string(h.compression));
        if (height == INT32_MIN || width < 0) fail(ErrorCode::Corrupt, kWhere, "invalid image size");
        h.width = width;
        h.height = height < 0 ? -height : height;
        h.topDown = height < 0;
        in.seek(start + headerSize - 4);
        if (h.compression == kBitfields || h.compression == kAlphaBitfields) {
            // Masks sit inside the larger headers, after the 40-byte one otherwise.
            if (headerSize < 52) in.seek(start + headerSize - 4);
            else in.seek(start + 36);
            const int count = (h.compression == kAlphaBitfields || headerSize >= 56) ? 4 : 3;
            for (int i = 0; i < count; ++i) h.masks[i] = in.u32le();
            if (headerSize >= 52) in.seek(start + headerSize - 4);
        }
    } else {
        fail(ErrorCode::Corrupt, kWhere, "unknown header size " + std::to_string(headerSize));
    }
    checkDimensions(h.width, h.height, kWhere);
    const bool bitsOk = h.bits == 1 || h.bits == 2 || h.bits == 4 || h.bits == 8 || h.bits == 16 || h.bits == 24 ||
                        h.bits == 32;
    if (!bitsOk) fail(ErrorCode::Corrupt, kWhere, std::to_string(h.bits) + " bits per pixel");
    switch (h.compression) {
    case kRgb:
        if (h.bits == 16) h.masks[0] = 0x7C00, h.masks[1] = 0x03E0, h.masks[2] = 0x001F;
        if (h.bits == 32) h.masks[0] = 0xFF0000, h.masks[1] = 0xFF00, h.masks[2] = 0xFF, h.masks[3] = 0;
        break;
    case kRle8:
    case kRle4:
        if (h.bits != (h.compression == kRle8 ? 8 : 4))
            fail(ErrorCode::Corrupt, kWhere, "run-length coding does not match the depth");
        break;
    case kBitfields:
    case kAlphaBitfields:
        if (h.bits != 16 && h.bits != 32) fail(ErrorCode::Corrupt, kWhere, "bit fields need 16 or 32 bits");
        break;
    default: fail(ErrorCode::Unsupported, kWhere, "compression " + std::to_string(h.compression));
    }
    if (h.bits <= 8) {
        const int full = 1 << h.bits;
        h.paletteEntries = h.paletteEntries == 0 ? full : std::min(h.paletteEntries, full);
    } else {
        h.paletteEntries = 0;
    }
    h.paletteOffset = in.pos();
    const std::size_t afterPalette = h.paletteOffset + static_cast<std::size_t>(h.paletteEntries) * h.paletteEntrySize;
    // Some writers leave the offset 0 or point it into the palette; the data then follows it.
    h.pixelOffset = offBits >= afterPalette && offBits < data.size() ? offBits : afterPalette;
    if (afterPalette > data.size()) fail(ErrorCode::Truncated, kWhere, "the data ends inside the palette");
    return h;
}

std::size_t strideOf(int width, int bits) { return ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4; }

// One bit field scaled to 0..255.
struct Field {
    int shift = 0;
    int width = 0;
    explicit Field(std::uint32_t mask) {
        if (mask == 0) return;
        shift = std::countr_zero(mask);
        width = std::min(std::popcount(mask), 8);
        // only the top 8 bits of a wider field matter
        shift += std::popcount(mask) - width;
    }
    int operator()(std::uint32_t v) const {
        if (width == 0) return 0;
        const std::uint32_t x = (v >> shift) & ((1u << width) - 1);
        return static_cast<int>((x * 255 + ((1u << width) - 1) / 2) / ((1u << width) - 1));
    }
};

void decodeRle(const Header& h, ByteView data, Bitmap& bitmap) {
    codec::ByteReader in(data, kWhere);
    in.seek(h.pixelOffset);
    const bool four = h.compression == kRle4;
    const int w = h.width, height = h.height;
    int x = 0, y = 0;  // y counts rows in file order
    auto put = [&](int value) {
        if (x < w && y < height) bitmap.row(h.topDown ? y : height - 1 - y)[x] = static_cast<std::uint8_t>(value);
        ++x;
    };
    while (y < height) {
        if (in.remaining() < 2) fail(ErrorCode::Truncated, kWhere, "the run-length data ends early");
        const int count = in.u8();
        const int value = in.u8();
        if (count > 0) {
            for (int k = 0; k < count && x < w; ++k) put(four ? (k & 1 ? value & 15 : value >> 4) : value);
            continue;
        }
        switch (value) {
        case 0: x = 0, ++y; break;
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
            for (int k = 0; k < value && x < w; ++k) put(four ? (k & 1 ? p[k / 2] & 15 : p[k / 2] >> 4) : p[k]);
            break;
        }
        }
    }
}

void decodeRows(const Header& h, ByteView data, Bitmap& bitmap) {
    const std::size_t stride = strideOf(h.width, h.bits);
    const std::size_t rowBytes = (static_cast<std::size_t>(h.width) * h.bits + 7) / 8;
    // The last row's padding is often missing in the wild; its pixels must be there.
    const std::size_t needed = stride * static_cast<std::size_t>(h.height - 1) + rowBytes;
    if (h.pixelOffset > data.size() || data.size() - h.pixelOffset < needed)
        fail(ErrorCode::Truncated, kWhere, "the data ends inside the pixels");
    const Field red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]), alpha(h.masks[3]);
    const bool copy555 = h.bits == 16 && bitmap.bits() == 16;
    for (int y = 0; y < h.height; ++y) {
        const std::uint8_t* s = data.data() + h.pixelOffset + stride * static_cast<std::size_t>(y);
        std::uint8_t* d = bitmap.row(h.topDown ? y : h.height - 1 - y);
        const int w = h.width;
        switch (h.bits) {
        case 1:
        case 2:
        case 4: {
            const int perByte = 8 / h.bits, mask = (1 << h.bits) - 1;
            for (int x = 0; x < w; ++x)
                d[x] = static_cast<std::uint8_t>((s[x / perByte] >> (8 - h.bits * (x % perByte + 1))) & mask);
            break;
        }
        case 8: std::memcpy(d, s, static_cast<std::size_t>(w)); break;
        case 24:
            for (int x = 0; x < w; ++x, s += 3, d += 3) d[0] = s[2], d[1] = s[1], d[2] = s[0];
            break;
        case 16:
            if (copy555) {
                for (int x = 0; x < w; ++x, s += 2, d += 2) d[0] = s[0], d[1] = s[1] & 0x7F;
            } else {
                for (int x = 0; x < w; ++x, s += 2, d += 3) {
                    const std::uint32_t v = s[0] | (s[1] << 8);
                    d[0] = static_cast<std::uint8_t>(red(v));
                    d[1] = static_cast<std::uint8_t>(green(v));
                    d[2] = static_cast<std::uint8_t>(blue(v));
                }
            }
            break;
        case 32:
            for (int x = 0; x < w; ++x, s += 4, d += 4) {
                const std::uint32_t v = s[0] | (s[1] << 8) | (s[2] << 16) | (static_cast<std::uint32_t>(s[3]) << 24);
                d[0] = static_cast<std::uint8_t>(red(v));
                d[1] = static_cast<std::uint8_t>(green(v));
                d[2] = static_cast<std::uint8_t>(blue(v));
                d[3] = h.masks[3] ? static_cast<std::uint8_t>(alpha(v)) : 255;
            }
            break;
        }
    }
    // A 32-bit file whose alpha mask is set but every alpha zero was written by a program that
    // did not fill alpha in; showing it invisible would be wrong.
    if (h.bits == 32 && h.masks[3]) {
        bool anyAlpha = false;
        for (std::size_t i = 3; i < bitmap.data().size() && !anyAlpha; i += 4) anyAlpha = bitmap.data()[i] != 0;
        if (!anyAlpha)
            for (std::size_t i = 3; i < bitmap.data().size(); i += 4) bitmap.data()[i] = 255;
    }
}

// ---- run-length encoders ------------------------------------------------------------------

// Length of the run of equal values starting at i, counted up to `limit` (at most 255).
int runLength8(const std::uint8_t* p, int i, int w, int limit = 255) {
    int n = 1;
    while (i + n < w && n < limit && p[i + n] == p[i]) ++n;
    return n;
}

void encodeRle8Row(const std::uint8_t* p, int w, Bytes& out) {
    int i = 0;
    while (i < w) {
        const int run = runLength8(p, i, w);
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(run));
            out.push_back(p[i]);
            i += run;
            continue;
        }
        // Collect literals until a run of three or more starts: a shorter run costs more to
        // break out for than to carry along.
        int j = i;
        while (j < w && j - i < 255 && runLength8(p, j, w, 3) < 3) ++j;
        const int n = j - i;
        if (n < 3) {  // absolute mode needs three pixels; fewer go as runs of one
            for (int k = 0; k < n; ++k) out.push_back(1), out.push_back(p[i + k]);
        } else {
            out.push_back(0);
            out.push_back(static_cast<std::uint8_t>(n));
            out.insert(out.end(), p + i, p + j);
            if (n & 1) out.push_back(0);
        }
        i = j;
    }
}

// Length of the run starting at i in which every pixel repeats the one two before it: one
// RLE4 code draws such alternating pairs, solid runs being the case of a pair of equals.
int runLength4(const std::uint8_t* p, int i, int w, int limit = 255) {
    int n = std::min(2, w - i);
    while (i + n < w && n < limit && p[i + n] == p[i + n - 2]) ++n;
    return n;
}

void encodeRle4Row(const std::uint8_t* p, int w, Bytes& out) {
    int i = 0;
    while (i < w) {
        const int run = runLength4(p, i, w);
        // A run of four costs two bytes, as four literal pixels do; from five on it wins.
        if (run >= 4 || run == w - i) {
            out.push_back(static_cast<std::uint8_t>(run));
            out.push_back(static_cast<std::uint8_t>((p[i] << 4) | (run > 1 ? p[i + 1] : 0)));
            i += run;
            continue;
        }
        int j = i;
        while (j < w && j - i < 252 && (runLength4(p, j, w, 8) < 8 || j == i)) ++j;
        int n = j - i;
        if (n < 3) {
            out.push_back(static_cast<std::uint8_t>(n));
            out.push_back(static_cast<std::uint8_t>((p[i] << 4) | (n > 1 ? p[i + 1] : 0)));
        } else {
            out.push_back(0);
            out.push_back(static_cast<std::uint8_t>(n));
            const std::size_t bytes = (static_cast<std::size_t>(n) + 1) / 2;
            for (std::size_t b = 0; b < bytes; ++b) {
                const int hi = p[i + 2 * b];
                const int lo = static_cast<int>(2 * b + 1) < n ? p[i + 2 * b + 1] : 0;
                out.push_back(static_cast<std::uint8_t>((hi << 4) | lo));
            }
            if (bytes & 1) out.push_back(0);
        }
        i = j;
    }
}

}  // namespace

bool BmpCodec::sniff(ByteView data) const {
    if (data.size() < 18 || data[0] != 'B' || data[1] != 'M') return false;
    const std::uint32_t headerSize = data[14] | (data[15] << 8) | (data[16] << 16) | (static_cast<std::uint32_t>(data[17]) << 24);
    return headerSize == 12 || (headerSize >= 16 && headerSize <= 124);
}

ImageInfo BmpCodec::readInfo(ByteView data) const {
    const Header h = parseHeader(data);
    ImageInfo info;
    info.format = h.os2 ? format::BmpOs2 : isRle(h) ? format::BmpRle : format::BmpWindows;
    info.width = h.width;
    info.height = h.height;
    info.bits = decodedBits(h);
    info.fileSize = data.size();
    info.memorySize = codec::memorySizeOf(h.width, h.height, info.bits);
    return info;
}

Image BmpCodec::read(ByteView data, const LoadOptions& options) const {
    codec::pageRange(1, options, kWhere);
    const Header h = parseHeader(data);
    if (isRle(h)) codec::checkPixelBudget(h.width, h.height, data.size(), kRlePixelsPerByte, kWhere);
    else codec::checkPixelBudget(h.width, h.height, data.size(), 8 / std::min(h.bits, 8) + 1, kWhere, 0);

    Bitmap bitmap(h.width, h.height, decodedBits(h));
    if (h.bits <= 8) {
        std::fill(bitmap.palette().begin(), bitmap.palette().end(), 0);
        const std::uint8_t* p = data.data() + h.paletteOffset;
        for (int i = 0; i < h.paletteEntries; ++i, p += h.paletteEntrySize) bitmap.palette()[i] = makeRgb(p[2], p[1], p[0]);
    }
    if (isRle(h)) decodeRle(h, data, bitmap);
    else decodeRows(h, data, bitmap);
    codec::convertForLoad(bitmap, options.bits, kWhere);
    const int number = h.os2 ? format::BmpOs2 : isRle(h) ? format::BmpRle : format::BmpWindows;
    return Image::fromBitmap(std::move(bitmap), number);
}

Bytes BmpCodec::write(const Image& image, const SaveOptions& options) const {
    if (image.empty() || image.first().empty()) fail(ErrorCode::NoImage, kWhere, "there is no image to save");
    const Bitmap& source = image.first();
    const bool os2 = options.format == format::BmpOs2;
    const int bits = codec::requestedBits(source, options);
    if (!Bitmap::isValidDepth(bits)) fail(ErrorCode::InvalidArgument, kWhere, "invalid depth " + std::to_string(bits));
    int stored = bits == 1 ? 1 : bits <= 4 ? 4 : bits <= 8 ? 8 : bits == 16 && !os2 ? 16 : 24;
    Bitmap converted;
    if (bits <= 8) codec::checkIndexedFits(source, bits, kWhere);
    else if (stored == 24 && source.bits() != 24) converted = source.toRgb24();
    else if (stored == 16 && source.bits() != 16) codec::convertForLoad(converted = source, 16, kWhere);
    const Bitmap& bitmap = converted.empty() ? source : converted;
    const bool rle = options.format == format::BmpRle && (stored == 4 || stored == 8);
    const int w = bitmap.width(), h = bitmap.height();
    if (os2 && (w > 65535 || h > 65535)) fail(ErrorCode::InvalidArgument, kWhere, "OS/2 bitmaps end at 65535 pixels");

    const int paletteEntries = stored <= 8 ? 1 << stored : 0;
    const int headerSize = os2 ? 12 : 40;
    const std::size_t pixelOffset = 14 + headerSize + static_cast<std::size_t>(paletteEntries) * (os2 ? 3 : 4);
    const std::size_t stride = strideOf(w, stored);

    Bytes out;
    out.reserve(pixelOffset + (rle ? stride * h / 2 : stride * h) + 16);
    out.push_back('B');
    out.push_back('M');
    codec::putLe32(out, 0);  // file size, filled in below
    codec::putLe32(out, 0);
    codec::putLe32(out, static_cast<std::uint32_t>(pixelOffset));
    codec::putLe32(out, static_cast<std::uint32_t>(headerSize));
    if (os2) {
        codec::putLe16(out, static_cast<unsigned>(w));
        codec::putLe16(out, static_cast<unsigned>(h));
        codec::putLe16(out, 1);
        codec::putLe16(out, static_cast<unsigned>(stored));
    } else {
        codec::putLe32(out, static_cast<std::uint32_t>(w));
        codec::putLe32(out, static_cast<std::uint32_t>(h));
        codec::putLe16(out, 1);
        codec::putLe16(out, static_cast<unsigned>(stored));
        codec::putLe32(out, rle ? (stored == 8 ? kRle8 : kRle4) : kRgb);
        codec::putLe32(out, 0);  // image size, filled in below
        codec::putLe32(out, 2835);  // 72 dots per inch
        codec::putLe32(out, 2835);
        codec::putLe32(out, 0);
        codec::putLe32(out, 0);
    }
    for (int i = 0; i < paletteEntries; ++i) {
        const Rgb c = i < (1 << std::min(bits, 8)) ? codec::paletteEntry(bitmap, i) : 0;
        out.push_back(static_cast<std::uint8_t>(blueOf(c)));
        out.push_back(static_cast<std::uint8_t>(greenOf(c)));
        out.push_back(static_cast<std::uint8_t>(redOf(c)));
        if (!os2) out.push_back(0);
    }

    for (int y = h - 1; y >= 0; --y) {
        const std::uint8_t* s = bitmap.row(y);
        if (rle) {
            (stored == 8 ? encodeRle8Row : encodeRle4Row)(s, w, out);
            out.push_back(0);
            out.push_back(y == 0 ? 1 : 0);  // end of line, end of bitmap after the last
            continue;
        }
        const std::size_t start = out.size();
        out.resize(start + stride, 0);
        std::uint8_t* d = out.data() + start;
        switch (stored) {
        case 1:
            for (int x = 0; x < w; ++x) d[x >> 3] |= static_cast<std::uint8_t>((s[x] & 1) << (7 - (x & 7)));
            break;
        case 4:
            for (int x = 0; x < w; ++x) d[x >> 1] |= static_cast<std::uint8_t>((s[x] & 15) << (x & 1 ? 0 : 4));
            break;
        case 8: std::memcpy(d, s, static_cast<std::size_t>(w)); break;
        case 16: std::memcpy(d, s, 2 * static_cast<std::size_t>(w)); break;
        default:
            for (int x = 0; x < w; ++x, s += 3, d += 3) d[0] = s[2], d[1] = s[1], d[2] = s[0];
            break;
        }
    }
    auto patch32 = [&](std::size_t at, std::size_t v) {
        for (int k = 0; k < 4; ++k) out[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
    };
    patch32(2, out.size());
    if (!os2) patch32(34, out.size() - pixelOffset);
    return out;
}

}  // namespace imaging
