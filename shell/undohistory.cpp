// The one undo step of each document: a copy of its Original taken just before an operation
// changes it. The copy lives in the document's hidden picPreview (with picOriginalUndo2 for the
// background under the selection), so every document keeps its own step.
#include "shell/frmmain.h"

#include "common/globals.h"
#include "document/frmdocument.h"

namespace kalmira {

void frmMain::UndoHinzufuegen() {
    frmDocument* document = ActiveDocument();
    if (!document) {
        return;
    }
    // Everything is copied before the old step is touched, so a copy that fails (out of
    // memory) leaves the previous step as it was.
    imaging::Bitmap background = document->picOriginal2().Bitmap();
    document->picPreview().CopyPicturesFrom(document->picOriginal());
    if (background.empty()) {
        document->picOriginalUndo2().ClearBitmap();
    } else {
        document->picOriginalUndo2().SetBitmap(std::move(background));
    }
    SetUndoAvailable(true);
}

void frmMain::UndoZurueckholen() {
    frmDocument* document = ActiveDocument();
    if (!document || !document->picPreview().HasBitmap()) {
        return;
    }
    imaging::ImageControl& original = document->picOriginal();
    if (original.HasRgn()) {
        // The selection's background goes back to what it was when the step was stored.
        if (document->picOriginalUndo2().HasBitmap()) {
            document->picOriginal2().SetBitmap(document->picOriginalUndo2().Bitmap());
        } else {
            document->picOriginal2().ClearBitmap();
        }
        document->RestoreBackground();
    }
    const bool playing = original.AnimationEnable();
    // The step moves back instead of being copied: it is emptied by the restore anyway.
    original.TakePicturesFrom(document->picPreview());
    document->picOriginalUndo2().ClearBitmap();
    original.SetAnimationEnable(playing);
    SetUndoAvailable(false);
    document->picOriginalAendern();
    document->OriginalResize();
}

}  // namespace kalmira
