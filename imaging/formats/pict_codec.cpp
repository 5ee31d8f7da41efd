#include "formats/pict_codec.h"

#include <algorithm>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "PICT";
constexpr std::size_t kFileHeader = 512;

enum Opcode : std::uint16_t {
    OpNop = 0x0000,
    OpClip = 0x0001,
    OpVersion = 0x0011,
    OpDefHilite = 0x001E,
    OpBitsRect = 0x0090,
    OpBitsRgn = 0x0091,
    OpPackBitsRect = 0x0098,
    OpPackBitsRgn = 0x0099,
    OpDirectBitsRect = 0x009A,
    OpDirectBitsRgn = 0x009B,
    OpShortComment = 0x00A0,
    OpLongComment = 0x00A1,
    OpEnd = 0x00FF,
    OpHeader = 0x0C00,
};

// Where the picture starts: after the 512-byte file header, or at 0 for pictures taken
// from a resource (no file header).
std::size_t pictureStart(ByteView data) {
    for (std::size_t start : {kFileHeader, std::size_t{0}}) {
        if (data.size() < start + 14) continue;
        const std::uint8_t* p = data.data() + start + 10;
        if ((p[0] == 0x00 && p[1] == 0x11 && p[2] == 0x02 && p[3] == 0xFF) || (p[0] == 0x11 && p[1] == 0x01))
            return start;
    }
    return SIZE_MAX;
}

struct Rect {
    int top = 0, left = 0, bottom = 0, right = 0;
    long long width() const { return static_cast<long long>(right) - left; }
    long long height() const { return static_cast<long long>(bottom) - top; }
};

Rect readRect(ByteReader& in) {
    Rect r;
    r.top = in.i16be();
    r.left = in.i16be();
    r.bottom = in.i16be();
    r.right = in.i16be();
    return r;
}

void writeRect(ByteWriter& w, int width, int height) {
    w.u16be(0);
    w.u16be(0);
    w.u16be(static_cast<unsigned>(height));
    w.u16be(static_cast<unsigned>(width));
}

struct PixMap {
    Rect bounds;
    std::size_t rowBytes = 0;
    bool direct = false;
    int packType = 0;
    int pixelSize = 1;
    int cmpCount = 1;
    std::vector<Rgb> palette;
    int bits = 0;  // decoded depth
};

PixMap readPixMap(ByteReader& in, std::uint16_t op) {
    PixMap pm;
    pm.direct = op == OpDirectBitsRect || op == OpDirectBitsRgn;
    if (pm.direct) in.u32be();  // base address, unused in files
    const std::uint16_t rowBytes = in.u16be();
    const bool isPixMap = (rowBytes & 0x8000) != 0;
    pm.rowBytes = rowBytes & 0x3FFF;
    pm.bounds = readRect(in);
    if (isPixMap) {
        in.u16be();  // version
        pm.packType = in.u16be();
        in.skip(12);  // pack size, resolutions
        in.u16be();   // pixel type
        pm.pixelSize = in.u16be();
        pm.cmpCount = in.u16be();
        in.u16be();  // component size
        in.skip(12);
        if (!pm.direct) {
            in.u32be();  // seed
            const int flags = in.u16be();
            const int n = in.u16be() + 1;
            if (n > 256) in.corrupt("a colour table of " + std::to_string(n) + " entries");
            pm.palette.assign(256, 0);
            for (int i = 0; i < n; ++i) {
                const int value = in.u16be();
                const int r = in.u16be() >> 8, g = in.u16be() >> 8, b = in.u16be() >> 8;
                const int index = (flags & 0x8000) ? i : value;
                if (index >= 0 && index < 256) pm.palette[index] = makeRgb(r, g, b);
            }
        }
    } else if (pm.direct) {
        in.corrupt("direct bits without a pixel map");
    } else {
        pm.palette = {makeRgb(255, 255, 255), makeRgb(0, 0, 0)};  // a plain bitmap: set bits are black
    }
    switch (pm.pixelSize) {
    case 1:
    case 2:
    case 4:
    case 8: pm.bits = pm.pixelSize; break;
    case 16: pm.bits = 16; break;
    case 32: pm.bits = pm.cmpCount == 4 ? 32 : 24; break;
    default: unsupported(kWhere, "pixels of " + std::to_string(pm.pixelSize) + " bits are not read");
    }
    if ((pm.pixelSize <= 8) == pm.direct) in.corrupt("pixel size does not fit the opcode");
    if (pm.pixelSize == 32 && pm.cmpCount != 3 && pm.cmpCount != 4) in.corrupt("unknown component count");
    checkSize(pm.bounds.width(), pm.bounds.height(), kWhere);
    return pm;
}

// Finds the first pixel map of the picture and leaves `in` at its rectangles.
PixMap findPixMap(ByteReader& in, std::uint16_t& opcode) {
    const std::size_t start = pictureStart(in.data());
    if (start == SIZE_MAX) in.corrupt("no picture header");
    in.seek(start + 10);
    if (in.data()[start + 10] == 0x11) unsupported(kWhere, "version 1 pictures are not read");
    for (;;) {
        if (in.pos() & 1) in.u8();
        const std::uint16_t op = in.u16be();
        switch (op) {
        case OpNop:
        case OpDefHilite:
        case 0x001C: break;
        case OpVersion: in.u16be(); break;
        case OpHeader: in.skip(24); break;
        case OpClip: {
            const std::uint16_t size = in.u16be();
            if (size < 2) in.corrupt("a region of " + std::to_string(size) + " bytes");
            in.skip(size - 2u);
            break;
        }
        case OpShortComment: in.u16be(); break;
        case OpLongComment:
            in.u16be();
            in.skip(in.u16be());
            break;
        case 0x0003:
        case 0x0005:
        case 0x0008:
        case 0x000D:
        case 0x0015:
        case 0x0016: in.skip(2); break;
        case 0x0004: in.skip(1); break;
        case 0x0007:
        case 0x000B:
        case 0x000C: in.skip(4); break;
        case 0x001A:
        case 0x001B:
        case 0x001D:
        case 0x001F: in.skip(6); break;
        case 0x0009:
        case 0x000A:
        case 0x0010: in.skip(8); break;
        case OpBitsRect:
        case OpBitsRgn:
        case OpPackBitsRect:
        case OpPackBitsRgn:
        case OpDirectBitsRect:
        case OpDirectBitsRgn: opcode = op; return readPixMap(in, op);
        case OpEnd: in.corrupt("the picture holds no bitmap");
        case 0x8200:
        case 0x8201: unsupported(kWhere, "QuickTime-compressed pictures are not read");
        default: unsupported(kWhere, "drawing opcode " + std::to_string(op) + " before the bitmap is not read");
        }
    }
}

// PackBits over 16-bit words, as pixel maps of 16 bits use it.
void unpackWords(ByteReader& in, std::uint8_t* dst, std::size_t words) {
    std::size_t o = 0;
    while (o < words) {
        const int c = static_cast<std::int8_t>(in.u8());
        if (c >= 0) {
            for (int i = 0; i <= c; ++i) {
                ByteView v = in.bytes(2);
                if (o < words) {
                    dst[2 * o] = v[0];
                    dst[2 * o + 1] = v[1];
                    ++o;
                }
            }
        } else if (c != -128) {
            ByteView v = in.bytes(2);
            for (int i = 0; i < 1 - c && o < words; ++i, ++o) {
                dst[2 * o] = v[0];
                dst[2 * o + 1] = v[1];
            }
        }
    }
}

void writePackedRow(ByteWriter& w, const std::uint8_t* row, std::size_t n, std::size_t rowBytes) {
    if (rowBytes < 8) {
        w.append(ByteView(row, n));
        return;
    }
    Bytes packed;
    packBitsEncode(row, n, packed);
    if (rowBytes > 250) w.u16be(static_cast<unsigned>(packed.size()));
    else w.u8(static_cast<unsigned>(packed.size()));
    w.append(packed);
}

}  // namespace

bool PictCodec::sniff(ByteView data) const {
    const std::size_t start = pictureStart(data);
    if (start == SIZE_MAX) return false;
    // Version 2 also needs its header opcode; version 1 only the frame.
    const std::uint8_t* p = data.data() + start + 10;
    if (p[0] == 0x11) return true;
    return data.size() >= start + 16 && p[4] == 0x0C && p[5] == 0x00;
}

ImageInfo PictCodec::readInfo(ByteView data) const {
    ByteReader in(data, kWhere);
    std::uint16_t op = 0;
    const PixMap pm = findPixMap(in, op);
    return makeInfo(format::Pict, pm.bits, pm.bounds.width(), pm.bounds.height(), data);
}

Image PictCodec::read(ByteView data, const LoadOptions& options) const {
    ByteReader in(data, kWhere);
    std::uint16_t op = 0;
    const PixMap pm = findPixMap(in, op);
    in.skip(18);  // source and destination rectangles, transfer mode
    if (op == OpBitsRgn || op == OpPackBitsRgn || op == OpDirectBitsRgn) {
        const std::uint16_t size = in.u16be();
        if (size < 2) in.corrupt("a region of " + std::to_string(size) + " bytes");
        in.skip(size - 2u);
    }
    const int width = static_cast<int>(pm.bounds.width()), height = static_cast<int>(pm.bounds.height());
    const bool chunky24 = pm.pixelSize == 32 && pm.packType == 2;
    const std::size_t needRow = chunky24 ? static_cast<std::size_t>(width) * 3 : packedRowBytes(width, pm.pixelSize);
    std::size_t rowBytes = pm.rowBytes;
    if (chunky24) rowBytes = needRow;
    const bool packed = rowBytes >= 8 && pm.packType != 1 && !chunky24 && op != OpBitsRect && op != OpBitsRgn;
    // Component planes hold three or four bytes per pixel whatever the row width says.
    const bool planes = pm.pixelSize == 32 && pm.packType == 4 && packed;
    if (rowBytes < needRow && !planes) in.corrupt("rows shorter than the image");
    checkExpansion(static_cast<std::uint64_t>(rowBytes) * height, in.remaining(), packed ? kPackBitsMaxRatio : 1,
                   kWhere);

    Bitmap bmp(width, height, pm.bits);
    if (!pm.direct) {
        std::vector<Rgb> palette = pm.palette;
        palette.resize(std::min(palette.size(), std::size_t{1} << pm.bits));
        bmp.palette() = paddedPalette(std::move(palette), pm.bits);
    }
    const std::size_t planar = static_cast<std::size_t>(width) * pm.cmpCount;
    std::vector<std::uint8_t> row(std::max(rowBytes, planar) + 4);
    for (int y = 0; y < height; ++y) {
        std::fill(row.begin(), row.end(), 0);
        const std::size_t produce = planes ? planar : rowBytes;
        if (!packed) {
            ByteView raw = in.bytes(rowBytes);
            std::copy(raw.begin(), raw.end(), row.begin());
        } else {
            const std::size_t count = rowBytes > 250 ? in.u16be() : in.u8();
            ByteReader packedRow = in.sub(count);
            if (pm.pixelSize == 16) unpackWords(packedRow, row.data(), produce / 2);
            else packBitsDecode(packedRow, row.data(), produce);
        }
        std::uint8_t* d = bmp.row(y);
        if (pm.pixelSize <= 8) {
            unpackRow(row.data(), pm.pixelSize, width, d);
        } else if (pm.pixelSize == 16) {
            for (int x = 0; x < width; ++x) {
                d[2 * x] = row[2 * x + 1];
                d[2 * x + 1] = static_cast<std::uint8_t>(row[2 * x] & 0x7F);
            }
        } else {
            const int bpp = bmp.bytesPerPixel();
            for (int x = 0; x < width; ++x) {
                std::uint8_t a = 255, r, g, b;
                if (planes) {
                    const int off = pm.cmpCount == 4 ? 1 : 0;
                    if (off) a = row[x];
                    r = row[static_cast<std::size_t>(off) * width + x];
                    g = row[static_cast<std::size_t>(off + 1) * width + x];
                    b = row[static_cast<std::size_t>(off + 2) * width + x];
                } else if (chunky24) {
                    r = row[3 * x];
                    g = row[3 * x + 1];
                    b = row[3 * x + 2];
                } else {
                    a = row[4 * x];
                    r = row[4 * x + 1];
                    g = row[4 * x + 2];
                    b = row[4 * x + 3];
                }
                d[bpp * x] = r;
                d[bpp * x + 1] = g;
                d[bpp * x + 2] = b;
                if (bpp == 4) d[4 * x + 3] = a;
            }
        }
    }
    return finishRead(std::move(bmp), format::Pict, options, kWhere);
}

Bytes PictCodec::write(const Image& image, const SaveOptions& options) const {
    const Bitmap bmp = bitmapForWrite(image, options, {1, 2, 4, 8, 24}, kWhere);
    const int width = bmp.width(), height = bmp.height();
    const bool direct = bmp.bits() == 24;
    const std::size_t rowBytes =
        direct ? static_cast<std::size_t>(width) * 4 : (packedRowBytes(width, bmp.bits()) + 1) & ~std::size_t{1};
    if (width > 0x7FFF || height > 0x7FFF || rowBytes > 0x3FFF)
        fail(ErrorCode::InvalidArgument, std::string(kWhere), "the image is too wide or too high for a picture");

    ByteWriter w;
    w.fill(kFileHeader, 0);
    w.u16be(0);  // picture size, patched below
    writeRect(w, width, height);
    w.u16be(OpVersion);
    w.u16be(0x02FF);
    w.u16be(OpHeader);
    w.u16be(0xFFFE);  // extended version 2 header
    w.u16be(0);
    w.u32be(0x00480000);  // 72 dpi
    w.u32be(0x00480000);
    writeRect(w, width, height);
    w.u32be(0);
    w.u16be(OpDefHilite);
    w.u16be(OpClip);
    w.u16be(10);
    writeRect(w, width, height);

    w.u16be(direct ? OpDirectBitsRect : OpPackBitsRect);
    if (direct) w.u32be(0x000000FF);
    w.u16be(static_cast<unsigned>(rowBytes | 0x8000));
    writeRect(w, width, height);
    w.u16be(0);               // version
    w.u16be(direct ? 4 : 0);  // pack type: components in planes, or default PackBits
    w.u32be(0);               // pack size
    w.u32be(0x00480000);
    w.u32be(0x00480000);
    w.u16be(direct ? 16 : 0);  // RGB direct or indexed
    w.u16be(direct ? 32 : static_cast<unsigned>(bmp.bits()));
    w.u16be(direct ? 3 : 1);
    w.u16be(direct ? 8 : static_cast<unsigned>(bmp.bits()));
    w.u32be(0);
    w.u32be(0);
    w.u32be(0);
    if (!direct) {
        w.u32be(0);
        w.u16be(0);
        w.u16be(static_cast<unsigned>(bmp.palette().size() - 1));
        for (std::size_t i = 0; i < bmp.palette().size(); ++i) {
            const Rgb c = bmp.palette()[i];
            w.u16be(static_cast<unsigned>(i));
            w.u16be(static_cast<unsigned>(redOf(c) * 257));
            w.u16be(static_cast<unsigned>(greenOf(c) * 257));
            w.u16be(static_cast<unsigned>(blueOf(c) * 257));
        }
    }
    writeRect(w, width, height);
    writeRect(w, width, height);
    w.u16be(0);  // source copy

    std::vector<std::uint8_t> row(std::max(rowBytes, static_cast<std::size_t>(width) * 3));
    for (int y = 0; y < height; ++y) {
        std::fill(row.begin(), row.end(), 0);
        const std::uint8_t* s = bmp.row(y);
        if (!direct) {
            packRow(s, bmp.bits(), width, row.data());
            writePackedRow(w, row.data(), rowBytes, rowBytes);
        } else if (rowBytes < 8) {
            for (int x = 0; x < width; ++x) std::copy_n(s + 3 * x, 3, row.begin() + 4 * x + 1);
            writePackedRow(w, row.data(), rowBytes, rowBytes);
        } else {
            for (int c = 0; c < 3; ++c)
                for (int x = 0; x < width; ++x) row[static_cast<std::size_t>(c) * width + x] = s[3 * x + c];
            writePackedRow(w, row.data(), static_cast<std::size_t>(width) * 3, rowBytes);
        }
    }
    if (w.size() & 1) w.u8(0);
    w.u16be(OpEnd);
    w.patchU16be(kFileHeader, static_cast<unsigned>((w.size() - kFileHeader) & 0xFFFF));
    return w.take();
}

}  // namespace imaging
