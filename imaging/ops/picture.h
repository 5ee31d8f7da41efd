#pragma once
// One picture as the document works with it: a bitmap, an optional selection on it and an
// optional floating copy of the selected pixels. Each step the document takes on a selection
// (draw, lift, move, drop, save and restore the background, crop to it, transform it) is one
// call here, so the document's code reads as the sequence of those steps.

#include <optional>
#include <string_view>
#include <vector>

#include "core/bitmap.h"
#include "ops/floater.h"
#include "ops/region.h"

namespace imaging::ops {

class Picture {
public:
    Picture() = default;
    explicit Picture(Bitmap bitmap) : bitmap_(std::move(bitmap)) {}

    Bitmap& bitmap() { return bitmap_; }
    const Bitmap& bitmap() const { return bitmap_; }
    // Replaces the bitmap. The selection is clipped to the new bitmap (and gone when nothing
    // of it is left); the floater stays as it is.
    void setBitmap(Bitmap bitmap);

    // --- Selection ---------------------------------------------------------------------
    // Sets the selection, clipped to the bitmap (a selection wholly outside it is none).
    void setRegion(const Region& region);
    bool HasRgn() const { return region_.has_value(); }
    void FreeRgn() { region_.reset(); }
    int RgnLeft() const { return region_ ? region_->RgnLeft() : 0; }
    int RgnTop() const { return region_ ? region_->RgnTop() : 0; }
    int RgnWidth() const { return region_ ? region_->RgnWidth() : 0; }
    int RgnHeight() const { return region_ ? region_->RgnHeight() : 0; }
    const Region* region() const { return region_ ? &*region_ : nullptr; }

    // --- Floating copy -----------------------------------------------------------------
    // Floater = Bitmap: a copy of the selected pixels with the selection's shape, lying over
    // the selection. The bitmap is not changed. Throws NoImage without a selection.
    void liftFloater();
    bool hasFloater() const { return floater_.has_value(); }
    const Floater* floater() const { return floater_ ? &*floater_ : nullptr; }
    void moveFloater(int dx, int dy);
    // Bitmap = Floater and Floater = 0 in one: the floater's pixels (its bounding box)
    // become the whole bitmap; the selection is freed. Throws NoImage without a floater.
    void floaterToBitmap();
    // The floater's shape at its position becomes the selection (clipped to the bitmap).
    void takeFloaterRegion();
    // Pastes the floater at its position in copy mode 288 (only the shape's pixels).
    void pasteFloater(int copyMode = kCopyMasked);
    void releaseFloater() { floater_.reset(); }
    // The end of a drag: the floater's shape becomes the selection, the pixels under it are
    // returned (the new background), the floater is pasted there and released.
    Bitmap dropFloater();
    // Moves the floater out into a picture of its own (the work picture a selection is
    // transformed in): its pixels as the bitmap, its shape as the selection at (0, 0).
    // Throws NoImage without a floater.
    Picture takeFloaterAsPicture();
    // This picture as a floater at (0, 0): the whole bitmap, shaped by the selection when
    // there is one (a work picture after its transform), else all of it.
    Floater toFloater() const;
    // Puts a floater over this picture, replacing any other.
    void setFloater(Floater floater) { floater_ = std::move(floater); }
    // Crop to the selection: the bitmap becomes the selection's bounding box; the selection
    // and any floater are freed. Throws NoImage without a selection.
    void cropToRegion();

    // --- Copies ------------------------------------------------------------------------
    // The pixels under the selection's bounding box (SaveBackground). Throws NoImage
    // without a selection.
    Bitmap copySelectionRect() const;
    // Pastes a bitmap with its top-left corner at (left, top) (RestoreBackground).
    void pasteBitmap(const Bitmap& source, int left, int top, int copyMode = kCopyMasked);
    // Paints a bitmap scaled into a rectangle, with a shape when given.
    void paintBitmap(const Bitmap& source, const Rect& destination, int copyMode = kCopyMasked,
                     const Region* sourceShape = nullptr);

    // --- Operations --------------------------------------------------------------------
    // Runs a named operation (operation_table.h). Colour operations and filters change only
    // the selected pixels; geometry transforms the whole bitmap and carries the selection's
    // shape along (a turned picture keeps a turned selection).
    void apply(std::string_view name, const std::vector<long>& args);

private:
    Bitmap bitmap_;
    std::optional<Region> region_;
    std::optional<Floater> floater_;
};

}  // namespace imaging::ops
