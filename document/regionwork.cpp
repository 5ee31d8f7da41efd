// The selection's background and its transformations. The background (picOriginal2) is the
// Original's pixels under the selection's rectangle from before moved or transformed pixels
// were pasted there; putting it back is what makes a moved or turned selection leave the
// picture behind it intact.
#include <QFrame>

#include "document/documenthost.h"
#include "document/frmdocument.h"
#include "common/apperror.h"
#include "ops/picture.h"

namespace kalmira {

namespace {

void check(imaging::ImageControl& control, int error) {
    if (error != 0) throw AppError(error, control.LastErrorText());
}

}  // namespace

void frmDocument::SaveBackground() {
    imaging::ImageControl& original = picOriginal();
    if (!original.HasRgn()) {
        picOriginal2().ClearBitmap();
        return;
    }
    picOriginal2().SetBitmap(original.CopyRect(original.Rgn()->bounds()));
}

void frmDocument::RestoreBackground() {
    imaging::ImageControl& original = picOriginal();
    if (!picOriginal2().HasBitmap() || !original.HasRgn()) return;
    original.PasteBitmap(picOriginal2().Bitmap(), original.RgnLeft(), original.RgnTop());
}

void frmDocument::transformRegion(const std::function<void(imaging::ops::Picture& work)>& transform) {
    imaging::ImageControl& original = picOriginal();
    if (!original.HasRgn()) return;
    original.ReleaseFloater();
    check(original, original.CreateFloater());
    const imaging::ops::Rect old = original.Rgn()->bounds();
    imaging::ops::Floater lifted = original.TakeFloater();

    // The work picture carries the selection's shape through the transform with the pixels.
    // It is transformed before the Original is touched, so a transform that fails (a size of
    // 0, a picture too large) leaves the Original and its selection as they were.
    imaging::ops::Picture work(std::move(lifted.pixels));
    work.setRegion(lifted.shape.movedTo(0, 0));
    transform(work);
    imaging::ops::Floater placed = work.toFloater();
    RestoreBackground();

    original.SetRgnFrameType(0);
    placed.moveTo(old.left + old.width / 2 - placed.pixels.width() / 2,
                  old.top + old.height / 2 - placed.pixels.height() / 2);
    original.SetFloater(std::move(placed));
    imaging::Bitmap background = original.DropFloater();
    if (background.empty()) picOriginal2().ClearBitmap();
    else picOriginal2().SetBitmap(std::move(background));
    original.SetRgnFrameType(2);
    picOriginalAendern();
}

void frmDocument::ResizeRegion(int nNewWidth, int nNewHeight, int nResizeFlag) {
    transformRegion([&](imaging::ops::Picture& work) { work.apply("Size", {nNewWidth, nNewHeight, nResizeFlag}); });
}

void frmDocument::RotateRegion(long Angle, bool bResizeRegion) {
    transformRegion([&](imaging::ops::Picture& work) { work.apply("Rotate", {Angle, bResizeRegion ? 1 : 0, 0}); });
}

void frmDocument::FlipRegion(bool Richtung) {
    transformRegion([&](imaging::ops::Picture& work) { work.apply(Richtung ? "Reverse" : "Flip", {}); });
}

void frmDocument::ShearRegion(long Angle, bool bHorizontal) {
    transformRegion([&](imaging::ops::Picture& work) { work.apply("Shear", {Angle, bHorizontal ? 1 : 0, 0}); });
}

void frmDocument::DeleteSelection() {
    imaging::ImageControl& original = picOriginal();
    // Without a selection Delete leaves the picture alone rather than filling all of it.
    if (!original.HasRgn()) return;
    const QColor c = FrameDeleteColor()->palette().color(QPalette::Window);
    const long colour = c.red() | (c.green() << 8) | (c.blue() << 16);
    if (MainWindowHost* host = mainWindowHost()) host->StoreUndoStep();
    check(original, original.Apply("Fill", {colour}));
    picOriginalAendern();
}

void frmDocument::CancelSelection() {
    if (movingSelection_) {
        putLiftedBack();
        return;
    }
    EndSelection();
}

void frmDocument::EndSelection() {
    imaging::ImageControl& original = picOriginal();
    if (movingSelection_) putLiftedBack();
    const bool hadSelection = original.HasRgn();
    // The picture stays as it is: whatever was done inside the selection was an edit with its
    // own undo step, and the background belongs to a selection that is gone.
    original.ReleaseFloater();
    original.FreeRgn();
    original.SetRgnFrameType(0);
    picOriginal2().ClearBitmap();
    // The tools window's sizes follow the selection while there is one.
    if (hadSelection) FuelleReiterOriginal();
}

}  // namespace kalmira
