#include "formats/tga_codec.h"

#include <algorithm>
#include <cstring>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "TGA";

struct Header {
    int idLength = 0;
    int mapType = 0;
    int imageType = 0;
    int mapFirst = 0;
    int mapLength = 0;
    int mapEntryBits = 0;
    long long width = 0;
    long long height = 0;
    int pixelBits = 0;
    int descriptor = 0;
    bool rle() const { return imageType >= 9; }
    int kind() const { return imageType & 7; }  // 1 mapped, 2 true colour, 3 grey
    int bits = 0;                               // depth of the decoded bitmap
};

Header parseHeader(ByteView data, bool strict) {
    ByteReader in(data, kWhere);
    Header h;
    h.idLength = in.u8();
    h.mapType = in.u8();
    h.imageType = in.u8();
    h.mapFirst = in.u16le();
    h.mapLength = in.u16le();
    h.mapEntryBits = in.u8();
    in.skip(4);  // origin
    h.width = in.u16le();
    h.height = in.u16le();
    h.pixelBits = in.u8();
    h.descriptor = in.u8();
    if (!strict) return h;
    if (h.mapType > 1) in.corrupt("unknown colour map type " + std::to_string(h.mapType));
    const int kind = h.kind();
    if (h.imageType == 0) unsupported(kWhere, "the file holds no image data");
    if (kind < 1 || kind > 3 || (h.imageType > 3 && h.imageType < 9) || h.imageType > 11)
        unsupported(kWhere, "image type " + std::to_string(h.imageType) + " is not read");
    if (h.mapType == 1 && h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 && h.mapEntryBits != 32)
        in.corrupt("colour map entries of " + std::to_string(h.mapEntryBits) + " bits");
    if (kind == 1) {
        if (h.mapType != 1) in.corrupt("a colour-mapped image without a colour map");
        if (h.pixelBits != 8) unsupported(kWhere, "colour-mapped pixels of " + std::to_string(h.pixelBits) + " bits");
        h.bits = 8;
    } else if (kind == 3) {
        if (h.pixelBits != 8 && h.pixelBits != 16)
            unsupported(kWhere, "grey pixels of " + std::to_string(h.pixelBits) + " bits");
        // 16-bit grey is grey and alpha, which only RGBA holds.
        h.bits = h.pixelBits == 16 ? 32 : 8;
    } else {
        if (h.pixelBits == 15 || h.pixelBits == 16) h.bits = 16;
        else if (h.pixelBits == 24) h.bits = 24;
        else if (h.pixelBits == 32) h.bits = 32;
        else unsupported(kWhere, "true-colour pixels of " + std::to_string(h.pixelBits) + " bits");
    }
    checkSize(h.width, h.height, kWhere);
    return h;
}

Rgb mapEntry(const std::uint8_t* p, int entryBits) {
    if (entryBits <= 16) return unpackRgb555(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
    return makeRgb(p[2], p[1], p[0]);
}

// Writes `count` equal pixels or raw pixels per packet; packets never span scan lines.
void encodeRow(const std::uint8_t* row, int width, int bpp, ByteWriter& w) {
    int x = 0;
    auto same = [&](int a, int b) { return std::memcmp(row + a * bpp, row + b * bpp, bpp) == 0; };
    while (x < width) {
        int run = 1;
        while (x + run < width && run < 128 && same(x, x + run)) ++run;
        if (run >= 2) {
            w.u8(0x80 | static_cast<unsigned>(run - 1));
            w.append(ByteView(row + x * bpp, bpp));
            x += run;
            continue;
        }
        int end = x + 1;
        while (end < width && end - x < 128 && !(end + 1 < width && same(end, end + 1))) ++end;
        w.u8(static_cast<unsigned>(end - x - 1));
        w.append(ByteView(row + x * bpp, static_cast<std::size_t>(end - x) * bpp));
        x = end;
    }
}

}  // namespace

bool TgaCodec::sniff(ByteView data) const {
    // No magic number: the header must be self-consistent, and a file with the version 2
    // footer is accepted at once.
    if (data.size() < 18) return false;
    if (data.size() >= 44 && std::memcmp(data.data() + data.size() - 18, "TRUEVISION-XFILE.", 17) == 0) return true;
    const Header h = parseHeader(data, false);
    const int kind = h.imageType & 7;
    if (h.mapType > 1 || kind < 1 || kind > 3 || (h.imageType > 3 && h.imageType < 9) || h.imageType > 11) return false;
    if (h.width == 0 || h.height == 0) return false;
    if (h.mapType == 1 && h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 && h.mapEntryBits != 32)
        return false;
    if (h.mapType == 0 && (h.mapLength != 0 || h.mapEntryBits != 0)) return false;
    if (kind == 1 && (h.mapType != 1 || h.pixelBits != 8)) return false;
    if (kind == 2 && h.pixelBits != 15 && h.pixelBits != 16 && h.pixelBits != 24 && h.pixelBits != 32) return false;
    if (kind == 3 && h.pixelBits != 8 && h.pixelBits != 16) return false;
    if ((h.descriptor & 0xC0) != 0) return false;
    const std::uint64_t need = 18 + h.idLength + static_cast<std::uint64_t>(h.mapLength) * ((h.mapEntryBits + 7) / 8);
    return data.size() > need;
}

ImageInfo TgaCodec::readInfo(ByteView data) const {
    const Header h = parseHeader(data, true);
    return makeInfo(format::Tga, h.bits, h.width, h.height, data);
}

Image TgaCodec::read(ByteView data, const LoadOptions& options) const {
    const Header h = parseHeader(data, true);
    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    ByteReader in(data, kWhere);
    in.seek(18);
    in.skip(h.idLength);

    std::vector<Rgb> map;
    if (h.mapType == 1) {
        const int entryBytes = (h.mapEntryBits + 7) / 8;
        ByteView m = in.bytes(static_cast<std::size_t>(h.mapLength) * entryBytes);
        for (int i = 0; i < h.mapLength; ++i) map.push_back(mapEntry(m.data() + i * entryBytes, h.mapEntryBits));
    }

    const int pixelBytes = (h.pixelBits + 7) / 8;
    const std::size_t total = static_cast<std::size_t>(width) * height;
    checkExpansion(total * pixelBytes, in.remaining(), h.rle() ? 128 : 1, kWhere);
    std::vector<std::uint8_t> pixels(total * pixelBytes);
    if (!h.rle()) {
        ByteView raw = in.bytes(pixels.size());
        std::copy(raw.begin(), raw.end(), pixels.begin());
    } else {
        std::size_t n = 0;
        while (n < total) {
            const int packet = in.u8();
            const std::size_t count = std::min<std::size_t>((packet & 0x7F) + 1, total - n);
            if (packet & 0x80) {
                ByteView px = in.bytes(pixelBytes);
                for (std::size_t i = 0; i < count; ++i)
                    std::copy(px.begin(), px.end(), pixels.begin() + static_cast<std::ptrdiff_t>((n + i) * pixelBytes));
            } else {
                ByteView px = in.bytes(((packet & 0x7F) + 1) * static_cast<std::size_t>(pixelBytes));
                std::copy_n(px.begin(), count * pixelBytes,
                            pixels.begin() + static_cast<std::ptrdiff_t>(n * pixelBytes));
            }
            n += count;
        }
    }

    Bitmap bmp(width, height, h.bits);
    if (h.kind() == 1) {
        // Indices count from the map's first entry; the bitmap's palette starts at index 0.
        std::vector<Rgb> pal(256, 0);
        for (int i = 0; i < h.mapLength; ++i)
            if (h.mapFirst + i < 256) pal[h.mapFirst + i] = map[i];
        bmp.palette() = pal;
    }
    const bool topDown = (h.descriptor & 0x20) != 0;
    const bool rightToLeft = (h.descriptor & 0x10) != 0;
    const bool alpha = h.pixelBits == 32 || (h.kind() == 3 && h.pixelBits == 16);
    const bool greyAlpha = h.kind() == 3 && h.pixelBits == 16;
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const int fileRow = topDown ? y : height - 1 - y;
        const std::uint8_t* src = pixels.data() + static_cast<std::size_t>(fileRow) * width * pixelBytes;
        std::uint8_t* d = bmp.row(y);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p = src + static_cast<std::size_t>(rightToLeft ? width - 1 - x : x) * pixelBytes;
            switch (h.bits) {
            case 8: d[x] = p[0]; break;  // grey with alpha keeps the grey byte
            case 16:
                d[2 * x] = p[0];
                d[2 * x + 1] = static_cast<std::uint8_t>(p[1] & 0x7F);
                break;
            default:
                if (greyAlpha) {
                    d[4 * x] = d[4 * x + 1] = d[4 * x + 2] = p[0];
                    d[4 * x + 3] = p[1];
                    anyAlpha = anyAlpha || p[1] != 0;
                    break;
                }
                d[h.bits / 8 * x] = p[2];
                d[h.bits / 8 * x + 1] = p[1];
                d[h.bits / 8 * x + 2] = p[0];
                if (alpha) {
                    d[4 * x + 3] = p[3];
                    anyAlpha = anyAlpha || p[3] != 0;
                }
            }
        }
    }
    // Files whose descriptor claims no alpha bits and store zero there are opaque.
    if (alpha && (!anyAlpha || (h.descriptor & 0x0F) == 0))
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) bmp.row(y)[4 * x + 3] = 255;
    return finishRead(std::move(bmp), format::Tga, options, kWhere);
}

Bytes TgaCodec::write(const Image& image, const SaveOptions& options) const {
    const Bitmap bmp = bitmapForWrite(image, options, {8, 16, 24, 32}, kWhere);
    const int width = bmp.width(), height = bmp.height();
    if (width > 0xFFFF || height > 0xFFFF)
        fail(ErrorCode::InvalidArgument, std::string(kWhere), "the image is larger than 65535 pixels on a side");
    const bool mapped = bmp.bits() == 8;
    ByteWriter w;
    w.u8(0);
    w.u8(mapped ? 1 : 0);
    w.u8(mapped ? 9 : 10);
    w.u16le(0);
    w.u16le(mapped ? 256 : 0);
    w.u8(mapped ? 24 : 0);
    w.u16le(0);
    w.u16le(0);
    w.u16le(static_cast<unsigned>(width));
    w.u16le(static_cast<unsigned>(height));
    w.u8(mapped ? 8 : static_cast<unsigned>(bmp.bits()));
    // Bottom-up rows as most readers expect; alpha bits counted for 16 (one, unused) and 32.
    w.u8(bmp.bits() == 32 ? 8 : 0);
    if (mapped)
        for (Rgb c : bmp.palette()) {
            w.u8(blueOf(c));
            w.u8(greenOf(c));
            w.u8(redOf(c));
        }
    const int bpp = bmp.bits() / 8;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width) * bpp);
    for (int y = height - 1; y >= 0; --y) {
        const std::uint8_t* s = bmp.row(y);
        for (int x = 0; x < width; ++x) {
            if (bpp <= 2) {
                std::copy_n(s + x * bpp, bpp, row.begin() + x * bpp);
            } else {
                row[bpp * x] = s[bpp * x + 2];
                row[bpp * x + 1] = s[bpp * x + 1];
                row[bpp * x + 2] = s[bpp * x];
                if (bpp == 4) row[4 * x + 3] = s[4 * x + 3];
            }
        }
        encodeRow(row.data(), width, bpp, w);
    }
    // Version 2 footer: no extension or developer area.
    w.u32le(0);
    w.u32le(0);
    w.text("TRUEVISION-XFILE.");
    w.u8(0);
    return w.take();
}

}  // namespace imaging
