// The document window's layout in twips, the fit-to-window zoom, and the layout applied to a
// real document window.
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest>

#include <memory>

#include "document/documenthost.h"
#include "document/documentlayout.h"
#include "fakemainwindow.h"
#include "document/frmdocument.h"
#include "settings/programoptions.h"
#include "common/globals.h"

using namespace kalmira;

namespace {

using kalmira::testing::FakeMainWindow;

LayoutInput input(int width, int height, std::initializer_list<int> variations, bool vertical = false) {
    LayoutInput in;
    in.controlWidth = width;
    in.controlHeight = height;
    for (int v : variations) in.takesPart[static_cast<std::size_t>(v)] = true;
    in.vertical = vertical;
    in.labelHeight = [](int, int) { return 200; };
    return in;
}

}  // namespace

class LayoutTest : public QObject {
    Q_OBJECT

    FakeMainWindow host_;

private slots:
    void initTestCase() {
        InitApplication();
        ErrorTrapping = false;
        SetMainWindowHost(&host_);
    }

    void init() {
        ProgramOptions() = DefaultProgramOptions();
        ProgramOptions().FitToWindow = 0;
        host_ = FakeMainWindow();
    }

    void narrowPictureSitsCentredInAMinimumFrame() {
        const LayoutResult r = ComputeLayout(input(600, 450, {}));
        QCOMPARE(r.frames[0].width, 1200);
        QCOMPARE(r.labels[0].width, 960);
        QCOMPARE(r.pictures[0].left, 300);
        QCOMPARE(r.frames[0].height, 450 + 280 + 200);
        QCOMPARE(r.pictures[0].top, r.labels[0].bottom());
        QCOMPARE(r.windowWidth, 1200 + 96);
        QCOMPARE(r.windowHeight, r.frames[0].height + 560);
        const LayoutResult wide = ComputeLayout(input(3000, 450, {}));
        QCOMPARE(wide.frames[0].width, 3000);
        QCOMPARE(wide.labels[0].width, 2760);
        QCOMPARE(wide.pictures[0].left, 0);
    }

    void framesFollowTheOrderAndHiddenVariationsLeaveNoGap_data() {
        QTest::addColumn<bool>("vertical");
        QTest::newRow("horizontal") << false;
        QTest::newRow("vertical") << true;
    }

    void framesFollowTheOrderAndHiddenVariationsLeaveNoGap() {
        QFETCH(bool, vertical);
        const LayoutResult r = ComputeLayout(input(1500, 900, {2, 5}, vertical));
        const int w = r.frames[0].width;
        const int h = r.frames[0].height;
        for (int k : {0, 2, 5}) {
            const int order = k == 0 ? 0 : k == 2 ? 1 : 2;
            const TwipRect& f = r.frames[static_cast<std::size_t>(k)];
            QCOMPARE(f.left, vertical ? 0 : order * w);
            QCOMPARE(f.top, vertical ? order * h : 0);
            QCOMPARE(f.width, w);
            QCOMPARE(f.height, h);
        }
        QCOMPARE(r.windowWidth, vertical ? w + 96 : 3 * w + 96);
        QCOMPARE(r.windowHeight, vertical ? 3 * h + 560 : h + 560);
    }

    void aWrappingCaptionMakesEveryFrameTaller() {
        LayoutInput in = input(1500, 900, {1, 3}, true);
        in.labelHeight = [](int i, int) { return i == 3 ? 600 : 200; };
        const LayoutResult r = ComputeLayout(in);
        for (int k : {0, 1, 3}) QCOMPARE(r.frames[static_cast<std::size_t>(k)].height, 900 + 280 + 600);
        // One under the other, the taller frames do not overlap.
        QCOMPARE(r.frames[1].top, r.frames[0].bottom());
        QCOMPARE(r.frames[3].top, r.frames[1].bottom());
        for (int k : {0, 1, 3}) QCOMPARE(r.pictures[static_cast<std::size_t>(k)].top, 240 + 600);
    }

    void fitZoomRoundsHalfToEven_data() {
        QTest::addColumn<int>("available");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<int>("needed");
        QTest::addColumn<int>("expected");
        QTest::newRow("249.5 -> 250") << 1000 << 100 << 400 << 250;
        QTest::newRow("124.5 -> 124") << 1000 << 100 << 800 << 124;
        QTest::newRow("plain") << 3000 << 100 << 6000 << 50;
        QTest::newRow("never 0") << 10 << 10 << 100000 << 1;
    }

    void fitZoomRoundsHalfToEven() {
        QFETCH(int, available);
        QFETCH(int, zoom);
        QFETCH(int, needed);
        QFETCH(int, expected);
        QCOMPARE(FitZoom(available, zoom, needed), expected);
    }

    void displayLimitNarrowsTheControl() {
        QCOMPARE(LimitedControlSize(6000, 400, true, 320, 15.0), 4800);
        QCOMPARE(LimitedControlSize(6000, 400, false, 320, 15.0), 6000);
        QCOMPARE(LimitedControlSize(3000, 200, true, 320, 15.0), 3000);
    }

    void layoutIsAppliedToTheDocumentWindow() {
        frmDocument doc;
        doc.picOriginal().SetBitmap(imaging::Bitmap(40, 30, 24));
        host_.toggles[1] = true;
        host_.toggles[3] = true;
        doc.OriginalResize();
        const double tpp = doc.picOriginal().TwipsPerPixelX();
        const int frameWidth = static_cast<int>(std::lround(1200 / tpp));
        QCOMPARE(doc.frameOriginal()->width(), frameWidth);
        QCOMPARE(doc.LabelOriginal()->width(), static_cast<int>(std::lround(960 / tpp)));
        QCOMPARE(doc.picOriginal().width(), 40);
        QCOMPARE(doc.picOriginal().x(), static_cast<int>(std::lround((1200 - 40 * tpp) / 2 / tpp)));
        QCOMPARE(doc.FrameCompress(1)->x(), frameWidth);
        QCOMPARE(doc.FrameCompress(3)->x(), 2 * frameWidth);
        QVERIFY(doc.FrameCompress(2)->isHidden());
        QCOMPARE(doc.picCompress(3).size(), doc.picOriginal().size());

        ProgramOptions().DisplayOrder = 1;
        doc.OriginalResize();
        QCOMPARE(doc.FrameCompress(1)->pos(), QPoint(0, doc.frameOriginal()->geometry().bottom() + 1));
        QCOMPARE(doc.FrameCompress(3)->pos(), QPoint(0, doc.FrameCompress(1)->geometry().bottom() + 1));
        QCOMPARE(doc.FrameCompress(3)->width(), frameWidth);
    }

    // A minimised document is laid out (its frames are ready when it comes back) but its
    // window keeps the minimised size; restored, it takes the layout's size.
    void aMinimisedDocumentIsLaidOutButNotResized() {
        QMdiArea area;
        area.resize(1200, 900);
        auto* doc = new frmDocument;
        QMdiSubWindow* window = area.addSubWindow(doc);
        area.show();
        doc->picOriginal().SetBitmap(imaging::Bitmap(40, 30, 24));
        doc->OriginalResize();
        const QSize alone = window->size();

        window->showMinimized();
        QVERIFY(window->isMinimized());
        const QSize minimised = window->size();
        QVERIFY(minimised != alone);
        host_.toggles[1] = true;
        host_.toggles[2] = true;
        doc->OriginalResize();
        QCOMPARE(window->size(), minimised);
        QVERIFY(!doc->FrameCompress(1)->isHidden());
        QVERIFY(!doc->FrameCompress(2)->isHidden());
        const int frameWidth = doc->frameOriginal()->width();
        QCOMPARE(doc->FrameCompress(2)->x(), 2 * frameWidth);

        window->showNormal();
        doc->OriginalResize();
        QVERIFY(window->width() > alone.width());
        QVERIFY(window->width() >= 3 * frameWidth);
        QCOMPARE(window->height(), alone.height());
    }

    void displayLimitsLetThePictureScroll() {
        frmDocument doc;
        doc.picOriginal().SetBitmap(imaging::Bitmap(500, 300, 24));
        ProgramOptions().DisplayLimitWidthToEnabled = 1;
        ProgramOptions().DisplayLimitWidthTo = 320;
        doc.OriginalResize();
        QCOMPARE(doc.picOriginal().width(), 320);
        QCOMPARE(doc.picOriginal().height(), 300);
    }

    void fitToWindowOnlyInHorizontalOrder() {
        frmDocument doc;
        doc.picOriginal().SetBitmap(imaging::Bitmap(400, 100, 24));
        doc.lZoom = 100;
        doc.AktualisiereZoomAnzeige();
        doc.move(50, 40);
        host_.areaWidth = 500;

        ProgramOptions().DisplayOrder = 1;
        DoFitToWindow(doc, false, 3);
        QCOMPARE(doc.lZoom, 100);
        QCOMPARE(doc.pos(), QPoint(50, 40));

        ProgramOptions().DisplayOrder = 0;
        // Enough room and a limited zoom: it stays, but the window moves to the left edge.
        DoFitToWindow(doc, true, 1);
        QCOMPARE(doc.lZoom, 100);
        QCOMPARE(doc.x(), 0);
        // Three pictures of 400 pixels do not fit into 500: the zoom shrinks.
        DoFitToWindow(doc, true, 3);
        const double tpp = doc.picOriginal().TwipsPerPixelX();
        const int needed = 3 * static_cast<int>(std::lround(400 * tpp)) + 3 * 105;
        QCOMPARE(doc.lZoom, FitZoom(static_cast<int>(std::lround(500 * tpp)), 100, needed));
        QVERIFY(doc.lZoom < 50);
        QCOMPARE(host_.zoomShown, doc.lZoom);
        QCOMPARE(doc.picOriginal().width(), 400 * doc.lZoom / 100);
        // Unlimited, the zoom grows again to fill the row.
        DoFitToWindow(doc, false, 1);
        QVERIFY(doc.lZoom > 100);
    }

    // The controls shrink until the frames fit the room: in a row each gives its share of the
    // width and the row its height; in a column the other way round; never below the smallest.
    void controlsShrinkIntoTheRoom_data() {
        QTest::addColumn<bool>("vertical");
        QTest::addColumn<int>("roomWidth");
        QTest::addColumn<int>("roomHeight");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        // Six pictures of 24000 × 18000 twips, captions 200 high (frame = picture + 480).
        QTest::newRow("row") << false << 60000 << 9000 << 10000 << 8520;
        QTest::newRow("column") << true << 30000 << 60000 << 24000 << 9520;
        QTest::newRow("column, narrow") << true << 20000 << 60000 << 20000 << 9520;
        QTest::newRow("fits already") << false << 150000 << 20000 << 24000 << 18000;
        QTest::newRow("smallest") << false << 3000 << 300 << 720 << 720;
    }

    void controlsShrinkIntoTheRoom() {
        QFETCH(bool, vertical);
        QFETCH(int, roomWidth);
        QFETCH(int, roomHeight);
        QFETCH(int, width);
        QFETCH(int, height);
        LayoutInput in = input(24000, 18000, {1, 2, 3, 4, 5}, vertical);
        LayoutResult layout = ComputeLayout(in);
        FitControlsIntoRoom(in, layout, roomWidth, roomHeight, 720, 720);
        QCOMPARE(in.controlWidth, width);
        QCOMPARE(in.controlHeight, height);
        QCOMPARE(layout.pictures[5].width, width);
        if (width > 720) QVERIFY(layout.windowWidth - 2 * 48 <= roomWidth);
        if (height > 720) QVERIFY(layout.windowHeight - 2 * 280 <= roomHeight);
    }

    // At 100 % a large picture with five Variations: the document stays inside the workspace,
    // every Variation's frame lies inside it, and the pictures scroll together by the shared
    // scroll bars, the wheel, Shift+wheel and the arrow keys.
    void aLargePictureAtFullZoomStaysInTheWorkspaceAndScrolls_data() {
        QTest::addColumn<int>("order");
        QTest::newRow("side by side") << 0;
        QTest::newRow("one under the other") << 1;
    }

    void aLargePictureAtFullZoomStaysInTheWorkspaceAndScrolls() {
        QFETCH(int, order);
        ProgramOptions().DisplayOrder = static_cast<std::int16_t>(order);
        QMdiArea area;
        area.resize(1200, 800);
        auto* doc = new frmDocument;
        QMdiSubWindow* window = area.addSubWindow(doc);
        area.show();
        window->show();
        for (int v = 1; v <= 5; ++v) host_.toggles[v] = true;
        doc->picOriginal().SetBitmap(imaging::Bitmap(1600, 1200, 24));
        // The Variations as encoding leaves them: pictures of the Original's size.
        for (int v = 1; v <= 5; ++v) doc->picCompress(v).SetBitmap(imaging::Bitmap(1600, 1200, 24));
        doc->lZoom = 100;
        doc->AktualisiereZoomAnzeige();

        const QRect workspace = area.viewport()->rect();
        QVERIFY2(workspace.contains(window->geometry()),
                 qPrintable(QString("window %1,%2 %3x%4 in %5x%6").arg(window->x()).arg(window->y())
                                .arg(window->width()).arg(window->height()).arg(workspace.width()).arg(workspace.height())));
        for (int v = 1; v <= 5; ++v)
            QVERIFY2(doc->rect().contains(doc->FrameCompress(v)->geometry()), qPrintable(QString::number(v)));
        QCOMPARE(doc->picOriginal().sizeHint(), QSize(1600, 1200));
        QVERIFY(doc->picOriginal().width() < 1600);
        QVERIFY(doc->picOriginal().height() < 1200);
        QCOMPARE(doc->picCompress(5).size(), doc->picOriginal().size());

        QScrollBar* h = doc->HScrollPictures();
        QScrollBar* v = doc->VScrollPictures();
        QCOMPARE(h->objectName(), QStringLiteral("HScrollPictures"));
        QVERIFY(h->isVisible());
        QVERIFY(v->isVisible());
        QCOMPARE(h->maximum(), 1600 - doc->picOriginal().width());
        QCOMPARE(v->maximum(), 1200 - doc->picOriginal().height());
        QVERIFY(doc->rect().contains(h->geometry()));
        QVERIFY(doc->rect().contains(v->geometry()));

        const auto everyPictureAt = [&](QPoint expected) {
            for (int i = 0; i <= 5; ++i) {
                imaging::ImageControl& p = i == 0 ? doc->picOriginal() : doc->picCompress(i);
                if (ScrolledPixels(p) != expected) return false;
            }
            return h->value() == expected.x() && v->value() == expected.y();
        };
        // The bars move every picture; the far end shows the picture's far edge.
        h->setValue(300);
        v->setValue(40);
        QVERIFY(everyPictureAt({300, 40}));
        h->setValue(h->maximum());
        QVERIFY(everyPictureAt({h->maximum(), 40}));
        h->setValue(300);

        // The wheel over a Variation scrolls down, Shift+wheel sideways; between the pictures too.
        const auto wheel = [&](QWidget* target, Qt::KeyboardModifiers modifiers) {
            QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120), Qt::NoButton,
                              modifiers, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(target, &event);
        };
        wheel(&doc->picCompress(5), Qt::NoModifier);
        QVERIFY(everyPictureAt({300, 70}));
        wheel(&doc->picCompress(4), Qt::ShiftModifier);
        QVERIFY(everyPictureAt({330, 70}));
        // A caption passes the wheel on to the document window (a synthetic event is not
        // passed on, so the test gives it to the window as the caption would).
        wheel(doc, Qt::NoModifier);
        QVERIFY(everyPictureAt({330, 100}));
        wheel(doc, Qt::ShiftModifier);
        QVERIFY(everyPictureAt({360, 100}));
        // The arrow keys on a picture.
        QTest::keyClick(&doc->picCompress(2), Qt::Key_Right);
        QVERIFY(everyPictureAt({376, 100}));

        // A smaller workspace (the main window made smaller) lays the document out again.
        area.resize(900, 600);
        QTRY_VERIFY(area.viewport()->rect().contains(window->geometry()));
        for (int v = 1; v <= 5; ++v) QVERIFY(doc->rect().contains(doc->FrameCompress(v)->geometry()));

        // At a small zoom the bars go where the pictures are whole again (side by side all six
        // fit; one under the other their height may still be shared) and the scrolling keeps
        // within what is left.
        doc->lZoom = 8;
        doc->AktualisiereZoomAnzeige();
        QCOMPARE(h->isVisible(), doc->picOriginal().width() < 128);
        QCOMPARE(v->isVisible(), doc->picOriginal().height() < 96);
        if (order == 0) {
            QVERIFY(!h->isVisible());
            QVERIFY(!v->isVisible());
            QCOMPARE(doc->picOriginal().size(), QSize(128, 96));
            QVERIFY(everyPictureAt({0, 0}));
        } else {
            QVERIFY(everyPictureAt({0, std::min(100, v->maximum())}));
        }
        QVERIFY(area.viewport()->rect().contains(window->geometry()));
    }

    void zoomWithoutAPictureChangesNothing() {
        frmDocument doc;
        host_.zoomShown = 0;
        doc.lZoom = 250;
        const QSize before = doc.picOriginal().size();
        doc.AktualisiereZoomAnzeige();
        QCOMPARE(host_.zoomShown, 0);
        QCOMPARE(doc.picOriginal().size(), before);
    }
};

QTEST_MAIN(LayoutTest)
#include "layout_test.moc"
