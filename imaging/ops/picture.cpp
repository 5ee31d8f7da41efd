#include "ops/picture.h"

#include <string>

#include "ops/operation_table.h"
#include "ops/ops_support.h"

namespace imaging::ops {

void Picture::setBitmap(Bitmap bitmap) {
    bitmap_ = std::move(bitmap);
    if (region_) setRegion(*region_);
}

void Picture::setRegion(const Region& region) {
    Region clipped = region.clippedTo(bitmap_.width(), bitmap_.height());
    if (clipped.empty()) region_.reset();
    else region_ = std::move(clipped);
}

void Picture::liftFloater() {
    if (!region_) fail(ErrorCode::NoImage, "Floater", "there is no selection to lift");
    floater_ = ops::liftFloater(bitmap_, *region_);
}

void Picture::moveFloater(int dx, int dy) {
    if (floater_) floater_->moveBy(dx, dy);
}

void Picture::floaterToBitmap() {
    if (!floater_) fail(ErrorCode::NoImage, "Floater", "there is no floater");
    bitmap_ = std::move(floater_->pixels);
    floater_.reset();
    region_.reset();
}

void Picture::takeFloaterRegion() {
    if (!floater_) fail(ErrorCode::NoImage, "Floater", "there is no floater");
    setRegion(floater_->shape);
}

void Picture::pasteFloater(int copyMode) {
    if (floater_) ops::pasteFloater(bitmap_, *floater_, copyMode);
}

Bitmap Picture::dropFloater() {
    if (!floater_) fail(ErrorCode::NoImage, "Floater", "there is no floater");
    Bitmap background = ops::copyRect(bitmap_, floater_->shape.bounds());
    takeFloaterRegion();
    ops::pasteFloater(bitmap_, *floater_, kCopyMasked);
    floater_.reset();
    return background;
}

Picture Picture::takeFloaterAsPicture() {
    if (!floater_) fail(ErrorCode::NoImage, "Floater", "there is no floater");
    Picture work(std::move(floater_->pixels));
    work.setRegion(floater_->shape.movedTo(0, 0));
    floater_.reset();
    return work;
}

Floater Picture::toFloater() const {
    detail::requireImage(bitmap_, "Floater");
    const int w = bitmap_.width(), h = bitmap_.height();
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(w) * h, region_ ? 0 : 1);
    if (region_) {
        const Rect& b = region_->bounds();
        for (int y = b.top; y < b.bottom(); ++y)
            for (int x = b.left; x < b.right(); ++x)
                mask[static_cast<std::size_t>(y) * w + x] = region_->insideLocal(x - b.left, y - b.top);
    }
    return Floater{bitmap_, Region::fromMask(0, 0, w, h, std::move(mask))};
}

void Picture::cropToRegion() {
    liftFloater();
    floaterToBitmap();
}

Bitmap Picture::copySelectionRect() const {
    if (!region_) fail(ErrorCode::NoImage, "Copy", "there is no selection");
    return ops::copyRect(bitmap_, region_->bounds());
}

void Picture::pasteBitmap(const Bitmap& source, int left, int top, int copyMode) {
    ops::pasteBitmap(bitmap_, source, left, top, copyMode);
}

void Picture::paintBitmap(const Bitmap& source, const Rect& destination, int copyMode, const Region* sourceShape) {
    ops::paintBitmap(bitmap_, source, destination, copyMode, sourceShape);
}

void Picture::apply(std::string_view name, const std::vector<long>& args) {
    const OperationInfo* info = findOperation(name);
    if (!info || info->kind != OperationKind::Geometry || !region_) {
        applyNamedOperation(bitmap_, name, args, region());
        return;
    }
    // The selection as a mask bitmap of the picture's size goes through the same geometry
    // without interpolation (index 0 outside, 1 inside), and the mask it ends up as is the
    // new selection.
    Bitmap mask(bitmap_.width(), bitmap_.height(), 8);
    const Rect& b = region_->bounds();
    for (int y = b.top; y < b.bottom(); ++y)
        for (int x = b.left; x < b.right(); ++x) mask.row(y)[x] = region_->insideLocal(x - b.left, y - b.top) ? 1 : 0;
    std::vector<long> maskArgs = args;
    if (name == "Size") {
        maskArgs.resize(3);
        maskArgs[2] = 0;  // nearest neighbour keeps the mask a mask
    }
    if (name == "Rotate" || name == "Shear") {
        if (maskArgs.size() < 2) maskArgs.push_back(1);
        maskArgs.resize(3);
        maskArgs[2] = 0;
    }
    applyNamedOperation(bitmap_, name, args);
    applyNamedOperation(mask, name, maskArgs);
    std::vector<std::uint8_t> bytes(mask.data().begin(), mask.data().end());
    setRegion(Region::fromMask(0, 0, mask.width(), mask.height(), std::move(bytes)));
}

}  // namespace imaging::ops
