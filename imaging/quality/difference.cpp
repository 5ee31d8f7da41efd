#include "quality/difference.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "core/error.h"
#include "quality/quality.h"

namespace imaging {

namespace {

constexpr const char* kWhere = "difference";

struct Stop {
    int r, g, b;
};
// Black, blue, red, yellow, white at 0, 1/4, 1/2, 3/4 and 1 of the full scale.
constexpr std::array<Stop, 5> kStops = {{{0, 0, 0}, {0, 0, 255}, {255, 0, 0}, {255, 255, 0}, {255, 255, 255}}};

// The first `count` pixels of picture row y as 8-bit RGB over the matte.
void compositeRow(const Bitmap& bitmap, int y, int count, Rgb matte, std::uint8_t* out) {
    // The whole-picture composition is the quality numbers' own; a row of it is taken so that
    // both measures see exactly the same pixels.
    Bitmap line(count, 1, bitmap.bits());
    if (bitmap.isIndexed()) line.palette() = bitmap.palette();
    std::copy_n(bitmap.row(y), line.stride(), line.row(0));
    const std::vector<std::uint8_t> rgb = compositeRgb(line, matte);
    std::copy(rgb.begin(), rgb.end(), out);
}

}  // namespace

DifferenceMap differenceOf(const Bitmap& a, const Bitmap& b, Rgb matte) {
    if (a.empty() || b.empty()) fail(ErrorCode::NoImage, kWhere, "there is no picture to compare");
    DifferenceMap map;
    map.width = std::min(a.width(), b.width());
    map.height = std::min(a.height(), b.height());
    map.sizesDiffer = a.width() != b.width() || a.height() != b.height();
    const std::size_t w = static_cast<std::size_t>(map.width);
    map.error.resize(w * static_cast<std::size_t>(map.height));
    std::vector<std::uint8_t> rowA(w * 3), rowB(w * 3);
    int largest = 0;
    for (int y = 0; y < map.height; ++y) {
        compositeRow(a, y, map.width, matte, rowA.data());
        compositeRow(b, y, map.width, matte, rowB.data());
        std::uint8_t* out = map.error.data() + static_cast<std::size_t>(y) * w;
        for (std::size_t x = 0; x < w; ++x) {
            const int dr = std::abs(rowA[x * 3] - rowB[x * 3]);
            const int dg = std::abs(rowA[x * 3 + 1] - rowB[x * 3 + 1]);
            const int db = std::abs(rowA[x * 3 + 2] - rowB[x * 3 + 2]);
            const int e = std::max({dr, dg, db});
            out[x] = static_cast<std::uint8_t>(e);
            largest = std::max(largest, e);
        }
    }
    map.largest = largest;
    return map;
}

Rgb differenceColour(int error, int fullScale) {
    if (fullScale < 1) fail(ErrorCode::InvalidArgument, kWhere, "the full scale must be 1 or more");
    const int segments = static_cast<int>(kStops.size()) - 1;
    // Position on the scale in units of 1 / (segments * fullScale), so stops fall on whole numbers.
    const long position = static_cast<long>(std::clamp(error, 0, fullScale)) * segments;
    const long span = fullScale;
    const long segment = std::min<long>(position / span, segments - 1);
    const long within = position - segment * span;  // 0..span
    const Stop& from = kStops[static_cast<std::size_t>(segment)];
    const Stop& to = kStops[static_cast<std::size_t>(segment + 1)];
    // Rounded half up: from + (to - from) * within / span.
    auto mix = [&](int p, int q) { return static_cast<int>((p * (span - within) + q * within) * 2 + span) / static_cast<int>(2 * span); };
    return makeRgb(mix(from.r, to.r), mix(from.g, to.g), mix(from.b, to.b));
}

Bitmap differencePicture(const DifferenceMap& map, int fullScale) {
    std::array<Rgb, 256> table{};
    for (int e = 0; e < 256; ++e) table[static_cast<std::size_t>(e)] = differenceColour(e, fullScale);
    Bitmap picture(std::max(map.width, 0), std::max(map.height, 0), 24);
    const std::size_t pixels = map.error.size();
    for (std::size_t i = 0; i < pixels; ++i) {
        const Rgb c = table[map.error[i]];
        std::uint8_t* d = picture.data().data() + i * 3;
        d[0] = static_cast<std::uint8_t>(redOf(c));
        d[1] = static_cast<std::uint8_t>(greenOf(c));
        d[2] = static_cast<std::uint8_t>(blueOf(c));
    }
    return picture;
}

}  // namespace imaging
