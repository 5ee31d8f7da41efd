#include "formats/macpaint_codec.h"

#include <algorithm>
#include <cstring>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "MacPaint";
constexpr int kWidth = 576;
constexpr int kHeight = 720;
constexpr std::size_t kRowBytes = kWidth / 8;
constexpr std::size_t kHeader = 512;
constexpr std::size_t kMacBinary = 128;

// Files copied from a Macintosh often keep their 128-byte MacBinary header.
bool hasMacBinary(ByteView data) {
    return data.size() > kMacBinary + kHeader && data[0] == 0 && data[74] == 0 && data[82] == 0 &&
           std::memcmp(data.data() + 65, "PNTG", 4) == 0;
}

std::size_t pictureStart(ByteView data) { return (hasMacBinary(data) ? kMacBinary : 0) + kHeader; }

// Decodes every line; false (or an Error) when the data is not a whole page.
bool decodePage(ByteView data, std::vector<std::uint8_t>* page) {
    ByteReader in(data, kWhere);
    in.seek(pictureStart(data));
    std::uint8_t line[kRowBytes];
    for (int y = 0; y < kHeight; ++y) {
        packBitsDecode(in, line, kRowBytes);
        if (page) std::copy_n(line, kRowBytes, page->begin() + static_cast<std::ptrdiff_t>(y * kRowBytes));
    }
    return true;
}

}  // namespace

bool MacPaintCodec::sniff(ByteView data) const {
    // No magic number: a MacBinary type, or a version word of 0 or 2 and a page that decodes.
    if (hasMacBinary(data)) return true;
    if (data.size() < kHeader + 2 * kHeight || data[0] != 0 || data[1] != 0 || data[2] != 0 ||
        (data[3] != 0 && data[3] != 2))
        return false;
    try {
        return decodePage(data, nullptr);
    } catch (const Error&) {
        return false;
    }
}

ImageInfo MacPaintCodec::readInfo(ByteView data) const {
    if (data.size() < pictureStart(data)) ByteReader(data, kWhere).truncated();
    return makeInfo(format::MacPaint, 1, kWidth, kHeight, data);
}

Image MacPaintCodec::read(ByteView data, const LoadOptions& options) const {
    std::vector<std::uint8_t> page(kRowBytes * kHeight);
    decodePage(data, &page);
    Bitmap bmp(kWidth, kHeight, 1);
    bmp.palette() = {makeRgb(0, 0, 0), makeRgb(255, 255, 255)};
    for (int y = 0; y < kHeight; ++y) {
        std::uint8_t* d = bmp.row(y);
        unpackRow(page.data() + y * kRowBytes, 1, kWidth, d);
        for (int x = 0; x < kWidth; ++x) d[x] = static_cast<std::uint8_t>(1 - d[x]);  // set bits are black
    }
    return finishRead(std::move(bmp), format::MacPaint, options, kWhere);
}

Bytes MacPaintCodec::write(const Image& image, const SaveOptions& options) const {
    // The page is always 576 x 720: a larger image keeps its top-left part, a smaller one is
    // placed top-left on white paper.
    const Bitmap bmp = bitmapForWrite(image, options, {1}, kWhere);
    const std::vector<bool> ink = inkIndices(bmp);
    ByteWriter w;
    w.fill(kHeader, 0);  // version 0: the default fill patterns
    std::uint8_t bits[kWidth];
    std::uint8_t line[kRowBytes];
    Bytes packed;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) bits[x] = x < bmp.width() && y < bmp.height() && ink[bmp.row(y)[x]] ? 1 : 0;
        packRow(bits, 1, kWidth, line);
        packed.clear();
        packBitsEncode(line, kRowBytes, packed);
        w.append(packed);
    }
    return w.take();
}

}  // namespace imaging
