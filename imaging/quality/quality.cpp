#include "quality/quality.h"
#include "quality/transparency.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "core/error.h"
#include "core/parallel.h"

namespace imaging {

namespace {

constexpr const char* kWhere = "quality";
constexpr int kWindow = 11;
constexpr double kSigma = 1.5;
constexpr double kC1 = (0.01 * 255) * (0.01 * 255);
constexpr double kC2 = (0.03 * 255) * (0.03 * 255);
// Luma is filtered less this middle value: E[x²] - E[x]² in single precision loses the
// variance of a bright flat area (10000 - 10000) to rounding, of centred values far less.
constexpr float kCentre = 128.0f;

// Normalised Gaussian taps of an odd window `size` (at most kWindow).
std::vector<float> gaussianTaps(int size) {
    std::vector<double> w(static_cast<std::size_t>(size));
    const int half = size / 2;
    double sum = 0.0;
    for (int i = 0; i < size; ++i) {
        const double d = i - half;
        w[static_cast<std::size_t>(i)] = std::exp(-(d * d) / (2.0 * kSigma * kSigma));
        sum += w[static_cast<std::size_t>(i)];
    }
    std::vector<float> taps(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) taps[static_cast<std::size_t>(i)] = static_cast<float>(w[static_cast<std::size_t>(i)] / sum);
    return taps;
}

inline std::uint8_t blend(int value, int alpha, int matte) {
    // Rounded (value * a + matte * (255 - a)) / 255, as the colour reduction blends.
    return static_cast<std::uint8_t>((value * alpha + matte * (255 - alpha) + 127) / 255);
}

// One output row of the mean SSIM map for a window of N taps, summed. The vertical pass sums
// the window's rows of a, b, a², b² and ab at each x into five row buffers, keeping the sums
// in registers across the taps; the horizontal pass filters those and evaluates the map at
// once into a sixth. The loops run along x with a fixed tap count, so the compiler vectorises
// them.
template <int N>
[[gnu::always_inline]] inline double ssimRow(const float* a, const float* b, std::size_t w, const float* taps,
                                             float* __restrict va, float* __restrict vb, float* __restrict vaa,
                                             float* __restrict vbb, float* __restrict vab, float* __restrict map) {
    for (std::size_t x = 0; x < w; ++x) {
        float sa = 0.0f, sb = 0.0f, saa = 0.0f, sbb = 0.0f, sab = 0.0f;
#pragma GCC unroll 11
        for (int k = 0; k < N; ++k) {
            const float xa = a[static_cast<std::size_t>(k) * w + x] - kCentre, xb = b[static_cast<std::size_t>(k) * w + x] - kCentre;
            const float ta = taps[k] * xa, tb = taps[k] * xb;
            sa += ta;
            sb += tb;
            saa += ta * xa;
            sbb += tb * xb;
            sab += ta * xb;
        }
        va[x] = sa, vb[x] = sb, vaa[x] = saa, vbb[x] = sbb, vab[x] = sab;
    }
    // The map of the row first, in a loop of its own along x: the compiler vectorises it as
    // it does the vertical pass (eight neighbouring x at once), where evaluating each lane of
    // the sum below on its own gathered the taps one float at a time.
    const float c1 = static_cast<float>(kC1), c2 = static_cast<float>(kC2);
    const std::size_t outWidth = w - N + 1;
    for (std::size_t x = 0; x < outWidth; ++x) {
        float mua = 0.0f, mub = 0.0f, maa = 0.0f, mbb = 0.0f, mab = 0.0f;
#pragma GCC unroll 11
        for (int k = 0; k < N; ++k) {
            mua += taps[k] * va[x + k];
            mub += taps[k] * vb[x + k];
            maa += taps[k] * vaa[x + k];
            mbb += taps[k] * vbb[x + k];
            mab += taps[k] * vab[x + k];
        }
        // Variances and covariance of the centred values; the luminance term takes the means.
        const float muab = mua * mub, mua2 = mua * mua, mub2 = mub * mub;
        const float la = mua + kCentre, lb = mub + kCentre;
        map[x] = ((2.0f * la * lb + c1) * (2.0f * (mab - muab) + c2)) /
                 ((la * la + lb * lb + c1) * ((maa - mua2) + (mbb - mub2) + c2));
    }
    // Eight partial sums: the compiler may not reorder a float sum on its own.
    float lanes[8] = {};
    std::size_t x0 = 0;
    for (; x0 + 8 <= outWidth; x0 += 8)
#pragma GCC unroll 8
        for (std::size_t l = 0; l < 8; ++l) lanes[l] += map[x0 + l];
    double sum = 0.0;
    for (float l : lanes) sum += l;
    for (; x0 < outWidth; ++x0) sum += map[x0];
    return sum;
}

// The mean-SSIM sums of output rows [y0, y1), one per row, into `sums`.
template <int N>
[[gnu::always_inline]] inline void ssimRows(const float* a, const float* b, int width, int y0, int y1, double* sums) {
    const std::size_t w = static_cast<std::size_t>(width);
    const std::vector<float> taps = gaussianTaps(N);
    std::vector<float> rows(w * 6);
    for (int y = y0; y < y1; ++y) {
        const std::size_t offset = static_cast<std::size_t>(y) * w;
        sums[y - y0] = ssimRow<N>(a + offset, b + offset, w, taps.data(), rows.data(), rows.data() + w,
                                  rows.data() + 2 * w, rows.data() + 3 * w, rows.data() + 4 * w, rows.data() + 5 * w);
    }
}

// Every update of a Variation pays for this, so it is built twice: for processors with AVX2
// and FMA (eight lanes, fused multiply-add) and for any x86-64.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("arch=x86-64-v3", "default")))
#endif
void ssimBand(const float* a, const float* b, int width, int size, int y0, int y1, double* sums) {
    switch (size) {
        case 11: ssimRows<11>(a, b, width, y0, y1, sums); break;
        case 9: ssimRows<9>(a, b, width, y0, y1, sums); break;
        case 7: ssimRows<7>(a, b, width, y0, y1, sums); break;
        case 5: ssimRows<5>(a, b, width, y0, y1, sums); break;
        case 3: ssimRows<3>(a, b, width, y0, y1, sums); break;
        default: ssimRows<1>(a, b, width, y0, y1, sums); break;
    }
}

double meanSsim(const float* a, const float* b, int width, int height) {
    // The window shrinks to the largest odd size that fits a small picture.
    int size = std::min({kWindow, width, height});
    if (size % 2 == 0) --size;
    const int outRows = height - size + 1;
    // Bands of rows on the engine's threads. Each row's sum is worked out alone and the sums
    // are added in row order, so the result is the same bit for bit however many threads run.
    std::vector<double> sums(static_cast<std::size_t>(outRows));
    constexpr std::size_t kBands = 8;
    const std::size_t bands = std::min<std::size_t>(kBands, static_cast<std::size_t>(outRows));
    parallelFor(bands, [&](std::size_t band) {
        const int y0 = static_cast<int>(rangeStart(static_cast<std::size_t>(outRows), bands, band));
        const int y1 = static_cast<int>(rangeStart(static_cast<std::size_t>(outRows), bands, band + 1));
        ssimBand(a, b, width, size, y0, y1, sums.data() + y0);
    });
    double total = 0.0;
    for (double rowSum : sums) total += rowSum;
    return total / (static_cast<double>(width - size + 1) * static_cast<double>(outRows));
}

// Rows of a picture of any depth as 8-bit R, G, B over a matte: fully transparent pixels take
// the matte colour, partly transparent ones are blended over it. A palette is looked up once
// per entry instead of once per pixel (an index past the palette reads as black).
class RowCompositor {
public:
    RowCompositor(const Bitmap& bitmap, Rgb matte) : bitmap_(bitmap), matte_(matte) {
        if (!bitmap.isIndexed()) return;
        const std::vector<Rgb>& palette = bitmap.palette();
        for (std::size_t j = 0; j < palette.size() && j < 256; ++j) {
            table_[j * 3] = static_cast<std::uint8_t>(redOf(palette[j]));
            table_[j * 3 + 1] = static_cast<std::uint8_t>(greenOf(palette[j]));
            table_[j * 3 + 2] = static_cast<std::uint8_t>(blueOf(palette[j]));
        }
    }

    // Row y into `out` (width * 3 bytes).
    void row(int y, std::uint8_t* out) const {
        const std::uint8_t* s = bitmap_.row(y);
        const std::size_t width = static_cast<std::size_t>(bitmap_.width());
        switch (bitmap_.bits()) {
            case 24: std::copy_n(s, width * 3, out); break;
            case 32: {
                const int mr = redOf(matte_), mg = greenOf(matte_), mb = blueOf(matte_);
                for (std::size_t i = 0; i < width; ++i, s += 4, out += 3) {
                    const int a = s[3];
                    if (a == 255) {
                        out[0] = s[0], out[1] = s[1], out[2] = s[2];
                    } else {
                        out[0] = blend(s[0], a, mr), out[1] = blend(s[1], a, mg), out[2] = blend(s[2], a, mb);
                    }
                }
                break;
            }
            case 16:
                for (std::size_t i = 0; i < width; ++i, s += 2, out += 3) {
                    const Rgb c = unpackRgb555(static_cast<std::uint16_t>(s[0] | s[1] << 8));
                    out[0] = static_cast<std::uint8_t>(redOf(c));
                    out[1] = static_cast<std::uint8_t>(greenOf(c));
                    out[2] = static_cast<std::uint8_t>(blueOf(c));
                }
                break;
            default:  // palette depths: one index byte per pixel
                for (std::size_t i = 0; i < width; ++i, out += 3) std::copy_n(&table_[static_cast<std::size_t>(s[i]) * 3], 3, out);
                break;
        }
    }

private:
    const Bitmap& bitmap_;
    Rgb matte_;
    std::array<std::uint8_t, 256 * 3> table_{};
};

std::uint64_t squaredDifferences(const std::uint8_t* a, const std::uint8_t* b, std::size_t count) {
    std::uint64_t sum = 0;
    // Chunks keep the 32-bit partial sums from overflowing (255^2 * 65536 < 2^32).
    constexpr std::size_t kChunk = 65536;
    for (std::size_t start = 0; start < count; start += kChunk) {
        const std::size_t end = std::min(count, start + kChunk);
        std::uint32_t part = 0;
        for (std::size_t i = start; i < end; ++i) {
            const int d = a[i] - b[i];
            part += static_cast<std::uint32_t>(d * d);
        }
        sum += part;
    }
    return sum;
}

// Whether pixel i of an indexed or 24-bit picture carries its transparent colour.
struct TransparentKey {
    bool indexed = false;
    int entry = -1;
    Rgb colour = 0;
    bool any = false;
};

TransparentKey keyOf(const Bitmap& bitmap) {
    TransparentKey key;
    if (!bitmap.transparent() || bitmap.bits() == 32) return key;
    const Rgb c = bitmap.transparentColor();
    if (bitmap.isIndexed()) {
        key.indexed = true;
        key.entry = isPaletteReference(c) ? paletteIndexOf(c) : -1;
        if (key.entry < 0) {
            // An RGB value names the first entry holding it.
            const std::vector<Rgb>& palette = bitmap.palette();
            for (std::size_t j = 0; j < palette.size(); ++j)
                if (palette[j] == (c & 0xFFFFFF)) {
                    key.entry = static_cast<int>(j);
                    break;
                }
        }
        key.any = key.entry >= 0;
    } else {
        key.colour = isPaletteReference(c) ? bitmap.transparentRgb() : (c & 0xFFFFFF);
        key.any = !isPaletteReference(c) || bitmap.transparentRgb() != c;
    }
    return key;
}

// The picture over `matte` with its transparent colour shown as the matte too.
std::vector<std::uint8_t> compositeShown(const Bitmap& bitmap, Rgb matte) {
    std::vector<std::uint8_t> out = compositeRgb(bitmap, matte);
    const TransparentKey key = keyOf(bitmap);
    if (!key.any) return out;
    const std::uint8_t m[3] = {static_cast<std::uint8_t>(redOf(matte)), static_cast<std::uint8_t>(greenOf(matte)),
                               static_cast<std::uint8_t>(blueOf(matte))};
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x) {
            const bool clear = key.indexed ? p[x] == key.entry
                                           : bitmap.bits() == 24 && makeRgb(p[3 * x], p[3 * x + 1], p[3 * x + 2]) == key.colour;
            if (clear) std::copy_n(m, 3, &out[(static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.width()) + static_cast<std::size_t>(x)) * 3]);
        }
    }
    return out;
}

// 10 log10(255^2 / MSE) of `sum` squared differences over `count` channel values.
double psnrOfSum(std::uint64_t sum, std::size_t count) {
    if (sum == 0) return std::numeric_limits<double>::infinity();
    const double mse = static_cast<double>(sum) / static_cast<double>(count);
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace

bool hasTransparency(const Bitmap& bitmap) {
    if (bitmap.empty()) return false;
    if (bitmap.bits() == 32) {
        const std::vector<std::uint8_t>& d = bitmap.data();
        for (std::size_t i = 3; i < d.size(); i += 4)
            if (d[i] != 255) return true;
        return false;
    }
    const TransparentKey key = keyOf(bitmap);
    if (!key.any) return false;
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x) {
            if (key.indexed ? p[x] == key.entry
                            : bitmap.bits() == 24 && makeRgb(p[3 * x], p[3 * x + 1], p[3 * x + 2]) == key.colour)
                return true;
        }
    }
    return false;
}

std::vector<std::uint8_t> compositeRgb(const Bitmap& bitmap, Rgb matte) {
    const RowCompositor rows(bitmap, matte);
    const std::size_t rowBytes = static_cast<std::size_t>(bitmap.width()) * 3;
    std::vector<std::uint8_t> out(rowBytes * static_cast<std::size_t>(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y) rows.row(y, out.data() + static_cast<std::size_t>(y) * rowBytes);
    return out;
}

std::vector<float> lumaOf(const std::vector<std::uint8_t>& rgb) {
    std::vector<float> y(rgb.size() / 3);
    for (std::size_t i = 0; i < y.size(); ++i)
        y[i] = 0.299f * rgb[i * 3] + 0.587f * rgb[i * 3 + 1] + 0.114f * rgb[i * 3 + 2];
    return y;
}

namespace {

// An Original with real transparency is shown on pages of other colours too: both pictures
// over the matte and over its opposite, so lost or changed alpha shows on one of them and a
// Variation that lost the transparency (a JPEG blended on white) is never "lossless" just
// because the test page happens to be white.
struct OverBothPages {
    OverBothPages(const Bitmap& original, const Bitmap& variation, Rgb matte) {
        const Rgb other = makeRgb(255 - redOf(matte), 255 - greenOf(matte), 255 - blueOf(matte));
        a1 = compositeShown(original, matte), b1 = compositeShown(variation, matte);
        a2 = compositeShown(original, other), b2 = compositeShown(variation, other);
    }
    double psnr() const {
        return psnrOfSum(squaredDifferences(a1.data(), b1.data(), a1.size()) + squaredDifferences(a2.data(), b2.data(), a2.size()),
                         a1.size() + a2.size());
    }
    std::vector<std::uint8_t> a1, b1, a2, b2;
};

}  // namespace

double psnrRgb(const Bitmap& original, const Bitmap& variation, Rgb matte) {
    if (original.width() != variation.width() || original.height() != variation.height())
        fail(ErrorCode::InvalidArgument, kWhere, "the pictures differ in size");
    if (original.empty()) return std::numeric_limits<double>::infinity();
    if (hasTransparency(original)) return OverBothPages(original, variation, matte).psnr();
    // Rows are composited one at a time, so a large picture costs no full copy. Integer sums
    // per band, added in band order: the same on any number of cores.
    const RowCompositor rowsA(original, matte), rowsB(variation, matte);
    const std::size_t height = static_cast<std::size_t>(original.height());
    const std::size_t rowBytes = static_cast<std::size_t>(original.width()) * 3;
    const std::size_t bands = std::min<std::size_t>(8, height);
    std::vector<std::uint64_t> sums(bands, 0);
    parallelFor(bands, [&](std::size_t band) {
        std::vector<std::uint8_t> a(rowBytes), b(rowBytes);
        std::uint64_t sum = 0;
        for (std::size_t y = rangeStart(height, bands, band); y < rangeStart(height, bands, band + 1); ++y) {
            rowsA.row(static_cast<int>(y), a.data());
            rowsB.row(static_cast<int>(y), b.data());
            sum += squaredDifferences(a.data(), b.data(), rowBytes);
        }
        sums[band] = sum;
    });
    std::uint64_t sum = 0;
    for (std::uint64_t s : sums) sum += s;
    return psnrOfSum(sum, rowBytes * height);
}

double ssimOfLuma(const std::vector<float>& a, const std::vector<float>& b, int width, int height) {
    if (width <= 0 || height <= 0) fail(ErrorCode::NoImage, kWhere, "the picture is empty");
    const std::size_t w = static_cast<std::size_t>(width);
    if (a.size() != w * static_cast<std::size_t>(height) || b.size() != a.size())
        fail(ErrorCode::InvalidArgument, kWhere, "the pictures differ in size");
    return meanSsim(a.data(), b.data(), width, height);
}

namespace {

// Rows [r0, r1) of `bitmap` composited over the matte as compositeRgb gives them, into `out`
// (width * 3 bytes a row). `whole` is the picture composited at once, for the rare depths
// that have no row-wise conversion (it is empty otherwise).
void compositeRows(const Bitmap& bitmap, Rgb matte, const std::vector<std::uint8_t>& whole, int r0, int r1,
                   std::uint8_t* out) {
    const std::size_t w = static_cast<std::size_t>(bitmap.width());
    const std::size_t rowBytes = w * 3;
    if (!whole.empty()) {
        std::copy(whole.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(r0) * rowBytes),
                  whole.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(r1) * rowBytes), out);
        return;
    }
    std::array<std::uint8_t, 256 * 3> table{};
    if (bitmap.isIndexed()) {
        const std::vector<Rgb>& palette = bitmap.palette();
        for (std::size_t j = 0; j < palette.size() && j < 256; ++j) {
            table[j * 3] = static_cast<std::uint8_t>(redOf(palette[j]));
            table[j * 3 + 1] = static_cast<std::uint8_t>(greenOf(palette[j]));
            table[j * 3 + 2] = static_cast<std::uint8_t>(blueOf(palette[j]));
        }
    }
    const int mr = redOf(matte), mg = greenOf(matte), mb = blueOf(matte);
    for (int y = r0; y < r1; ++y, out += rowBytes) {
        const std::uint8_t* s = bitmap.row(y);
        if (bitmap.bits() == 24) {
            std::copy_n(s, rowBytes, out);
        } else if (bitmap.bits() == 32) {
            std::uint8_t* d = out;
            for (std::size_t i = 0; i < w; ++i, s += 4, d += 3) {
                const int a = s[3];
                if (a == 255) {
                    d[0] = s[0], d[1] = s[1], d[2] = s[2];
                } else {
                    d[0] = blend(s[0], a, mr), d[1] = blend(s[1], a, mg), d[2] = blend(s[2], a, mb);
                }
            }
        } else {
            for (std::size_t i = 0; i < w; ++i) std::copy_n(&table[static_cast<std::size_t>(s[i]) * 3], 3, &out[i * 3]);
        }
    }
}

bool compositesByRow(const Bitmap& bitmap) { return bitmap.bits() == 24 || bitmap.bits() == 32 || bitmap.isIndexed(); }

}  // namespace

QualityScore measureQuality(const Bitmap& original, const Bitmap& variation, Rgb matte) {
    if (original.empty() || variation.empty()) fail(ErrorCode::NoImage, kWhere, "there is no picture to compare");
    if (original.width() != variation.width() || original.height() != variation.height())
        fail(ErrorCode::InvalidArgument, kWhere, "the pictures differ in size");
    if (hasTransparency(original)) {
        QualityScore score;
        const OverBothPages pages(original, variation, matte);
        score.psnr = pages.psnr();
        if (score.psnr == std::numeric_limits<double>::infinity()) {
            score.ssim = 1.0;
            return score;
        }
        score.ssim = std::min(ssimOfLuma(lumaOf(pages.a1), lumaOf(pages.b1), original.width(), original.height()),
                              ssimOfLuma(lumaOf(pages.a2), lumaOf(pages.b2), original.width(), original.height()));
        return score;
    }
    // Worked in strips of rows: composited RGB and luma of a strip at a time, so a measurement
    // holds a few rows of each picture rather than float copies of both. Every SSIM row and
    // every squared difference is the one a whole-picture pass gives (integer sums, and each
    // output row's sum added in row order), so the numbers are the same bit for bit.
    const int width = original.width();
    const int height = original.height();
    const std::size_t w = static_cast<std::size_t>(width);
    const std::vector<std::uint8_t> wholeA = compositesByRow(original) ? std::vector<std::uint8_t>() : compositeRgb(original, matte);
    const std::vector<std::uint8_t> wholeB = compositesByRow(variation) ? std::vector<std::uint8_t>() : compositeRgb(variation, matte);
    int size = std::min({kWindow, width, height});
    if (size % 2 == 0) --size;
    const int outRows = height - size + 1;
    constexpr std::size_t kBands = 8;
    constexpr int kStripRows = 32;
    const std::size_t bands = std::min<std::size_t>(kBands, static_cast<std::size_t>(outRows));
    std::vector<double> sums(static_cast<std::size_t>(outRows));
    std::vector<std::uint64_t> squares(bands);
    parallelFor(bands, [&](std::size_t band) {
        const int y0 = static_cast<int>(rangeStart(static_cast<std::size_t>(outRows), bands, band));
        const int y1 = static_cast<int>(rangeStart(static_cast<std::size_t>(outRows), bands, band + 1));
        // The squared differences of input rows [y0, y1), and the last band those below the
        // last window's top row too: every input row once.
        const int last = band + 1 == bands ? height : y1;
        const std::size_t stripRows = static_cast<std::size_t>(kStripRows + size - 1);
        std::vector<std::uint8_t> a(stripRows * w * 3), b(stripRows * w * 3);
        std::vector<float> la(stripRows * w), lb(stripRows * w);
        std::uint64_t sum = 0;
        for (int top = y0; top < y1; top += kStripRows) {
            const int outEnd = std::min(y1, top + kStripRows);
            // The rows the strip's windows read (never past the picture: outEnd <= outRows),
            // and those whose differences it counts.
            const int inEnd = outEnd + size - 1;
            const int countEnd = outEnd == y1 ? last : outEnd;
            compositeRows(original, matte, wholeA, top, inEnd, a.data());
            compositeRows(variation, matte, wholeB, top, inEnd, b.data());
            const std::size_t counted = static_cast<std::size_t>(countEnd - top) * w * 3;
            for (std::size_t i = 0; i < counted; ++i) {
                const int d = a[i] - b[i];
                sum += static_cast<std::uint64_t>(d * d);
            }
            const std::size_t n = static_cast<std::size_t>(inEnd - top) * w;
            for (std::size_t i = 0; i < n; ++i) {
                la[i] = 0.299f * a[i * 3] + 0.587f * a[i * 3 + 1] + 0.114f * a[i * 3 + 2];
                lb[i] = 0.299f * b[i * 3] + 0.587f * b[i * 3 + 1] + 0.114f * b[i * 3 + 2];
            }
            ssimBand(la.data(), lb.data(), width, size, 0, outEnd - top, sums.data() + top);
        }
        squares[band] = sum;
    });
    std::uint64_t total = 0;
    for (std::uint64_t part : squares) total += part;
    QualityScore score;
    const std::size_t samples = w * static_cast<std::size_t>(height) * 3;
    if (total == 0) {
        score.psnr = std::numeric_limits<double>::infinity();
        score.ssim = 1.0;
        return score;
    }
    const double mse = static_cast<double>(total) / static_cast<double>(samples);
    score.psnr = 10.0 * std::log10(255.0 * 255.0 / mse);
    double ssimTotal = 0.0;
    for (double rowSum : sums) ssimTotal += rowSum;
    score.ssim = ssimTotal / (static_cast<double>(width - size + 1) * static_cast<double>(outRows));
    return score;
}

}  // namespace imaging
