// Copy, Paste and Duplicate Image against the real clipboard of an X server of the test's own,
// with xclip as the other program on the clipboard: what we put there must be readable by it,
// and what it puts there must come in whole, or be refused without changing anything.

#include "codecs/registry.h"
#include "common/globals.h"
#include "document/frmdocument.h"
#include "settings/settingsstore.h"
#include "shell/commands/editcommands.h"
#include "shell/commands/filecommands.h"
#include "shell/commands/picturecommands.h"
#include "shell/frmmain.h"
#include "mainwindowsetup.h"
#include "shelltestsupport.h"
#include "tools/frmtools.h"
#include "../support/xvfbserver.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QMdiArea>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

using namespace kalmira;

namespace {

// Runs xclip on the clipboard selection and returns what it printed; the event loop keeps
// running meanwhile, so our own process can answer xclip's request.
QByteArray xclip(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess process;
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(QStringLiteral("xclip"), QStringList{QStringLiteral("-selection"), QStringLiteral("clipboard")} + arguments);
    if (!process.waitForStarted(5000)) return "xclip did not start";
    if (!input.isEmpty()) {
        process.write(input);
        process.closeWriteChannel();
    }
    if (finished.isEmpty() && !finished.wait(10000)) return "xclip did not finish";
    return process.readAllStandardOutput();
}

// Puts `data` on the clipboard through xclip and waits until our own process sees exactly
// that there: the ownership moves asynchronously, and until it arrives the clipboard still
// offers what an earlier test left.
bool xclipIn(const QString& target, const QByteArray& data) {
    xclip({QStringLiteral("-t"), target, QStringLiteral("-i")}, data);
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        const QMimeData* offered = QGuiApplication::clipboard()->mimeData();
        // Text goes by its X name (UTF8_STRING), which Qt offers as plain text.
        const bool arrived = offered && (target.startsWith(QLatin1String("image/")) ? offered->data(target) == data
                                                                                     : offered->text().toUtf8() == data);
        if (arrived && !QGuiApplication::clipboard()->ownsClipboard()) return true;
        QTest::qWait(20);
    }
    return false;
}

QByteArray encoded(const imaging::Bitmap& bitmap, int format) {
    imaging::SaveOptions options;
    options.format = format;
    const imaging::Bytes bytes = imaging::saveMemory(imaging::Image::fromBitmap(bitmap), options);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

imaging::Bitmap decoded(const QByteArray& data) {
    const imaging::ByteView view(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                 static_cast<std::size_t>(data.size()));
    return imaging::loadMemory(view).first();
}

// Colours in every pixel, so any reduction shows.
imaging::Bitmap gradient(int width, int height, int seed = 0) {
    imaging::Bitmap bitmap(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.setPixel(x, y, imaging::makeRgb(x * 255 / width, y * 255 / height, (x * y + seed) % 256));
    return bitmap;
}

bool samePixels(const imaging::Bitmap& a, const imaging::Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) return false;
    return true;
}

}  // namespace

class ClipboardTest : public QObject {
    Q_OBJECT

private:
    testing::Prompts prompts_;
    QTemporaryDir folder_;
    std::unique_ptr<frmMain> window_;
    frmTools* tools_ = nullptr;
    int undoSteps_ = 0;

    PictureCommands& pictures() { return window_->Edit().Pictures(); }
    int windowCount() const { return static_cast<int>(window_->MdiArea()->subWindowList().size()); }

    frmDocument* openPicture(const imaging::Bitmap& bitmap, const QString& name) {
        const QString path = folder_.filePath(name);
        imaging::SaveOptions options;
        options.format = 75;
        imaging::saveFile(path.toStdString(), imaging::Image::fromBitmap(bitmap), options);
        return window_->Files().OpenImageFile(path);
    }

private slots:
    void initTestCase() {
        InitApplication();
        prompts_.install();
        QVERIFY(folder_.isValid());
    }

    void init() {
        prompts_.clear();
        window_ = testing::StartMainWindow({.tools = true, .show = true, .undoSteps = &undoSteps_});
        tools_ = static_cast<frmTools*>(window_->ToolsWindow());
        prompts_.clear();
    }

    void cleanup() {
        window_.reset();
        QCOMPARE(OpenDocumentCount, 0);
    }

    void copyOfTheOriginalIsReadByAnotherProgram() {
        const imaging::Bitmap source = gradient(40, 30);
        frmDocument* document = openPicture(source, "original.png");
        QVERIFY(document);
        document->SelektiereGrafik(0);
        window_->findChild<QAction*>("mnuEditPaste")->setEnabled(false);
        window_->Edit().Copy();
        QVERIFY(prompts_.errors.isEmpty());
        const QByteArray targets = xclip({QStringLiteral("-t"), QStringLiteral("TARGETS"), QStringLiteral("-o")});
        QVERIFY2(targets.contains("image/png") && targets.contains("image/bmp"), targets.constData());
        QVERIFY(samePixels(decoded(xclip({"-t", "image/png", "-o"})), source));
        QVERIFY(samePixels(decoded(xclip({"-t", "image/bmp", "-o"})), source));
        // Something pastable is on the clipboard now, and Paste says so.
        QVERIFY(window_->findChild<QAction*>("mnuEditPaste")->isEnabled());
        QVERIFY(window_->findChild<QAction*>("tbPaste")->isEnabled());
        QCOMPARE(undoSteps_, 0);
    }

    void copyOfTheOriginalWithASelectionHoldsOnlyTheSelection() {
        const imaging::Bitmap source = gradient(40, 30);
        frmDocument* document = openPicture(source, "selected.png");
        QVERIFY(document);
        document->SelektiereGrafik(0);
        document->picOriginal().SetRgn(imaging::ops::Region::rectangle(5, 7, 12, 9));
        QVERIFY(document->picOriginal().HasRgn());
        window_->Edit().Copy();
        QVERIFY(prompts_.errors.isEmpty());
        const imaging::Bitmap copied = decoded(xclip({"-t", "image/png", "-o"}));
        QCOMPARE(copied.width(), 12);
        QCOMPARE(copied.height(), 9);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 12; ++x) QCOMPARE(copied.pixel(x, y) & 0xFFFFFFu, source.pixel(x + 5, y + 7) & 0xFFFFFFu);
        // Without the selection the whole Original goes out again.
        document->picOriginal().FreeRgn();
        window_->Edit().Copy();
        QVERIFY(samePixels(decoded(xclip({"-t", "image/png", "-o"})), source));
    }

    void copyOfAnEllipseHoldsOnlyTheEllipse() {
        const imaging::Bitmap source = gradient(40, 30);
        frmDocument* document = openPicture(source, "ellipse.png");
        QVERIFY(document);
        document->SelektiereGrafik(0);
        document->picOriginal().SetRgn(imaging::ops::Region::ellipse(5, 4, 20, 16));
        window_->Edit().Copy();
        QVERIFY(prompts_.errors.isEmpty());
        const imaging::Bitmap copied = decoded(xclip({"-t", "image/png", "-o"}));
        QCOMPARE(copied.width(), 20);
        QCOMPARE(copied.height(), 16);
        QCOMPARE(copied.bits(), 32);
        QCOMPARE(int(copied.row(0)[3]), 0);                // a corner lies outside the ellipse
        QCOMPARE(int(copied.row(8)[4 * 10 + 3]), 255);     // the centre inside it
        QCOMPARE(copied.pixel(10, 8), source.pixel(15, 12) & 0xFFFFFFu);
    }

    void copyOfAVariationHoldsItsReducedColours() {
        ProgramOptions().Profiles[1].FileFormat = kProfileAlwaysGif;
        ProgramOptions().Profiles[1].GIFMaxColors = 16;
        const imaging::Bitmap source = gradient(48, 32);
        frmDocument* document = openPicture(source, "variation.png");
        QVERIFY(document);
        QVERIFY(document->record(1).Displayed);
        document->SelektiereGrafik(1);
        window_->Edit().Copy();
        const imaging::Bitmap copied = decoded(xclip({"-t", "image/png", "-o"}));
        QCOMPARE(copied.bits(), document->picCompress(1).BitmapBits());
        QVERIFY(copied.bits() <= 8);
        QVERIFY(samePixels(copied, document->picCompress(1).Bitmap()));
        QVERIFY(!samePixels(copied, source));
        QVERIFY(copied.uniqueColorCount() <= 16);
        ProgramOptions() = DefaultProgramOptions();
    }

    void pasteTakesWhatAnotherProgramPutThere_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("format");
        QTest::newRow("png") << "image/png" << 75;
        QTest::newRow("bmp") << "image/bmp" << 6;
    }

    void pasteTakesWhatAnotherProgramPutThere() {
        QFETCH(QString, target);
        QFETCH(int, format);
        frmDocument* document = openPicture(gradient(20, 20), "before.png");
        QVERIFY(document);
        const imaging::Bitmap pasted = gradient(33, 17, 99);
        QVERIFY(xclipIn(target, encoded(pasted, format)));
        QTRY_VERIFY(pictures().ClipboardHoldsPicture());
        const int encodesBefore = document->picCompress(1).EncodeCount();
        window_->Edit().Paste();
        QVERIFY2(prompts_.messages.isEmpty(), qPrintable(prompts_.messageTexts().join('|')));
        QVERIFY(prompts_.errors.isEmpty());
        QCOMPARE(undoSteps_, 1);
        QVERIFY(samePixels(document->picOriginal().Bitmap(), pasted));
        // Every shown Variation follows the new Original.
        QVERIFY(document->picCompress(1).EncodeCount() > encodesBefore);
        QCOMPARE(document->picCompress(1).BitmapWidth(), 33);
        QCOMPARE(document->picCompress(1).BitmapHeight(), 17);
    }

    void pasteRefusesWhatIsNoPicture_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("offered");
        QTest::newRow("text") << "UTF8_STRING" << QByteArray("just some words") << false;
        QTest::newRow("broken png") << "image/png" << QByteArray("\x89PNG\r\n\x1a\n broken beyond repair") << true;
        QByteArray bmp = encoded(gradient(8, 8), 6);
        bmp.truncate(40);
        QTest::newRow("truncated bmp") << "image/bmp" << bmp << true;
    }

    void pasteRefusesWhatIsNoPicture() {
        QFETCH(QString, target);
        QFETCH(QByteArray, data);
        QFETCH(bool, offered);
        const imaging::Bitmap before = gradient(20, 20);
        frmDocument* document = openPicture(before, "kept.png");
        QVERIFY(document);
        QVERIFY(xclipIn(target, data));
        // The paste check reads the data as Paste does: what Paste refuses is never offered.
        QTRY_COMPARE(pictures().ClipboardHoldsPicture(), false);
        window_->Edit().Paste();
        QCOMPARE(prompts_.messages.size(), 1);
        QVERIFY(prompts_.messages.first().text.startsWith("Could not paste: Invalid data on the clipboard"));
        QCOMPARE(prompts_.messages.first().title, ApplicationName());
        // A picture form that cannot be read says why.
        QCOMPARE(prompts_.messages.first().text.contains('\n'), offered);
        QVERIFY(prompts_.errors.isEmpty());
        QCOMPARE(undoSteps_, 0);
        QVERIFY(samePixels(document->picOriginal().Bitmap(), before));
    }

    void duplicateMakesANewDocumentOfOneFrame() {
        imaging::Image animation;
        for (int i = 0; i < 3; ++i) {
            imaging::Bitmap frame(16, 12, 8);
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 16; ++x) frame.setPixel(x, y, static_cast<std::uint32_t>((x + y + i) % 3));
            frame.palette()[0] = 0x0000FF;
            frame.palette()[1] = 0x00FF00;
            frame.palette()[2] = 0xFF0000;
            animation.frames.push_back(imaging::Frame{std::move(frame), 10});
        }
        imaging::SaveOptions options;
        options.format = 2;
        options.multiPage = true;
        const QString path = folder_.filePath("moving.gif");
        imaging::saveFile(path.toStdString(), animation, options);
        frmDocument* source = window_->Files().OpenImageFile(path);
        QVERIFY(source);
        QCOMPARE(source->picOriginal().BitmapListCount(), 3);
        source->picOriginal().SetBitmapListIndex(1);
        const imaging::Bitmap shown = source->picOriginal().Bitmap();

        window_->Edit().Duplicate();
        QCOMPARE(windowCount(), 2);
        frmDocument* copy = window_->ActiveDocument();
        QVERIFY(copy && copy != source);
        QVERIFY(copy->windowTitle() != source->windowTitle());
        QCOMPARE(copy->picOriginal().BitmapListCount(), 0);
        QVERIFY(!copy->GetOriginalAnimation());
        QVERIFY(samePixels(copy->picOriginal().Bitmap(), shown));
        QCOMPARE(copy->picCompress(1).BitmapWidth(), 16);
        QVERIFY(copy->picCompress(1).EncodeCount() > 0);
        // The source is left as it was.
        QCOMPARE(source->picOriginal().BitmapListCount(), 3);
        QCOMPARE(undoSteps_, 0);
    }
};

int main(int argc, char** argv) {
    kalmira::testing::XvfbServer server;
    if (!server.running()) {
        std::printf("SKIP: the clipboard tests need an X server: %s\n", server.reason().c_str());
        return 0;
    }
    server.useForQt();
    LanguageOffset = LanguageOffsetFromEnvironment();
    QApplication app(argc, argv);
    ClipboardTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "clipboard_test.moc"
