#include "budget/bytebudget.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>

#include "codecs/embedded.h"
#include "codecs/jpeg_codec.h"
#include "codecs/jpeg_requant.h"
#include "codecs/registry.h"
#include "color/colorres.h"
#include "core/error.h"

namespace imaging {

namespace {

constexpr const char* kWhere = "byte budget";

bool isJpeg(int format) { return format == format::Jpeg444 || format == format::Jpeg422 || format == format::Jpeg411; }

// The largest setting in [low, high] whose size fits, for sizes that grow with the setting.
// `encode` makes one real encode per call; each setting is encoded at most once. The next trial
// lies where the logarithm of the size, interpolated between the nearest setting that fits and
// the nearest that does not, meets the budget.
template <typename Encode>
int searchLargestFitting(int low, int high, int first, std::size_t budget, std::map<int, std::size_t>& sizes,
                         Encode&& encode) {
    auto sizeAt = [&](int s) {
        auto it = sizes.find(s);
        if (it != sizes.end()) return it->second;
        const std::size_t size = encode(s);
        sizes[s] = size;
        return size;
    };
    int fitting = low - 1, failing = high + 1;  // known bounds, outside the range until tried
    int next = std::clamp(first, low, high);
    const double target = std::log(static_cast<double>(budget));
    while (fitting + 1 < failing) {
        const std::size_t size = sizeAt(next);
        if (size <= budget)
            fitting = next;
        else
            failing = next;
        if (fitting + 1 >= failing) break;
        const bool haveFit = fitting >= low, haveFail = failing <= high;
        if (haveFit && haveFail) {
            const double a = std::log(static_cast<double>(std::max<std::size_t>(1, sizes[fitting])));
            const double b = std::log(static_cast<double>(std::max<std::size_t>(1, sizes[failing])));
            double guess = b > a ? fitting + (target - a) / (b - a) * (failing - fitting) : fitting + 1;
            // Round down: a guess just under the budget settles the search faster than one over.
            next = static_cast<int>(std::floor(guess));
        } else if (haveFit) {
            // Only fitting so far: the further the size lies under the budget, the further
            // up; half the log distance or more goes straight to the top.
            const double ratio = std::log(static_cast<double>(budget) / std::max<std::size_t>(1, sizes[fitting]));
            next = fitting + static_cast<int>(std::ceil((high - fitting) * std::min(1.0, ratio / 0.5)));
        } else {
            const double ratio = std::log(static_cast<double>(sizes[failing]) / static_cast<double>(budget));
            next = failing - static_cast<int>(std::ceil((failing - low) * std::min(1.0, ratio / 0.5)));
        }
        next = std::clamp(next, fitting + 1, failing - 1);
    }
    return fitting;
}

// JPEG: the picture is transformed once and every trial only quantises and entropy-codes
// (JpegRequantizer), each trial still a whole file whose size is exact. A cheap estimate from a
// sample of the blocks says where the budget is crossed. How far it misses a real size varies
// slowly with quality, so the miss is measured at every trial and interpolated between the
// trials on either side; most searches need two or three trials, one that fits and its
// neighbour that does not.
struct JpegSearch {
    // The estimate holds headers and tables as this constant; the miss is measured on the rest
    // (the entropy-coded bytes) so it does not swing on small files.
    static constexpr double kFixed = 600;

    const JpegRequantizer& trials;
    std::size_t budget;
    std::map<int, Bytes> kept;
    std::map<int, double> estimates;
    std::map<int, double> misses;  // quality -> estimate / real size, both without the fixed part
    std::map<int, double> sampledMisses;  // the same against sizes foretold from sampled rows
    int encodes = 0;
    double header = kFixed;  // the real files' markers and tables, once one is known

    double estimate(int q) {
        auto it = estimates.find(q);
        if (it != estimates.end()) return it->second;
        return estimates[q] = std::max(1.0, trials.estimate(jpegFactorForQuality(q)) - kFixed);
    }
    // Linear between the nearest entries on either side, the nearest one beyond them.
    static double interpolate(const std::map<int, double>& at, int q) {
        auto above = at.lower_bound(q);
        if (above == at.end()) return std::prev(above)->second;
        if (above->first == q || above == at.begin()) return above->second;
        auto below = std::prev(above);
        const double t = static_cast<double>(q - below->first) / (above->first - below->first);
        return below->second + t * (above->second - below->second);
    }
    // Between real trials their misses interpolated; beyond them the nearest real miss, bent
    // along the sampled encodes' misses, which follow the estimate's error over quality though
    // a sample of rows may sit a little off the whole picture.
    double missAt(int q) const {
        if (misses.empty()) return sampledMisses.empty() ? 1.0 : interpolate(sampledMisses, q);
        const bool between = q > misses.begin()->first && q < std::prev(misses.end())->first;
        if (between || sampledMisses.empty()) return interpolate(misses, q);
        const int nearest = q <= misses.begin()->first ? misses.begin()->first : std::prev(misses.end())->first;
        return misses.at(nearest) * interpolate(sampledMisses, q) / interpolate(sampledMisses, nearest);
    }
    double predictedSize(int q) { return header + estimate(q) / missAt(q); }
    bool predictedToFit(int q) { return predictedSize(q) <= static_cast<double>(budget); }
    // The quality in [low, high] to try next: the highest predicted to fit, or the one above it
    // when the budget lies nearer that one's predicted size. A trial at the answer or just above
    // it settles the search with its neighbour; one just below costs a third trial, whichever
    // way the prediction errs, so the nearer side is the better bet.
    int predict(int low, int high) {
        if (!predictedToFit(low)) return low;
        const int top = high;
        while (low < high) {
            const int mid = (low + high + 1) / 2;
            if (predictedToFit(mid)) low = mid;
            else high = mid - 1;
        }
        if (low < top) {
            const double below = predictedSize(low), above = predictedSize(low + 1);
            if (above > below && (static_cast<double>(budget) - below) / (above - below) > 0.5) return low + 1;
        }
        return low;
    }
    ByteView keptView(int q) const { return ByteView(kept.at(q).data(), kept.at(q).size()); }
    std::size_t encode(int q) {
        Bytes bytes = trials.encode(jpegFactorForQuality(q), static_cast<std::size_t>(predictedSize(q)));
        ++encodes;
        const std::size_t size = bytes.size();
        kept[q] = std::move(bytes);
        header = static_cast<double>(JpegRequantizer::headerBytes(keptView(q)));
        misses[q] = estimate(q) / std::max(1.0, static_cast<double>(size) - header);
        return size;
    }
    // The highest quality in 1..100 that fits, 0 when none does.
    int run() {
        // Before the first real trial, encodes of every eighth MCU row (an eighth of a trial
        // each) measure the estimate's miss on this picture, at the first guess and again where
        // that points while it moves far; the real trials then mostly start next to the answer.
        int next = predict(1, 100);
        for (int round = 0; round < 3; ++round) {
            std::size_t sampleHeader = 0;
            const double sampled = trials.sampledEntropyBytes(jpegFactorForQuality(next), sampleHeader);
            if (sampled <= 0) break;
            header = static_cast<double>(sampleHeader);
            sampledMisses[next] = estimate(next) / std::max(1.0, sampled);
            const int refined = predict(1, 100);
            const bool far = std::abs(refined - next) > 2 && !sampledMisses.count(refined);
            next = refined;
            if (!far) break;
        }
        int fitting = 0, failing = 101;
        while (fitting + 1 < failing) {
            const std::size_t size = encode(next);
            if (size <= budget) fitting = next;
            else failing = next;
            if (fitting + 1 >= failing) break;
            next = predict(fitting + 1, failing - 1);
        }
        return fitting;
    }
};

}  // namespace

bool budgetByQuality(int format) { return isJpeg(format) || format == format::Webp || format == format::Avif; }
bool budgetByColours(int format) { return format == format::Gif || format == format::Png; }

int jpegFactorForQuality(int q) {
    for (int factor = 2; factor <= 255; ++factor)
        if (JpegCodec::libjpegQuality(factor) <= q) return factor;
    return 255;
}

BudgetResult fitByQuality(const Bitmap& picture, SaveOptions base, std::size_t budget) {
    if (!budgetByQuality(base.format)) fail(ErrorCode::InvalidArgument, kWhere, "this format has no quality to search");
    if (budget == 0) fail(ErrorCode::InvalidArgument, kWhere, "the budget must be at least one byte");
    if (picture.empty()) fail(ErrorCode::NoImage, kWhere, "there is no picture");
    const bool jpeg = isJpeg(base.format);
    if (jpeg) {
        base.qualityFactor = 2;
        // The trials write the file themselves: a profile to keep gets its pixels converted
        // into it first, as every other save does (else the file would show sRGB pixels as if
        // they were in the profile's colours).
        SaveOptions kept = base;
        const std::unique_ptr<Image> inProfile = embedded::prepareForSave(Image::fromBitmap(picture), kept);
        base.iccProfile = kept.iccProfile;
        const Bitmap& source = inProfile ? inProfile->first() : picture;
        std::optional<JpegRequantizer> trials;
        try {
            trials.emplace(source, base);
        } catch (const Error& e) {
            // A libjpeg that transforms in an order the re-encoder does not expect: plain
            // writes below. Any other fault is the write's own and is reported as such.
            if (e.code() != ErrorCode::Unsupported) throw;
        }
        if (trials) {
            JpegSearch search{*trials, budget, {}, {}, {}, {}, 0, JpegSearch::kFixed};
            const int q = search.run();
            const int chosen = q >= 1 ? q : 1;
            if (!search.kept.count(chosen)) search.encode(chosen);  // nothing fits: the smallest
            BudgetResult result;
            result.encoded = std::move(search.kept[chosen]);
            result.options = base;
            result.options.lossless = false;
            result.options.qualityFactor = jpegFactorForQuality(chosen);
            result.fits = result.encoded.size() <= budget;
            result.encodes = search.encodes;
            return result;
        }
    }
    const Image image = Image::fromBitmap(picture);
    BudgetResult result;
    std::map<int, Bytes> kept;  // each trial's file, so the chosen one is not encoded again
    auto options = [&](int q) {
        SaveOptions o = base;
        o.lossless = false;
        if (jpeg)
            o.qualityFactor = jpegFactorForQuality(q);
        else
            o.quality = q;
        return o;
    };
    auto encode = [&](int q) {
        Bytes bytes = saveMemory(image, options(q));
        ++result.encodes;
        const std::size_t size = bytes.size();
        kept[q] = std::move(bytes);
        return size;
    };
    const int low = jpeg ? 1 : 0, high = 100;
    std::map<int, std::size_t> sizes;
    const int q = searchLargestFitting(low, high, 75, budget, sizes, encode);
    result.fits = q >= low;
    const int chosen = result.fits ? q : low;
    if (!kept.count(chosen)) encode(chosen);  // the search never had to try the lowest
    result.encoded = std::move(kept[chosen]);
    result.options = options(chosen);
    result.fits = result.encoded.size() <= budget;
    return result;
}

BudgetResult fitByColours(const Bitmap& picture, SaveOptions base, std::size_t budget, int ditherCode) {
    if (!budgetByColours(base.format)) fail(ErrorCode::InvalidArgument, kWhere, "this format has no palette to search");
    if (budget == 0) fail(ErrorCode::InvalidArgument, kWhere, "the budget must be at least one byte");
    if (picture.empty()) fail(ErrorCode::NoImage, kWhere, "there is no picture");
    BudgetResult result;
    auto bitsFor = [](int colors) {
        int bits = 1;
        while ((1 << bits) < colors) ++bits;
        return bits;
    };
    auto run = [&](int dither, BudgetResult& out) {
        std::map<int, Bytes> kept;
        auto encode = [&](int colors) {
            const int bits = bitsFor(colors);
            Image reduced = Image::fromBitmap(colorRes(picture, bits, palette_kind::Optimized, dither, colors));
            SaveOptions o = base;
            o.bits = bits;
            Bytes bytes = saveMemory(reduced, o);
            ++result.encodes;
            const std::size_t size = bytes.size();
            kept[colors] = std::move(bytes);
            return size;
        };
        std::map<int, std::size_t> sizes;
        // Colour counts on a log scale would suit the size better, but the count itself is
        // what the user reads; interpolation on the log of the size does the rest.
        const int colors = searchLargestFitting(2, 256, 64, budget, sizes, encode);
        const int chosen = colors >= 2 ? colors : 2;
        if (!kept.count(chosen)) encode(chosen);
        out.encoded = std::move(kept[chosen]);
        out.colors = chosen;
        out.ditherCode = dither;
        out.options = base;
        out.options.bits = bitsFor(chosen);
        out.fits = out.encoded.size() <= budget;
    };
    if (ditherCode != 0) {
        run(ditherCode, result);
        if (result.fits) return result;
    }
    BudgetResult plain;
    run(0, plain);
    plain.encodes = result.encodes;
    // Nothing fits either way: keep the smaller of the two smallest.
    if (!plain.fits && ditherCode != 0 && result.encoded.size() < plain.encoded.size()) return result;
    return plain;
}

}  // namespace imaging
