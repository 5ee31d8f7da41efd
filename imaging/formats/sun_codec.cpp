#include "formats/sun_codec.h"

#include <algorithm>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "SUN Raster";
constexpr std::uint32_t kMagic = 0x59A66A95;
constexpr std::uint32_t kTypeOld = 0, kTypeStandard = 1, kTypeRle = 2, kTypeRgb = 3;

struct Header {
    long long width = 0;
    long long height = 0;
    int depth = 0;
    std::uint32_t length = 0;
    std::uint32_t type = 0;
    std::uint32_t mapType = 0;
    std::uint32_t mapLength = 0;
    int bits = 0;  // decoded depth
    std::size_t rowBytes() const { return ((static_cast<std::size_t>(width) * depth + 15) / 16) * 2; }
};

Header readHeader(ByteView data) {
    ByteReader in(data, kWhere);
    if (in.u32be() != kMagic) in.corrupt("not a Sun raster file");
    Header h;
    h.width = in.u32be();
    h.height = in.u32be();
    h.depth = static_cast<int>(in.u32be());
    h.length = in.u32be();
    h.type = in.u32be();
    h.mapType = in.u32be();
    h.mapLength = in.u32be();
    if (h.type != kTypeOld && h.type != kTypeStandard && h.type != kTypeRle && h.type != kTypeRgb)
        unsupported(kWhere, "raster type " + std::to_string(h.type) + " is not read");
    if (h.mapType > 1) unsupported(kWhere, "colour map type " + std::to_string(h.mapType) + " is not read");
    if (h.mapType == 1 && (h.mapLength % 3 != 0 || h.mapLength > 3 * 256)) in.corrupt("colour map of odd length");
    switch (h.depth) {
    case 1: h.bits = 1; break;
    case 8: h.bits = 8; break;
    case 24: h.bits = 24; break;
    case 32: h.bits = 32; break;
    default: unsupported(kWhere, std::to_string(h.depth) + " bits per pixel are not read");
    }
    checkSize(h.width, h.height, kWhere);
    return h;
}

void encodeRle(const std::vector<std::uint8_t>& src, ByteWriter& w) {
    std::size_t i = 0;
    while (i < src.size()) {
        std::size_t run = 1;
        while (i + run < src.size() && run < 256 && src[i + run] == src[i]) ++run;
        if (src[i] == 0x80 && run == 1) {
            // 0x80 is the escape byte: a lone one is written as 0x80 0x00.
            w.u8(0x80);
            w.u8(0);
        } else if (run >= 3 || src[i] == 0x80) {
            w.u8(0x80);
            w.u8(static_cast<unsigned>(run - 1));
            w.u8(src[i]);
        } else {
            for (std::size_t k = 0; k < run; ++k) w.u8(src[i]);
        }
        i += run;
    }
}

bool isBlackWhite(const std::vector<Rgb>& pal) {
    return pal.size() == 2 && pal[0] == makeRgb(0, 0, 0) && pal[1] == makeRgb(255, 255, 255);
}

}  // namespace

bool SunCodec::sniff(ByteView data) const {
    return data.size() >= 32 && data[0] == 0x59 && data[1] == 0xA6 && data[2] == 0x6A && data[3] == 0x95;
}

ImageInfo SunCodec::readInfo(ByteView data) const {
    const Header h = readHeader(data);
    return makeInfo(format::SunRaster, h.bits, h.width, h.height, data);
}

Image SunCodec::read(ByteView data, const LoadOptions& options) const {
    const Header h = readHeader(data);
    ByteReader in(data, kWhere);
    in.seek(32);
    std::vector<Rgb> map;
    if (h.mapType == 1 && h.mapLength > 0) {
        ByteView m = in.bytes(h.mapLength);
        const std::size_t n = h.mapLength / 3;
        for (std::size_t i = 0; i < n; ++i) map.push_back(makeRgb(m[i], m[n + i], m[2 * n + i]));
    } else {
        in.skip(h.mapLength);
    }
    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    const std::size_t rowBytes = h.rowBytes();
    const std::uint64_t total = static_cast<std::uint64_t>(rowBytes) * height;
    checkExpansion(total, in.remaining(), h.type == kTypeRle ? 128 : 1, kWhere);
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(total));
    if (h.type != kTypeRle) {
        ByteView px = in.bytes(raw.size());
        std::copy(px.begin(), px.end(), raw.begin());
    } else {
        std::size_t o = 0;
        while (o < raw.size()) {
            const std::uint8_t b = in.u8();
            if (b != 0x80) {
                raw[o++] = b;
                continue;
            }
            const std::size_t count = in.u8();
            if (count == 0) {
                raw[o++] = 0x80;
                continue;
            }
            const std::uint8_t v = in.u8();
            const std::size_t take = std::min(count + 1, raw.size() - o);
            std::fill_n(raw.begin() + static_cast<std::ptrdiff_t>(o), take, v);
            o += take;
        }
    }

    Bitmap bmp(width, height, h.bits);
    const bool rgbOrder = h.type == kTypeRgb;
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* s = raw.data() + static_cast<std::size_t>(y) * rowBytes;
        std::uint8_t* d = bmp.row(y);
        switch (h.bits) {
        case 1:
            unpackRow(s, 1, width, d);
            // Without a colour map a set bit is ink; the bitmap keeps black first.
            if (map.size() < 2)
                for (int x = 0; x < width; ++x) d[x] = static_cast<std::uint8_t>(1 - d[x]);
            break;
        case 8: std::copy_n(s, width, d); break;
        case 24:
            for (int x = 0; x < width; ++x) {
                d[3 * x] = s[3 * x + (rgbOrder ? 0 : 2)];
                d[3 * x + 1] = s[3 * x + 1];
                d[3 * x + 2] = s[3 * x + (rgbOrder ? 2 : 0)];
            }
            break;
        default:
            for (int x = 0; x < width; ++x) {
                d[4 * x] = s[4 * x + (rgbOrder ? 1 : 3)];
                d[4 * x + 1] = s[4 * x + 2];
                d[4 * x + 2] = s[4 * x + (rgbOrder ? 3 : 1)];
                d[4 * x + 3] = s[4 * x];
                anyAlpha = anyAlpha || s[4 * x] != 0;
            }
        }
    }
    if (h.bits == 32 && !anyAlpha)
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) bmp.row(y)[4 * x + 3] = 255;
    if (h.bits <= 8 && !map.empty()) {
        map.resize(std::min(map.size(), std::size_t{1} << h.bits));
        bmp.palette() = paddedPalette(std::move(map), h.bits);
    }
    return finishRead(std::move(bmp), format::SunRaster, options, kWhere);
}

Bytes SunCodec::write(const Image& image, const SaveOptions& options) const {
    // The format has no 4-bit layout: 2 to 7 bits are stored as 8 bits with a colour map of
    // just their 2^bits entries, read back as 8 bits with the map padded to 256 entries.
    Bitmap bmp = bitmapForWrite(image, options, {1, 8, 24, 32}, kWhere);
    const int requested = options.bits ? options.bits : image.first().bits();
    const int mapBits = bmp.bits() == 8 && requested < 8 ? requested : bmp.bits();
    const int width = bmp.width(), height = bmp.height();
    const bool monochrome = bmp.bits() == 1 && isBlackWhite(bmp.palette());

    Header h;
    h.width = width;
    h.height = height;
    h.depth = bmp.bits();
    const std::size_t rowBytes = h.rowBytes();
    std::vector<std::uint8_t> raw(rowBytes * height, 0);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* d = raw.data() + static_cast<std::size_t>(y) * rowBytes;
        const std::uint8_t* s = bmp.row(y);
        switch (bmp.bits()) {
        case 1: {
            std::vector<std::uint8_t> bits(s, s + width);
            if (monochrome)
                for (auto& b : bits) b = static_cast<std::uint8_t>(1 - b);
            packRow(bits.data(), 1, width, d);
            break;
        }
        case 8: std::copy_n(s, width, d); break;
        case 24:
            for (int x = 0; x < width; ++x) {
                d[3 * x] = s[3 * x + 2];
                d[3 * x + 1] = s[3 * x + 1];
                d[3 * x + 2] = s[3 * x];
            }
            break;
        default:
            for (int x = 0; x < width; ++x) {
                d[4 * x] = s[4 * x + 3];
                d[4 * x + 1] = s[4 * x + 2];
                d[4 * x + 2] = s[4 * x + 1];
                d[4 * x + 3] = s[4 * x];
            }
        }
    }
    ByteWriter body;
    encodeRle(raw, body);

    const std::size_t mapEntries = bmp.isIndexed() && !monochrome ? (std::size_t{1} << mapBits) : 0;
    ByteWriter w;
    w.u32be(kMagic);
    w.u32be(static_cast<std::uint32_t>(width));
    w.u32be(static_cast<std::uint32_t>(height));
    w.u32be(static_cast<std::uint32_t>(bmp.bits()));
    w.u32be(static_cast<std::uint32_t>(body.size()));
    w.u32be(kTypeRle);
    w.u32be(mapEntries ? 1 : 0);
    w.u32be(static_cast<std::uint32_t>(mapEntries * 3));
    for (int c = 0; c < 3; ++c)
        for (std::size_t i = 0; i < mapEntries; ++i) {
            const Rgb rgb = bmp.palette()[i];
            w.u8(c == 0 ? redOf(rgb) : (c == 1 ? greenOf(rgb) : blueOf(rgb)));
        }
    w.append(body.bytes());
    return w.take();
}

}  // namespace imaging
