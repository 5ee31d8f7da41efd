#include "codecs/gif_codec.h"
#include "codecs/load_notes.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "codecs/codec_support.h"
#include "codecs/gif_writer.h"

namespace imaging {
namespace {

constexpr const char* kWhere = "GIF";

// An LZW code of at most 12 bits stands for at most 4096 pixels, so one byte of image data
// yields fewer than 2731 pixels; the slack covers the first, shorter codes.
constexpr long long kMaxPixelsPerByte = 2731;

// Rows of an interlaced frame arrive in four passes: every 8th row from 0, every 8th from 4,
// every 4th from 2, every 2nd from 1.
constexpr int kPassStart[4] = {0, 4, 2, 1};
constexpr int kPassStep[4] = {8, 8, 4, 2};

struct ReadSource {
    ByteView data;
    std::size_t pos = 0;
    // While a frame's pixels are read, a file cut short reads on as zero bytes (a zero block
    // length ends the frame, zero codes repeat entry 0), so giflib hands over every row that
    // arrived instead of dropping the whole last data block; pastEnd then marks the frame.
    bool padPastEnd = false;
    bool pastEnd = false;
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int length) {
    auto* src = static_cast<ReadSource*>(gif->UserData);
    const std::size_t want = static_cast<std::size_t>(std::max(length, 0));
    const std::size_t n = std::min<std::size_t>(want, src->data.size() - src->pos);
    std::memcpy(buffer, src->data.data() + src->pos, n);
    src->pos += n;
    if (n < want && src->padPastEnd) {
        std::memset(buffer + n, 0, want - n);
        src->pastEnd = true;
        return static_cast<int>(want);
    }
    return static_cast<int>(n);
}

struct DecoderCloser {
    void operator()(GifFileType* gif) const {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};
using Decoder = std::unique_ptr<GifFileType, DecoderCloser>;

[[noreturn]] void failGiflib(int code, const ReadSource* src) {
    const char* text = GifErrorString(code);
    std::string reason = text ? text : "giflib error " + std::to_string(code);
    ErrorCode ec = ErrorCode::Corrupt;
    if (code == D_GIF_ERR_NOT_ENOUGH_MEM || code == E_GIF_ERR_NOT_ENOUGH_MEM) ec = ErrorCode::OutOfMemory;
    else if (src && (code == D_GIF_ERR_READ_FAILED || code == D_GIF_ERR_EOF_TOO_SOON ||
                     src->pos >= src->data.size()))
        ec = ErrorCode::Truncated, reason = "the data ends inside the image";
    else if (code == D_GIF_ERR_NOT_GIF_FILE) ec = ErrorCode::UnknownFormat;
    else if (code >= E_GIF_ERR_OPEN_FAILED && code <= E_GIF_ERR_NO_COLOR_MAP) ec = ErrorCode::WriteFailed;
    fail(ec, kWhere, reason);
}

std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

// The graphic control extension that applies to the next image.
struct Control {
    int delay = 0;
    int disposal = 0;
    int transparent = -1;
    int depth = 0;  // from the depth extension: the depth the frame was saved at, 0 = none
};

// The depth a depth extension names (1-8), or 0; `block` is giflib's first sub-block of an
// application extension and `next` the one after it.
int depthFromExtension(const GifByteType* block, const GifByteType* next) {
    if (!block || block[0] != 11 || std::memcmp(block + 1, gif::kDepthExtension, 11) != 0) return 0;
    if (!next || next[0] < 1 || next[1] < 1 || next[1] > 8) return 0;
    return next[1];
}

// A frame stored with a table smaller than the depth it was saved at comes back at that depth;
// the entries beyond the table repeat its last one, as the writer required of them.
void widenToSavedDepth(Bitmap& bitmap, int tableEntries, int depth) {
    if (depth <= bitmap.bits() || tableEntries < 1) return;
    Bitmap wide(bitmap.width(), bitmap.height(), depth);
    wide.data() = std::move(bitmap.data());
    std::vector<Rgb>& palette = wide.palette();
    const int kept = std::min<int>(tableEntries, static_cast<int>(bitmap.palette().size()));
    for (int i = 0; i < static_cast<int>(palette.size()); ++i)
        palette[static_cast<std::size_t>(i)] = bitmap.palette()[static_cast<std::size_t>(std::min(i, kept - 1))];
    bitmap = std::move(wide);
}

// Reads the rows of the current image into `bitmap`; the bitmap already has the frame's size.
// Returns false when the data ended inside the rows (the rows not reached keep entry 0).
bool decodeRows(GifFileType* gif, Bitmap& bitmap, bool interlaced, const ReadSource& src) {
    const int w = bitmap.width(), h = bitmap.height();
    auto line = [&](int y) {
        if (DGifGetLine(gif, bitmap.row(y), w) != GIF_ERROR) return true;
        if (src.pastEnd) return false;
        failGiflib(gif->Error, &src);
    };
    if (interlaced) {
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kPassStart[pass]; y < h; y += kPassStep[pass])
                if (!line(y)) return false;
    } else {
        for (int y = 0; y < h; ++y)
            if (!line(y)) return false;
    }
    return true;
}

void skipImageData(GifFileType* gif, const ReadSource& src) {
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR) failGiflib(gif->Error, &src);
    while (block)
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR) failGiflib(gif->Error, &src);
}

// Palette indices above the colour table would break the bitmap's 2^bits invariant; such a
// frame is widened to 8 bits with the missing entries black, as viewers show them.
void widenIfIndicesOverflow(Bitmap& bitmap) {
    if (bitmap.bits() == 8) return;
    const std::uint8_t top = *std::max_element(bitmap.data().begin(), bitmap.data().end());
    if (top < (1u << bitmap.bits())) return;
    Bitmap wide(bitmap.width(), bitmap.height(), 8);
    wide.data() = std::move(bitmap.data());
    wide.palette() = bitmap.palette();
    codec::normalizePalette(wide);
    bitmap = std::move(wide);
}

}  // namespace

bool GifCodec::sniff(ByteView data) const {
    return data.size() >= 6 && (std::memcmp(data.data(), "GIF87a", 6) == 0 || std::memcmp(data.data(), "GIF89a", 6) == 0);
}

ImageInfo GifCodec::readInfo(ByteView data) const {
    // Walks the block structure without decompressing anything: cheap even for long animations.
    codec::ByteReader in(data, kWhere);
    if (!sniff(data)) fail(ErrorCode::UnknownFormat, kWhere, "no GIF signature");
    in.skip(6);
    const int screenWidth = in.u16le(), screenHeight = in.u16le();
    const int packed = in.u8();
    in.skip(2);
    int globalBits = 0;
    if (packed & 0x80) {
        globalBits = (packed & 7) + 1;
        in.skip(3u << globalBits);
    }
    ImageInfo info;
    info.format = format::Gif;
    info.pages = 0;
    int firstWidth = 0, firstHeight = 0;
    bool done = false, cutShort = false;
    int pendingDepth = 0;  // from a depth extension before the first image
    while (!done && !cutShort) {
        if (in.remaining() == 0) {
            if (info.pages > 0) break;  // a missing trailer after complete images is harmless
            fail(ErrorCode::Truncated, kWhere, "the data ends before the first image");
        }
        const int record = in.u8();
        if (record == 0x2C && in.remaining() >= 9) {
            // An image cut short inside its data still shows what arrived when it is the first;
            // a later one is left out, as read() leaves it.
            try {
                codec::ByteReader probe = in;
                probe.skip(8);
                const int imagePacked = probe.u8();
                if (imagePacked & 0x80) probe.skip(3u << ((imagePacked & 7) + 1));
                probe.skip(1);
                for (int n = probe.u8(); n != 0; n = probe.u8()) probe.skip(static_cast<std::size_t>(n));
            } catch (const Error& e) {
                if (e.code() != ErrorCode::Truncated) throw;
                if (info.pages > 0) break;
                cutShort = true;
            }
        }
        if (cutShort) {
            in.skip(4);
            const int w = in.u16le(), h = in.u16le();
            const int imagePacked = in.u8();
            checkDimensions(w, h, kWhere);
            info.bits = std::max(imagePacked & 0x80 ? (imagePacked & 7) + 1 : globalBits == 0 ? 8 : globalBits, pendingDepth);
            firstWidth = w;
            firstHeight = h;
            info.pages = 1;
            break;
        }
        switch (record) {
        case 0x00: break;  // stray bytes between records, which browsers pass over
        case 0x21: {
            const int label = in.u8();
            std::vector<std::uint8_t> blocks[2];
            for (int n = in.u8(), k = 0; n != 0; n = in.u8(), ++k) {
                if (label == 0xFF && k < 2) {
                    blocks[k].push_back(static_cast<std::uint8_t>(n));
                    for (int i = 0; i < n; ++i) blocks[k].push_back(static_cast<std::uint8_t>(in.u8()));
                } else {
                    in.skip(static_cast<std::size_t>(n));
                }
            }
            if (label == 0xFF && !blocks[0].empty())
                if (const int depth = depthFromExtension(blocks[0].data(), blocks[1].empty() ? nullptr : blocks[1].data()))
                    pendingDepth = depth;
            break;
        }
        case 0x2C: {
            in.skip(4);
            const int w = in.u16le(), h = in.u16le();
            const int imagePacked = in.u8();
            int bits = globalBits;
            if (imagePacked & 0x80) {
                bits = (imagePacked & 7) + 1;
                in.skip(3u << bits);
            }
            if (info.pages == 0) {
                checkDimensions(w, h, kWhere);
                info.bits = std::max(bits == 0 ? 8 : bits, pendingDepth);
                firstWidth = w;
                firstHeight = h;
            }
            in.skip(1);  // LZW minimum code size
            for (int n = in.u8(); n != 0; n = in.u8()) in.skip(static_cast<std::size_t>(n));
            ++info.pages;
            break;
        }
        case 0x3B: done = true; break;
        default: fail(ErrorCode::Corrupt, kWhere, "unknown block type");
        }
    }
    if (info.pages == 0) fail(ErrorCode::Corrupt, kWhere, "the file holds no image");
    info.width = screenWidth > 0 ? screenWidth : firstWidth;
    info.height = screenHeight > 0 ? screenHeight : firstHeight;
    info.animated = info.pages > 1;
    info.fileSize = data.size();
    info.memorySize = codec::memorySizeOf(firstWidth, firstHeight, info.bits);
    return info;
}

Image GifCodec::read(ByteView data, const LoadOptions& options) const {
    if (!sniff(data)) fail(ErrorCode::UnknownFormat, kWhere, "no GIF signature");
    if (options.firstPage < 0) fail(ErrorCode::InvalidArgument, kWhere, "negative first page");
    ReadSource src{data};
    int error = 0;
    Decoder gif(DGifOpen(&src, readFromMemory, &error));
    if (!gif) failGiflib(error, &src);

    Image image;
    image.format = format::Gif;
    image.logicalWidth = gif->SWidth;
    image.logicalHeight = gif->SHeight;
    if (gif->SColorMap && gif->SBackGroundColor < gif->SColorMap->ColorCount) {
        const GifColorType& c = gif->SColorMap->Colors[gif->SBackGroundColor];
        image.backgroundColor = makeRgb(c.Red, c.Green, c.Blue);
    }

    const int last = options.pageCount < 0 ? INT32_MAX : options.firstPage + options.pageCount;
    Control control;
    int index = 0;
    bool damaged = false;
    for (bool done = false; !done && index < last;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) {
            if (index > 0 && src.pos >= data.size()) break;  // complete images, missing trailer
            // A stray byte between records (giflib has read it): browsers pass over it.
            if (gif->Error == D_GIF_ERR_WRONG_RECORD && src.data[src.pos - 1] == 0) continue;
            failGiflib(gif->Error, &src);
        }
        switch (type) {
        case EXTENSION_RECORD_TYPE: {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) failGiflib(gif->Error, &src);
            if (block && code == GRAPHICS_EXT_FUNC_CODE && block[0] >= 4) {
                control.disposal = (block[1] >> 2) & 7;
                control.delay = le16(block + 2);
                control.transparent = (block[1] & 1) ? block[4] : -1;
            }
            const bool netscape = block && code == APPLICATION_EXT_FUNC_CODE && block[0] == 11 &&
                                  (std::memcmp(block + 1, "NETSCAPE2.0", 11) == 0 ||
                                   std::memcmp(block + 1, "ANIMEXTS1.0", 11) == 0);
            const bool application = block && code == APPLICATION_EXT_FUNC_CODE;
            std::vector<GifByteType> head(block && application ? block : nullptr,
                                          block && application ? block + 1 + block[0] : nullptr);
            for (bool second = true; block; second = false) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) failGiflib(gif->Error, &src);
                if (netscape && block && block[0] >= 3 && block[1] == 1) image.loopCount = le16(block + 2);
                if (second && application && !head.empty())
                    if (const int depth = depthFromExtension(head.data(), block)) control.depth = depth;
            }
            break;
        }
        case IMAGE_DESC_RECORD_TYPE: {
            if (DGifGetImageDesc(gif.get()) == GIF_ERROR) failGiflib(gif->Error, &src);
            const GifImageDesc& desc = gif->Image;
            if (index < options.firstPage) {
                skipImageData(gif.get(), src);
            } else {
                if (image.frames.size() >= static_cast<std::size_t>(kMaxFrames))
                    fail(ErrorCode::TooLarge, kWhere,
                         "the animation has more than " + std::to_string(kMaxFrames) +
                             " frames; every frame is kept in memory");
                codec::checkPixelBudget(desc.Width, desc.Height, data.size() - src.pos, kMaxPixelsPerByte, kWhere);
                const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
                const int bits = map ? std::clamp(map->BitsPerPixel, 1, 8) : 8;
                Frame frame{Bitmap(desc.Width, desc.Height, bits), control.delay, control.disposal, desc.Left, desc.Top};
                Bitmap& bitmap = frame.bitmap;
                if (map) {
                    const int n = std::min<int>(map->ColorCount, 1 << bits);
                    for (int i = 0; i < n; ++i)
                        bitmap.palette()[i] = makeRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
                    std::fill(bitmap.palette().begin() + n, bitmap.palette().end(), 0);
                }
                src.padPastEnd = true;
                const bool whole = decodeRows(gif.get(), bitmap, desc.Interlace, src);
                src.padPastEnd = false;
                if (!whole || src.pastEnd) {
                    // Cut short inside this frame: the first is shown as far as it arrived, a
                    // later one is left out after the whole frames before it.
                    damaged = true;
                    noteDamaged();
                    if (!image.frames.empty()) {
                        done = true;
                        break;
                    }
                }
                widenIfIndicesOverflow(bitmap);
                if (map) widenToSavedDepth(bitmap, std::min<int>(map->ColorCount, 1 << bits), control.depth);
                if (control.transparent >= 0 && control.transparent < (1 << bitmap.bits())) {
                    bitmap.setTransparent(true);
                    bitmap.setTransparentColor(kPaletteReference + static_cast<Rgb>(control.transparent));
                }
                codec::convertForLoad(bitmap, options.bits, kWhere);
                image.frames.push_back(std::move(frame));
                if (damaged) done = true;
            }
            control = Control{};
            ++index;
            break;
        }
        case TERMINATE_RECORD_TYPE: done = true; break;
        default: fail(ErrorCode::Corrupt, kWhere, "unknown block type");
        }
    }
    if (image.frames.empty())
        fail(index == 0 ? ErrorCode::Corrupt : ErrorCode::InvalidArgument, kWhere,
             index == 0 ? "the file holds no image" : "page " + std::to_string(options.firstPage) + " does not exist");
    return image;
}

Bytes GifCodec::write(const Image& image, const SaveOptions& options) const {
    if (image.empty()) fail(ErrorCode::NoImage, kWhere, "there is no image to save");
    const std::size_t frameCount = options.multiPage ? image.frames.size() : 1;
    const bool animation = options.multiPage && frameCount > 1;

    std::vector<int> bits(frameCount);
    int screenWidth = 0, screenHeight = 0;
    for (std::size_t i = 0; i < frameCount; ++i) {
        const Frame& f = image.frames[i];
        bits[i] = codec::requestedBits(f.bitmap, options);
        if (bits[i] < 1 || bits[i] > 8)
            fail(ErrorCode::InvalidArgument, kWhere, "GIF holds 1 to 8 bits, not " + std::to_string(bits[i]));
        codec::checkIndexedFits(f.bitmap, bits[i], kWhere);
        const int left = animation ? f.left : 0, top = animation ? f.top : 0;
        if (left < 0 || top < 0 || left + f.bitmap.width() > 65535 || top + f.bitmap.height() > 65535)
            fail(ErrorCode::InvalidArgument, kWhere, "a frame lies outside the 65535 x 65535 screen a GIF can hold");
        screenWidth = std::max(screenWidth, left + f.bitmap.width());
        screenHeight = std::max(screenHeight, top + f.bitmap.height());
    }
    if (animation) {
        // A logical screen smaller than the frames would crop them in every viewer.
        screenWidth = std::max(screenWidth, std::min(image.logicalWidth, 65535));
        screenHeight = std::max(screenHeight, std::min(image.logicalHeight, 65535));
    }

    const Bitmap& first = image.frames[0].bitmap;
    gif::FileInput file;
    file.screenWidth = screenWidth;
    file.screenHeight = screenHeight;
    file.animation = animation;
    file.loopCount = image.loopCount;
    file.interlaced = options.interlaced;
    file.sizeLimit = options.sizeLimit;
    if (animation) {
        const Rgb bg = image.backgroundColor;
        file.background = isPaletteReference(bg) && paletteIndexOf(bg) < (1 << bits[0])
                              ? paletteIndexOf(bg)
                              : codec::nearestPaletteIndex(first.palette(), 1 << bits[0], bg);
    }
    for (std::size_t i = 0; i < frameCount; ++i) {
        const Frame& f = image.frames[i];
        file.frames.push_back({&f.bitmap, bits[i], codec::transparentIndex(f.bitmap, 1 << bits[i]), f.delay, f.disposal,
                               animation ? f.left : 0, animation ? f.top : 0});
    }
    return gif::writeFile(file);
}

Bitmap composeGifFrame(const Image& image, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= image.frames.size())
        fail(ErrorCode::InvalidArgument, kWhere, "frame " + std::to_string(index) + " does not exist");
    // A screen that declares one side as zero declares no screen: the first frame's size then,
    // for both sides (mixing a declared height with a frame's width made canvases no file has).
    const bool declared = image.logicalWidth > 0 && image.logicalHeight > 0;
    const int w = declared ? image.logicalWidth : image.first().width();
    const int h = declared ? image.logicalHeight : image.first().height();
    Bitmap canvas(w, h, 32);  // all zero: transparent black
    Bitmap saved;
    for (int i = 0; i <= index; ++i) {
        const Frame& f = image.frames[i];
        if (f.disposal == 3) saved = canvas;
        const Bitmap& b = f.bitmap;
        const int key = codec::transparentIndex(b, b.isIndexed() ? 1 << b.bits() : 0);
        for (int y = 0; y < b.height(); ++y) {
            const int cy = f.top + y;
            if (cy < 0 || cy >= h) continue;
            for (int x = 0; x < b.width(); ++x) {
                const int cx = f.left + x;
                if (cx < 0 || cx >= w) continue;
                if (key >= 0 && static_cast<int>(b.rawPixel(x, y)) == key) continue;
                std::uint8_t* p = canvas.row(cy) + 4 * static_cast<std::size_t>(cx);
                const Rgb c = b.pixel(x, y);
                p[0] = static_cast<std::uint8_t>(redOf(c));
                p[1] = static_cast<std::uint8_t>(greenOf(c));
                p[2] = static_cast<std::uint8_t>(blueOf(c));
                p[3] = b.bits() == 32 ? b.row(y)[4 * x + 3] : 255;
            }
        }
        if (i == index) break;
        if (f.disposal == 2) {
            for (int y = std::max(f.top, 0); y < std::min(f.top + b.height(), h); ++y)
                for (int x = std::max(f.left, 0); x < std::min(f.left + b.width(), w); ++x)
                    std::memset(canvas.row(y) + 4 * static_cast<std::size_t>(x), 0, 4);
        } else if (f.disposal == 3 && !saved.empty()) {
            canvas = saved;
        }
    }
    return canvas;
}

}  // namespace imaging
