#include "formats/pcx_codec.h"

#include <algorithm>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "PCX";
constexpr std::size_t kHeaderSize = 128;

// The palette of EGA cards, for 16-colour files that leave the header palette empty.
constexpr Rgb kEgaPalette[16] = {
    makeRgb(0, 0, 0),     makeRgb(0, 0, 170),    makeRgb(0, 170, 0),    makeRgb(0, 170, 170),
    makeRgb(170, 0, 0),   makeRgb(170, 0, 170),  makeRgb(170, 85, 0),   makeRgb(170, 170, 170),
    makeRgb(85, 85, 85),  makeRgb(85, 85, 255),  makeRgb(85, 255, 85),  makeRgb(85, 255, 255),
    makeRgb(255, 85, 85), makeRgb(255, 85, 255), makeRgb(255, 255, 85), makeRgb(255, 255, 255)};

struct Header {
    int version = 0;
    int encoding = 0;
    int bitsPerPlane = 0;
    long long width = 0;
    long long height = 0;
    int planes = 0;
    std::size_t bytesPerLine = 0;
    Rgb headerPalette[16] = {};
    int bits = 0;  // depth of the decoded bitmap
};

Header readHeader(ByteView data) {
    ByteReader in(data, kWhere);
    if (data.size() < kHeaderSize) in.truncated();
    Header h;
    if (in.u8() != 0x0A) in.corrupt("not a PCX file");
    h.version = in.u8();
    h.encoding = in.u8();
    h.bitsPerPlane = in.u8();
    const int xmin = in.u16le(), ymin = in.u16le(), xmax = in.u16le(), ymax = in.u16le();
    in.skip(4);
    for (auto& c : h.headerPalette) {
        const int r = in.u8(), g = in.u8(), b = in.u8();
        c = makeRgb(r, g, b);
    }
    in.u8();
    h.planes = in.u8();
    h.bytesPerLine = in.u16le();
    if (h.encoding > 1) in.corrupt("unknown encoding " + std::to_string(h.encoding));
    h.width = static_cast<long long>(xmax) - xmin + 1;
    h.height = static_cast<long long>(ymax) - ymin + 1;
    checkSize(h.width, h.height, kWhere);
    const int bpp = h.bitsPerPlane, planes = h.planes;
    if (bpp == 1 && planes >= 1 && planes <= 4) h.bits = planes;
    else if ((bpp == 2 || bpp == 4 || bpp == 8) && planes == 1) h.bits = bpp;
    else if (bpp == 8 && (planes == 3 || planes == 4)) h.bits = 24;
    else unsupported(kWhere, std::to_string(planes) + " planes of " + std::to_string(bpp) + " bits are not read");
    if (h.bytesPerLine < packedRowBytes(static_cast<int>(h.width), bpp))
        in.corrupt("scan lines shorter than the image");
    return h;
}

void encodeLine(const std::uint8_t* src, std::size_t n, ByteWriter& w) {
    std::size_t i = 0;
    while (i < n) {
        std::size_t run = 1;
        while (i + run < n && run < 63 && src[i + run] == src[i]) ++run;
        if (run > 1 || src[i] >= 0xC0) w.u8(0xC0 | static_cast<unsigned>(run));
        w.u8(src[i]);
        i += run;
    }
}

}  // namespace

bool PcxCodec::sniff(ByteView data) const {
    if (data.size() < kHeaderSize || data[0] != 0x0A || data[1] > 5 || data[2] > 1) return false;
    const int bpp = data[3], planes = data[65];
    if (!((bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8) && planes >= 1 && planes <= 4)) return false;
    // The window and the line length must agree, which other formats' headers rarely do by chance.
    const int xmin = data[4] | (data[5] << 8), xmax = data[8] | (data[9] << 8);
    const int ymin = data[6] | (data[7] << 8), ymax = data[10] | (data[11] << 8);
    const std::size_t bytesPerLine = data[66] | (data[67] << 8);
    return xmax >= xmin && ymax >= ymin && bytesPerLine >= packedRowBytes(xmax - xmin + 1, bpp);
}

ImageInfo PcxCodec::readInfo(ByteView data) const {
    const Header h = readHeader(data);
    return makeInfo(format::Pcx, h.bits == 24 ? 24 : h.bits, h.width, h.height, data);
}

Image PcxCodec::read(ByteView data, const LoadOptions& options) const {
    const Header h = readHeader(data);
    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    const std::size_t lineBytes = h.bytesPerLine * h.planes;
    const std::uint64_t total = static_cast<std::uint64_t>(lineBytes) * height;
    checkExpansion(total, data.size() - kHeaderSize, h.encoding ? 32 : 1, kWhere);

    // Runs may cross plane and line boundaries in files of some writers, so the whole
    // picture is one stream; a run is cut at the end of the picture.
    std::vector<std::uint8_t> planar(static_cast<std::size_t>(total));
    ByteReader in(data, kWhere);
    in.seek(kHeaderSize);
    std::size_t o = 0;
    if (h.encoding == 0) {
        ByteView raw = in.bytes(planar.size());
        std::copy(raw.begin(), raw.end(), planar.begin());
        o = planar.size();
    }
    while (o < planar.size()) {
        std::uint8_t b = in.u8();
        std::size_t count = 1;
        if ((b & 0xC0) == 0xC0) {
            count = b & 0x3F;
            b = in.u8();
        }
        count = std::min(count, planar.size() - o);
        std::fill_n(planar.begin() + static_cast<std::ptrdiff_t>(o), count, b);
        o += count;
    }

    Bitmap bmp(width, height, h.bits);
    std::vector<std::uint8_t> unpacked(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* line = planar.data() + static_cast<std::size_t>(y) * lineBytes;
        std::uint8_t* d = bmp.row(y);
        if (h.bits == 24) {
            for (int c = 0; c < 3; ++c)
                for (int x = 0; x < width; ++x) d[3 * x + c] = line[c * h.bytesPerLine + x];
        } else if (h.bitsPerPlane == 1 && h.planes > 1) {
            std::fill_n(d, width, 0);
            for (int p = 0; p < h.planes; ++p) {
                unpackRow(line + p * h.bytesPerLine, 1, width, unpacked.data());
                for (int x = 0; x < width; ++x) d[x] = static_cast<std::uint8_t>(d[x] | (unpacked[x] << p));
            }
        } else {
            unpackRow(line, h.bitsPerPlane, width, d);
        }
    }

    if (h.bits == 8) {
        // The 256-colour palette follows a 12 at the very end of the file.
        if (data.size() >= kHeaderSize + 769 && data[data.size() - 769] == 0x0C) {
            const std::uint8_t* p = data.data() + data.size() - 768;
            for (int i = 0; i < 256; ++i) bmp.palette()[i] = makeRgb(p[3 * i], p[3 * i + 1], p[3 * i + 2]);
        }
    } else if (h.bits == 1) {
        // Monochrome files often leave the header palette zero: then they are black on white.
        if (h.headerPalette[0] != h.headerPalette[1]) bmp.palette() = {h.headerPalette[0], h.headerPalette[1]};
    } else if (h.bits <= 4) {
        const bool empty =
            std::all_of(std::begin(h.headerPalette), std::end(h.headerPalette), [](Rgb c) { return c == 0; });
        const int n = 1 << h.bits;
        for (int i = 0; i < n; ++i) bmp.palette()[i] = empty ? kEgaPalette[i] : h.headerPalette[i];
    }
    return finishRead(std::move(bmp), format::Pcx, options, kWhere);
}

Bytes PcxCodec::write(const Image& image, const SaveOptions& options) const {
    const Bitmap bmp = bitmapForWrite(image, options, {1, 4, 8, 24}, kWhere);
    const int width = bmp.width(), height = bmp.height();
    const int bpp = bmp.bits() == 1 || bmp.bits() == 4 ? 1 : 8;
    const int planes = bmp.bits() == 4 ? 4 : (bmp.bits() == 24 ? 3 : 1);
    std::size_t bpl = packedRowBytes(width, bpp);
    bpl += bpl & 1;  // lines are an even number of bytes
    if (width > 0xFFFF || height > 0xFFFF || bpl > 0xFFFF)
        fail(ErrorCode::InvalidArgument, std::string(kWhere), "the image is larger than 65535 pixels on a side");

    ByteWriter w;
    w.u8(0x0A);
    w.u8(5);
    w.u8(1);
    w.u8(static_cast<unsigned>(bpp));
    w.u16le(0);
    w.u16le(0);
    w.u16le(static_cast<unsigned>(width - 1));
    w.u16le(static_cast<unsigned>(height - 1));
    w.u16le(72);
    w.u16le(72);
    for (int i = 0; i < 16; ++i) {
        const Rgb c = bmp.bits() <= 4 && i < (1 << bmp.bits()) ? bmp.palette()[i] : 0;
        w.u8(redOf(c));
        w.u8(greenOf(c));
        w.u8(blueOf(c));
    }
    w.u8(0);
    w.u8(static_cast<unsigned>(planes));
    w.u16le(static_cast<unsigned>(bpl));
    w.u16le(bmp.bits() == 8 && isGreyRamp(bmp.palette()) ? 2 : 1);
    w.fill(kHeaderSize - w.size(), 0);

    std::vector<std::uint8_t> plane(bpl), bits(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* s = bmp.row(y);
        for (int p = 0; p < planes; ++p) {
            std::fill(plane.begin(), plane.end(), 0);
            if (bmp.bits() == 24) {
                for (int x = 0; x < width; ++x) plane[x] = s[3 * x + p];
            } else if (bmp.bits() == 4) {
                for (int x = 0; x < width; ++x) bits[x] = static_cast<std::uint8_t>((s[x] >> p) & 1);
                packRow(bits.data(), 1, width, plane.data());
            } else {
                packRow(s, bmp.bits(), width, plane.data());
            }
            encodeLine(plane.data(), bpl, w);
        }
    }
    if (bmp.bits() == 8) {
        w.u8(0x0C);
        for (Rgb c : bmp.palette()) {
            w.u8(redOf(c));
            w.u8(greenOf(c));
            w.u8(blueOf(c));
        }
    }
    return w.take();
}

}  // namespace imaging
