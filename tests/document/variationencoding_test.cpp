// Encoding a Variation with settings that belong to one format or one Variation only: options
// of other formats, compression boxes of another Variation, the colour limit as typed, and an
// animation's own transparent entry. Driven as the main window drives the document (offscreen).
#include <QApplication>
#include <QLabel>
#include <QFile>
#include <QLabel>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "fakemainwindow.h"
#include "codecs/embedded.h"
#include "codecs/registry.h"
#include "color/icc_transform.h"
#include "settings/qualityoptions.h"
#include "core/codec.h"
#include "document/documenthost.h"
#include "document/documentrules.h"
#include "document/frmdocument.h"
#include "settings/programoptions.h"
#include "common/globals.h"
#include "common/routines.h"

using namespace kalmira;

using kalmira::testing::FakeMainWindow;

namespace {

// A tools window that shows one document's selected Variation with its compression boxes.
class FakeTools : public ToolsHost {
public:
    bool bmpChecked = false;
    bool tiffChecked = false;
    const frmDocument* shown = nullptr;

    void FuelleReiterVariation(frmDocument& document, int) override { shown = &document; }
    void FuelleReiterOriginal(frmDocument& document) override { shown = &document; }
    VariationTabValues ReadVariationTab() const override { return {}; }
    bool IsBMPCompressedChecked() const override { return bmpChecked; }
    bool IsTIFFCompressedChecked() const override { return tiffChecked; }
    bool ShowsDocument(const frmDocument& document) const override { return shown == &document; }
};

// Smooth colours: many distinct ones, so a colour limit shows in the count.
imaging::Bitmap gradient(int width, int height) {
    imaging::Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) b.setPixel(x, y, imaging::makeRgb(x * 255 / width, y * 255 / height, 90));
    return b;
}

void setAllProfiles(std::int16_t fileFormat) {
    for (int slot = 1; slot <= 5; ++slot) {
        OptimizeProfile& p = ProgramOptions().Profiles[static_cast<std::size_t>(slot)];
        p.FileFormat = fileFormat;
        p.GIFMaxPixelDepth = 8;
        p.GIFColorPalette = 2;
        p.GIFMaxColors = 256;
    }
}

// The palette index at a pixel of a 1-8 bit bitmap (one byte per pixel).
int indexAt(const imaging::Bitmap& bitmap, int x, int y) {
    return bitmap.data()[static_cast<std::size_t>(y) * static_cast<std::size_t>(bitmap.width()) + static_cast<std::size_t>(x)];
}

int countIndex(const imaging::Bitmap& bitmap, int index) {
    int count = 0;
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            if (indexAt(bitmap, x, y) == index) ++count;
    return count;
}

}  // namespace

class VariationEncodingTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    FakeMainWindow host_;
    QStringList messages_;

    QString writeFile(const QString& name, const imaging::Image& image, int format) {
        const QString path = dir_.filePath(name);
        imaging::SaveOptions options;
        options.format = format;
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
        if (original.FileInfo(path, 1000) != 0 || original.Load(path, 0, 0, -1) != 0) return nullptr;
        doc->SetOriginalAnimation(original.BitmapListCount() > 1, std::max(1, original.BitmapListCount()));
        ApplyReady = true;
        doc->InitialisiereGrafik(true);
        doc->picOriginalAendern();
        return doc;
    }

    QByteArray block(const frmDocument& doc, int i) {
        const auto& handle = doc.record(i).MemHandle;
        if (!handle) return {};
        return QByteArray(reinterpret_cast<const char*>(handle->data.data()), static_cast<qsizetype>(doc.record(i).MemFileSize));
    }

private slots:
    void initTestCase() {
        InitApplication();
        ErrorTrapping = false;
        frmDocument::SetMessageFunction([this](const QString& text, bool) { messages_.append(text); });
        SetMainWindowHost(&host_);
        QVERIFY(dir_.isValid());
    }

    void init() {
        ProgramOptions() = DefaultProgramOptions();
        ProgramOptions().FitToWindow = 0;
        host_ = FakeMainWindow();
        messages_.clear();
        SetToolsHost(nullptr);
    }

    void cleanup() { QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n'))); }

    // The GIF "Interlaced" option stays with GIF: a PNG Variation is written plain, and going
    // back to GIF interlaces again.
    void interlaceAppliesToGifOnly() {
        setAllProfiles(kProfileAlwaysGif);
        ProgramOptions().Profiles[1].GIFInterlaced = 1;
        auto doc = open(writeFile("interlace.png", imaging::Image::fromBitmap(gradient(64, 48)), imaging::format::Png));
        QVERIFY(doc);
        QVERIFY(doc->record(1).GIFInterlaced);
        QVERIFY(doc->picCompress(1).Interlaced());

        doc->record(1).Format = save_format::Png;
        doc->record(1).PixelDepth = doc->record(1).PalettePixelDepth = 24;
        doc->AktualisiereVariation(1);
        const QByteArray png = block(*doc, 1);
        QVERIFY(png.startsWith("\x89PNG"));
        // IHDR's last byte, the interlace method: 0 = none, 1 = Adam7.
        QCOMPARE(int(png.at(28)), 0);

        doc->record(1).Format = save_format::Jpeg;
        doc->AktualisiereVariation(1);
        doc->record(1).Format = save_format::Gif;
        doc->record(1).PixelDepth = doc->record(1).PalettePixelDepth = 8;
        doc->AktualisiereVariation(1);
        QVERIFY(doc->picCompress(1).Interlaced());
        QCOMPARE(doc->picCompress(1).ProgressivePasses(), 0);
    }

    // Progressive passes stay with JPEG the same way: a GIF or PNG Variation of a record that
    // still holds them is encoded without, and JPEG takes them again.
    void progressivePassesApplyToJpegOnly() {
        setAllProfiles(kProfileAlwaysJpeg);
        auto doc = open(writeFile("passes.png", imaging::Image::fromBitmap(gradient(64, 48)), imaging::format::Png));
        QVERIFY(doc);
        doc->record(1).JPEGProgressive = 1;
        doc->record(1).JPEGPasses = 3;
        doc->AktualisiereVariation(1);
        QCOMPARE(doc->picCompress(1).ProgressivePasses(), 3);
        for (const int format : {int(save_format::Png), int(save_format::Gif)}) {
            doc->record(1).Format = static_cast<std::int16_t>(format);
            doc->record(1).PixelDepth = doc->record(1).PalettePixelDepth = 8;
            doc->AktualisiereVariation(1);
            QCOMPARE(doc->picCompress(1).ProgressivePasses(), 0);
            QVERIFY(!doc->picCompress(1).Interlaced());
        }
        doc->record(1).Format = save_format::Jpeg;
        doc->record(1).PixelDepth = doc->record(1).PalettePixelDepth = 24;
        doc->AktualisiereVariation(1);
        QCOMPARE(doc->picCompress(1).ProgressivePasses(), 3);
    }

    // The compression boxes of the tools window are the selected Variation's: another one,
    // re-encoded after the Original changed, keeps the compression its record holds.
    void compressionOfOtherVariationsComesFromTheirRecords() {
        setAllProfiles(kProfileAlwaysGif);
        ProgramOptions().InitialOpenVariations = 2;
        FakeTools tools;
        SetToolsHost(&tools);
        auto doc = open(writeFile("rle.png", imaging::Image::fromBitmap(gradient(64, 48)), imaging::format::Png));
        QVERIFY(doc);
        for (int i : {1, 2}) {
            VariationRecord& r = doc->record(i);
            r.Format = save_format::Bmp;
            r.BMPWindows = true;
            r.PixelDepth = r.PalettePixelDepth = 8;
        }
        doc->record(1).BMPCompressed = 1;
        doc->record(2).BMPCompressed = 0;
        doc->SelektiereGrafik(2);
        QCOMPARE(tools.shown, doc.get());
        tools.bmpChecked = true;  // the box shows a change not yet applied to Variation 2

        doc->picOriginal().SetBitmap(gradient(60, 40));
        doc->picOriginalAendern();
        QCOMPARE(doc->picCompress(1).InfoFormat(), imaging::format::BmpRle);
        QCOMPARE(doc->picCompress(2).InfoFormat(), imaging::format::BmpRle);

        tools.bmpChecked = false;
        doc->AktualisiereVariation(1);
        QCOMPARE(doc->picCompress(1).InfoFormat(), imaging::format::BmpRle);
        doc->AktualisiereVariation(2);
        QCOMPARE(doc->picCompress(2).InfoFormat(), imaging::format::BmpWindows);

        // A document the tools window does not show keeps its records' choice for every one.
        tools.shown = nullptr;
        tools.bmpChecked = true;
        doc->AktualisiereVariation(2);
        QCOMPARE(doc->picCompress(2).InfoFormat(), imaging::format::BmpWindows);
        SetToolsHost(nullptr);
    }

    // The colour box and the encoding read a colour-count text by one rule.
    void colourLimitIsReadOneWay_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("limit");
        QTest::newRow("number") << "16" << 16;
        QTest::newRow("fraction") << "100.5" << 100;
        QTest::newRow("half rounds to even") << "2.5" << 2;
        QTest::newRow("half rounds up to even") << "3.5" << 4;
        QTest::newRow("trailing letters") << "17abc" << 17;
        QTest::newRow("blank first") << " 64" << 64;
        QTest::newRow("no limit") << "no limit" << 0;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("negative") << "-3" << 0;
        QTest::newRow("too many") << "300" << 256;
        QTest::newRow("exponent") << "1e2" << 100;
        QTest::newRow("overflow") << "1e999" << 256;
        // Both sides of each limit: 1 and 256 colours are kept, one more is held at 256.
        QTest::newRow("one") << "1" << 1;
        QTest::newRow("just under a half") << "0.49" << 0;
        QTest::newRow("a half rounds to no limit") << "0.5" << 0;
        QTest::newRow("just over a half") << "0.51" << 1;
        QTest::newRow("254") << "254" << 254;
        QTest::newRow("255") << "255" << 255;
        QTest::newRow("255.4") << "255.4" << 255;
        QTest::newRow("255.5 rounds to even 256") << "255.5" << 256;
        QTest::newRow("256") << "256" << 256;
        QTest::newRow("257") << "257" << 256;
    }

    void colourLimitIsReadOneWay() {
        QFETCH(QString, text);
        QFETCH(int, limit);
        QCOMPARE(ColorLimitOf(text), limit);
        frmDocument doc;
        doc.record(1).ColorPalette = 2;
        doc.record(1).MaxColorsText = text;
        QCOMPARE(doc.HoleSpeicherOptionen(1).ColorCount, limit);
        doc.record(1).ColorPalette = 1;
        QCOMPARE(doc.HoleSpeicherOptionen(1).ColorCount, 0);
    }

    void typedColourLimitLimitsTheEncoding() {
        setAllProfiles(kProfileAlwaysGif);
        auto doc = open(writeFile("limit.png", imaging::Image::fromBitmap(gradient(64, 48)), imaging::format::Png));
        QVERIFY(doc);
        doc->record(1).MaxColorsText = "17abc";
        doc->AktualisiereVariation(1);
        QVERIFY(doc->picCompress(1).ColorCount() <= 17);
        QVERIFY(doc->picCompress(1).ColorCount() >= 10);
    }

    // An animation with an opaque white entry and a separate transparent white entry keeps
    // them apart: the frame without transparent pixels stays opaque, the other keeps exactly
    // its transparent pixels.
    void animationKeepsItsTransparentEntryApart() {
        setAllProfiles(kProfileAlwaysGif);
        imaging::Image animation;
        const std::vector<imaging::Rgb> palette = {0xFFFFFF, 0xFFFFFF, 0x0000FF, 0xFF0000};
        for (int f = 0; f < 2; ++f) {
            imaging::Bitmap frame(40, 30, 8);
            frame.palette().assign(256, 0);
            std::copy(palette.begin(), palette.end(), frame.palette().begin());
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x) {
                    // Frame 0: a fifth opaque white (entry 0), the rest red. Frame 1: the left
                    // half transparent (entry 1), the rest blue.
                    const int index = f == 0 ? (x < 8 ? 0 : 2) : (x < 20 ? 1 : 3);
                    frame.setPixel(x, y, static_cast<std::uint32_t>(index));
                }
            frame.setTransparent(true);
            frame.setTransparentColor(imaging::kPaletteReference + 1);
            animation.frames.push_back(imaging::Frame{std::move(frame), 10});
        }
        auto doc = open(writeFile("anim.gif", animation, imaging::format::Gif));
        QVERIFY(doc);
        QVERIFY(doc->record(1).GIFAnimated);
        QVERIFY(doc->record(1).GIFTransparent);
        const QString saved = dir_.filePath("saved.gif");
        QCOMPARE(doc->SaveVariationFile(1, saved), 0);

        const imaging::Image back = imaging::loadFile(saved.toStdString());
        QCOMPARE(int(back.frames.size()), 2);
        int opaque = 0;
        for (int f = 0; f < 2; ++f) {
            const imaging::Bitmap& b = back.frames[static_cast<std::size_t>(f)].bitmap;
            QVERIFY2(b.bits() <= 8, qPrintable(QString::number(b.bits())));
            QCOMPARE(int(b.palette().size()), 1 << b.bits());
            const int transparent = b.transparent() && imaging::isPaletteReference(b.transparentColor())
                                        ? countIndex(b, imaging::paletteIndexOf(b.transparentColor()))
                                        : 0;
            QCOMPARE(transparent, f == 0 ? 0 : 20 * 30);
            for (int y = 0; y < b.height(); ++y)
                for (int x = 0; x < b.width(); ++x)
                    if ((b.palette()[static_cast<std::size_t>(indexAt(b, x, y))] & 0xFFFFFF) == 0xFFFFFF &&
                        !(b.transparent() && imaging::kPaletteReference + static_cast<imaging::Rgb>(indexAt(b, x, y)) ==
                                                 b.transparentColor()))
                        ++opaque;
        }
        // The opaque white of frame 0 is still there and still white.
        QCOMPARE(opaque, 8 * 30);
    }

    // A photo tagged Adobe RGB with an author opens in sRGB and says so in the Original's
    // caption; its Variations carry neither profile nor author until the Quality switches ask,
    // and then both (and re-encoding is what a changed switch takes, not the old block).
    void aTaggedPhotoOpensInSrgbAndVariationsKeepOnlyWhatTheSwitchesAsk() {
        setAllProfiles(kProfileAlwaysJpeg);
        struct Restore {
            ~Restore() { QualityOptions() = QualityOptionsRecord(); }
        } restore;
        QualityOptions().QualityNumbers = false;
        imaging::Bitmap pixels(32, 24, 24);
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 32; ++x) pixels.setPixel(x, y, imaging::makeRgb(227, 100, 42));
        imaging::SaveOptions options;
        options.format = imaging::format::Png;
        options.iccProfile = imaging::icc::makeRgbProfile({0.64, 0.33, 0.21, 0.71, 0.15, 0.06, 0.3127, 0.3290},
                                                          563.0 / 256.0, "Adobe RGB (1998)");
        options.author = "Jo Example";
        options.copyright = "(c) 2026 Example Studio";
        const QString path = dir_.filePath("adobe.png");
        imaging::saveFile(path.toStdString(), imaging::Image::fromBitmap(pixels), options);

        auto doc = open(path);
        QVERIFY(doc);
        QVERIFY2(doc->LabelOriginal()->text().endsWith(QStringLiteral(", Adobe RGB (1998) \u2192 sRGB")),
                 qPrintable(doc->LabelOriginal()->text()));
        const imaging::Rgb shown = doc->picOriginal().Bitmap().pixel(5, 5);
        QVERIFY(std::abs(imaging::redOf(shown) - 227) <= 1 && std::abs(imaging::blueOf(shown) - 42) <= 1);

        auto carried = [&] {
            const QByteArray jpeg = block(*doc, 1);
            return imaging::embedded::scan(imaging::ByteView(reinterpret_cast<const std::uint8_t*>(jpeg.constData()),
                                                            static_cast<std::size_t>(jpeg.size())));
        };
        imaging::embedded::Found found = carried();
        QVERIFY(found.iccProfile.empty());
        QVERIFY(found.author.empty());
        QVERIFY(found.copyright.empty());

        // Each switch keeps its own: the profile alone, then author and copyright too, each in
        // its own field.
        QualityOptions().KeepProfile = true;
        doc->AktualisiereVariation(1);
        found = carried();
        QCOMPARE(found.iccProfile, options.iccProfile);
        QVERIFY(found.author.empty());
        QVERIFY(found.copyright.empty());
        QualityOptions().KeepProfile = false;
        QualityOptions().KeepAuthor = true;
        doc->AktualisiereVariation(1);
        found = carried();
        QVERIFY(found.iccProfile.empty());
        QCOMPARE(found.author, std::string("Jo Example"));
        QCOMPARE(found.copyright, std::string("(c) 2026 Example Studio"));
        QualityOptions().KeepProfile = true;
        doc->AktualisiereVariation(1);
        found = carried();
        QCOMPARE(found.iccProfile, options.iccProfile);
        QCOMPARE(found.author, std::string("Jo Example"));
        QCOMPARE(found.copyright, std::string("(c) 2026 Example Studio"));
        // The saved file is that encoding, profile and author included.
        const QString saved = dir_.filePath("kept.jpg");
        QCOMPARE(doc->SaveVariationFile(1, saved), 0);
        const imaging::Image back = imaging::loadFile(saved.toStdString());
        QCOMPARE(back.notes.author, std::string("Jo Example"));
        QCOMPARE(back.notes.copyright, std::string("(c) 2026 Example Studio"));
        QCOMPARE(back.notes.colorConversion, std::string("Adobe RGB (1998) \u2192 sRGB"));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KALMIRA_LANGUAGE", "en");
    QApplication app(argc, argv);
    LanguageOffset = LanguageOffsetFromEnvironment();
    VariationEncodingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "variationencoding_test.moc"
