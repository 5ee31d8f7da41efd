#include "codecs/tiff_codec.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>

#include "codecs/codec_support.h"
#include "core/limits.h"

namespace imaging {
namespace {

constexpr const char* kWhere = "TIFF";
// libtiff refuses any single allocation above this; a legitimate strip is much smaller.
constexpr tmsize_t kMaxSingleAllocation = tmsize_t{1} << 30;
// Strips of about 64 KiB: large enough that LZW's per-strip restart costs nothing, small
// enough that readers never need much memory per strip.
constexpr std::size_t kStripBytes = 65536;

// The file in memory, read or being written, and the last message libtiff reported.
struct Memory {
    ByteView in;
    Bytes* out = nullptr;
    toff_t pos = 0;
    std::string message;
    bool tagDataMissing = false;  // a directory names values beyond the end of the data
};

tmsize_t readProc(thandle_t h, void* buffer, tmsize_t size) {
    auto* m = static_cast<Memory*>(h);
    // While writing, libtiff reads back what it wrote to link each new page to the last.
    const ByteView data = m->out ? ByteView(*m->out) : m->in;
    const std::size_t available = m->pos < data.size() ? data.size() - m->pos : 0;
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max<tmsize_t>(size, 0)), available);
    std::memcpy(buffer, data.data() + m->pos, n);
    m->pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t writeProc(thandle_t h, void* buffer, tmsize_t size) {
    auto* m = static_cast<Memory*>(h);
    if (!m->out || size < 0) return -1;
    const std::size_t end = m->pos + static_cast<std::size_t>(size);
    if (end > m->out->size()) m->out->resize(end);
    std::memcpy(m->out->data() + m->pos, buffer, static_cast<std::size_t>(size));
    m->pos = end;
    return size;
}

toff_t sizeOf(const Memory* m) { return m->out ? m->out->size() : m->in.size(); }

toff_t seekProc(thandle_t h, toff_t offset, int whence) {
    auto* m = static_cast<Memory*>(h);
    const toff_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? sizeOf(m) : 0;
    const toff_t target = base + offset;
    if (target > (toff_t{1} << 40)) return static_cast<toff_t>(-1);
    m->pos = target;
    return target;
}

int closeProc(thandle_t) { return 0; }
toff_t sizeProc(thandle_t h) { return sizeOf(static_cast<Memory*>(h)); }

int mapProc(thandle_t h, void** base, toff_t* size) {
    auto* m = static_cast<Memory*>(h);
    if (m->out) return 0;
    // libtiff only reads through a mapping of a file it opened for reading.
    *base = const_cast<std::uint8_t*>(m->in.data());
    *size = m->in.size();
    return 1;
}

void unmapProc(thandle_t, void*, toff_t) {}

int onError(TIFF*, void* user, const char* module, const char* format, va_list args) {
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    auto* m = static_cast<Memory*>(user);
    if (m->message.empty()) m->message = std::string(module ? module : "libtiff") + ": " + text;
    return 1;
}

int onWarning(TIFF*, void* user, const char*, const char* format, va_list args) {
    // libtiff drops a tag whose values lie beyond the data with only a warning; for a cut-off
    // file that silently loses e.g. the colour map, so it is remembered and refused.
    char text[256];
    std::vsnprintf(text, sizeof text, format, args);
    if (std::strstr(text, "IO error")) static_cast<Memory*>(user)->tagDataMissing = true;
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Where a classic TIFF's first directory starts (BigTIFF: 0, not checked here).
std::uint64_t firstDirectoryOffset(ByteView data) {
    if (data.size() < 8 || data[2] == 43 || data[3] == 43) return 0;
    const bool little = data[0] == 'I';
    std::uint64_t v = 0;
    for (int k = 0; k < 4; ++k) v |= static_cast<std::uint64_t>(data[4 + k]) << (little ? 8 * k : 8 * (3 - k));
    return v;
}

TiffHandle open(Memory& memory, const char* mode) {
    std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)> opts(TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    if (!opts) fail(ErrorCode::OutOfMemory, kWhere, "cannot allocate options");
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts.get(), kMaxSingleAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(opts.get(), onError, &memory);
    TIFFOpenOptionsSetWarningHandlerExtR(opts.get(), onWarning, &memory);
    TiffHandle tif(TIFFClientOpenExt("memory", mode, &memory, readProc, writeProc, seekProc, closeProc, sizeProc,
                                     mapProc, unmapProc, opts.get()));
    if (!tif) {
        const bool reading = memory.out == nullptr;
        ErrorCode code = reading ? ErrorCode::Corrupt : ErrorCode::WriteFailed;
        if (reading && (memory.in.size() < 8 || firstDirectoryOffset(memory.in) >= memory.in.size()))
            code = ErrorCode::Truncated;
        fail(code, kWhere, memory.message.empty() ? "libtiff cannot open the data" : memory.message);
    }
    return tif;
}

[[noreturn]] void failFrom(const Memory& memory, ErrorCode code, const char* what) {
    fail(code, kWhere, memory.message.empty() ? what : memory.message);
}

// The fields of one directory that decide how it is decoded.
struct Directory {
    std::uint32_t width = 0, height = 0;
    std::uint16_t bitsPerSample = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE, planar = PLANARCONFIG_CONTIG;
    std::uint16_t extraSamples = 0;
    bool tiled = false;
};

enum class Path { Palette, Grey, Rgb555, Rgb, Rgba, Lab, Rendered };

Directory readDirectory(TIFF* tif) {
    Directory d;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &d.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &d.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &d.bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &d.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &d.planar);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &d.photometric))
        d.photometric = d.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    std::uint16_t* kinds = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &d.extraSamples, &kinds);
    d.tiled = TIFFIsTiled(tif);
    return d;
}

Path pathFor(const Directory& d) {
    const bool simple = !d.tiled && (d.planar == PLANARCONFIG_CONTIG || d.samples == 1);
    if (simple && d.samples == 1 && d.bitsPerSample >= 1 && d.bitsPerSample <= 8) {
        if (d.photometric == PHOTOMETRIC_PALETTE) return Path::Palette;
        if (d.photometric == PHOTOMETRIC_MINISBLACK || d.photometric == PHOTOMETRIC_MINISWHITE) return Path::Grey;
    }
    if (simple && d.photometric == PHOTOMETRIC_CIELAB && d.bitsPerSample == 8 && (d.samples == 3 || d.samples == 4))
        return Path::Lab;
    if (simple && d.photometric == PHOTOMETRIC_RGB && d.samples == 3 && d.bitsPerSample == 5) return Path::Rgb555;
    if (simple && d.photometric == PHOTOMETRIC_RGB && d.bitsPerSample == 8 && d.samples == 3) return Path::Rgb;
    if (simple && d.photometric == PHOTOMETRIC_RGB && d.bitsPerSample == 8 && d.samples == 4 && d.extraSamples == 1)
        return Path::Rgba;
    return Path::Rendered;
}

int bitsFor(const Directory& d, Path path) {
    switch (path) {
    case Path::Palette:
    case Path::Grey: return d.bitsPerSample;
    case Path::Rgb555: return 16;
    case Path::Rgb: return 24;
    case Path::Rgba: return 32;
    case Path::Lab: return d.samples == 4 ? 32 : 24;
    case Path::Rendered: return d.extraSamples > 0 ? 32 : 24;
    }
    return 24;
}

// CIE L*a*b* (8 bits: L 0..255 for 0..100, a and b signed) relative to the file's white point
// (libtiff's default D50 when the file names none) to sRGB: XYZ, Bradford adaptation to D65,
// the sRGB matrix and curve. libtiff's own RGBA rendering uses a display model of its own and
// gave colours up to 20 levels off what the file holds.
class LabToSrgb {
public:
    explicit LabToSrgb(TIFF* tif) {
        float* white = nullptr;
        double wx = 0.3457, wy = 0.3585;  // D50
        if (TIFFGetField(tif, TIFFTAG_WHITEPOINT, &white) && white && white[1] > 0.0f) wx = white[0], wy = white[1];
        const double xyz[3] = {wx / wy, 1.0, (1.0 - wx - wy) / wy};
        white_[0] = xyz[0], white_[1] = xyz[1], white_[2] = xyz[2];
        // Bradford: cone responses of the source white and of D65, scaled per cone.
        static constexpr double m[3][3] = {{0.8951, 0.2664, -0.1614}, {-0.7502, 1.7135, 0.0367}, {0.0389, -0.0685, 1.0296}};
        static constexpr double mi[3][3] = {
            {0.9869929, -0.1470543, 0.1599627}, {0.4323053, 0.5183603, 0.0492912}, {-0.0085287, 0.0400428, 0.9684867}};
        static constexpr double d65[3] = {0.95047, 1.0, 1.08883};
        double src[3], dst[3];
        for (int i = 0; i < 3; ++i) {
            src[i] = m[i][0] * xyz[0] + m[i][1] * xyz[1] + m[i][2] * xyz[2];
            dst[i] = m[i][0] * d65[0] + m[i][1] * d65[1] + m[i][2] * d65[2];
        }
        static constexpr double toRgb[3][3] = {
            {3.2404542, -1.5371385, -0.4985314}, {-0.9692660, 1.8760108, 0.0415560}, {0.0556434, -0.2040259, 1.0572252}};
        double adapt[3][3];
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                adapt[i][j] = 0.0;
                for (int k = 0; k < 3; ++k) adapt[i][j] += mi[i][k] * (dst[k] / src[k]) * m[k][j];
            }
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                matrix_[i][j] = 0.0;
                for (int k = 0; k < 3; ++k) matrix_[i][j] += toRgb[i][k] * adapt[k][j];
            }
    }

    void convert(const std::uint8_t* lab, std::uint8_t* rgb) const {
        const double l = lab[0] * 100.0 / 255.0;
        const double a = static_cast<std::int8_t>(lab[1]), b = static_cast<std::int8_t>(lab[2]);
        const double fy = (l + 16.0) / 116.0, fx = fy + a / 500.0, fz = fy - b / 200.0;
        const double xyz[3] = {white_[0] * inverse(fx), white_[1] * inverse(fy), white_[2] * inverse(fz)};
        for (int i = 0; i < 3; ++i) {
            const double v = matrix_[i][0] * xyz[0] + matrix_[i][1] * xyz[1] + matrix_[i][2] * xyz[2];
            rgb[i] = encode(v);
        }
    }

private:
    static double inverse(double t) {
        constexpr double d = 6.0 / 29.0;
        return t > d ? t * t * t : 3.0 * d * d * (t - 4.0 / 29.0);
    }
    static std::uint8_t encode(double v) {
        v = std::clamp(v, 0.0, 1.0);
        v = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
        return static_cast<std::uint8_t>(std::lround(v * 255.0));
    }
    double white_[3];
    double matrix_[3][3];
};

// Every strip or tile must lie inside the data; one that does not means a cut-off file, which
// libtiff would only report as an unspecific read error halfway through decoding.
void checkStripsInside(TIFF* tif, const Memory& memory) {
    const std::uint32_t count = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    // each strip needs an offset entry of at least two bytes in the file
    if (count > memory.in.size() / 2) fail(ErrorCode::Corrupt, kWhere, "more strips than the data can hold");
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t offset = TIFFGetStrileOffset(tif, i), bytes = TIFFGetStrileByteCount(tif, i);
        if (offset > memory.in.size() || bytes > memory.in.size() - offset)
            fail(ErrorCode::Truncated, kWhere, "the data ends inside the image");
    }
}

Compression compressionOf(TIFF* tif) {
    std::uint16_t c = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &c);
    switch (c) {
    case COMPRESSION_NONE: return Compression::Uncompressed;
    case COMPRESSION_PACKBITS: return Compression::PackBits;
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE: return Compression::Deflate;
    case COMPRESSION_LZW: return Compression::Lzw;
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG: return Compression::Jpeg;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
    case COMPRESSION_JBIG: return Compression::Fax;
    default: return Compression::Other;
    }
}

// A page's pixels must come from stored data of its own: the strips (or tiles) it does not
// share with a page read before it, times what its compression can hold per stored byte. Pages
// that all point to one strip (a few hundred kilobytes claiming gigabytes) are refused.
void checkPageFitsItsData(TIFF* tif, const Directory& d, std::set<std::uint64_t>& usedStrips) {
    const std::uint32_t count = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    long long own = 0;
    for (std::uint32_t i = 0; i < count; ++i)
        if (usedStrips.insert(TIFFGetStrileOffset(tif, i)).second)
            own += static_cast<long long>(TIFFGetStrileByteCount(tif, i));
    const long long bitsPerPixel = std::max<long long>(1, static_cast<long long>(d.samples) * d.bitsPerSample);
    const long long decoded = (static_cast<long long>(d.width) * d.height * bitsPerPixel + 7) / 8;
    const Compression compression = compressionOf(tif);
    if (decoded > own * maxDecodedBytesPerStoredByte(compression) + kDecodedSlackBytes)
        fail(ErrorCode::TooLarge, kWhere,
             "a page of " + std::to_string(d.width) + " x " + std::to_string(d.height) + " pixels (" +
                 std::to_string(decoded) + " bytes) cannot come from the " + std::to_string(own) +
                 " bytes of data it does not share with an earlier page (at most " +
                 std::to_string(maxDecodedBytesPerStoredByte(compression)) + " bytes a stored byte for its compression)");
}

Bitmap decodeDirectory(TIFF* tif, Memory& memory, std::set<std::uint64_t>& usedStrips) {
    if (memory.tagDataMissing) fail(ErrorCode::Truncated, kWhere, "the data ends inside a directory");
    const Directory d = readDirectory(tif);
    checkDimensions(d.width, d.height, kWhere);
    checkStripsInside(tif, memory);
    checkPageFitsItsData(tif, d, usedStrips);
    const Path path = pathFor(d);
    Bitmap bitmap(static_cast<int>(d.width), static_cast<int>(d.height), bitsFor(d, path));
    const int w = bitmap.width(), h = bitmap.height();

    if (path == Path::Rendered) {
        if (char message[1024]; !TIFFRGBAImageOK(tif, message))
            fail(ErrorCode::Unsupported, kWhere, message);
        // TIFFReadRGBAImage fills 32-bit words A<<24 | B<<16 | G<<8 | R, which on a
        // little-endian machine are exactly our R, G, B, A bytes: 32-bit results need no copy.
        Bitmap rgba = bitmap.bits() == 32 ? Bitmap() : Bitmap(w, h, 32);
        Bitmap& target = bitmap.bits() == 32 ? bitmap : rgba;
        // The rows in their stored order, as the other paths read them: the file's orientation
        // is applied to every path alike when the picture is loaded (codecs/embedded.h).
        std::uint16_t stored = ORIENTATION_TOPLEFT;
        TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &stored);
        if (stored < ORIENTATION_TOPLEFT || stored > ORIENTATION_LEFTBOT) stored = ORIENTATION_TOPLEFT;
        if (!TIFFReadRGBAImageOriented(tif, d.width, d.height, reinterpret_cast<std::uint32_t*>(target.data().data()),
                                       stored, 0))
            failFrom(memory, ErrorCode::Corrupt, "cannot decode the image");
        if (bitmap.bits() == 24) {
            const std::uint8_t* s = rgba.data().data();
            std::uint8_t* t = bitmap.data().data();
            for (std::size_t i = 0, n = static_cast<std::size_t>(w) * h; i < n; ++i, s += 4, t += 3)
                t[0] = s[0], t[1] = s[1], t[2] = s[2];
        }
        return bitmap;
    }

    if (path == Path::Palette) {
        std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b)) fail(ErrorCode::Corrupt, kWhere, "palette image without a colour map");
        const int n = 1 << d.bitsPerSample;
        // Some old writers put 8-bit values into the 16-bit colour map.
        bool eightBit = true;
        for (int i = 0; i < n && eightBit; ++i) eightBit = r[i] < 256 && g[i] < 256 && b[i] < 256;
        for (int i = 0; i < n; ++i)
            bitmap.palette()[i] = eightBit ? makeRgb(r[i], g[i], b[i]) : makeRgb(r[i] >> 8, g[i] >> 8, b[i] >> 8);
    } else if (path == Path::Grey && d.photometric == PHOTOMETRIC_MINISWHITE) {
        std::reverse(bitmap.palette().begin(), bitmap.palette().end());
    }

    const tmsize_t lineSize = TIFFScanlineSize(tif);
    const std::size_t packedBits = static_cast<std::size_t>(w) * d.samples * d.bitsPerSample;
    if (lineSize <= 0 || static_cast<std::size_t>(lineSize) < (packedBits + 7) / 8)
        fail(ErrorCode::Corrupt, kWhere, "inconsistent scanline size");
    std::vector<std::uint8_t> line(static_cast<std::size_t>(lineSize));
    const int bps = d.bitsPerSample;
    const std::optional<LabToSrgb> lab = path == Path::Lab ? std::optional<LabToSrgb>(LabToSrgb(tif)) : std::nullopt;
    for (int y = 0; y < h; ++y) {
        const bool direct = path == Path::Rgb || path == Path::Rgba || (path != Path::Rgb555 && path != Path::Lab && bps == 8);
        std::uint8_t* target = direct && static_cast<std::size_t>(lineSize) == bitmap.stride() ? bitmap.row(y) : line.data();
        if (TIFFReadScanline(tif, target, static_cast<std::uint32_t>(y), 0) < 0)
            failFrom(memory, memory.in.size() < 64 ? ErrorCode::Truncated : ErrorCode::Corrupt, "cannot read a row");
        std::uint8_t* row = bitmap.row(y);
        if (target == row) continue;
        if (direct) {
            std::memcpy(row, line.data(), bitmap.stride());
        } else if (path == Path::Lab) {
            const int in = d.samples, out = bitmap.bytesPerPixel();
            for (int x = 0; x < w; ++x) {
                lab->convert(line.data() + static_cast<std::size_t>(x) * in, row + static_cast<std::size_t>(x) * out);
                if (out == 4) row[4 * x + 3] = line[static_cast<std::size_t>(x) * in + 3];
            }
        } else if (path == Path::Rgb555) {
            // three 5-bit samples per pixel, most significant bit first
            for (int x = 0; x < w; ++x) {
                std::uint32_t v = 0;
                const std::size_t bit = static_cast<std::size_t>(x) * 15;
                for (int k = 0; k < 15; ++k) {
                    const std::size_t b = bit + static_cast<std::size_t>(k);
                    v = (v << 1) | ((line[b >> 3] >> (7 - (b & 7))) & 1);
                }
                row[2 * x] = static_cast<std::uint8_t>(v & 0xFF);
                row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
            }
        } else {
            const int mask = (1 << bps) - 1;
            for (int x = 0; x < w; ++x) {
                const std::size_t bit = static_cast<std::size_t>(x) * bps;
                // samples may straddle bytes at 3, 5, 6 and 7 bits
                const unsigned pair = (line[bit >> 3] << 8) | ((bit >> 3) + 1 < line.size() ? line[(bit >> 3) + 1] : 0);
                row[x] = static_cast<std::uint8_t>((pair >> (16 - bps - (bit & 7))) & mask);
            }
        }
    }
    return bitmap;
}

// ---- writing ------------------------------------------------------------------------------

// The profile, author and copyright SaveOptions name; nothing else of a source's metadata.
void writeEmbedded(TIFF* tif, const SaveOptions& options) {
    if (!options.iccProfile.empty())
        TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<std::uint32_t>(options.iccProfile.size()), options.iccProfile.data());
    if (!options.author.empty()) TIFFSetField(tif, TIFFTAG_ARTIST, options.author.c_str());
    if (!options.copyright.empty()) TIFFSetField(tif, TIFFTAG_COPYRIGHT, options.copyright.c_str());
}

void writePage(TIFF* tif, Memory& memory, const Bitmap& source, int bits, bool compressed, int page, int pages) {
    Bitmap converted;
    if (bits <= 8) codec::checkIndexedFits(source, bits, kWhere);
    else if (bits == 24 && source.bits() != 24) converted = source.toRgb24();
    else if (bits == 32 && source.bits() != 32) converted = source.toRgba32();
    else if (bits == 16 && source.bits() != 16) codec::convertForLoad(converted = source, 16, kWhere);
    const Bitmap& bitmap = converted.empty() ? source : converted;
    const int w = bitmap.width(), h = bitmap.height();
    const std::uint16_t samples = bits <= 8 ? 1 : bits == 32 ? 4 : 3;
    const std::uint16_t bps = bits <= 8 ? static_cast<std::uint16_t>(bits) : bits == 16 ? 5 : 8;
    const bool predictor = compressed && bps == 8 && samples > 1;

    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(w));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(h));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bps);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, bits <= 8 ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compressed ? COMPRESSION_LZW : COMPRESSION_NONE);
    if (predictor) TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 72.0);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 72.0);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (samples == 4) {
        const std::uint16_t kind = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &kind);
    }
    if (pages > 1) {
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<std::uint16_t>(page), static_cast<std::uint16_t>(pages));
    }
    std::vector<std::uint16_t> map;
    if (bits <= 8) {
        const std::size_t n = std::size_t{1} << bits;
        map.resize(3 * n);
        for (std::size_t i = 0; i < n; ++i) {
            const Rgb c = codec::paletteEntry(bitmap, static_cast<int>(i));
            map[i] = static_cast<std::uint16_t>(redOf(c) * 257);
            map[n + i] = static_cast<std::uint16_t>(greenOf(c) * 257);
            map[2 * n + i] = static_cast<std::uint16_t>(blueOf(c) * 257);
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + n, map.data() + 2 * n);
    }
    const std::size_t lineBytes = (static_cast<std::size_t>(w) * samples * bps + 7) / 8;
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                 static_cast<std::uint32_t>(std::clamp<std::size_t>(kStripBytes / lineBytes, 1, static_cast<std::size_t>(h))));

    // Rows whose layout is the file's go out as they are, unless the predictor would
    // difference them in place (libtiff alters the buffer it is given).
    const bool direct = (bps == 8) && !predictor;
    std::vector<std::uint8_t> line(direct ? 0 : lineBytes);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* s = bitmap.row(y);
        void* out = const_cast<std::uint8_t*>(s);
        if (!direct) {
            std::fill(line.begin(), line.end(), 0);
            if (bps == 8) {
                std::memcpy(line.data(), s, lineBytes);
            } else if (bits == 16) {
                for (int x = 0; x < w; ++x) {
                    const unsigned v = (s[2 * x] | (s[2 * x + 1] << 8)) & 0x7FFF;
                    for (int k = 0; k < 15; ++k)
                        if (v & (1u << (14 - k))) {
                            const std::size_t b = static_cast<std::size_t>(x) * 15 + static_cast<std::size_t>(k);
                            line[b >> 3] |= static_cast<std::uint8_t>(0x80 >> (b & 7));
                        }
                }
            } else {
                for (int x = 0; x < w; ++x) {
                    const std::size_t bit = static_cast<std::size_t>(x) * bps;
                    const unsigned v = static_cast<unsigned>(s[x]) << (16 - bps - (bit & 7));
                    line[bit >> 3] |= static_cast<std::uint8_t>(v >> 8);
                    if ((bit >> 3) + 1 < line.size()) line[(bit >> 3) + 1] |= static_cast<std::uint8_t>(v & 0xFF);
                }
            }
            out = line.data();
        }
        if (TIFFWriteScanline(tif, out, static_cast<std::uint32_t>(y), 0) < 0)
            failFrom(memory, ErrorCode::WriteFailed, "cannot write a row");
    }
    if (!TIFFWriteDirectory(tif)) failFrom(memory, ErrorCode::WriteFailed, "cannot write the directory");
}

}  // namespace

bool TiffCodec::sniff(ByteView data) const {
    if (data.size() < 4) return false;
    const bool little = data[0] == 'I' && data[1] == 'I' && (data[2] == 42 || data[2] == 43) && data[3] == 0;
    const bool big = data[0] == 'M' && data[1] == 'M' && data[2] == 0 && (data[3] == 42 || data[3] == 43);
    return little || big;
}

ImageInfo TiffCodec::readInfo(ByteView data) const {
    if (!sniff(data)) fail(ErrorCode::UnknownFormat, kWhere, "no TIFF signature");
    Memory memory;
    memory.in = data;
    TiffHandle tif = open(memory, "r");
    const Directory d = readDirectory(tif.get());
    checkDimensions(d.width, d.height, kWhere);
    ImageInfo info;
    info.width = static_cast<int>(d.width);
    info.height = static_cast<int>(d.height);
    info.bits = bitsFor(d, pathFor(d));
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
    info.format = compression == COMPRESSION_NONE ? format::TiffUncompressed : format::TiffCompressed;
    info.pages = std::min<int>(TIFFNumberOfDirectories(tif.get()), kMaxPages);
    info.animated = false;
    info.fileSize = data.size();
    info.memorySize = codec::memorySizeOf(info.width, info.height, info.bits);
    return info;
}

Image TiffCodec::read(ByteView data, const LoadOptions& options) const {
    if (!sniff(data)) fail(ErrorCode::UnknownFormat, kWhere, "no TIFF signature");
    Memory memory;
    memory.in = data;
    TiffHandle tif = open(memory, "r");
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
    // Counting directories walks the whole chain; a single first page does not need it.
    const bool onlyFirst = options.firstPage == 0 && options.pageCount == 1;
    const int total = onlyFirst ? 1 : std::min<int>(TIFFNumberOfDirectories(tif.get()), kMaxPages);
    const codec::PageRange range = codec::pageRange(total, options, kWhere);
    Image image;
    image.format = compression == COMPRESSION_NONE ? format::TiffUncompressed : format::TiffCompressed;
    // Pages may share their strips: each page's size is bounded by the data no earlier page
    // used, so together they never claim more than the file holds.
    std::set<std::uint64_t> usedStrips;
    for (int page = range.first; page < range.first + range.count; ++page) {
        if (!TIFFSetDirectory(tif.get(), static_cast<tdir_t>(page)))
            failFrom(memory, ErrorCode::Corrupt, "cannot read a page");
        Bitmap bitmap = decodeDirectory(tif.get(), memory, usedStrips);
        codec::convertForLoad(bitmap, options.bits, kWhere);
        image.frames.push_back(Frame{std::move(bitmap)});
    }
    return image;
}

Bytes TiffCodec::write(const Image& image, const SaveOptions& options) const {
    if (image.empty() || image.first().empty()) fail(ErrorCode::NoImage, kWhere, "there is no image to save");
    const int pages = options.multiPage ? static_cast<int>(image.frames.size()) : 1;
    std::vector<int> bits(static_cast<std::size_t>(pages));
    for (int p = 0; p < pages; ++p) {
        bits[p] = codec::requestedBits(image.frames[p].bitmap, options);
        if (!Bitmap::isValidDepth(bits[p]))
            fail(ErrorCode::InvalidArgument, kWhere, "invalid depth " + std::to_string(bits[p]));
    }
    Bytes out;
    out.reserve(image.first().data().size() / 2 + 4096);
    Memory memory;
    memory.out = &out;
    {
        TiffHandle tif = open(memory, "w");
        for (int p = 0; p < pages; ++p) {
            writeEmbedded(tif.get(), options);
            writePage(tif.get(), memory, image.frames[p].bitmap, bits[p], options.format == format::TiffCompressed, p, pages);
        }
        if (!TIFFFlush(tif.get())) failFrom(memory, ErrorCode::WriteFailed, "cannot finish the file");
    }
    if (!memory.message.empty()) fail(ErrorCode::WriteFailed, kWhere, memory.message);
    return out;
}

}  // namespace imaging
