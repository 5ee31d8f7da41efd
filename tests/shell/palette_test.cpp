// The palette editor as a user meets it: a 43-colour logo opened in the main window, its GIF
// Variation selected, View > Palette pressed; palette files saved, loaded and refused; Apply,
// Edit colour, Copy and Paste re-encoding the Variation with the edited palette.

#include "codecs/registry.h"
#include "common/globals.h"
#include "core/codec.h"
#include "core/error.h"
#include "shell/commands/viewcommands.h"
#include "document/frmdocument.h"
#include "qt/imagecontrol.h"
#include "qt/palettefile.h"
#include "settings/frmcustompalette.h"
#include "settings/programoptions.h"
#include "settings/settingsstore.h"
#include "shell/createmainwindow.h"
#include "shell/frmmain.h"
#include "shelltestsupport.h"
#include "mainwindowsetup.h"
#include "tools/frmtools.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <QScreen>

#include <cmath>
#include <memory>

using namespace kalmira;

namespace {

// 43 colours in vertical bands, as an 8-bit GIF: a small logo.
imaging::Bitmap logo() {
    imaging::Bitmap b(86, 20, 8);
    auto& palette = b.palette();
    palette.assign(256, 0);
    for (int c = 0; c < 43; ++c) palette[static_cast<std::size_t>(c)] = imaging::makeRgb(c * 6, 255 - c * 5, (c * 37) % 256);
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) b.setPixel(x, y, static_cast<std::uint32_t>(x / 2));
    return b;
}

void writeGif(const QString& path, const imaging::Bitmap& bitmap) {
    imaging::Image image;
    image.frames.push_back(imaging::Frame{bitmap});
    imaging::SaveOptions options;
    options.format = imaging::format::Gif;
    options.bits = bitmap.bits();
    imaging::saveFile(path.toStdString(), image, options);
}

std::vector<imaging::Rgb> sixteenColours() {
    std::vector<imaging::Rgb> colours;
    for (int i = 0; i < 16; ++i) colours.push_back(imaging::makeRgb(i * 17, 255 - i * 16, (i * 53) % 256));
    return colours;
}

}  // namespace

class PaletteTest : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    testing::Prompts prompts_;
    QStringList paletteMessages_;
    std::unique_ptr<frmMain> main_;
    std::int64_t nextColour_ = -1;
    QString nextFile_;
    bool customProfile_ = false;

    frmMain& main() { return *main_; }
    frmCustomPalette& palette() { return *qobject_cast<frmCustomPalette*>(main().PaletteWindow()); }
    frmTools& tools() { return *qobject_cast<frmTools*>(main().ToolsWindow()); }
    frmDocument& document() { return *main().ActiveDocument(); }
    QPushButton* button(const char* name) { return palette().findChild<QPushButton*>(QString::fromLatin1(name)); }

    // The logo opened with one GIF Variation of 8 bits, optimised palette.
    void openLogo(int depth = 8) {
        for (int slot = 1; slot <= 5; ++slot) {
            OptimizeProfile& p = ProgramOptions().Profiles[static_cast<std::size_t>(slot)];
            p.FileFormat = kProfileAlwaysGif;
            p.GIFMaxPixelDepth = static_cast<std::int16_t>(depth);
            if (!customProfile_) p.GIFColorPalette = 2;
            p.GIFMaxColors = 256;
        }
        ProgramOptions().InitialOpenVariations = 1;
        // The main window reads its options from the store as it loads.
        SaveProgramOptions(ProgramOptions());
        const QString path = folder_.filePath(QStringLiteral("logo.gif"));
        writeGif(path, logo());
        main_ = testing::StartProgramWindow({path});
        QVERIFY(main().ActiveDocument());
    }

    void selectVariation(int n) {
        document().SelektiereGrafik(n);
        if (!main().findChild<QAction*>("mnuViewPalette")->isChecked()) main().View().TogglePalette(false);
    }

    std::vector<imaging::Rgb> variationPalette(int entries) {
        std::vector<imaging::Rgb> colours;
        for (int i = 0; i < entries; ++i) colours.push_back(document().picCompress(1).BitmapPalette(i));
        return colours;
    }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        prompts_.install();
        frmCustomPalette::SetMessageFunction(
            [this](const QString& text, const QString& title) { paletteMessages_.append(title + "|" + text); });
        frmCustomPalette::SetColorChooser([this](imaging::Rgb) { return nextColour_; });
        frmCustomPalette::SetFileChooser([this](QWidget*, const QString&, const QString&, bool) { return nextFile_; });
    }

    void init() {
        prompts_.clear();
        paletteMessages_.clear();
        ProgramOptions() = DefaultProgramOptions();
        ProgramOptions().FitToWindow = 0;
        nextColour_ = -1;
        nextFile_.clear();
    }

    void cleanup() {
        QVERIFY2(prompts_.errors.isEmpty(), qPrintable(prompts_.errors.join('\n')));
        main_.reset();
    }

    void usedPaletteBitsFollowsTheVisibleCount_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("bits");
        const int expected[][2] = {{1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {8, 3}, {9, 4}, {16, 4},
                                   {17, 5}, {32, 5}, {33, 6}, {64, 6}, {65, 7}, {128, 7}, {129, 8}, {256, 8}};
        for (const auto& row : expected) QTest::addRow("%d colours", row[0]) << row[0] << row[1];
    }

    void usedPaletteBitsFollowsTheVisibleCount() {
        QFETCH(int, count);
        QFETCH(int, bits);
        QCOMPARE(imaging::UsedPaletteBits(count), bits);
    }

    void sixteenColoursSaveAsFourBitGifAndLoadBackExactly() {
        const QString path = folder_.filePath(QStringLiteral("sixteen.pal"));
        QCOMPARE(imaging::WritePaletteFile(path, sixteenColours()), 0);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith("GIF8"));
        const imaging::ImageInfo info = imaging::readInfoFile(path.toStdString());
        QCOMPARE(info.format, imaging::format::Gif);
        QCOMPARE(info.width, 1);
        QCOMPARE(info.height, 1);
        QCOMPARE(info.bits, 4);
        std::vector<imaging::Rgb> read;
        QCOMPARE(imaging::ReadPaletteFile(path, read), 0);
        QCOMPARE(read, sixteenColours());

        // Through the window: sixteen cells, exactly those colours, the rest hidden.
        openLogo();
        selectVariation(1);
        QVERIFY(palette().LoadPaletteFromFile(path));
        for (int i = 0; i < 256; ++i) {
            QCOMPARE(palette().IsCellVisible(i), i < 16);
            if (i < 16) QCOMPARE(palette().CellColor(i), sixteenColours()[static_cast<std::size_t>(i)]);
        }
        QCOMPARE(palette().UsedPaletteBits(), 4);
        // And saved again from the cells, byte for byte the same file.
        const QString again = folder_.filePath(QStringLiteral("again.gif"));
        QVERIFY(palette().SavePaletteToFile(again));
        QFile first(path), second(again);
        QVERIFY(first.open(QIODevice::ReadOnly) && second.open(QIODevice::ReadOnly));
        QCOMPARE(second.readAll(), first.readAll());
    }

    void badPaletteFilesAreRefusedAndTheCellsKeepTheirColours_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("error");
        QTest::newRow("text file") << QByteArray("not a picture at all\n") << int(imaging::ErrorCode::UnknownFormat);
        QByteArray truecolour;
        {
            imaging::Bitmap rgb(4, 4, 24);
            imaging::Image image;
            image.frames.push_back(imaging::Frame{rgb});
            imaging::SaveOptions options;
            options.format = imaging::format::Png;
            options.bits = 24;
            const imaging::Bytes bytes = imaging::saveMemory(image, options);
            truecolour = QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
        }
        QTest::newRow("24-bit PNG") << truecolour << int(imaging::ErrorCode::Unsupported);
        const QString full = folder_.filePath(QStringLiteral("full.gif"));
        imaging::WritePaletteFile(full, sixteenColours());
        QFile file(full);
        file.open(QIODevice::ReadOnly);
        QTest::newRow("truncated GIF") << file.readAll().left(20) << int(imaging::ErrorCode::Truncated);
        QTest::newRow("empty file") << QByteArray() << int(imaging::ErrorCode::Truncated);
    }

    void badPaletteFilesAreRefusedAndTheCellsKeepTheirColours() {
        QFETCH(QByteArray, content);
        QFETCH(int, error);
        const QString path = folder_.filePath(QStringLiteral("bad.pal"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        std::vector<imaging::Rgb> untouched{1, 2, 3};
        QCOMPARE(imaging::ReadPaletteFile(path, untouched), error);
        QCOMPARE(untouched, (std::vector<imaging::Rgb>{1, 2, 3}));

        openLogo();
        selectVariation(1);
        const std::vector<imaging::Rgb> before = variationPalette(256);
        const int encodes = document().picCompress(1).EncodeCount();
        nextFile_ = path;
        button("cmdLoadPalette")->click();
        QCOMPARE(paletteMessages_, QStringList{"Error|Error: Unrecognized format. Could not load palette."});
        for (int i = 0; i < 256; ++i) QCOMPARE(palette().CellColor(i), before[static_cast<std::size_t>(i)]);
        // Nothing applied either: the Variation keeps its encoding and its palette kind.
        QCOMPARE(document().picCompress(1).EncodeCount(), encodes);
        QCOMPARE(tools().SelectedPalette(), 2);
    }

    void aProfilesCustomPaletteComesFromItsPaletteFile() {
        const QString path = folder_.filePath(QStringLiteral("profile.pal"));
        QCOMPARE(imaging::WritePaletteFile(path, sixteenColours()), 0);
        for (int slot = 1; slot <= 5; ++slot) {
            ProgramOptions().Profiles[static_cast<std::size_t>(slot)].GIFColorPalette = 16;
            ProgramOptions().Profiles[static_cast<std::size_t>(slot)].GIFPaletteFileName = path.toStdString();
        }
        // openLogo keeps the palette kind and file of the profiles it is given.
        customProfile_ = true;
        openLogo();
        customProfile_ = false;
        QCOMPARE(document().picCompress(1).BitmapBits(), 8);
        QCOMPARE(variationPalette(16), sixteenColours());
    }

    void paletteButtonShowsTheSelectedVariationsColours() {
        openLogo();
        // The first document brings the window up with the Original's palette (8 bits).
        QVERIFY(palette().isVisible());
        QCOMPARE(palette().CurrentPicture(), &document().picOriginal());
        QCOMPARE(palette().CellColor(42), logo().palette()[42]);
        QVERIFY(palette().IsCellVisible(255));
        selectVariation(1);
        frmCustomPalette& window = palette();
        QVERIFY(window.isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Color Palette"));
        QCOMPARE(window.CurrentPicture(), &document().picCompress(1));
        const int bits = document().picCompress(1).BitmapBits();
        QVERIFY(bits >= 6 && bits <= 8);  // 43 colours need 6 bits at least
        for (int i = 0; i < 256; ++i) {
            QCOMPARE(window.IsCellVisible(i), i < (1 << bits));
            QCOMPARE(window.CellColor(i), i < (1 << bits) ? document().picCompress(1).BitmapPalette(i) : 0u);
        }
        for (const char* name : {"cmdLoadPalette", "cmdSavePalette", "cmdCopy", "cmdPaste", "cmdChangeColor", "cmdApply"})
            QVERIFY2(button(name)->isEnabled(), name);
        // Every colour of the logo is among the cells.
        for (int c = 0; c < 43; ++c) {
            const imaging::Rgb colour = logo().palette()[static_cast<std::size_t>(c)];
            bool found = false;
            for (int i = 0; i < (1 << bits); ++i) found = found || window.CellColor(i) == colour;
            QVERIFY2(found, qPrintable(QString::number(c)));
        }
        // The close box (a close from the window system) only hides it, through View > Palette.
        QVERIFY(window.windowHandle());
        window.windowHandle()->close();
        QVERIFY(!window.isVisible());
        QCOMPARE(main().PaletteWindow(), &window);
        QVERIFY(!main().findChild<QAction*>("mnuViewPalette")->isChecked());
    }

    void selectionAndButtonsFollowThePicture() {
        openLogo(4);
        selectVariation(1);
        frmCustomPalette& window = palette();
        QCOMPARE(document().picCompress(1).BitmapBits(), 4);
        // Cell 20 chosen while 8 bits were shown, then a 4-bit picture: back to cell 0.
        imaging::ImageControl eight;
        eight.SetBitmap(logo());
        window.DisplayPalette(document().picCompress(1), &eight);
        window.Command1_Click(20);
        QCOMPARE(window.SelectedIndex(), 20);
        window.DisplayPalette(document().picCompress(1));
        QCOMPARE(window.SelectedIndex(), 0);
        QVERIFY(window.IsCellVisible(15));
        QVERIFY(!window.IsCellVisible(16));
        QCOMPARE(window.findChild<QLabel*>("lblPaletteIndex")->text(), QStringLiteral("Index: 0"));

        // The Original (8 bits): only Edit colour.
        document().SelektiereGrafik(0);
        QCOMPARE(window.CurrentPicture(), &document().picOriginal());
        for (const char* name : {"cmdLoadPalette", "cmdSavePalette", "cmdCopy", "cmdPaste", "cmdApply"})
            QVERIFY2(!button(name)->isEnabled(), name);
        QVERIFY(button("cmdChangeColor")->isEnabled());

        // A 24-bit picture: "no palette", empty labels, every button off.
        imaging::ImageControl truecolour;
        truecolour.SetBitmap(imaging::Bitmap(2, 2, 24));
        document().SelektiereGrafik(1);
        window.DisplayPalette(truecolour);
        QVERIFY(window.findChild<QWidget*>("frameColorPalette")->isHidden());
        QVERIFY(!window.findChild<QLabel*>("lblNoPalette")->isHidden());
        QCOMPARE(window.findChild<QLabel*>("lblNoPalette")->text(), QStringLiteral("no palette"));
        QVERIFY(window.findChild<QLabel*>("lblPaletteIndex")->text().isEmpty());
        QVERIFY(window.findChild<QLabel*>("lblRGBColor")->text().isEmpty());
        for (const char* name : {"cmdLoadPalette", "cmdSavePalette", "cmdCopy", "cmdPaste", "cmdChangeColor", "cmdApply"})
            QVERIFY2(!button(name)->isEnabled(), name);
    }

    void editingAColourReEncodesTheVariationWithTheEditedPalette() {
        openLogo();
        selectVariation(1);
        frmCustomPalette& window = palette();
        const int bits = document().picCompress(1).BitmapBits();
        const int encodes = document().picCompress(1).EncodeCount();
        window.Command1_Click(3);
        const imaging::Rgb chosen = imaging::makeRgb(1, 2, 250);
        nextColour_ = chosen;
        button("cmdChangeColor")->click();
        QVERIFY(document().picCompress(1).EncodeCount() > encodes);
        QCOMPARE(tools().SelectedPalette(), 16);
        QCOMPARE(tools().SelectedPixelDepth(), bits);
        QCOMPARE(document().picCompress(1).BitmapBits(), bits);
        // The new encoding carries the edited palette, entry for entry.
        QCOMPARE(document().picCompress(1).BitmapPalette(3), chosen);
        QCOMPARE(window.CellColor(3), chosen);
        QCOMPARE(window.findChild<QLabel*>("lblRGBColor")->text(), QStringLiteral("1, 2, 250"));

        // A colour beyond 24 bits is refused and changes nothing.
        const int after = document().picCompress(1).EncodeCount();
        nextColour_ = 0x1000000;
        button("cmdChangeColor")->click();
        QCOMPARE(paletteMessages_.size(), 1);
        QVERIFY(paletteMessages_[0].contains("0 to 255"));
        QCOMPARE(window.CellColor(3), chosen);
        QCOMPARE(document().picCompress(1).EncodeCount(), after);
        // Cancel does nothing at all.
        nextColour_ = -1;
        button("cmdChangeColor")->click();
        QCOMPARE(document().picCompress(1).EncodeCount(), after);
    }

    // Edit color opens at the cell's colour, and the edited entry shows in the Variation: the
    // pixels that stood on it keep it and take the new colour, every other pixel stays, and
    // so it stays when the Variation is encoded again from a changed Original.
    void editedColourShowsInTheVariation() {
        openLogo();
        selectVariation(1);
        frmCustomPalette& window = palette();
        imaging::ImageControl& variation = document().picCompress(1);
        const imaging::Bitmap before = variation.Bitmap();
        QVERIFY(before.isIndexed());
        const auto entry = static_cast<int>(before.rawPixel(10, 5));
        const imaging::Rgb old = variation.BitmapPalette(entry);
        window.Command1_Click(entry);
        std::int64_t offered = -1;
        const imaging::Rgb magenta = imaging::makeRgb(255, 0, 255);
        const auto previous = frmCustomPalette::SetColorChooser([&](imaging::Rgb initial) {
            offered = initial;
            return std::int64_t(magenta);
        });
        struct Restore {
            frmCustomPalette::ColorChooser chooser;
            ~Restore() { frmCustomPalette::SetColorChooser(chooser); }
        } restore{previous};
        button("cmdChangeColor")->click();
        QCOMPARE(offered, std::int64_t(old));
        const auto check = [&](const char* when) {
            const imaging::Bitmap& after = variation.Bitmap();
            int shown = 0;
            for (int y = 0; y < before.height(); ++y) {
                for (int x = 0; x < before.width(); ++x) {
                    if (x == 0 && y == 0) continue;  // the pixel the Original's change touches
                    const imaging::Rgb expected = static_cast<int>(before.rawPixel(x, y)) == entry ? magenta : before.pixel(x, y);
                    QVERIFY2((after.pixel(x, y) & 0xFFFFFFu) == (expected & 0xFFFFFFu),
                             qPrintable(QStringLiteral("%1: pixel %2,%3 is %4, not %5")
                                            .arg(when)
                                            .arg(x)
                                            .arg(y)
                                            .arg(after.pixel(x, y) & 0xFFFFFFu, 6, 16, QLatin1Char('0'))
                                            .arg(expected & 0xFFFFFFu, 6, 16, QLatin1Char('0'))));
                    shown += (after.pixel(x, y) & 0xFFFFFFu) == magenta;
                }
            }
            QVERIFY2(shown >= 2 * before.height() - 1, when);
        };
        check("after the edit");
        // The Original changes elsewhere: the Variation is encoded again and keeps the edit.
        const int encodes = variation.EncodeCount();
        document().picOriginal().SetPixel(0, 0, imaging::makeRgb(0, 0, 0));
        document().picOriginalAendern();
        QVERIFY(variation.EncodeCount() > encodes);
        check("after the Original changed");
    }

    void editingTheOriginalsColourEncodesTheVariationsAgain() {
        openLogo();
        selectVariation(1);
        document().SelektiereGrafik(0);
        frmCustomPalette& window = palette();
        const int encodes = document().picCompress(1).EncodeCount();
        window.Command1_Click(5);
        nextColour_ = imaging::makeRgb(255, 0, 255);
        button("cmdChangeColor")->click();
        QCOMPARE(document().picOriginal().BitmapPalette(5), imaging::makeRgb(255, 0, 255));
        QVERIFY(document().picCompress(1).EncodeCount() > encodes);
        // An operation that takes the Original to 24 bits leaves it without a palette to show.
        imaging::Bitmap rgb = document().picOriginal().Bitmap().toRgb24();
        document().picOriginal().SetBitmap(std::move(rgb));
        document().picOriginalAendern();
        QVERIFY(window.findChild<QWidget*>("frameColorPalette")->isHidden());
        QVERIFY(!button("cmdChangeColor")->isEnabled());
    }

    void pasteAfterCopyingSixteenColoursAppliesAllCellsAtEightBits() {
        const QString path = folder_.filePath(QStringLiteral("copy.pal"));
        QCOMPARE(imaging::WritePaletteFile(path, sixteenColours()), 0);
        openLogo();
        selectVariation(1);
        frmCustomPalette& window = palette();
        nextFile_ = path;
        button("cmdLoadPalette")->click();
        // Loading applies: four bits, the file's colours.
        QCOMPARE(tools().SelectedPixelDepth(), 4);
        QCOMPARE(document().picCompress(1).BitmapBits(), 4);
        QCOMPARE(variationPalette(16), sixteenColours());
        button("cmdCopy")->click();
        button("cmdPaste")->click();
        for (int i = 0; i < 256; ++i) {
            QVERIFY(window.IsCellVisible(i));
            QCOMPARE(window.CellColor(i), i < 16 ? sixteenColours()[static_cast<std::size_t>(i)] : 0u);
        }
        QCOMPARE(tools().SelectedPixelDepth(), 8);
        QCOMPARE(document().picCompress(1).BitmapBits(), 8);
        QCOMPARE(variationPalette(16), sixteenColours());
    }

    void clickingAPixelSelectsTheFirstCellOfItsColour() {
        openLogo();
        selectVariation(1);
        frmCustomPalette& window = palette();
        imaging::ImageControl& variation = document().picCompress(1);
        const imaging::Rgb colour = variation.Pixel(30, 5);
        int first = -1;
        for (int i = 0; i < 256 && first < 0; ++i)
            if (window.IsCellVisible(i) && window.CellColor(i) == colour) first = i;
        QVERIFY(first >= 0);
        window.Command1_Click(first == 0 ? 1 : 0);
        emit variation.pointerUp(Qt::LeftButton, Qt::NoModifier, 30, 5);
        QCOMPARE(window.SelectedIndex(), first);
    }

    // At the first start, with no place stored, neither floating window covers the Original of
    // the first document: they stand beside the document area.
    void theFloatingWindowsStartBesideTheOriginal() {
        QFile::remove(SettingsFilePath());
        openLogo();
        if (!main().findChild<QAction*>("mnuViewPalette")->isChecked()) main().View().TogglePalette(false);
        QVERIFY(tools().isVisible());
        QVERIFY(palette().isVisible());
        imaging::ImageControl& original = document().picOriginal();
        const QRect shown(original.mapToGlobal(QPoint(0, 0)), original.size());
        QVERIFY2(!tools().frameGeometry().intersects(shown), "the tools window covers the Original");
        QVERIFY2(!palette().frameGeometry().intersects(shown), "the palette window covers the Original");
        QVERIFY(!tools().frameGeometry().intersects(palette().frameGeometry()));
        const QRect screen = tools().screen()->availableGeometry();
        QVERIFY(screen.contains(tools().frameGeometry()));
        QVERIFY(screen.contains(palette().frameGeometry()));
    }

    void placementIsStoredInTwipsAndComesBack() {
        WritePalettePosition(2400.0f, 1800.0f);
        openLogo();
        const double tpp = 1440.0 / palette().screen()->logicalDotsPerInchX();
        QCOMPARE(palette().pos(), QPoint(int(std::lround(2400 / tpp)), int(std::lround(1800 / tpp))));
        palette().move(40, 50);
        QVERIFY(main().close());  // the open document is confirmed by the answered prompt
        QCOMPARE(ReadPaletteLeft(-1.0f), float(40 * tpp));
        QCOMPARE(ReadPaletteTop(-1.0f), float(50 * tpp));
    }

    void aCellChoosesTheTransparentColourWhilePicking() {
        openLogo();
        selectVariation(1);
        frmCustomPalette& window = palette();
        ProgramOptions().OptionsAutoApply = 0;
        document().SetTransparentFarbeSelektieren(true);
        window.Command1_Click(7);
        QVERIFY(!document().GetTransparentFarbeSelektieren());
        const auto* swatch = tools().findChild<QFrame*>("FrameFormatGIFTransparentColor");
        QCOMPARE(frmTools::SwatchColor(swatch), window.CellColor(7));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KALMIRA_LANGUAGE", "en");
    QTemporaryDir settings;
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME")) qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    LanguageOffset = LanguageOffsetFromEnvironment();
    QApplication app(argc, argv);
    InitApplication();
    PaletteTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "palette_test.moc"
