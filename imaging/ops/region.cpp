#include "ops/region.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/error.h"

namespace imaging::ops {

Rect Rect::intersected(const Rect& other) const {
    const int l = std::max(left, other.left);
    const int t = std::max(top, other.top);
    const long long r = std::min(right(), other.right());
    const long long b = std::min(bottom(), other.bottom());
    if (r <= l || b <= t) return {l, t, 0, 0};
    return {l, t, static_cast<int>(r - l), static_cast<int>(b - t)};
}

void Region::checkSize(int width, int height) {
    if (width <= 0 || height <= 0)
        fail(ErrorCode::InvalidArgument, "Region", "a selection needs a positive size, not " +
                                                      std::to_string(width) + " x " + std::to_string(height));
    checkDimensions(width, height, "Region");
}

Region Region::rectangle(int left, int top, int width, int height) {
    checkSize(width, height);
    return Region(Shape::Rectangle, {left, top, width, height},
                  std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height, 1));
}

Region Region::ellipse(int left, int top, int width, int height) {
    checkSize(width, height);
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(width) * height, 0);
    // Pixel centres (x + 0.5, y + 0.5) against ((px - cx) / rx)^2 + ((py - cy) / ry)^2 <= 1.
    const double rx = width / 2.0, ry = height / 2.0;
    for (int y = 0; y < height; ++y) {
        const double dy = (y + 0.5 - ry) / ry;
        for (int x = 0; x < width; ++x) {
            const double dx = (x + 0.5 - rx) / rx;
            if (dx * dx + dy * dy <= 1.0) mask[static_cast<std::size_t>(y) * width + x] = 1;
        }
    }
    return Region(Shape::Ellipse, {left, top, width, height}, std::move(mask));
}

Region Region::roundedRectangle(int left, int top, int width, int height, int cornerWidth, int cornerHeight) {
    checkSize(width, height);
    if (cornerWidth <= 0 || cornerHeight <= 0) cornerWidth = cornerHeight = std::max(1, std::min(width, height) / 4);
    cornerWidth = std::min(cornerWidth, width);
    cornerHeight = std::min(cornerHeight, height);
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(width) * height, 1);
    // Each corner box of cornerWidth/2 x cornerHeight/2 keeps only the pixels inside the quarter
    // ellipse whose centre is the box's inner corner.
    const double rx = cornerWidth / 2.0, ry = cornerHeight / 2.0;
    for (int y = 0; y < height; ++y) {
        double py = y + 0.5;
        double dy = 0;
        if (py < ry) dy = (ry - py) / ry;
        else if (py > height - ry) dy = (py - (height - ry)) / ry;
        if (dy == 0) continue;
        for (int x = 0; x < width; ++x) {
            const double px = x + 0.5;
            double dx = 0;
            if (px < rx) dx = (rx - px) / rx;
            else if (px > width - rx) dx = (px - (width - rx)) / rx;
            if (dx != 0 && dx * dx + dy * dy > 1.0) mask[static_cast<std::size_t>(y) * width + x] = 0;
        }
    }
    return Region(Shape::RoundedRectangle, {left, top, width, height}, std::move(mask));
}

Region Region::polygon(const std::vector<Point>& points) {
    if (points.size() < 3) fail(ErrorCode::InvalidArgument, "Region", "a freehand outline needs three points");
    int minX = points[0].x, maxX = points[0].x, minY = points[0].y, maxY = points[0].y;
    for (const Point& p : points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    const long long w = static_cast<long long>(maxX) - minX, h = static_cast<long long>(maxY) - minY;
    if (w <= 0 || h <= 0) fail(ErrorCode::InvalidArgument, "Region", "the freehand outline encloses no area");
    checkDimensions(w, h, "Region");
    const int width = static_cast<int>(w), height = static_cast<int>(h);
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(width) * height, 0);
    // Scan line per pixel row at the row's centre; crossings sorted, spans between pairs filled
    // at pixel centres (even-odd rule).
    std::vector<double> xs;
    const std::size_t n = points.size();
    for (int y = 0; y < height; ++y) {
        const double sy = minY + y + 0.5;
        xs.clear();
        for (std::size_t i = 0; i < n; ++i) {
            const Point& a = points[i];
            const Point& b = points[(i + 1) % n];
            if ((a.y <= sy) == (b.y <= sy)) continue;
            xs.push_back(a.x + (sy - a.y) * (b.x - a.x) / static_cast<double>(b.y - a.y));
        }
        std::sort(xs.begin(), xs.end());
        for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
            // Pixel x belongs when xs[k] <= x + 0.5 - minX... < xs[k+1].
            const int from = std::max(0, static_cast<int>(std::ceil(xs[k] - minX - 0.5)));
            const int to = std::min(width, static_cast<int>(std::ceil(xs[k + 1] - minX - 0.5)));
            for (int x = from; x < to; ++x) mask[static_cast<std::size_t>(y) * width + x] = 1;
        }
    }
    return Region(Shape::Freehand, {minX, minY, width, height}, std::move(mask));
}

Region Region::fromMask(int left, int top, int width, int height, std::vector<std::uint8_t> mask) {
    checkSize(width, height);
    if (mask.size() != static_cast<std::size_t>(width) * height)
        fail(ErrorCode::InvalidArgument, "Region", "mask size does not match the rectangle");
    for (auto& m : mask) m = m ? 1 : 0;
    return Region(Shape::Mask, {left, top, width, height}, std::move(mask));
}

bool Region::isFull() const {
    return !empty() && std::all_of(mask_.begin(), mask_.end(), [](std::uint8_t m) { return m != 0; });
}

long long Region::pixelCount() const {
    return std::count_if(mask_.begin(), mask_.end(), [](std::uint8_t m) { return m != 0; });
}

Region Region::movedTo(int left, int top) const {
    Region r = *this;
    r.bounds_.left = left;
    r.bounds_.top = top;
    return r;
}

Region Region::movedBy(int dx, int dy) const {
    static constexpr long long kFar = 1LL << 30;
    auto shifted = [](int from, int by) { return static_cast<int>(std::clamp(static_cast<long long>(from) + by, -kFar, kFar)); };
    return movedTo(shifted(bounds_.left, dx), shifted(bounds_.top, dy));
}

Region Region::clippedTo(int width, int height) const {
    const Rect visible = bounds_.intersected({0, 0, width, height});
    if (visible.empty()) return Region();
    // Tighten to the rows and columns that still hold a member.
    int minX = static_cast<int>(visible.right()), maxX = visible.left - 1, minY = static_cast<int>(visible.bottom()),
        maxY = visible.top - 1;
    for (int y = visible.top; y < visible.bottom(); ++y)
        for (int x = visible.left; x < visible.right(); ++x)
            if (insideLocal(x - bounds_.left, y - bounds_.top)) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    if (maxX < minX) return Region();
    const int w = maxX - minX + 1, h = maxY - minY + 1;
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            mask[static_cast<std::size_t>(y) * w + x] = insideLocal(minX + x - bounds_.left, minY + y - bounds_.top);
    return Region(shape_, {minX, minY, w, h}, std::move(mask));
}

}  // namespace imaging::ops
