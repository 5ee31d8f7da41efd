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

// ---- the HEVC streams' own picture sizes ----------------------------------------------------
// libheif allocates what an HEVC sequence header (SPS) asks for, whatever the file's header
// says; every SPS in the file's hvcC boxes is read here first and held to the same limits.
struct BitReader {
    std::vector<std::uint8_t> rbsp;
    std::size_t bit = 0;
    bool failed = false;
    unsigned u(int n) {
        unsigned v = 0;
        for (int i = 0; i < n; ++i) {
            if (bit >= rbsp.size() * 8) {
                failed = true;
                return 0;
            }
            v = (v << 1) | ((rbsp[bit / 8] >> (7 - bit % 8)) & 1u);
            ++bit;
        }
        return v;
    }
    std::uint64_t ue() {
        int zeros = 0;
        while (!failed && u(1) == 0)
            if (++zeros > 31) failed = true;
        if (failed) return 0;
        return (std::uint64_t{1} << zeros) - 1 + u(zeros);
    }
};

// Width and height an SPS NAL unit (with its 2-byte header) names; false when it cannot be read.
bool spsSize(ByteView nal, std::uint64_t& width, std::uint64_t& height) {
    BitReader r;
    for (std::size_t i = 2; i < nal.size(); ++i) {
        // Emulation prevention: 00 00 03 carries 00 00.
        if (nal[i] == 3 && r.rbsp.size() >= 2 && r.rbsp[r.rbsp.size() - 1] == 0 && r.rbsp[r.rbsp.size() - 2] == 0) continue;
        r.rbsp.push_back(nal[i]);
    }
    r.u(4);
    const unsigned subLayers = r.u(3);
    r.u(1);
    r.u(96);  // general profile, tier, level
    unsigned profilePresent = 0, levelPresent = 0;
    for (unsigned i = 0; i < subLayers; ++i) {
        profilePresent |= r.u(1) << i;
        levelPresent |= r.u(1) << i;
    }
    if (subLayers > 0)
        for (unsigned i = subLayers; i < 8; ++i) r.u(2);
    for (unsigned i = 0; i < subLayers; ++i) {
        if (profilePresent & (1u << i)) r.u(88);
        if (levelPresent & (1u << i)) r.u(8);
    }
    r.ue();
    if (r.ue() == 3) r.u(1);
    width = r.ue();
    height = r.ue();
    return !r.failed;
}

void checkSps(ByteView nal, std::size_t fileSize) {
    std::uint64_t w = 0, h = 0;
    if (!spsSize(nal, w, h) || w > (1u << 20) || h > (1u << 20)) fail(ErrorCode::Corrupt, kWhere, "a sequence header cannot be read");
    checkDimensions(static_cast<long long>(w), static_cast<long long>(h), kWhere);
    codec::checkPixelBudget(static_cast<long long>(w), static_cast<long long>(h), fileSize, kMaxPixelsPerByte, kWhere);
}

// Sequence headers inside an item's data (NAL units with 4-byte lengths, as HEIF stores them).
void checkInBandSps(ByteView data, std::size_t from, std::size_t length) {
    std::size_t p = from;
    const std::size_t end = from + length;
    while (p + 6 <= end) {
        const std::size_t n = (std::size_t{data[p]} << 24) | (std::size_t{data[p + 1]} << 16) | (std::size_t{data[p + 2]} << 8) | data[p + 3];
        p += 4;
        if (n < 2 || n > end - p) return;
        if (((data[p] >> 1) & 0x3F) == 33) checkSps(data.subspan(p, n), data.size());
        p += n;
    }
}

// Every hvcC box's SPS against the engine's size limits and the file's pixel budget.
void checkHevcSizes(ByteView data) {
    for (std::size_t at = 4; at + 4 <= data.size(); ++at) {
        if (std::memcmp(data.data() + at, "hvcC", 4) != 0) continue;
        const std::size_t boxSize = (std::size_t{data[at - 4]} << 24) | (std::size_t{data[at - 3]} << 16) |
                                    (std::size_t{data[at - 2]} << 8) | data[at - 1];
        const std::size_t end = std::min(data.size(), at - 4 + std::max<std::size_t>(boxSize, 8));
        std::size_t p = at + 4 + 22;
        if (p >= end) continue;
        const int arrays = data[p++];
        for (int a = 0; a < arrays && p + 3 <= end; ++a) {
            const int type = data[p] & 0x3F;
            const int count = (data[p + 1] << 8) | data[p + 2];
            p += 3;
            for (int n = 0; n < count && p + 2 <= end; ++n) {
                const std::size_t length = (std::size_t{data[p]} << 8) | data[p + 1];
                p += 2;
                if (length > end - p) fail(ErrorCode::Corrupt, kWhere, "a sequence header reaches past its box");
                if (type == 33) checkSps(data.subspan(p, length), data.size());
                p += length;
            }
        }
    }
}

// A grid picture's output size stands in its item data, not in its header, and libheif
// allocates it before decoding a tile: a grid description is held to the engine's limits and
// the file's pixel budget as well. `g` is an item's data (`n` bytes) that may describe a grid.
void checkGridDescription(const std::uint8_t* g, std::size_t n, std::size_t fileSize) {
    if (n < 8 || g[0] != 0) return;
    const bool wide = (g[1] & 1) != 0;
    if (wide && n < 12) return;
    const long long w = wide ? (static_cast<long long>(g[4]) << 24 | g[5] << 16 | g[6] << 8 | g[7]) : (g[4] << 8 | g[5]);
    const long long h = wide ? (static_cast<long long>(g[8]) << 24 | g[9] << 16 | g[10] << 8 | g[11]) : (g[6] << 8 | g[7]);
    checkDimensions(w, h, kWhere);
    codec::checkPixelBudget(w, h, fileSize, kMaxPixelsPerByte, kWhere);
}

// The payload of the file's item-data box (idat): where it starts and how long it is.
std::pair<std::size_t, std::size_t> itemDataBox(ByteView data) {
    for (std::size_t at = 4; at + 4 <= data.size(); ++at) {
        if (std::memcmp(data.data() + at, "idat", 4) != 0) continue;
        const std::size_t boxSize = (std::size_t{data[at - 4]} << 24) | (std::size_t{data[at - 3]} << 16) |
                                    (std::size_t{data[at - 2]} << 8) | data[at - 1];
        if (boxSize < 8 || at - 4 + boxSize > data.size()) continue;
        return {at + 4, boxSize - 8};
    }
    return {0, 0};
}

// libheif makes room for an item's data as its location box (iloc) claims it before reading
// it; every extent must lie inside the file (items in other files are not read).
void checkItemLocations(ByteView data) {
    const std::pair<std::size_t, std::size_t> idat = itemDataBox(data);
    for (std::size_t at = 4; at + 4 <= data.size(); ++at) {
        if (std::memcmp(data.data() + at, "iloc", 4) != 0) continue;
        codec::ByteReader in(data.subspan(at + 4), kWhere);
        const int version = in.u8();
        in.skip(3);
        const int sizes = in.u16be();
        const int offsetSize = sizes >> 12, lengthSize = (sizes >> 8) & 15, baseSize = (sizes >> 4) & 15;
        const int indexSize = version == 1 || version == 2 ? sizes & 15 : 0;
        auto value = [&](int bytes) {
            std::uint64_t v = 0;
            for (int i = 0; i < bytes; ++i) v = (v << 8) | in.u8();
            return v;
        };
        const std::uint64_t items = version < 2 ? in.u16be() : value(4);
        for (std::uint64_t i = 0; i < items; ++i) {
            value(version < 2 ? 2 : 4);                  // item ID
            const int method = version >= 1 ? in.u16be() & 15 : 0;
            in.skip(2);                                  // data reference index
            const std::uint64_t base = value(baseSize);
            const int extents = in.u16be();
            for (int e = 0; e < extents; ++e) {
                value(indexSize);
                const std::uint64_t offset = value(offsetSize), length = value(lengthSize);
                if (method == 0 && (base > data.size() || offset > data.size() || length > data.size() ||
                                    base + offset + length > data.size()))
                    fail(ErrorCode::Truncated, kWhere, "an item's data lies beyond the end of the file");
                if (method == 0) checkInBandSps(data, static_cast<std::size_t>(base + offset), static_cast<std::size_t>(length));
                if (method == 1) {
                    // Data in the item-data box, where a grid keeps its description.
                    if (base > idat.second || offset > idat.second || length > idat.second || base + offset + length > idat.second)
                        fail(ErrorCode::Corrupt, kWhere, "an item's data lies beyond its box");
                    checkGridDescription(data.data() + idat.first + base + offset, static_cast<std::size_t>(length), data.size());
                }
            }
        }
        break;
    }
    // A grid described at the start of the item-data box, whatever the locations say.
    if (idat.second > 0) checkGridDescription(data.data() + idat.first, idat.second, data.size());
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
    checkItemLocations(data);
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
    checkHevcSizes(data);
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
