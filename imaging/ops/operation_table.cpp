#include "ops/operation_table.h"

#include <array>
#include <climits>
#include <string>

#include "ops/effects.h"
#include "ops/filters.h"
#include "ops/geometry.h"
#include "ops/ops_support.h"
#include "ops/point_ops.h"

namespace imaging::ops {

namespace {

constexpr long kSizeDefaults[] = {kSizeResample};
constexpr long kRotateDefaults[] = {1, 0};
constexpr long kShearDefaults[] = {1, 0};
constexpr long kHalftoneDefaults[] = {0};
constexpr long kEmbossDefaults[] = {100};
constexpr long kAddNoiseDefaults[] = {0};

using K = OperationKind;
constexpr std::array kOperations{
    OperationInfo{"Size", K::Geometry, 2, kSizeDefaults},
    OperationInfo{"Trim", K::Geometry, 4, {}},
    OperationInfo{"Intensity", K::Color, 1, {}},
    OperationInfo{"GammaCorrect", K::Color, 1, {}},
    OperationInfo{"Contrast", K::Color, 1, {}},
    OperationInfo{"HistoContrast", K::Color, 1, {}},
    OperationInfo{"StretchIntensity", K::Color, 0, {}},
    OperationInfo{"Invert", K::Color, 0, {}},
    OperationInfo{"Hue", K::Color, 1, {}},
    OperationInfo{"Saturation", K::Color, 1, {}},
    OperationInfo{"HistoEqualize", K::Color, 0, {}},
    OperationInfo{"Fill", K::Color, 1, {}},
    OperationInfo{"Halftone", K::Filter, 1, kHalftoneDefaults},
    OperationInfo{"Sharpen", K::Filter, 1, {}},
    OperationInfo{"Posterize", K::Color, 1, {}},
    OperationInfo{"Mosaic", K::Filter, 1, {}},
    OperationInfo{"Emboss", K::Filter, 1, kEmbossDefaults},
    OperationInfo{"Average", K::Filter, 1, {}},
    OperationInfo{"Oilify", K::Filter, 1, {}},
    OperationInfo{"Median", K::Filter, 1, {}},
    OperationInfo{"AddNoise", K::Filter, 1, kAddNoiseDefaults},
    OperationInfo{"IntensityDetect", K::Color, 2, {}},
    OperationInfo{"SpatialFilter", K::Filter, 1, {}},
    OperationInfo{"Rotate", K::Geometry, 1, kRotateDefaults},
    OperationInfo{"Shear", K::Geometry, 1, kShearDefaults},
    OperationInfo{"Reverse", K::Geometry, 0, {}},
    OperationInfo{"Flip", K::Geometry, 0, {}},
};

// Arguments narrowed to int; anything beyond int is out of every operation's range.
int asInt(std::string_view op, long value) {
    if (value < INT_MIN || value > INT_MAX)
        detail::badArgument(std::string(op).c_str(), "argument " + std::to_string(value) + " is out of range");
    return static_cast<int>(value);
}

bool asFlag(std::string_view op, long value) {
    if (value != 0 && value != 1)
        detail::badArgument(std::string(op).c_str(), "flag " + std::to_string(value) + " is neither 0 nor 1");
    return value == 1;
}

Rgb asColor(std::string_view op, long value) {
    if (value < 0 || (value > 0xFFFFFF && !isPaletteReference(static_cast<Rgb>(value))))
        detail::badArgument(std::string(op).c_str(), "colour " + std::to_string(value) + " is out of range");
    return static_cast<Rgb>(value);
}

}  // namespace

std::span<const OperationInfo> operations() { return kOperations; }

const OperationInfo* findOperation(std::string_view name) {
    for (const OperationInfo& op : kOperations)
        if (op.name == name) return &op;
    return nullptr;
}

void applyNamedOperation(Bitmap& bitmap, std::string_view name, const std::vector<long>& given, const Region* region) {
    const OperationInfo* info = findOperation(name);
    if (!info) fail(ErrorCode::InvalidArgument, "Operation", "unknown operation \"" + std::string(name) + "\"");
    const std::size_t most = static_cast<std::size_t>(info->requiredArgs) + info->defaults.size();
    if (given.size() < static_cast<std::size_t>(info->requiredArgs) || given.size() > most)
        fail(ErrorCode::InvalidArgument, std::string(name),
             "takes " + std::to_string(info->requiredArgs) +
                 (most > static_cast<std::size_t>(info->requiredArgs) ? " to " + std::to_string(most) : std::string()) +
                 " arguments, not " + std::to_string(given.size()));
    std::vector<long> a = given;
    for (std::size_t i = a.size(); i < most; ++i) a.push_back(info->defaults[i - info->requiredArgs]);
    auto i = [&](std::size_t k) { return asInt(name, a[k]); };
    const Region* r = region;

    if (name == "Size") resize(bitmap, i(0), i(1), i(2));
    else if (name == "Trim") trim(bitmap, i(0), i(1), i(2), i(3));
    else if (name == "Intensity") intensity(bitmap, i(0), r);
    else if (name == "GammaCorrect") gammaCorrect(bitmap, i(0), r);
    else if (name == "Contrast") contrast(bitmap, i(0), r);
    else if (name == "HistoContrast") histoContrast(bitmap, i(0), r);
    else if (name == "StretchIntensity") stretchIntensity(bitmap, r);
    else if (name == "Invert") invert(bitmap, r);
    else if (name == "Hue") hue(bitmap, i(0), r);
    else if (name == "Saturation") saturation(bitmap, i(0), r);
    else if (name == "HistoEqualize") histoEqualize(bitmap, r);
    else if (name == "Fill") fill(bitmap, asColor(name, a[0]), r);
    else if (name == "Halftone") halftone(bitmap, i(0), i(1), r);
    else if (name == "Sharpen") sharpen(bitmap, i(0), r);
    else if (name == "Posterize") posterize(bitmap, i(0), r);
    else if (name == "Mosaic") mosaic(bitmap, i(0), r);
    else if (name == "Emboss") emboss(bitmap, i(0), i(1), r);
    else if (name == "Average") average(bitmap, i(0), r);
    else if (name == "Oilify") oilify(bitmap, i(0), r);
    else if (name == "Median") median(bitmap, i(0), r);
    else if (name == "AddNoise") addNoise(bitmap, i(0), i(1), r);
    else if (name == "IntensityDetect") intensityDetect(bitmap, i(0), i(1), r);
    else if (name == "SpatialFilter") spatialFilter(bitmap, i(0), r);
    else if (name == "Rotate") rotate(bitmap, a[0], asFlag(name, a[1]), asColor(name, a[2]));
    else if (name == "Shear") shear(bitmap, a[0], asFlag(name, a[1]), asColor(name, a[2]));
    else if (name == "Reverse") reverse(bitmap);
    else if (name == "Flip") flip(bitmap);
}

void applyNamedOperation(Image& image, std::string_view name, const std::vector<long>& args) {
    const OperationInfo* info = findOperation(name);
    if (info && info->kind == OperationKind::Geometry && image.frames.size() > 1)
        fail(ErrorCode::Unsupported, std::string(name), "geometry on an image of several frames is not supported");
    if (image.empty()) fail(ErrorCode::NoImage, std::string(name), "there is no bitmap to work on");
    for (Frame& frame : image.frames) applyNamedOperation(frame.bitmap, name, args);
    if (info && info->kind == OperationKind::Geometry) {
        image.logicalWidth = 0;  // the canvas is the one frame's new size
        image.logicalHeight = 0;
    }
}

}  // namespace imaging::ops
