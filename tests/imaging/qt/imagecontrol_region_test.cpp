// The image control's selection: drawing a shape with the pointer, clipping, the floating copy
// and its drop, operations confined to the selection, and what each change repaints.
#include <QSignalSpy>
#include <QtTest>

#include "qt/imagecontrol.h"

using imaging::ImageControl;
using imaging::ops::Rect;
using imaging::ops::Region;

namespace {

// Every pixel a different colour, so a moved pixel is recognised wherever it lands.
imaging::Bitmap numbered(int width, int height) {
    imaging::Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) b.setPixel(x, y, imaging::makeRgb(x * 3 % 256, y * 5 % 256, (x + y) % 256));
    return b;
}

void drag(ImageControl& control, QPoint from, const QList<QPoint>& through, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mousePress(&control, button, Qt::NoModifier, from);
    QPoint last = from;
    for (const QPoint& p : through) {
        QMouseEvent move(QEvent::MouseMove, p, control.mapToGlobal(p), Qt::NoButton, button, Qt::NoModifier);
        QCoreApplication::sendEvent(&control, &move);
        last = p;
    }
    QTest::mouseRelease(&control, button, Qt::NoModifier, last);
}

}  // namespace

class ImageControlRegionTest : public QObject {
    Q_OBJECT

private slots:
    void selectionIsClippedToThePicture() {
        ImageControl control;
        control.SetBitmap(numbered(40, 30));
        control.SetRgn(Region::rectangle(30, 20, 20, 20));
        QVERIFY(control.HasRgn());
        QCOMPARE(control.Rgn()->bounds(), (Rect{30, 20, 10, 10}));
        control.SetRgn(Region::rectangle(-50, 5, 20, 5));
        QVERIFY(!control.HasRgn());
        // A smaller bitmap keeps only what still lies on it.
        control.SetRgn(Region::rectangle(10, 10, 20, 20));
        control.SetBitmap(numbered(20, 15));
        QCOMPARE(control.Rgn()->bounds(), (Rect{10, 10, 10, 5}));
    }

    void dragDrawsEachShape_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("shape");
        QTest::newRow("rectangle") << 1 << int(Region::Shape::Rectangle);
        QTest::newRow("rounded") << 2 << int(Region::Shape::RoundedRectangle);
        QTest::newRow("ellipse") << 3 << int(Region::Shape::Ellipse);
    }

    void dragDrawsEachShape() {
        QFETCH(int, mode);
        QFETCH(int, shape);
        ImageControl control;
        control.SetBitmap(numbered(60, 40));
        control.resize(60, 40);
        control.SetRgnMarkMode(mode);
        // Drawn from the lower right to the upper left: the span is the same.
        drag(control, {45, 30}, {{30, 20}, {5, 8}});
        QVERIFY(!control.IsMarking());
        QVERIFY(control.HasRgn());
        QCOMPARE(int(control.Rgn()->shape()), shape);
        QCOMPARE(control.Rgn()->bounds(), (Rect{5, 8, 40, 22}));
    }

    void dragOffThePictureClips() {
        ImageControl control;
        control.SetBitmap(numbered(50, 40));
        control.resize(80, 80);
        control.SetRgnMarkMode(1);
        drag(control, {30, 20}, {{70, 75}});
        QCOMPARE(control.Rgn()->bounds(), (Rect{30, 20, 20, 20}));
    }

    void freehandNeedsAnArea_data() {
        QTest::addColumn<QList<QPoint>>("points");
        QTest::addColumn<bool>("selected");
        QTest::newRow("two points") << QList<QPoint>{{5, 5}, {20, 20}} << false;
        QTest::newRow("one line") << QList<QPoint>{{5, 5}, {10, 10}, {20, 20}} << false;
        QTest::newRow("triangle") << QList<QPoint>{{5, 5}, {30, 5}, {5, 30}} << true;
    }

    void freehandNeedsAnArea() {
        QFETCH(QList<QPoint>, points);
        QFETCH(bool, selected);
        ImageControl control;
        control.SetBitmap(numbered(40, 40));
        control.resize(40, 40);
        control.SetRgn(Region::rectangle(1, 1, 3, 3));  // an older selection is replaced either way
        control.SetRgnMarkMode(4);
        drag(control, points.first(), points.mid(1));
        QCOMPARE(control.HasRgn(), selected);
        if (selected) QVERIFY(control.Rgn()->contains(8, 8) && !control.Rgn()->contains(28, 28));
    }

    void rightButtonEndsTheDrawing() {
        ImageControl control;
        control.SetBitmap(numbered(40, 40));
        control.resize(40, 40);
        control.SetRgnMarkMode(1);
        QTest::mousePress(&control, Qt::LeftButton, Qt::NoModifier, {4, 4});
        QMouseEvent move(QEvent::MouseMove, QPointF(24, 14), control.mapToGlobal(QPointF(24, 14)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&control, &move);
        QVERIFY(control.IsMarking());
        QTest::mousePress(&control, Qt::RightButton, Qt::NoModifier, {24, 14});
        QVERIFY(!control.IsMarking());
        QCOMPARE(control.Rgn()->bounds(), (Rect{4, 4, 20, 10}));
    }

    void floaterMovesAndDropsWithItsBackground() {
        ImageControl control;
        const imaging::Bitmap start = numbered(40, 30);
        control.SetBitmap(start);
        control.SetRgn(Region::ellipse(4, 4, 10, 8));
        QCOMPARE(control.CreateFloater(), 0);
        QVERIFY(!control.FloaterVisible());
        control.MoveFloater(20, 10);
        const imaging::Bitmap background = control.DropFloater();
        QVERIFY(!control.HasFloater());
        QCOMPARE(control.Rgn()->bounds(), (Rect{24, 14, 10, 8}));
        // The background is what lay under the new place before the paste.
        QCOMPARE(background.width(), 10);
        QCOMPARE(background.pixel(0, 0), start.pixel(24, 14));
        // Inside the ellipse the moved pixels, at its bounding box's corner the old ones.
        QCOMPARE(control.Pixel(29, 18), start.pixel(9, 8));
        QCOMPARE(control.Pixel(24, 14), start.pixel(24, 14));
        // The floater was copied, not cut: its old place is unchanged.
        QCOMPARE(control.Pixel(9, 8), start.pixel(9, 8));
    }

    void floaterDroppedOffThePicture() {
        ImageControl control;
        const imaging::Bitmap start = numbered(40, 30);
        control.SetBitmap(start);
        control.SetRgn(Region::rectangle(10, 10, 10, 10));
        QCOMPARE(control.CreateFloater(), 0);
        control.MoveFloater(25, 0);  // half beyond the right edge
        imaging::Bitmap background = control.DropFloater();
        QCOMPARE(control.Rgn()->bounds(), (Rect{35, 10, 5, 10}));
        QCOMPARE(background.width(), 5);
        QCOMPARE(control.Pixel(39, 10), start.pixel(14, 10));

        control.SetRgn(Region::rectangle(0, 0, 5, 5));
        QCOMPARE(control.CreateFloater(), 0);
        control.MoveFloater(-100, 0);
        const imaging::Bitmap before = control.Bitmap();
        background = control.DropFloater();
        QVERIFY(background.empty());
        QVERIFY(!control.HasRgn());
        QVERIFY(control.Bitmap() == before);
    }

    void floaterNeedsASelection() {
        ImageControl control;
        control.SetBitmap(numbered(10, 10));
        QVERIFY(control.CreateFloater() != 0);
        QVERIFY(!control.HasFloater());
        QVERIFY(control.CropToRgn() != 0);
        QCOMPARE(control.BitmapWidth(), 10);
    }

    void colourOperationsStayInsideTheSelection() {
        ImageControl control;
        const imaging::Bitmap start = numbered(30, 20);
        control.SetBitmap(start);
        control.SetRgn(Region::rectangle(5, 5, 10, 5));
        QCOMPARE(control.Apply("Invert", {}), 0);
        QCOMPARE(control.Pixel(5, 5), start.pixel(5, 5) ^ 0xFFFFFFu);
        QCOMPARE(control.Pixel(14, 9), start.pixel(14, 9) ^ 0xFFFFFFu);
        QCOMPARE(control.Pixel(15, 9), start.pixel(15, 9));
        QCOMPARE(control.Pixel(4, 5), start.pixel(4, 5));
        QVERIFY(control.HasRgn());
        // Geometry of the whole picture leaves no selection behind.
        QCOMPARE(control.Apply("Flip", {}), 0);
        QVERIFY(!control.HasRgn());
        QVERIFY(control.Apply("NoSuchOperation", {}) != 0);
    }

    void cropTakesTheSelectedPixels() {
        ImageControl control;
        const imaging::Bitmap start = numbered(30, 20);
        control.SetBitmap(start);
        control.SetRgn(Region::rectangle(7, 3, 12, 9));
        control.SetRgnFrameType(2);
        QCOMPARE(control.CropToRgn(), 0);
        QCOMPARE(control.BitmapWidth(), 12);
        QCOMPARE(control.BitmapHeight(), 9);
        QCOMPARE(control.Pixel(0, 0), start.pixel(7, 3));
        QVERIFY(!control.HasRgn());
        QCOMPARE(control.RgnFrameType(), 0);
    }

    void changesRepaintOnlyTheirArea() {
        ImageControl control;
        control.SetBitmap(numbered(400, 300));
        control.resize(400, 300);
        control.SetRgn(Region::rectangle(100, 80, 40, 30));
        control.SetRgnFrameType(2);
        const QRect outline = control.WidgetRectOf({100, 80, 40, 30});
        QVERIFY(outline.width() < 50 && outline.height() < 40);
        QVERIFY(control.CreateFloater() == 0);
        control.MoveFloater(50, 50);
        control.SetFloaterVisible(true);
        QCOMPARE(control.LastRegionUpdate(), control.WidgetRectOf({150, 130, 40, 30}));
        // The outline moves by itself and each step repaints the selection's area only.
        QTRY_COMPARE(control.LastRegionUpdate(), outline);
        control.MoveFloater(-45, -50);
        QCOMPARE(control.LastRegionUpdate(), control.WidgetRectOf({105, 80, 85, 80}));
        control.SetPaintZoomFactor(200);
        control.MoveFloater(5, 0);
        QCOMPARE(control.LastRegionUpdate(), control.WidgetRectOf({105, 80, 45, 30}));
        QVERIFY(control.LastRegionUpdate().width() < 100);
    }

    void picturesMoveWithoutACopy() {
        ImageControl source;
        std::vector<imaging::Frame> list(3, imaging::Frame{numbered(8, 6)});
        list[2].bitmap.setPixel(0, 0, 0x123456);
        source.SetBitmapList(list);
        ImageControl step;
        step.CopyPicturesFrom(source);
        QCOMPARE(step.BitmapListCount(), 3);
        source.ClearBitmap();
        source.TakePicturesFrom(step);
        QCOMPARE(source.BitmapListCount(), 3);
        QCOMPARE(source.BitmapList()[2].bitmap.pixel(0, 0), imaging::Rgb(0x123456));
        QVERIFY(!step.HasBitmap());
        QCOMPARE(step.BitmapListCount(), 0);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ImageControlRegionTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "imagecontrol_region_test.moc"
