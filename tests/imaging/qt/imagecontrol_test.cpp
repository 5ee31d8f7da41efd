// The image control: bitmap ownership, encoding through memory and files, frames and their
// animation, display units and repainting.
#include <QSignalSpy>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "codecs/registry.h"
#include "core/codec.h"
#include "core/error.h"
#include "qt/imagecontrol.h"

using imaging::ImageControl;

namespace {

imaging::Bitmap checker(int width, int height) {
    imaging::Bitmap b(width, height, 8);
    b.palette()[0] = imaging::makeRgb(255, 0, 0);
    b.palette()[1] = imaging::makeRgb(0, 0, 255);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) b.setPixel(x, y, static_cast<std::uint32_t>((x / 4 + y / 4) % 2));
    return b;
}

std::vector<imaging::Frame> frames(int count, int delay) {
    std::vector<imaging::Frame> list;
    for (int k = 0; k < count; ++k) {
        imaging::Frame f{checker(8, 8)};
        f.bitmap.palette()[0] = imaging::makeRgb(k * 60, 0, 0);
        f.delay = delay;
        list.push_back(f);
    }
    return list;
}

}  // namespace

class ImageControlTest : public QObject {
    Q_OBJECT

private slots:
    void assigningABitmapCopiesIt() {
        ImageControl control;
        imaging::Bitmap source = checker(16, 8);
        control.SetBitmap(source);
        source.setPixel(0, 0, 1);
        source.palette()[0] = 0;
        QCOMPARE(control.Pixel(0, 0), imaging::makeRgb(255, 0, 0));
        QCOMPARE(control.BitmapWidth(), 16);
        QCOMPARE(control.BitmapHeight(), 8);
        QCOMPARE(control.BitmapBits(), 8);
        QCOMPARE(control.ColorCount(), 2);
        QCOMPARE(control.BitmapPalette(1), imaging::makeRgb(0, 0, 255));
        QCOMPARE(control.BitmapPalette(999), imaging::Rgb(0));
    }

    void memoryRoundTripOwnsItsBlock() {
        ImageControl control;
        control.SetBitmap(checker(32, 24));
        const int blocks = imaging::MemoryBlock::liveCount();
        std::unique_ptr<imaging::MemoryBlock> block;
        std::int64_t size = 0;
        QCOMPARE(control.SaveMemory(block, imaging::format::Gif, 1, 0, size), 0);
        QVERIFY(block);
        QCOMPARE(size, static_cast<std::int64_t>(block->data.size()));
        QCOMPARE(imaging::MemoryBlock::liveCount(), blocks + 1);
        // The picture survives its own encoding.
        QCOMPARE(control.BitmapWidth(), 32);

        ImageControl other;
        QCOMPARE(other.LoadMemory(*block, 0, 0, 1, size), 0);
        QCOMPARE(other.MemoryInfo(*block, 0, size), 0);
        QCOMPARE(other.InfoFormat(), imaging::format::Gif);
        QCOMPARE(other.InfoFileSize(), size);
        QCOMPARE(other.InfoWidth(), 32);
        QCOMPARE(other.Pixel(4, 0), imaging::makeRgb(0, 0, 255));
        QCOMPARE(other.Pixel(0, 0), imaging::makeRgb(255, 0, 0));
        block.reset();
        QCOMPARE(imaging::MemoryBlock::liveCount(), blocks);
    }

    void failuresReturnTheEngineNumber() {
        ImageControl control;
        std::unique_ptr<imaging::MemoryBlock> block;
        std::int64_t size = 7;
        QCOMPARE(control.SaveMemory(block, imaging::format::Gif, 8, 0, size), int(imaging::ErrorCode::NoImage));
        QVERIFY(!block);
        QCOMPARE(size, std::int64_t(0));
        QCOMPARE(control.Load("/nonexistent/picture.gif"), int(imaging::ErrorCode::FileNotFound));
        imaging::MemoryBlock garbage;
        garbage.data = {1, 2, 3, 4};
        QVERIFY(control.LoadMemory(garbage, 0, 0, 1, 4) != 0);
        QVERIFY(!control.LastErrorText().isEmpty());
        // A size beyond the block reads only the block.
        control.SetBitmap(checker(8, 8));
        QCOMPARE(control.SaveMemory(block, imaging::format::Gif, 1, 0, size), 0);
        QCOMPARE(control.LoadMemory(*block, 0, 0, 1, size + 1000), 0);
    }

    void fileSaveKeepsTheOldFileOnFailureAndLoadsAllFrames() {
        QTemporaryDir dir;
        const QString path = dir.filePath("anim.gif");
        ImageControl control;
        control.SetBitmapList(frames(3, 7));
        control.SetAnimationLoop(2);
        QCOMPARE(control.Save(path, imaging::format::Gif, 8, 0, true), 0);
        ImageControl loaded;
        QCOMPARE(loaded.FileInfo(path), 0);
        QVERIFY(loaded.InfoAnimation() || loaded.InfoPage() == 3);
        QCOMPARE(loaded.Load(path, 0, 0, -1), 0);
        QCOMPARE(loaded.BitmapListCount(), 3);
        QCOMPARE(loaded.BitmapList()[1].delay, 7);
        QCOMPARE(loaded.AnimationLoop(), 2);
        const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        QVERIFY(control.Save(path, 9999, 8, 0, true) != 0);
        QFile after(path);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
    }

    void animationPlaysWithTheFrameDelays() {
        ImageControl control;
        control.SetBitmapList(frames(3, 2));
        QSignalSpy spy(&control, &ImageControl::frameChanged);
        control.SetAnimationEnable(true);
        QVERIFY(control.AnimationEnable());
        QTRY_VERIFY(spy.count() >= 3);
        QCOMPARE(spy.at(0).at(0).toInt(), 1);
        QCOMPARE(spy.at(1).at(0).toInt(), 2);
        QCOMPARE(spy.at(2).at(0).toInt(), 0);
        control.SetAnimationEnable(false);
        const int index = control.BitmapListIndex();
        spy.clear();
        QVERIFY(!spy.wait(100));
        QCOMPARE(control.BitmapListIndex(), index);

        // One frame never animates; the index shows the frame asked for.
        control.SetBitmapListIndex(2);
        QCOMPARE(control.Pixel(0, 0), imaging::makeRgb(120, 0, 0));
        control.SetBitmapListIndex(99);
        QCOMPARE(control.BitmapListIndex(), 2);
        ImageControl still;
        still.SetBitmap(checker(4, 4));
        still.SetAnimationEnable(true);
        QVERIFY(!still.AnimationEnable());
    }

    void endsAfterItsLoopCount() {
        ImageControl control;
        control.SetBitmapList(frames(2, 2));
        control.SetAnimationLoop(1);
        QSignalSpy spy(&control, &ImageControl::frameChanged);
        control.SetAnimationEnable(true);
        QTRY_VERIFY(!control.AnimationEnable());
        QCOMPARE(spy.count(), 1);
    }

    void positionsInTwipsAndPixels() {
        ImageControl control;
        control.SetBitmap(checker(100, 50));
        control.SetScaleMode(ImageControl::ScaleUnit::Pixels);
        control.SetDstLeft(-10);
        QCOMPARE(control.DstLeft(), -10.0);
        control.SetPaintZoomFactor(200);
        QCOMPARE(control.DstWidth(), 200.0);
        control.SetScaleMode(ImageControl::ScaleUnit::Twips);
        const double tpp = control.TwipsPerPixelX();
        QVERIFY(tpp > 0);
        QCOMPARE(control.DstLeft(), -10.0 * tpp);
        QCOMPARE(control.DstWidth(), 200.0 * tpp);
        control.SetDstTop(-20 * control.TwipsPerPixelY());
        control.SetScaleMode(ImageControl::ScaleUnit::Pixels);
        QCOMPARE(control.DstTop(), -20.0);
    }

    void pointerAndScrollNotifications() {
        ImageControl control;
        control.SetBitmap(checker(100, 80));
        control.SetPaintZoomFactor(200);
        control.resize(50, 40);
        control.SetAutoScroll(true);
        QSignalSpy down(&control, &ImageControl::pointerDown);
        QSignalSpy clicks(&control, &ImageControl::clicked);
        QSignalSpy scrolls(&control, &ImageControl::scrolled);
        // Picture pixels under the pointer, at 200 % and after scrolling.
        QTest::mouseClick(&control, Qt::LeftButton, Qt::NoModifier, QPoint(21, 11));
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(down.at(0).at(2).toInt(), 10);
        QCOMPARE(down.at(0).at(3).toInt(), 5);
        control.SetScaleMode(ImageControl::ScaleUnit::Pixels);
        QTest::keyClick(&control, Qt::Key_Right);
        QCOMPARE(scrolls.count(), 1);
        QCOMPARE(control.DstLeft(), -16.0);
        QTest::mouseClick(&control, Qt::LeftButton, Qt::NoModifier, QPoint(21, 11));
        QCOMPARE(down.at(1).at(2).toInt(), 18);
        // Never further left than the picture's far edge (200 px shown in a 50 px control).
        for (int k = 0; k < 20; ++k) QTest::keyClick(&control, Qt::Key_Right);
        QCOMPARE(control.DstLeft(), -150.0);
        QTest::keyClick(&control, Qt::Key_Left);
        QCOMPARE(control.DstLeft(), -134.0);
    }

    void repaintsOncePerUpdate() {
        ImageControl control;
        control.SetAutoSize(true);
        control.show();
        QVERIFY(QTest::qWaitForWindowExposed(&control));
        control.SetBitmap(checker(40, 40));
        QTRY_VERIFY(control.PaintCount() > 0);
        QCoreApplication::processEvents();
        const int painted = control.PaintCount();
        control.SetAutoRepaint(false);
        control.SetBitmap(checker(40, 40));
        control.ColorRes(24, 0, 0, 0);
        control.SetPixel(1, 1, 0);
        QCoreApplication::processEvents();
        QCOMPARE(control.PaintCount(), painted);
        control.SetAutoRepaint(true);
        control.ForceRepaint();
        QTRY_COMPARE(control.PaintCount(), painted + 1);
        QCoreApplication::processEvents();
        QCOMPARE(control.PaintCount(), painted + 1);
    }

    void framesAreShownDrawnOverEachOther() {
        // Frame 1 is a 2 x 2 patch at (4, 4) over frame 0; frame 2 follows a frame that
        // restores the background (disposal 2).
        imaging::Bitmap full(8, 8, 1);
        full.palette()[0] = imaging::makeRgb(255, 0, 0);
        imaging::Bitmap patch(2, 2, 1);
        patch.palette()[0] = imaging::makeRgb(0, 0, 255);
        std::vector<imaging::Frame> list{{full}, {patch, 0, 2, 4, 4}, {patch, 0, 0, 0, 0}};
        ImageControl control;
        control.SetAutoSize(true);
        QPalette background = control.palette();
        background.setColor(QPalette::Window, Qt::white);
        control.setPalette(background);
        control.SetBitmapList(list);
        control.SetBitmapListIndex(1);
        QImage shown = control.grab().toImage();
        QCOMPARE(shown.size(), QSize(8, 8));
        QCOMPARE(QColor(shown.pixel(0, 0)), QColor(255, 0, 0));
        QCOMPARE(QColor(shown.pixel(4, 4)), QColor(0, 0, 255));
        control.SetBitmapListIndex(2);
        shown = control.grab().toImage();
        QCOMPARE(QColor(shown.pixel(0, 0)), QColor(0, 0, 255));
        QCOMPARE(QColor(shown.pixel(4, 4)), QColor(Qt::white));  // the patch was cleared
        QCOMPARE(QColor(shown.pixel(7, 7)), QColor(255, 0, 0));
        // Going back starts over from the first frame.
        control.SetBitmapListIndex(0);
        shown = control.grab().toImage();
        QCOMPARE(QColor(shown.pixel(4, 4)), QColor(255, 0, 0));
    }

    void aStandInIsDrawnInsteadAndChangesNothingElse() {
        imaging::Bitmap red(6, 4, 24);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) red.setPixel(x, y, imaging::makeRgb(255, 0, 0));
        ImageControl control;
        control.SetAutoSize(true);
        QPalette background = control.palette();
        background.setColor(QPalette::Window, Qt::white);
        control.setPalette(background);
        control.SetBitmap(red);
        control.SetPaintZoomFactor(200);
        const std::uint64_t version = control.ContentVersion();
        // Smaller than the picture (the common area of two sizes): the rest stays empty.
        QImage standIn(4, 3, QImage::Format_RGB888);
        standIn.fill(QColor(0, 0, 255));
        control.SetStandIn(standIn);
        QImage shown = control.grab().toImage();
        QCOMPARE(shown.size(), QSize(12, 8));
        QCOMPARE(QColor(shown.pixel(0, 0)), QColor(0, 0, 255));
        QCOMPARE(QColor(shown.pixel(7, 5)), QColor(0, 0, 255));    // zoomed with the picture
        QCOMPARE(QColor(shown.pixel(8, 0)), QColor(Qt::white));
        QCOMPARE(QColor(shown.pixel(0, 6)), QColor(Qt::white));
        QVERIFY(control.Bitmap() == red);
        QCOMPARE(control.ContentVersion(), version);
        QCOMPARE(control.EncodeCount(), 0);
        control.SetStandIn(QImage());
        shown = control.grab().toImage();
        QCOMPARE(QColor(shown.pixel(7, 5)), QColor(255, 0, 0));
        QCOMPARE(QColor(shown.pixel(11, 7)), QColor(255, 0, 0));
    }

    // A 16384 x 16384 logical screen with 300 tiny frames scattered over it: what is held to
    // show it follows the frames (a few tiles each), not the 1 GiB of an empty screen.
    void hugeScreenWithTinyFramesHoldsOnlyWhatTheFramesCover() {
        imaging::Image image;
        image.logicalWidth = image.logicalHeight = 16384;
        for (int k = 0; k < 300; ++k) {
            imaging::Bitmap dot(3, 3, 1);
            dot.palette()[0] = imaging::makeRgb(0, 200, 0);
            image.frames.push_back({dot, 1, k % 4 == 3 ? 3 : (k % 2 ? 2 : 1), (k * 977) % 16381, (k * 5413) % 16381});
        }
        imaging::SaveOptions options;
        options.format = imaging::format::Gif;
        options.multiPage = true;
        const imaging::Bytes file = imaging::saveMemory(image, options);
        QVERIFY(file.size() < 20000);
        QTemporaryDir dir;
        const QString path = dir.filePath("screen.gif");
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(reinterpret_cast<const char*>(file.data()), static_cast<qint64>(file.size()));
        out.close();

        ImageControl control;
        control.resize(400, 300);
        QCOMPARE(control.Load(path, 0, 0, -1), 0);
        QCOMPARE(control.BitmapListCount(), 300);
        QPalette background = control.palette();
        background.setColor(QPalette::Window, Qt::white);
        control.setPalette(background);
        control.SetScaleMode(ImageControl::ScaleUnit::Pixels);
        QCOMPARE(control.DstWidth(), 16384.0);  // the layout still knows the whole screen
        for (int index : {0, 150, 299, 10}) {
            control.SetBitmapListIndex(index);
            control.grab();
            // At most four 64 x 64 tiles per frame that is still showing, and never more than
            // a megabyte for 300 dots.
            QVERIFY2(control.AnimationCanvasBytes() <= 300u * 4 * 64 * 64 * 4, "canvas follows the frames");
            QVERIFY(control.AnimationCanvasBytes() < (1u << 20) * 5);
        }
        // The first frame is drawn where it lies: scroll so that it is at the control's corner.
        control.SetBitmapListIndex(0);
        control.SetSrcLeft(0);
        control.SetSrcTop(0);
        QImage shown = control.grab().toImage();
        QCOMPARE(QColor(shown.pixel(1, 1)), QColor(0, 200, 0));
        QCOMPARE(QColor(shown.pixel(5, 5)), QColor(Qt::white));
        // Frame 1 (at 977, 5413) shows once the view starts there; frame 0 stays (disposal 1).
        control.SetBitmapListIndex(1);
        control.SetSrcLeft(976);
        control.SetSrcTop(5412);
        shown = control.grab().toImage();
        QCOMPARE(QColor(shown.pixel(2, 2)), QColor(0, 200, 0));
        QCOMPARE(QColor(shown.pixel(0, 0)), QColor(Qt::white));
    }

    // Direct-colour pictures are shown from the bitmap's own rows (odd widths give rows that
    // are not a multiple of four bytes); every change of the bitmap shows.
    void directColourPicturesShowTheirOwnRows() {
        ImageControl control;
        control.SetAutoSize(true);
        for (int bits : {24, 32}) {
            for (int round = 0; round < 3; ++round) {
                imaging::Bitmap b(7, 5, bits);
                for (int y = 0; y < 5; ++y)
                    for (int x = 0; x < 7; ++x) b.setPixel(x, y, imaging::makeRgb(x * 36 + round, y * 50, 200 - round * 40));
                if (round == 2) control.SetPixel(3, 2, imaging::makeRgb(1, 2, 3));
                else control.SetBitmap(b);
                const QImage shown = control.grab().toImage();
                QCOMPARE(shown.size(), QSize(7, 5));
                for (int y = 0; y < 5; ++y)
                    for (int x = 0; x < 7; ++x) {
                        const imaging::Rgb want = round == 2 && x == 3 && y == 2 ? imaging::makeRgb(1, 2, 3)
                                                                                  : imaging::makeRgb(x * 36 + std::min(round, 1), y * 50, 200 - std::min(round, 1) * 40);
                        QCOMPARE(QColor(shown.pixel(x, y)), QColor(imaging::redOf(want), imaging::greenOf(want), imaging::blueOf(want)));
                    }
            }
        }
    }

    void colourResolution() {
        ImageControl control;
        control.SetBitmap(checker(16, 16));
        QCOMPARE(control.ColorRes(24, 0, 0, 0), 0);
        QCOMPARE(control.BitmapBits(), 24);
        QCOMPARE(control.ColorRes(1, 2, 0, 0), 0);
        QCOMPARE(control.BitmapBits(), 1);
        QCOMPARE(control.ColorCount(), 2);
        QCOMPARE(control.Pixel(4, 0), imaging::makeRgb(0, 0, 255));
        QVERIFY(control.ColorRes(13, 2, 0, 0) != 0);

        // A transparent colour chosen before the reduction is kept through it.
        control.SetBitmap(checker(16, 16));
        control.SetTransparent(true);
        control.SetTransparentColor(imaging::kPaletteReference + 1);
        QCOMPARE(control.ColorRes(24, 0, 0, 0), 0);
        QVERIFY(control.Transparent());
        QCOMPARE(control.TransparentColor(), imaging::makeRgb(0, 0, 255));
    }
};

QTEST_MAIN(ImageControlTest)
#include "imagecontrol_test.moc"
