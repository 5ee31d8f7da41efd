#include "codecs/png_codec.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include "codecs/codec_support.h"
#include "codecs/png_writer.h"

namespace imaging {
namespace {

constexpr const char* kWhere = "PNG";
constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

// Deflate never expands data more than 1032-fold, so the filtered rows (one filter byte plus
// the packed pixels each) cannot exceed that many times the file size.
constexpr long long kMaxInflation = 1032;

// Adam7 files go through libpng (non-interlaced ones through png_writer.cpp, which compresses
// better). Palette images are stored unfiltered, as the PNG authors recommend, at zlib level 6;
// truecolour rows get libpng's adaptive choice among Sub, Up and Paeth at level 6 (on real
// photographs level 3 gave 4 % larger files).
constexpr int kPaletteZlibLevel = 6;
constexpr int kTrueColourZlibLevel = 6;
constexpr int kTrueColourFilters = PNG_FILTER_SUB | PNG_FILTER_UP | PNG_FILTER_PAETH;

// ---- the one error wrapper ----------------------------------------------------------------
// libpng reports errors by longjmp to the jmp_buf it keeps; the guard below is the only place
// that arms it. Everything with a destructor lives outside the guarded body, so the jump skips
// none; the caller turns a failed guard into an Error.
struct Context {
    ByteView data;
    std::size_t pos = 0;
    Bytes* out = nullptr;
    bool ranOut = false;
    char message[200] = {};
};

void onError(png_structp png, png_const_charp message) {
    auto* ctx = static_cast<Context*>(png_get_error_ptr(png));
    std::snprintf(ctx->message, sizeof ctx->message, "%s", message ? message : "libpng failed");
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* ctx = static_cast<Context*>(png_get_io_ptr(png));
    if (length > ctx->data.size() - ctx->pos) {
        ctx->ranOut = true;
        png_error(png, "the data ends inside the image");
    }
    std::memcpy(out, ctx->data.data() + ctx->pos, length);
    ctx->pos += length;
}

void writeToMemory(png_structp png, png_bytep data, png_size_t length) {
    auto* ctx = static_cast<Context*>(png_get_io_ptr(png));
    ctx->out->insert(ctx->out->end(), data, data + length);
}

void flushNothing(png_structp) {}

template <class Body>
bool guardedCall(png_structp png, Body&& body) {
    if (setjmp(png_jmpbuf(png))) return false;
    body();
    return true;
}

[[noreturn]] void failFrom(const Context& ctx, bool writing) {
    const ErrorCode code = ctx.ranOut ? ErrorCode::Truncated : writing ? ErrorCode::WriteFailed : ErrorCode::Corrupt;
    fail(code, kWhere, ctx.message[0] ? ctx.message : "libpng failed");
}

struct Reader {
    Context ctx;
    png_structp png = nullptr;
    png_infop info = nullptr;
    explicit Reader(ByteView data) {
        ctx.data = data;
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &ctx, onError, onWarning);
        if (png) info = png_create_info_struct(png);
        if (!png || !info) {
            png_destroy_read_struct(&png, &info, nullptr);
            fail(ErrorCode::OutOfMemory, kWhere, "cannot create a decoder");
        }
    }
    ~Reader() { png_destroy_read_struct(&png, &info, nullptr); }
    template <class Body>
    void run(Body&& body) {
        if (!guardedCall(png, body)) failFrom(ctx, false);
    }
};

struct Writer {
    Context ctx;
    png_structp png = nullptr;
    png_infop info = nullptr;
    explicit Writer(Bytes& out) {
        ctx.out = &out;
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &ctx, onError, onWarning);
        if (png) info = png_create_info_struct(png);
        if (!png || !info) {
            png_destroy_write_struct(&png, &info);
            fail(ErrorCode::OutOfMemory, kWhere, "cannot create an encoder");
        }
    }
    ~Writer() { png_destroy_write_struct(&png, &info); }
    template <class Body>
    void run(Body&& body) {
        if (!guardedCall(png, body)) failFrom(ctx, true);
    }
};

std::uint32_t be32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

// Palette transparency a palette bitmap can carry: at most one fully transparent entry and
// no partial alpha. Anything else needs an alpha channel.
bool needsAlpha(const png_byte* alpha, int count) {
    int clear = 0;
    for (int i = 0; i < count; ++i) {
        if (alpha[i] != 0 && alpha[i] != 255) return true;
        if (alpha[i] == 0) ++clear;
    }
    return clear > 1;
}

int scale16(int v) { return (v * 255 + 32767) / 65535; }

// What read() makes of a file, from the IHDR fields and the tRNS chunk.
int decodedBits(int colourType, int depth, bool paletteNeedsAlpha) {
    switch (colourType) {
    case PNG_COLOR_TYPE_PALETTE: return paletteNeedsAlpha ? 32 : depth;
    case PNG_COLOR_TYPE_GRAY: return std::min(depth, 8);
    case PNG_COLOR_TYPE_RGB: return 24;
    default: return 32;  // grey + alpha, RGBA
    }
}

// Walks the chunks up to IEND before libpng sees them: libpng allocates a chunk's buffer
// from its length field before reading it, so a chunk claiming more bytes than the file holds
// would cost up to 2 GB before the read fails.
void checkChunkLengths(ByteView data) {
    std::size_t at = 8;
    while (at + 8 <= data.size()) {
        const std::uint32_t length = be32(data.data() + at);
        if (length > data.size() - at - 8 || data.size() - at - 8 - length < 4)
            fail(ErrorCode::Truncated, kWhere, "a chunk reaches past the end of the file");
        if (std::memcmp(data.data() + at + 4, "IEND", 4) == 0) return;
        at += 12 + static_cast<std::size_t>(length);
    }
}

}  // namespace

bool PngCodec::sniff(ByteView data) const {
    return data.size() >= 8 && std::memcmp(data.data(), kSignature, 8) == 0;
}

ImageInfo PngCodec::readInfo(ByteView data) const {
    if (!sniff(data)) fail(ErrorCode::UnknownFormat, kWhere, "no PNG signature");
    codec::ByteReader in(data, kWhere);
    in.skip(8);
    const std::uint8_t* ihdr = in.bytes(8 + 13).data();
    if (be32(ihdr) != 13 || std::memcmp(ihdr + 4, "IHDR", 4) != 0)
        fail(ErrorCode::Corrupt, kWhere, "the first chunk is not a valid IHDR");
    const std::uint32_t width = be32(ihdr + 8), height = be32(ihdr + 12);
    const int depth = ihdr[16], colourType = ihdr[17];
    checkDimensions(width, height, kWhere);
    if (colourType > 6 || colourType == 1 || colourType == 5 || depth == 0 || depth > 16 || (depth & (depth - 1)))
        fail(ErrorCode::Corrupt, kWhere, "invalid colour type or bit depth");
    in.skip(4);  // CRC
    // Palette transparency decides between a palette bitmap and RGBA; it comes before IDAT.
    bool alpha = false;
    while (colourType == PNG_COLOR_TYPE_PALETTE && in.remaining() >= 8) {
        const std::uint8_t* head = in.bytes(8).data();
        const std::uint32_t length = be32(head);
        if (std::memcmp(head + 4, "IDAT", 4) == 0 || std::memcmp(head + 4, "IEND", 4) == 0) break;
        if (std::memcmp(head + 4, "tRNS", 4) == 0) {
            if (length > 256) fail(ErrorCode::Corrupt, kWhere, "tRNS chunk too long");
            alpha = needsAlpha(in.bytes(length).data(), static_cast<int>(length));
            break;
        }
        in.skip(std::size_t{length} + 4);
    }
    ImageInfo info;
    info.format = format::Png;
    info.width = static_cast<int>(width);
    info.height = static_cast<int>(height);
    info.bits = decodedBits(colourType, depth, alpha);
    if (const int saved = png::storedDepth(data)) info.bits = saved;
    info.fileSize = data.size();
    info.memorySize = codec::memorySizeOf(info.width, info.height, info.bits);
    return info;
}

Image PngCodec::read(ByteView data, const LoadOptions& options) const {
    if (!sniff(data)) fail(ErrorCode::UnknownFormat, kWhere, "no PNG signature");
    codec::pageRange(1, options, kWhere);
    checkChunkLengths(data);
    Reader r(data);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colourType = 0, interlace = 0;
    png_colorp plte = nullptr;
    int plteCount = 0;
    png_bytep transAlpha = nullptr;
    int transCount = 0;
    png_color_16p transColour = nullptr;
    r.run([&] {
        png_set_read_fn(r.png, &r.ctx, readFromMemory);
        png_set_user_limits(r.png, static_cast<png_uint_32>(kMaxPixels), static_cast<png_uint_32>(kMaxPixels));
        png_set_chunk_malloc_max(r.png, 16u << 20);
        png_read_info(r.png, r.info);
        png_get_IHDR(r.png, r.info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
        png_get_PLTE(r.png, r.info, &plte, &plteCount);
        png_get_tRNS(r.png, r.info, &transAlpha, &transCount, &transColour);
    });
    checkDimensions(width, height, kWhere);
    const int channels = colourType == PNG_COLOR_TYPE_PALETTE || colourType == PNG_COLOR_TYPE_GRAY ? 1
                         : colourType == PNG_COLOR_TYPE_GRAY_ALPHA                                 ? 2
                         : colourType == PNG_COLOR_TYPE_RGB                                        ? 3
                                                                                                   : 4;
    const long long filteredRow = (static_cast<long long>(width) * channels * depth + 7) / 8 + 1;
    if (filteredRow * height > static_cast<long long>(data.size()) * kMaxInflation + (1LL << 20))
        fail(ErrorCode::Corrupt, kWhere,
             "an image of " + std::to_string(width) + " x " + std::to_string(height) + " pixels cannot come from " +
                 std::to_string(data.size()) + " bytes");

    const bool paletteAlpha = colourType == PNG_COLOR_TYPE_PALETTE && transAlpha && needsAlpha(transAlpha, transCount);
    const int bits = decodedBits(colourType, depth, paletteAlpha);
    Bitmap bitmap(static_cast<int>(width), static_cast<int>(height), bits);

    if (colourType == PNG_COLOR_TYPE_PALETTE && !paletteAlpha) {
        // A short palette is filled up with its last entry (black when there is none): our
        // writer leaves out trailing repeats of it.
        Rgb last = 0;
        for (int i = 0; i < (1 << bits); ++i) {
            if (i < plteCount) last = makeRgb(plte[i].red, plte[i].green, plte[i].blue);
            bitmap.palette()[i] = last;
        }
        for (int i = 0; transAlpha && i < transCount; ++i)
            if (transAlpha[i] == 0) {
                bitmap.setTransparent(true);
                bitmap.setTransparentColor(kPaletteReference + static_cast<Rgb>(i));
            }
    } else if (colourType == PNG_COLOR_TYPE_GRAY && transColour) {
        const int v = depth == 16 ? scale16(transColour->gray) : transColour->gray;
        if (v < (1 << bits)) {
            bitmap.setTransparent(true);
            bitmap.setTransparentColor(kPaletteReference + static_cast<Rgb>(v));
        }
    } else if (colourType == PNG_COLOR_TYPE_RGB && transColour) {
        auto s = [&](int v) { return depth == 16 ? scale16(v) : v; };
        bitmap.setTransparent(true);
        bitmap.setTransparentColor(makeRgb(s(transColour->red), s(transColour->green), s(transColour->blue)));
    }

    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = bitmap.row(static_cast<int>(y));
    const std::size_t stride = bitmap.stride();
    r.run([&] {
        if (depth == 16) png_set_scale_16(r.png);
        if (bits <= 8) {
            if (depth < 8) png_set_packing(r.png);
        } else {
            if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(r.png);
            if (colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(r.png);
            // The tRNS colour of RGB files stays a transparent colour; only palettes with
            // partial alpha become an alpha channel.
            if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_tRNS_to_alpha(r.png);
        }
        png_set_interlace_handling(r.png);
        png_read_update_info(r.png, r.info);
        if (png_get_rowbytes(r.png, r.info) != stride) png_error(r.png, "unexpected row layout");
        png_read_image(r.png, rows.data());
    });
    // A file we stored in a smaller layout than the depth it was saved at comes back at that depth.
    if (const int saved = png::storedDepth(data); saved && bitmap.bits() != saved)
        codec::convertForLoad(bitmap, saved, kWhere);
    codec::convertForLoad(bitmap, options.bits, kWhere);
    return Image::fromBitmap(std::move(bitmap), format::Png);
}

Bytes PngCodec::write(const Image& image, const SaveOptions& options) const {
    if (image.empty() || image.first().empty()) fail(ErrorCode::NoImage, kWhere, "there is no image to save");
    const Bitmap& source = image.first();
    const int bits = codec::requestedBits(source, options);
    if (!Bitmap::isValidDepth(bits)) fail(ErrorCode::InvalidArgument, kWhere, "invalid depth " + std::to_string(bits));

    // PNG stores 5-5-5 pixels as 24-bit RGB and cannot hold other depths than its own; such
    // bitmaps go through one conversion, every other case writes the bitmap's rows as they are.
    Bitmap converted;
    if (bits <= 8) codec::checkIndexedFits(source, bits, kWhere);
    else if (bits == 32 && source.bits() != 32) converted = source.toRgba32();
    else if (bits != 32 && source.bits() != 24) converted = source.toRgb24();
    const Bitmap& bitmap = converted.empty() ? source : converted;

    int depth = 8, colourType = PNG_COLOR_TYPE_PALETTE;
    if (bits <= 8) depth = bits <= 2 ? bits : bits <= 4 ? 4 : 8;
    else colourType = bits == 32 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;

    std::vector<png_color> palette;
    std::vector<png_byte> alpha;
    png_color_16 transColour{};
    bool rgbTransparent = false;
    if (bits <= 8) {
        palette.resize(std::size_t{1} << bits);
        for (std::size_t i = 0; i < palette.size(); ++i) {
            const Rgb c = codec::paletteEntry(bitmap, static_cast<int>(i));
            palette[i] = {static_cast<png_byte>(redOf(c)), static_cast<png_byte>(greenOf(c)),
                          static_cast<png_byte>(blueOf(c))};
        }
        const int t = codec::transparentIndex(bitmap, static_cast<int>(palette.size()), false);
        if (t >= 0) {
            alpha.assign(static_cast<std::size_t>(t) + 1, 255);
            alpha[static_cast<std::size_t>(t)] = 0;
        }
    } else if (bits != 32 && bitmap.transparent()) {
        const Rgb c = bitmap.transparentColor();  // palette references were resolved by toRgb24
        if (!isPaletteReference(c)) {
            transColour.red = static_cast<png_uint_16>(redOf(c));
            transColour.green = static_cast<png_uint_16>(greenOf(c));
            transColour.blue = static_cast<png_uint_16>(blueOf(c));
            rgbTransparent = true;
        }
    }

    if (!options.interlaced) {
        png::WriteInput input;
        input.bitmap = &bitmap;
        input.depth = depth;
        input.alpha = alpha;
        input.hasTransColour = rgbTransparent;
        input.transColour = makeRgb(transColour.red, transColour.green, transColour.blue);
        return png::writeNonInterlaced(input);
    }

    std::vector<png_bytep> rows(static_cast<std::size_t>(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y) rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(bitmap.row(y));

    Bytes out;
    out.reserve(bitmap.data().size() / 2 + 1024);
    Writer w(out);
    w.run([&] {
        png_set_write_fn(w.png, &w.ctx, writeToMemory, flushNothing);
        png_set_compression_level(w.png, bits <= 8 ? kPaletteZlibLevel : kTrueColourZlibLevel);
        png_set_filter(w.png, PNG_FILTER_TYPE_BASE, bits <= 8 ? PNG_FILTER_NONE : kTrueColourFilters);
        png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(bitmap.width()), static_cast<png_uint_32>(bitmap.height()),
                     depth, colourType, options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
        if (!palette.empty()) png_set_PLTE(w.png, w.info, palette.data(), static_cast<int>(palette.size()));
        if (!alpha.empty()) png_set_tRNS(w.png, w.info, alpha.data(), static_cast<int>(alpha.size()), nullptr);
        if (rgbTransparent) png_set_tRNS(w.png, w.info, nullptr, 0, &transColour);
        png_write_info(w.png, w.info);
        if (depth < 8) png_set_packing(w.png);
        png_write_image(w.png, rows.data());
        png_write_end(w.png, nullptr);
    });
    return out;
}

}  // namespace imaging
