#include "color/colorres.h"

#include "core/parallel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "color/depth_convert.h"
#include "color/dither.h"
#include "color/fixed_palettes.h"
#include "color/histogram.h"
#include "color/kmeans_refine.h"
#include "color/nearest.h"
#include "color/remap.h"
#include "color/work_image.h"
#include "color/wu_quantizer.h"
#include "core/error.h"
#include "core/parallel.h"

namespace imaging {

using namespace color;

namespace {

const char* const kWhere = "ColorRes";

void validate(const Bitmap* first, int bits, int paletteKind, int ditherCode, int colorCount) {
    if (!first || first->empty()) fail(ErrorCode::NoImage, kWhere, "there is no bitmap to reduce");
    if (!Bitmap::isValidDepth(bits))
        fail(ErrorCode::InvalidArgument, kWhere, "unsupported depth of " + std::to_string(bits) + " bits");
    if (bits > 8) return;  // a conversion; the palette arguments do not apply
    using namespace palette_kind;
    if (paletteKind != Fixed && paletteKind != Optimized && paletteKind != Windows && paletteKind != Custom &&
        paletteKind != Netscape)
        fail(ErrorCode::InvalidArgument, kWhere, "unknown palette kind " + std::to_string(paletteKind));
    if (ditherCode < 0 || ditherCode > dither_code::Ordered)
        fail(ErrorCode::InvalidArgument, kWhere, "unknown dither code " + std::to_string(ditherCode));
    if (colorCount < 0) fail(ErrorCode::InvalidArgument, kWhere, "negative colour count");
}

bool darker(Rgb a, Rgb b) {
    const int la = 299 * redOf(a) + 587 * greenOf(a) + 114 * blueOf(a);
    const int lb = 299 * redOf(b) + 587 * greenOf(b) + 114 * blueOf(b);
    return la != lb ? la < lb : a < b;
}

struct Plan {
    std::vector<Rgb> colors;  // visible colours, palette entries 0..n-1
    GridLevels grid;          // per-channel levels when the palette is a uniform grid
    bool binned = false;      // optimised from a histogram that had to merge colours into bins
};

// The optimised palette: exact colours when they fit, else Wu's split refined by k-means.
Plan optimizedPlan(const std::vector<WorkImage>& works, int count, int passes) {
    Plan plan;
    DistinctColors distinct(count);
    bool fits = true;
    for (const WorkImage& w : works)
        if (!distinct.add(w)) {
            fits = false;
            break;
        }
    if (fits) {
        plan.colors = distinct.colors();
    } else {
        std::size_t pixels = 0;
        for (const WorkImage& w : works) pixels += w.pixelCount();
        Histogram hist(pixels);
        for (const WorkImage& w : works) hist.addParallel(w);
        const std::vector<ColorPoint> points = hist.points();
        plan.colors = kmeansRefine(points, wuSplit(points, count), count, passes);
        plan.binned = hist.shift() > 0;
    }
    std::sort(plan.colors.begin(), plan.colors.end(), darker);
    return plan;
}

Plan planFor(const Bitmap& first, const std::vector<WorkImage>& works, int bits, int kind, int colorCount,
             bool needTransparent, int passes) {
    const int size = 1 << bits;
    const int reserve = needTransparent ? 1 : 0;
    Plan plan;
    switch (kind) {
    case palette_kind::Fixed:
        plan.colors = fixedPalette(bits);
        plan.grid = fixedGridLevels(bits);
        break;
    case palette_kind::Windows: plan.colors = windowsPalette(bits); break;
    case palette_kind::Netscape:
        plan.colors = netscapePalette(bits);
        plan.grid = bits == 8 ? GridLevels{6, 6, 6} : fixedGridLevels(bits);
        break;
    case palette_kind::Custom: {
        // A bitmap without a user palette of its own falls back to its own palette, and a
        // direct-colour one to an optimised palette, rather than to an arbitrary one.
        const std::vector<Rgb>& user = !first.userPalette().empty() ? first.userPalette() : first.palette();
        if (user.empty()) return planFor(first, works, bits, palette_kind::Optimized, 0, needTransparent, passes);
        plan.colors.assign(user.begin(), user.begin() + std::min<std::ptrdiff_t>(size, std::ssize(user)));
        for (Rgb& c : plan.colors) c &= 0xFFFFFF;
        break;
    }
    default: {
        const int limit = colorCount > 0 ? std::min(colorCount, size) : size;
        return optimizedPlan(works, std::max(1, limit - reserve), passes);
    }
    }
    return plan;
}

// The entry a full palette gives up to transparency: the one the image would use least.
int leastUsedEntry(const std::vector<WorkImage>& works, const std::vector<Rgb>& colors) {
    const NearestColor nearest(colors);
    EntrySums sums(colors.size());
    std::vector<std::uint8_t> scratch;
    for (const WorkImage& w : works) {
        scratch.resize(w.pixelCount());
        remapNearest(w, nearest, 0, scratch.data(), &sums);
    }
    // The last of the least used, so that black and the first entries survive ties.
    std::size_t best = colors.size() - 1;
    for (std::size_t k = colors.size(); k-- > 0;)
        if (sums.n[k] < sums.n[best]) best = k;
    return static_cast<int>(best);
}

// A colour for the transparent entry that no visible entry has, as close as possible to the
// colour the source gave its transparent pixels (its transparent colour, or the matte for an
// alpha channel): a lookup of that colour in the palette then finds this entry, and a viewer
// that ignores transparency shows what the source would.
Rgb transparentEntryColor(const std::vector<Rgb>& colors, Rgb wanted) {
    for (int d = 0; d < 4096; ++d) {
        const Rgb c = (wanted & 0xFFFFFF) ^ makeRgb(d & 15, (d >> 4) & 15, (d >> 8) & 15);
        if (std::find(colors.begin(), colors.end(), c) == colors.end()) return c;
    }
    return wanted & 0xFFFFFF;
}

// Ordered-dither amplitude per channel: the grid step for uniform grids, otherwise the
// typical distance between neighbouring entries.
void orderedAmplitude(const Plan& plan, float amplitude[3]) {
    const GridLevels g = plan.grid;
    if (g.r > 1 && g.g > 1 && g.b > 1) {
        amplitude[0] = 255.0f / (g.r - 1), amplitude[1] = 255.0f / (g.g - 1), amplitude[2] = 255.0f / (g.b - 1);
        return;
    }
    const auto& cs = plan.colors;
    bool grey = true;
    for (Rgb c : cs) grey = grey && redOf(c) == greenOf(c) && greenOf(c) == blueOf(c);
    double sum = 0;
    for (std::size_t i = 0; i < cs.size(); ++i) {
        int best = std::numeric_limits<int>::max();
        for (std::size_t j = 0; j < cs.size(); ++j)
            if (j != i)
                best = std::min(best, distance2(redOf(cs[i]), greenOf(cs[i]), blueOf(cs[i]), redOf(cs[j]),
                                                greenOf(cs[j]), blueOf(cs[j])));
        if (best != std::numeric_limits<int>::max()) sum += std::sqrt(static_cast<double>(best));
    }
    double spacing = cs.size() > 1 ? sum / static_cast<double>(cs.size()) : 0;
    // Along the grey axis a step of s per channel is a distance of s * sqrt(3).
    spacing = grey ? spacing / std::sqrt(3.0) : spacing * 0.75;
    amplitude[0] = amplitude[1] = amplitude[2] = static_cast<float>(spacing);
}

// Lloyd steps on the real pixels rather than the histogram's bin means: map every pixel,
// move each entry to the mean of its pixels. The histogram cannot see the spread inside its
// bins; this can, and it is what the plain remap that follows will be judged on.
void refineOnPixels(const std::vector<WorkImage>& works, std::vector<Rgb>& colors, int passes) {
    std::vector<std::uint8_t> scratch;
    for (int pass = 0; pass < passes; ++pass) {
        const NearestColor nearest(colors);
        EntrySums sums(colors.size());
        for (const WorkImage& w : works) {
            scratch.resize(w.pixelCount());
            remapNearest(w, nearest, 0, scratch.data(), &sums);
        }
        std::vector<Rgb> moved;
        for (std::size_t k = 0; k < colors.size(); ++k) {
            const std::uint64_t n = sums.n[k];
            if (n == 0) continue;  // an entry no pixel wants is of no use
            moved.push_back(makeRgb(static_cast<int>((sums.r[k] + n / 2) / n), static_cast<int>((sums.g[k] + n / 2) / n),
                                    static_cast<int>((sums.b[k] + n / 2) / n)));
        }
        std::sort(moved.begin(), moved.end(), darker);
        moved.erase(std::unique(moved.begin(), moved.end()), moved.end());
        if (moved == colors) break;
        colors = std::move(moved);
    }
}

std::vector<Bitmap> reduceIndexed(const std::vector<const Bitmap*>& sources, int bits, int kind, int ditherCode,
                                  int colorCount, const ColorResOptions& options) {
    std::vector<WorkImage> works;
    works.reserve(sources.size());
    bool needTransparent = false;
    Rgb transparentWanted = options.matte;
    for (const Bitmap* b : sources) {
        works.push_back(makeWorkImage(*b, options.matte));
        if (works.back().hasTransparency() && !needTransparent) {
            needTransparent = true;
            transparentWanted = works.back().transparentColor;
        }
    }
    Plan plan = planFor(*sources.front(), works, bits, kind, colorCount, needTransparent,
                        std::max(0, options.refinePasses));

    if (plan.binned && ditherCode == dither_code::None) refineOnPixels(works, plan.colors, options.pixelPasses);

    // The palette: the plan's colours, with the transparent entry after them or, when they
    // fill every entry, in place of the one the image needs least.
    const std::size_t size = std::size_t{1} << bits;
    std::vector<Rgb> palette = plan.colors;
    int transparentIndex = -1;
    if (needTransparent) {
        if (palette.size() < size) {
            transparentIndex = static_cast<int>(palette.size());
            palette.push_back(transparentEntryColor(plan.colors, transparentWanted));
        } else {
            transparentIndex = leastUsedEntry(works, plan.colors);
            std::vector<Rgb> visibleColors = plan.colors;
            visibleColors.erase(visibleColors.begin() + transparentIndex);
            palette[transparentIndex] = transparentEntryColor(visibleColors, transparentWanted);
        }
    }
    const int visible = static_cast<int>(plan.colors.size()) - (needTransparent && plan.colors.size() >= size ? 1 : 0);
    const Rgb filler = palette.empty() ? 0 : palette.back();
    palette.resize(size, filler);

    std::vector<Bitmap> out;
    out.reserve(sources.size());
    for (std::size_t f = 0; f < sources.size(); ++f) {
        const WorkImage& work = works[f];
        Bitmap result(work.width, work.height, bits);
        std::uint8_t* indices = result.data().data();
        if (visible == 0) {
            std::fill_n(indices, work.pixelCount(), static_cast<std::uint8_t>(std::max(transparentIndex, 0)));
        } else {
            const NearestColor nearest(std::span<const Rgb>(palette).first(plan.colors.size()), transparentIndex);
            if (const DiffusionKernel* kernel = diffusionKernel(ditherCode)) {
                remapDiffused(work, nearest, palette, *kernel, transparentIndex, indices);
            } else if (ditherCode == dither_code::Ordered) {
                float amplitude[3];
                orderedAmplitude(plan, amplitude);
                remapOrdered(work, nearest, amplitude, transparentIndex, indices);
            } else {
                remapNearest(work, nearest, transparentIndex, indices);
            }
        }
        result.palette() = palette;
        result.userPalette() = sources[f]->userPalette();
        if (needTransparent && work.hasTransparency()) {
            result.setTransparent(true);
            result.setTransparentColor(kPaletteReference + static_cast<Rgb>(transparentIndex));
        }
        out.push_back(std::move(result));
    }
    return out;
}

}  // namespace

Bitmap colorRes(const Bitmap& source, int bits, int paletteKind, int ditherCode, int colorCount,
                const ColorResOptions& options) {
    validate(&source, bits, paletteKind, ditherCode, colorCount);
    if (bits > 8) return convertToDirect(source, bits, options.matte);
    return std::move(reduceIndexed({&source}, bits, paletteKind, ditherCode, colorCount, options).front());
}

Bitmap colorRes(Bitmap&& source, int bits, int paletteKind, int ditherCode, int colorCount,
                const ColorResOptions& options) {
    // 24 bits convert to themselves unchanged (pixels, transparency, user palette): only the
    // copy is saved.
    if (bits == 24 && source.bits() == 24) return std::move(source);
    return colorRes(static_cast<const Bitmap&>(source), bits, paletteKind, ditherCode, colorCount, options);
}

Image colorRes(const Image& source, int bits, int paletteKind, int ditherCode, int colorCount,
               const ColorResOptions& options) {
    validate(source.empty() ? nullptr : &source.first(), bits, paletteKind, ditherCode, colorCount);
    // Everything but the pixels: every frame's bitmap is replaced below, and a copy of them
    // all first would double an animation's memory for nothing.
    Image out;
    out.format = source.format;
    out.loopCount = source.loopCount;
    out.backgroundColor = source.backgroundColor;
    out.logicalWidth = source.logicalWidth;
    out.logicalHeight = source.logicalHeight;
    for (const Frame& f : source.frames) out.frames.push_back(Frame{Bitmap(), f.delay, f.disposal, f.left, f.top});
    if (bits > 8) {
        for (std::size_t i = 0; i < out.frames.size(); ++i)
            out.frames[i].bitmap = convertToDirect(source.frames[i].bitmap, bits, options.matte);
        return out;
    }
    std::vector<const Bitmap*> sources;
    for (const Frame& f : source.frames) {
        if (f.bitmap.empty()) fail(ErrorCode::NoImage, kWhere, "an animation frame is empty");
        sources.push_back(&f.bitmap);
    }
    std::vector<Bitmap> reduced = reduceIndexed(sources, bits, paletteKind, ditherCode, colorCount, options);
    for (std::size_t i = 0; i < reduced.size(); ++i) out.frames[i].bitmap = std::move(reduced[i]);
    return out;
}

}  // namespace imaging
