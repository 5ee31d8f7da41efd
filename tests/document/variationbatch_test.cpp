// Updating Variations on worker threads while the window goes on: the same bytes, pictures,
// records and messages as one Variation after another on the window's thread; progress in the
// status bar for a long update; a Variation asked for again restarts; closing the document in
// the middle of an update.
#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <memory>
#include <thread>

#include "fakemainwindow.h"
#include "test_pictures.h"
#include "codecs/registry.h"
#include "color/colorres.h"
#include "core/codec.h"
#include "core/parallel.h"
#include "document/documenthost.h"
#include "document/documentrules.h"
#include "document/frmdocument.h"
#include "settings/programoptions.h"
#include "common/errortrap.h"
#include "common/globals.h"
#include "common/routines.h"
#include "common/texts.h"

using namespace kalmira;

namespace {

class ProgressHost : public kalmira::testing::FakeMainWindow {
public:
    QStringList progress;  // "text done/total" of every ShowProgress
    int ended = 0;
    void ShowProgress(const QString& text, int done, int total) override {
        progress.append(QStringLiteral("%1 %2/%3").arg(text).arg(done).arg(total));
    }
    void EndProgress() override { ++ended; }
};

// Everything an update leaves in one Variation that a user or a save can see.
struct Outcome {
    QByteArray bytes;
    QByteArray pixels;
    QList<imaging::Rgb> palette;
    int format = -1, depth = -1, bits = -1;
    imaging::Rgb transparentColour = 0;
    bool transparent = false;
    qint64 fileSize = -1;
    QString caption;
    bool operator==(const Outcome&) const = default;
};

Outcome outcomeOf(frmDocument& doc, int i) {
    Outcome o;
    const VariationRecord& r = doc.record(i);
    if (r.MemHandle)
        o.bytes = QByteArray(reinterpret_cast<const char*>(r.MemHandle->data.data()), static_cast<qsizetype>(r.MemFileSize));
    const imaging::Bitmap& b = doc.picCompress(i).Bitmap();
    o.pixels = QByteArray(reinterpret_cast<const char*>(b.data().data()), static_cast<qsizetype>(b.data().size()));
    for (imaging::Rgb c : b.palette()) o.palette.append(c);
    o.format = r.Format;
    o.depth = r.PixelDepth;
    o.bits = doc.picCompress(i).InfoBits();
    o.transparentColour = r.GIFTransparentColor;
    o.transparent = b.transparent();
    o.fileSize = doc.picCompress(i).InfoFileSize();
    o.caption = doc.LabelCompress(i)->text();
    return o;
}

}  // namespace

class VariationBatchTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    ProgressHost host_;
    QStringList messages_;

    QString writeFile(const QString& name, const imaging::Image& image, int format) {
        const QString path = dir_.filePath(name);
        imaging::SaveOptions options;
        options.format = format;
        imaging::saveFile(path.toStdString(), image, options);
        return path;
    }

    // Opens a document as the main window's OpenImageFile does, in `area` when given.
    frmDocument* open(const QString& path, QMdiArea* area = nullptr) {
        auto* doc = new frmDocument();
        if (area) {
            QMdiSubWindow* window = area->addSubWindow(doc);
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->show();
        }
        doc->SetGrafikOriginalFileName(path);
        ApplyReady = false;
        auto& original = doc->picOriginal();
        if (original.FileInfo(path, 1000) != 0 || original.Load(path, 0, 0, -1) != 0) return nullptr;
        doc->SetOriginalAnimation(original.BitmapListCount() > 1, std::max(1, original.BitmapListCount()));
        ApplyReady = true;
        doc->InitialisiereGrafik(true);
        doc->picOriginalAendern();
        return doc;
    }

    std::vector<Outcome> outcomes(frmDocument& doc) {
        std::vector<Outcome> all;
        for (int i = 1; i <= 5; ++i) all.push_back(outcomeOf(doc, i));
        return all;
    }

private slots:
    void initTestCase() {
        InitApplication();
        frmDocument::SetMessageFunction([this](const QString& text, bool) { messages_.append(text); });
        SetReportPrompt([this](const QString&, const QString& message) {
            messages_.append(message);
            return ReportAnswer::Ok;
        });
        SetMainWindowHost(&host_);
        QVERIFY(dir_.isValid());
    }

    void init() {
        ProgramOptions() = DefaultProgramOptions();
        ProgramOptions().FitToWindow = 0;
        ProgramOptions().InitialOpenVariations = 5;
        host_ = ProgressHost();
        for (int i = 1; i <= 5; ++i) host_.toggles[i] = true;
        messages_.clear();
        ErrorTrapping = false;
        frmDocument::SetParallelUpdates(true);
        frmDocument::SetUpdateStepFunction({});
    }

    void cleanup() {
        frmDocument::SetParallelUpdates(true);
        frmDocument::SetWaitForUpdates(true);
        frmDocument::SetUpdateStepFunction({});
        ErrorTrapping = false;
        QTRY_COMPARE_WITH_TIMEOUT(imaging::threadsAtWork(), 0, 20000);
    }

    // The five built-in profiles (GIF-or-JPEG comparisons, GIF, JPEG, 4 and 2 bits) on a photo,
    // on flat stripes (where GIF wins the comparisons) and on a GIF with a transparent colour:
    // bytes, pixels, palettes, records and captions are the same both ways, on opening and
    // after the Original changed.
    void parallelUpdatesEqualOneAfterAnother_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("photo") << writeFile("photo.png", imaging::Image::fromBitmap(kalmira::testing::photo(160, 120)),
                                            imaging::format::Png);
        QTest::newRow("stripes") << writeFile(
            "stripes.png", imaging::Image::fromBitmap(kalmira::testing::stripes(150, 100, 12)), imaging::format::Png);
        imaging::Image gif = imaging::Image::fromBitmap(
            imaging::colorRes(kalmira::testing::stripes(90, 70, 40), 8, imaging::palette_kind::Optimized, 0, 0));
        gif.first().setTransparent(true);
        gif.first().setTransparentColor(imaging::kPaletteReference + 5);
        QTest::newRow("transparent gif") << writeFile("keyed.gif", gif, imaging::format::Gif);
    }

    void parallelUpdatesEqualOneAfterAnother() {
        QFETCH(QString, file);
        ErrorTrapping = true;
        const auto run = [&](bool parallel) {
            frmDocument::SetParallelUpdates(parallel);
            std::unique_ptr<frmDocument> doc(open(file));
            std::vector<std::vector<Outcome>> seen;
            if (!doc) return seen;
            seen.push_back(outcomes(*doc));
            doc->record(2).GIFTransparent = true;
            doc->record(2).GIFTransparentColor = imaging::makeRgb(250, 10, 10);
            // A PNG Variation's chosen transparent colour: the Original's top left colour.
            const imaging::Rgb corner = doc->picOriginal().Bitmap().toRgb24().pixel(0, 0);
            for (int i = 1; i <= 5; ++i)
                if (doc->record(i).Format == save_format::Png) {
                    doc->record(i).PNGTransparent = true;
                    doc->record(i).PNGTransparentColor = corner;
                }
            doc->picOriginal().Apply("Intensity", {20});
            doc->picOriginalAendern();
            seen.push_back(outcomes(*doc));
            return seen;
        };
        const auto parallel = run(true);
        const auto sequential = run(false);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
        QCOMPARE(parallel.size(), std::size_t(2));
        QCOMPARE(sequential.size(), std::size_t(2));
        for (std::size_t pass = 0; pass < 2; ++pass)
            for (int i = 0; i < 5; ++i) {
                const Outcome& a = parallel[pass][static_cast<std::size_t>(i)];
                const Outcome& b = sequential[pass][static_cast<std::size_t>(i)];
                QVERIFY2(!a.bytes.isEmpty(), qPrintable(QStringLiteral("Variation %1 not encoded").arg(i + 1)));
                QVERIFY2(a.bytes == b.bytes, qPrintable(QStringLiteral("pass %1 Variation %2").arg(pass).arg(i + 1)));
                QVERIFY(a.pixels == b.pixels);
                QCOMPARE(a.palette, b.palette);
                QCOMPARE(a.format, b.format);
                QCOMPARE(a.depth, b.depth);
                QCOMPARE(a.bits, b.bits);
                QCOMPARE(a.transparent, b.transparent);
                QCOMPARE(a.transparentColour, b.transparentColour);
                QCOMPARE(a.fileSize, b.fileSize);
                QCOMPARE(a.caption, b.caption);
            }
        // The comparisons chose both ways across the pictures; the transparent colour the
        // record asked for was moved onto the palette entry the encoding marks.
        if (QTest::currentDataTag() == QLatin1String("photo")) QCOMPARE(parallel[0][0].format, int(save_format::Jpeg));
        if (QTest::currentDataTag() == QLatin1String("stripes")) QCOMPARE(parallel[0][0].format, int(save_format::Gif));
        QVERIFY(parallel[1][1].transparent);
        QVERIFY(parallel[1][1].palette.contains(parallel[1][1].transparentColour));
    }

    // Animated GIF Variations are encoded on workers too: the call returns while their
    // encodings run, and every frame, palette, transparency, record and caption comes out as
    // the one-at-a-time round trip through a file left them.
    void animatedVariationsEncodeOnWorkers() {
        ErrorTrapping = true;
        for (int slot = 1; slot <= 5; ++slot) ProgramOptions().Profiles[static_cast<std::size_t>(slot)].FileFormat = kProfileAlwaysGif;
        imaging::Image animation;
        for (int f = 0; f < 3; ++f) {
            const imaging::Bitmap picture = f == 1 ? kalmira::testing::stripes(240, 180, 9) : kalmira::testing::photo(240 + f, 180);
            imaging::Bitmap frame = imaging::colorRes(picture, 8, imaging::palette_kind::Optimized, 0, 0);
            if (f == 1) {
                frame.setTransparent(true);
                frame.setTransparentColor(imaging::kPaletteReference + 3);
            }
            animation.frames.push_back(imaging::Frame{std::move(frame), 10 + f});
        }
        animation.loopCount = 2;
        QString file;
        {
            const QString path = dir_.filePath("animation.gif");
            imaging::SaveOptions options;
            options.format = imaging::format::Gif;
            options.multiPage = true;
            imaging::saveFile(path.toStdString(), animation, options);
            file = path;
        }
        struct Shown {
            QList<QByteArray> pixels;
            QList<QList<imaging::Rgb>> palettes;
            QList<imaging::Rgb> transparentColours;
            int frames = 0, bits = 0;
            qint64 fileSize = 0;
            imaging::Rgb recordColour = 0;
            QString caption;
            bool operator==(const Shown&) const = default;
        };
        const auto shown = [](frmDocument& doc, int i) {
            Shown s;
            const imaging::ImageControl& picture = doc.picCompress(i);
            for (const imaging::Frame& frame : picture.BitmapList()) {
                const imaging::Bitmap& b = frame.bitmap;
                s.pixels.append(QByteArray(reinterpret_cast<const char*>(b.data().data()), static_cast<qsizetype>(b.data().size())));
                QList<imaging::Rgb> palette;
                for (imaging::Rgb c : b.palette()) palette.append(c);
                s.palettes.append(palette);
                s.transparentColours.append(b.transparent() ? b.transparentColor() : imaging::Rgb(0xFFFFFFFF));
            }
            s.frames = picture.BitmapListCount();
            s.bits = picture.InfoBits();
            s.fileSize = picture.InfoFileSize();
            s.recordColour = doc.record(i).GIFTransparentColor;
            s.caption = doc.LabelCompress(i)->text();
            return s;
        };
        const auto run = [&](bool parallel) {
            frmDocument::SetParallelUpdates(parallel);
            std::vector<Shown> seen;
            std::unique_ptr<frmDocument> doc(open(file));
            if (!doc || !doc->GetOriginalAnimation()) return seen;
            for (int i = 1; i <= 5; ++i) {
                if (!doc->record(i).GIFAnimated) return seen;
                seen.push_back(shown(*doc, i));
            }
            // A frame of its own, a transparent colour to match, fewer colours, dithering.
            doc->record(2).PlayAnimation = false;
            doc->record(2).ImageNumber = 1;
            doc->record(3).GIFTransparent = true;
            doc->record(3).GIFTransparentColor = imaging::makeRgb(250, 10, 10);
            doc->record(3).ImageNumber = 2;
            doc->record(3).PlayAnimation = false;
            doc->record(4).PixelDepth = doc->record(4).PalettePixelDepth = 4;
            doc->record(5).DitheringMethod = 1;
            if (parallel) {
                frmDocument::SetWaitForUpdates(false);
                doc->AktualisiereVariationen({1, 2, 3, 4, 5});
                // The window's thread is back while the animations are encoded.
                const bool working = doc->UpdateRunning() && doc->EncodingsRunning() > 0;
                doc->WaitForUpdates();
                frmDocument::SetWaitForUpdates(true);
                if (!working) return std::vector<Shown>{};
            } else {
                doc->AktualisiereVariationen({1, 2, 3, 4, 5});
            }
            for (int i = 1; i <= 5; ++i) seen.push_back(shown(*doc, i));
            return seen;
        };
        const std::vector<Shown> parallel = run(true);
        const std::vector<Shown> sequential = run(false);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
        QCOMPARE(parallel.size(), std::size_t(10));
        QCOMPARE(sequential.size(), std::size_t(10));
        for (std::size_t k = 0; k < 10; ++k) {
            QCOMPARE(parallel[k].frames, 3);
            QVERIFY2(parallel[k] == sequential[k], qPrintable(QStringLiteral("Variation %1, pass %2").arg(k % 5 + 1).arg(k / 5)));
        }
        // The settings changed the outcome: 4 bits, and the colour moved onto an entry.
        QCOMPARE(parallel[8].bits, 4);
        QVERIFY(parallel[7].recordColour != imaging::makeRgb(250, 10, 10) || parallel[7].palettes[2].contains(imaging::makeRgb(250, 10, 10)));
        QVERIFY(parallel[7].transparentColours[2] != imaging::Rgb(0xFFFFFFFF));
    }

    // A Variation whose reduction fails and one whose format no encoder writes: the same
    // messages in the same order, and the other Variations are encoded all the same.
    void failuresOnWorkersGiveTheSameMessages() {
        ErrorTrapping = true;
        const QString file = writeFile("fail.png", imaging::Image::fromBitmap(kalmira::testing::photo(96, 64)), imaging::format::Png);
        const auto run = [&](bool parallel) {
            frmDocument::SetParallelUpdates(parallel);
            std::unique_ptr<frmDocument> doc(open(file));
            if (!doc) return QStringList{QStringLiteral("not opened")};
            messages_.clear();
            VariationRecord& bad = doc->record(1);
            bad.Format = save_format::Gif;
            bad.PixelDepth = bad.PalettePixelDepth = 8;
            bad.ColorPalette = 3;  // no such palette kind: the reduction refuses it
            VariationRecord& unwritable = doc->record(3);
            unwritable.Format = save_format::Jpeg;
            unwritable.PixelDepth = unwritable.PalettePixelDepth = 24;
            unwritable.JPEGQFactor = 1000;  // outside what the encoder takes
            doc->picOriginal().Apply("Invert", {});
            doc->picOriginalAendern();
            QStringList seen = messages_;
            for (int i : {2, 4, 5}) {
                if (!doc->record(i).MemHandle) seen.append(QStringLiteral("Variation %1 not encoded").arg(i));
            }
            seen.append(QString::number(doc->record(3).MemFileSize));
            messages_.clear();
            return seen;
        };
        const QStringList parallel = run(true);
        const QStringList sequential = run(false);
        QCOMPARE(parallel, sequential);
        QVERIFY2(parallel.size() >= 2, qPrintable(parallel.join('\n')));
        QVERIFY(parallel.first().contains(QStringLiteral("palette")) || parallel.first().contains(QStringLiteral("(9)")));
    }

    // An update that takes longer than a third of a second shows which Variation it waits
    // for and takes the progress away at its end; a short one shows none.
    void longUpdatesShowProgress() {
        ProgramOptions().InitialOpenVariations = 3;
        const QString file = writeFile("progress.png", imaging::Image::fromBitmap(kalmira::testing::photo(64, 48)), imaging::format::Png);
        // Three JPEG Variations of a small picture take a few milliseconds.
        for (int slot = 1; slot <= 3; ++slot) ProgramOptions().Profiles[static_cast<std::size_t>(slot)].FileFormat = kProfileAlwaysJpeg;
        std::unique_ptr<frmDocument> quick(open(file));
        QVERIFY(quick);
        QVERIFY2(host_.progress.isEmpty(), qPrintable(host_.progress.join('\n')));
        QCOMPARE(host_.ended, 0);

        frmDocument::SetUpdateStepFunction([](frmDocument&, int variation) {
            if (variation == 1) std::this_thread::sleep_for(std::chrono::milliseconds(400));
        });
        std::unique_ptr<frmDocument> slow(open(file));
        QVERIFY(slow);
        QCOMPARE(host_.progress.size(), 2);
        QCOMPARE(host_.progress.last(), QStringLiteral("Encoding Variation 3 of 3\u2026 2/3"));
        QCOMPARE(host_.progress.first(), LoadText(6750).arg(2).arg(3) + QStringLiteral(" 1/3"));
        QCOMPARE(host_.progress.first(), QStringLiteral("Encoding Variation 2 of 3\u2026 1/3"));
        QCOMPARE(host_.ended, 1);
        QVERIFY(slow->record(3).MemHandle);
    }

    // Closing the document's window while its Variations are encoded: it goes at once, the
    // encodings stop, nothing more is taken in, nothing leaks and no thread is left at work.
    void closingStopsTheUpdate_data() {
        QTest::addColumn<bool>("whileFirstEncodes");
        QTest::newRow("after the first Variation") << false;
        QTest::newRow("while the first encodes") << true;
    }

    void closingStopsTheUpdate() {
        QFETCH(bool, whileFirstEncodes);
        frmDocument::SetWaitForUpdates(false);
        const QString file = writeFile("close.png", imaging::Image::fromBitmap(kalmira::testing::photo(640, 480)), imaging::format::Png);
        const int blocksBefore = imaging::MemoryBlock::liveCount();
        QMdiArea area;
        area.show();
        QPointer<frmDocument> seen;
        QPointer<QMdiSubWindow> window;
        int stepsAfterClose = 0;
        bool closed = false;
        const auto closeIt = [&] {
            QVERIFY(seen);
            QVERIFY(seen->UpdateRunning());
            window = qobject_cast<QMdiSubWindow*>(seen->parentWidget());
            QVERIFY(window);
            QVERIFY(window->close());
            closed = true;
            // Nothing is left to wait for: the window is hidden and goes at the next turn.
            QVERIFY(window->isHidden());
            QVERIFY(!seen->UpdateRunning());
        };
        frmDocument::SetUpdateStepFunction([&](frmDocument& doc, int variation) {
            if (closed) ++stepsAfterClose;
            seen = &doc;
            if (!whileFirstEncodes && variation == 1) closeIt();
        });
        frmDocument* doc = open(file, &area);
        QVERIFY(doc);
        seen = doc;
        // The window's thread came back before the Variations were in.
        QVERIFY(doc->UpdateRunning());
        if (whileFirstEncodes) {
            QVERIFY(doc->EncodingsRunning() > 0);
            closeIt();
        }
        QTRY_VERIFY_WITH_TIMEOUT(closed, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(seen.isNull(), 5000);
        QVERIFY(window.isNull());
        QCOMPARE(stepsAfterClose, 0);
        QCOMPARE(imaging::MemoryBlock::liveCount(), blocksBefore);
        QCOMPARE(OpenDocumentCount, 0);
        // Stopped encodings end at their next step and let everything go.
        QTRY_COMPARE_WITH_TIMEOUT(imaging::threadsAtWork(), 0, 20000);
    }

    // Opening returns to the event loop at once: a timer started after the document opened
    // fires while its Variations are still encoded, and they come in one by one afterwards, in
    // order, as the update the window waited for left them.
    void theWindowDoesNotWaitForEncodings() {
        ErrorTrapping = true;
        const QString file = writeFile("large.png", imaging::Image::fromBitmap(kalmira::testing::photo(1200, 900)), imaging::format::Png);
        std::vector<Outcome> waited;
        {
            std::unique_ptr<frmDocument> doc(open(file));
            QVERIFY(doc);
            QVERIFY(!doc->UpdateRunning());
            waited = outcomes(*doc);
        }
        frmDocument::SetWaitForUpdates(false);
        std::vector<int> order;
        frmDocument::SetUpdateStepFunction([&](frmDocument&, int variation) { order.push_back(variation); });
        std::unique_ptr<frmDocument> doc(open(file));
        QVERIFY(doc);
        QVERIFY(doc->UpdateRunning());
        QVERIFY(order.empty());
        // A picture with nothing to show yet says it is being encoded.
        QCOMPARE(doc->LabelCompress(5)->text(), QStringLiteral("Being encoded\u2026"));
        bool runningWhenTimerFired = false;
        bool fired = false;
        QTimer::singleShot(0, this, [&] {
            fired = true;
            runningWhenTimerFired = doc->UpdateRunning();
        });
        QSignalSpy finished(doc.get(), &frmDocument::UpdatesFinished);
        QTRY_VERIFY_WITH_TIMEOUT(fired, 20000);
        QVERIFY(runningWhenTimerFired);
        QVERIFY(finished.wait(60000) || !doc->UpdateRunning());
        QVERIFY(!doc->UpdateRunning());
        QCOMPARE(order, (std::vector<int>{1, 2, 3, 4, 5}));
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
        const std::vector<Outcome> async = outcomes(*doc);
        for (std::size_t i = 0; i < 5; ++i) {
            QVERIFY2(async[i] == waited[i], qPrintable(QStringLiteral("Variation %1").arg(i + 1)));
            QVERIFY(!async[i].bytes.isEmpty());
        }
    }

    // The quality numbers of every caption come from the workers, the GIF-or-JPEG comparison's
    // winner's too: the window's thread measures nothing while the Variations come in.
    void qualityNumbersAreMeasuredOnWorkers() {
        ErrorTrapping = true;
        const QString file = writeFile("measured.png", imaging::Image::fromBitmap(kalmira::testing::photo(400, 300)), imaging::format::Png);
        const int before = frmDocument::WindowThreadQualityMeasurements();
        std::unique_ptr<frmDocument> doc(open(file));
        QVERIFY(doc);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
        // The photo's first Variation compared GIF with JPEG; every caption has its numbers.
        QCOMPARE(doc->record(1).Format, int(save_format::Jpeg));
        for (int i = 1; i <= 5; ++i)
            QVERIFY2(doc->LabelCompress(i)->text().contains(QStringLiteral("SSIM")), qPrintable(doc->LabelCompress(i)->text()));
        QCOMPARE(frmDocument::WindowThreadQualityMeasurements(), before);
    }

    // A Variation set up afresh may need the Original's colour count, which takes a while on a
    // photo: a worker counts, the call returns with nothing but the count at work, and the
    // Variations are set up and encoded once it is in, as when the window waited.
    void theFirstColourCountIsMadeOnAWorker() {
        ErrorTrapping = true;
        ProgramOptions().InitialOpenVariations = 2;
        for (int slot = 1; slot <= 5; ++slot) {
            OptimizeProfile& p = ProgramOptions().Profiles[static_cast<std::size_t>(slot)];
            p.FileFormat = kProfileAlwaysGif;
            p.GIFColorPalette = 2;
        }
        const QString file = writeFile("count.png", imaging::Image::fromBitmap(kalmira::testing::photo(900, 700)), imaging::format::Png);
        std::vector<Outcome> waited;
        {
            std::unique_ptr<frmDocument> doc(open(file));
            QVERIFY(doc);
            waited = {outcomeOf(*doc, 1), outcomeOf(*doc, 2)};
        }
        frmDocument::SetWaitForUpdates(false);
        std::unique_ptr<frmDocument> doc(open(file));
        QVERIFY(doc);
        QVERIFY(doc->UpdateRunning());
        QCOMPARE(doc->record(1).Initialised, 0);
        QCOMPARE(doc->record(2).Initialised, 0);
        QCOMPARE(doc->EncodingsRunning(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!doc->UpdateRunning(), 60000);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
        QCOMPARE(doc->record(1).Initialised, 1);
        QVERIFY(outcomeOf(*doc, 1) == waited[0]);
        QVERIFY(outcomeOf(*doc, 2) == waited[1]);
        QVERIFY(waited[0].depth <= 8);
    }

    // Saving a Variation while its new encoding is being made writes that encoding, not the
    // picture still shown encoded once more; the window's thread keeps running meanwhile.
    void savingWaitsForTheEncodingInWork() {
        ErrorTrapping = true;
        for (int slot = 1; slot <= 5; ++slot) ProgramOptions().Profiles[static_cast<std::size_t>(slot)].FileFormat = kProfileAlwaysJpeg;
        const QString file = writeFile("save.png", imaging::Image::fromBitmap(kalmira::testing::photo(600, 400)), imaging::format::Png);
        std::unique_ptr<frmDocument> doc(open(file));
        QVERIFY(doc);
        frmDocument::SetWaitForUpdates(false);
        doc->record(3).JPEGQFactor = 256 - 20;
        doc->AktualisiereVariation(3);
        QVERIFY(doc->UpdatePending(3));
        const QString target = dir_.filePath("saved.jpg");
        QCOMPARE(doc->SaveVariationFile(3, target), 0);
        QVERIFY(!doc->UpdatePending(3));
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QCOMPARE(bytes, outcomeOf(*doc, 3).bytes);
        QVERIFY(doc->record(3).MemFileSize < doc->record(1).MemFileSize);
    }

    // Showing more Variations while the first is in encodes only those: the first keeps its
    // encoding, which the format comparison left (the same bytes as when it is encoded alone).
    void showingMoreVariationsLeavesTheOthers() {
        ErrorTrapping = true;
        ProgramOptions().InitialOpenVariations = 1;
        const QString file = writeFile("more.png", imaging::Image::fromBitmap(kalmira::testing::photo(500, 360)), imaging::format::Png);
        frmDocument::SetWaitForUpdates(false);
        std::vector<int> order;
        frmDocument::SetUpdateStepFunction([&](frmDocument&, int variation) { order.push_back(variation); });
        std::unique_ptr<frmDocument> doc(open(file));
        QVERIFY(doc);
        QTRY_VERIFY_WITH_TIMEOUT(!doc->UpdateRunning(), 60000);
        const Outcome first = outcomeOf(*doc, 1);
        for (int i = 2; i <= 5; ++i) {
            // As the main window's toggle does it.
            host_.toggles[i] = true;
            doc->SetGrafikAnzeigen(i, true);
            doc->AktualisiereVariation(i);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!doc->UpdateRunning(), 60000);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
        QCOMPARE(order, (std::vector<int>{1, 2, 3, 4, 5}));
        QVERIFY(outcomeOf(*doc, 1) == first);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
    }

    // Captions laid out while the Variations were still being encoded are shorter than those
    // that come in (size, format, share, PSNR, SSIM, time): once they are in, no caption is cut
    // by its picture.
    void captionsThatCameInLongerAreLaidOutAgain() {
        ErrorTrapping = true;
        ProgramOptions().InitialOpenVariations = 2;
        for (int slot = 1; slot <= 5; ++slot) ProgramOptions().Profiles[static_cast<std::size_t>(slot)].FileFormat = kProfileAlwaysJpeg;
        // Narrow enough that a Variation's caption takes several lines.
        const QString file = writeFile("narrow.png", imaging::Image::fromBitmap(kalmira::testing::photo(150, 90)), imaging::format::Png);
        frmDocument::SetWaitForUpdates(false);
        std::unique_ptr<frmDocument> doc(open(file));
        QVERIFY(doc);
        doc->show();
        QTRY_VERIFY_WITH_TIMEOUT(!doc->UpdateRunning(), 60000);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
        for (int i = 1; i <= 2; ++i) {
            QLabel* label = doc->LabelCompress(i);
            QVERIFY(label->text().contains(QStringLiteral("JPEG")));
            QVERIFY2(label->height() >= label->heightForWidth(label->width()),
                     qPrintable(QStringLiteral("Variation %1: %2 px for %3 px of text").arg(i).arg(label->height()).arg(label->heightForWidth(label->width()))));
        }
    }

    // A setting changed ten times while the Variations encode: the Variation ends with the
    // last setting's encoding (the same as when it is encoded alone), the stale ones are
    // dropped without being taken in, and it never has two encodings at once.
    void askingAgainRestartsOnlyThatVariation() {
        ErrorTrapping = true;
        for (int slot = 1; slot <= 5; ++slot) ProgramOptions().Profiles[static_cast<std::size_t>(slot)].FileFormat = kProfileAlwaysJpeg;
        const QString file = writeFile("restart.png", imaging::Image::fromBitmap(kalmira::testing::photo(800, 600)), imaging::format::Png);
        frmDocument::SetWaitForUpdates(false);
        std::vector<int> order;
        frmDocument::SetUpdateStepFunction([&](frmDocument&, int variation) { order.push_back(variation); });
        std::unique_ptr<frmDocument> doc(open(file));
        QVERIFY(doc);
        QVERIFY(doc->UpdateRunning());
        int mostAtOnce = 0;
        for (int quality = 10; quality <= 100; quality += 10) {
            doc->record(2).JPEGQFactor = 256 - quality;
            doc->AktualisiereVariation(2);
            mostAtOnce = std::max(mostAtOnce, doc->EncodingsRunning());
            QCoreApplication::processEvents();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!doc->UpdateRunning(), 60000);
        // Each Variation was taken in once; Variation 2 kept its place.
        QCOMPARE(order, (std::vector<int>{1, 2, 3, 4, 5}));
        // Five Variations at most, one each: the stale encodings of Variation 2 never ran
        // beside its next one.
        QVERIFY2(mostAtOnce <= 5, qPrintable(QString::number(mostAtOnce)));
        const Outcome last = outcomeOf(*doc, 2);
        QCOMPARE(doc->record(2).JPEGQFactor, 256 - 100);
        QVERIFY(!last.bytes.isEmpty());

        frmDocument::SetWaitForUpdates(true);
        std::unique_ptr<frmDocument> alone(open(file));
        QVERIFY(alone);
        alone->record(2).JPEGQFactor = 256 - 100;
        alone->AktualisiereVariation(2);
        QVERIFY(last == outcomeOf(*alone, 2));
        QVERIFY(outcomeOf(*alone, 2) != outcomeOf(*alone, 1));
    }
};

QTEST_MAIN(VariationBatchTest)
#include "variationbatch_test.moc"
