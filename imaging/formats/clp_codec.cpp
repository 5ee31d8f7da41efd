#include "formats/clp_codec.h"

#include "formats/dib.h"
#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "CLP";
constexpr int kWin3 = 0xC350;
constexpr std::uint32_t kCfBitmap = 2, kCfDib = 8, kCfDibV5 = 17;

bool knownId(int id) { return id == kWin3 || id == 0xC351 || id == 0xC352; }

// The device-independent bitmap the clipboard file holds.
ByteView findDib(ByteView data) {
    ByteReader in(data, kWhere);
    const int id = in.u16le();
    if (!knownId(id)) in.corrupt("not a clipboard file");
    const int count = in.u16le();
    bool deviceBitmap = false;
    for (int i = 0; i < count; ++i) {
        // Windows 3 entries: 16-bit id and an 8-bit name; later ones: 32-bit id, wide name.
        const std::uint32_t format = id == kWin3 ? in.u16le() : in.u32le();
        const std::uint32_t length = in.u32le(), offset = in.u32le();
        in.skip(id == kWin3 ? 79 : 158);
        if (format == kCfDib || format == kCfDibV5) {
            if (offset > data.size() || length > data.size() - offset)
                fail(ErrorCode::Truncated, std::string(kWhere), "the bitmap lies beyond the end of the file");
            return data.subspan(offset, length);
        }
        deviceBitmap = deviceBitmap || format == kCfBitmap;
    }
    if (deviceBitmap) unsupported(kWhere, "device-dependent bitmaps without a device-independent copy are not read");
    corrupt(kWhere, "the clipboard file holds no picture");
}

}  // namespace

bool ClpCodec::sniff(ByteView data) const {
    if (data.size() < 4) return false;
    const int id = data[0] | (data[1] << 8), count = data[2] | (data[3] << 8);
    return knownId(id) && count >= 1 && count <= 256;
}

ImageInfo ClpCodec::readInfo(ByteView data) const {
    const DibHeader h = readDibHeader(findDib(data), kWhere, {});
    return makeInfo(format::Clp, h.bitmapBits, h.width, h.height, data);
}

Image ClpCodec::read(ByteView data, const LoadOptions& options) const {
    return finishRead(readDib(findDib(data), kWhere, {}), format::Clp, options, kWhere);
}

}  // namespace imaging
