#include "formats/gem_codec.h"

#include <algorithm>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "GEM Image";
constexpr int kMicrons = 265;  // pixel size of a 96 dpi screen

struct Header {
    int headerWords = 0;
    int planes = 0;
    int patternLength = 0;
    long long width = 0;
    long long height = 0;
};

Header readHeader(ByteReader& in) {
    Header h;
    const int version = in.u16be();
    h.headerWords = in.u16be();
    h.planes = in.u16be();
    h.patternLength = in.u16be();
    in.skip(4);  // pixel size in microns
    h.width = in.u16be();
    h.height = in.u16be();
    if (version > 2 || h.headerWords < 8) in.corrupt("not a GEM bit image");
    if (h.patternLength < 1 || h.patternLength > 8) in.corrupt("pattern length of " + std::to_string(h.patternLength));
    if (h.planes != 1) unsupported(kWhere, std::to_string(h.planes) + " planes are not read");
    checkSize(h.width, h.height, kWhere);
    return h;
}

// One scan line: runs of white or black bytes, bit strings, and a vertical replication
// count that repeats the next line.
void encodeLine(const std::uint8_t* row, std::size_t n, ByteWriter& w) {
    std::size_t i = 0;
    while (i < n) {
        if (row[i] == 0x00 || row[i] == 0xFF) {
            std::size_t run = 1;
            while (i + run < n && run < 127 && row[i + run] == row[i]) ++run;
            w.u8((row[i] ? 0x80 : 0x00) | static_cast<unsigned>(run));
            i += run;
            continue;
        }
        std::size_t j = i + 1;
        while (j < n && j - i < 255 && row[j] != 0x00 && row[j] != 0xFF) ++j;
        w.u8(0x80);
        w.u8(static_cast<unsigned>(j - i));
        w.append(ByteView(row + i, j - i));
        i = j;
    }
}

}  // namespace

bool GemCodec::sniff(ByteView data) const {
    if (data.size() < 16) return false;
    ByteReader in(data, kWhere);
    const int version = in.u16be(), words = in.u16be(), planes = in.u16be(), pattern = in.u16be();
    in.skip(4);
    const int width = in.u16be(), height = in.u16be();
    return version >= 1 && version <= 2 && words >= 8 && words <= 64 && planes >= 1 && planes <= 8 && pattern >= 1 &&
           pattern <= 8 && width > 0 && height > 0 && data.size() > static_cast<std::size_t>(words) * 2;
}

ImageInfo GemCodec::readInfo(ByteView data) const {
    ByteReader in(data, kWhere);
    const Header h = readHeader(in);
    return makeInfo(format::GemImage, 1, h.width, h.height, data);
}

Image GemCodec::read(ByteView data, const LoadOptions& options) const {
    ByteReader in(data, kWhere);
    const Header h = readHeader(in);
    in.seek(static_cast<std::size_t>(h.headerWords) * 2);
    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    const std::size_t rowBytes = packedRowBytes(width, 1);
    // Vertical replication lets two header bytes stand for 255 lines.
    checkExpansion(static_cast<std::uint64_t>(rowBytes) * height, in.remaining(),
                   128 * std::max<std::size_t>(rowBytes, 1), kWhere);
    Bitmap bmp(width, height, 1);
    bmp.palette() = {makeRgb(0, 0, 0), makeRgb(255, 255, 255)};
    std::vector<std::uint8_t> line(rowBytes);
    int y = 0;
    while (y < height) {
        int repeat = 1;
        std::size_t o = 0;
        while (o < rowBytes) {
            const std::uint8_t code = in.u8();
            if (code == 0x00) {
                const std::uint8_t count = in.u8();
                if (count == 0) {
                    if (in.u8() != 0xFF) in.corrupt("a broken vertical replication code");
                    repeat = in.u8();
                    if (o != 0) in.corrupt("a vertical replication inside a line");
                    continue;
                }
                ByteView pattern = in.bytes(h.patternLength);
                for (int k = 0; k < count; ++k)
                    for (std::uint8_t b : pattern)
                        if (o < rowBytes) line[o++] = b;
            } else if (code == 0x80) {
                const std::size_t count = in.u8();
                ByteView bits = in.bytes(count);
                const std::size_t take = std::min(count, rowBytes - o);
                std::copy_n(bits.begin(), take, line.begin() + static_cast<std::ptrdiff_t>(o));
                o += take;
            } else {
                const std::size_t take = std::min<std::size_t>(code & 0x7F, rowBytes - o);
                std::fill_n(line.begin() + static_cast<std::ptrdiff_t>(o), take, (code & 0x80) ? 0xFF : 0x00);
                o += take;
            }
        }
        for (int r = 0; r < repeat && y < height; ++r, ++y) {
            unpackRow(line.data(), 1, width, bmp.row(y));
            for (int x = 0; x < width; ++x)
                bmp.row(y)[x] = static_cast<std::uint8_t>(1 - bmp.row(y)[x]);  // set bits are black
        }
    }
    return finishRead(std::move(bmp), format::GemImage, options, kWhere);
}

Bytes GemCodec::write(const Image& image, const SaveOptions& options) const {
    // The format has no palette: the darker entry is written as black, the other as white.
    const Bitmap bmp = bitmapForWrite(image, options, {1}, kWhere);
    const int width = bmp.width(), height = bmp.height();
    if (width > 0x7FFF || height > 0x7FFF)
        fail(ErrorCode::InvalidArgument, std::string(kWhere), "the image is larger than 32767 pixels on a side");
    const std::vector<bool> ink = inkIndices(bmp);
    ByteWriter w;
    w.u16be(1);
    w.u16be(8);
    w.u16be(1);
    w.u16be(2);
    w.u16be(kMicrons);
    w.u16be(kMicrons);
    w.u16be(static_cast<unsigned>(width));
    w.u16be(static_cast<unsigned>(height));

    const std::size_t rowBytes = packedRowBytes(width, 1);
    std::vector<std::vector<std::uint8_t>> rows(static_cast<std::size_t>(height), std::vector<std::uint8_t>(rowBytes));
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(width));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) bits[x] = ink[bmp.row(y)[x]] ? 1 : 0;
        packRow(bits.data(), 1, width, rows[y].data());
    }
    for (int y = 0; y < height;) {
        int same = 1;
        while (y + same < height && same < 255 && rows[y + same] == rows[y]) ++same;
        if (same > 1) {
            w.u8(0);
            w.u8(0);
            w.u8(0xFF);
            w.u8(static_cast<unsigned>(same));
        }
        encodeLine(rows[y].data(), rowBytes, w);
        y += same;
    }
    return w.take();
}

}  // namespace imaging
