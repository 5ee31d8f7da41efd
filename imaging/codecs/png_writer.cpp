#include "codecs/png_writer.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>

#include "core/error.h"
#include "core/parallel.h"

namespace imaging::png {
namespace {

constexpr const char* kWhere = "PNG";
constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kIdatChunk = 1 << 20;
constexpr std::size_t kLevel12Bytes = 4u << 20;
// Truecolour rows that compress to less than 1 / this of their size get a slower, closer parse.
constexpr std::size_t kSlowParseRatio = 7;

enum ColourType : std::uint8_t { Grey = 0, Rgb24 = 2, Palette = 3, GreyAlpha = 4, Rgba = 6 };

// The pixels as the file stores them, before filtering.
struct Layout {
    ColourType type = Rgb24;
    int depth = 8;
    int bpp = 3;  // filter distance in bytes
    std::size_t rowBytes = 0;
    int height = 0;
    std::vector<std::uint8_t> rows;  // height * rowBytes
    std::vector<Rgb> palette;
    std::vector<std::uint8_t> alpha;
    bool hasTransColour = false;
    Rgb transColour = 0;
    int markerDepth = 0;  // kDepthChunk's value, 0 for none
    bool fewColours = false;  // flat graphics: long repeats that only unfiltered rows keep
};

// ---- layout: the smallest one that decodes to the same pixels ------------------------------

// Distinct RGB colours of a direct bitmap, counted up to `limit` + 1; sorted.
std::vector<Rgb> distinctColours(const Bitmap& bitmap, std::size_t limit) {
    // Open addressing over a table four times the limit: photographs leave after a few rows.
    std::size_t size = 1;
    while (size < limit * 4) size <<= 1;
    constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    std::vector<std::uint32_t> table(size, kEmpty);
    std::vector<Rgb> found;
    const int bpp = bitmap.bytesPerPixel();
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x, p += bpp) {
            const std::uint32_t c = makeRgb(p[0], p[1], p[2]);
            std::size_t h = (c * 2654435761u) & (size - 1);
            while (table[h] != kEmpty && table[h] != c) h = (h + 1) & (size - 1);
            if (table[h] == c) continue;
            table[h] = c;
            found.push_back(c);
            if (found.size() > limit) return found;
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

void packIndices(const std::uint8_t* indices, int width, int depth, std::uint8_t* out) {
    if (depth == 8) {
        std::memcpy(out, indices, static_cast<std::size_t>(width));
        return;
    }
    const int perByte = 8 / depth;
    for (int x = 0; x < width; x += perByte) {
        std::uint8_t b = 0;
        for (int k = 0; k < perByte; ++k)
            b = static_cast<std::uint8_t>(b << depth | (x + k < width ? indices[x + k] : 0));
        *out++ = b;
    }
}

int depthFor(std::size_t entries) { return entries <= 2 ? 1 : entries <= 4 ? 2 : entries <= 16 ? 4 : 8; }

void layoutIndexed(const Bitmap& bitmap, int depth, Layout& l) {
    l.type = Palette;
    l.depth = depth;
    l.bpp = 1;
    l.rowBytes = (static_cast<std::size_t>(bitmap.width()) * depth + 7) / 8;
    l.rows.resize(l.rowBytes * static_cast<std::size_t>(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y)
        packIndices(bitmap.row(y), bitmap.width(), depth, l.rows.data() + l.rowBytes * static_cast<std::size_t>(y));
}

// A direct bitmap with at most 256 colours (all opaque) as palette indices, or as grey when
// every colour is grey and a palette would not be smaller.
bool layoutFewColours(const Bitmap& bitmap, const std::vector<Rgb>& colours, Layout& l) {
    const bool grey = std::all_of(colours.begin(), colours.end(),
                                  [](Rgb c) { return redOf(c) == greenOf(c) && greenOf(c) == blueOf(c); });
    const int bpp = bitmap.bytesPerPixel();
    const int w = bitmap.width();
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(w));
    if (grey && colours.size() > 16) {
        l.type = Grey;
        l.depth = 8;
        l.bpp = 1;
        l.rowBytes = static_cast<std::size_t>(w);
        l.rows.resize(l.rowBytes * static_cast<std::size_t>(bitmap.height()));
        for (int y = 0; y < bitmap.height(); ++y) {
            const std::uint8_t* p = bitmap.row(y);
            std::uint8_t* o = l.rows.data() + l.rowBytes * static_cast<std::size_t>(y);
            for (int x = 0; x < w; ++x) o[x] = p[static_cast<std::size_t>(x) * bpp];
        }
        return true;
    }
    l.type = Palette;
    l.palette = colours;
    l.depth = depthFor(colours.size());
    l.bpp = 1;
    l.rowBytes = (static_cast<std::size_t>(w) * l.depth + 7) / 8;
    l.rows.resize(l.rowBytes * static_cast<std::size_t>(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < w; ++x, p += bpp) {
            const Rgb c = makeRgb(p[0], p[1], p[2]);
            indices[static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>(std::lower_bound(colours.begin(), colours.end(), c) - colours.begin());
        }
        packIndices(indices.data(), w, l.depth, l.rows.data() + l.rowBytes * static_cast<std::size_t>(y));
    }
    return true;
}

void layoutDirect(const Bitmap& bitmap, bool alphaUsed, bool greyAlpha, Layout& l) {
    const int w = bitmap.width();
    const int inBpp = bitmap.bytesPerPixel();
    l.type = alphaUsed ? (greyAlpha ? GreyAlpha : Rgba) : Rgb24;
    l.bpp = alphaUsed ? (greyAlpha ? 2 : 4) : 3;
    l.depth = 8;
    l.rowBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(l.bpp);
    l.rows.resize(l.rowBytes * static_cast<std::size_t>(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* p = bitmap.row(y);
        std::uint8_t* o = l.rows.data() + l.rowBytes * static_cast<std::size_t>(y);
        if (l.bpp == inBpp) {
            std::memcpy(o, p, l.rowBytes);
        } else if (l.type == GreyAlpha) {
            for (int x = 0; x < w; ++x, p += 4) *o++ = p[0], *o++ = p[3];
        } else {  // 32-bit pixels that are all opaque
            for (int x = 0; x < w; ++x, p += 4) *o++ = p[0], *o++ = p[1], *o++ = p[2];
        }
    }
}

Layout chooseLayout(const WriteInput& in) {
    const Bitmap& b = *in.bitmap;
    Layout l;
    l.height = b.height();
    if (b.isIndexed()) {
        layoutIndexed(b, in.depth, l);
        l.palette.assign(b.palette().begin(), b.palette().end());
        l.palette.resize(std::size_t{1} << in.depth, 0);
        l.alpha = in.alpha;
        // Unused entries at the end that repeat the one before them (the colour reduction pads
        // its palette so) need not be stored: the reader fills a short palette up with its last
        // entry, so the bitmap comes back with the same palette.
        const std::uint8_t highest = *std::max_element(b.data().begin(), b.data().end());
        const std::size_t keep = std::max<std::size_t>({std::size_t{highest} + 1, l.alpha.size(), 1});
        while (l.palette.size() > keep && l.palette.back() == l.palette[l.palette.size() - 2]) l.palette.pop_back();
        return l;
    }
    bool alphaUsed = false, allGrey = true;
    if (b.bits() == 32) {
        for (int y = 0; y < b.height() && (!alphaUsed || allGrey); ++y) {
            const std::uint8_t* p = b.row(y);
            for (int x = 0; x < b.width(); ++x, p += 4) {
                alphaUsed |= p[3] != 255;
                allGrey &= p[0] == p[1] && p[1] == p[2];
            }
        }
    }
    // A transparent colour (tRNS) keeps the RGB layout: it names a colour, not an entry.
    if (!alphaUsed && !in.hasTransColour) {
        const std::vector<Rgb> colours = distinctColours(b, 1024);
        l.fewColours = colours.size() <= 1024;
        if (colours.size() <= 256) {
            layoutFewColours(b, colours, l);
            l.markerDepth = b.bits();
            return l;
        }
    }
    layoutDirect(b, alphaUsed, alphaUsed && allGrey, l);
    if (l.type != (b.bits() == 32 ? Rgba : Rgb24)) l.markerDepth = b.bits();
    l.hasTransColour = in.hasTransColour;
    l.transColour = in.transColour;
    return l;
}

// ---- filtering -------------------------------------------------------------------------------

int paethPredictor(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Rows with filter None only: palette indices and low-depth grey have no arithmetic neighbourhood.
std::vector<std::uint8_t> unfiltered(const Layout& l) {
    std::vector<std::uint8_t> out((l.rowBytes + 1) * static_cast<std::size_t>(l.height));
    for (int y = 0; y < l.height; ++y) {
        std::uint8_t* o = out.data() + (l.rowBytes + 1) * static_cast<std::size_t>(y);
        o[0] = 0;
        std::memcpy(o + 1, l.rows.data() + l.rowBytes * static_cast<std::size_t>(y), l.rowBytes);
    }
    return out;
}

// Each row takes the filter whose output has the smallest order-0 entropy. Measured on
// photographs, a screenshot and a flat graphic, this gives 0.1-0.5 % smaller streams than the
// usual minimum-sum-of-absolute-differences rule at the same cost; both are far cheaper than
// trial compression of every row.
// `zeros` receives the number of zero bytes among the filtered rows.
std::vector<std::uint8_t> filteredByEntropy(const Layout& l, std::size_t& zeros) {
    const std::size_t n = l.rowBytes;
    std::vector<std::uint8_t> out((n + 1) * static_cast<std::size_t>(l.height));
    // Rows are independent given their predecessor in the input, so bands run in parallel.
    const std::size_t bands = std::max<std::size_t>(1, std::min<std::size_t>(16, static_cast<std::size_t>(l.height) / 64));
    std::vector<std::size_t> bandZeros(bands, 0);
    parallelFor(bands, [&](std::size_t band) {
        std::vector<std::uint8_t> trial(n * 5);
        std::vector<double> cLogC(n + 1);
        for (std::size_t c = 1; c <= n; ++c) cLogC[c] = static_cast<double>(c) * std::log2(static_cast<double>(c));
        const int first = static_cast<int>(rangeStart(static_cast<std::size_t>(l.height), bands, band));
        const int last = static_cast<int>(rangeStart(static_cast<std::size_t>(l.height), bands, band + 1));
        for (int y = first; y < last; ++y) {
            const std::uint8_t* row = l.rows.data() + n * static_cast<std::size_t>(y);
            const std::uint8_t* prev = y > 0 ? row - n : nullptr;
            int best = 0;
            double bestCost = 0;
            std::uint32_t bestZeros = 0;
            for (int f = 0; f < 5; ++f) {
                std::uint8_t* t = trial.data() + n * static_cast<std::size_t>(f);
                filterRow(f, row, prev, t, n, l.bpp);
                std::array<std::uint32_t, 256> histogram{};
                for (std::size_t i = 0; i < n; ++i) ++histogram[t[i]];
                // n*log2(n) - sum c*log2(c) is the row's entropy in bits.
                double sum = 0;
                for (std::uint32_t c : histogram) sum += cLogC[c];
                const double cost = cLogC[n] - sum;
                if (f == 0 || cost < bestCost) best = f, bestCost = cost, bestZeros = histogram[0];
            }
            bandZeros[band] += bestZeros;
            std::uint8_t* o = out.data() + (n + 1) * static_cast<std::size_t>(y);
            o[0] = static_cast<std::uint8_t>(best);
            std::memcpy(o + 1, trial.data() + n * static_cast<std::size_t>(best), n);
        }
    });
    zeros = 0;
    for (std::size_t z : bandZeros) zeros += z;
    return out;
}

// ---- deflate -----------------------------------------------------------------------------------

Bytes zlibCompress(const std::vector<std::uint8_t>& data, int level, int strategy, int memLevel = 9) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, 15, memLevel, strategy) != Z_OK)
        fail(ErrorCode::OutOfMemory, kWhere, "cannot start zlib");
    Bytes out(deflateBound(&z, static_cast<uLong>(data.size())));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (result != Z_STREAM_END) fail(ErrorCode::WriteFailed, kWhere, "zlib did not finish the stream");
    return out;
}

// zlib's run-length strategy in two halves side by side: its matches reach back one byte, so
// halves coded apart lose nothing but that byte at the seam. The first half ends on a byte
// boundary without closing the stream, the second closes it; the checksum covers both.
Bytes zlibRleInHalves(const std::vector<std::uint8_t>& data) {
    const std::size_t half = data.size() / 2;
    Bytes parts[2];
    parallelFor(2, [&](std::size_t k) {
        const std::uint8_t* from = data.data() + (k == 0 ? 0 : half);
        const std::size_t size = k == 0 ? half : data.size() - half;
        z_stream z{};
        if (deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_RLE) != Z_OK)
            fail(ErrorCode::OutOfMemory, kWhere, "cannot start zlib");
        Bytes& out = parts[k];
        out.resize(deflateBound(&z, static_cast<uLong>(size)) + 16);
        z.next_in = const_cast<Bytef*>(from);
        z.avail_in = static_cast<uInt>(size);
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        const int result = deflate(&z, k == 0 ? Z_SYNC_FLUSH : Z_FINISH);
        out.resize(z.total_out);
        deflateEnd(&z);
        if (result != (k == 0 ? Z_OK : Z_STREAM_END) || z.avail_in != 0)
            fail(ErrorCode::WriteFailed, kWhere, "zlib did not finish the stream");
    });
    Bytes out = {0x78, 0xDA};
    out.reserve(parts[0].size() + parts[1].size() + 6);
    out.insert(out.end(), parts[0].begin(), parts[0].end());
    out.insert(out.end(), parts[1].begin(), parts[1].end());
    const uLong check = adler32(adler32(1, data.data(), static_cast<uInt>(half)), data.data() + half,
                                static_cast<uInt>(data.size() - half));
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(check >> shift));
    return out;
}

Bytes libdeflateCompress(const std::vector<std::uint8_t>& data, int level) {
    std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> c(libdeflate_alloc_compressor(level),
                                                                                  libdeflate_free_compressor);
    if (!c) fail(ErrorCode::OutOfMemory, kWhere, "cannot start libdeflate");
    Bytes out(libdeflate_zlib_compress_bound(c.get(), data.size()));
    const std::size_t n = libdeflate_zlib_compress(c.get(), data.data(), data.size(), out.data(), out.size());
    if (n == 0) fail(ErrorCode::WriteFailed, kWhere, "libdeflate found no room for the stream");
    out.resize(n);
    return out;
}

struct Trial {
    const std::vector<std::uint8_t>* rows;
    std::function<Bytes(const std::vector<std::uint8_t>&)> compress;
};

// Palette pictures are stored unfiltered (indices have no arithmetic neighbourhood).
// Filtered photographs are mostly literals with short runs: zlib's run-length strategy codes
// them as well as its full match search at a tenth of the time, and libdeflate's level 6 wins
// on smooth pictures with longer repeats. Flat graphics repeat whole stretches of rows, which
// only unfiltered rows with zlib's deepest search keep. All trials that apply run (in
// parallel), and the smallest stream wins; ties go to the earlier trial, so the result never
// depends on the number of cores.
Bytes smallestStream(const Layout& l) {
    std::vector<std::uint8_t> filtered, plain;
    std::vector<Trial> trials;
    const bool indexed = l.type == Palette || (l.type == Grey && l.depth < 8);
    if (indexed) {
        plain = unfiltered(l);
        trials.push_back({&plain, [](const auto& d) { return zlibCompress(d, 9, Z_DEFAULT_STRATEGY); }});
        // libdeflate's slowest levels find 2-6 % more than zlib's deepest on palette pictures;
        // beyond a 2-megapixel picture level 12 costs more time than its last 0.5 % is worth.
        const int level = plain.size() <= kLevel12Bytes ? 12 : 10;
        trials.push_back({&plain, [level](const auto& d) { return libdeflateCompress(d, level); }});
    } else {
        std::size_t zeros = 0;
        filtered = filteredByEntropy(l, zeros);
        trials.push_back({&filtered, [](const auto& d) { return zlibRleInHalves(d); }});
        // Smooth pictures and graphics, whose filtered rows are mostly zeros, repeat longer
        // stretches that libdeflate's matches find; on photographs with grain the run-length
        // stream is the smaller, and leaving libdeflate out halves their write.
        if (zeros * 2 >= filtered.size())
            trials.push_back({&filtered, [](const auto& d) { return libdeflateCompress(d, 6); }});
        if (l.fewColours) {
            plain = unfiltered(l);
            trials.push_back({&plain, [](const auto& d) { return zlibCompress(d, 9, Z_DEFAULT_STRATEGY); }});
            // The smaller hash table matches differently; on flat pictures either may win.
            trials.push_back({&plain, [](const auto& d) { return zlibCompress(d, 9, Z_DEFAULT_STRATEGY, 8); }});
        }
    }
    std::vector<Bytes> streams(trials.size());
    parallelFor(trials.size(), [&](std::size_t i) { streams[i] = trials[i].compress(*trials[i].rows); });
    std::size_t best = 0;
    for (std::size_t i = 1; i < streams.size(); ++i)
        if (streams[i].size() < streams[best].size()) best = i;
    // Screenshots and graphics compress to a small part of their rows, and on them
    // libdeflate's near-optimal parsing finds 5-8 % more than any of the above, at a cost that
    // stays small because the rows repeat so much. Photographs, whose streams stay large, would
    // pay several times their whole write for 2-8 %: they keep the faster result.
    if (!indexed && streams[best].size() * kSlowParseRatio < trials[best].rows->size()) {
        Bytes slow = libdeflateCompress(*trials[best].rows, 10);
        if (slow.size() < streams[best].size()) return slow;
    }
    return std::move(streams[best]);
}

// ---- chunks ----------------------------------------------------------------------------------

void putBe32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void putChunk(Bytes& out, const char* type, const std::uint8_t* data, std::size_t size) {
    putBe32(out, static_cast<std::uint32_t>(size));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (size) out.insert(out.end(), data, data + size);
    const uLong crc = crc32(crc32(0, nullptr, 0), out.data() + start, static_cast<uInt>(size + 4));
    putBe32(out, static_cast<std::uint32_t>(crc));
}

std::uint32_t be32(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

}  // namespace

void filterRow(int type, const std::uint8_t* row, const std::uint8_t* previous, std::uint8_t* out, std::size_t rowBytes,
               int bpp) {
    const std::size_t d = static_cast<std::size_t>(bpp);
    switch (type) {
    case 0: std::memcpy(out, row, rowBytes); return;
    case 1:
        for (std::size_t i = 0; i < rowBytes; ++i) out[i] = static_cast<std::uint8_t>(row[i] - (i >= d ? row[i - d] : 0));
        return;
    case 2:
        for (std::size_t i = 0; i < rowBytes; ++i) out[i] = static_cast<std::uint8_t>(row[i] - (previous ? previous[i] : 0));
        return;
    case 3:
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const int a = i >= d ? row[i - d] : 0, b = previous ? previous[i] : 0;
            out[i] = static_cast<std::uint8_t>(row[i] - ((a + b) >> 1));
        }
        return;
    default:
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const int a = i >= d ? row[i - d] : 0, b = previous ? previous[i] : 0;
            const int c = previous && i >= d ? previous[i - d] : 0;
            out[i] = static_cast<std::uint8_t>(row[i] - paethPredictor(a, b, c));
        }
        return;
    }
}

Bytes writeNonInterlaced(const WriteInput& input) {
    const Layout l = chooseLayout(input);
    const Bytes stream = smallestStream(l);

    Bytes out(std::begin(kSignature), std::end(kSignature));
    out.reserve(stream.size() + 1200);
    std::uint8_t ihdr[13] = {};
    for (int i = 0; i < 4; ++i) {
        ihdr[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(input.bitmap->width()) >> (24 - 8 * i));
        ihdr[4 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(input.bitmap->height()) >> (24 - 8 * i));
    }
    ihdr[8] = static_cast<std::uint8_t>(l.depth);
    ihdr[9] = l.type;
    putChunk(out, "IHDR", ihdr, sizeof ihdr);
    if (l.type == Palette) {
        std::vector<std::uint8_t> plte;
        for (Rgb c : l.palette) {
            plte.push_back(static_cast<std::uint8_t>(redOf(c)));
            plte.push_back(static_cast<std::uint8_t>(greenOf(c)));
            plte.push_back(static_cast<std::uint8_t>(blueOf(c)));
        }
        putChunk(out, "PLTE", plte.data(), plte.size());
        if (!l.alpha.empty()) putChunk(out, "tRNS", l.alpha.data(), l.alpha.size());
    } else if (l.hasTransColour) {
        const std::uint8_t trns[6] = {0, static_cast<std::uint8_t>(redOf(l.transColour)), 0,
                                      static_cast<std::uint8_t>(greenOf(l.transColour)), 0,
                                      static_cast<std::uint8_t>(blueOf(l.transColour))};
        putChunk(out, "tRNS", trns, sizeof trns);
    }
    if (l.markerDepth) {
        const std::uint8_t depth = static_cast<std::uint8_t>(l.markerDepth);
        putChunk(out, kDepthChunk, &depth, 1);
    }
    for (std::size_t pos = 0; pos < stream.size() || pos == 0; pos += kIdatChunk)
        putChunk(out, "IDAT", stream.data() + pos, std::min(kIdatChunk, stream.size() - pos));
    putChunk(out, "IEND", nullptr, 0);
    return out;
}

int storedDepth(ByteView file) {
    std::size_t pos = 8;
    while (pos + 8 <= file.size()) {
        const std::uint32_t length = be32(file.data() + pos);
        const char* type = reinterpret_cast<const char*>(file.data() + pos + 4);
        if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) return 0;
        if (std::memcmp(type, kDepthChunk, 4) == 0 && length == 1 && pos + 9 <= file.size()) {
            const int depth = file.data()[pos + 8];
            return depth == 24 || depth == 32 ? depth : 0;
        }
        if (length > file.size()) return 0;
        pos += std::size_t{length} + 12;
    }
    return 0;
}

}  // namespace imaging::png
