#include "codecs/heif_codec.h"

#include <libheif/heif.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "codecs/codec_support.h"
#include "codecs/exif.h"
#include "color/icc_transform.h"
#include "core/error.h"

namespace imaging {
namespace {

constexpr const char* kWhere = "HEIF";
// A phone's HEIC holds a megabyte or more for 12 megapixels, and even a flat picture needs
// its tiles' headers and a few bytes per 64 x 64 block; a file claiming more than 2048 pixels
// per byte lies, and nothing that size is allocated (nor handed to the HEVC decoder). Small
// pictures (4 megapixels) are always allowed.
constexpr long long kMaxPixelsPerByte = 2048;
// libheif's own limit on each side, checked before it allocates a picture or a grid.
constexpr int kMaxSide = 1 << 16;
// EXIF blocks beyond this are not camera metadata.
constexpr std::size_t kMaxExifBytes = 1 << 20;

struct ContextDeleter {
    void operator()(heif_context* c) const { heif_context_free(c); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* h) const { heif_image_handle_release(h); }
};
struct ImageDeleter {
    void operator()(heif_image* i) const { heif_image_release(i); }
};
struct OptionsDeleter {
    void operator()(heif_decoding_options* o) const { heif_decoding_options_free(o); }
};

ErrorCode codeFor(const heif_error& e) {
    switch (e.code) {
    case heif_error_Unsupported_filetype:
    case heif_error_Unsupported_feature:
    case heif_error_Decoder_plugin_error: return ErrorCode::Unsupported;
    case heif_error_Memory_allocation_error: return e.subcode == heif_suberror_Security_limit_exceeded ? ErrorCode::TooLarge
                                                                                                      : ErrorCode::OutOfMemory;
    default: return e.subcode == heif_suberror_End_of_data ? ErrorCode::Truncated : ErrorCode::Corrupt;
    }
}

void check(const heif_error& e, const char* what) {
    if (e.code != heif_error_Ok)
        fail(codeFor(e), kWhere, std::string(what) + ": " + (e.message ? e.message : "libheif failed"));
}

struct Parsed {
    std::unique_ptr<heif_context, ContextDeleter> context;
    std::unique_ptr<heif_image_handle, HandleDeleter> handle;
    int width = 0, height = 0;  // upright
    bool alpha = false;
};

// The file parsed over `data` (not copied: `data` outlives the result), with the size limits
// set before anything is allocated.
Parsed parse(ByteView data) {
    Parsed p;
    p.context.reset(heif_context_alloc());
    if (!p.context) fail(ErrorCode::OutOfMemory, kWhere, "no decoder");
    heif_context_set_maximum_image_size_limit(p.context.get(), kMaxSide);
    check(heif_context_read_from_memory_without_copy(p.context.get(), data.data(), data.size(), nullptr),
          "the file's structure is not valid");
    heif_image_handle* handle = nullptr;
    check(heif_context_get_primary_image_handle(p.context.get(), &handle), "the file has no primary picture");
    p.handle.reset(handle);
    p.width = heif_image_handle_get_width(handle);
    p.height = heif_image_handle_get_height(handle);
    p.alpha = heif_image_handle_has_alpha_channel(handle) != 0;
    checkDimensions(p.width, p.height, kWhere);
    return p;
}

void takeProfileAndExif(const heif_image_handle* handle, ImageNotes& notes) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        const std::size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        if (size > 0 && size <= icc::kMaxProfileBytes) {
            notes.foundProfile.resize(size);
            if (heif_image_handle_get_raw_color_profile(handle, notes.foundProfile.data()).code != heif_error_Ok)
                notes.foundProfile.clear();
        }
    }
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) == 1) {
        const std::size_t size = heif_image_handle_get_metadata_size(handle, id);
        if (size > 0 && size <= kMaxExifBytes) {
            notes.foundExif.resize(size);
            if (heif_image_handle_get_metadata(handle, id, notes.foundExif.data()).code != heif_error_Ok)
                notes.foundExif.clear();
        }
    }
}

}  // namespace

bool HeifCodec::sniff(ByteView data) const {
    // An ISO-BMFF file whose 'ftyp' names an HEIF brand (HEVC-coded, or the general image
    // brands). AVIF files carry 'mif1' too; their codec comes first in the registry.
    if (data.size() < 16 || std::memcmp(data.data() + 4, "ftyp", 4) != 0) return false;
    const std::size_t boxSize = (std::size_t{data[0]} << 24) | (std::size_t{data[1]} << 16) |
                                (std::size_t{data[2]} << 8) | data[3];
    const std::size_t end = std::min(data.size(), std::max<std::size_t>(boxSize, 16));
    for (std::size_t at = 8; at + 4 <= end; at += 4) {
        if (at == 12) continue;  // the minor version, not a brand
        for (const char* brand : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"})
            if (std::memcmp(data.data() + at, brand, 4) == 0) return true;
    }
    return false;
}

ImageInfo HeifCodec::readInfo(ByteView data) const {
    if (!sniff(data)) fail(ErrorCode::UnknownFormat, kWhere, "no HEIF file-type box");
    const Parsed p = parse(data);
    ImageInfo info;
    info.format = format::Heif;
    info.bits = p.alpha ? 32 : 24;
    info.width = p.width;
    info.height = p.height;
    info.fileSize = data.size();
    info.memorySize = codec::memorySizeOf(info.width, info.height, info.bits);
    return info;
}

Image HeifCodec::read(ByteView data, const LoadOptions& options) const {
    if (!sniff(data)) fail(ErrorCode::UnknownFormat, kWhere, "no HEIF file-type box");
    codec::pageRange(1, options, kWhere);
    const Parsed p = parse(data);
    codec::checkPixelBudget(p.width, p.height, data.size(), kMaxPixelsPerByte, kWhere);
    std::unique_ptr<heif_decoding_options, OptionsDeleter> decoding(heif_decoding_options_alloc());
    if (!decoding) fail(ErrorCode::OutOfMemory, kWhere, "no decoder");
    heif_image* decodedRaw = nullptr;
    check(heif_decode_image(p.handle.get(), &decodedRaw, heif_colorspace_RGB,
                            p.alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, decoding.get()),
          "the compressed picture data is damaged or cannot be decoded");
    const std::unique_ptr<heif_image, ImageDeleter> decoded(decodedRaw);
    const int w = heif_image_get_width(decoded.get(), heif_channel_interleaved);
    const int h = heif_image_get_height(decoded.get(), heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    if (!plane || w != p.width || h != p.height) fail(ErrorCode::Corrupt, kWhere, "the decoded picture does not match its header");
    Bitmap bitmap(w, h, p.alpha ? 32 : 24);
    const std::size_t rowBytes = bitmap.stride();
    if (stride < 0 || static_cast<std::size_t>(stride) < rowBytes) fail(ErrorCode::Corrupt, kWhere, "unexpected row layout");
    for (int y = 0; y < h; ++y) std::memcpy(bitmap.row(y), plane + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride), rowBytes);
    codec::convertForLoad(bitmap, options.bits, kWhere);
    Image image = Image::fromBitmap(std::move(bitmap), format::Heif);
    takeProfileAndExif(p.handle.get(), image.notes);
    return image;
}

}  // namespace imaging
