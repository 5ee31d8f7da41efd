// Pointer work on a document's Original, driven through the picture control's own mouse and key
// events: drawing, moving, deleting and cancelling a selection, transforming it, and the pop-up
// menu with the paste check.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFrame>
#include <QMenu>
#include <QMimeData>
#include <QtTest>

#include "fakemainwindow.h"
#include "document/documenthost.h"
#include "document/frmdocument.h"
#include "settings/programoptions.h"
#include "common/errortrap.h"
#include "common/globals.h"
#include "codecs/registry.h"

using namespace kalmira;
using imaging::ops::Rect;

using kalmira::testing::FakeMainWindow;

namespace {

imaging::Bitmap numbered(int width, int height) {
    imaging::Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) b.setPixel(x, y, imaging::makeRgb(x * 3 % 256, y * 5 % 256, (x * 7 + y) % 256));
    return b;
}

void press(QWidget& w, QPoint at, Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers m = Qt::NoModifier) {
    QTest::mousePress(&w, button, m, at);
}

void moveTo(QWidget& w, QPoint at, Qt::MouseButtons held = Qt::LeftButton) {
    QMouseEvent move(QEvent::MouseMove, at, w.mapToGlobal(at), Qt::NoButton, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &move);
}

void release(QWidget& w, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseRelease(&w, button, Qt::NoModifier, at);
}

void drag(QWidget& w, QPoint from, QPoint to) {
    press(w, from);
    moveTo(w, (from + to) / 2);
    moveTo(w, to);
    release(w, to);
}

void key(QWidget& w, int code) {
    QKeyEvent down(QEvent::KeyPress, code, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &down);
    QKeyEvent up(QEvent::KeyRelease, code, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &up);
}

}  // namespace

class PointerWorkTest : public QObject {
    Q_OBJECT

private:
    FakeMainWindow host_;
    imaging::Bitmap start_;

    std::unique_ptr<frmDocument> document(int width = 80, int height = 60) {
        auto doc = std::make_unique<frmDocument>();
        start_ = numbered(width, height);
        doc->picOriginal().SetBitmap(start_);
        doc->SetOriginalAnimation(false, 1);
        ApplyReady = true;
        doc->InitialisiereGrafik(true);
        QTest::qVerify(doc->record(1).MemHandle != nullptr, "encoded", "", __FILE__, __LINE__);
        doc->picOriginal().resize(width, height);
        return doc;
    }

private slots:
    void initTestCase() {
        InitApplication();
        ErrorTrapping = false;
        frmDocument::SetMessageFunction([](const QString& text, bool) { QFAIL(qPrintable(text)); });
        SetMainWindowHost(&host_);
    }

    void init() {
        ProgramOptions() = DefaultProgramOptions();
        ProgramOptions().FitToWindow = 0;
        ProgramOptions().StandardZoomLevel = 100;
        ProgramOptions().InitialOpenVariations = 1;
        host_ = FakeMainWindow();
    }

    void tinySelectionCountsAsAClick_data() {
        QTest::addColumn<QPoint>("to");
        QTest::addColumn<bool>("kept");
        QTest::newRow("10 x 10") << QPoint(15, 15) << false;
        QTest::newRow("11 x 10") << QPoint(16, 15) << true;
        QTest::newRow("10 x 11") << QPoint(15, 16) << true;
    }

    void tinySelectionCountsAsAClick() {
        QFETCH(QPoint, to);
        QFETCH(bool, kept);
        auto doc = document();
        drag(doc->picOriginal(), {5, 5}, to);
        QCOMPARE(doc->picOriginal().HasRgn(), kept);
        QCOMPARE(doc->picOriginal().RgnFrameType(), 2);
        QCOMPARE(doc->picOriginal().RgnMarkMode(), 0);
        QCOMPARE(host_.panels.value("PanelStatus"), QStringLiteral("%1, %2").arg(to.x()).arg(to.y()));
    }

    void newDocumentDrawsRectangles() {
        auto doc = document();
        QCOMPARE(doc->RegionTool(), 1);
        doc->SetRegionTool(4);
        imaging::ImageControl& original = doc->picOriginal();
        press(original, {10, 10});
        QCOMPARE(original.RgnMarkMode(), 4);
        for (QPoint p : {QPoint(40, 10), QPoint(40, 40), QPoint(10, 40)}) moveTo(original, p);
        release(original, {10, 40});
        QVERIFY(original.HasRgn());
        QCOMPARE(original.Rgn()->shape(), imaging::ops::Region::Shape::Freehand);
        QVERIFY(original.Rgn()->contains(25, 25));
    }

    void regionToolPicksTheShape_data() {
        QTest::addColumn<int>("tool");
        QTest::addColumn<int>("shape");
        QTest::newRow("rectangle") << 1 << int(imaging::ops::Region::Shape::Rectangle);
        QTest::newRow("ellipse") << 2 << int(imaging::ops::Region::Shape::Ellipse);
        QTest::newRow("rounded") << 3 << int(imaging::ops::Region::Shape::RoundedRectangle);
    }

    void regionToolPicksTheShape() {
        QFETCH(int, tool);
        QFETCH(int, shape);
        auto doc = document();
        doc->SetRegionTool(tool);
        drag(doc->picOriginal(), {5, 5}, {40, 30});
        QCOMPARE(int(doc->picOriginal().Rgn()->shape()), shape);
    }

    void movedSelectionLeavesItsBackground() {
        auto doc = document();
        imaging::ImageControl& original = doc->picOriginal();
        drag(original, {10, 10}, {30, 25});
        QCOMPARE(doc->picOriginal2().BitmapWidth(), 20);  // fixed in place: background known
        const std::uint64_t encodedBefore = doc->picCompress(1).ContentVersion();
        press(original, {15, 15});
        QVERIFY(doc->MovingSelection());
        moveTo(original, {30, 20});
        moveTo(original, {45, 30});
        release(original, {45, 30});
        QVERIFY(!doc->MovingSelection());
        QCOMPARE(original.Rgn()->bounds(), (Rect{40, 25, 20, 15}));
        QCOMPARE(original.Pixel(40, 25), start_.pixel(10, 10));
        QCOMPARE(original.Pixel(59, 39), start_.pixel(29, 24));
        // The old place shows the picture that lay under the selection, not a copy.
        QCOMPARE(original.Pixel(10, 10), start_.pixel(10, 10));
        QCOMPARE(original.Pixel(39, 24), start_.pixel(39, 24));
        // The new background is what lay under the new place.
        QCOMPARE(doc->picOriginal2().Pixel(0, 0), start_.pixel(40, 25));
        // The Variation follows the changed Original.
        QVERIFY(doc->picCompress(1).ContentVersion() != encodedBefore);

        // The move was an edit with its undo step; Escape ends the selection and keeps it.
        QCOMPARE(host_.undoSteps, 1);
        const imaging::Bitmap moved = original.Bitmap();
        key(original, Qt::Key_Escape);
        QVERIFY(!original.HasRgn());
        QVERIFY(original.Bitmap() == moved);
        QCOMPARE(original.Pixel(40, 25), start_.pixel(10, 10));
        QVERIFY(!doc->picOriginal2().HasBitmap());
    }

    // Escape while the pixels are dragged puts them back where they were lifted: the picture
    // is exactly as before the drag, the selection where it was, and no undo step is stored.
    void escapeDuringADragPutsThePixelsBack() {
        auto doc = document();
        imaging::ImageControl& original = doc->picOriginal();
        drag(original, {10, 10}, {30, 25});
        key(original, Qt::Key_Delete);  // the selection now differs from the background under it
        const imaging::Bitmap before = original.Bitmap();
        const int steps = host_.undoSteps;
        press(original, {15, 15});
        moveTo(original, {35, 30});
        QVERIFY(doc->MovingSelection());
        key(original, Qt::Key_Escape);
        QVERIFY(!doc->MovingSelection());
        QVERIFY(!original.HasFloater());
        QVERIFY(original.Bitmap() == before);
        QCOMPARE(original.Rgn()->bounds(), (Rect{10, 10, 20, 15}));
        QCOMPARE(host_.undoSteps, steps);
        release(original, {35, 30});
        QVERIFY(original.Bitmap() == before);
        QCOMPARE(original.Rgn()->bounds(), (Rect{10, 10, 20, 15}));
        // The background is known again, as before the drag.
        QCOMPARE(doc->picOriginal2().BitmapWidth(), 20);
        QCOMPARE(doc->picOriginal2().Pixel(0, 0), start_.pixel(10, 10));
    }

    // Escape, from the picture or from the window, ends the selection and keeps every edit
    // made inside it; only Undo takes an edit back.
    void escapeKeepsWhatWasDoneInsideTheSelection_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("onTheWindow");
        for (const char* edit : {"delete", "invert", "move"}) {
            QTest::addRow("%s, Escape on the picture", edit) << QString::fromLatin1(edit) << false;
            QTest::addRow("%s, Escape on the window", edit) << QString::fromLatin1(edit) << true;
        }
    }

    void escapeKeepsWhatWasDoneInsideTheSelection() {
        QFETCH(QString, edit);
        QFETCH(bool, onTheWindow);
        auto doc = document();
        imaging::ImageControl& original = doc->picOriginal();
        drag(original, {10, 10}, {30, 25});
        if (edit == QLatin1String("delete")) {
            key(original, Qt::Key_Delete);
        } else if (edit == QLatin1String("invert")) {
            QCOMPARE(original.Apply("Invert", {}), 0);  // as the tools window's colour operations
        } else {
            press(original, {15, 15});
            moveTo(original, {45, 30});
            release(original, {45, 30});
        }
        const imaging::Bitmap edited = original.Bitmap();
        QVERIFY(!(edited == start_));
        key(onTheWindow ? static_cast<QWidget&>(*doc) : static_cast<QWidget&>(original), Qt::Key_Escape);
        QVERIFY(!original.HasRgn());
        QCOMPARE(original.RgnFrameType(), 0);
        QVERIFY(original.Bitmap() == edited);
        QVERIFY(!doc->picOriginal2().HasBitmap());
        // A press where the selection was draws anew; it lifts nothing.
        drag(original, {15, 15}, {18, 18});
        QVERIFY(original.Bitmap() == edited);
    }

    // A move stores the undo step of the picture before the drag; a press inside the selection
    // that moves nothing changes nothing and stores nothing.
    void moveStoresTheUndoStepOfThePictureBeforeIt() {
        struct Recording : FakeMainWindow {
            frmDocument* document = nullptr;
            imaging::Bitmap stored;
            void StoreUndoStep() override {
                ++undoSteps;
                stored = document->picOriginal().Bitmap();
            }
        } recording;
        SetMainWindowHost(&recording);
        struct Restore {
            FakeMainWindow* host;
            ~Restore() { SetMainWindowHost(host); }
        } restore{&host_};
        auto doc = document();
        recording.document = doc.get();
        imaging::ImageControl& original = doc->picOriginal();
        drag(original, {10, 10}, {30, 25});
        key(original, Qt::Key_Delete);
        const imaging::Bitmap beforeDrag = original.Bitmap();
        recording.undoSteps = 0;
        press(original, {15, 15});
        release(original, {15, 15});
        QCOMPARE(recording.undoSteps, 0);
        QVERIFY(original.Bitmap() == beforeDrag);
        QCOMPARE(original.Rgn()->bounds(), (Rect{10, 10, 20, 15}));
        press(original, {15, 15});
        moveTo(original, {40, 20});
        release(original, {40, 20});
        QCOMPARE(recording.undoSteps, 1);
        QVERIFY(recording.stored == beforeDrag);
        QVERIFY(!(original.Bitmap() == beforeDrag));
    }

    void selectionFromTheEdgeCopiesItsPixels() {
        // A drag that began at column 0 has no recorded background: moving it copies.
        auto doc = document();
        imaging::ImageControl& original = doc->picOriginal();
        drag(original, {0, 5}, {20, 25});
        QVERIFY(original.HasRgn());
        QVERIFY(!doc->picOriginal2().HasBitmap());
        press(original, {5, 10});
        moveTo(original, {35, 10});
        release(original, {35, 10});
        QCOMPARE(original.Pixel(30, 5), start_.pixel(0, 5));
        QCOMPARE(original.Pixel(0, 5), start_.pixel(0, 5));
        QCOMPARE(original.Pixel(19, 24), start_.pixel(19, 24));
        // The drop recorded the background of the new place: the next move leaves it behind.
        QCOMPARE(doc->picOriginal2().Pixel(0, 0), start_.pixel(30, 5));
        press(original, {35, 10});
        moveTo(original, {55, 10});
        release(original, {55, 10});
        QCOMPARE(original.Pixel(30, 5), start_.pixel(30, 5));
        QCOMPARE(original.Pixel(50, 5), start_.pixel(0, 5));
    }

    void shiftInsideTheSelectionDrawsAgain() {
        auto doc = document();
        imaging::ImageControl& original = doc->picOriginal();
        drag(original, {10, 10}, {40, 40});
        doc->SetRegionTool(2);
        press(original, {20, 20}, Qt::LeftButton, Qt::ShiftModifier);
        QVERIFY(!doc->MovingSelection());
        QCOMPARE(original.RgnMarkMode(), 3);
        QVERIFY(original.IsMarking());
        release(original, {20, 20});
    }

    void rightClickEndsTheDragCleanly() {
        auto doc = document();
        imaging::ImageControl& original = doc->picOriginal();
        int menus = 0;
        const auto previous = frmDocument::SetMenuFunction([&](QMenu&) { ++menus; });
        drag(original, {10, 10}, {30, 30});
        press(original, {15, 15});
        moveTo(original, {25, 15});
        press(original, {25, 15}, Qt::RightButton);
        QVERIFY(!doc->MovingSelection());
        QVERIFY(!original.HasFloater());
        QCOMPARE(original.Rgn()->bounds(), (Rect{20, 10, 20, 20}));
        QCOMPARE(original.Pixel(20, 10), start_.pixel(10, 10));
        release(original, {25, 15}, Qt::RightButton);
        QCOMPARE(menus, 1);
        // The left button's release afterwards changes nothing more.
        release(original, {25, 15});
        QCOMPARE(original.Rgn()->bounds(), (Rect{20, 10, 20, 20}));
        frmDocument::SetMenuFunction(previous);
    }

    void deleteFillsOnlyTheSelection() {
        auto doc = document();
        imaging::ImageControl& original = doc->picOriginal();
        QPalette colour = doc->FrameDeleteColor()->palette();
        colour.setColor(QPalette::Window, QColor(10, 20, 30));
        doc->FrameDeleteColor()->setPalette(colour);
        key(original, Qt::Key_Delete);  // nothing selected: nothing changes
        QVERIFY(original.Bitmap() == start_);
        QCOMPARE(host_.undoSteps, 0);
        drag(original, {10, 10}, {30, 20});
        key(original, Qt::Key_Delete);
        QCOMPARE(host_.undoSteps, 1);
        QCOMPARE(original.Pixel(10, 10), imaging::makeRgb(10, 20, 30));
        QCOMPARE(original.Pixel(29, 19), imaging::makeRgb(10, 20, 30));
        QCOMPARE(original.Pixel(30, 19), start_.pixel(30, 19));
        QCOMPARE(original.Pixel(29, 20), start_.pixel(29, 20));
        QCOMPARE(original.Pixel(9, 10), start_.pixel(9, 10));
    }

    void rotatedSelectionKeepsItsCentre() {
        auto doc = document();
        imaging::ImageControl& original = doc->picOriginal();
        drag(original, {10, 10}, {30, 20});
        doc->RotateRegion(18000, false);
        QCOMPARE(original.Rgn()->bounds(), (Rect{10, 10, 20, 10}));
        QCOMPARE(original.Pixel(10, 10), start_.pixel(29, 19));
        QCOMPARE(original.Pixel(29, 19), start_.pixel(10, 10));
        QCOMPARE(original.Pixel(9, 10), start_.pixel(9, 10));
        QCOMPARE(original.RgnFrameType(), 2);
    }

    // A quarter turn of a 20 x 4 strip: it stands 4 x 20 about the same centre (20, 12),
    // turned clockwise, and the place it left shows the picture that was under it.
    void quarterTurnedStripStandsAboutItsCentre() {
        auto doc = document();
        imaging::ImageControl& original = doc->picOriginal();
        drag(original, {10, 10}, {30, 14});
        QCOMPARE(original.Rgn()->bounds(), (Rect{10, 10, 20, 4}));
        doc->RotateRegion(9000, true);
        QCOMPARE(original.Rgn()->bounds(), (Rect{18, 2, 4, 20}));
        QCOMPARE(original.Pixel(18, 2), start_.pixel(10, 13));
        QCOMPARE(original.Pixel(21, 2), start_.pixel(10, 10));
        QCOMPARE(original.Pixel(18, 21), start_.pixel(29, 13));
        QCOMPARE(original.Pixel(21, 21), start_.pixel(29, 10));
        QCOMPARE(original.Pixel(10, 10), start_.pixel(10, 10));
        QCOMPARE(original.Pixel(29, 13), start_.pixel(29, 13));
        QCOMPARE(original.Pixel(17, 2), start_.pixel(17, 2));
        // The background to come back when the strip moves on is what is under its new place.
        QCOMPARE(doc->picOriginal2().BitmapWidth(), 4);
        QCOMPARE(doc->picOriginal2().BitmapHeight(), 20);
        QCOMPARE(doc->picOriginal2().Pixel(0, 0), start_.pixel(18, 2));
    }

    void resizedSelectionShowsTheBackgroundAroundIt() {
        auto doc = document();
        imaging::ImageControl& original = doc->picOriginal();
        drag(original, {10, 10}, {30, 20});
        doc->ResizeRegion(10, 4, 0);
        QCOMPARE(original.Rgn()->bounds(), (Rect{15, 13, 10, 4}));
        // What the selection covered before and covers no more is the picture under it.
        QCOMPARE(original.Pixel(10, 10), start_.pixel(10, 10));
        QCOMPARE(original.Pixel(29, 19), start_.pixel(29, 19));
        // The new background is the old picture under the new rectangle.
        QCOMPARE(doc->picOriginal2().BitmapWidth(), 10);
        QCOMPARE(doc->picOriginal2().Pixel(0, 0), start_.pixel(15, 13));
    }

    void failedTransformLeavesTheSelectionAlone() {
        auto doc = document();
        imaging::ImageControl& original = doc->picOriginal();
        drag(original, {10, 10}, {30, 20});
        // The selected pixels differ from the background under them, as after any operation.
        QCOMPARE(original.Apply("Invert", {}), 0);
        const imaging::Bitmap changed = original.Bitmap();
        QVERIFY_THROWS_EXCEPTION(std::exception, doc->ResizeRegion(0, 5, 0));
        QVERIFY_THROWS_EXCEPTION(std::exception, doc->ShearRegion(9000, true));
        QVERIFY(original.Bitmap() == changed);
        QCOMPARE(original.Rgn()->bounds(), (Rect{10, 10, 20, 10}));
        QVERIFY(!original.HasFloater());
        QCOMPARE(doc->picOriginal2().BitmapWidth(), 20);
    }

    void flipAndShearGoThroughTheSelection() {
        auto doc = document();
        imaging::ImageControl& original = doc->picOriginal();
        drag(original, {10, 10}, {30, 20});
        doc->FlipRegion(true);  // mirror left to right
        QCOMPARE(original.Pixel(10, 10), start_.pixel(29, 10));
        doc->FlipRegion(false);  // top to bottom
        QCOMPARE(original.Pixel(10, 10), start_.pixel(29, 19));
        doc->ShearRegion(2000, true);
        QVERIFY(original.RgnWidth() > 20);
        QCOMPARE(original.RgnHeight(), 10);
        QCOMPARE(original.Pixel(0, 0), start_.pixel(0, 0));
    }

    void menuShowsTheItemsOfEachPicture() {
        auto doc = document();
        QStringList shown;
        const auto previous = frmDocument::SetMenuFunction([&](QMenu& menu) {
            shown.clear();
            for (QAction* item : menu.actions())
                if (item->isVisible() && !item->isSeparator()) shown.append(item->objectName());
        });
        doc->ShowDocumentMenu(0);
        QCOMPARE(doc->FindeSelektierteGrafik(), 0);
        QCOMPARE(shown, (QStringList{"mnuClose", "mnuCopy", "mnuPaste", "mnuApply", "mnuFitToWindow", "mnuZoom25",
                                     "mnuZoom33", "mnuZoom50", "mnuZoom75", "mnuZoom100", "mnuZoom150", "mnuZoom200",
                                     "mnuZoom300", "mnuZoom400"}));
        QCOMPARE(doc->DocumentMenuItem("mnuZoom150")->text(), QStringLiteral("Zoom 150%"));
        doc->ShowDocumentMenu(1);
        QCOMPARE(doc->FindeSelektierteGrafik(), 1);
        QCOMPARE(shown.mid(0, 4), (QStringList{"mnuSave", "mnuSaveAs", "mnuCopy", "mnuPaste"}));
        QVERIFY(shown.contains("mnuHide") && !shown.contains("mnuClose"));
        QVERIFY(doc->DocumentMenuItem("mnuDummy0")->isVisible());

        doc->DocumentMenuItem("mnuHide")->trigger();
        doc->DocumentMenuItem("mnuSaveAs")->trigger();
        doc->DocumentMenuItem("mnuZoom150")->trigger();
        QCOMPARE(host_.commands, (QStringList{"mnuViewVariation1", "mnuFileSaveAs"}));
        QCOMPARE(host_.zoomTexts, QStringList{"150%"});
        frmDocument::SetMenuFunction(previous);
    }

    void rightClickOnAVariationLeavesTheSelectionToTheMenu() {
        // The menu's command may hide the Variation or move the selection; the release that
        // opened it must not select the Variation again afterwards.
        auto doc = document();
        frmDocument* raw = doc.get();
        int menus = 0;
        const auto previous = frmDocument::SetMenuFunction([&](QMenu&) {
            ++menus;
            QCOMPARE(raw->FindeSelektierteGrafik(), 1);
            raw->SelektiereGrafik(0);
        });
        QTest::mouseClick(&doc->picCompress(1), Qt::RightButton, Qt::NoModifier, {5, 5});
        QCOMPARE(menus, 1);
        QCOMPARE(doc->FindeSelektierteGrafik(), 0);
        frmDocument::SetMenuFunction(previous);
    }

    void fitToWindowMayRaiseTheZoom() {
        auto doc = document(60, 40);
        doc->lZoom = 25;
        doc->AktualisiereZoomAnzeige();
        host_.areaWidth = 1200;
        doc->DocumentMenuItem("mnuFitToWindow")->trigger();
        QVERIFY2(doc->lZoom > 100, qPrintable(QString::number(doc->lZoom)));
        QCOMPARE(doc->picOriginal().PaintZoomFactor(), doc->lZoom);
    }

    // The paste check reads the clipboard as Paste does: a PNG that cannot be read is no
    // picture to paste, so Paste is not offered for it.
    void pasteCheckAsksTheReaderThePasteUses() {
        auto doc = document();
        auto broken = std::make_unique<QMimeData>();
        broken->setData(QStringLiteral("image/png"), QByteArray("\x89PNG\r\n\x1a\n broken beyond repair"));
        QApplication::clipboard()->setMimeData(broken.release());
        doc->CheckKopierenMoeglich();
        QCOMPARE(host_.pasteEnabled, 0);
        QVERIFY(!doc->DocumentMenuItem("mnuPaste")->isEnabled());
        QVERIFY(doc->picOriginal().Paste(0) != 0);
        // The same clipboard with a readable picture: offered, and pasted.
        imaging::ImageControl source;
        source.SetBitmap(numbered(6, 5));
        QCOMPARE(source.Copy(imaging::ImageControl::kCopyClear | imaging::ImageControl::kCopyBitmap), 0);
        doc->CheckKopierenMoeglich();
        QCOMPARE(host_.pasteEnabled, 1);
        QCOMPARE(doc->picOriginal().Paste(0), 0);
        QCOMPARE(doc->picOriginal().BitmapWidth(), 6);
    }

    // Copy of a selection that is not a rectangle holds its shape only: the PNG offered is
    // transparent outside it; a rectangle goes out as it is.
    void copyOfAShapeHoldsOnlyTheShape_data() {
        QTest::addColumn<int>("tool");
        QTest::newRow("ellipse") << 2;
        QTest::newRow("freehand") << 4;
        QTest::newRow("rectangle") << 1;
    }

    void copyOfAShapeHoldsOnlyTheShape() {
        QFETCH(int, tool);
        auto doc = document();
        imaging::ImageControl& original = doc->picOriginal();
        doc->SetRegionTool(tool);
        press(original, {10, 10});
        if (tool == 4) {
            for (QPoint p : {QPoint(50, 10), QPoint(10, 40)}) moveTo(original, p);
            release(original, {10, 40});
        } else {
            moveTo(original, {50, 40});
            release(original, {50, 40});
        }
        QVERIFY(original.HasRgn());
        const imaging::ops::Region& region = *original.Rgn();
        QCOMPARE(original.Copy(imaging::ImageControl::kCopyClear | imaging::ImageControl::kCopyBitmap |
                               imaging::ImageControl::kCopyPalette),
                 0);
        const QByteArray png = QApplication::clipboard()->mimeData()->data(QStringLiteral("image/png"));
        const imaging::Bitmap copied = imaging::loadMemory(imaging::ByteView(
            reinterpret_cast<const std::uint8_t*>(png.constData()), static_cast<std::size_t>(png.size()))).first();
        const Rect b = region.bounds();
        QCOMPARE(copied.width(), b.width);
        QCOMPARE(copied.height(), b.height);
        QCOMPARE(copied.bits(), tool == 1 ? 24 : 32);
        int outside = 0;
        for (int y = 0; y < b.height; ++y) {
            for (int x = 0; x < b.width; ++x) {
                const bool inside = region.contains(b.left + x, b.top + y);
                const int alpha = copied.bits() == 32 ? copied.row(y)[4 * x + 3] : 255;
                QCOMPARE(alpha, inside ? 255 : 0);
                if (inside) QCOMPARE(copied.pixel(x, y) & 0xFFFFFFu, start_.pixel(b.left + x, b.top + y) & 0xFFFFFFu);
                outside += !inside;
            }
        }
        QCOMPARE(outside > 0, tool != 1);
    }

    void pasteFollowsTheClipboard() {
        auto doc = document();
        QClipboard* clipboard = QApplication::clipboard();
        QImage image(4, 4, QImage::Format_RGB32);
        image.fill(Qt::red);
        clipboard->setImage(image);
        doc->CheckKopierenMoeglich();
        QCOMPARE(host_.pasteEnabled, 1);
        QVERIFY(doc->DocumentMenuItem("mnuPaste")->isEnabled());
        clipboard->setText(QStringLiteral("no picture"));
        doc->CheckKopierenMoeglich();
        QCOMPARE(host_.pasteEnabled, 0);
        QVERIFY(!doc->DocumentMenuItem("mnuPaste")->isEnabled());
        clipboard->clear();
        doc->CheckKopierenMoeglich();
        QCOMPARE(host_.pasteEnabled, 0);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KALMIRA_LANGUAGE", "en");
    QApplication app(argc, argv);
    PointerWorkTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "pointerwork_test.moc"
