#include "ops/preview.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ops/operation_table.h"

namespace imaging::ops {

namespace {

// Box average of a 24-bit picture into w x h: every source pixel counts once, toward the
// preview pixel it falls in, so thin lines and fine texture keep their weight.
Bitmap shrink(const Bitmap& rgb, int w, int h) {
    Bitmap out(w, h, 24);
    const int sw = rgb.width();
    const int sh = rgb.height();
    std::vector<int> column(static_cast<std::size_t>(sw));
    for (int x = 0; x < sw; ++x) column[static_cast<std::size_t>(x)] = static_cast<int>(static_cast<long long>(x) * w / sw);
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(w) * 4);
    int sy = 0;
    for (int y = 0; y < h; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        const int endRow = static_cast<int>((static_cast<long long>(y) + 1) * sh / h);
        for (; sy < endRow; ++sy) {
            const std::uint8_t* src = rgb.row(sy);
            for (int x = 0; x < sw; ++x) {
                std::uint32_t* sum = &sums[static_cast<std::size_t>(column[static_cast<std::size_t>(x)]) * 4];
                sum[0] += src[0];
                sum[1] += src[1];
                sum[2] += src[2];
                ++sum[3];
                src += 3;
            }
        }
        std::uint8_t* dst = out.row(y);
        for (int x = 0; x < w; ++x) {
            const std::uint32_t* sum = &sums[static_cast<std::size_t>(x) * 4];
            const std::uint32_t n = std::max<std::uint32_t>(1, sum[3]);
            for (int c = 0; c < 3; ++c) *dst++ = static_cast<std::uint8_t>((sum[c] + n / 2) / n);
        }
    }
    return out;
}

}  // namespace

PreviewImage::PreviewImage(const Bitmap& source, int maxWidth, int maxHeight) {
    if (source.empty()) return;
    const double fit = std::min({1.0, double(std::max(1, maxWidth)) / source.width(), double(std::max(1, maxHeight)) / source.height()});
    const int w = std::max(1, static_cast<int>(std::lround(source.width() * fit)));
    const int h = std::max(1, static_cast<int>(std::lround(source.height() * fit)));
    scale_ = double(w) / source.width();
    if (w == source.width() && h == source.height()) {
        before_ = source.bits() == 24 ? source : source.toRgb24();
    } else if (source.bits() == 24) {
        before_ = shrink(source, w, h);
    } else {
        before_ = shrink(source.toRgb24(), w, h);
    }
}

Bitmap PreviewImage::render(std::string_view name, const std::vector<long>& args) const {
    Bitmap after = before_;
    applyNamedOperation(after, name, args);
    return after.bits() == 24 ? after : after.toRgb24();
}

long PreviewImage::scaledSize(long size, long minimum) const {
    return std::max(minimum, static_cast<long>(std::lround(size * scale_)));
}

}  // namespace imaging::ops
