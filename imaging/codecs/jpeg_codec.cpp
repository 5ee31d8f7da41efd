#include "codecs/jpeg_codec.h"

// jpeglib.h needs size_t and FILE declared first.
#include <cstdio>
#include <cstring>
#include <csetjmp>

#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <new>

#include "codecs/codec_support.h"

namespace imaging {
namespace {

constexpr const char* kWhere = "JPEG";

// Huffman-coded baseline data needs at least 2 bits per 8 x 8 block and progressive DC at
// least 1, so no real file comes near 2048 pixels a byte; only arithmetic coding of flat
// areas could, and those files are rare enough to meet the slack instead.
constexpr long long kMaxPixelsPerByte = 2048;
// Real encoders write at most a few dozen scans; thousands only make decoding crawl.
constexpr int kMaxScans = 1000;

// ---- the one error wrapper --------------------------------------------------------------
// libjpeg reports errors by calling error_exit, which must not return. We longjmp back to
// the guard that started the library call. Everything C++ (bitmaps, vectors, the library
// objects' owners) lives outside the guarded body, so the jump skips no destructor; the guard
// turns the jump into an Error after it has returned.
struct ErrorManager {
    jpeg_error_mgr pub{};
    std::jmp_buf jump{};
    bool truncated = false;
    char message[JMSG_LENGTH_MAX] = {};
};

void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
    // Warnings are level -1. A premature end of data is a truncated file, which libjpeg would
    // otherwise fill with grey and call a success; other warnings (stray bytes) are harmless.
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        err->truncated = true;
        (*cinfo->err->format_message)(cinfo, err->message);
        std::longjmp(err->jump, 1);
    }
    if (level < 0) ++cinfo->err->num_warnings;
}

void silent(j_common_ptr) {}

template <class Body>
bool guardedCall(ErrorManager& err, Body&& body) {
    if (setjmp(err.jump)) return false;
    body();
    return true;
}

[[noreturn]] void failFrom(const ErrorManager& err, bool writing) {
    ErrorCode code = writing ? ErrorCode::WriteFailed : ErrorCode::Corrupt;
    if (err.truncated) code = ErrorCode::Truncated;
    else if (err.pub.msg_code == JERR_OUT_OF_MEMORY) code = ErrorCode::OutOfMemory;
    else if (err.pub.msg_code == JERR_INPUT_EMPTY || err.pub.msg_code == JERR_INPUT_EOF) code = ErrorCode::Truncated;
    else if (!writing && err.pub.msg_code == JERR_NO_SOI) code = ErrorCode::UnknownFormat;
    else if (!writing && (err.pub.msg_code == JERR_BAD_PRECISION || err.pub.msg_code == JERR_NOT_COMPILED))
        code = ErrorCode::Unsupported;  // e.g. 12-bit samples: valid files this build does not decode
    fail(code, kWhere, err.message[0] ? err.message : "libjpeg failed");
}

void installErrorManager(ErrorManager& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    err.pub.output_message = silent;
}

// Owners of the library objects. They are created inside a guard (creation can fail) and
// destroyed here; jpeg_destroy on a never-created object is a no-op (its memory manager is null).
template <class Info, void (*Destroy)(Info*), bool Compressing>
struct LibjpegObject {
    Info info{};
    ErrorManager err;
    LibjpegObject() {
        installErrorManager(err);
        info.err = &err.pub;
    }
    ~LibjpegObject() { Destroy(&info); }
    LibjpegObject(const LibjpegObject&) = delete;
    LibjpegObject& operator=(const LibjpegObject&) = delete;
    template <class Body>
    void run(Body&& body) {
        if (!guardedCall(err, body)) failFrom(err, Compressing);
    }
};

using Decompressor = LibjpegObject<jpeg_decompress_struct, jpeg_destroy_decompress, false>;
using Compressor = LibjpegObject<jpeg_compress_struct, jpeg_destroy_compress, true>;

// A destination that grows a byte vector: the encoded file ends up in the block we return
// without a final copy, and nothing leaks when the encoder fails halfway.
struct VectorDestination {
    jpeg_destination_mgr pub{};
    Bytes* out = nullptr;
};

void destinationInit(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->out->data();
    dest->pub.free_in_buffer = dest->out->size();
}

boolean destinationGrow(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    const std::size_t used = dest->out->size();
    bool grown = true;
    try {
        dest->out->resize(used * 2);
    } catch (const std::bad_alloc&) {
        grown = false;
    }
    if (!grown) ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    dest->pub.next_output_byte = dest->out->data() + used;
    dest->pub.free_in_buffer = dest->out->size() - used;
    return TRUE;
}

void destinationTerm(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<VectorDestination*>(cinfo->dest);
    dest->out->resize(dest->out->size() - dest->pub.free_in_buffer);
}

// ---- scan scripts ------------------------------------------------------------------------
// One script per number of passes. Progressive JPEG codes DC and AC in separate scans and
// each AC scan holds one component, so a colour image needs at least four scans to be
// progressive; one to three passes are therefore sequential scans that still arrive in
// stages: the whole image at once, then luminance before colour, then one scan per
// component. From four passes on the scripts are progressive, adding spectral bands and
// successive-approximation bits in the order that sharpens the picture soonest; ten is the
// classic full script and more passes only make files larger, so the count is capped there
// (six for greyscale, where fewer components leave fewer useful scans).
#define SCAN(n, c0, c1, c2, ss, se, ah, al) {n, {c0, c1, c2, 0}, ss, se, ah, al}
const jpeg_scan_info kColour1[] = {SCAN(3, 0, 1, 2, 0, 63, 0, 0)};
const jpeg_scan_info kColour2[] = {SCAN(1, 0, 0, 0, 0, 63, 0, 0), SCAN(2, 1, 2, 0, 0, 63, 0, 0)};
const jpeg_scan_info kColour3[] = {SCAN(1, 0, 0, 0, 0, 63, 0, 0), SCAN(1, 1, 0, 0, 0, 63, 0, 0),
                                   SCAN(1, 2, 0, 0, 0, 63, 0, 0)};
const jpeg_scan_info kColour4[] = {SCAN(3, 0, 1, 2, 0, 0, 0, 0), SCAN(1, 0, 0, 0, 1, 63, 0, 0),
                                   SCAN(1, 1, 0, 0, 1, 63, 0, 0), SCAN(1, 2, 0, 0, 1, 63, 0, 0)};
const jpeg_scan_info kColour5[] = {SCAN(3, 0, 1, 2, 0, 0, 0, 0), SCAN(1, 0, 0, 0, 1, 5, 0, 0),
                                   SCAN(1, 1, 0, 0, 1, 63, 0, 0), SCAN(1, 2, 0, 0, 1, 63, 0, 0),
                                   SCAN(1, 0, 0, 0, 6, 63, 0, 0)};
const jpeg_scan_info kColour6[] = {SCAN(3, 0, 1, 2, 0, 0, 0, 1), SCAN(1, 0, 0, 0, 1, 5, 0, 0),
                                   SCAN(1, 1, 0, 0, 1, 63, 0, 0), SCAN(1, 2, 0, 0, 1, 63, 0, 0),
                                   SCAN(1, 0, 0, 0, 6, 63, 0, 0), SCAN(3, 0, 1, 2, 0, 0, 1, 0)};
const jpeg_scan_info kColour7[] = {SCAN(3, 0, 1, 2, 0, 0, 0, 1), SCAN(1, 0, 0, 0, 1, 5, 0, 1),
                                   SCAN(1, 1, 0, 0, 1, 63, 0, 0), SCAN(1, 2, 0, 0, 1, 63, 0, 0),
                                   SCAN(1, 0, 0, 0, 6, 63, 0, 1), SCAN(3, 0, 1, 2, 0, 0, 1, 0),
                                   SCAN(1, 0, 0, 0, 1, 63, 1, 0)};
const jpeg_scan_info kColour8[] = {SCAN(3, 0, 1, 2, 0, 0, 0, 1), SCAN(1, 0, 0, 0, 1, 5, 0, 2),
                                   SCAN(1, 1, 0, 0, 1, 63, 0, 0), SCAN(1, 2, 0, 0, 1, 63, 0, 0),
                                   SCAN(1, 0, 0, 0, 6, 63, 0, 2), SCAN(1, 0, 0, 0, 1, 63, 2, 1),
                                   SCAN(3, 0, 1, 2, 0, 0, 1, 0), SCAN(1, 0, 0, 0, 1, 63, 1, 0)};
const jpeg_scan_info kColour9[] = {SCAN(3, 0, 1, 2, 0, 0, 0, 1), SCAN(1, 0, 0, 0, 1, 5, 0, 1),
                                   SCAN(1, 2, 0, 0, 1, 63, 0, 1), SCAN(1, 1, 0, 0, 1, 63, 0, 1),
                                   SCAN(1, 0, 0, 0, 6, 63, 0, 1), SCAN(3, 0, 1, 2, 0, 0, 1, 0),
                                   SCAN(1, 2, 0, 0, 1, 63, 1, 0), SCAN(1, 1, 0, 0, 1, 63, 1, 0),
                                   SCAN(1, 0, 0, 0, 1, 63, 1, 0)};
const jpeg_scan_info kColour10[] = {SCAN(3, 0, 1, 2, 0, 0, 0, 1), SCAN(1, 0, 0, 0, 1, 5, 0, 2),
                                    SCAN(1, 2, 0, 0, 1, 63, 0, 1), SCAN(1, 1, 0, 0, 1, 63, 0, 1),
                                    SCAN(1, 0, 0, 0, 6, 63, 0, 2), SCAN(1, 0, 0, 0, 1, 63, 2, 1),
                                    SCAN(3, 0, 1, 2, 0, 0, 1, 0), SCAN(1, 2, 0, 0, 1, 63, 1, 0),
                                    SCAN(1, 1, 0, 0, 1, 63, 1, 0), SCAN(1, 0, 0, 0, 1, 63, 1, 0)};
const jpeg_scan_info kGrey1[] = {SCAN(1, 0, 0, 0, 0, 63, 0, 0)};
const jpeg_scan_info kGrey2[] = {SCAN(1, 0, 0, 0, 0, 0, 0, 0), SCAN(1, 0, 0, 0, 1, 63, 0, 0)};
const jpeg_scan_info kGrey3[] = {SCAN(1, 0, 0, 0, 0, 0, 0, 0), SCAN(1, 0, 0, 0, 1, 5, 0, 0),
                                 SCAN(1, 0, 0, 0, 6, 63, 0, 0)};
const jpeg_scan_info kGrey4[] = {SCAN(1, 0, 0, 0, 0, 0, 0, 1), SCAN(1, 0, 0, 0, 1, 5, 0, 0),
                                 SCAN(1, 0, 0, 0, 6, 63, 0, 0), SCAN(1, 0, 0, 0, 0, 0, 1, 0)};
const jpeg_scan_info kGrey5[] = {SCAN(1, 0, 0, 0, 0, 0, 0, 1), SCAN(1, 0, 0, 0, 1, 5, 0, 1),
                                 SCAN(1, 0, 0, 0, 6, 63, 0, 1), SCAN(1, 0, 0, 0, 0, 0, 1, 0),
                                 SCAN(1, 0, 0, 0, 1, 63, 1, 0)};
const jpeg_scan_info kGrey6[] = {SCAN(1, 0, 0, 0, 0, 0, 0, 1), SCAN(1, 0, 0, 0, 1, 5, 0, 2),
                                 SCAN(1, 0, 0, 0, 6, 63, 0, 2), SCAN(1, 0, 0, 0, 1, 63, 2, 1),
                                 SCAN(1, 0, 0, 0, 0, 0, 1, 0), SCAN(1, 0, 0, 0, 1, 63, 1, 0)};
#undef SCAN

struct Script {
    const jpeg_scan_info* scans;
    int count;
};
template <std::size_t N>
constexpr Script script(const jpeg_scan_info (&scans)[N]) {
    return {scans, static_cast<int>(N)};
}
const Script kColourScripts[] = {script(kColour1), script(kColour2), script(kColour3), script(kColour4),
                                 script(kColour5), script(kColour6), script(kColour7), script(kColour8),
                                 script(kColour9), script(kColour10)};
const Script kGreyScripts[] = {script(kGrey1), script(kGrey2), script(kGrey3),
                               script(kGrey4), script(kGrey5), script(kGrey6)};

Script scriptFor(int passes, bool greyscale) {
    if (greyscale) return kGreyScripts[std::min<int>(passes, std::size(kGreyScripts)) - 1];
    return kColourScripts[std::min<int>(passes, std::size(kColourScripts)) - 1];
}

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

int JpegCodec::scanCount(int passes, bool greyscale) {
    if (passes <= 0) return 1;
    return scriptFor(passes, greyscale).count;
}

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
    if (countScans(data) > kMaxScans) fail(ErrorCode::Corrupt, kWhere, "too many scans");
    Decompressor d;
    d.run([&] {
        jpeg_create_decompress(&d.info);
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
    std::vector<std::uint8_t> cmykRows(cmyk ? 4 * static_cast<std::size_t>(bitmap.width()) * 16 : 0);
    const int height = bitmap.height();
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
        }
        // Every row is decoded; a missing end marker after them costs nothing, so the
        // decoder is released without reading on to it.
        jpeg_abort_decompress(&d.info);
    });
    codec::convertForLoad(bitmap, options.bits, kWhere);
    return Image::fromBitmap(std::move(bitmap), number);
}

Bytes JpegCodec::write(const Image& image, const SaveOptions& options) const {
    if (image.empty() || image.first().empty()) fail(ErrorCode::NoImage, kWhere, "there is no image to save");
    const Bitmap& bitmap = image.first();
    if (options.qualityFactor < 2 || options.qualityFactor > 255)
        fail(ErrorCode::InvalidArgument, kWhere,
             "quality factor " + std::to_string(options.qualityFactor) + " is outside 2..255");
    if (options.passes < 0) fail(ErrorCode::InvalidArgument, kWhere, "negative number of passes");
    const bool greyOut = options.bits == 8;
    if (options.bits != 0 && options.bits != 8 && options.bits != 24)
        fail(ErrorCode::InvalidArgument, kWhere, "JPEG holds 8 (grey) or 24 bits, not " + std::to_string(options.bits));

    // Rows go to libjpeg straight from the bitmap where its layout is one libjpeg reads;
    // palette and 16-bit rows are expanded through one scratch row.
    bool greyPalette = bitmap.bits() == 8;
    for (int i = 0; greyPalette && i < 256; ++i) greyPalette = codec::paletteEntry(bitmap, i) == makeRgb(i, i, i);
    J_COLOR_SPACE inSpace = JCS_RGB;
    int inComponents = 3;
    bool direct = bitmap.bits() == 24;
    if (bitmap.bits() == 32) inSpace = JCS_EXT_RGBX, inComponents = 4, direct = true;
    else if (greyPalette && greyOut) inSpace = JCS_GRAYSCALE, inComponents = 1, direct = true;
    std::vector<std::uint8_t> scratch(direct ? 0 : 3 * static_cast<std::size_t>(bitmap.width()));

    int h = 1, v = 1;
    if (options.format == format::Jpeg422) h = 2;
    else if (options.format == format::Jpeg411) h = 2, v = 2;  // four luminance blocks to one of each chroma

    Bytes out(std::max<std::size_t>(16384, static_cast<std::size_t>(bitmap.width()) * bitmap.height() / 4));
    VectorDestination dest;
    dest.out = &out;
    dest.pub.init_destination = destinationInit;
    dest.pub.empty_output_buffer = destinationGrow;
    dest.pub.term_destination = destinationTerm;

    const int quality = libjpegQuality(options.qualityFactor);
    const int height = bitmap.height();
    Compressor c;
    c.run([&] {
        jpeg_create_compress(&c.info);
        c.info.dest = &dest.pub;
        c.info.image_width = static_cast<JDIMENSION>(bitmap.width());
        c.info.image_height = static_cast<JDIMENSION>(height);
        c.info.input_components = inComponents;
        c.info.in_color_space = inSpace;
        jpeg_set_defaults(&c.info);
        if (greyOut) jpeg_set_colorspace(&c.info, JCS_GRAYSCALE);
        jpeg_set_quality(&c.info, quality, TRUE);
        c.info.optimize_coding = TRUE;  // smaller files at identical pixels
        if (!greyOut) {
            c.info.comp_info[0].h_samp_factor = h;
            c.info.comp_info[0].v_samp_factor = v;
            for (int i = 1; i < 3; ++i) c.info.comp_info[i].h_samp_factor = c.info.comp_info[i].v_samp_factor = 1;
        }
        if (options.passes > 0) {
            const Script s = scriptFor(options.passes, greyOut);
            c.info.scan_info = s.scans;
            c.info.num_scans = s.count;
        }
        jpeg_start_compress(&c.info, TRUE);
        JSAMPROW rows[16];
        while (static_cast<int>(c.info.next_scanline) < height) {
            const int y = static_cast<int>(c.info.next_scanline);
            if (!direct) {
                codec::rowToRgb(bitmap, y, scratch.data());
                rows[0] = scratch.data();
                jpeg_write_scanlines(&c.info, rows, 1);
                continue;
            }
            const int n = std::min(16, height - y);
            for (int i = 0; i < n; ++i) rows[i] = const_cast<JSAMPROW>(bitmap.row(y + i));
            jpeg_write_scanlines(&c.info, rows, static_cast<JDIMENSION>(n));
        }
        jpeg_finish_compress(&c.info);
    });
    return out;
}

}  // namespace imaging
