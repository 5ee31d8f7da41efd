#include "codecs/jpeg_support.h"

#include "codecs/exif.h"

#include <cstring>

#include <jerror.h>

#include <algorithm>
#include <new>

#include "codecs/codec_support.h"
#include "codecs/jpeg_codec.h"

namespace imaging::jpeg {
namespace {

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
        if (err->keepPartial) return;
        std::longjmp(err->jump, 1);
    }
    if (level < 0) ++cinfo->err->num_warnings;
}

void silent(j_common_ptr) {}

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


}  // namespace

void failFrom(const ErrorManager& err, bool writing) {
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

VectorDestination::VectorDestination(Bytes& bytes, std::size_t initial) : out(&bytes) {
    bytes.resize(initial);
    pub.init_destination = destinationInit;
    pub.empty_output_buffer = destinationGrow;
    pub.term_destination = destinationTerm;
}

int scanCount(int passes, bool greyscale) {
    if (passes <= 0) return 1;
    return scriptFor(passes, greyscale).count;
}

RowSource checkedSource(const Image& image, const SaveOptions& options) {
    if (image.empty()) fail(ErrorCode::NoImage, kWhere, "there is no image to save");
    return checkedSource(image.first(), options);
}

RowSource checkedSource(const Bitmap& bitmap, const SaveOptions& options) {
    if (bitmap.empty()) fail(ErrorCode::NoImage, kWhere, "there is no image to save");
    if (options.qualityFactor < 2 || options.qualityFactor > 255)
        fail(ErrorCode::InvalidArgument, kWhere,
             "quality factor " + std::to_string(options.qualityFactor) + " is outside 2..255");
    if (options.passes < 0) fail(ErrorCode::InvalidArgument, kWhere, "negative number of passes");
    const bool greyOut = options.bits == 8;
    if (options.bits != 0 && options.bits != 8 && options.bits != 24)
        fail(ErrorCode::InvalidArgument, kWhere, "JPEG holds 8 (grey) or 24 bits, not " + std::to_string(options.bits));

    // Palette and 16-bit rows are expanded through one scratch row.
    RowSource source;
    source.bitmap = &bitmap;
    bool greyPalette = bitmap.bits() == 8;
    for (int i = 0; greyPalette && i < 256; ++i) greyPalette = codec::paletteEntry(bitmap, i) == makeRgb(i, i, i);
    source.direct = bitmap.bits() == 24;
    if (bitmap.bits() == 32) source.space = JCS_EXT_RGBX, source.components = 4, source.direct = true;
    else if (greyPalette && greyOut) source.space = JCS_GRAYSCALE, source.components = 1, source.direct = true;
    source.scratch.resize(source.direct ? 0 : 3 * static_cast<std::size_t>(bitmap.width()));
    return source;
}

void configure(jpeg_compress_struct& info, int width, int height, J_COLOR_SPACE inSpace, int inComponents,
               const SaveOptions& options) {
    const bool greyOut = options.bits == 8;
    int h = 1, v = 1;
    if (options.format == format::Jpeg422) h = 2;
    else if (options.format == format::Jpeg411) h = 2, v = 2;  // four luminance blocks to one of each chroma
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = inComponents;
    info.in_color_space = inSpace;
    jpeg_set_defaults(&info);
    if (greyOut) jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    jpeg_set_quality(&info, JpegCodec::libjpegQuality(options.qualityFactor), TRUE);
    info.optimize_coding = TRUE;  // smaller files at identical pixels
    if (!greyOut) {
        info.comp_info[0].h_samp_factor = h;
        info.comp_info[0].v_samp_factor = v;
        for (int i = 1; i < 3; ++i) info.comp_info[i].h_samp_factor = info.comp_info[i].v_samp_factor = 1;
    }
    if (options.passes > 0) {
        const Script s = scriptFor(options.passes, greyOut);
        info.scan_info = s.scans;
        info.num_scans = s.count;
    }
}

std::vector<jpeg_scan_info> scanScript(int passes, bool greyscale, int split, bool* hasSplit) {
    const Script s = scriptFor(std::max(1, passes), greyscale);
    std::vector<jpeg_scan_info> scans(s.scans, s.scans + s.count);
    constexpr int kBandEnd = 5;  // where the scripts end the luminance's first AC band
    bool found = false;
    for (jpeg_scan_info& scan : scans) {
        if (scan.comps_in_scan != 1 || scan.component_index[0] != 0) continue;
        if (scan.Ss == 1 && scan.Se == kBandEnd) {
            found = true;
            if (split > 1 && split < 63) scan.Se = split - 1;
        } else if (scan.Ss == kBandEnd + 1) {
            if (split > 1 && split < 63) scan.Ss = split;
        }
    }
    if (hasSplit) *hasSplit = found;
    return scans;
}

void useScript(jpeg_compress_struct& info, const std::vector<jpeg_scan_info>& script) {
    info.scan_info = script.data();
    info.num_scans = static_cast<int>(script.size());
}

void writeRows(jpeg_compress_struct& info, RowSource& source) {
    const Bitmap& bitmap = *source.bitmap;
    const int height = bitmap.height();
    JSAMPROW rows[16];
    while (static_cast<int>(info.next_scanline) < height) {
        const int y = static_cast<int>(info.next_scanline);
        if (!source.direct) {
            codec::rowToRgb(bitmap, y, source.scratch.data());
            rows[0] = source.scratch.data();
            jpeg_write_scanlines(&info, rows, 1);
            continue;
        }
        const int n = std::min(16, height - y);
        for (int i = 0; i < n; ++i) rows[i] = const_cast<JSAMPROW>(bitmap.row(y + i));
        jpeg_write_scanlines(&info, rows, static_cast<JDIMENSION>(n));
    }
}

void writeEmbeddedMarkers(jpeg_compress_struct& info, const SaveOptions& options) {
    const Bytes exifBlock = exif::build(options.author, options.copyright);
    if (!exifBlock.empty() && exifBlock.size() + 6 <= 65533) {
        Bytes app1{'E', 'x', 'i', 'f', 0, 0};
        app1.insert(app1.end(), exifBlock.begin(), exifBlock.end());
        jpeg_write_marker(&info, JPEG_APP0 + 1, app1.data(), static_cast<unsigned>(app1.size()));
    }
    // libjpeg-turbo splits the profile over as many APP2 markers as it needs.
    if (!options.iccProfile.empty())
        jpeg_write_icc_profile(&info, options.iccProfile.data(), static_cast<unsigned>(options.iccProfile.size()));
}

}  // namespace imaging::jpeg
