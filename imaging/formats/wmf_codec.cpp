#include "formats/wmf_codec.h"

#include "formats/dib.h"
#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "WMF";
constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;

constexpr std::uint16_t kEof = 0x0000;
constexpr std::uint16_t kSetWindowOrg = 0x020B;
constexpr std::uint16_t kSetWindowExt = 0x020C;
constexpr std::uint16_t kStretchDib = 0x0F43;
constexpr std::uint16_t kDibStretchBlt = 0x0B41;
constexpr std::uint16_t kDibBitBlt = 0x0940;
constexpr std::uint16_t kSetDibToDevice = 0x0D33;

bool standardHeaderAt(ByteView data, std::size_t at) {
    if (data.size() < at + 18) return false;
    const std::uint8_t* p = data.data() + at;
    const int type = p[0] | (p[1] << 8), size = p[2] | (p[3] << 8), version = p[4] | (p[5] << 8);
    return (type == 1 || type == 2) && size == 9 && (version == 0x0100 || version == 0x0300);
}

// The device-independent bitmap of the first record that draws one.
ByteView findDib(ByteView data) {
    ByteReader in(data, kWhere);
    if (in.u32le() == kPlaceableKey) in.seek(22);
    else in.seek(0);
    if (!standardHeaderAt(data, in.pos())) in.corrupt("no metafile header");
    in.skip(18);
    for (;;) {
        const std::size_t start = in.pos();
        const std::uint64_t words = in.u32le();
        const std::uint16_t function = in.u16le();
        if (function == kEof) in.corrupt("the metafile holds no bitmap");
        if (words < 3 || words * 2 > in.size() - start) in.corrupt("a record larger than the file");
        std::size_t params = 0;
        switch (function) {
        case kStretchDib: params = 22; break;
        case kDibStretchBlt: params = 20; break;
        case kDibBitBlt: params = 16; break;
        case kSetDibToDevice: params = 18; break;
        default: in.seek(start + static_cast<std::size_t>(words) * 2); continue;
        }
        const std::size_t length = static_cast<std::size_t>(words) * 2 - 6;
        if (length <= params + 12) {
            in.seek(start + static_cast<std::size_t>(words) * 2);  // a blit without a bitmap
            continue;
        }
        in.skip(params);
        return in.bytes(length - params);
    }
}

}  // namespace

bool WmfCodec::sniff(ByteView data) const {
    if (data.size() >= 22 && data[0] == 0xD7 && data[1] == 0xCD && data[2] == 0xC6 && data[3] == 0x9A) return true;
    return standardHeaderAt(data, 0);
}

ImageInfo WmfCodec::readInfo(ByteView data) const {
    const DibHeader h = readDibHeader(findDib(data), kWhere, {});
    return makeInfo(format::Wmf, h.bitmapBits, h.width, h.height, data);
}

Image WmfCodec::read(ByteView data, const LoadOptions& options) const {
    return finishRead(readDib(findDib(data), kWhere, {}), format::Wmf, options, kWhere);
}

Bytes WmfCodec::write(const Image& image, const SaveOptions& options) const {
    const Bitmap bmp = bitmapForWrite(image, options, {1, 4, 8, 16, 24}, kWhere);
    const int width = bmp.width(), height = bmp.height();
    if (width > 0x7FFF || height > 0x7FFF)
        fail(ErrorCode::InvalidArgument, std::string(kWhere), "the image is larger than 32767 pixels on a side");
    const Bytes dib = writeDib(bmp);  // rows and header are whole words, so the record is too

    ByteWriter w;
    // Placeable header: the picture's size at 96 units per inch, one unit per pixel.
    w.u32le(kPlaceableKey);
    w.u16le(0);
    w.u16le(0);
    w.u16le(0);
    w.u16le(static_cast<unsigned>(width));
    w.u16le(static_cast<unsigned>(height));
    w.u16le(96);
    w.u32le(0);
    unsigned checksum = 0;
    for (std::size_t i = 0; i < 20; i += 2) checksum ^= w.bytes()[i] | (w.bytes()[i + 1] << 8);
    w.u16le(checksum);

    const std::size_t headerAt = w.size();
    const std::uint32_t dibRecordWords = static_cast<std::uint32_t>(3 + 11 + dib.size() / 2);
    w.u16le(1);
    w.u16le(9);
    w.u16le(0x0300);
    w.u32le(0);  // total size in words, patched below
    w.u16le(0);
    w.u32le(dibRecordWords);
    w.u16le(0);

    w.u32le(5);
    w.u16le(kSetWindowOrg);
    w.u16le(0);
    w.u16le(0);
    w.u32le(5);
    w.u16le(kSetWindowExt);
    w.u16le(static_cast<unsigned>(height));
    w.u16le(static_cast<unsigned>(width));

    w.u32le(dibRecordWords);
    w.u16le(kStretchDib);
    w.u32le(0x00CC0020);  // SRCCOPY
    w.u16le(0);           // colours are RGB values
    w.u16le(static_cast<unsigned>(height));
    w.u16le(static_cast<unsigned>(width));
    w.u16le(0);
    w.u16le(0);
    w.u16le(static_cast<unsigned>(height));
    w.u16le(static_cast<unsigned>(width));
    w.u16le(0);
    w.u16le(0);
    w.append(dib);

    w.u32le(3);
    w.u16le(kEof);
    w.patchU32le(headerAt + 6, static_cast<std::uint32_t>((w.size() - headerAt) / 2));
    return w.take();
}

}  // namespace imaging
