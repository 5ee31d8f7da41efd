// What the pointer and the keys do on a document's pictures: selecting a picture, showing the
// pointer's pixel, drawing a selection on the Original, dragging its pixels, and the pop-up
// menu on a right click. Positions arrive in picture pixels from the image controls.
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include "document/documenthost.h"
#include "document/frmdocument.h"
#include "common/apperror.h"
#include "common/errortrap.h"
#include "common/routines.h"

namespace kalmira {

namespace {

// The engine's marking mode for a selection tool: rectangle, ellipse, rounded rectangle and
// freehand are tools 1-4, and marking modes 1, 3, 2 and 4.
int markModeFor(int regionTool) {
    switch (regionTool) {
    case 1: return 1;
    case 2: return 3;
    case 3: return 2;
    case 4: return 4;
    default: return 0;
    }
}

// An arrow-less cross with a small plus or minus beside it: Shift adds to what the next drag
// draws, Ctrl takes away, and the pointer says which is held.
QCursor signCursor(bool plus) {
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 3}, std::pair{QColor(Qt::black), 1}}) {
        painter.setPen(QPen(colour, width));
        painter.drawLine(7, 0, 7, 14);
        painter.drawLine(0, 7, 14, 7);
        painter.drawLine(14, 19, 22, 19);
        if (plus) painter.drawLine(18, 15, 18, 23);
    }
    painter.end();
    return QCursor(pixmap, 7, 7);
}

// Clicks on a frame or its caption label count as clicks on its picture; Escape on the window
// gives up the selection.
class PointerFilter : public QObject {
public:
    PointerFilter(frmDocument& document, int index) : QObject(&document), document_(document), index_(index) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (index_ < 0) {
            if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
                (document_.picOriginal().HasRgn() || document_.MovingSelection())) {
                Guarded([this] { document_.CancelSelection(); });
                return true;
            }
            return QObject::eventFilter(watched, event);
        }
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            Guarded([&] {
                if (mouse->button() == Qt::RightButton) document_.ShowDocumentMenu(index_);
                else if (mouse->button() == Qt::LeftButton) document_.SelektiereGrafik(index_);
            });
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    frmDocument& document_;
    int index_;
};

}  // namespace

void frmDocument::connectPointerWork() {
    QPalette deleteColour = FrameDeleteColor()->palette();
    deleteColour.setColor(QPalette::Window, Qt::white);
    FrameDeleteColor()->setPalette(deleteColour);
    FrameDeleteColor()->setAutoFillBackground(true);

    // The status bar shows the pixel under the pointer whether a button is held or not.
    for (int i = 0; i <= kVariationCount; ++i) (i == 0 ? picOriginal() : picCompress(i)).setMouseTracking(true);
    imaging::ImageControl& original = picOriginal();
    connect(&original, &imaging::ImageControl::pointerDown, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
                Guarded([&] { picOriginal_MouseDown(b, m, x, y); });
            });
    connect(&original, &imaging::ImageControl::pointerMove, this,
            [this](Qt::MouseButtons b, Qt::KeyboardModifiers m, int x, int y) {
                Guarded([&] { picOriginal_MouseMove(b, m, x, y); });
            });
    connect(&original, &imaging::ImageControl::pointerUp, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) {
                Guarded([&] { picOriginal_MouseUp(b, m, x, y); });
            });
    connect(&original, &imaging::ImageControl::keyDown, this,
            [this](int key, Qt::KeyboardModifiers m) { Guarded([&] { picOriginal_KeyDown(key, m); }); });
    connect(&original, &imaging::ImageControl::keyUp, this,
            [this](int, Qt::KeyboardModifiers) { picOriginal_KeyUp(); });
    for (int i = 1; i <= kVariationCount; ++i) {
        imaging::ImageControl& picture = picCompress(i);
        connect(&picture, &imaging::ImageControl::pointerMove, this, [](Qt::MouseButtons, Qt::KeyboardModifiers, int x, int y) {
            if (MainWindowHost* host = mainWindowHost())
                host->SetStatusPanelText(QStringLiteral("PanelStatus"), QStringLiteral("%1, %2").arg(x).arg(y));
        });
        connect(&picture, &imaging::ImageControl::pointerUp, this, [this, i](Qt::MouseButton b, Qt::KeyboardModifiers, int, int) {
            if (b == Qt::RightButton) Guarded([&] { ShowDocumentMenu(i); });
        });
    }
    for (int i = 0; i <= kVariationCount; ++i) {
        auto* filter = new PointerFilter(*this, i);
        (i == 0 ? frameOriginal() : FrameCompress(i))->installEventFilter(filter);
        (i == 0 ? LabelOriginal() : LabelCompress(i))->installEventFilter(filter);
    }
    installEventFilter(new PointerFilter(*this, -1));
}

void frmDocument::picOriginal_MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y) {
    imaging::ImageControl& original = picOriginal();
    // Another button during a drag ends the drag where it is, as releasing the left one would.
    if (button != Qt::LeftButton) {
        if (movingSelection_) {
            dropSelection();
            return;
        }
        if (original.RgnMarkMode() != 0) {
            endDrawing(x, y);
            return;
        }
    }
    original.setFocus();
    if (FindeSelektierteGrafik() != 0) SelektiereGrafik(0);
    if (button != Qt::LeftButton) return;
    const bool plain = !(modifiers & (Qt::ShiftModifier | Qt::ControlModifier));
    if (plain && original.HasRgn() && original.Rgn()->contains(x, y)) {
        original.SetRgnMarkMode(0);
        original.SetRgnFrameType(0);
        dragLastX_ = x;
        dragLastY_ = y;
        if (const int error = original.CreateFloater(); error != 0) throw AppError(error, original.LastErrorText());
        const imaging::ops::Rect bounds = original.Rgn()->bounds();
        lifted_ = LiftedSelection{bounds, original.CopyRect(bounds), picOriginal2().Bitmap()};
        // With the background known, the selection's old place shows it again while the
        // pixels move; without it, the pixels are copied and the old ones stay.
        if (picOriginal2().HasBitmap()) original.PasteBitmap(picOriginal2().Bitmap(), bounds.left, bounds.top);
        original.SetFloaterVisible(true);
        movingSelection_ = true;
    } else if (regionTool_ != 0) {
        original.SetRgnMarkMode(markModeFor(regionTool_));
        drawStartX_ = x;
        drawStartY_ = y;
    }
    picOriginal2().ClearBitmap();
}

void frmDocument::picOriginal_MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y) {
    imaging::ImageControl& original = picOriginal();
    if (!(modifiers & (Qt::ShiftModifier | Qt::ControlModifier))) original.unsetCursor();
    if (MainWindowHost* host = mainWindowHost())
        host->SetStatusPanelText(QStringLiteral("PanelStatus"), QStringLiteral("%1, %2").arg(x).arg(y));
    if (movingSelection_ && (buttons & Qt::LeftButton)) {
        original.MoveFloater(x - dragLastX_, y - dragLastY_);
        dragLastX_ = x;
        dragLastY_ = y;
    }
}

void frmDocument::picOriginal_MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers, int x, int y) {
    imaging::ImageControl& original = picOriginal();
    if (button != Qt::LeftButton) {
        ShowDocumentMenu(0);
        return;
    }
    if (original.RgnMarkMode() != 0) {
        endDrawing(x, y);
    } else if (movingSelection_) {
        dropSelection();
    }
    // A drag this small was meant as a click.
    if (original.HasRgn() && original.RgnWidth() <= 10 && original.RgnHeight() <= 10) {
        original.FreeRgn();
        FuelleReiterOriginal();
    }
}

void frmDocument::endDrawing(int x, int y) {
    imaging::ImageControl& original = picOriginal();
    original.SetRgnMarkMode(0);
    original.SetRgnFrameType(2);
    // Fixing the new selection in place records its background, so that moving it later
    // leaves the background behind instead of a copy. The pixels themselves do not change.
    if (original.HasRgn() && x != drawStartX_ && y != drawStartY_ && !isAnimatedOriginal() && drawStartX_ > 0 &&
        drawStartY_ > 0)
        SaveBackground();
    drawStartX_ = 0;
    drawStartY_ = 0;
    FuelleReiterOriginal();
}

void frmDocument::dropSelection() {
    imaging::ImageControl& original = picOriginal();
    const imaging::ops::Floater* floater = original.Floater();
    if (!lifted_ || !floater || (floater->shape.bounds().left == lifted_->rect.left &&
                                 floater->shape.bounds().top == lifted_->rect.top)) {
        // A press inside the selection that moved nothing changes nothing either.
        putLiftedBack();
        return;
    }
    // A move is an edit like any other: its undo step is the picture before the drag.
    original.PasteBitmap(lifted_->pixels, lifted_->rect.left, lifted_->rect.top);
    if (MainWindowHost* host = mainWindowHost()) host->StoreUndoStep();
    if (!lifted_->background.empty())
        original.PasteBitmap(lifted_->background, lifted_->rect.left, lifted_->rect.top);
    lifted_.reset();
    movingSelection_ = false;
    original.SetRgnFrameType(0);
    imaging::Bitmap background = original.DropFloater();
    if (background.empty()) picOriginal2().ClearBitmap();
    else picOriginal2().SetBitmap(std::move(background));
    original.SetRgnFrameType(2);
    picOriginalAendern();
    FuelleReiterOriginal();
}

void frmDocument::putLiftedBack() {
    imaging::ImageControl& original = picOriginal();
    movingSelection_ = false;
    original.ReleaseFloater();
    if (lifted_) {
        original.PasteBitmap(lifted_->pixels, lifted_->rect.left, lifted_->rect.top);
        if (lifted_->background.empty()) picOriginal2().ClearBitmap();
        else picOriginal2().SetBitmap(std::move(lifted_->background));
        lifted_.reset();
    }
    original.SetRgnFrameType(2);
}

void frmDocument::picOriginal_KeyDown(int key, Qt::KeyboardModifiers) {
    imaging::ImageControl& original = picOriginal();
    switch (key) {
    case Qt::Key_Shift: original.setCursor(signCursor(true)); break;
    case Qt::Key_Control: original.setCursor(signCursor(false)); break;
    case Qt::Key_Delete:
        DeleteSelection();
        original.unsetCursor();
        break;
    case Qt::Key_Escape:
        if (original.HasRgn() || movingSelection_) CancelSelection();
        break;
    default: break;
    }
}

void frmDocument::picOriginal_KeyUp() { picOriginal().unsetCursor(); }

}  // namespace kalmira
