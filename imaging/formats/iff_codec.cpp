#include "formats/iff_codec.h"

#include <algorithm>
#include <cstring>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "IFF";
constexpr std::uint32_t kHam = 0x800, kHalfBrite = 0x80;

struct Picture {
    bool chunky = false;  // PBM: one byte per pixel instead of bit planes
    long long width = 0;
    long long height = 0;
    int planes = 0;
    int masking = 0;
    int compression = 0;
    std::uint32_t viewMode = 0;
    std::vector<Rgb> colourMap;
    ByteView body;
    bool haveHeader = false;
    int bits() const {
        if (planes == 24) return 24;
        if (viewMode & kHam) return 24;
        return planes;
    }
};

Picture parse(ByteView data) {
    ByteReader in(data, kWhere);
    if (in.size() < 12 || std::memcmp(data.data(), "FORM", 4) != 0) in.corrupt("not an IFF file");
    in.skip(8);
    Picture p;
    ByteView type = in.bytes(4);
    if (std::memcmp(type.data(), "PBM ", 4) == 0) p.chunky = true;
    else if (std::memcmp(type.data(), "ILBM", 4) != 0) unsupported(kWhere, "only ILBM and PBM pictures are read");
    while (in.remaining() >= 8) {
        ByteView id = in.bytes(4);
        const std::uint32_t size = in.u32be();
        if (size > in.remaining()) in.truncated();
        ByteReader chunk = in.sub(size);
        if (size & 1 && !in.atEnd()) in.u8();
        if (std::memcmp(id.data(), "BMHD", 4) == 0) {
            p.width = chunk.u16be();
            p.height = chunk.u16be();
            chunk.skip(4);
            p.planes = chunk.u8();
            p.masking = chunk.u8();
            p.compression = chunk.u8();
            p.haveHeader = true;
        } else if (std::memcmp(id.data(), "CMAP", 4) == 0) {
            for (std::size_t i = 0; i + 3 <= size && i < 3 * 256; i += 3) {
                ByteView c = chunk.bytes(3);
                p.colourMap.push_back(makeRgb(c[0], c[1], c[2]));
            }
        } else if (std::memcmp(id.data(), "CAMG", 4) == 0 && size >= 4) {
            p.viewMode = chunk.u32be();
        } else if (std::memcmp(id.data(), "BODY", 4) == 0) {
            p.body = chunk.data();
            break;
        }
    }
    if (!p.haveHeader) in.corrupt("no bitmap header");
    checkSize(p.width, p.height, kWhere);
    if (p.compression > 1) unsupported(kWhere, "compression " + std::to_string(p.compression) + " is not read");
    if (p.chunky ? p.planes != 8 : !((p.planes >= 1 && p.planes <= 8) || p.planes == 24))
        unsupported(kWhere, std::to_string(p.planes) + " bit planes are not read");
    if ((p.viewMode & kHam) && p.planes != 6 && p.planes != 8) p.viewMode &= ~kHam;
    return p;
}

}  // namespace

bool IffCodec::sniff(ByteView data) const {
    return data.size() >= 12 && std::memcmp(data.data(), "FORM", 4) == 0 &&
           (std::memcmp(data.data() + 8, "ILBM", 4) == 0 || std::memcmp(data.data() + 8, "PBM ", 4) == 0);
}

ImageInfo IffCodec::readInfo(ByteView data) const {
    const Picture p = parse(data);
    return makeInfo(format::Iff, p.bits(), p.width, p.height, data);
}

Image IffCodec::read(ByteView data, const LoadOptions& options) const {
    const Picture p = parse(data);
    if (p.body.empty()) fail(ErrorCode::Truncated, std::string(kWhere), "the picture has no body");
    const int width = static_cast<int>(p.width), height = static_cast<int>(p.height);
    const std::size_t planeBytes = p.chunky ? (static_cast<std::size_t>(width) + 1) & ~std::size_t{1}
                                            : ((static_cast<std::size_t>(width) + 15) / 16) * 2;
    const int stored = p.chunky ? 1 : p.planes + (p.masking == 1 ? 1 : 0);
    const std::size_t rowBytes = planeBytes * stored;
    const std::uint64_t total = static_cast<std::uint64_t>(rowBytes) * height;
    checkExpansion(total, p.body.size(), p.compression ? kPackBitsMaxRatio : 1, kWhere);
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(total));
    ByteReader body(p.body, kWhere);
    if (p.compression == 0) {
        ByteView b = body.bytes(raw.size());
        std::copy(b.begin(), b.end(), raw.begin());
    } else {
        packBitsDecode(body, raw.data(), raw.size());
    }

    // Indices first, one byte per pixel (24-plane pictures straight to colour).
    const int bits = p.bits();
    Bitmap bmp(width, height, bits);
    std::vector<std::uint8_t> index(static_cast<std::size_t>(width)), bit(static_cast<std::size_t>(width));
    std::vector<Rgb> palette = p.colourMap;
    if (palette.empty() && p.planes <= 8) palette = Bitmap(1, 1, p.planes).palette();
    if ((p.viewMode & kHalfBrite) && p.planes == 6) {
        palette.resize(32, 0);
        for (int i = 0; i < 32; ++i)
            palette.push_back(makeRgb(redOf(palette[i]) / 2, greenOf(palette[i]) / 2, blueOf(palette[i]) / 2));
    }
    const bool ham = (p.viewMode & kHam) != 0;
    const int hamBits = p.planes - 2;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = raw.data() + static_cast<std::size_t>(y) * rowBytes;
        std::uint8_t* d = bmp.row(y);
        if (p.chunky) {
            std::copy_n(row, width, index.begin());
        } else if (p.planes == 24) {
            for (int c = 0; c < 3; ++c) {
                std::fill(index.begin(), index.end(), 0);
                for (int k = 0; k < 8; ++k) {
                    unpackRow(row + (c * 8 + k) * planeBytes, 1, width, bit.data());
                    for (int x = 0; x < width; ++x) index[x] = static_cast<std::uint8_t>(index[x] | (bit[x] << k));
                }
                for (int x = 0; x < width; ++x) d[3 * x + c] = index[x];
            }
            continue;
        } else {
            std::fill(index.begin(), index.end(), 0);
            for (int k = 0; k < p.planes; ++k) {
                unpackRow(row + k * planeBytes, 1, width, bit.data());
                for (int x = 0; x < width; ++x) index[x] = static_cast<std::uint8_t>(index[x] | (bit[x] << k));
            }
        }
        if (!ham) {
            std::copy(index.begin(), index.end(), d);
            continue;
        }
        // Hold and modify: each pixel takes a palette colour or changes one channel of the last.
        Rgb c = palette.empty() ? 0 : palette[0];
        for (int x = 0; x < width; ++x) {
            const int v = index[x] & ((1 << hamBits) - 1);
            const int scaled = hamBits == 4 ? v * 17 : (v << 2) | (v >> 4);
            switch (index[x] >> hamBits) {
            case 0: c = static_cast<std::size_t>(v) < palette.size() ? palette[v] : 0; break;
            case 1: c = makeRgb(redOf(c), greenOf(c), scaled); break;
            case 2: c = makeRgb(scaled, greenOf(c), blueOf(c)); break;
            default: c = makeRgb(redOf(c), scaled, blueOf(c)); break;
            }
            d[3 * x] = static_cast<std::uint8_t>(redOf(c));
            d[3 * x + 1] = static_cast<std::uint8_t>(greenOf(c));
            d[3 * x + 2] = static_cast<std::uint8_t>(blueOf(c));
        }
    }
    if (bits <= 8) {
        palette.resize(std::min(palette.size(), std::size_t{1} << bits));
        bmp.palette() = paddedPalette(std::move(palette), bits);
    }
    return finishRead(std::move(bmp), format::Iff, options, kWhere);
}

}  // namespace imaging
