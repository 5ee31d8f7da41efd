#include "formats/wpg_codec.h"

#include <algorithm>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "WPG";
constexpr int kRecColourMap = 0x0E;
constexpr int kRecStart = 0x0F;
constexpr int kRecEnd = 0x10;
constexpr int kRecBitmap1 = 0x0B;
constexpr int kRecBitmap2 = 0x14;
constexpr int kResolution = 96;

constexpr Rgb kEgaPalette[16] = {
    makeRgb(0, 0, 0),     makeRgb(0, 0, 170),    makeRgb(0, 170, 0),    makeRgb(0, 170, 170),
    makeRgb(170, 0, 0),   makeRgb(170, 0, 170),  makeRgb(170, 85, 0),   makeRgb(170, 170, 170),
    makeRgb(85, 85, 85),  makeRgb(85, 85, 255),  makeRgb(85, 255, 85),  makeRgb(85, 255, 255),
    makeRgb(255, 85, 85), makeRgb(255, 85, 255), makeRgb(255, 255, 85), makeRgb(255, 255, 255)};

std::uint32_t readLength(ByteReader& in) {
    const std::uint32_t first = in.u8();
    if (first != 0xFF) return first;
    const std::uint32_t word = in.u16le();
    if (!(word & 0x8000)) return word;
    return ((word & 0x7FFF) << 16) | in.u16le();
}

void writeRecord(ByteWriter& w, int type, const Bytes& body) {
    w.u8(static_cast<unsigned>(type));
    const std::size_t n = body.size();
    if (n < 0xFF) {
        w.u8(static_cast<unsigned>(n));
    } else if (n < 0x8000) {
        w.u8(0xFF);
        w.u16le(static_cast<unsigned>(n));
    } else {
        w.u8(0xFF);
        w.u16le(static_cast<unsigned>(0x8000 | (n >> 16)));
        w.u16le(static_cast<unsigned>(n & 0xFFFF));
    }
    w.append(body);
}

struct BitmapRecord {
    long long width = 0;
    long long height = 0;
    int depth = 0;
    ByteView data;
};

struct Picture {
    std::vector<Rgb> palette;  // as far as colour maps set it
    BitmapRecord bitmap;
};

Picture parse(ByteView data) {
    ByteReader in(data, kWhere);
    if (in.u32le() != 0x435057FF) in.corrupt("not a WordPerfect graphics file");
    const std::uint32_t offset = in.u32le();
    const int product = in.u8(), type = in.u8(), major = in.u8();
    in.u8();
    const int encrypted = in.u16le();
    if (product != 1 || type != 0x16) in.corrupt("not a WordPerfect graphics file");
    if (major != 1) unsupported(kWhere, "version " + std::to_string(major) + " files are not read");
    if (encrypted) unsupported(kWhere, "encrypted files are not read");
    in.seek(offset);
    Picture pic;
    while (!in.atEnd()) {
        const int rec = in.u8();
        const std::uint32_t length = readLength(in);
        ByteReader body = in.sub(length);
        if (rec == kRecEnd) break;
        if (rec == kRecColourMap) {
            const int first = body.u16le(), count = body.u16le();
            if (first + count > 256) body.corrupt("colour map beyond 256 entries");
            if (pic.palette.size() < static_cast<std::size_t>(first + count)) pic.palette.resize(first + count, 0);
            for (int i = 0; i < count; ++i) {
                const int r = body.u8(), g = body.u8(), b = body.u8();
                pic.palette[first + i] = makeRgb(r, g, b);
            }
        } else if (rec == kRecBitmap1 || rec == kRecBitmap2) {
            if (rec == kRecBitmap2) body.skip(10);  // rotation and placement
            BitmapRecord& b = pic.bitmap;
            b.width = body.u16le();
            b.height = body.u16le();
            b.depth = body.u16le();
            body.skip(4);  // resolution
            if (b.depth != 1 && b.depth != 2 && b.depth != 4 && b.depth != 8)
                unsupported(kWhere, "bitmaps of " + std::to_string(b.depth) + " bits are not read");
            checkSize(b.width, b.height, kWhere);
            b.data = body.bytes(body.remaining());
            return pic;
        }
    }
    corrupt(kWhere, "the file holds no bitmap");
}

void encodeRow(const std::uint8_t* row, std::size_t n, ByteWriter& w) {
    std::size_t i = 0;
    while (i < n) {
        std::size_t run = 1;
        while (i + run < n && run < 127 && row[i + run] == row[i]) ++run;
        if (run >= 2) {
            w.u8(0x80 | static_cast<unsigned>(run));
            w.u8(row[i]);
            i += run;
            continue;
        }
        std::size_t j = i + 1;
        while (j < n && j - i < 127 && !(j + 1 < n && row[j] == row[j + 1])) ++j;
        w.u8(static_cast<unsigned>(j - i));
        w.append(ByteView(row + i, j - i));
        i = j;
    }
}

}  // namespace

bool WpgCodec::sniff(ByteView data) const {
    return data.size() >= 16 && data[0] == 0xFF && data[1] == 'W' && data[2] == 'P' && data[3] == 'C';
}

ImageInfo WpgCodec::readInfo(ByteView data) const {
    const Picture pic = parse(data);
    return makeInfo(format::Wpg, pic.bitmap.depth, pic.bitmap.width, pic.bitmap.height, data);
}

Image WpgCodec::read(ByteView data, const LoadOptions& options) const {
    const Picture pic = parse(data);
    const BitmapRecord& b = pic.bitmap;
    const int width = static_cast<int>(b.width), height = static_cast<int>(b.height);
    const std::size_t rowBytes = packedRowBytes(width, b.depth);
    // A two-byte "repeat the last line 255 times" code makes any ratio possible in
    // principle, but no honest file needs more than this per input byte.
    checkExpansion(static_cast<std::uint64_t>(rowBytes) * height, b.data.size(),
                   std::max<std::uint64_t>(128, rowBytes * 128), kWhere);
    std::vector<std::uint8_t> out(rowBytes * height);
    ByteReader in(b.data, kWhere);
    std::size_t o = 0;
    const std::size_t total = out.size();
    while (o < total) {
        const std::uint8_t code = in.u8();
        std::size_t count = code & 0x7F;
        if (code & 0x80) {
            std::uint8_t value;
            if (count == 0) {
                count = in.u8();
                value = 0xFF;
            } else {
                value = in.u8();
            }
            count = std::min(count, total - o);
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(o), count, value);
            o += count;
        } else if (count == 0) {
            // Repeat the previous scan line; only sensible at the start of a line.
            const std::size_t times = in.u8();
            if (o % rowBytes != 0 || o == 0) in.corrupt("a line repeat in the middle of a line");
            for (std::size_t t = 0; t < times && o < total; ++t, o += rowBytes)
                std::copy_n(out.begin() + static_cast<std::ptrdiff_t>(o - rowBytes), rowBytes,
                            out.begin() + static_cast<std::ptrdiff_t>(o));
        } else {
            ByteView lit = in.bytes(count);
            const std::size_t take = std::min(count, total - o);
            std::copy_n(lit.begin(), take, out.begin() + static_cast<std::ptrdiff_t>(o));
            o += take;
        }
    }

    Bitmap bmp(width, height, b.depth);
    for (int y = 0; y < height; ++y)
        unpackRow(out.data() + static_cast<std::size_t>(y) * rowBytes, b.depth, width, bmp.row(y));
    // Without a colour map: black and white, the EGA colours, or grey.
    std::vector<Rgb> pal = bmp.palette();
    if (b.depth == 4) pal.assign(std::begin(kEgaPalette), std::end(kEgaPalette));
    for (std::size_t i = 0; i < pic.palette.size() && i < pal.size(); ++i) pal[i] = pic.palette[i];
    bmp.palette() = pal;
    return finishRead(std::move(bmp), format::Wpg, options, kWhere);
}

Bytes WpgCodec::write(const Image& image, const SaveOptions& options) const {
    const Bitmap bmp = bitmapForWrite(image, options, {1, 2, 4, 8}, kWhere);
    const int width = bmp.width(), height = bmp.height();
    if (width > 0xFFFF || height > 0xFFFF)
        fail(ErrorCode::InvalidArgument, std::string(kWhere), "the image is larger than 65535 pixels on a side");
    ByteWriter w;
    w.u32le(0x435057FF);
    w.u32le(16);
    w.u8(1);
    w.u8(0x16);
    w.u8(1);
    w.u8(0);
    w.u16le(0);
    w.u16le(0);

    ByteWriter start;
    start.u8(1);
    start.u8(0);
    // Size in WordPerfect units of 1/1200 inch.
    start.u16le(static_cast<unsigned>(std::min<long long>(0xFFFF, 1200LL * width / kResolution)));
    start.u16le(static_cast<unsigned>(std::min<long long>(0xFFFF, 1200LL * height / kResolution)));
    writeRecord(w, kRecStart, start.bytes());

    ByteWriter map;
    map.u16le(0);
    map.u16le(static_cast<unsigned>(bmp.palette().size()));
    for (Rgb c : bmp.palette()) {
        map.u8(redOf(c));
        map.u8(greenOf(c));
        map.u8(blueOf(c));
    }
    writeRecord(w, kRecColourMap, map.bytes());

    ByteWriter body;
    body.u16le(static_cast<unsigned>(width));
    body.u16le(static_cast<unsigned>(height));
    body.u16le(static_cast<unsigned>(bmp.bits()));
    body.u16le(kResolution);
    body.u16le(kResolution);
    const std::size_t rowBytes = packedRowBytes(width, bmp.bits());
    std::vector<std::uint8_t> row(rowBytes);
    for (int y = 0; y < height; ++y) {
        packRow(bmp.row(y), bmp.bits(), width, row.data());
        encodeRow(row.data(), rowBytes, body);
    }
    writeRecord(w, kRecBitmap1, body.bytes());
    writeRecord(w, kRecEnd, {});
    return w.take();
}

}  // namespace imaging
