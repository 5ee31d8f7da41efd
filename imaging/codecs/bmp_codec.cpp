#include "codecs/bmp_codec.h"

#include <algorithm>
#include <cstring>

#include "codecs/codec_support.h"
#include "formats/dib.h"

namespace imaging {
namespace {

constexpr const char* kWhere = "BMP";

enum Compression : std::uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2 };

std::size_t strideOf(int width, int bits) { return ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4; }

struct FileHeader {
    fio::DibHeader dib;
    fio::DibOptions options;
    ByteView dibData;
};

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// A DIB without the file header, as the clipboard and ".dib" files carry it: a Windows header
// of a known size, one plane, a valid depth and compression.
bool isHeaderlessDib(ByteView data) {
    if (data.size() < 40) return false;
    const std::uint32_t size = le32(data.data());
    if (size != 40 && size != 52 && size != 56 && size != 108 && size != 124) return false;
    const int planes = data[12] | (data[13] << 8), bits = data[14] | (data[15] << 8);
    const std::uint32_t compression = le32(data.data() + 16);
    return planes == 1 && (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32) &&
           (compression <= 3 || compression == 6) && data.size() > size;
}

FileHeader parseHeader(ByteView data) {
    if (isHeaderlessDib(data)) {
        // The rows follow the colour table (and a 40-byte header's masks) directly.
        FileHeader f;
        f.dibData = data;
        f.options.keep32 = true;
        f.dib = fio::readDibHeader(f.dibData, kWhere, f.options);
        return f;
    }
    codec::ByteReader in(data, kWhere);
    if (in.u16le() != 0x4D42) fail(ErrorCode::UnknownFormat, kWhere, "no BMP signature");
    in.skip(8);
    const std::uint32_t offBits = in.u32le();
    FileHeader f;
    f.dibData = data.subspan(14);
    // 32-bit files keep their depth, opaque unless they have an alpha mask.
    f.options.keep32 = true;
    f.options.pixelOffset = offBits >= 14 ? offBits - 14 : 0;
    f.dib = fio::readDibHeader(f.dibData, kWhere, f.options);
    return f;
}

int formatOf(const fio::DibHeader& h) {
    return h.os2 ? format::BmpOs2 : h.runLength() ? format::BmpRle : format::BmpWindows;
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
    if (isHeaderlessDib(data)) return true;
    if (data.size() < 18 || data[0] != 'B' || data[1] != 'M') return false;
    const std::uint32_t headerSize = data[14] | (data[15] << 8) | (data[16] << 16) | (static_cast<std::uint32_t>(data[17]) << 24);
    return headerSize == 12 || (headerSize >= 16 && headerSize <= 124);
}

ImageInfo BmpCodec::readInfo(ByteView data) const {
    const fio::DibHeader h = parseHeader(data).dib;
    ImageInfo info;
    info.format = formatOf(h);
    info.width = static_cast<int>(h.width);
    info.height = static_cast<int>(h.height);
    info.bits = h.bitmapBits;
    info.fileSize = data.size();
    info.memorySize = codec::memorySizeOf(info.width, info.height, info.bits);
    return info;
}

Image BmpCodec::read(ByteView data, const LoadOptions& options) const {
    codec::pageRange(1, options, kWhere);
    const FileHeader f = parseHeader(data);
    Bitmap bitmap = fio::readDib(f.dibData, kWhere, f.options);
    codec::convertForLoad(bitmap, options.bits, kWhere);
    return Image::fromBitmap(std::move(bitmap), formatOf(f.dib));
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
