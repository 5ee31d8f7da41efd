#include "codecs/jpeg_codec.h"
#include "codecs/load_notes.h"

#include <cstring>

#include <jerror.h>

#include <algorithm>
#include <new>
#include <optional>
#include <string>

#include "codecs/codec_support.h"
#include "codecs/jpeg_requant.h"
#include "codecs/jpeg_support.h"
#include "core/limits.h"

namespace imaging {
namespace {

using jpeg::kWhere;
using jpeg::Decompressor;

// Huffman-coded baseline data needs at least 2 bits per 8 x 8 block and progressive DC at
// least 1, so no real file comes near 2048 pixels a byte; only arithmetic coding of flat
// areas could, and those files are rare enough to meet the slack instead.
constexpr long long kMaxPixelsPerByte = 2048;

// ---- header parsing for readInfo ----------------------------------------------------------
struct Header {
    int width = 0, height = 0, components = 0;
    int lumaH = 1, lumaV = 1;
    bool chromaFull = true;
};

bool isFrameMarker(int m) {
    return m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC;
}

Header parseHeader(ByteView data) {
    codec::ByteReader in(data, kWhere);
    if (in.u16be() != 0xFFD8) fail(ErrorCode::UnknownFormat, kWhere, "no JPEG start marker");
    for (;;) {
        if (in.u8() != 0xFF) fail(ErrorCode::Corrupt, kWhere, "a marker was expected");
        int marker = in.u8();
        while (marker == 0xFF) marker = in.u8();
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
        if (marker == 0xD9 || marker == 0xDA) fail(ErrorCode::Corrupt, kWhere, "the image has no frame header");
        const int length = in.u16be();
        if (length < 2) fail(ErrorCode::Corrupt, kWhere, "a marker segment is too short");
        if (!isFrameMarker(marker)) {
            in.skip(static_cast<std::size_t>(length - 2));
            continue;
        }
        Header h;
        in.skip(1);  // sample precision
        h.height = in.u16be();
        h.width = in.u16be();
        h.components = in.u8();
        for (int i = 0; i < h.components; ++i) {
            in.skip(1);
            const int sampling = in.u8();
            in.skip(1);
            if (i == 0) {
                h.lumaH = sampling >> 4;
                h.lumaV = sampling & 15;
            } else if (sampling != 0x11) {
                h.chromaFull = false;
            }
        }
        return h;
    }
}

struct StopMonitor {
    jpeg_progress_mgr pub{};
    bool stopped = false;
    StopMonitor() { pub.progress_monitor = check; }
    static void check(j_common_ptr cinfo) {
        auto* self = reinterpret_cast<StopMonitor*>(cinfo->progress);
        if (!stopRequested()) return;
        self->stopped = true;
        ERREXIT(cinfo, JERR_BAD_STATE);
    }
};

int countScans(ByteView data) {
    int scans = 0;
    const std::uint8_t* p = data.data();
    const std::uint8_t* end = p + data.size();
    while (p + 1 < end) {
        p = static_cast<const std::uint8_t*>(std::memchr(p, 0xFF, static_cast<std::size_t>(end - p - 1)));
        if (!p) break;
        if (p[1] == 0xDA) ++scans;
        ++p;
    }
    return scans;
}

void cmykToRgb(const std::uint8_t* cmyk, std::uint8_t* rgb, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        // Adobe writes CMYK inverted: the stored values already are 255 - ink.
        const int k = inverted ? cmyk[3] : 255 - cmyk[3];
        for (int c = 0; c < 3; ++c) {
            const int v = inverted ? cmyk[c] : 255 - cmyk[c];
            rgb[c] = static_cast<std::uint8_t>((v * k + 127) / 255);
        }
    }
}

}  // namespace

int JpegCodec::libjpegQuality(int qualityFactor) {
    // The user's quality is 256 - factor (1..254); spread it linearly over libjpeg's 1..100:
    //   quality = clamp(round((256 - factor) * 100 / 254), 1, 100)
    // so factor 2 is 100, factor 129 is 50 and factor 255 is 1.
    const int q = ((256 - qualityFactor) * 100 + 127) / 254;
    return std::clamp(q, 1, 100);
}

int JpegCodec::scanCount(int passes, bool greyscale) { return jpeg::scanCount(passes, greyscale); }

bool JpegCodec::sniff(ByteView data) const {
    return data.size() >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

ImageInfo JpegCodec::readInfo(ByteView data) const {
    const Header h = parseHeader(data);
    checkDimensions(h.width, h.height, kWhere);
    if (h.components != 1 && h.components != 3 && h.components != 4)
        fail(ErrorCode::Unsupported, kWhere, std::to_string(h.components) + " colour components");
    ImageInfo info;
    info.format = format::Jpeg444;
    if (h.components == 3 && h.chromaFull) {
        if (h.lumaH == 2 && h.lumaV == 1) info.format = format::Jpeg422;
        else if (h.lumaH * h.lumaV == 4) info.format = format::Jpeg411;
    }
    info.bits = h.components == 1 ? 8 : 24;
    info.width = h.width;
    info.height = h.height;
    info.fileSize = data.size();
    info.memorySize = codec::memorySizeOf(h.width, h.height, info.bits);
    return info;
}

Image JpegCodec::read(ByteView data, const LoadOptions& options) const {
    codec::pageRange(1, options, kWhere);
    if (const int scans = countScans(data); scans > kMaxJpegScans)
        fail(ErrorCode::TooLarge, kWhere,
             "the file has " + std::to_string(scans) + " scans, more than the " + std::to_string(kMaxJpegScans) +
                 " any encoder writes; each costs a pass over the whole picture");
    Decompressor d;
    // A long read stops between rows of blocks as soon as its caller asks (a batch after Ctrl+C).
    StopMonitor monitor;
    d.run([&] {
        jpeg_create_decompress(&d.info);
        d.info.progress = &monitor.pub;
        jpeg_mem_src(&d.info, data.data(), static_cast<unsigned long>(data.size()));
        jpeg_read_header(&d.info, TRUE);
    });
    codec::checkPixelBudget(d.info.image_width, d.info.image_height, data.size(), kMaxPixelsPerByte, kWhere);

    // The component table belongs to the image pool, which the end of decoding frees.
    int number = format::Jpeg444;
    const jpeg_component_info* comp = d.info.comp_info;
    if (d.info.num_components == 3 && comp[1].h_samp_factor == 1 && comp[1].v_samp_factor == 1 &&
        comp[2].h_samp_factor == 1 && comp[2].v_samp_factor == 1) {
        if (comp[0].h_samp_factor == 2 && comp[0].v_samp_factor == 1) number = format::Jpeg422;
        else if (comp[0].h_samp_factor * comp[0].v_samp_factor == 4) number = format::Jpeg411;
    }
    const J_COLOR_SPACE stored = d.info.jpeg_color_space;
    const bool grey = d.info.num_components == 1;
    const bool cmyk = stored == JCS_CMYK || stored == JCS_YCCK;
    d.info.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_RGB;
    const bool inverted = d.info.saw_Adobe_marker;

    Bitmap bitmap(static_cast<int>(d.info.image_width), static_cast<int>(d.info.image_height), grey ? 8 : 24);
    RowListener* const listener = grey ? nullptr : options.rowListener;
    // A read that fails ends the listener's work on the rows before the bitmap goes.
    struct Abandon {
        RowListener* listener;
        ~Abandon() {
            if (listener) listener->abandon();
        }
    } abandonOnFailure{listener};
    std::vector<std::uint8_t> cmykRows(cmyk ? 4 * static_cast<std::size_t>(bitmap.width()) * 16 : 0);
    const int height = bitmap.height();
    // The header arrived whole: from here a file cut short shows its rows up to the cut and
    // grey below, as browsers show it, and the image is marked damaged.
    d.err.keepPartial = true;
    try {
    d.run([&] {
        jpeg_start_decompress(&d.info);
        if (static_cast<int>(d.info.output_width) != bitmap.width() || static_cast<int>(d.info.output_height) != height)
            ERREXIT(&d.info, JERR_IMAGE_TOO_BIG);
        JSAMPROW rows[16];
        while (static_cast<int>(d.info.output_scanline) < height) {
            const int y = static_cast<int>(d.info.output_scanline);
            const int n = std::min(16, height - y);
            for (int i = 0; i < n; ++i)
                rows[i] = cmyk ? cmykRows.data() + 4 * static_cast<std::size_t>(bitmap.width()) * i : bitmap.row(y + i);
            const int got = static_cast<int>(jpeg_read_scanlines(&d.info, rows, static_cast<JDIMENSION>(n)));
            if (cmyk)
                for (int i = 0; i < got; ++i) cmykToRgb(rows[i], bitmap.row(y + i), bitmap.width(), inverted);
            if (listener) listener->rowsDone(bitmap, y + got);
        }
        // Every row is decoded; a missing end marker after them costs nothing, so the
        // decoder is released without reading on to it.
        jpeg_abort_decompress(&d.info);
    });
    } catch (const Error&) {
        if (monitor.stopped) fail(ErrorCode::Stopped, kWhere, "stopped on request before the picture was read");
        throw;
    }
    if (listener) listener->finished(bitmap);
    abandonOnFailure.listener = nullptr;
    codec::convertForLoad(bitmap, options.bits, kWhere);
    if (d.err.truncated) noteDamaged();
    return Image::fromBitmap(std::move(bitmap), number);
}

Bytes JpegCodec::write(const Image& image, const SaveOptions& options) const {
    if (!options.fastJpeg) {
        if (image.empty()) fail(ErrorCode::NoImage, kWhere, "there is no image to save");
        // The size-optimising encoder works on the transform's output, which it catches from
        // libjpeg; a library that transforms in an order the capture does not expect gets the
        // plain encoder instead of a refusal.
        std::optional<JpegRequantizer> encoder;
        try {
            encoder.emplace(image.first(), options);
        } catch (const Error& e) {
            if (e.code() != ErrorCode::Unsupported) throw;
        }
        if (encoder) return encoder->encode(options.qualityFactor);
        SaveOptions plain = options;
        plain.fastJpeg = true;
        return write(image, plain);
    }
    jpeg::RowSource source = jpeg::checkedSource(image, options);
    const Bitmap& bitmap = *source.bitmap;
    Bytes out;
    jpeg::VectorDestination dest(out, std::max<std::size_t>(16384, static_cast<std::size_t>(bitmap.width()) * bitmap.height() / 4));
    jpeg::Compressor c;
    c.run([&] {
        jpeg_create_compress(&c.info);
        c.info.dest = &dest.pub;
        jpeg::configure(c.info, bitmap.width(), bitmap.height(), source.space, source.components, options);
        jpeg_start_compress(&c.info, TRUE);
        jpeg::writeEmbeddedMarkers(c.info, options);
        jpeg::writeRows(c.info, source);
        jpeg_finish_compress(&c.info);
    });
    return out;
}

}  // namespace imaging
