#include "formats/psd_codec.h"

#include <algorithm>

#include "formats/format_io.h"

namespace imaging {

using namespace fio;

namespace {

constexpr std::string_view kWhere = "PSD";
enum Mode { Bitmap1 = 0, Grey = 1, Indexed = 2, RgbMode = 3, Duotone = 8 };

struct Header {
    int channels = 0;
    long long width = 0;
    long long height = 0;
    int depth = 0;
    int mode = 0;
    int bits = 0;  // decoded depth
    int used = 0;  // channels decoded
};

Header readHeader(ByteReader& in) {
    if (in.size() < 26) in.truncated();
    if (in.u32be() != 0x38425053) in.corrupt("not a Photoshop file");
    const int version = in.u16be();
    if (version == 2) unsupported(kWhere, "large document files (PSB) are not read");
    if (version != 1) in.corrupt("unknown version " + std::to_string(version));
    in.skip(6);
    Header h;
    h.channels = in.u16be();
    h.height = in.u32be();
    h.width = in.u32be();
    h.depth = in.u16be();
    h.mode = in.u16be();
    if (h.channels < 1 || h.channels > 56) in.corrupt("channel count of " + std::to_string(h.channels));
    checkSize(h.width, h.height, kWhere);
    if (h.mode == Bitmap1) {
        if (h.depth != 1) in.corrupt("a bitmap-mode image of " + std::to_string(h.depth) + " bits");
        h.bits = 1;
        h.used = 1;
    } else {
        if (h.depth != 8 && h.depth != 16)
            unsupported(kWhere, "channels of " + std::to_string(h.depth) + " bits are not read");
        if (h.mode == Grey || h.mode == Duotone) {
            h.bits = 8;
            h.used = 1;
        } else if (h.mode == Indexed) {
            if (h.depth != 8) in.corrupt("indexed colour of 16 bits");
            h.bits = 8;
            h.used = 1;
        } else if (h.mode == RgbMode) {
            if (h.channels < 3) in.corrupt("an RGB image with fewer than three channels");
            h.bits = h.channels >= 4 ? 32 : 24;
            h.used = h.channels >= 4 ? 4 : 3;
        } else {
            unsupported(kWhere, "colour mode " + std::to_string(h.mode) + " is not read");
        }
    }
    return h;
}

}  // namespace

bool PsdCodec::sniff(ByteView data) const {
    return data.size() >= 26 && data[0] == '8' && data[1] == 'B' && data[2] == 'P' && data[3] == 'S';
}

ImageInfo PsdCodec::readInfo(ByteView data) const {
    ByteReader in(data, kWhere);
    const Header h = readHeader(in);
    return makeInfo(format::Psd, h.bits, h.width, h.height, data);
}

Image PsdCodec::read(ByteView data, const LoadOptions& options) const {
    ByteReader in(data, kWhere);
    const Header h = readHeader(in);
    const int width = static_cast<int>(h.width), height = static_cast<int>(h.height);

    ByteReader modeData = in.sub(in.u32be());
    std::vector<Rgb> palette;
    if (h.mode == Indexed) {
        if (modeData.size() < 768) modeData.corrupt("an indexed image without its colour table");
        ByteView t = modeData.bytes(768);
        for (int i = 0; i < 256; ++i) palette.push_back(makeRgb(t[i], t[256 + i], t[512 + i]));
    }
    in.skip(in.u32be());  // image resources
    in.skip(in.u32be());  // layers and masks: the merged image below is what we show

    const int compression = in.u16be();
    if (compression > 1) unsupported(kWhere, "compression " + std::to_string(compression) + " is not read");
    const std::size_t rowBytes = packedRowBytes(width, h.depth);
    const std::uint64_t planeBytes = static_cast<std::uint64_t>(rowBytes) * height;
    const std::uint64_t totalBytes = planeBytes * static_cast<std::uint64_t>(h.used);
    // The header's claims are checked against the bytes present before anything is allocated:
    // a few hundred bytes must not be able to ask for gigabytes.
    std::vector<std::uint8_t> planes;
    if (compression == 0) {
        if (totalBytes > in.remaining()) in.truncated();
        ByteView raw = in.bytes(static_cast<std::size_t>(totalBytes));
        planes.assign(raw.begin(), raw.end());
    } else {
        const std::uint64_t rows = static_cast<std::uint64_t>(h.channels) * height;
        if (rows * 2 > in.remaining()) in.truncated();
        checkExpansion(totalBytes, static_cast<std::size_t>(in.remaining() - rows * 2), kPackBitsMaxRatio, kWhere);
        planes.resize(static_cast<std::size_t>(totalBytes));
        std::vector<std::uint16_t> counts(static_cast<std::size_t>(rows));
        for (auto& c : counts) c = in.u16be();
        for (std::size_t r = 0; r < static_cast<std::size_t>(height) * h.used; ++r) {
            ByteReader row = in.sub(counts[r]);
            packBitsDecode(row, planes.data() + r * rowBytes, rowBytes);
        }
    }

    Bitmap bmp(width, height, h.bits);
    const int step = h.depth / 8;  // 16-bit channels keep their high byte
    for (int y = 0; y < height; ++y) {
        std::uint8_t* d = bmp.row(y);
        const std::uint8_t* s = planes.data() + static_cast<std::size_t>(y) * rowBytes;
        if (h.bits == 1) {
            unpackRow(s, 1, width, d);
            for (int x = 0; x < width; ++x) d[x] = static_cast<std::uint8_t>(1 - d[x]);  // set bits are black
        } else if (h.bits == 8) {
            for (int x = 0; x < width; ++x) d[x] = s[x * step];
        } else {
            const int bpp = h.bits / 8;
            for (int c = 0; c < h.used; ++c) {
                const std::uint8_t* p = s + static_cast<std::size_t>(c * planeBytes);
                for (int x = 0; x < width; ++x) d[bpp * x + c] = p[x * step];
            }
        }
    }
    if (h.mode == Indexed) bmp.palette() = palette;
    return finishRead(std::move(bmp), format::Psd, options, kWhere);
}

Bytes PsdCodec::write(const Image& image, const SaveOptions& options) const {
    Bitmap bmp = bitmapForWrite(image, options, {1, 8, 24}, kWhere);
    // Bitmap mode knows only black ink on white: other two-colour palettes go indexed.
    if (bmp.bits() == 1 && bmp.palette() != std::vector<Rgb>{makeRgb(0, 0, 0), makeRgb(255, 255, 255)})
        bmp = convertDepth(bmp, 8, kWhere);
    const int width = bmp.width(), height = bmp.height();
    if (width > 30000 || height > 30000)
        fail(ErrorCode::InvalidArgument, std::string(kWhere), "the image is larger than 30000 pixels on a side");
    const bool grey = bmp.bits() == 8 && isGreyRamp(bmp.palette());
    const int mode = bmp.bits() == 1 ? Bitmap1 : (bmp.bits() == 24 ? RgbMode : (grey ? Grey : Indexed));
    const int channels = bmp.bits() == 24 ? 3 : 1;

    ByteWriter w;
    w.text("8BPS");
    w.u16be(1);
    w.fill(6, 0);
    w.u16be(static_cast<unsigned>(channels));
    w.u32be(static_cast<std::uint32_t>(height));
    w.u32be(static_cast<std::uint32_t>(width));
    w.u16be(bmp.bits() == 1 ? 1 : 8);
    w.u16be(static_cast<unsigned>(mode));
    if (mode == Indexed) {
        w.u32be(768);
        for (int c = 0; c < 3; ++c)
            for (Rgb rgb : bmp.palette()) w.u8(c == 0 ? redOf(rgb) : (c == 1 ? greenOf(rgb) : blueOf(rgb)));
    } else {
        w.u32be(0);
    }
    w.u32be(0);  // image resources
    w.u32be(0);  // layers and masks

    const std::size_t rowBytes = packedRowBytes(width, bmp.bits() == 1 ? 1 : 8);
    std::vector<std::uint8_t> row(rowBytes), ink(static_cast<std::size_t>(width));
    std::vector<Bytes> packed;
    for (int c = 0; c < channels; ++c)
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* s = bmp.row(y);
            if (bmp.bits() == 1) {
                for (int x = 0; x < width; ++x) ink[x] = static_cast<std::uint8_t>(1 - s[x]);
                packRow(ink.data(), 1, width, row.data());
            } else {
                for (int x = 0; x < width; ++x) row[x] = s[x * channels + c];
            }
            Bytes p;
            packBitsEncode(row.data(), rowBytes, p);
            packed.push_back(std::move(p));
        }
    // A row that PackBits cannot shrink below 64 KiB does not fit the counts table: raw then.
    const bool rle = std::all_of(packed.begin(), packed.end(), [](const Bytes& p) { return p.size() <= 0xFFFF; });
    w.u16be(rle ? 1 : 0);
    if (rle) {
        for (const Bytes& p : packed) w.u16be(static_cast<unsigned>(p.size()));
        for (const Bytes& p : packed) w.append(p);
    } else {
        for (int c = 0; c < channels; ++c)
            for (int y = 0; y < height; ++y) {
                const std::uint8_t* s = bmp.row(y);
                if (bmp.bits() == 1) {
                    for (int x = 0; x < width; ++x) ink[x] = static_cast<std::uint8_t>(1 - s[x]);
                    packRow(ink.data(), 1, width, row.data());
                } else {
                    for (int x = 0; x < width; ++x) row[x] = s[x * channels + c];
                }
                w.append(row);
            }
    }
    return w.take();
}

}  // namespace imaging
