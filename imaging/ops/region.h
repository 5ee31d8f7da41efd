#pragma once
// A selection on a bitmap: a bounding rectangle in bitmap pixels and a mask of the same size
// saying which pixels of the rectangle belong to it. All four selection shapes end up as a mask,
// so every operation that honours a selection needs to understand only this one form.

#include <cstdint>
#include <vector>

namespace imaging::ops {

struct Point {
    int x = 0;
    int y = 0;
};

struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    bool empty() const { return width <= 0 || height <= 0; }
    // One past the last column / row; wide so that a rectangle far off the bitmap cannot overflow.
    long long right() const { return static_cast<long long>(left) + width; }
    long long bottom() const { return static_cast<long long>(top) + height; }
    bool contains(int x, int y) const { return x >= left && y >= top && x < right() && y < bottom(); }
    Rect intersected(const Rect& other) const;
    Rect expanded(int margin) const { return {left - margin, top - margin, width + 2 * margin, height + 2 * margin}; }
    bool operator==(const Rect&) const = default;
};

class Region {
public:
    // The numbering of the document's selection tools.
    enum class Shape { Rectangle = 1, Ellipse = 2, RoundedRectangle = 3, Freehand = 4, Mask = 5 };

    Region() = default;

    static Region rectangle(int left, int top, int width, int height);
    // The ellipse inscribed in the rectangle; a pixel belongs when its centre lies inside.
    static Region ellipse(int left, int top, int width, int height);
    // A rectangle whose corners are quarter ellipses cornerWidth x cornerHeight; 0 or less
    // picks a quarter of the shorter side, the rounding users expect from a drawing tool.
    static Region roundedRectangle(int left, int top, int width, int height, int cornerWidth = 0,
                                   int cornerHeight = 0);
    // A closed polygon through the points (freehand outline); a pixel belongs when its centre
    // lies inside by the even-odd rule, so self-crossing outlines leave holes as drawn.
    static Region polygon(const std::vector<Point>& points);
    // Any shape: mask has width x height bytes, non-zero = inside.
    static Region fromMask(int left, int top, int width, int height, std::vector<std::uint8_t> mask);

    bool empty() const { return bounds_.empty(); }
    Shape shape() const { return shape_; }
    const Rect& bounds() const { return bounds_; }
    int RgnLeft() const { return bounds_.left; }
    int RgnTop() const { return bounds_.top; }
    int RgnWidth() const { return bounds_.width; }
    int RgnHeight() const { return bounds_.height; }

    // Membership in bitmap coordinates.
    bool contains(int x, int y) const {
        return bounds_.contains(x, y) && insideLocal(x - bounds_.left, y - bounds_.top);
    }
    // Membership relative to the bounding rectangle's top-left corner (no range check beyond it).
    bool insideLocal(int lx, int ly) const {
        return mask_[static_cast<std::size_t>(ly) * bounds_.width + lx] != 0;
    }
    const std::vector<std::uint8_t>& mask() const { return mask_; }
    // True when every pixel of the bounding rectangle belongs (plain rectangles).
    bool isFull() const;
    long long pixelCount() const;

    // The same shape at another place.
    Region movedTo(int left, int top) const;
    // Positions saturate far beyond any bitmap instead of overflowing.
    Region movedBy(int dx, int dy) const;
    // The part inside a width x height bitmap, with a tight bounding rectangle (empty if none).
    Region clippedTo(int width, int height) const;

    bool operator==(const Region&) const = default;

private:
    Region(Shape shape, Rect bounds, std::vector<std::uint8_t> mask)
        : shape_(shape), bounds_(bounds), mask_(std::move(mask)) {}
    static void checkSize(int width, int height);

    Shape shape_ = Shape::Rectangle;
    Rect bounds_;
    std::vector<std::uint8_t> mask_;
};

}  // namespace imaging::ops
