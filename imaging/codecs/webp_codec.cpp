#include "codecs/webp_codec.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "codecs/codec_support.h"
#include "core/error.h"

namespace imaging {

namespace {

constexpr const char* kWhere = "WebP";

// Pixels a byte of file may describe beyond the slack of a 2048 x 2048 picture. A flat
// lossless picture reaches a few thousand, but the decoders allocate a whole RGBA canvas
// from the header alone, so the budget holds that canvas to 512 MB for anything up to 64 KiB
// of file: (65536 x 1900 + 2048 x 2048) x 4 bytes is just under 512 MB.
constexpr long long kPixelsPerByte = 1900;

struct PictureGuard {
    WebPPicture picture;
    PictureGuard() { WebPPictureInit(&picture); }
    ~PictureGuard() { WebPPictureFree(&picture); }
    PictureGuard(const PictureGuard&) = delete;
    PictureGuard& operator=(const PictureGuard&) = delete;
};

struct WriterGuard {
    WebPMemoryWriter writer;
    WriterGuard() { WebPMemoryWriterInit(&writer); }
    ~WriterGuard() { WebPMemoryWriterClear(&writer); }
    WriterGuard(const WriterGuard&) = delete;
    WriterGuard& operator=(const WriterGuard&) = delete;
};

WebPBitstreamFeatures features(ByteView data) {
    WebPBitstreamFeatures f{};
    const VP8StatusCode status = WebPGetFeatures(data.data(), data.size(), &f);
    if (status == VP8_STATUS_NOT_ENOUGH_DATA) fail(ErrorCode::Truncated, kWhere, "the file ends inside its header");
    if (status != VP8_STATUS_OK) fail(ErrorCode::Corrupt, kWhere, "the header is not valid WebP");
    checkDimensions(f.width, f.height, kWhere);
    return f;
}

const char* encodeError(WebPEncodingError e) {
    switch (e) {
        case VP8_ENC_ERROR_OUT_OF_MEMORY:
        case VP8_ENC_ERROR_BITSTREAM_OUT_OF_MEMORY: return "out of memory";
        case VP8_ENC_ERROR_BAD_DIMENSION: return "the picture is larger than WebP allows (16383 pixels a side)";
        case VP8_ENC_ERROR_FILE_TOO_BIG: return "the file would exceed 4 GB";
        default: return "the encoder failed";
    }
}

struct AnimDecoderCloser {
    void operator()(WebPAnimDecoder* d) const { WebPAnimDecoderDelete(d); }
};
using AnimDecoder = std::unique_ptr<WebPAnimDecoder, AnimDecoderCloser>;

// The canvas and frames an animation claims, held to the engine's limits before anything the
// size of the canvas is allocated (the animation decoder makes two canvases at once).
void checkCanvas(unsigned long long width, unsigned long long height, unsigned long long frames, std::size_t fileBytes) {
    checkDimensions(static_cast<long long>(std::min<unsigned long long>(width, 1ULL << 40)),
                    static_cast<long long>(std::min<unsigned long long>(height, 1ULL << 40)), kWhere);
    if (frames == 0) fail(ErrorCode::Corrupt, kWhere, "the animation holds no frame");
    // Every frame is a whole canvas here: refuse what would need more than the engine's cap, or
    // far more pixels than the file could describe.
    if (width * height * frames > static_cast<unsigned long long>(kMaxPixels))
        fail(ErrorCode::TooLarge, kWhere, "the animation's frames hold more pixels than the engine reads");
    codec::checkPixelBudget(static_cast<long long>(width), static_cast<long long>(height), fileBytes, kPixelsPerByte,
                            kWhere);
}

// The demuxer over the whole file, with its canvas and frame count.
AnimDecoder openAnimation(ByteView data, WebPAnimInfo& info, const WebPData& bytes) {
    {
        // The container's own claims first: reading them allocates nothing of the canvas's size.
        std::unique_ptr<WebPDemuxer, void (*)(WebPDemuxer*)> demux(WebPDemux(&bytes), WebPDemuxDelete);
        if (!demux) fail(ErrorCode::Corrupt, kWhere, "the animation's frames are damaged or incomplete");
        checkCanvas(WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH), WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT),
                    WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT), data.size());
    }
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) fail(ErrorCode::Unsupported, kWhere, "the WebP library is too old");
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    AnimDecoder decoder(WebPAnimDecoderNew(&bytes, &options));
    if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info))
        fail(ErrorCode::Corrupt, kWhere, "the animation's frames are damaged or incomplete");
    checkCanvas(info.canvas_width, info.canvas_height, info.frame_count, data.size());
    return decoder;
}

// An animated file: every frame composed on the canvas as a viewer shows it, with its delay.
Image readAnimation(ByteView data, const LoadOptions& options) {
    const WebPData bytes{data.data(), data.size()};
    WebPAnimInfo info{};
    AnimDecoder decoder = openAnimation(data, info, bytes);
    const int first = options.firstPage;
    const int last = options.pageCount < 0 ? static_cast<int>(info.frame_count) : first + options.pageCount;
    if (first < 0 || first >= static_cast<int>(info.frame_count))
        fail(ErrorCode::InvalidArgument, kWhere, "page " + std::to_string(first) + " does not exist");
    Image image;
    image.format = format::Webp;
    image.loopCount = static_cast<int>(info.loop_count);
    image.logicalWidth = static_cast<int>(info.canvas_width);
    image.logicalHeight = static_cast<int>(info.canvas_height);
    int before = 0;
    for (int index = 0; index < last && WebPAnimDecoderHasMoreFrames(decoder.get()); ++index) {
        std::uint8_t* rgba = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(decoder.get(), &rgba, &timestamp))
            fail(ErrorCode::Corrupt, kWhere, "frame " + std::to_string(index) + " is damaged or incomplete");
        if (index < first) {
            before = timestamp;
            continue;
        }
        Bitmap bitmap(image.logicalWidth, image.logicalHeight, 32);
        std::memcpy(bitmap.data().data(), rgba, bitmap.data().size());
        codec::convertForLoad(bitmap, options.bits, kWhere);
        // Milliseconds since the start to hundredths of a second for this frame.
        image.frames.push_back(Frame{std::move(bitmap), std::max(0, (timestamp - before + 5) / 10)});
        before = timestamp;
    }
    return image;
}

}  // namespace

Bitmap webPixels(const Bitmap& bitmap) {
    if (bitmap.bits() == 32) return bitmap;
    if (!bitmap.transparent()) return bitmap.bits() == 24 ? bitmap : bitmap.toRgb24();
    // A transparent colour becomes alpha 0 on exactly the pixels that have it.
    Bitmap rgba = bitmap.toRgba32();
    const Rgb key = bitmap.transparentRgb() & 0xFFFFFF;
    const bool byIndex = bitmap.isIndexed() && isPaletteReference(bitmap.transparentColor());
    const int index = byIndex ? paletteIndexOf(bitmap.transparentColor()) : -1;
    for (int y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* p = rgba.row(y);
        for (int x = 0; x < bitmap.width(); ++x, p += 4) {
            const bool clear = byIndex ? static_cast<int>(bitmap.rawPixel(x, y)) == index
                                       : makeRgb(p[0], p[1], p[2]) == key;
            if (clear) p[3] = 0;
        }
    }
    return rgba;
}

bool WebpCodec::sniff(ByteView data) const {
    return data.size() >= 12 && std::memcmp(data.data(), "RIFF", 4) == 0 && std::memcmp(data.data() + 8, "WEBP", 4) == 0;
}

ImageInfo WebpCodec::readInfo(ByteView data) const {
    if (!sniff(data)) fail(ErrorCode::UnknownFormat, kWhere, "no RIFF/WEBP signature");
    const WebPBitstreamFeatures f = features(data);
    ImageInfo info;
    info.format = format::Webp;
    info.bits = f.has_alpha ? 32 : 24;
    info.width = f.width;
    info.height = f.height;
    if (f.has_animation) {
        const WebPData bytes{data.data(), data.size()};
        WebPAnimInfo anim{};
        const AnimDecoder decoder = openAnimation(data, anim, bytes);
        info.bits = 32;
        info.width = static_cast<int>(anim.canvas_width);
        info.height = static_cast<int>(anim.canvas_height);
        info.pages = static_cast<int>(anim.frame_count);
        info.animated = info.pages > 1;
    }
    info.fileSize = data.size();
    info.memorySize = codec::memorySizeOf(info.width, info.height, info.bits);
    return info;
}

Image WebpCodec::read(ByteView data, const LoadOptions& options) const {
    const ImageInfo info = readInfo(data);
    if (features(data).has_animation) return readAnimation(data, options);
    codec::pageRange(1, options, kWhere);
    // Far past the budget the header lies, and nothing that size is allocated. Pictures up to
    // 2048 x 2048 pass (the budget's slack) whatever their file's size: a flat background can be
    // a few dozen bytes.
    codec::checkPixelBudget(info.width, info.height, data.size(), kPixelsPerByte, kWhere);
    Bitmap bitmap(info.width, info.height, info.bits);
    const std::size_t size = bitmap.data().size();
    const int stride = static_cast<int>(bitmap.stride());
    const std::uint8_t* ok = info.bits == 32
                                 ? WebPDecodeRGBAInto(data.data(), data.size(), bitmap.data().data(), size, stride)
                                 : WebPDecodeRGBInto(data.data(), data.size(), bitmap.data().data(), size, stride);
    if (!ok) fail(ErrorCode::Corrupt, kWhere, "the compressed picture data is damaged or incomplete");
    codec::convertForLoad(bitmap, options.bits, kWhere);
    Image image = Image::fromBitmap(std::move(bitmap), format::Webp);
    return image;
}

Bytes WebpCodec::write(const Image& image, const SaveOptions& options) const {
    if (options.quality < 0 || options.quality > 100) fail(ErrorCode::InvalidArgument, kWhere, "quality must be 0..100");
    if (options.effort < 0 || options.effort > 6) fail(ErrorCode::InvalidArgument, kWhere, "effort must be 0..6");
    const Bitmap pixels = webPixels(image.first());
    WebPConfig config;
    if (!WebPConfigInit(&config)) fail(ErrorCode::Unsupported, kWhere, "libwebp version mismatch");
    config.lossless = options.lossless ? 1 : 0;
    config.quality = static_cast<float>(options.quality);
    config.method = options.effort;
    // Exact keeps the colour under fully transparent pixels, so a lossless file decodes to
    // exactly what was written.
    config.exact = options.lossless ? 1 : 0;
    if (!WebPValidateConfig(&config)) fail(ErrorCode::InvalidArgument, kWhere, "invalid encoder settings");

    PictureGuard pic;
    pic.picture.width = pixels.width();
    pic.picture.height = pixels.height();
    pic.picture.use_argb = options.lossless ? 1 : 0;
    const int stride = static_cast<int>(pixels.stride());
    const int imported = pixels.bits() == 32 ? WebPPictureImportRGBA(&pic.picture, pixels.data().data(), stride)
                                             : WebPPictureImportRGB(&pic.picture, pixels.data().data(), stride);
    if (!imported) fail(ErrorCode::OutOfMemory, kWhere, encodeError(pic.picture.error_code));
    WriterGuard out;
    pic.picture.writer = WebPMemoryWrite;
    pic.picture.custom_ptr = &out.writer;
    if (!WebPEncode(&config, &pic.picture)) fail(ErrorCode::WriteFailed, kWhere, encodeError(pic.picture.error_code));
    return Bytes(out.writer.mem, out.writer.mem + out.writer.size);
}

}  // namespace imaging
