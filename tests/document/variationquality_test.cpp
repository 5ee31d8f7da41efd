// The quality numbers in a Variation's caption: where they stand, what they say, when they
// are left out.
#include <QLocale>
#include <QTemporaryDir>
#include <QApplication>
#include <QLabel>
#include <QtTest>

#include <cmath>
#include <memory>

#include "budget/ssimtarget.h"
#include "codecs/registry.h"
#include "color/colorres.h"
#include "document/documenthost.h"
#include "document/frmdocument.h"
#include "quality/transparency.h"
#include "settings/programoptions.h"
#include "settings/qualityoptions.h"
#include "common/globals.h"
#include "common/texts.h"

using namespace kalmira;

namespace {

imaging::Bitmap gradient(int width, int height) {
    imaging::Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.setPixel(x, y, imaging::makeRgb(x * 255 / width, y * 255 / height, ((x * 7) ^ (y * 5)) & 0xFF));
    return b;
}

// Four flat colours in blocks: a GIF keeps them exactly.
imaging::Bitmap blocks(int width, int height) {
    imaging::Bitmap b(width, height, 24);
    const imaging::Rgb colours[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0x808080};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) b.setPixel(x, y, colours[(x / 16 + y / 16) % 4]);
    return b;
}

// An icon with an alpha channel: clear corners, a soft ring, an opaque middle.
imaging::Bitmap icon(int size) {
    imaging::Bitmap b(size, size, 32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            std::uint8_t* p = b.row(y) + 4 * x;
            const int d = std::abs(x - size / 2) + std::abs(y - size / 2);
            p[0] = static_cast<std::uint8_t>(200 - x), p[1] = 40, p[2] = static_cast<std::uint8_t>(y * 3);
            p[3] = d > size / 2 ? 0 : d > size / 2 - 3 ? 100 : 255;
        }
    return b;
}

}  // namespace

class VariationQualityTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    std::unique_ptr<frmDocument> open(const imaging::Bitmap& picture, std::int16_t profile) {
        const QString path = dir_.filePath(QStringLiteral("picture.png"));
        imaging::SaveOptions png;
        png.format = imaging::format::Png;
        imaging::saveFile(path.toStdString(), imaging::Image::fromBitmap(picture), png);
        for (int slot = 1; slot <= 5; ++slot) ProgramOptions().Profiles[static_cast<std::size_t>(slot)].FileFormat = profile;
        auto doc = std::make_unique<frmDocument>();
        doc->SetGrafikOriginalFileName(path);
        ApplyReady = false;
        if (doc->picOriginal().FileInfo(path, 1000) != 0 || doc->picOriginal().Load(path, 0, 0, -1) != 0) return nullptr;
        ApplyReady = true;
        doc->InitialisiereGrafik(true);
        doc->picOriginalAendern();
        return doc;
    }

private slots:
    void initTestCase() {
        qputenv("KALMIRA_LANGUAGE", "en");
        InitApplication();
        LanguageOffset = 0;
        ErrorTrapping = false;
        frmDocument::SetMessageFunction([](const QString& text, bool) { QFAIL(qPrintable(text)); });
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(dir_.isValid());
    }

    void init() {
        ProgramOptions() = DefaultProgramOptions();
        ProgramOptions().FitToWindow = 0;
        QualityOptions() = QualityOptionsRecord();
        LanguageOffset = 0;
    }

    void jpegCaptionCarriesMeasuredNumbersAfterTheShare() {
        auto doc = open(gradient(160, 120), kProfileAlwaysJpeg);
        QVERIFY(doc);
        const imaging::QualityScore q =
            imaging::measureQuality(doc->picOriginal().Bitmap(), doc->picCompress(1).Bitmap());
        QVERIFY(q.psnr > 20 && q.psnr < 60);
        QVERIFY(q.ssim > 0.5 && q.ssim < 1.0);
        const QString part = QStringLiteral("%, PSNR %1 dB, SSIM %2, ")
                                 .arg(QString::number(q.psnr, 'f', 1), QString::number(q.ssim, 'f', 3));
        const QString caption = doc->LabelCompress(1)->text();
        QVERIFY2(caption.contains(part) && caption.endsWith(QStringLiteral("sec.")), qPrintable(caption));
        QVERIFY2(caption.contains(QStringLiteral(" Bytes, JPEG, 24 Bits, ")), qPrintable(caption));
    }

    void exactPaletteIsLosslessInBothLanguages() {
        auto doc = open(blocks(64, 64), kProfileAlwaysGif);
        QVERIFY(doc);
        const std::optional<imaging::QualityScore> q = doc->VariationQuality(1);
        QVERIFY(q && std::isinf(q->psnr));
        QCOMPARE(q->ssim, 1.0);
        QVERIFY2(doc->LabelCompress(1)->text().contains(QStringLiteral("%, PSNR lossless, SSIM 1.000, ")),
                 qPrintable(doc->LabelCompress(1)->text()));
        LanguageOffset = kGermanLanguageOffset;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        doc->AktualisiereMemInfo(1);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY2(doc->LabelCompress(1)->text().contains(QStringLiteral("%, PSNR verlustfrei, SSIM 1,000, ")),
                 qPrintable(doc->LabelCompress(1)->text()));
    }

    void switchedOffOrNotComparableLeavesThemOut() {
        auto doc = open(gradient(96, 64), kProfileAlwaysJpeg);
        QVERIFY(doc);
        QVERIFY(doc->LabelCompress(1)->text().contains(QStringLiteral("PSNR")));
        QualityOptions().QualityNumbers = false;
        doc->AktualisiereMemInfo(1);
        QVERIFY(!doc->LabelCompress(1)->text().contains(QStringLiteral("PSNR")));
        QVERIFY(doc->LabelCompress(1)->text().contains(QLatin1Char('%')));

        // The Original resized while the Variation still shows the old size: nothing is
        // compared, nothing is read beyond either picture.
        QualityOptions().QualityNumbers = true;
        doc->picOriginal().SetBitmap(gradient(50, 40));
        QVERIFY(!doc->VariationQuality(1).has_value());
        doc->AktualisiereMemInfo(1);
        QVERIFY(!doc->LabelCompress(1)->text().contains(QStringLiteral("PSNR")));
        // Once encoded again the numbers return, measured on the new size.
        doc->AktualisiereVariation(1);
        QVERIFY2(doc->LabelCompress(1)->text().contains(QStringLiteral("PSNR")), qPrintable(doc->LabelCompress(1)->text()));
    }

    void transparentIconKeepsItsAlphaAndAJpegSaysItIsLost() {
        // Every profile that would have made a JPEG or an opaque GIF of it makes a 32-bit PNG.
        auto doc = open(icon(40), kProfileAlwaysJpeg);
        QVERIFY(doc);
        QCOMPARE(doc->record(1).Format, save_format::Png);
        QCOMPARE(doc->record(1).PixelDepth, 32);
        // Every alpha value kept: the same on any page, a white one or a black one.
        const imaging::QualityScore kept = imaging::measureQuality(doc->picOriginal().Bitmap(), doc->picCompress(1).Bitmap());
        QVERIFY(std::isinf(kept.psnr));
        QVERIFY(imaging::hasTransparency(doc->picCompress(1).Bitmap()));
        QString caption = doc->LabelCompress(1)->text();
        QVERIFY2(caption.contains(QStringLiteral(" Bytes, PNG, 32 Bits, ")) && caption.contains(QStringLiteral("PSNR lossless")) &&
                     !caption.contains(QStringLiteral("transparency")),
                 qPrintable(caption));

        // Made a JPEG by hand: blended on white it matches the white page, but it has lost the
        // transparency, and the caption says so instead of "lossless".
        doc->record(1).Format = save_format::Jpeg;
        doc->record(1).PixelDepth = doc->record(1).PalettePixelDepth = 24;
        doc->AktualisiereVariation(1);
        QVERIFY(!imaging::hasTransparency(doc->picCompress(1).Bitmap()));
        const std::optional<imaging::QualityScore> q = doc->VariationQuality(1);
        QVERIFY(q && !std::isinf(q->psnr) && q->psnr < 20);
        caption = doc->LabelCompress(1)->text();
        QVERIFY2(caption.contains(QStringLiteral(" Bytes, JPEG, 24 Bits, ")) && !caption.contains(QStringLiteral("lossless")) &&
                     caption.contains(QStringLiteral(", transparency lost")),
                 qPrintable(caption));
        // Said even with the quality numbers switched off, and in German.
        QualityOptions().QualityNumbers = false;
        LanguageOffset = kGermanLanguageOffset;
        doc->AktualisiereMemInfo(1);
        QVERIFY2(doc->LabelCompress(1)->text().contains(QStringLiteral(", Transparenz verloren")),
                 qPrintable(doc->LabelCompress(1)->text()));
    }

    void byteBudgetSetsTheRecordAndEncodesWithIt() {
        auto doc = open(gradient(120, 90), kProfileAlwaysJpeg);
        QVERIFY(doc);
        const std::int64_t before = doc->record(1).MemFileSize;
        const frmDocument::BudgetOutcome fit = doc->FitVariationToBudget(1, before / 2);
        QVERIFY(fit.applicable && fit.fits);
        QVERIFY(fit.bytes <= before / 2);
        QCOMPARE(doc->record(1).MemFileSize, fit.bytes);  // the Variation shows that very encoding
        QCOMPARE(256 - doc->record(1).JPEGQFactor, fit.quality);
        QVERIFY(fit.encodes >= 1 && fit.encodes <= 8);

        // Nothing fits: the smallest stays, and the outcome says so.
        const frmDocument::BudgetOutcome none = doc->FitVariationToBudget(1, 50);
        QVERIFY(none.applicable && !none.fits);
        QVERIFY(none.bytes > 50);
        QCOMPARE(doc->record(1).MemFileSize, none.bytes);

        // GIF: the colour count of the optimised palette.
        auto gif = open(gradient(64, 48), kProfileAlwaysGif);
        QVERIFY(gif);
        const std::int64_t full = gif->record(1).MemFileSize;
        const frmDocument::BudgetOutcome colours = gif->FitVariationToBudget(1, full * 2 / 3);
        QVERIFY(colours.applicable && colours.fits);
        QVERIFY(colours.colors >= 2 && colours.colors < 256);
        QCOMPARE(gif->record(1).MaxColorsText, QString::number(colours.colors));
        QVERIFY(gif->record(1).MemFileSize <= full * 2 / 3);

        // A format without a setting to search is left alone.
        gif->record(1).Format = save_format::Bmp;
        QVERIFY(!gif->FitVariationToBudget(1, 1000).applicable);
    }

    // The SSIM target's search runs off the window's thread: the call returns at once, the
    // event loop goes on, and the outcome is the engine's own search on the same picture.
    // Asked again while it runs, the Variation keeps one search at work: the waiting search
    // a third request replaces and the running one are told they were superseded, and only
    // the last one's setting reaches the record.
    void ssimTargetSearchRunsOffTheWindowThread() {
        auto doc = open(gradient(160, 120), kProfileAlwaysJpeg);
        QVERIFY(doc);
        const SaveOptions options = doc->HoleSpeicherOptionen(1);
        const imaging::ImageControl& picture = doc->picCompress(1);
        imaging::SaveOptions base;
        base.format = options.FormatNumber;
        base.bits = options.BitsPerPixel;
        base.passes = picture.ProgressivePasses();
        base.interlaced = picture.Interlaced();
        base.fastJpeg = picture.FastJpeg();
        base.effort = doc->record(1).WebEffort;
        const imaging::Bitmap original = doc->picOriginal().Bitmap();
        const imaging::Bitmap reduced = imaging::colorRes(original, options.BitsPerPixel, 0, 0, 0);
        const imaging::SsimTargetResult at95 = imaging::fitQualityToSsim(original, reduced, base, 0.95);
        const imaging::SsimTargetResult at99 = imaging::fitQualityToSsim(original, reduced, base, 0.99);
        QVERIFY(at95.options.qualityFactor != at99.options.qualityFactor);

        bool fired = false, firedFirst = false, called = false;
        frmDocument::SsimOutcome got;
        QTimer::singleShot(0, this, [&] { fired = true; });
        doc->FitVariationToSsim(1, 0.95, [&](const frmDocument::SsimOutcome& o) {
            firedFirst = fired;
            got = o;
            called = true;
        });
        QVERIFY(!called);
        QTRY_VERIFY_WITH_TIMEOUT(called, 30000);
        QVERIFY(firedFirst);
        QVERIFY(got.applicable && !got.superseded);
        QCOMPARE(got.reached, at95.reached);
        QCOMPARE(got.ssim, at95.ssim);
        QCOMPARE(got.quality, 256 - at95.options.qualityFactor);
        QCOMPARE(doc->record(1).JPEGQFactor, at95.options.qualityFactor);
        QCOMPARE(got.bytes, doc->record(1).MemFileSize);

        // A byte budget, then two SSIM targets, asked for at once.
        QStringList order;
        frmDocument::BudgetOutcome budget;
        frmDocument::SsimOutcome replaced, last;
        doc->FitVariationToBudget(1, 500, [&](const frmDocument::BudgetOutcome& o) {
            budget = o;
            order.append(QStringLiteral("budget"));
        });
        doc->FitVariationToSsim(1, 0.5, [&](const frmDocument::SsimOutcome& o) {
            replaced = o;
            order.append(QStringLiteral("0.5"));
        });
        QCOMPARE(doc->EncodingsRunning(), 1);
        doc->FitVariationToSsim(1, 0.99, [&](const frmDocument::SsimOutcome& o) {
            last = o;
            order.append(QStringLiteral("0.99"));
        });
        QCOMPARE(order, QStringList{QStringLiteral("0.5")});
        QVERIFY(replaced.superseded && !replaced.applicable);
        QVERIFY(doc->EncodingsRunning() <= 1);
        QTRY_COMPARE_WITH_TIMEOUT(order.size(), 3, 30000);
        QCOMPARE(order, (QStringList{QStringLiteral("0.5"), QStringLiteral("budget"), QStringLiteral("0.99")}));
        QVERIFY(budget.superseded && !budget.applicable);
        QVERIFY(last.applicable && !last.superseded);
        QCOMPARE(last.ssim, at99.ssim);
        QCOMPARE(doc->record(1).JPEGQFactor, at99.options.qualityFactor);
        QCOMPARE(last.bytes, doc->record(1).MemFileSize);
    }

    // The search measures the encoding the Variation will have: an interlaced GIF and a
    // progressive JPEG are searched as such, so what is said to fit does fit, budget after budget.
    void byteBudgetSearchesTheEncodingAsItWillBeWritten() {
        auto gif = open(gradient(64, 48), kProfileAlwaysGif);
        QVERIFY(gif);
        gif->record(1).GIFInterlaced = true;
        gif->AktualisiereVariation(1);
        const std::int64_t full = gif->record(1).MemFileSize;
        int checked = 0;
        for (int tenth : {3, 6, 9}) {
            const std::int64_t budget = full * tenth / 10;
            const frmDocument::BudgetOutcome fit = gif->FitVariationToBudget(1, budget);
            QVERIFY(fit.applicable);
            QVERIFY(gif->picCompress(1).Interlaced());
            QCOMPARE(gif->record(1).MemFileSize, fit.bytes);
            if (fit.fits) {
                ++checked;
                QVERIFY2(fit.bytes <= budget, qPrintable(QStringLiteral("%1 colours: %2 bytes over a budget of %3")
                                                             .arg(fit.colors).arg(fit.bytes).arg(budget)));
            }
        }
        QVERIFY(checked >= 2);
        auto jpeg = open(gradient(96, 72), kProfileAlwaysJpeg);
        QVERIFY(jpeg);
        jpeg->record(1).JPEGProgressive = 1;
        jpeg->record(1).JPEGPasses = 3;
        jpeg->AktualisiereVariation(1);
        const std::int64_t start = jpeg->record(1).MemFileSize;
        for (int tenth : {5}) {
            const std::int64_t budget = start * tenth / 10;
            const frmDocument::BudgetOutcome fit = jpeg->FitVariationToBudget(1, budget);
            QVERIFY(fit.applicable && fit.fits);
            QCOMPARE(jpeg->record(1).MemFileSize, fit.bytes);
            QVERIFY2(fit.bytes <= budget, qPrintable(QStringLiteral("quality %1: %2 bytes over a budget of %3")
                                                         .arg(fit.quality).arg(fit.bytes).arg(budget)));
        }
    }
};

// Runs straight from the build folder too: no display, English texts.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KALMIRA_LANGUAGE", "en");
    QApplication app(argc, argv);
    VariationQualityTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "variationquality_test.moc"
