#include "formats/mspaint_codec.h"

#include <algorithm>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "Microsoft Paint";
constexpr std::uint16_t kV1Key1 = 0x6144, kV1Key2 = 0x4D6E;  // "DanM"
constexpr std::uint16_t kV2Key1 = 0x694C, kV2Key2 = 0x536E;  // "LinS"
constexpr std::size_t kHeader = 32;

struct Header {
    bool version2 = false;
    long long width = 0;
    long long height = 0;
};

Header readHeader(ByteReader& in) {
    const std::uint16_t k1 = in.u16le(), k2 = in.u16le();
    Header h;
    if (k1 == kV2Key1 && k2 == kV2Key2) h.version2 = true;
    else if (k1 != kV1Key1 || k2 != kV1Key2) in.corrupt("not a Microsoft Paint file");
    h.width = in.u16le();
    h.height = in.u16le();
    in.seek(kHeader);
    checkSize(h.width, h.height, kWhere);
    return h;
}

}  // namespace

bool MsPaintCodec::sniff(ByteView data) const {
    if (data.size() < kHeader) return false;
    const int k1 = data[0] | (data[1] << 8), k2 = data[2] | (data[3] << 8);
    return (k1 == kV1Key1 && k2 == kV1Key2) || (k1 == kV2Key1 && k2 == kV2Key2);
}

ImageInfo MsPaintCodec::readInfo(ByteView data) const {
    ByteReader in(data, kWhere);
    const Header h = readHeader(in);
    return makeInfo(format::MsPaint, 1, h.width, h.height, data);
}

Image MsPaintCodec::read(ByteView data, const LoadOptions& options) const {
    ByteReader in(data, kWhere);
    const Header h = readHeader(in);
    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);
    const std::size_t rowBytes = packedRowBytes(width, 1);
    std::vector<std::uint8_t> line(rowBytes);
    std::vector<std::uint16_t> lineSizes;
    if (h.version2) {
        if (static_cast<std::uint64_t>(height) * 2 > in.remaining()) in.truncated();
        lineSizes.resize(static_cast<std::size_t>(height));
        for (auto& s : lineSizes) s = in.u16le();
        checkExpansion(rowBytes * height, in.remaining(), 128, kWhere);
    } else {
        checkExpansion(rowBytes * height, in.remaining(), 1, kWhere);
    }
    // Windows' monochrome convention: a set bit is white, so indices equal the bits.
    Bitmap bmp(width, height, 1);
    bmp.palette() = {makeRgb(0, 0, 0), makeRgb(255, 255, 255)};
    for (int y = 0; y < height; ++y) {
        if (!h.version2) {
            ByteView raw = in.bytes(rowBytes);
            std::copy(raw.begin(), raw.end(), line.begin());
        } else if (lineSizes[y] == 0) {
            std::fill(line.begin(), line.end(), 0xFF);  // an empty line is white
        } else {
            ByteReader run = in.sub(lineSizes[y]);
            std::size_t o = 0;
            while (o < rowBytes && !run.atEnd()) {
                const std::size_t type = run.u8();
                if (type == 0) {
                    const std::size_t count = run.u8();
                    const std::uint8_t value = run.u8();
                    const std::size_t take = std::min(count, rowBytes - o);
                    std::fill_n(line.begin() + static_cast<std::ptrdiff_t>(o), take, value);
                    o += take;
                } else {
                    ByteView lit = run.bytes(type);
                    const std::size_t take = std::min(type, rowBytes - o);
                    std::copy_n(lit.begin(), take, line.begin() + static_cast<std::ptrdiff_t>(o));
                    o += take;
                }
            }
            if (o < rowBytes) run.truncated();
        }
        unpackRow(line.data(), 1, width, bmp.row(y));
    }
    return finishRead(std::move(bmp), format::MsPaint, options, kWhere);
}

Bytes MsPaintCodec::write(const Image& image, const SaveOptions& options) const {
    const Bitmap bmp = bitmapForWrite(image, options, {1}, kWhere);
    const int width = bmp.width(), height = bmp.height();
    if (width > 0xFFFF || height > 0xFFFF)
        fail(ErrorCode::InvalidArgument, std::string(kWhere), "the image is larger than 65535 pixels on a side");
    const std::vector<bool> ink = inkIndices(bmp);
    const std::size_t rowBytes = packedRowBytes(width, 1);

    std::vector<Bytes> lines(static_cast<std::size_t>(height));
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(width)), line(rowBytes);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) bits[x] = ink[bmp.row(y)[x]] ? 0 : 1;
        packRow(bits.data(), 1, width, line.data());
        // Unused bits at the end of a line are white, as the program that made the format wrote them.
        if (width % 8) line[rowBytes - 1] = static_cast<std::uint8_t>(line[rowBytes - 1] | (0xFF >> (width % 8)));
        Bytes& out = lines[y];
        std::size_t i = 0;
        while (i < rowBytes) {
            std::size_t run = 1;
            while (i + run < rowBytes && run < 255 && line[i + run] == line[i]) ++run;
            if (run >= 3) {
                out.insert(out.end(), {0, static_cast<std::uint8_t>(run), line[i]});
                i += run;
                continue;
            }
            std::size_t j = i + 1;
            while (j < rowBytes && j - i < 255 &&
                   !(j + 2 < rowBytes && line[j] == line[j + 1] && line[j] == line[j + 2]))
                ++j;
            out.push_back(static_cast<std::uint8_t>(j - i));
            out.insert(out.end(), line.begin() + static_cast<std::ptrdiff_t>(i),
                       line.begin() + static_cast<std::ptrdiff_t>(j));
            i = j;
        }
        if (out.size() > 0xFFFF) fail(ErrorCode::InvalidArgument, std::string(kWhere), "a line too long to code");
    }

    ByteWriter w;
    const unsigned words[12] = {kV2Key1, kV2Key2, static_cast<unsigned>(width), static_cast<unsigned>(height), 1, 1,
                                1,       1,       static_cast<unsigned>(width), static_cast<unsigned>(height), 0, 0};
    unsigned checksum = 0;
    for (unsigned v : words) {
        w.u16le(v);
        checksum ^= v;
    }
    w.u16le(checksum);
    w.fill(6, 0);
    for (const Bytes& l : lines) w.u16le(static_cast<unsigned>(l.size()));
    for (const Bytes& l : lines) w.append(l);
    return w.take();
}

}  // namespace imaging
