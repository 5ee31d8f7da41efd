// The image control's selection: the region, the shape a drag draws, the animated outline and
// the floating copy of the selected pixels. Every change repaints only the part of the control
// it touches, so a drag over a large picture stays as quick as the pointer.
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

#include "core/error.h"
#include "ops/operation_table.h"
#include "qt/imagecontrol.h"

namespace imaging {

namespace {

constexpr int kOutlineStepMs = 150;
constexpr int kDashPeriod = 8;
// Pen width and a pixel of rounding on every side of a repainted area.
constexpr int kRepaintMargin = 2;

// The selection's edges: every border between a selected pixel and one that is not, merged
// into runs, in picture pixel coordinates (an edge at x lies between columns x - 1 and x).
std::vector<QLine> outlineOf(const ops::Region& region) {
    std::vector<QLine> lines;
    const ops::Rect& b = region.bounds();
    auto inside = [&](int lx, int ly) {
        return lx >= 0 && ly >= 0 && lx < b.width && ly < b.height && region.insideLocal(lx, ly);
    };
    if (region.isFull()) {
        const int l = b.left, t = b.top, r = b.left + b.width, btm = b.top + b.height;
        return {QLine(l, t, r, t), QLine(r, t, r, btm), QLine(r, btm, l, btm), QLine(l, btm, l, t)};
    }
    for (int ly = 0; ly <= b.height; ++ly) {
        int start = -1;
        for (int lx = 0; lx <= b.width; ++lx) {
            const bool edge = lx < b.width && inside(lx, ly) != inside(lx, ly - 1);
            if (edge && start < 0) start = lx;
            if (!edge && start >= 0) {
                lines.emplace_back(b.left + start, b.top + ly, b.left + lx, b.top + ly);
                start = -1;
            }
        }
    }
    for (int lx = 0; lx <= b.width; ++lx) {
        int start = -1;
        for (int ly = 0; ly <= b.height; ++ly) {
            const bool edge = ly < b.height && inside(lx, ly) != inside(lx - 1, ly);
            if (edge && start < 0) start = ly;
            if (!edge && start >= 0) {
                lines.emplace_back(b.left + lx, b.top + start, b.left + lx, b.top + ly);
                start = -1;
            }
        }
    }
    return lines;
}

// The floater as drawn: its pixels, transparent outside its shape.
QImage floaterImageOf(const ops::Floater& floater) {
    const Bitmap& pixels = floater.pixels;
    QImage image(pixels.width(), pixels.height(), QImage::Format_ARGB32);
    for (int y = 0; y < pixels.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < pixels.width(); ++x) {
            const Rgb c = pixels.pixel(x, y);
            line[x] = floater.shape.insideLocal(x, y) ? qRgb(redOf(c), greenOf(c), blueOf(c)) : 0;
        }
    }
    return image;
}

ops::Rect spanOf(const ops::Point& a, const ops::Point& b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y)};
}

}  // namespace

// --- Selection -----------------------------------------------------------------------------------

void ImageControl::SetRgn(const ops::Region& region) {
    const QRect before = region_ ? WidgetRectOf(region_->bounds()) : QRect();
    ops::Region clipped = region.clippedTo(bitmap_.width(), bitmap_.height());
    if (clipped.empty()) {
        region_.reset();
    } else {
        region_ = std::move(clipped);
    }
    regionChanged();
    updateRegionArea(before | (region_ ? WidgetRectOf(region_->bounds()) : QRect()));
}

void ImageControl::FreeRgn() {
    if (!region_) return;
    const QRect before = WidgetRectOf(region_->bounds());
    region_.reset();
    regionChanged();
    updateRegionArea(before);
}

void ImageControl::regionChanged() {
    outline_ = region_ ? outlineOf(*region_) : std::vector<QLine>();
    if (rgnFrameType_ == 2 && region_) {
        if (!outlineTimer_.isActive()) outlineTimer_.start(kOutlineStepMs);
    } else {
        outlineTimer_.stop();
    }
}

void ImageControl::SetRgnFrameType(int type) {
    rgnFrameType_ = type;
    regionChanged();
    if (region_) updateRegionArea(WidgetRectOf(region_->bounds()));
}

void ImageControl::advanceOutline() {
    if (!region_) return;
    outlinePhase_ = (outlinePhase_ + 1) % kDashPeriod;
    updateRegionArea(WidgetRectOf(region_->bounds()));
}

void ImageControl::SetRgnMarkMode(int mode) {
    markMode_ = std::clamp(mode, 0, 4);
    if (markMode_ == 0 && marking_) {
        marking_ = false;
        updateRegionArea(markWidgetRect());
        markPoints_.clear();
    }
}

// --- Drawing a shape ------------------------------------------------------------------------------

void ImageControl::beginMarking(const QPoint& at) {
    marking_ = true;
    markPoints_.assign(1, ops::Point{at.x(), at.y()});
    markPoints_.push_back(markPoints_.front());
}

void ImageControl::continueMarking(const QPoint& at) {
    const QRect before = markWidgetRect();
    const ops::Point p{at.x(), at.y()};
    if (markMode_ == 4) {
        if (p.x != markPoints_.back().x || p.y != markPoints_.back().y) markPoints_.push_back(p);
    } else {
        markPoints_.back() = p;
    }
    updateRegionArea(before | markWidgetRect());
}

QRect ImageControl::markWidgetRect() const {
    if (markPoints_.empty()) return {};
    int l = markPoints_.front().x, t = markPoints_.front().y, r = l, b = t;
    for (const ops::Point& p : markPoints_) {
        l = std::min(l, p.x);
        t = std::min(t, p.y);
        r = std::max(r, p.x);
        b = std::max(b, p.y);
    }
    return WidgetRectOf({l, t, r - l + 1, b - t + 1});
}

void ImageControl::finishMarking() {
    const QRect band = markWidgetRect();
    marking_ = false;
    std::optional<ops::Region> drawn;
    try {
        if (markMode_ == 4) {
            // The first point is there twice (start and first position); a line needs three
            // distinct points to enclose anything.
            std::vector<ops::Point> points(markPoints_.begin() + 1, markPoints_.end());
            if (points.size() >= 3) {
                ops::Region polygon = ops::Region::polygon(points);
                if (!polygon.empty() && polygon.pixelCount() > 0) drawn = std::move(polygon);
            }
        } else if (markPoints_.size() >= 2) {
            const ops::Rect r = spanOf(markPoints_.front(), markPoints_.back());
            if (!r.empty()) {
                drawn = markMode_ == 3   ? ops::Region::ellipse(r.left, r.top, r.width, r.height)
                        : markMode_ == 2 ? ops::Region::roundedRectangle(r.left, r.top, r.width, r.height)
                                         : ops::Region::rectangle(r.left, r.top, r.width, r.height);
            }
        }
    } catch (const std::exception&) {
        // A shape without area (or beyond the engine's limits) is no selection.
        drawn.reset();
    }
    markPoints_.clear();
    if (drawn) {
        SetRgn(*drawn);
    } else {
        FreeRgn();
    }
    updateRegionArea(band);
}

// --- Floating copy ------------------------------------------------------------------------------

int ImageControl::CreateFloater() {
    try {
        if (!region_) fail(ErrorCode::NoImage, "Floater", "there is no selection to lift");
        SetFloater(ops::liftFloater(bitmap_, *region_));
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

void ImageControl::SetFloater(ops::Floater floater) {
    ReleaseFloater();
    floaterImage_ = floaterImageOf(floater);
    floater_ = std::move(floater);
    floaterVisible_ = false;
}

ops::Floater ImageControl::TakeFloater() {
    if (!floater_) fail(ErrorCode::NoImage, "Floater", "there is no floater");
    ops::Floater taken = std::move(*floater_);
    ReleaseFloater();
    return taken;
}

void ImageControl::ReleaseFloater() {
    if (!floater_) return;
    const QRect shown = floaterVisible_ ? WidgetRectOf(floater_->shape.bounds()) : QRect();
    floater_.reset();
    floaterImage_ = QImage();
    floaterVisible_ = false;
    if (!shown.isEmpty()) updateRegionArea(shown);
}

void ImageControl::SetFloaterVisible(bool visible) {
    if (!floater_ || visible == floaterVisible_) return;
    floaterVisible_ = visible;
    updateRegionArea(WidgetRectOf(floater_->shape.bounds()));
}

void ImageControl::MoveFloater(int dx, int dy) {
    if (!floater_ || (dx == 0 && dy == 0)) return;
    const QRect before = WidgetRectOf(floater_->shape.bounds());
    floater_->moveBy(dx, dy);
    if (floaterVisible_) updateRegionArea(before | WidgetRectOf(floater_->shape.bounds()));
}

imaging::Bitmap ImageControl::DropFloater() {
    if (!floater_) fail(ErrorCode::NoImage, "Floater", "there is no floater");
    ops::Region placed = floater_->shape.clippedTo(bitmap_.width(), bitmap_.height());
    imaging::Bitmap background;
    if (placed.empty()) {
        FreeRgn();
    } else {
        // The background is taken at the clipped selection, where RestoreBackground puts it.
        background = ops::copyRect(bitmap_, placed.bounds());
        ops::pasteFloater(bitmap_, *floater_, ops::kCopyMasked);
        SetRgn(placed);
        bitmapChanged();
    }
    ReleaseFloater();
    return background;
}

int ImageControl::CropToRgn() {
    try {
        if (!region_) fail(ErrorCode::NoImage, "Crop", "there is no selection");
        ops::Floater selected = ops::liftFloater(bitmap_, *region_);
        ReleaseFloater();
        region_.reset();
        rgnFrameType_ = 0;
        regionChanged();
        frames_.clear();
        framesChanged();
        frameIndex_ = 0;
        bitmap_ = std::move(selected.pixels);
        bitmapChanged();
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

// --- Copies and operations ----------------------------------------------------------------------

imaging::Bitmap ImageControl::CopyRect(const ops::Rect& rect) const { return ops::copyRect(bitmap_, rect); }

void ImageControl::PasteBitmap(const imaging::Bitmap& source, int left, int top) {
    ops::pasteBitmap(bitmap_, source, left, top, ops::kCopyMasked);
    bitmapChanged();
}

int ImageControl::Apply(std::string_view name, const std::vector<long>& args) {
    try {
        const ops::OperationInfo* info = ops::findOperation(name);
        const bool geometry = info && info->kind == ops::OperationKind::Geometry;
        ops::applyNamedOperation(bitmap_, name, args, geometry ? nullptr : Rgn());
        // Whole-picture geometry moves every pixel; the old selection no longer marks anything.
        if (geometry) FreeRgn();
        bitmapChanged();
        return 0;
    } catch (const std::exception& e) {
        return failed(e);
    }
}

imaging::Bitmap ImageControl::TakeBitmap() {
    SetAnimationEnable(false);
    imaging::Bitmap taken = std::move(bitmap_);
    bitmap_ = imaging::Bitmap();
    frames_.clear();
    framesChanged();
    frameIndex_ = 0;
    bitmapChanged();
    return taken;
}

// --- Painting -------------------------------------------------------------------------------------

QRect ImageControl::WidgetRectOf(const ops::Rect& rect) const {
    if (rect.empty()) return {};
    const double scale = zoom_ / 100.0;
    const double left = dst_.x() + (rect.left - src_.x()) * scale;
    const double top = dst_.y() + (rect.top - src_.y()) * scale;
    const QRect area(static_cast<int>(std::floor(left)), static_cast<int>(std::floor(top)),
                     static_cast<int>(std::ceil(rect.width * scale)) + 1,
                     static_cast<int>(std::ceil(rect.height * scale)) + 1);
    return area.adjusted(-kRepaintMargin, -kRepaintMargin, kRepaintMargin, kRepaintMargin);
}

void ImageControl::RepaintPictureRect(const ops::Rect& rect) { updateRegionArea(WidgetRectOf(rect)); }

void ImageControl::updateRegionArea(const QRect& area) {
    if (area.isEmpty()) return;
    lastRegionUpdate_ = area;
    if (!autoRepaint_) {
        repaintPending_ = true;
        return;
    }
    update(area);
}

void ImageControl::paintRegion(QPainter& painter) {
    const double scale = zoom_ / 100.0;
    painter.save();
    painter.translate(dst_.x() - src_.x() * scale, dst_.y() - src_.y() * scale);
    painter.scale(scale, scale);
    if (floater_ && floaterVisible_) {
        const ops::Rect& b = floater_->shape.bounds();
        painter.drawImage(QRectF(b.left, b.top, b.width, b.height), floaterImage_);
    }
    QPen solid(Qt::black);
    solid.setCosmetic(true);
    QPen dashed(Qt::white);
    dashed.setCosmetic(true);
    dashed.setDashPattern({kDashPeriod / 2.0, kDashPeriod / 2.0});
    dashed.setDashOffset(outlinePhase_);
    painter.setBrush(Qt::NoBrush);
    if (region_ && rgnFrameType_ == 2 && !outline_.empty()) {
        painter.setPen(solid);
        painter.drawLines(outline_.data(), static_cast<int>(outline_.size()));
        painter.setPen(dashed);
        painter.drawLines(outline_.data(), static_cast<int>(outline_.size()));
    }
    if (marking_ && markPoints_.size() >= 2) {
        for (const QPen& pen : {solid, dashed}) {
            painter.setPen(pen);
            if (markMode_ == 4) {
                std::vector<QPoint> points;
                points.reserve(markPoints_.size());
                for (const ops::Point& p : markPoints_) points.emplace_back(p.x, p.y);
                painter.drawPolyline(points.data(), static_cast<int>(points.size()));
            } else {
                const ops::Rect r = spanOf(markPoints_.front(), markPoints_.back());
                const QRectF shape(r.left, r.top, r.width, r.height);
                if (markMode_ == 3) painter.drawEllipse(shape);
                else if (markMode_ == 2) painter.drawRoundedRect(shape, std::min(r.width, r.height) / 8.0, std::min(r.width, r.height) / 8.0);
                else painter.drawRect(shape);
            }
        }
    }
    painter.restore();
}

}  // namespace imaging
