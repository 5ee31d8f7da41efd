#include "formats/xwd_codec.h"

#include <algorithm>
#include <bit>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "XWD";
constexpr int kFields = 25;
enum { XYPixmap = 0, XYBitmap = 1, ZPixmap = 2 };
enum { TrueColor = 4, DirectColor = 5 };

struct Header {
    bool bigEndian = true;  // of the header and colour entries
    std::uint32_t f[kFields] = {};
    std::uint32_t headerSize() const { return f[0]; }
    std::uint32_t pixmapFormat() const { return f[2]; }
    std::uint32_t depth() const { return f[3]; }
    long long width() const { return f[4]; }
    long long height() const { return f[5]; }
    bool lsbBytes() const { return f[7] == 0; }
    std::uint32_t unit() const { return f[8]; }
    bool lsbBits() const { return f[9] == 0; }
    std::uint32_t bitsPerPixel() const { return f[11]; }
    std::uint32_t bytesPerLine() const { return f[12]; }
    std::uint32_t visualClass() const { return f[13]; }
    std::uint32_t mask(int i) const { return f[14 + i]; }
    std::uint32_t colours() const { return f[19]; }
    int bits = 0;  // decoded depth
};

std::uint32_t word(ByteView d, std::size_t at, bool big) {
    const std::uint8_t* p = d.data() + at;
    return big ? (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]
               : (static_cast<std::uint32_t>(p[3]) << 24) | (p[2] << 16) | (p[1] << 8) | p[0];
}

// Dumps are written in the byte order of the machine that made them; version 7 tells which.
Header readHeader(ByteView data) {
    if (data.size() < kFields * 4) fail(ErrorCode::Truncated, std::string(kWhere), "the file ends inside the header");
    Header h;
    if (word(data, 4, true) != 7) {
        if (word(data, 4, false) != 7) corrupt(kWhere, "not a version 7 window dump");
        h.bigEndian = false;
    }
    for (int i = 0; i < kFields; ++i) h.f[i] = word(data, 4 * i, h.bigEndian);
    if (h.headerSize() < kFields * 4 || h.headerSize() > data.size())
        fail(ErrorCode::Truncated, std::string(kWhere), "the header is longer than the file");
    checkSize(h.width(), h.height(), kWhere);
    const std::uint32_t bpp = h.bitsPerPixel();
    if (h.pixmapFormat() == ZPixmap) {
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
            unsupported(kWhere, std::to_string(bpp) + " bits per pixel are not read");
        const bool masked = h.visualClass() == TrueColor || h.visualClass() == DirectColor;
        h.bits = bpp > 8 || (masked && bpp == 8) ? 24 : static_cast<int>(bpp);
        if (h.bits == 24 && (h.mask(0) == 0 || h.mask(1) == 0 || h.mask(2) == 0))
            corrupt(kWhere, "direct colour without masks");
    } else if ((h.pixmapFormat() == XYBitmap || h.pixmapFormat() == XYPixmap) && h.depth() == 1) {
        h.bits = 1;
    } else {
        unsupported(kWhere, "plane-by-plane pixmaps are not read");
    }
    const int unitBits = h.bits == 1 || bpp == 1 ? static_cast<int>(h.unit()) : 8;
    if (unitBits != 8 && unitBits != 16 && unitBits != 32)
        corrupt(kWhere, "a bitmap unit of " + std::to_string(unitBits));
    const std::uint64_t needRow =
        h.bits == 1 || bpp == 1 ? (static_cast<std::uint64_t>(h.width()) + unitBits - 1) / unitBits * (unitBits / 8)
                                : (static_cast<std::uint64_t>(h.width()) * bpp + 7) / 8;
    if (h.bytesPerLine() < needRow) corrupt(kWhere, "lines shorter than the image");
    return h;
}

int channel(std::uint32_t v, std::uint32_t mask) {
    const int shift = std::countr_zero(mask);
    const std::uint32_t max = mask >> shift;
    return static_cast<int>((static_cast<std::uint64_t>((v & mask) >> shift) * 255 + max / 2) / max);
}

}  // namespace

bool XwdCodec::sniff(ByteView data) const {
    if (data.size() < kFields * 4) return false;
    for (bool big : {true, false})
        if (word(data, 4, big) == 7) {
            const std::uint32_t size = word(data, 0, big), format = word(data, 8, big);
            return size >= kFields * 4 && size < 65536 && format <= 2;
        }
    return false;
}

ImageInfo XwdCodec::readInfo(ByteView data) const {
    const Header h = readHeader(data);
    return makeInfo(format::Xwd, h.bits, h.width(), h.height(), data);
}

Image XwdCodec::read(ByteView data, const LoadOptions& options) const {
    const Header h = readHeader(data);
    const int width = static_cast<int>(h.width()), height = static_cast<int>(h.height());
    ByteReader in(data, kWhere);
    in.seek(h.headerSize());
    if (static_cast<std::uint64_t>(h.colours()) * 12 > in.remaining()) in.truncated();
    std::vector<Rgb> palette(h.bits <= 8 ? std::size_t{1} << h.bits : 0, 0);
    for (std::uint32_t i = 0; i < h.colours(); ++i) {
        const std::size_t at = in.pos();
        in.skip(12);
        const std::uint32_t pixel = word(data, at, h.bigEndian);
        const auto c16 = [&](std::size_t o) { return h.bigEndian ? data[at + o] : data[at + o + 1]; };
        if (pixel < palette.size()) palette[pixel] = makeRgb(c16(4), c16(6), c16(8));
    }
    const std::size_t line = h.bytesPerLine();
    if (static_cast<std::uint64_t>(line) * height > in.remaining()) in.truncated();
    const std::uint8_t* pixels = data.data() + in.pos();

    Bitmap bmp(width, height, h.bits);
    if (h.bits <= 8) {
        if (h.colours() > 0) bmp.palette() = palette;
    }
    const std::uint32_t bpp = h.bitsPerPixel();
    const int unitBytes = static_cast<int>(h.unit()) / 8;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* s = pixels + static_cast<std::size_t>(y) * line;
        std::uint8_t* d = bmp.row(y);
        for (int x = 0; x < width; ++x) {
            if (h.bits == 1 || bpp == 1) {
                // Bits come in units of 8, 16 or 32 bits stored in the image's byte order.
                const int unitBits = unitBytes * 8;
                const std::uint8_t* u = s + static_cast<std::size_t>(x / unitBits) * unitBytes;
                std::uint32_t v = 0;
                for (int b = 0; b < unitBytes; ++b)
                    v |= static_cast<std::uint32_t>(u[h.lsbBytes() ? b : unitBytes - 1 - b]) << (8 * b);
                const int p = x % unitBits;
                d[x] = static_cast<std::uint8_t>((v >> (h.lsbBits() ? p : unitBits - 1 - p)) & 1);
            } else if (bpp == 4) {
                const std::uint8_t b = s[x / 2];
                d[x] = static_cast<std::uint8_t>((x & 1) == (h.lsbBytes() ? 1 : 0) ? b >> 4 : b & 15);
            } else if (h.bits == 8) {
                d[x] = s[x];
            } else {
                const int n = static_cast<int>(bpp / 8);
                const std::uint8_t* p = s + static_cast<std::size_t>(x) * n;
                std::uint32_t v = 0;
                for (int b = 0; b < n; ++b) v |= static_cast<std::uint32_t>(p[h.lsbBytes() ? b : n - 1 - b]) << (8 * b);
                d[3 * x] = static_cast<std::uint8_t>(channel(v, h.mask(0)));
                d[3 * x + 1] = static_cast<std::uint8_t>(channel(v, h.mask(1)));
                d[3 * x + 2] = static_cast<std::uint8_t>(channel(v, h.mask(2)));
            }
        }
    }
    return finishRead(std::move(bmp), format::Xwd, options, kWhere);
}

}  // namespace imaging
