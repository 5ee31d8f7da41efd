#include "codecs/avif_codec.h"

#include <avif/avif.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "codecs/codec_support.h"
#include "codecs/exif.h"
#include "codecs/orientation.h"
#include "codecs/webp_codec.h"
#include "core/error.h"

namespace imaging {

namespace {

constexpr const char* kWhere = "AVIF";

struct DecoderDeleter {
    void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};
struct EncoderDeleter {
    void operator()(avifEncoder* e) const { avifEncoderDestroy(e); }
};
struct ImageDeleter {
    void operator()(avifImage* i) const { avifImageDestroy(i); }
};
struct RwData {
    avifRWData data = AVIF_DATA_EMPTY;
    RwData() = default;
    ~RwData() { avifRWDataFree(&data); }
    RwData(const RwData&) = delete;
    RwData& operator=(const RwData&) = delete;
};

[[noreturn]] void failWith(ErrorCode code, const std::string& what, avifResult result) {
    fail(code, kWhere, what + ": " + avifResultToString(result));
}

ErrorCode codeFor(avifResult r) {
    switch (r) {
        case AVIF_RESULT_TRUNCATED_DATA: return ErrorCode::Truncated;
        case AVIF_RESULT_OUT_OF_MEMORY: return ErrorCode::OutOfMemory;
        case AVIF_RESULT_NOT_IMPLEMENTED:
        case AVIF_RESULT_NO_CODEC_AVAILABLE: return ErrorCode::Unsupported;
        default: return ErrorCode::Corrupt;
    }
}

// A decoder parsed over `data`, with limits set before anything is allocated.
std::unique_ptr<avifDecoder, DecoderDeleter> parse(ByteView data) {
    std::unique_ptr<avifDecoder, DecoderDeleter> decoder(avifDecoderCreate());
    if (!decoder) fail(ErrorCode::OutOfMemory, kWhere, "no decoder");
    decoder->maxThreads = 1;
    decoder->imageSizeLimit = static_cast<std::uint32_t>(kMaxPixels);
    decoder->ignoreExif = AVIF_TRUE;
    decoder->ignoreXMP = AVIF_TRUE;
    avifResult r = avifDecoderSetIOMemory(decoder.get(), data.data(), data.size());
    if (r != AVIF_RESULT_OK) failWith(ErrorCode::OutOfMemory, "cannot read the data", r);
    r = avifDecoderParse(decoder.get());
    if (r != AVIF_RESULT_OK) failWith(codeFor(r), "the file's structure is not valid", r);
    checkDimensions(decoder->image->width, decoder->image->height, kWhere);
    return decoder;
}

}  // namespace

int avifQuantizerForQuality(int quality) {
    return static_cast<int>(std::lround((100 - quality) * 63.0 / 100.0));
}

bool AvifCodec::sniff(ByteView data) const {
    // An ISO-BMFF file whose first box is 'ftyp' naming an AVIF brand (major or compatible).
    if (data.size() < 16 || std::memcmp(data.data() + 4, "ftyp", 4) != 0) return false;
    const std::size_t boxSize = (std::size_t{data[0]} << 24) | (std::size_t{data[1]} << 16) |
                                (std::size_t{data[2]} << 8) | data[3];
    const std::size_t end = std::min(data.size(), std::max<std::size_t>(boxSize, 16));
    for (std::size_t at = 8; at + 4 <= end; at += 4) {
        if (at == 12) continue;  // the minor version, not a brand
        if (std::memcmp(data.data() + at, "avif", 4) == 0 || std::memcmp(data.data() + at, "avis", 4) == 0) return true;
    }
    return false;
}

ImageInfo AvifCodec::readInfo(ByteView data) const {
    if (!sniff(data)) fail(ErrorCode::UnknownFormat, kWhere, "no AVIF file-type box");
    const auto decoder = parse(data);
    ImageInfo info;
    info.format = format::Avif;
    info.bits = decoder->alphaPresent ? 32 : 24;
    info.width = static_cast<int>(decoder->image->width);
    info.height = static_cast<int>(decoder->image->height);
    // The size the upright picture has: a quarter turn exchanges the sides.
    if ((decoder->image->transformFlags & AVIF_TRANSFORM_IROT) && (decoder->image->irot.angle & 1))
        std::swap(info.width, info.height);
    info.pages = 1;
    info.fileSize = data.size();
    info.memorySize = codec::memorySizeOf(info.width, info.height, info.bits);
    return info;
}

Image AvifCodec::read(ByteView data, const LoadOptions& options) const {
    if (!sniff(data)) fail(ErrorCode::UnknownFormat, kWhere, "no AVIF file-type box");
    codec::pageRange(1, options, kWhere);
    const auto decoder = parse(data);
    // AV1 codes flat areas in a handful of bytes per block of 64 x 64; far past that the
    // header lies, and nothing that size is allocated.
    codec::checkPixelBudget(decoder->image->width, decoder->image->height, data.size(), 65536, kWhere);
    const bool alpha = decoder->alphaPresent;
    avifResult r = avifDecoderNextImage(decoder.get());
    if (r != AVIF_RESULT_OK) failWith(codeFor(r), "the compressed picture data is damaged or incomplete", r);
    const avifImage* decoded = decoder->image;
    checkDimensions(decoded->width, decoded->height, kWhere);
    Bitmap bitmap(static_cast<int>(decoded->width), static_cast<int>(decoded->height), alpha ? 32 : 24);
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, decoded);
    rgb.format = alpha ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_RGB;
    rgb.depth = 8;
    rgb.pixels = bitmap.data().data();
    rgb.rowBytes = static_cast<std::uint32_t>(bitmap.stride());
    r = avifImageYUVToRGB(decoded, &rgb);
    if (r != AVIF_RESULT_OK) failWith(codeFor(r), "cannot convert the picture to RGB", r);
    codec::convertForLoad(bitmap, options.bits, kWhere);
    Image image = Image::fromBitmap(std::move(bitmap), format::Avif);
    // The profile and the turn for the loading entry point, which applies them to every format.
    if (decoded->icc.size > 0) image.notes.foundProfile.assign(decoded->icc.data, decoded->icc.data + decoded->icc.size);
    const int turns = (decoded->transformFlags & AVIF_TRANSFORM_IROT) ? decoded->irot.angle & 3 : 0;
    const int mirror = (decoded->transformFlags & AVIF_TRANSFORM_IMIR) ? (decoded->imir.mode & 1) : -1;
    image.notes.foundOrientation = orientationFromRotation(turns, mirror);
    return image;
}

Bytes AvifCodec::write(const Image& image, const SaveOptions& options) const {
    if (options.quality < 0 || options.quality > 100) fail(ErrorCode::InvalidArgument, kWhere, "quality must be 0..100");
    if (options.effort < 0 || options.effort > 10) fail(ErrorCode::InvalidArgument, kWhere, "effort must be 0..10");
    const Bitmap pixels = webPixels(image.first());
    const bool alpha = pixels.bits() == 32;
    std::unique_ptr<avifImage, ImageDeleter> avif(
        avifImageCreate(static_cast<std::uint32_t>(pixels.width()), static_cast<std::uint32_t>(pixels.height()), 8,
                        options.lossless ? AVIF_PIXEL_FORMAT_YUV444 : AVIF_PIXEL_FORMAT_YUV420));
    if (!avif) fail(ErrorCode::OutOfMemory, kWhere, "no image");
    avif->yuvRange = AVIF_RANGE_FULL;
    if (options.lossless) {
        // RGB stored as it is (the identity matrix): no rounding through YUV.
        avif->matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_IDENTITY;
    }
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, avif.get());
    rgb.format = alpha ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_RGB;
    rgb.depth = 8;
    rgb.pixels = const_cast<std::uint8_t*>(pixels.data().data());  // only read by the conversion
    rgb.rowBytes = static_cast<std::uint32_t>(pixels.stride());
    avifResult r = avifImageRGBToYUV(avif.get(), &rgb);
    if (r != AVIF_RESULT_OK) failWith(ErrorCode::OutOfMemory, "cannot convert the picture to YUV", r);
    // Only the profile, author and copyright the options name; nothing else of a source's metadata.
    if (!options.iccProfile.empty()) avifImageSetProfileICC(avif.get(), options.iccProfile.data(), options.iccProfile.size());
    if (const Bytes exifBlock = exif::build(options.author, options.copyright); !exifBlock.empty())
        avifImageSetMetadataExif(avif.get(), exifBlock.data(), exifBlock.size());

    std::unique_ptr<avifEncoder, EncoderDeleter> encoder(avifEncoderCreate());
    if (!encoder) fail(ErrorCode::OutOfMemory, kWhere, "no encoder");
    encoder->maxThreads = 1;
    encoder->speed = 10 - options.effort;
    const int q = options.lossless ? 0 : avifQuantizerForQuality(options.quality);
    encoder->minQuantizer = q;
    encoder->maxQuantizer = q;
    encoder->minQuantizerAlpha = options.lossless ? 0 : q;
    encoder->maxQuantizerAlpha = options.lossless ? 0 : q;
    RwData out;
    r = avifEncoderWrite(encoder.get(), avif.get(), &out.data);
    if (r != AVIF_RESULT_OK) failWith(r == AVIF_RESULT_NO_CODEC_AVAILABLE ? ErrorCode::Unsupported : ErrorCode::WriteFailed,
                                      "the encoder failed", r);
    return Bytes(out.data.data, out.data.data + out.data.size);
}

}  // namespace imaging
