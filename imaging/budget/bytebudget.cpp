#include "budget/bytebudget.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "codecs/jpeg_codec.h"
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
