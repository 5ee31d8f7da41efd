// Insert 3D Text on the active document: the text rectangle at each zoom and size, cancel that
// changes nothing, and the drawn Original that stores the undo step and re-encodes its
// Variations.

#include "common/globals.h"
#include "document/frmdocument.h"
#include "settings/programoptions.h"
#include "settings/settingsstore.h"
#include "shell/commands/editcommands.h"
#include "shell/commands/filecommands.h"
#include "shell/commands/picturecommands.h"
#include "shell/frmmain.h"
#include "mainwindowsetup.h"
#include "shelltestsupport.h"
#include "test_pictures.h"
#include "tools/frmtools.h"

#include "codecs/registry.h"
#include "rules/optimizeprofile.h"
#include "qt/addtextdialogs.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace kalmira;

class PictureCommandsTest : public QObject {
    Q_OBJECT

private:
    testing::Prompts prompts_;
    QTemporaryDir folder_;
    std::unique_ptr<frmMain> window_;
    int undoSteps_ = 0;
    bool dialogShown_ = false;

    frmDocument* openWhite(int width, int height) {
        imaging::Bitmap bitmap(width, height, 24);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) bitmap.setPixel(x, y, 0xFFFFFF);
        const QString path = folder_.filePath(QStringLiteral("white%1x%2.png").arg(width).arg(height));
        imaging::SaveOptions options;
        options.format = 75;
        imaging::saveFile(path.toStdString(), imaging::Image::fromBitmap(bitmap), options);
        return window_->Files().OpenImageFile(path);
    }

    // The dialog answers by itself: `text` and OK, or Cancel when `ok` is false.
    void answerDialog(const QString& text, bool ok) {
        auto dialogs = std::make_unique<imaging::AddTextDialogs>();
        dialogs->SetRunner([this, text, ok](imaging::AddTextDialog& dialog) {
            dialogShown_ = true;
            dialog.findChild<QPlainTextEdit*>("TextText")->setPlainText(text);
            return ok;
        });
        window_->Edit().Pictures().SetImageDialogs(std::move(dialogs));
    }

    static int nonWhite(const imaging::Bitmap& b) {
        int count = 0;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x) count += b.pixel(x, y) != 0xFFFFFF;
        return count;
    }

private slots:
    void initTestCase() {
        InitApplication();
        prompts_.install();
        QVERIFY(folder_.isValid());
    }

    void init() {
        prompts_.clear();
        window_ = testing::StartMainWindow({.tools = true, .undoSteps = &undoSteps_});
        dialogShown_ = false;
        prompts_.clear();
    }

    void cleanup() {
        window_.reset();
        QCOMPARE(OpenDocumentCount, 0);
    }

    void textRectangle_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<QRectF>("region");  // null: no selection
        QTest::addColumn<QRectF>("expected");
        QTest::newRow("4x4 whole picture") << 4 << 4 << 100 << QRectF() << QRectF(0, 0, 4, 4);
        QTest::newRow("5x5 still no margin") << 5 << 5 << 100 << QRectF() << QRectF(0, 0, 5, 5);
        QTest::newRow("6x6 margin") << 6 << 6 << 100 << QRectF() << QRectF(5, 5, 1, 1);
        QTest::newRow("100 %") << 100 << 80 << 100 << QRectF() << QRectF(5, 5, 95, 75);
        QTest::newRow("200 % halves the margin") << 100 << 80 << 200 << QRectF() << QRectF(2.5, 2.5, 97.5, 77.5);
        QTest::newRow("50 % doubles it") << 100 << 80 << 50 << QRectF() << QRectF(10, 10, 90, 70);
        QTest::newRow("4x4 at 200 % is shown at 8") << 4 << 4 << 200 << QRectF() << QRectF(2.5, 2.5, 1.5, 1.5);
        QTest::newRow("selection") << 100 << 80 << 200 << QRectF(10, 20, 50, 40) << QRectF(15, 25, 45, 35);
        QTest::newRow("small selection") << 100 << 80 << 100 << QRectF(10, 20, 5, 40) << QRectF(10, 20, 5, 40);
    }

    void textRectangle() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, zoom);
        QFETCH(QRectF, region);
        QFETCH(QRectF, expected);
        const std::optional<QRectF> selection = region.isNull() ? std::nullopt : std::optional<QRectF>(region);
        QCOMPARE(PictureCommands::TextRectangle(width, height, zoom, selection), expected);
    }

    void cancelChangesNothing() {
        frmDocument* document = openWhite(60, 40);
        QVERIFY(document);
        answerDialog(QStringLiteral("ignored"), false);
        const int encodes = document->picCompress(1).EncodeCount();
        window_->Edit().Insert3DText();
        QVERIFY(dialogShown_);
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(prompts_.errors.isEmpty());
        QCOMPARE(undoSteps_, 0);
        QCOMPARE(nonWhite(document->picOriginal().Bitmap()), 0);
        QCOMPARE(document->picCompress(1).EncodeCount(), encodes);
    }

    void textIsDrawnOntoTheOriginal_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("zoom");
        QTest::newRow("4x4") << 4 << 4 << 100;
        QTest::newRow("200 %") << 80 << 50 << 200;
    }

    void textIsDrawnOntoTheOriginal() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, zoom);
        frmDocument* document = openWhite(width, height);
        QVERIFY(document);
        document->lZoom = zoom;
        document->AktualisiereZoomAnzeige();
        QCOMPARE(document->picOriginal().PaintZoomFactor(), zoom);
        answerDialog(QStringLiteral("Wy"), true);
        const int encodes = document->picCompress(1).EncodeCount();
        window_->Edit().Insert3DText();
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY2(prompts_.errors.isEmpty(), qPrintable(prompts_.errors.join('|')));
        QCOMPARE(undoSteps_, 1);
        const imaging::Bitmap& drawn = document->picOriginal().Bitmap();
        QCOMPARE(drawn.width(), width);
        // The rectangle the text was laid out in: the whole picture when it is this small.
        const QRectF expected = PictureCommands::TextRectangle(width, height, zoom, std::nullopt);
        const imaging::TextDrawing& used = document->picOriginal().Drawing();
        QCOMPARE(QRectF(used.TextLeft, used.TextTop, used.TextWidth, used.TextHeight), expected);
        if (width <= 5) QCOMPARE(expected, QRectF(0, 0, width, height));
        else QVERIFY(nonWhite(drawn) > 0);
        // The margin at the top and left stays free (2.5 picture pixels at 200 %).
        if (width > 5) {
            for (int x = 0; x < width; ++x) {
                QCOMPARE(drawn.pixel(x, 0), imaging::Rgb(0xFFFFFF));
                QCOMPARE(drawn.pixel(x, 1), imaging::Rgb(0xFFFFFF));
            }
        }
        QCOMPARE(document->picOriginal().PaintZoomFactor(), zoom);
        QVERIFY(document->picOriginal().AutoRepaint());
        QVERIFY(document->picCompress(1).EncodeCount() > encodes);
    }

    void textWithASelectionStaysInsideIt() {
        frmDocument* document = openWhite(120, 80);
        QVERIFY(document);
        document->picOriginal().SetRgn(imaging::ops::Region::rectangle(60, 40, 50, 30));
        answerDialog(QStringLiteral("WWW"), true);
        window_->Edit().Insert3DText();
        QVERIFY2(prompts_.errors.isEmpty(), qPrintable(prompts_.errors.join('|')));
        const imaging::TextDrawing& used = document->picOriginal().Drawing();
        QCOMPARE(QRectF(used.TextLeft, used.TextTop, used.TextWidth, used.TextHeight),
                 PictureCommands::TextRectangle(120, 80, 100, QRectF(60, 40, 50, 30)));
        const imaging::Bitmap& drawn = document->picOriginal().Bitmap();
        int inside = 0;
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x) {
                const bool white = (drawn.pixel(x, y) & 0xFFFFFFu) == 0xFFFFFFu;
                if (x >= 60 && x < 110 && y >= 40 && y < 70) inside += !white;
                else QVERIFY2(white, qPrintable(QStringLiteral("pixel %1,%2 outside the selection changed").arg(x).arg(y)));
            }
        }
        QVERIFY(inside > 0);
    }

    // An animation whose second frame covers only a piece of the logical screen.
    QString writeAnimationWithAPartialFrame() {
        imaging::Image animation;
        imaging::Bitmap full(40, 30, 8);
        full.palette()[0] = imaging::makeRgb(0, 0, 255);
        full.palette()[1] = imaging::makeRgb(255, 0, 0);
        animation.frames.push_back(imaging::Frame{full, 10});
        imaging::Bitmap piece(8, 6, 8);
        piece.palette()[0] = imaging::makeRgb(0, 0, 255);
        piece.palette()[1] = imaging::makeRgb(255, 0, 0);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x) piece.setPixel(x, y, 1);
        animation.frames.push_back(imaging::Frame{piece, 10, 1, 10, 5});
        animation.logicalWidth = 40;
        animation.logicalHeight = 30;
        imaging::SaveOptions options;
        options.format = 2;
        options.multiPage = true;
        const QString path = folder_.filePath(QStringLiteral("partial.gif"));
        imaging::saveFile(path.toStdString(), animation, options);
        return path;
    }

    // 3D text drawn into one frame would leave one partial frame: it is refused before the
    // dialog with the message every other operation on an animation gives.
    void textOnAnAnimationIsRefused() {
        frmDocument* document = window_->Files().OpenImageFile(writeAnimationWithAPartialFrame());
        QVERIFY(document);
        QCOMPARE(document->picOriginal().BitmapListCount(), 2);
        answerDialog(QStringLiteral("Wy"), true);
        window_->Edit().Insert3DText();
        QVERIFY(!dialogShown_);
        QCOMPARE(prompts_.messageTexts(), QStringList{QStringLiteral("No image manipulation on animated GIF possible")});
        QCOMPARE(undoSteps_, 0);
        QCOMPARE(document->picOriginal().BitmapListCount(), 2);
        QVERIFY(document->GetOriginalAnimation());
    }

    // Duplicate of an animation makes the frame as it is shown: the whole logical screen with
    // the frames before it drawn under it, not the piece the frame itself covers.
    void duplicateOfAnAnimationIsTheFrameAsShown() {
        frmDocument* source = window_->Files().OpenImageFile(writeAnimationWithAPartialFrame());
        QVERIFY(source);
        source->picOriginal().SetAnimationEnable(false);
        source->picOriginal().SetBitmapListIndex(1);
        QCOMPARE(source->picOriginal().BitmapWidth(), 8);
        window_->Edit().Duplicate();
        frmDocument* copy = window_->ActiveDocument();
        QVERIFY(copy && copy != source);
        const imaging::Bitmap& shown = copy->picOriginal().Bitmap();
        QCOMPARE(shown.width(), 40);
        QCOMPARE(shown.height(), 30);
        QCOMPARE(shown.pixel(10, 5) & 0xFFFFFFu, imaging::makeRgb(255, 0, 0));
        QCOMPARE(shown.pixel(17, 10) & 0xFFFFFFu, imaging::makeRgb(255, 0, 0));
        QCOMPARE(shown.pixel(9, 5) & 0xFFFFFFu, imaging::makeRgb(0, 0, 255));
        QCOMPARE(shown.pixel(39, 29) & 0xFFFFFFu, imaging::makeRgb(0, 0, 255));
        QCOMPARE(copy->picOriginal().BitmapListCount(), 0);
        QVERIFY(!copy->GetOriginalAnimation());
        QCOMPARE(copy->picCompress(1).BitmapWidth(), 40);
    }

    void capturedPictureIsEncodedOncePerFormat_data() {
        QTest::addColumn<bool>("photograph");
        QTest::addColumn<int>("expectedFormat");
        QTest::newRow("flat colours -> GIF") << false << int(save_format::Gif);
        QTest::newRow("photograph -> JPEG") << true << int(save_format::Jpeg);
    }

    void capturedPictureIsEncodedOncePerFormat() {
        // A capture becomes a document through NewDocumentFromBitmap: each "smallest file"
        // Variation is encoded once as JPEG and once as GIF, the winner decoded and shown, and
        // nothing is encoded again when the window settles.
        QFETCH(bool, photograph);
        QFETCH(int, expectedFormat);
        struct Restore {
            ProgramOptionsRecord saved = ProgramOptions();
            ~Restore() { ProgramOptions() = saved; }
        } restore;
        for (OptimizeProfile& p : ProgramOptions().Profiles) p.FileFormat = kProfileSmallestFile;
        ProgramOptions().InitialOpenVariations = 2;
        imaging::Bitmap picture = photograph ? testing::photo(320, 200) : testing::stripes(320, 200, 4);
        const imaging::Bitmap original = picture;
        frmDocument* document = window_->Edit().Pictures().NewDocumentFromBitmap(std::move(picture));
        QVERIFY(document);
        for (int i = 0; i < 5; ++i) QApplication::processEvents();
        QVERIFY2(prompts_.errors.isEmpty(), qPrintable(prompts_.errors.join('|')));
        QVERIFY(document->picOriginal().Bitmap() == original);
        for (int v = 1; v <= 2; ++v) {
            const VariationRecord& r = document->record(v);
            QCOMPARE(r.Format, expectedFormat);
            // Every new document starts from a blank 1 x 1 picture, whose two trials are the
            // first two encodings; the captured picture is encoded once as JPEG and once as GIF.
            QCOMPARE(document->picCompress(v).EncodeCount(), 4);
            // What is shown and measured is the kept encoding itself.
            QVERIFY(r.MemHandle);
            QCOMPARE(document->picCompress(v).InfoFileSize(), r.MemFileSize);
            const imaging::Bitmap kept = imaging::loadMemory(imaging::ByteView(r.MemHandle->data.data(), static_cast<std::size_t>(r.MemFileSize))).first();
            QVERIFY(kept == document->picCompress(v).Bitmap());
            QVERIFY(document->LabelCompress(v)->text().contains(expectedFormat == save_format::Gif ? ", GIF, " : ", JPEG, "));
        }
        for (int v = 3; v <= kVariationCount; ++v) QCOMPARE(document->picCompress(v).EncodeCount(), 0);
    }
};

QTEST_MAIN(PictureCommandsTest)
#include "picturecommands_test.moc"
