// The document window driven as the main window drives it: open a generated image, let the
// Variations encode, read captions, status panels, records and save options.
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "codecs/registry.h"
#include "core/codec.h"
#include "document/documenthost.h"
#include "document/documentlayout.h"
#include "document/documentrules.h"
#include "document/frmdocument.h"
#include "settings/frmoptions.h"
#include "settings/programoptions.h"
#include "settings/qualityoptions.h"
#include "common/apperror.h"
#include "common/globals.h"
#include "common/routines.h"
#include "fakemainwindow.h"
#include "test_pictures.h"

using namespace kalmira;

namespace {

using kalmira::testing::FakeMainWindow;
using kalmira::testing::photo;
using kalmira::testing::stripes;

class FakeTools : public ToolsHost {
public:
    VariationTabValues values;
    bool bmpChecked = false;
    bool tiffChecked = false;
    int filled = 0;

    void FuelleReiterVariation(frmDocument&, int) override { ++filled; }
    void FuelleReiterOriginal(frmDocument&) override {}
    VariationTabValues ReadVariationTab() const override { return values; }
    bool IsBMPCompressedChecked() const override { return bmpChecked; }
    bool IsTIFFCompressedChecked() const override { return tiffChecked; }
};

// A tools window whose filling fails, as any step of it may.
class FailingTools : public FakeTools {
public:
    bool failOriginal = false;
    void FuelleReiterVariation(frmDocument&, int) override { throw AppError(5, "fill failed"); }
    void FuelleReiterOriginal(frmDocument&) override {
        if (failOriginal) throw AppError(5, "fill failed");
    }
};

imaging::Bitmap indexed(const imaging::Bitmap& rgb, int bits) {
    // Palette of the colours in order of appearance; the test pictures have few of them.
    imaging::Bitmap out(rgb.width(), rgb.height(), bits);
    std::vector<imaging::Rgb> seen;
    for (int y = 0; y < rgb.height(); ++y)
        for (int x = 0; x < rgb.width(); ++x) {
            const imaging::Rgb c = rgb.pixel(x, y);
            auto it = std::find(seen.begin(), seen.end(), c);
            if (it == seen.end()) {
                seen.push_back(c);
                it = seen.end() - 1;
            }
            out.setPixel(x, y, static_cast<std::uint32_t>(it - seen.begin()));
        }
    for (std::size_t i = 0; i < seen.size(); ++i) out.palette()[i] = seen[i];
    return out;
}

void setAllProfiles(std::int16_t fileFormat, std::int16_t maxDepth = 8) {
    for (int slot = 1; slot <= 5; ++slot) {
        ProgramOptions().Profiles[static_cast<std::size_t>(slot)].FileFormat = fileFormat;
        ProgramOptions().Profiles[static_cast<std::size_t>(slot)].GIFMaxPixelDepth = maxDepth;
        ProgramOptions().Profiles[static_cast<std::size_t>(slot)].GIFColorPalette = 2;
        ProgramOptions().Profiles[static_cast<std::size_t>(slot)].GIFMaxColors = 256;
    }
}

}  // namespace

class FrmDocumentTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    FakeMainWindow host_;

    QString writeFile(const QString& name, const imaging::Image& image, int format) {
        const QString path = dir_.filePath(name);
        imaging::SaveOptions options;
        options.format = format;
        options.qualityFactor = 56;
        options.multiPage = image.frames.size() > 1;
        imaging::saveFile(path.toStdString(), image, options);
        return path;
    }

    // Opens a document as the main window's OpenImageFile does.
    std::unique_ptr<frmDocument> open(const QString& path) {
        auto doc = std::make_unique<frmDocument>();
        doc->SetGrafikOriginalFileName(path);
        ApplyReady = false;
        auto& original = doc->picOriginal();
        if (original.FileInfo(path, 1000) != 0) return nullptr;
        if (original.Load(path, 0, 0, -1) != 0) return nullptr;
        doc->SetOriginalAnimation(original.BitmapListCount() > 1, std::max(1, original.BitmapListCount()));
        ApplyReady = true;
        doc->InitialisiereGrafik(true);
        doc->picOriginalAendern();
        return doc;
    }

private slots:
    void initTestCase() {
        InitApplication();
        ErrorTrapping = false;  // an error fails the test instead of opening a report box
        frmDocument::SetMessageFunction([](const QString& text, bool) { QFAIL(qPrintable(text)); });
        SetMainWindowHost(&host_);
        QVERIFY(dir_.isValid());
    }

    void init() {
        ProgramOptions() = DefaultProgramOptions();
        ProgramOptions().FitToWindow = 0;
        host_ = FakeMainWindow();
        SetToolsHost(nullptr);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void captionHasExactText_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("original");
        QTest::addColumn<QString>("variation");
        QTest::addColumn<QString>("download");
        // The Original is a 4-bit BMP of 300 x 200: 54 + 16 * 4 + 200 * 152 = 30,518 bytes, and
        // 30,518 / 28,800 * 9 = 9.54 s. The Variation is the same picture as a 4-bit GIF of
        // 1,919 bytes (our encoder's output for these stripes): 6 % and 0.6 s.
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates)
                               << "30,518 Bytes, 4 Bits, 9.5 sec." << "1,919 Bytes, GIF, 4 Bits, 6%, 0.6sec." << "0.6 sec. (at 28.8kbps)";
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany)
                               << "30.518 Bytes, 4 Bits, 9,5 sec." << "1.919 Bytes, GIF, 4 Bits, 6%, 0,6sec." << "0,6 sec. (at 28,8kbps)";
    }

    void captionHasExactText() {
        QFETCH(QLocale, locale);
        QFETCH(QString, original);
        QFETCH(QString, variation);
        QFETCH(QString, download);
        QLocale::setDefault(locale);
        // The caption exactly as it stands without the quality numbers (their own test adds them).
        QualityOptions().QualityNumbers = false;
        struct Restore {
            ~Restore() { QualityOptions() = QualityOptionsRecord(); }
        } restore;
        setAllProfiles(kProfileAlwaysGif);
        const QString path =
            writeFile("stripes.bmp", imaging::Image::fromBitmap(indexed(stripes(300, 200, 16), 4)), imaging::format::BmpWindows);
        QCOMPARE(QFileInfo(path).size(), 30518);
        auto doc = open(path);
        QVERIFY(doc);

        QCOMPARE(doc->LabelOriginal()->text(), original);
        QCOMPARE(doc->LabelCompress(1)->text(), variation);

        // The status bar follows the selected picture.
        doc->SelektiereGrafik(1);
        QCOMPARE(doc->FindeSelektierteGrafik(), 1);
        QCOMPARE(host_.panels["PanelMemSize"], "FileSize: " + QString::number(doc->record(1).MemFileSize));
        QCOMPARE(host_.panels["PanelFileSize"], "MemSize: " + QString::number(doc->picCompress(1).InfoMemorySize()));
        QCOMPARE(host_.panels["PanelDownloadSpeed"], download);
    }

    // The options dialog's download speed stands in every caption at once, the Original's too:
    // 30,518 / 128,000 * 9 = 2.1 s.
    void downloadSpeedFromTheOptionsReachesTheOriginalsCaption() {
        QualityOptions().QualityNumbers = false;
        struct Restore {
            ~Restore() { QualityOptions() = QualityOptionsRecord(); }
        } restore;
        setAllProfiles(kProfileAlwaysGif);
        const QString path =
            writeFile("speed.bmp", imaging::Image::fromBitmap(indexed(stripes(300, 200, 16), 4)), imaging::format::BmpWindows);
        auto doc = open(path);
        QVERIFY(doc);
        QCOMPARE(doc->LabelOriginal()->text(), QStringLiteral("30,518 Bytes, 4 Bits, 9.5 sec."));
        frmOptions dialog;
        auto* speed = dialog.findChild<QComboBox*>(QStringLiteral("cmbDownloadSpeed"));
        QVERIFY(speed);
        speed->setCurrentIndex(8);
        dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        QCOMPARE(ProgramOptions().DownloadSpeed, 128000);
        QCOMPARE(doc->LabelOriginal()->text(), QStringLiteral("30,518 Bytes, 4 Bits, 2.1 sec."));
    }

    void downloadTimeAndPastedCaptions() {
        QCOMPARE(FormatOneDecimal(DownloadSeconds(12800, 28800)), QString("4.0"));
        // Nine bits a byte; no speed (0 or less) gives no time rather than an endless one.
        QCOMPARE(DownloadSeconds(1000, 1), 9000.0f);
        QCOMPARE(DownloadSeconds(3200, 28800), 1.0f);
        QCOMPARE(DownloadSeconds(0, 28800), 0.0f);
        QCOMPARE(DownloadSeconds(1000, 0), 0.0f);
        QCOMPARE(DownloadSeconds(1000, -5), 0.0f);
        // A pasted or new image has no file: no percentage, and the Original's caption is empty.
        QCOMPARE(VariationCaption(12345, "GIF", 8, 0, 3.4f), QString("12,345 Bytes, GIF, 8 Bits, 3.4sec."));
        QCOMPARE(VariationCaption(12345, "GIF", 8, 26838, 3.4f), QString("12,345 Bytes, GIF, 8 Bits, 46%, 3.4sec."));
        QCOMPARE(VariationCaption(1234567, "JPEG", 1, 1000, 3.45f), QString("1,234,567 Bytes, JPEG, 1 Bit, 123,457%, 3.5sec."));
        QCOMPARE(OriginalCaption(0, 24, 0), QString());
    }

    void newDocumentFitsItsFirstPicturesIntoTheWindow() {
        setAllProfiles(kProfileAlwaysGif);
        ProgramOptions().FitToWindow = 1;
        ProgramOptions().InitialOpenVariations = 2;
        host_.areaWidth = 450;  // three 300-pixel pictures do not fit at 100 %
        frmDocument doc;
        doc.picOriginal().CreateBitmap(300, 100, 24, 0xFFFFFF);
        ApplyReady = true;
        doc.InitialisiereGrafik(true);
        QVERIFY2(doc.lZoom < 100 && doc.lZoom >= 40, qPrintable(QString::number(doc.lZoom)));
        QCOMPARE(doc.picOriginal().PaintZoomFactor(), doc.lZoom);
        QCOMPARE(doc.picCompress(2).PaintZoomFactor(), doc.lZoom);

        // With room enough the standard zoom stays.
        host_.areaWidth = 5000;
        frmDocument roomy;
        roomy.picOriginal().CreateBitmap(300, 100, 24, 0xFFFFFF);
        roomy.InitialisiereGrafik(true);
        QCOMPARE(roomy.lZoom, 100);
    }

    void newImageShowsNoShare() {
        // A new (or pasted) image has no file: no percentage, and an empty Original caption.
        setAllProfiles(kProfileAlwaysGif);
        frmDocument doc;
        doc.picOriginal().CreateBitmap(320, 200, 24, 0xFFFFFF);
        ApplyReady = true;
        doc.InitialisiereGrafik(true);
        doc.picOriginalAendern();
        QCOMPARE(doc.LabelOriginal()->text(), QString());
        const QString caption = doc.LabelCompress(1)->text();
        QVERIFY2(caption.contains(" Bytes, GIF, 1 Bit, ") && !caption.contains('%'), qPrintable(caption));
        QCOMPARE(doc.picCompress(1).EncodeCount(), 1);
    }

    void keenfitDepthByColourCount_data() {
        QTest::addColumn<int>("colors");
        QTest::addColumn<int>("maxDepth");
        QTest::addColumn<int>("palette");
        QTest::addColumn<int>("expected");
        QTest::newRow("2 colours") << 2 << 8 << 2 << 1;
        QTest::newRow("17 colours") << 17 << 8 << 2 << 5;
        QTest::newRow("256 colours") << 256 << 8 << 2 << 8;
        QTest::newRow("256 colours, profile cap 6") << 256 << 6 << 2 << 6;
        QTest::newRow("2 colours, Netscape palette") << 2 << 8 << 64 << 8;
        QTest::newRow("2 colours, custom palette, cap 4") << 2 << 4 << 16 << 4;
    }

    void keenfitDepthByColourCount() {
        QFETCH(int, colors);
        QFETCH(int, maxDepth);
        QFETCH(int, palette);
        QFETCH(int, expected);
        setAllProfiles(kProfileAlwaysGif, static_cast<std::int16_t>(maxDepth));
        ProgramOptions().Profiles[1].GIFColorPalette = static_cast<std::int16_t>(palette);
        frmDocument doc;
        doc.picOriginal().SetBitmap(stripes(64, 64, colors));
        doc.InitialisiereGrafik(false);
        doc.InitialisiereVariation(1);
        QCOMPARE(doc.record(1).Format, int(save_format::Gif));
        QCOMPARE(doc.record(1).PixelDepth, expected);
        QCOMPARE(doc.record(1).PalettePixelDepth, expected);
        QCOMPARE(doc.record(1).ColorPalette, palette);
        // Initialised once: a second call keeps what the user may have changed since.
        doc.record(1).PixelDepth = 3;
        doc.InitialisiereVariation(1);
        QCOMPARE(doc.record(1).PixelDepth, 3);
    }

    void smallestFileSizeEncodesTwiceAndKeepsTheSmaller_data() {
        QTest::addColumn<bool>("photograph");
        QTest::addColumn<int>("expectedFormat");
        QTest::newRow("flat colours -> GIF") << false << int(save_format::Gif);
        QTest::newRow("photograph -> JPEG") << true << int(save_format::Jpeg);
    }

    void smallestFileSizeEncodesTwiceAndKeepsTheSmaller() {
        QFETCH(bool, photograph);
        QFETCH(int, expectedFormat);
        setAllProfiles(kProfileSmallestFile);
        const imaging::Bitmap picture = photograph ? photo(200, 150) : stripes(200, 150, 4);
        const QString path = writeFile(photograph ? "photo.jpg" : "flat.gif",
                                       imaging::Image::fromBitmap(photograph ? picture : indexed(picture, 2)),
                                       photograph ? imaging::format::Jpeg444 : imaging::format::Gif);
        auto doc = open(path);
        QVERIFY(doc);
        QCOMPARE(doc->record(1).Format, expectedFormat);
        QCOMPARE(doc->picCompress(1).EncodeCount(), 2);
        // What is shown is what the caption measures: the kept encoding's own block.
        QCOMPARE(doc->picCompress(1).InfoFormat(),
                 expectedFormat == save_format::Gif ? imaging::format::Gif : imaging::format::Jpeg422);
        QCOMPARE(doc->record(1).PixelDepth, expectedFormat == save_format::Gif ? 2 : 24);
        QVERIFY(doc->LabelCompress(1)->text().contains(expectedFormat == save_format::Gif ? ", GIF, " : ", JPEG, "));
    }

    void smallerFormatTieKeepsGif_data() {
        QTest::addColumn<qint64>("gif");
        QTest::addColumn<qint64>("jpeg");
        QTest::addColumn<int>("expected");
        QTest::newRow("tie") << qint64(5000) << qint64(5000) << int(save_format::Gif);
        QTest::newRow("GIF one byte larger") << qint64(5001) << qint64(5000) << int(save_format::Jpeg);
        QTest::newRow("GIF smaller") << qint64(4999) << qint64(5000) << int(save_format::Gif);
    }

    void smallerFormatTieKeepsGif() {
        QFETCH(qint64, gif);
        QFETCH(qint64, jpeg);
        QFETCH(int, expected);
        QCOMPARE(SmallerFormat(gif, jpeg), expected);
    }

    void variationUpdateDrawsOnce() {
        setAllProfiles(kProfileAlwaysGif);
        const QString path = writeFile("draw.gif", imaging::Image::fromBitmap(indexed(stripes(60, 40, 8), 3)), 2);
        auto doc = open(path);
        QVERIFY(doc);
        doc->show();
        QVERIFY(QTest::qWaitForWindowExposed(doc.get()));
        imaging::ImageControl& picture = doc->picCompress(1);
        QTRY_VERIFY(picture.PaintCount() > 0);
        QCoreApplication::processEvents();
        const int before = picture.PaintCount();
        doc->AktualisiereVariation(1);
        QTRY_COMPARE(picture.PaintCount(), before + 1);
        QCoreApplication::processEvents();
        QCOMPARE(picture.PaintCount(), before + 1);
    }

    // The snap searches the entries the depth holds, never more than 256: both sides of 8 bits.
    void transparentColourSnapsInTheEncodedVariation() {
        setAllProfiles(kProfileAlwaysGif);
        const QString path = writeFile("four.gif", imaging::Image::fromBitmap(indexed(stripes(40, 30, 4), 2)), 2);
        auto doc = std::make_unique<frmDocument>();
        doc->SetGrafikOriginalFileName(path);
        QCOMPARE(doc->picOriginal().FileInfo(path), 0);
        QCOMPARE(doc->picOriginal().Load(path), 0);
        doc->InitialisiereGrafik(false);
        doc->InitialisiereVariation(1);
        doc->record(1).GIFTransparent = true;
        doc->record(1).GIFTransparentColor = imaging::makeRgb(38, 12, 2);  // near colour 1 (37, 11, 1)
        doc->SpeichernLadenVariation(1);
        QCOMPARE(doc->record(1).GIFTransparentColor, imaging::makeRgb(37, 11, 1));
        QVERIFY(doc->picCompress(1).Transparent());
    }

    void saveOptionsFormatNumbers_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("yuv");
        QTest::addColumn<int>("grayscale");
        QTest::addColumn<int>("palette");
        QTest::addColumn<bool>("windowsBitmap");
        QTest::addColumn<bool>("compressedBox");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("quality");
        QTest::addColumn<int>("colorCount");
        QTest::newRow("GIF optimised") << 0 << "0" << 0 << 2 << true << false << 2 << 5 << 0 << 16;
        QTest::newRow("GIF fixed palette") << 0 << "0" << 0 << 1 << true << false << 2 << 5 << 0 << 0;
        QTest::newRow("GIF Netscape palette") << 0 << "0" << 0 << 64 << true << false << 2 << 5 << 0 << 0;
        QTest::newRow("JPEG 4:4:4") << 1 << "0" << 0 << 2 << true << false << 10 << 24 << 56 << 16;
        QTest::newRow("JPEG 4:2:2") << 1 << "1" << 0 << 2 << true << false << 23 << 24 << 56 << 16;
        QTest::newRow("JPEG 4:1:1") << 1 << "2" << 0 << 2 << true << false << 21 << 24 << 56 << 16;
        QTest::newRow("JPEG greyscale") << 1 << "0" << 1 << 2 << true << false << 10 << 8 << 56 << 16;
        QTest::newRow("PNG") << 2 << "0" << 0 << 2 << true << false << 75 << 5 << 0 << 16;
        QTest::newRow("BMP Windows") << 3 << "0" << 0 << 2 << true << false << 6 << 5 << 0 << 16;
        QTest::newRow("BMP Windows RLE") << 3 << "0" << 0 << 2 << true << true << 84 << 5 << 0 << 16;
        QTest::newRow("BMP OS/2") << 3 << "0" << 0 << 2 << false << true << 74 << 5 << 0 << 16;
        QTest::newRow("TIFF") << 13 << "0" << 0 << 2 << true << false << 3 << 5 << 0 << 16;
        QTest::newRow("TIFF compressed") << 13 << "0" << 0 << 2 << true << true << 17 << 5 << 0 << 16;
        QTest::newRow("PCX") << 9 << "0" << 0 << 2 << true << false << 1 << 5 << 0 << 16;
        QTest::newRow("WordPerfect") << 15 << "0" << 0 << 2 << true << false << 54 << 5 << 0 << 16;
    }

    void saveOptionsFormatNumbers() {
        QFETCH(int, format);
        QFETCH(QString, yuv);
        QFETCH(int, grayscale);
        QFETCH(int, palette);
        QFETCH(bool, windowsBitmap);
        QFETCH(bool, compressedBox);
        QFETCH(int, number);
        QFETCH(int, bits);
        QFETCH(int, quality);
        QFETCH(int, colorCount);
        FakeTools tools;
        tools.bmpChecked = compressedBox;
        tools.tiffChecked = compressedBox;
        SetToolsHost(&tools);
        frmDocument doc;
        VariationRecord& r = doc.record(2);
        r.Format = format;
        r.JPEGYUV_Color = yuv;
        r.JPEGGrayscale = grayscale;
        r.JPEGQFactor = 56;
        r.ColorPalette = palette;
        r.MaxColorsText = "16";
        r.PixelDepth = 5;
        r.BMPWindows = windowsBitmap;
        r.BMPCompressed = compressedBox ? 1 : 0;
        r.TIFFCompressed = compressedBox ? 1 : 0;
        r.GIFAnimated = true;
        const SaveOptions& o = doc.HoleSpeicherOptionen(2);
        SetToolsHost(nullptr);
        QCOMPARE(o.FormatNumber, number);
        QCOMPARE(o.BitsPerPixel, bits);
        QCOMPARE(o.QualityFactor, quality);
        QCOMPARE(o.Reserved, 0);
        QCOMPARE(o.ColorCount, colorCount);
        // Any format but GIF makes the Variation a still picture.
        QCOMPARE(r.GIFAnimated, number == 2);
    }

    void everySaveFormatEncodesAndDecodes_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("depth");
        static const int depths[] = {1, 2, 3, 4, 5, 6, 7, 8, 16, 24, 32};
        for (int f = 0; f < kSaveFormatCount; ++f) {
            const QString allowed = SaveFormats[static_cast<std::size_t>(f)].PixelDepths;
            for (int k = 0; k < allowed.size(); ++k)
                if (allowed[k] == QLatin1Char('1'))
                    QTest::newRow(qPrintable(QString("%1 %2 bits").arg(SaveFormats[static_cast<std::size_t>(f)].FormatName).arg(depths[k])))
                        << f << depths[k];
        }
    }

    void everySaveFormatEncodesAndDecodes() {
        // Every depth the tools window offers for a format must survive the round trip without
        // an encoder or decoder error (the message function fails the test).
        QFETCH(int, format);
        QFETCH(int, depth);
        setAllProfiles(kProfileAlwaysGif);
        const QString path = writeFile("formats.gif", imaging::Image::fromBitmap(indexed(stripes(24, 16, 6), 3)), 2);
        auto doc = open(path);
        QVERIFY(doc);
        VariationRecord& r = doc->record(1);
        r.Format = format;
        r.PixelDepth = depth;
        r.PalettePixelDepth = depth;
        r.BMPCompressed = (depth == 4 || depth == 8) ? 1 : kBmpRleNotApplicable;
        doc->AktualisiereVariation(1);
        QCOMPARE(doc->picCompress(1).EncodeCount(), 2);
        QVERIFY(r.MemHandle);
        // MacPaint pictures are always 576 x 720; every other format keeps the size.
        if (format != save_format::MacPaint) QCOMPARE(doc->picCompress(1).BitmapWidth(), 24);
        QVERIFY2(doc->LabelCompress(1)->text().contains(", " + SaveFormats[static_cast<std::size_t>(format)].FormatName + ", "),
                 qPrintable(doc->LabelCompress(1)->text()));
    }

    void variationNames() {
        frmDocument unsaved;
        unsaved.picOriginal().CreateBitmap(32, 20, 24, 0xFFFFFF);
        unsaved.InitialisiereGrafik(false);
        for (int i = 1; i <= 5; ++i) QCOMPARE(unsaved.GetGrafikFileName(i), QString("Variation%1").arg(i));

        const QString path = writeFile("a.b.gif", imaging::Image::fromBitmap(indexed(stripes(8, 8, 2), 1)), 2);
        frmDocument saved;
        saved.SetGrafikOriginalFileName(path);
        QCOMPARE(saved.picOriginal().Load(path), 0);
        saved.InitialisiereGrafik(false);
        QCOMPARE(saved.GetGrafikFileName(3), QString("a"));
    }

    void defaultSaveName_data() {
        QTest::addColumn<QString>("saved");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("fileName");
        QTest::newRow("a.b.gif: extension b.gif, cleared") << "/tmp/a.b.gif" << "" << "a";
        QTest::newRow("x.gif kept") << "/tmp/x.gif" << "/tmp/x.gif" << "x.gif";
        QTest::newRow("dotted folder kept") << "/home/j.doe/x.gif" << "/home/j.doe/x.gif" << "x.gif";
        QTest::newRow("jpg for a GIF cleared") << "/tmp/x.jpg" << "" << "x";
        QTest::newRow("never saved") << "" << "" << "x";
    }

    void defaultSaveName() {
        QFETCH(QString, saved);
        QFETCH(QString, expected);
        QFETCH(QString, fileName);
        frmDocument doc;
        doc.record(1).Format = save_format::Gif;
        doc.SetGrafikFileName(1, "x.gif");
        doc.SetGrafikFileNameSave(1, saved);
        if (saved.startsWith("/tmp/a.")) doc.SetGrafikFileName(1, "a.b.gif");
        QCOMPARE(doc.GetGrafikFileNameDefault(1), expected);
        QCOMPARE(doc.GetGrafikFileName(1), fileName);
        QCOMPARE(doc.GetGrafikFilterSave(1), QString("GIF"));
        QCOMPARE(doc.GetGrafikPatternSave(1), QString("gif"));
    }

    void toolsTabIntoRecord_data() {
        QTest::addColumn<bool>("windowsBitmap");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("expectedRle");
        QTest::newRow("Windows 8 bits") << true << 8 << 1;
        QTest::newRow("Windows 4 bits") << true << 4 << 1;
        QTest::newRow("Windows 24 bits") << true << 24 << 2;
        QTest::newRow("Windows 1 bit") << true << 1 << 2;
        QTest::newRow("OS/2 8 bits") << false << 8 << 2;
    }

    void toolsTabIntoRecord() {
        QFETCH(bool, windowsBitmap);
        QFETCH(int, depth);
        QFETCH(int, expectedRle);
        FakeTools tools;
        tools.values.FormatIndex = save_format::Bmp;
        tools.values.PixelDepth = depth;
        tools.values.BMPWindows = windowsBitmap;
        tools.values.BMPCompressed = 1;
        tools.values.DitheringListIndex = 2;
        tools.values.MaxColorsText = "64";
        SetToolsHost(&tools);
        frmDocument doc;
        doc.record(1).MaxColors = 99;
        doc.FuelleStructVariation(1);
        SetToolsHost(nullptr);
        const VariationRecord& r = doc.record(1);
        QCOMPARE(r.Format, int(save_format::Bmp));
        QCOMPARE(r.BMPCompressed, expectedRle);
        QCOMPARE(r.PixelDepth, depth);
        QCOMPARE(r.PalettePixelDepth, depth);
        QCOMPARE(r.MaxColors, 0);
        QCOMPARE(r.MaxColorsText, QString("64"));
        QCOMPARE(r.DitheringMethod, int(ListIndexToDitherCode(2)));
    }

    void hiddenVariationIsNotEncoded() {
        setAllProfiles(kProfileAlwaysGif);
        ProgramOptions().InitialOpenVariations = 2;
        const QString path = writeFile("hidden.gif", imaging::Image::fromBitmap(indexed(stripes(50, 40, 8), 3)), 2);
        auto doc = open(path);
        QVERIFY(doc);
        QCOMPARE(doc->GetNumberDisplayedPictures(), 3);
        QCOMPARE(doc->picCompress(2).EncodeCount(), 1);
        QVERIFY(host_.toggles[1] && host_.toggles[2] && !host_.toggles[3]);

        host_.toggles[2] = false;  // the user releases the toggle of Variation 2
        const int format = doc->record(2).Format;
        doc->AktualisiereVariation(2);
        QVERIFY(doc->FrameCompress(2)->isHidden());
        QCOMPARE(doc->picCompress(2).EncodeCount(), 1);
        QCOMPARE(doc->record(2).Format, format);
        QCOMPARE(doc->picCompress(3).EncodeCount(), 0);

        // Not displayed at all with no initial Variations.
        ProgramOptions().InitialOpenVariations = 0;
        auto none = open(path);
        QCOMPARE(none->GetNumberDisplayedPictures(), 1);
        for (int i = 1; i <= 5; ++i) QCOMPARE(none->picCompress(i).EncodeCount(), 0);
    }

    void unloadFreesBlocksAndCountsDown() {
        setAllProfiles(kProfileAlwaysJpeg);
        ProgramOptions().InitialOpenVariations = 3;
        const int before = OpenDocumentCount;
        const int blocksBefore = imaging::MemoryBlock::liveCount();
        const QString path = writeFile("unload.gif", imaging::Image::fromBitmap(indexed(stripes(30, 30, 4), 2)), 2);
        auto doc = open(path);
        QVERIFY(doc);
        QCOMPARE(OpenDocumentCount, before + 1);
        QCOMPARE(host_.toolbarEnabled, before == 0 ? 1 : -1);
        QCOMPARE(imaging::MemoryBlock::liveCount(), blocksBefore + 3);
        doc.reset();
        QCOMPARE(imaging::MemoryBlock::liveCount(), blocksBefore);
        QCOMPARE(OpenDocumentCount, before);
        if (before == 0) {
            QCOMPARE(host_.toolbarEnabled, 0);
            QCOMPARE(host_.lastClosed, 1);
        }
    }

    void reencodingFreesThePreviousBlock() {
        setAllProfiles(kProfileAlwaysGif);
        const QString path = writeFile("again.gif", imaging::Image::fromBitmap(indexed(stripes(30, 30, 4), 2)), 2);
        auto doc = open(path);
        const int blocks = imaging::MemoryBlock::liveCount();
        doc->AktualisiereVariation(1);
        doc->AktualisiereVariation(1);
        QCOMPARE(imaging::MemoryBlock::liveCount(), blocks);
        QCOMPARE(doc->picCompress(1).EncodeCount(), 3);
    }

    void animatedVariationKeepsFramesAndRemovesItsTempFile() {
        setAllProfiles(kProfileSmallestFile);
        imaging::Image animation;
        for (int k = 0; k < 3; ++k) {
            imaging::Frame frame{indexed(stripes(20, 16, 2 + k), 2)};
            frame.delay = 5;
            animation.frames.push_back(frame);
        }
        const QString path = writeFile("anim.gif", animation, 2);
        const QStringList tempBefore = QDir::temp().entryList(QDir::Files);
        auto doc = open(path);
        QVERIFY(doc);
        QVERIFY(doc->GetOriginalAnimation());
        QVERIFY(doc->GetVariationAnimation(1));
        QCOMPARE(doc->record(1).Format, int(save_format::Gif));
        QCOMPARE(doc->picCompress(1).BitmapListCount(), 3);
        QCOMPARE(doc->picCompress(1).EncodeCount(), 1);
        QVERIFY(!TempFilePending);
        QCOMPARE(QDir::temp().entryList(QDir::Files), tempBefore);
        QVERIFY(doc->LabelCompress(1)->text().contains(", GIF, "));

        // Saved with every frame and the Original's loop count.
        const QString saved = dir_.filePath("anim-out.gif");
        QCOMPARE(doc->SaveVariationFile(1, saved), 0);
        const imaging::Image written = imaging::loadFile(saved.toStdString());
        QCOMPARE(int(written.frames.size()), 3);
        QCOMPARE(written.frames[1].delay, 5);

        // Stopping the animation keeps the frames and shows the frame asked for.
        doc->SetVariationPlayAnimation(1, false);
        QVERIFY(!doc->record(1).PlayAnimation);
        QVERIFY(!doc->GetVariationAnimation(1));
        QVERIFY(!doc->picCompress(1).AnimationEnable());
        doc->SetImageNumberVariation(1, 2);
        QCOMPARE(doc->record(1).ImageNumber, 2);
        QCOMPARE(doc->picCompress(1).BitmapListIndex(), 2);
        doc->SetVariationPlayAnimation(0, true);  // the Original has no such switch
        QVERIFY(!doc->GetVariationAnimation(0));
    }

    void jpegTabIntoRecord() {
        FakeTools tools;
        tools.values.FormatIndex = save_format::Jpeg;
        tools.values.PixelDepth = 24;
        tools.values.JPEGQuality = 180;
        tools.values.JPEGYUVIndex = 2;
        tools.values.JPEGProgressive = 1;
        tools.values.JPEGPasses = 3;
        tools.values.JPEGGrayscale = 1;
        tools.values.GIFInterlaced = true;  // another format's box: not read
        SetToolsHost(&tools);
        frmDocument doc;
        doc.FuelleStructVariation(4);
        SetToolsHost(nullptr);
        const VariationRecord& r = doc.record(4);
        QCOMPARE(r.JPEGQFactor, 76);
        QCOMPARE(r.JPEGYUV_Color, QString("2"));
        QCOMPARE(r.JPEGProgressive, 1);
        QCOMPARE(r.JPEGPasses, 3);
        QCOMPARE(r.JPEGGrayscale, 1);
        QVERIFY(!r.GIFInterlaced);
        const SaveOptions& o = doc.HoleSpeicherOptionen(4);
        QCOMPARE(o.FormatNumber, 21);
        QCOMPARE(o.BitsPerPixel, 8);
        QCOMPARE(doc.picCompress(4).ProgressivePasses(), 3);
    }

    void savingAVariation() {
        setAllProfiles(kProfileAlwaysGif);
        const QString path = writeFile("save.gif", imaging::Image::fromBitmap(indexed(stripes(30, 20, 4), 2)), 2);
        auto doc = open(path);
        const QString target = dir_.filePath("out.gif");
        QCOMPARE(doc->SaveVariationFile(1, target), 0);
        imaging::Image written = imaging::loadFile(target.toStdString());
        QCOMPARE(written.first().width(), 30);
        QCOMPARE(written.first().uniqueColorCount(), 4);

        // A save that fails leaves the previous file as it was.
        QFile::remove(target);
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("previous");
        old.close();
        doc->record(1).Format = 42;
        frmDocument::MessageFunction previous = frmDocument::SetMessageFunction([](const QString&, bool) {});
        // The unknown format is reported (5404), the engine refuses format 0, and the caption
        // refresh afterwards raises the range error the error report shows.
        QVERIFY_THROWS_EXCEPTION(AppError, doc->SaveVariationFile(1, target));
        frmDocument::SetMessageFunction(previous);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("previous"));
    }

    void aFailedFillLeavesApplyingPossible() {
        // Selecting a Variation and activating a document hold ApplyReady off while they fill
        // the tools window; when the fill fails, later applies must not stay refused.
        FailingTools tools;
        SetToolsHost(&tools);
        frmDocument doc;
        doc.picOriginal().CreateBitmap(20, 10, 24, 0xFFFFFF);
        ApplyReady = true;
        QVERIFY_THROWS_EXCEPTION(AppError, doc.SelektiereGrafik(1));
        QVERIFY(ApplyReady);

        tools.failOriginal = true;
        QVERIFY_THROWS_EXCEPTION(AppError, ActivateDocument(doc));
        SetToolsHost(nullptr);
        QVERIFY(ApplyReady);
    }

    void savedFileIsTheMeasuredEncoding_data() {
        QTest::addColumn<int>("profile");
        QTest::newRow("JPEG") << int(kProfileAlwaysJpeg);
        QTest::newRow("GIF") << int(kProfileAlwaysGif);
    }

    void savedFileIsTheMeasuredEncoding() {
        // The caption tells the size of the encoding the Variation shows; Save must write that
        // encoding, not encode its decoded (for JPEG: already degraded) pixels a second time.
        QFETCH(int, profile);
        setAllProfiles(static_cast<std::int16_t>(profile));
        const QString path = writeFile("measured.jpg", imaging::Image::fromBitmap(photo(120, 90)), imaging::format::Jpeg444);
        auto doc = open(path);
        QVERIFY(doc);
        QVERIFY(doc->record(1).MemHandle);
        const QString target = dir_.filePath("measured-out");
        QCOMPARE(doc->SaveVariationFile(1, target), 0);
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const imaging::Bytes& encoded = doc->record(1).MemHandle->data;
        QCOMPARE(saved.readAll(), QByteArray(reinterpret_cast<const char*>(encoded.data()), static_cast<qsizetype>(encoded.size())));
    }

    void indexOutsideTheRecordsIsARangeError() {
        frmDocument doc;
        QVERIFY_THROWS_EXCEPTION(std::exception, doc.GetVariationFormat(7));
        QVERIFY_THROWS_EXCEPTION(std::exception, doc.SetGrafikFileName(-1, "x"));
        QCOMPARE(doc.GetVariationFormat(6), 0);
    }
};

QTEST_MAIN(FrmDocumentTest)
#include "frmdocument_test.moc"
