#include "formats/ico_codec.h"

#include <algorithm>
#include <cstring>

#include "codecs/registry.h"
#include "formats/dib.h"
#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "ICO";
constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

struct Entry {
    ByteView data;
    bool png = false;
};

struct Directory {
    int type = 0;  // 1 icon, 2 cursor
    std::vector<Entry> entries;
};

Directory readDirectory(ByteView data) {
    ByteReader in(data, kWhere);
    Directory dir;
    if (in.u16le() != 0) in.corrupt("not an icon file");
    dir.type = in.u16le();
    if (dir.type != 1 && dir.type != 2) in.corrupt("not an icon or cursor file");
    const int count = in.u16le();
    if (count == 0) in.corrupt("the file holds no images");
    for (int i = 0; i < count; ++i) {
        in.skip(8);
        const std::uint32_t size = in.u32le(), offset = in.u32le();
        if (offset > data.size() || size > data.size() - offset)
            fail(ErrorCode::Truncated, std::string(kWhere),
                 "image " + std::to_string(i + 1) + " lies beyond the end of the file");
        Entry e;
        e.data = data.subspan(offset, size);
        e.png = size >= 8 && std::memcmp(e.data.data(), kPngSignature, 8) == 0;
        dir.entries.push_back(e);
    }
    return dir;
}

const Codec& pngCodec() {
    const Codec* png = codecForFormat(format::Png);
    if (!png) unsupported(kWhere, "icons holding PNG images need the PNG codec");
    return *png;
}

Bitmap decodeEntry(const Entry& e) {
    if (e.png) return pngCodec().read(e.data, {}).first();
    return readDib(e.data, kWhere, {.icon = true});
}

}  // namespace

bool IcoCodec::sniff(ByteView data) const {
    if (data.size() < 22 || data[0] != 0 || data[1] != 0 || (data[2] != 1 && data[2] != 2) || data[3] != 0)
        return false;
    const int count = data[4] | (data[5] << 8);
    if (count == 0) return false;
    // The first entry must point at a bitmap header or a PNG signature inside the file.
    const std::uint32_t offset =
        data[18] | (data[19] << 8) | (data[20] << 16) | (static_cast<std::uint32_t>(data[21]) << 24);
    if (offset < 6u + 16u * count || offset > data.size() - 8) return false;
    const std::uint8_t* p = data.data() + offset;
    return (p[0] == 40 && p[1] == 0 && p[2] == 0 && p[3] == 0) || std::memcmp(p, kPngSignature, 8) == 0;
}

ImageInfo IcoCodec::readInfo(ByteView data) const {
    const Directory dir = readDirectory(data);
    const Entry& first = dir.entries.front();
    const int formatNumber = dir.type == 2 ? format::Cur : format::Ico;
    ImageInfo info;
    if (first.png) {
        info = pngCodec().readInfo(first.data);
        info = makeInfo(formatNumber, info.bits, info.width, info.height, data);
    } else {
        const DibHeader h = readDibHeader(first.data, kWhere, {.icon = true});
        info = makeInfo(formatNumber, h.bitmapBits, h.width, h.height, data);
    }
    info.pages = static_cast<int>(dir.entries.size());
    return info;
}

Image IcoCodec::read(ByteView data, const LoadOptions& options) const {
    const Directory dir = readDirectory(data);
    const int pages = static_cast<int>(dir.entries.size());
    if (options.firstPage < 0 || options.firstPage >= pages)
        fail(ErrorCode::InvalidArgument, std::string(kWhere),
             "page " + std::to_string(options.firstPage) + " does not exist");
    const int last = options.pageCount < 0 ? pages : std::min(pages, options.firstPage + options.pageCount);
    Image image;
    image.format = dir.type == 2 ? format::Cur : format::Ico;
    for (int i = options.firstPage; i < last; ++i) {
        Bitmap b = decodeEntry(dir.entries[i]);
        if (options.bits != 0 && options.bits != b.bits()) b = convertDepth(b, options.bits, kWhere);
        image.frames.push_back(Frame{std::move(b)});
    }
    return image;
}

}  // namespace imaging
