#pragma once
// What every file format provides. One codec per file pair under codecs/ or formats/,
// registered once in registry.cpp and looked up by engine format number or by sniffing.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/image.h"

namespace imaging {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Engine format numbers: the values callers pass to save and that file information reports.
namespace format {
inline constexpr int Pcx = 1;
inline constexpr int Gif = 2;
inline constexpr int TiffUncompressed = 3;
inline constexpr int Tga = 4;
inline constexpr int BmpWindows = 6;
inline constexpr int Jpeg444 = 10;
inline constexpr int Wmf = 15;
inline constexpr int Eps = 16;
inline constexpr int TiffCompressed = 17;
inline constexpr int Jpeg411 = 21;
inline constexpr int Jpeg422 = 23;
inline constexpr int MacPaint = 51;
inline constexpr int GemImage = 52;
inline constexpr int MsPaint = 53;
inline constexpr int Wpg = 54;
inline constexpr int SunRaster = 55;
inline constexpr int Pict = 56;
inline constexpr int BmpOs2 = 74;
inline constexpr int Png = 75;
inline constexpr int Psd = 76;
inline constexpr int BmpRle = 84;
// Read-only formats of the open list; numbers of our own choosing above 100.
inline constexpr int Ico = 101;
inline constexpr int Cur = 102;
inline constexpr int Pnm = 103;
inline constexpr int Xbm = 104;
inline constexpr int Xpm = 105;
inline constexpr int Xwd = 106;
inline constexpr int Cut = 107;
inline constexpr int Iff = 108;
inline constexpr int Cals = 109;
inline constexpr int Clp = 110;
// The web formats browsers read today; numbers of our own choosing, away from the others.
inline constexpr int Webp = 160;
inline constexpr int Avif = 161;
inline constexpr int Heif = 162;  // read only
}  // namespace format

// What a file says about itself without decoding its pixels.
struct ImageInfo {
    int format = 0;          // engine format number
    int bits = 0;            // bits per pixel as stored
    int width = 0;
    int height = 0;
    int pages = 1;           // pages or animation frames
    bool animated = false;
    std::uint64_t fileSize = 0;
    std::uint64_t memorySize = 0;  // size of the decoded first page (Bitmap::memorySize rules)
};

// Told of a picture's rows as a reader finishes them, so that work on them (a colour
// conversion) runs while the rest decodes. Readers that do not tell it leave the work to be
// done on the whole picture afterwards.
class RowListener {
public:
    virtual ~RowListener() = default;
    // Rows [0, end) of `bitmap` hold their final pixels; `bitmap` does not move until finished().
    virtual void rowsDone(Bitmap& bitmap, int end) = 0;
    // Every row is final (a damaged file's missing rows as filled); returns when the work on
    // them has ended. The reader calls it before it changes the picture's depth.
    virtual void finished(Bitmap& bitmap) = 0;
    // The reader fails before finishing: the work on its rows has ended when this returns
    // (the bitmap is about to go).
    virtual void abandon() = 0;
};

struct LoadOptions {
    int bits = 0;        // 0 = as stored; otherwise converted to this depth after decoding
    int firstPage = 0;
    int pageCount = -1;  // -1 = all pages from firstPage on
    // The reader tells it of the first page's rows (24-bit RGB pictures only), when it can.
    RowListener* rowListener = nullptr;
};

// Everything a writer may need. Only the fields a format uses are read.
struct SaveOptions {
    int format = 0;          // engine format number
    int bits = 0;            // 0 = the bitmap's own depth
    int qualityFactor = 0;   // JPEG: 2..255, lower = better (user quality = 256 - factor)
    int passes = 0;          // JPEG: progressive scans, 0 = baseline
    // JPEG: libjpeg's plain encoder instead of the size-optimising one (rate-distortion
    // quantisation, tuned tables, the best progressive split), for speed.
    bool fastJpeg = false;
    bool interlaced = false; // GIF, PNG
    bool multiPage = false;  // write every frame (animated GIF, multi-page TIFF)
    int quality = 75;        // WebP, AVIF: 0..100, higher = better
    bool lossless = false;   // WebP, AVIF: exact pixels (quality then trades time for size in WebP)
    int effort = 4;          // WebP method 0..6, AVIF 0..10 (both: higher = slower, smaller)
    // GIF: fail with ErrorCode::SizeLimit as soon as the output grows beyond this many bytes
    // (0 = no limit), for callers that only need to know whether it stays within a size.
    std::size_t sizeLimit = 0;
    // Formats that carry a colour profile (JPEG, PNG, TIFF, WebP, AVIF): when not empty, the
    // picture's sRGB pixels are converted into this ICC profile and the profile is embedded.
    std::vector<std::uint8_t> iccProfile;
    // Written as the file's author and copyright fields (EXIF, PNG text, TIFF tags) when not
    // empty; nothing else of the original's metadata is ever written.
    std::string author;
    std::string copyright;
};

class Codec {
public:
    virtual ~Codec() = default;

    virtual std::string_view name() const = 0;                // "GIF", used in error messages
    virtual std::vector<int> formats() const = 0;             // engine numbers it handles
    virtual std::vector<std::string_view> suffixes() const = 0;  // lower case, without dot

    // True when the bytes look like this format (magic numbers, cheap header checks).
    virtual bool sniff(ByteView data) const = 0;
    virtual ImageInfo readInfo(ByteView data) const = 0;
    virtual Image read(ByteView data, const LoadOptions& options) const = 0;

    virtual bool canWrite() const { return false; }
    // Encodes `image` (its first frame unless options.multiPage) at options.bits. The caller
    // has reduced the colours already; a writer converts only what its layout demands.
    virtual Bytes write(const Image& image, const SaveOptions& options) const;
};

}  // namespace imaging
