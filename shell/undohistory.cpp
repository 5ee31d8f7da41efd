// The one undo step of each document: a copy of its Original taken just before an operation
// changes it. The copy lives in the document's hidden picPreview, with the Original's
// description (file information, animation), so every document keeps its own step and Undo
// brings back the Original as it was, not only its pixels.
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
    frmDocument::OriginalDescription description = document->DescribeOriginal();
    document->picPreview().CopyPicturesFrom(document->picOriginal());
    document->SetUndoDescription(std::move(description));
    // Undo ends the selection, so the background under it needs no copy of its own.
    document->picOriginalUndo2().ClearBitmap();
    SetUndoAvailable(true);
}

void frmMain::UndoZurueckholen() {
    frmDocument* document = ActiveDocument();
    if (!document || !document->picPreview().HasBitmap()) {
        return;
    }
    imaging::ImageControl& original = document->picOriginal();
    // A selection drawn, moved or turned after the step was stored belongs to the picture that
    // is going away; kept, its background would be stamped into the restored one.
    document->EndSelection();
    const bool playing = original.AnimationEnable();
    const std::optional<frmDocument::OriginalDescription> description = document->TakeUndoDescription();
    // The step moves back instead of being copied: it is emptied by the restore anyway.
    original.TakePicturesFrom(document->picPreview());
    if (description) {
        document->RestoreOriginalDescription(*description);
    } else {
        original.SetAnimationEnable(playing);
    }
    SetUndoAvailable(false);
    document->picOriginalAendern();
    document->OriginalResize();
}

}  // namespace kalmira
