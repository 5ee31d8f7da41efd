// The tools window driven the way a user drives it: typing into its boxes, choosing formats,
// depths and palettes, pressing Apply, picking a transparent colour on a Variation. A real
// document window stands beside it, so every apply really encodes.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRegularExpression>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStandardItemModel>
#include <QScreen>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "codecs/registry.h"
#include "core/codec.h"
#include "document/documenthost.h"
#include "document/frmdocument.h"
#include "settings/programoptions.h"
#include "settings/qualityoptions.h"
#include "settings/settingsstore.h"
#include "common/errortrap.h"
#include "common/globals.h"
#include "tools/frmtools.h"
#include "tools/toolsnumbers.h"
#include "fakemainwindow.h"
#include "test_pictures.h"

using namespace kalmira;

namespace {

using kalmira::testing::FakeMainWindow;
using kalmira::testing::stripes;

template <class T = QWidget>
T* child(const QWidget& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s", name);
    return found;
}

void typeAndEnter(QLineEdit* edit, const QString& text) {
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

}  // namespace

class FrmToolsTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    FakeMainWindow host_;
    QStringList messages_;
    QStringList errors_;
    std::unique_ptr<frmTools> tools_;
    std::unique_ptr<frmDocument> doc_;

    // A document holding `bitmap` with Variation 1 shown (a GIF of the profile's settings), as
    // the main window opens one, and the tools window working on it.
    void openDocument(const imaging::Bitmap& bitmap, int variations = 1) {
        doc_ = std::make_unique<frmDocument>();
        ApplyReady = false;
        doc_->picOriginal().SetBitmap(bitmap);
        imaging::ImageInfo info;
        info.width = bitmap.width();
        info.height = bitmap.height();
        info.bits = 24;
        info.fileSize = static_cast<std::uint64_t>(bitmap.width()) * bitmap.height() * 3;
        doc_->picOriginal().SetInfo(info);
        doc_->SetOriginalAnimation(false, 1);
        ProgramOptions().InitialOpenVariations = static_cast<std::int16_t>(variations);
        ApplyReady = true;
        doc_->InitialisiereGrafik(true);
        doc_->picOriginalAendern();
    }

    QAbstractButton* depth(int d) { return tools_->optPixelDepth(d); }
    QComboBox* format() { return child<QComboBox>(*tools_, "ComboFormat"); }
    int encodes() { return doc_->picCompress(1).EncodeCount(); }

private slots:
    void initTestCase() {
        InitApplication();
        SetReportPrompt([this](const QString&, const QString& message) {
            errors_.append(message);
            return ReportAnswer::Ok;
        });
        frmDocument::SetMessageFunction([this](const QString& text, bool) { messages_.append(text); });
        frmTools::SetMessageFunction([this](const QString& text) { messages_.append(text); });
        SetMainWindowHost(&host_);
        QVERIFY(dir_.isValid());
    }

    void init() {
        ProgramOptions() = DefaultProgramOptions();
        ProgramOptions().FitToWindow = 0;
        for (int slot = 1; slot <= 5; ++slot) {
            OptimizeProfile& p = ProgramOptions().Profiles[static_cast<std::size_t>(slot)];
            p.FileFormat = kProfileAlwaysGif;
            p.GIFMaxPixelDepth = 8;
            p.GIFColorPalette = 2;
            p.GIFMaxColors = 256;
        }
        host_ = FakeMainWindow();
        messages_.clear();
        errors_.clear();
        doc_.reset();
        tools_ = std::make_unique<frmTools>();
        tools_->SetActiveDocumentProvider([this] { return doc_.get(); });
    }

    void cleanup() {
        QVERIFY2(errors_.isEmpty(), qPrintable(errors_.join('\n')));
        doc_.reset();
        tools_.reset();
    }

    void initialStateBeforeAnyDocument() {
        // Nothing shows until a document fills the window.
        for (const char* frame : {"FrameOriginalTools1", "FrameOriginalTools2", "FrameOriginalTools3",
                                  "FrameOriginalTools4", "FrameVariationTools1", "FrameVariationTools2"})
            QVERIFY2(child<QWidget>(*tools_, frame)->isHidden(), frame);
        // Slider texts show the starting values, scaled where the pair is scaled.
        QCOMPARE(child<QLineEdit>(*tools_, "TextGammaCorrect")->text(), QString("1"));
        QCOMPARE(child<QLineEdit>(*tools_, "TextAddNoiseRange")->text(), QString("2"));
        QCOMPARE(child<QLineEdit>(*tools_, "TextMosaic")->text(), QString("10"));
        QCOMPARE(child<QLineEdit>(*tools_, "TextIntensityDetectHigh")->text(), QString("255"));
        QCOMPARE(child<QLineEdit>(*tools_, "TextQuality")->text(), QString("100"));
        QCOMPARE(tools_->SelectedPixelDepth(), 8);
        QCOMPARE(tools_->SelectedPalette(), 2);
        QCOMPARE(child<QComboBox>(*tools_, "ComboNumColors")->currentText(), QString("no limit"));
        QCOMPARE(child<QComboBox>(*tools_, "ComboDithering")->currentText(), QString("No Dithering"));
        QCOMPARE(child<QComboBox>(*tools_, "ComboFormat")->count(), 18);  // the sixteen, WebP, AVIF
        QCOMPARE(child<QComboBox>(*tools_, "ComboFilters")->itemText(11), QString("Line Detect"));
        QVERIFY(child<QAbstractButton>(*tools_, "OptionFormatWindowsBitmap")->isChecked());
        QVERIFY(child<QAbstractButton>(*tools_, "CheckFormatBMPCompressed")->isChecked());
        QVERIFY(child<QAbstractButton>(*tools_, "CheckFormatTIFFCompressed")->isChecked());
        QVERIFY(child<QAbstractButton>(*tools_, "CheckInterpolation")->isChecked());
        QVERIFY(child<QAbstractButton>(*tools_, "CheckProportional")->isChecked());
        QVERIFY(child<QAbstractButton>(*tools_, "OptionCropDirection4")->isChecked());
        QVERIFY(child<QAbstractButton>(*tools_, "OptionEmboss_NW")->isChecked());
        QVERIFY(child<QAbstractButton>(*tools_, "CheckRotateResize")->isChecked());
        QVERIFY(!child<QAbstractButton>(*tools_, "CheckGrayscale")->isChecked());
        QCOMPARE(child<QAbstractButton>(*tools_, "CheckFormatGIFInterlaced")->text(), QString("&Interlaced"));
        QCOMPARE(child<QTabBar>(*tools_, "TabVariationTools")->tabText(1), QString("Color Resolution"));
        // 5730 x 3600 twips.
        const double tpp = 1440.0 / tools_->screen()->logicalDotsPerInchX();
        QCOMPARE(tools_->width(), static_cast<int>(std::lround(5730 / tpp)));
    }

    // --- Value pairs ----------------------------------------------------------------------------

    void typedValueIsClampedToItsSlider_data() {
        QTest::addColumn<QString>("pair");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("slider");
        QTest::newRow("brightness above") << "Brightness" << "500" << "100" << 100;
        QTest::newRow("brightness below") << "Brightness" << "-500" << "-100" << -100;
        QTest::newRow("brightness inside") << "Brightness" << "42" << "42" << 42;
        QTest::newRow("gamma scaled above") << "GammaCorrect" << "3.5" << "3" << 300;
        QTest::newRow("gamma scaled inside") << "GammaCorrect" << "0.25" << "0.25" << 25;
        QTest::newRow("noise scaled above") << "AddNoiseRange" << "150" << "100" << 1000;
        QTest::newRow("rotate below minimum") << "Rotate" << "0" << "1" << 1;
        QTest::newRow("half rounds to even") << "Posterize" << "4.5" << "4" << 4;
        QTest::newRow("not a number reads 0") << "Shear" << "x" << "0" << 0;
    }

    void typedValueIsClampedToItsSlider() {
        QFETCH(QString, pair);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, slider);
        auto* text = tools_->findChild<QLineEdit*>("Text" + pair);
        auto* bar = tools_->findChild<QSlider*>("Slider" + pair);
        QVERIFY(text && bar);
        if (pair == "Shear") bar->setValue(5);  // so that 0 is a change the text shows
        typeAndEnter(text, typed);
        QCOMPARE(bar->value(), slider);
        QCOMPARE(text->text(), shown);
    }

    void setControlRaisesTheMaximumAndLiftsToTheMinimum() {
        auto* bar = child<QSlider>(*tools_, "SliderMosaic");
        int value = 150;
        frmTools::SetControl(bar, value);
        QCOMPARE(bar->maximum(), 150);
        QCOMPARE(bar->value(), 150);
        value = -3;
        frmTools::SetControl(bar, value);
        QCOMPARE(value, 2);  // the caller's variable is lifted too
        QCOMPARE(bar->value(), 2);
        // A scroll bar holds 16-bit values.
        auto* scroll = child<QScrollBar>(*tools_, "HScrollCropWidth");
        value = 100000;
        frmTools::SetControl(scroll, value);
        QCOMPARE(scroll->value(), 32767);
    }

    void intensityEndsDragEachOther() {
        auto* low = child<QSlider>(*tools_, "SliderIntensityDetectLow");
        auto* high = child<QSlider>(*tools_, "SliderIntensityDetectHigh");
        high->setValue(100);
        low->setValue(200);
        QCOMPARE(high->value(), 200);
        high->setValue(50);
        QCOMPARE(low->value(), 50);
        QCOMPARE(child<QLineEdit>(*tools_, "TextIntensityDetectLow")->text(), QString("50"));
    }

    // The window's number rules on both sides of each of their limits.
    // A swatch keeps the colour it is given (red in the low byte) and shows it channel by
    // channel; what the colour chooser answers is what it then holds and shows.
    void swatchesShowTheirColourChannelByChannel() {
        QFrame* swatch = child<QFrame>(*tools_, "FrameRotateColor");
        for (const std::uint32_t colour : {0x123456u, 0xABCDEFu, 0x0000FFu, 0xFF0000u, 0xFF00FF00u}) {
            frmTools::SetSwatchColor(swatch, colour);
            QCOMPARE(frmTools::SwatchColor(swatch), colour & 0xFFFFFFu);
            const QColor shown = swatch->palette().color(QPalette::Window);
            QCOMPARE(shown, QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF)));
        }
    }

    void numberRulesAtTheirLimits_data() {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("argument");
        QTest::addColumn<QString>("result");
        QTest::newRow("other side 0.49") << "proportional" << "0.49" << 0 << "1";
        QTest::newRow("other side 0.5") << "proportional" << "0.5" << 0 << "1";
        QTest::newRow("other side 0.99") << "proportional" << "0.99" << 0 << "1";
        QTest::newRow("other side 1") << "proportional" << "1" << 0 << "1";
        QTest::newRow("other side 1.5") << "proportional" << "1.5" << 0 << "2";
        QTest::newRow("other side 2.5") << "proportional" << "2.5" << 0 << "2";
        QTest::newRow("other side 2.51") << "proportional" << "2.51" << 0 << "3";
        QTest::newRow("colours 1") << "colours" << "1" << 0 << "1";
        QTest::newRow("colours 0.4") << "colours" << "0.4" << 0 << "none";
        QTest::newRow("colours 255") << "colours" << "255" << 0 << "255";
        QTest::newRow("colours 256") << "colours" << "256" << 0 << "256";
        QTest::newRow("colours 256.4") << "colours" << "256.4" << 0 << "256";
        QTest::newRow("colours 257") << "colours" << "257" << 0 << "256";
        QTest::newRow("passes 0") << "passes" << "0" << 0 << "0";
        QTest::newRow("passes -0.5") << "passes" << "-0.5" << 0 << "0";
        QTest::newRow("passes 64") << "passes" << "64" << 0 << "64";
        QTest::newRow("passes 64.5") << "passes" << "64.5" << 0 << "64";
        QTest::newRow("passes 65") << "passes" << "65" << 0 << "64";
        // Numbers too large for a double keep their sign.
        QTest::newRow("passes -1e999") << "passes" << "-1e999" << 0 << "0";
        QTest::newRow("passes 1e999") << "passes" << "1e999" << 0 << "64";
        QTest::newRow("frame -1e999") << "frame" << "-1e999" << 5 << "1";
        QTest::newRow("frame 1e999") << "frame" << "1e999" << 5 << "5";
        QTest::newRow("frame 0") << "frame" << "0" << 5 << "1";
        QTest::newRow("frame 1") << "frame" << "1" << 5 << "1";
        QTest::newRow("frame 5 of 5") << "frame" << "5" << 5 << "5";
        QTest::newRow("frame 6 of 5") << "frame" << "6" << 5 << "5";
        QTest::newRow("frame 2.5") << "frame" << "2.5" << 5 << "2";
        // Depths by a format's string: characters 1-8, then 16, 24 and 32.
        QTest::newRow("GIF allows 8") << "allowed" << "11111111000" << 8 << "1";
        QTest::newRow("GIF refuses 16") << "allowed" << "11111111000" << 16 << "0";
        QTest::newRow("TIFF allows 16") << "allowed" << "11111111110" << 16 << "1";
        QTest::newRow("TIFF refuses 32") << "allowed" << "11111111110" << 32 << "0";
        QTest::newRow("no depth 9") << "allowed" << "11111111111" << 9 << "0";
        QTest::newRow("no depth 0") << "allowed" << "11111111111" << 0 << "0";
        QTest::newRow("short string") << "allowed" << "1111111111" << 32 << "0";
        QTest::newRow("PNG keeps 1") << "choose" << "10010001011" << 1 << "1";
        QTest::newRow("PNG lifts 2 to 4") << "choose" << "10010001011" << 2 << "4";
        QTest::newRow("PNG lifts 5 to 8") << "choose" << "10010001011" << 5 << "8";
        QTest::newRow("PNG keeps 8") << "choose" << "10010001011" << 8 << "8";
        QTest::newRow("PNG lifts 16 to 24") << "choose" << "10010001011" << 16 << "24";
        QTest::newRow("GIF drops 16 to 8") << "choose" << "11111111000" << 16 << "8";
        QTest::newRow("GIF keeps 7") << "choose" << "11111111000" << 7 << "7";
        QTest::newRow("TIFF keeps 16") << "choose" << "11111111110" << 16 << "16";
        QTest::newRow("TIFF drops 32 to 24") << "choose" << "11111111110" << 32 << "24";
        QTest::newRow("TGA keeps 8") << "choose" << "00000001111" << 8 << "8";
        QTest::newRow("WebP lifts 8 to 24") << "choose" << "00000000011" << 8 << "24";
        QTest::newRow("JPEG lifts 8 to 24") << "choose" << "00000000010" << 8 << "24";
        QTest::newRow("JPEG drops 32 to 24") << "choose" << "00000000010" << 32 << "24";
        QTest::newRow("nothing allowed") << "choose" << "00000000000" << 8 << "0";
    }

    void numberRulesAtTheirLimits() {
        QFETCH(QString, rule);
        QFETCH(QString, typed);
        QFETCH(int, argument);
        QFETCH(QString, result);
        QString got;
        if (rule == "proportional") got = QString::number(ProportionalSize(typed.toDouble()));
        else if (rule == "colours") got = ClampColorCountText(typed, QStringLiteral("none"));
        else if (rule == "passes") got = ClampPassesText(typed);
        else if (rule == "frame") got = QString::number(ClampImageNumber(typed, argument));
        else if (rule == "allowed") got = DepthAllowed(typed, argument) ? "1" : "0";
        else got = QString::number(ChooseDepthForFormat(typed, argument));
        QCOMPARE(got, result);
    }

    void resizePairKeepsTheAspectRatio() {
        openDocument(stripes(200, 100));
        doc_->SelektiereGrafik(0);
        auto* width = child<QScrollBar>(*tools_, "HScrollResizeWidth");
        auto* height = child<QScrollBar>(*tools_, "HScrollResizeHeight");
        QCOMPARE(width->value(), 200);
        QCOMPARE(height->value(), 100);
        QCOMPARE(width->maximum(), 600);
        QCOMPARE(child<QScrollBar>(*tools_, "HScrollCropHeight")->maximum(), 100);
        typeAndEnter(child<QLineEdit>(*tools_, "TextResizeWidth"), "50");
        QCOMPARE(height->value(), 25);
        // 1 / 2 has integer part 0: the height becomes 1, which in turn makes the width 2.
        typeAndEnter(child<QLineEdit>(*tools_, "TextResizeWidth"), "1");
        QCOMPARE(height->value(), 1);
        QCOMPARE(width->value(), 2);
        QCOMPARE(child<QLineEdit>(*tools_, "TextResizeWidth")->text(), QString("2"));
        // Without the ratio the bars move alone.
        child<QCheckBox>(*tools_, "CheckProportional")->click();
        QCOMPARE(tools_->AspectRatio(), 0.0);
        width->setValue(80);
        QCOMPARE(height->value(), 1);
    }

    // --- Variation settings ---------------------------------------------------------------------

    void formatChangeChoosesAnAllowedDepth_data() {
        QTest::addColumn<int>("fromFormat");
        QTest::addColumn<int>("fromDepth");
        QTest::addColumn<int>("toFormat");
        QTest::addColumn<int>("chosen");
        QTest::addColumn<bool>("rleEnabled");
        QTest::newRow("GIF 5 to JPEG") << 0 << 5 << 1 << 24 << true;
        QTest::newRow("JPEG 24 to GIF") << 1 << 24 << 0 << 8 << true;
        QTest::newRow("GIF 3 to BMP") << 0 << 3 << 3 << 4 << true;
        QTest::newRow("TIFF 16 to BMP") << 13 << 16 << 3 << 24 << false;
        QTest::newRow("GIF 8 to BMP keeps 8") << 0 << 8 << 3 << 8 << true;
        QTest::newRow("TGA 32 to PNG keeps 32") << 12 << 32 << 2 << 32 << true;
        QTest::newRow("JPEG 24 to PNG keeps 24") << 1 << 24 << 2 << 24 << true;
        QTest::newRow("GIF 2 to EPS") << 0 << 2 << 4 << 8 << true;
        // Run-length coding is offered at 4 and 8 bits only: not at 1, below, nor at 24, above.
        QTest::newRow("GIF 1 to BMP keeps 1, no RLE") << 0 << 1 << 3 << 1 << false;
        QTest::newRow("GIF 4 to BMP keeps 4 with RLE") << 0 << 4 << 3 << 4 << true;
        QTest::newRow("GIF 5 to BMP takes 8 with RLE") << 0 << 5 << 3 << 8 << true;
        QTest::newRow("JPEG 24 to BMP keeps 24, no RLE") << 1 << 24 << 3 << 24 << false;
    }

    void formatChangeChoosesAnAllowedDepth() {
        QFETCH(int, fromFormat);
        QFETCH(int, fromDepth);
        QFETCH(int, toFormat);
        QFETCH(int, chosen);
        QFETCH(bool, rleEnabled);
        format()->setCurrentIndex(fromFormat);
        depth(fromDepth)->click();
        QVERIFY(depth(fromDepth)->isChecked());
        format()->setCurrentIndex(toFormat);
        QCOMPARE(tools_->SelectedPixelDepth(), chosen);
        const QString allowed = SaveFormats[static_cast<std::size_t>(toFormat)].PixelDepths;
        for (int d : {1, 2, 3, 4, 5, 6, 7, 8, 16, 24, 32})
            QCOMPARE(depth(d)->isEnabled(), DepthAllowed(allowed, d));
        if (toFormat == 3) QCOMPARE(child<QCheckBox>(*tools_, "CheckFormatBMPCompressed")->isEnabled(), rleEnabled);
        // The options of the chosen format show.
        const int code = SaveFormats[static_cast<std::size_t>(toFormat)].FormatCode;
        QVERIFY(!tools_->findChild<QWidget*>(QString("FrameFormat%1").arg(code))->isHidden());
    }

    void netscapeFallsBackToFixedBelowEightBits() {
        format()->setCurrentIndex(13);  // TIFF offers every depth up to 24
        depth(8)->click();
        tools_->optPalette(64)->click();
        QVERIFY(tools_->optPalette(64)->isEnabled());
        depth(4)->click();
        QVERIFY(tools_->optPalette(1)->isChecked());
        QVERIFY(!tools_->optPalette(64)->isEnabled());
        QVERIFY(!child<QComboBox>(*tools_, "ComboNumColors")->isEnabled());  // only with Optimized
        depth(24)->click();
        QVERIFY(!child<QComboBox>(*tools_, "ComboDithering")->isEnabled());
        QVERIFY(!tools_->optPalette(2)->isEnabled());
    }

    void typedBoxesAreClamped_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("colours above") << "ComboNumColors" << "300" << "256";
        QTest::newRow("colours zero") << "ComboNumColors" << "0" << "no limit";
        QTest::newRow("colours text") << "ComboNumColors" << "many" << "no limit";
        QTest::newRow("colours kept") << "ComboNumColors" << "17" << "17";
        QTest::newRow("colours 256 kept") << "ComboNumColors" << "256" << "256";
        QTest::newRow("colours 257") << "ComboNumColors" << "257" << "256";
        QTest::newRow("colours 1 kept") << "ComboNumColors" << "1" << "1";
        QTest::newRow("passes 64 kept") << "TextProgressivePasses" << "64" << "64";
        QTest::newRow("passes 65") << "TextProgressivePasses" << "65" << "64";
        QTest::newRow("passes 0 kept") << "TextProgressivePasses" << "0" << "0";
        QTest::newRow("quality 254 kept") << "TextQuality" << "254" << "254";
        QTest::newRow("quality 255") << "TextQuality" << "255" << "254";
        QTest::newRow("passes above") << "TextProgressivePasses" << "99" << "64";
        QTest::newRow("passes below") << "TextProgressivePasses" << "-1" << "0";
        QTest::newRow("image number zero") << "TextAnimationImageNumber" << "0" << "1";
        QTest::newRow("quality above") << "TextQuality" << "300" << "254";
    }

    void typedBoxesAreClamped() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        openDocument(stripes(40, 30));
        doc_->SelektiereGrafik(1);
        // Applying would refill the boxes from the GIF record, which holds no JPEG values.
        ProgramOptions().OptionsAutoApply = 0;
        child<QCheckBox>(*tools_, "CheckProgressive")->setChecked(true);
        tools_->EnableFrameGIFAnimation(true);
        QLineEdit* edit = box == "ComboNumColors" ? child<QComboBox>(*tools_, "ComboNumColors")->lineEdit()
                                                  : tools_->findChild<QLineEdit*>(box);
        QVERIFY(edit);
        edit->setEnabled(true);
        typeAndEnter(edit, typed);
        QCOMPARE(edit->text(), shown);
    }

    void theToolsWindowFollowsTheSelection() {
        openDocument(stripes(40, 30), 2);
        auto* originalTabs = child<QTabBar>(*tools_, "TabOriginalTools");
        auto* variationTabs = child<QTabBar>(*tools_, "TabVariationTools");
        doc_->SelektiereGrafik(2);
        QVERIFY(originalTabs->isHidden());
        QVERIFY(!variationTabs->isHidden());
        QVERIFY(!child<QWidget>(*tools_, "FrameVariationTools1")->isHidden());
        QCOMPARE(tools_->windowTitle(), QString("Variation2"));
        QCOMPARE(host_.saveEnabled, 1);
        QCOMPARE(tools_->HelpContextID(), 1200);
        QCOMPARE(format()->currentIndex(), doc_->record(2).Format);
        QCOMPARE(tools_->SelectedPixelDepth(), doc_->record(2).PixelDepth);
        QVERIFY(child<QLabel>(*tools_, "LabelUniqueColors")->text().endsWith(" unique Colors"));
        QCOMPARE(child<QLabel>(*tools_, "LabelUniqueColors")->text(),
                 QString::number(doc_->picCompress(2).ColorCount()) + " unique Colors");

        doc_->SetGrafikFileNameSave(1, "/tmp/a.gif");
        doc_->SelektiereGrafik(1);
        QCOMPARE(tools_->windowTitle(), QString("Variation1: /tmp/a.gif"));
        variationTabs->setCurrentIndex(1);
        QCOMPARE(tools_->HelpContextID(), 1201);
        QVERIFY(child<QWidget>(*tools_, "FrameVariationTools1")->isHidden());

        doc_->SelektiereGrafik(0);
        QVERIFY(!originalTabs->isHidden());
        QVERIFY(variationTabs->isHidden());
        QCOMPARE(tools_->windowTitle(), QString("Master"));
        QCOMPARE(host_.saveEnabled, 0);
        originalTabs->setCurrentIndex(1);
        QCOMPARE(tools_->HelpContextID(), 1001);
        QVERIFY(!child<QWidget>(*tools_, "FrameOriginalTools2")->isHidden());
        QVERIFY(child<QWidget>(*tools_, "FrameOriginalTools1")->isHidden());
    }

    void autoApplyEncodesOnceAndApplyWaits() {
        openDocument(stripes(60, 40));
        doc_->SelektiereGrafik(1);
        QCOMPARE(doc_->record(1).Format, 0);
        // Auto-apply on: one change, one encoding of exactly this Variation, even when the
        // depth rule moves the palette choice as well.
        depth(8)->click();
        QCOMPARE(doc_->record(1).PixelDepth, 8);
        tools_->optPalette(64)->click();
        QCOMPARE(doc_->record(1).ColorPalette, 64);
        int before = encodes();
        depth(4)->click();
        QCOMPARE(encodes(), before + 1);
        QCOMPARE(doc_->record(1).PixelDepth, 4);
        QCOMPARE(doc_->record(1).ColorPalette, 1);
        before = encodes();
        format()->setCurrentIndex(1);
        QCOMPARE(encodes(), before + 1);
        QCOMPARE(doc_->record(1).Format, 1);
        QCOMPARE(doc_->record(1).PixelDepth, 24);

        // Dragging the quality slider does not encode; releasing it does, once.
        auto* quality = child<QSlider>(*tools_, "SliderQuality");
        before = encodes();
        quality->setValue(40);
        QCOMPARE(child<QLineEdit>(*tools_, "TextQuality")->text(), QString("40"));
        QCOMPARE(encodes(), before);
        QTest::mouseRelease(quality, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(encodes(), before + 1);
        QCOMPARE(doc_->record(1).JPEGQFactor, 256 - 40);

        // Auto-apply off: nothing is applied until Apply.
        ProgramOptions().OptionsAutoApply = 0;
        before = encodes();
        format()->setCurrentIndex(0);
        depth(6)->click();
        typeAndEnter(child<QComboBox>(*tools_, "ComboNumColors")->lineEdit(), "20");
        QCOMPARE(encodes(), before);
        QCOMPARE(doc_->record(1).Format, 1);
        child<QPushButton>(*tools_, "CommandApply")->click();
        QCOMPARE(encodes(), before + 1);
        QCOMPARE(doc_->record(1).Format, 0);
        QCOMPARE(doc_->record(1).PixelDepth, 6);
        QCOMPARE(doc_->picCompress(1).InfoBits(), 6);
    }

    void anApplyEncodesOnceAndDrawsOnce() {
        openDocument(stripes(60, 40));
        doc_->show();
        QVERIFY(QTest::qWaitForWindowExposed(doc_.get()));
        doc_->SelektiereGrafik(1);
        imaging::ImageControl& picture = doc_->picCompress(1);
        QTRY_VERIFY(picture.PaintCount() > 0);
        QCoreApplication::processEvents();
        const int painted = picture.PaintCount();
        const int encoded = encodes();
        QVERIFY(doc_->record(1).PixelDepth != 6);
        depth(6)->click();
        QCOMPARE(doc_->record(1).PixelDepth, 6);
        QCOMPARE(encodes(), encoded + 1);
        QTRY_COMPARE(picture.PaintCount(), painted + 1);
        QCoreApplication::processEvents();
        QCOMPARE(picture.PaintCount(), painted + 1);
    }

    void applyIsRefusedWhileNotReady() {
        openDocument(stripes(60, 40));
        doc_->SelektiereGrafik(1);
        ProgramOptions().OptionsAutoApply = 0;
        format()->setCurrentIndex(1);
        ApplyReady = false;
        const int before = encodes();
        child<QPushButton>(*tools_, "CommandApply")->click();
        QCOMPARE(encodes(), before);
        ApplyReady = true;
    }

    void originalOperationsChangeTheMasterAndTheVariations() {
        openDocument(stripes(60, 40));
        doc_->SelektiereGrafik(0);
        int undoSteps = 0;
        tools_->SetUndoStepHook([&](frmDocument&) { ++undoSteps; });
        child<QTabBar>(*tools_, "TabOriginalTools")->setCurrentIndex(3);  // Special
        child<QComboBox>(*tools_, "ComboSpecial")->setCurrentIndex(0);    // Rotate
        typeAndEnter(child<QLineEdit>(*tools_, "TextRotate"), "90");
        const int before = encodes();
        child<QPushButton>(*tools_, "CommandApply")->click();
        QCOMPARE(undoSteps, 1);
        QCOMPARE(doc_->picOriginal().BitmapWidth(), 40);
        QCOMPARE(doc_->picOriginal().BitmapHeight(), 60);
        QCOMPARE(encodes(), before + 1);
        QCOMPARE(doc_->picCompress(1).BitmapWidth(), 40);
        // The resize range follows the new size.
        QCOMPARE(child<QScrollBar>(*tools_, "HScrollResizeWidth")->value(), 40);

        // Crop from Apply with the centre anchor.
        child<QTabBar>(*tools_, "TabOriginalTools")->setCurrentIndex(0);
        child<QComboBox>(*tools_, "ComboResize")->setCurrentIndex(1);
        typeAndEnter(child<QLineEdit>(*tools_, "TextCropWidth"), "20");
        typeAndEnter(child<QLineEdit>(*tools_, "TextCropHeight"), "21");
        const imaging::Rgb centre = doc_->picOriginal().Pixel(10, 20);
        child<QPushButton>(*tools_, "CommandApply")->click();
        QCOMPARE(doc_->picOriginal().BitmapWidth(), 20);
        QCOMPARE(doc_->picOriginal().BitmapHeight(), 21);
        QCOMPARE(doc_->picOriginal().Pixel(0, 0), centre);  // left (40-20)/2 = 10, top (60-21)/2 = 19.5 -> 20

        // Crop selection without a selection says so and changes nothing.
        child<QPushButton>(*tools_, "CommandCropSelection")->click();
        QCOMPARE(messages_, QStringList{"Cannot crop: No region selected."});
        QCOMPARE(doc_->picOriginal().BitmapWidth(), 20);
    }

    void animatedOriginalIsRefused() {
        openDocument(stripes(60, 40));
        imaging::ImageInfo info = doc_->picOriginal().Info();
        info.animated = true;
        info.pages = 3;
        info.format = 2;
        doc_->picOriginal().SetInfo(info);
        doc_->SelektiereGrafik(0);
        int undoSteps = 0;
        tools_->SetUndoStepHook([&](frmDocument&) { ++undoSteps; });
        child<QTabBar>(*tools_, "TabOriginalTools")->setCurrentIndex(1);
        child<QComboBox>(*tools_, "ComboColorCorrection")->setCurrentIndex(5);  // Invert
        const imaging::Rgb before = doc_->picOriginal().Pixel(0, 0);
        child<QPushButton>(*tools_, "CommandApply")->click();
        QCOMPARE(messages_, QStringList{"No image manipulation on animated GIF possible"});
        QCOMPARE(undoSteps, 0);
        QCOMPARE(doc_->picOriginal().Pixel(0, 0), before);
    }

    // A Crop selection refused on an animation leaves no request behind: the next plain Apply
    // crops by the anchor and the size, not to the selection.
    void refusedCropSelectionLeavesNoRequest() {
        openDocument(stripes(60, 40));
        imaging::ImageInfo info = doc_->picOriginal().Info();
        const imaging::ImageInfo still = info;
        info.animated = true;
        info.pages = 3;
        info.format = 2;
        doc_->picOriginal().SetInfo(info);
        doc_->SelektiereGrafik(0);
        child<QTabBar>(*tools_, "TabOriginalTools")->setCurrentIndex(0);
        child<QComboBox>(*tools_, "ComboResize")->setCurrentIndex(1);  // Crop
        doc_->picOriginal().SetRgn(imaging::ops::Region::rectangle(5, 5, 12, 10));
        child<QPushButton>(*tools_, "CommandCropSelection")->click();
        QCOMPARE(messages_, QStringList{"No image manipulation on animated GIF possible"});
        QCOMPARE(doc_->picOriginal().BitmapWidth(), 60);

        doc_->picOriginal().SetInfo(still);
        doc_->FuelleReiterOriginal();
        typeAndEnter(child<QLineEdit>(*tools_, "TextCropWidth"), "60");
        typeAndEnter(child<QLineEdit>(*tools_, "TextCropHeight"), "40");
        child<QPushButton>(*tools_, "CommandApply")->click();
        QCOMPARE(doc_->picOriginal().BitmapWidth(), 60);
        QCOMPARE(doc_->picOriginal().BitmapHeight(), 40);
        QCOMPARE(messages_.size(), 1);
    }

    // With auto-apply off a picked transparent colour waits in the swatches for Apply: the
    // click that picked it does not refill the window from the Variation's record.
    void pickedColourWaitsForApply() {
        ProgramOptions().OptionsAutoApply = 0;
        openDocument(stripes(64, 48));
        doc_->SelektiereGrafik(1);
        child<QCheckBox>(*tools_, "CheckFormatGIFTransparent")->click();
        child<QPushButton>(*tools_, "CommandApply")->click();
        QVERIFY(doc_->record(1).GIFTransparent);
        const std::uint32_t recorded = doc_->record(1).GIFTransparentColor;
        imaging::ImageControl& picture = doc_->picCompress(1);
        QPoint at(-1, -1);
        for (int x = 0; x < picture.BitmapWidth() && at.x() < 0; ++x)
            if ((picture.Pixel(x, 10) & 0xFFFFFFu) != recorded) at = QPoint(x, 10);
        QVERIFY(at.x() >= 0);
        const imaging::Rgb picked = picture.Pixel(at.x(), at.y()) & 0xFFFFFFu;
        child<QPushButton>(*tools_, "CommandFormatGIFChangeColor")->click();
        QVERIFY(doc_->GetTransparentFarbeSelektieren());
        const int encoded = encodes();
        QTest::mouseClick(&picture, Qt::LeftButton, {}, at);
        QVERIFY(!doc_->GetTransparentFarbeSelektieren());
        QCOMPARE(doc_->FindeSelektierteGrafik(), 1);
        QCOMPARE(frmTools::SwatchColor(child<QFrame>(*tools_, "FrameFormatGIFTransparentColor")), picked);
        QCOMPARE(frmTools::SwatchColor(child<QFrame>(*tools_, "FrameFormatPNGTransparentColor")), picked);
        QCOMPARE(encodes(), encoded);
        QCOMPARE(doc_->record(1).GIFTransparentColor, recorded);
        // The next click on the picture selects it as ever.
        QTest::mouseClick(&picture, Qt::LeftButton, {}, at);
        QCOMPARE(frmTools::SwatchColor(child<QFrame>(*tools_, "FrameFormatGIFTransparentColor")), recorded);
        // Apply takes the picked colour.
        child<QPushButton>(*tools_, "CommandFormatGIFChangeColor")->click();
        QTest::mouseClick(&picture, Qt::LeftButton, {}, at);
        child<QPushButton>(*tools_, "CommandApply")->click();
        QCOMPARE(doc_->record(1).GIFTransparentColor, picked);
    }

    void keenfitChoosesTheSelectedVariationAfresh() {
        openDocument(stripes(60, 40));
        doc_->SelektiereGrafik(1);
        format()->setCurrentIndex(1);
        QCOMPARE(doc_->record(1).Format, 1);
        child<QPushButton>(*tools_, "CommandKeenfit")->click();
        QCOMPARE(doc_->record(1).Format, 0);  // the profile says GIF
        QCOMPARE(format()->currentIndex(), 0);
    }

    void pickedTransparentColourIsSnappedIntoTheSavedGif() {
        openDocument(stripes(64, 48));
        doc_->SelektiereGrafik(1);
        auto* transparent = child<QCheckBox>(*tools_, "CheckFormatGIFTransparent");
        transparent->click();
        QVERIFY(doc_->record(1).GIFTransparent);
        auto* change = child<QPushButton>(*tools_, "CommandFormatGIFChangeColor");
        QVERIFY(change->isEnabled());
        change->click();
        imaging::ImageControl& picture = doc_->picCompress(1);
        QVERIFY(doc_->GetTransparentFarbeSelektieren());
        QCOMPARE(picture.cursor().shape(), Qt::CrossCursor);

        const QPoint at(21, 9);
        const imaging::Rgb picked = picture.Pixel(at.x(), at.y()) & 0xFFFFFF;
        QTest::mousePress(&picture, Qt::LeftButton, {}, at);
        QTest::mouseRelease(&picture, Qt::LeftButton, {}, at);
        QVERIFY(!doc_->GetTransparentFarbeSelektieren());
        QCOMPARE(frmTools::SwatchColor(child<QFrame>(*tools_, "FrameFormatGIFTransparentColor")), picked);
        QCOMPARE(doc_->record(1).GIFTransparentColor, picked);

        const QString path = dir_.filePath("picked.gif");
        QCOMPARE(doc_->SaveVariationFile(1, path), 0);
        const imaging::Image saved = imaging::loadFile(path.toStdString());
        const imaging::Bitmap& b = saved.frames.at(0).bitmap;
        QVERIFY(b.transparent());
        QVERIFY(imaging::isPaletteReference(b.transparentColor()));
        const int entry = static_cast<int>(imaging::paletteIndexOf(b.transparentColor()));
        QCOMPARE(b.palette()[static_cast<std::size_t>(entry)] & 0xFFFFFF, picked);
        QCOMPARE(static_cast<int>(b.rawPixel(at.x(), at.y())), entry);
    }

    void pickingOnAnotherVariationEndsThePickMode() {
        openDocument(stripes(40, 30), 2);
        doc_->SelektiereGrafik(1);
        child<QCheckBox>(*tools_, "CheckFormatGIFTransparent")->click();
        child<QPushButton>(*tools_, "CommandFormatGIFChangeColor")->click();
        const std::uint32_t colour = doc_->record(1).GIFTransparentColor;
        const int encoded = encodes();
        QTest::mousePress(&doc_->picCompress(2), Qt::LeftButton, {}, QPoint(3, 3));
        QVERIFY(!doc_->GetTransparentFarbeSelektieren());
        QTest::mouseRelease(&doc_->picCompress(2), Qt::LeftButton, {}, QPoint(3, 3));
        // Nothing was picked: Variation 1 keeps its colour and encoding, Variation 2 is selected.
        QCOMPARE(doc_->record(1).GIFTransparentColor, colour);
        QCOMPARE(encodes(), encoded);
        QCOMPARE(doc_->FindeSelektierteGrafik(), 2);
        QCOMPARE(frmTools::SwatchColor(child<QFrame>(*tools_, "FrameFormatGIFTransparentColor")),
                 doc_->record(2).GIFTransparentColor);
        QCOMPARE(doc_->picCompress(1).cursor().shape(), Qt::ArrowCursor);

        // Escape on the Variation gives up picking.
        doc_->SelektiereGrafik(1);
        child<QPushButton>(*tools_, "CommandFormatGIFChangeColor")->click();
        QCOMPARE(doc_->picCompress(1).cursor().shape(), Qt::CrossCursor);
        QTest::keyClick(&doc_->picCompress(1), Qt::Key_Escape);
        QVERIFY(!doc_->GetTransparentFarbeSelektieren());
        QCOMPARE(doc_->picCompress(1).cursor().shape(), Qt::ArrowCursor);
    }

    void unloadingStoresThePosition() {
        tools_->show();
        tools_->move(150, 90);
        const QPoint at = tools_->pos();
        QVERIFY(tools_->close());
        const double tpp = 1440.0 / tools_->screen()->logicalDotsPerInchX();
        QCOMPARE(std::lround(ReadToolsLeft(-1.0f)), std::lround(at.x() * tpp));
        QCOMPARE(std::lround(ReadToolsTop(-1.0f)), std::lround(at.y() * tpp));
        // The next window starts there.
        tools_ = std::make_unique<frmTools>();
        tools_->show();
        QCOMPARE(tools_->pos(), at);
    }
    void aTransparentOriginalGetsThirtyTwoBitsWhereTheFormatKeepsAlpha() {
        // An icon with clear corners; the profile makes a GIF of it (a transparent entry).
        imaging::Bitmap icon(40, 30, 32);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                std::uint8_t* p = icon.row(y) + 4 * x;
                p[0] = static_cast<std::uint8_t>(x * 6), p[1] = 90, p[2] = static_cast<std::uint8_t>(y * 8);
                p[3] = x < 5 ? 0 : x < 8 ? 120 : 255;
            }
        openDocument(icon);
        doc_->SelektiereGrafik(1);
        tools_->show();
        // From the Variation's depth (24 after a JPEG) each alpha format takes 32 bits, and the
        // picture keeps every alpha value; JPEG cannot, and its caption says so.
        for (int f : {save_format::Png, save_format::Webp, save_format::Avif}) {
            format()->setCurrentIndex(save_format::Jpeg);
            QCOMPARE(tools_->SelectedPixelDepth(), 24);
            QVERIFY2(doc_->LabelCompress(1)->text().contains(", transparency lost"), qPrintable(doc_->LabelCompress(1)->text()));
            format()->setCurrentIndex(f);
            QCOMPARE(tools_->SelectedPixelDepth(), 32);
            QCOMPARE(doc_->record(1).PixelDepth, 32);
            const imaging::Bitmap& shown = doc_->picCompress(1).Bitmap();
            QCOMPARE(shown.bits(), 32);
            QCOMPARE(shown.row(0)[3], std::uint8_t{0});  // the clear corner stays clear
            QVERIFY2(!doc_->LabelCompress(1)->text().contains("transparency"), qPrintable(doc_->LabelCompress(1)->text()));
        }
        // An opaque Original keeps 24 bits as before.
        openDocument(stripes(60, 40));
        doc_->SelektiereGrafik(1);
        format()->setCurrentIndex(save_format::Jpeg);
        format()->setCurrentIndex(save_format::Webp);
        QCOMPARE(tools_->SelectedPixelDepth(), 24);
    }

    // A transparent Original: 32 bits are taken only from a true-colour depth; 8 bits or fewer
    // stay as they are (a palette keeps a transparent entry), and a format without 32 keeps
    // its own.
    void aTransparentOriginalAtPaletteDepthsKeepsThem_data() {
        QTest::addColumn<int>("fromFormat");
        QTest::addColumn<int>("fromDepth");
        QTest::addColumn<int>("toFormat");
        QTest::addColumn<int>("chosen");
        QTest::newRow("GIF 8 to PNG keeps 8") << int(save_format::Gif) << 8 << int(save_format::Png) << 8;
        QTest::newRow("GIF 4 to PNG keeps 4") << int(save_format::Gif) << 4 << int(save_format::Png) << 4;
        QTest::newRow("GIF 5 to PNG takes 8") << int(save_format::Gif) << 5 << int(save_format::Png) << 8;
        QTest::newRow("TIFF 16 to PNG takes 32") << 13 << 16 << int(save_format::Png) << 32;
        QTest::newRow("JPEG 24 to PNG takes 32") << int(save_format::Jpeg) << 24 << int(save_format::Png) << 32;
        QTest::newRow("GIF 8 to TIFF keeps 8") << int(save_format::Gif) << 8 << 13 << 8;
        QTest::newRow("JPEG 24 to TIFF keeps 24") << int(save_format::Jpeg) << 24 << 13 << 24;
    }

    void aTransparentOriginalAtPaletteDepthsKeepsThem() {
        QFETCH(int, fromFormat);
        QFETCH(int, fromDepth);
        QFETCH(int, toFormat);
        QFETCH(int, chosen);
        imaging::Bitmap icon(40, 30, 32);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                std::uint8_t* p = icon.row(y) + 4 * x;
                p[0] = static_cast<std::uint8_t>(x * 6), p[1] = 90, p[2] = static_cast<std::uint8_t>(y * 8);
                p[3] = x < 5 ? 0 : 255;
            }
        openDocument(icon);
        doc_->SelektiereGrafik(1);
        ProgramOptions().OptionsAutoApply = 0;
        format()->setCurrentIndex(fromFormat);
        depth(fromDepth)->click();
        QCOMPARE(tools_->SelectedPixelDepth(), fromDepth);
        format()->setCurrentIndex(toFormat);
        QCOMPARE(tools_->SelectedPixelDepth(), chosen);
    }

    void webFormatsHaveTheirOwnFaces() {
        openDocument(stripes(60, 40));
        doc_->SelektiereGrafik(1);
        tools_->show();
        int before = encodes();
        format()->setCurrentIndex(save_format::Webp);
        QCOMPARE(encodes(), before + 1);
        QCOMPARE(doc_->record(1).Format, save_format::Webp);
        QCOMPARE(doc_->record(1).PixelDepth, 24);
        auto* webp = child<QFrame>(*tools_, "FrameFormat7");
        QVERIFY(webp->isVisible());
        QVERIFY(!child<QFrame>(*tools_, "FrameFormat2")->isVisible());
        QVERIFY(!child<QFrame>(*tools_, "FrameFormat8")->isVisible());
        QVERIFY2(doc_->LabelCompress(1)->text().contains(", WebP, 24 Bits, "), qPrintable(doc_->LabelCompress(1)->text()));
        QCOMPARE(webp->findChild<QSlider*>("SliderWebEffort")->maximum(), 6);

        // A typed quality applies on Enter; the lossless box at once, and the picture is exact.
        auto* text = webp->findChild<QLineEdit*>("TextWebQuality");
        text->setText("40");
        before = encodes();
        emit text->editingFinished();
        QCOMPARE(encodes(), before + 1);
        QCOMPARE(doc_->record(1).WebQuality, 40);
        webp->findChild<QCheckBox*>("CheckWebLossless")->click();
        QVERIFY(doc_->record(1).WebLossless);
        QCOMPARE(doc_->picCompress(1).Bitmap(), doc_->picOriginal().Bitmap().toRgb24());

        // AVIF: its own face, effort up to 10; a saved file is an AVIF file.
        format()->setCurrentIndex(save_format::Avif);
        auto* avif = child<QFrame>(*tools_, "FrameFormat8");
        QVERIFY(avif->isVisible());
        QVERIFY(!webp->isVisible());
        QCOMPARE(avif->findChild<QSlider*>("SliderWebEffort")->maximum(), 10);
        auto* avifQuality = avif->findChild<QLineEdit*>("TextWebQuality");
        avifQuality->setText("55");
        emit avifQuality->editingFinished();
        QCOMPARE(doc_->record(1).WebQuality, 55);
        QCOMPARE(doc_->GetGrafikPatternSave(1), QString("avif"));
        const QString path = dir_.filePath("variation.avif");
        QCOMPARE(doc_->SaveVariationFile(1, path), 0);
        QCOMPARE(imaging::readInfoFile(path.toStdString()).format, imaging::format::Avif);
        // Selecting the Variation again shows its settings as they were applied.
        doc_->SelektiereGrafik(0);
        doc_->SelektiereGrafik(1);
        QCOMPARE(format()->currentIndex(), save_format::Avif);
        QCOMPARE(avifQuality->text(), QString("55"));
        QVERIFY(avif->isVisible());

        // Switched off, both stay in the list (this Variation is AVIF) but cannot be chosen.
        QualityOptions().WebpAvif = false;
        emit QualityOptionsNotifier::instance().changed();
        auto* model = qobject_cast<QStandardItemModel*>(format()->model());
        QVERIFY(!model->item(save_format::Webp)->isEnabled());
        QVERIFY(!model->item(save_format::Avif)->isEnabled());
        QVERIFY(model->item(save_format::Wpg)->isEnabled());
        QualityOptions() = QualityOptionsRecord();
        emit QualityOptionsNotifier::instance().changed();
        QVERIFY(model->item(save_format::Webp)->isEnabled());
    }

    // The web formats' boxes at both ends of their sliders: what is typed is held inside the
    // range, applied, and shown again as it is when the Variation is selected afresh.
    void webQualityAndEffortAtTheirEnds_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("kept");
        QTest::newRow("WebP quality 100") << int(save_format::Webp) << "TextWebQuality" << "100" << 100;
        QTest::newRow("WebP quality 101") << int(save_format::Webp) << "TextWebQuality" << "101" << 100;
        QTest::newRow("WebP quality 0") << int(save_format::Webp) << "TextWebQuality" << "0" << 0;
        QTest::newRow("WebP quality -1") << int(save_format::Webp) << "TextWebQuality" << "-1" << 0;
        QTest::newRow("WebP effort 6") << int(save_format::Webp) << "TextWebEffort" << "6" << 6;
        QTest::newRow("WebP effort 7") << int(save_format::Webp) << "TextWebEffort" << "7" << 6;
        QTest::newRow("AVIF quality 100") << int(save_format::Avif) << "TextWebQuality" << "100" << 100;
        QTest::newRow("AVIF effort 10") << int(save_format::Avif) << "TextWebEffort" << "10" << 10;
        QTest::newRow("AVIF effort 11") << int(save_format::Avif) << "TextWebEffort" << "11" << 10;
    }

    void webQualityAndEffortAtTheirEnds() {
        QFETCH(int, format);
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(int, kept);
        openDocument(stripes(24, 16));
        doc_->SelektiereGrafik(1);
        tools_->show();
        this->format()->setCurrentIndex(format);
        auto* face = child<QFrame>(*tools_, format == save_format::Webp ? "FrameFormat7" : "FrameFormat8");
        auto* text = face->findChild<QLineEdit*>(box);
        QVERIFY(text);
        text->setText(typed);
        emit text->editingFinished();
        QCOMPARE(text->text(), QString::number(kept));
        const bool quality = box == QLatin1String("TextWebQuality");
        QCOMPARE(quality ? doc_->record(1).WebQuality : doc_->record(1).WebEffort, kept);
        doc_->SelektiereGrafik(0);
        doc_->SelektiereGrafik(1);
        QCOMPARE(text->text(), QString::number(kept));
        QCOMPARE(face->findChild<QSlider*>(quality ? "SliderWebQuality" : "SliderWebEffort")->value(), kept);
    }

    void targetSizeFieldReportsWhatFits() {
        openDocument(stripes(60, 40));
        doc_->SelektiereGrafik(1);
        tools_->show();
        format()->setCurrentIndex(save_format::Jpeg);
        auto* field = child<QLineEdit>(*tools_, "TextTargetSize");
        auto* result = child<QLabel>(*tools_, "LabelTargetSizeResult");
        field->setText("1500");
        tools_->TextTargetSize_Commit();
        // The search runs off the window's thread; its outcome comes in afterwards.
        QTRY_VERIFY2(result->text().contains(" Bytes at quality "), qPrintable(result->text()));
        QVERIFY(doc_->record(1).MemFileSize <= 1500);
        // The face shows the quality chosen.
        QCOMPARE(child<QLineEdit>(*tools_, "TextQuality")->text().toInt(), 256 - doc_->record(1).JPEGQFactor);
        field->setText("20");
        tools_->TextTargetSize_Commit();
        QTRY_VERIFY2(result->text().startsWith("Nothing fits 20 Bytes"), qPrintable(result->text()));
        field->setText("lots");
        tools_->TextTargetSize_Commit();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_.first().startsWith("Please type the target size"));
        // Switched off, the row goes and the window is as the layout has it.
        const int tall = tools_->height();
        tools_->ShowByteBudgetField(false);
        QVERIFY(!field->isVisible());
        QCOMPARE(tools_->height(), tall - 56);
    }

    void ssimTargetFindsTheSmallestFileThatReachesIt() {
        openDocument(stripes(60, 40));
        doc_->SelektiereGrafik(1);
        tools_->show();
        format()->setCurrentIndex(save_format::Jpeg);
        auto* mode = child<QComboBox>(*tools_, "ComboTargetMode");
        QCOMPARE(mode->count(), 2);
        QCOMPARE(mode->itemText(0), QString("Bytes at most"));
        QCOMPARE(mode->itemText(1), QString("SSIM at least"));
        mode->setCurrentIndex(1);
        auto* field = child<QLineEdit>(*tools_, "TextTargetSize");
        auto* result = child<QLabel>(*tools_, "LabelTargetSizeResult");
        field->setText("0,97");  // either decimal sign
        tools_->TextTargetSize_Commit();
        QVERIFY(result->text().isEmpty());  // the search runs off the window's thread
        QTRY_VERIFY_WITH_TIMEOUT(!result->text().isEmpty(), 30000);
        const QRegularExpressionMatch found =
            QRegularExpression("^([0-9.,]+) Bytes, SSIM ([0-9.]+) at quality ([0-9]+)$").match(result->text());
        QVERIFY2(found.hasMatch(), qPrintable(result->text()));
        QVERIFY(found.captured(2).toDouble() >= 0.97);
        QCOMPARE(found.captured(3).toInt(), 256 - doc_->record(1).JPEGQFactor);
        // A target no quality reaches gives the best there is, and says so.
        field->setText("1");
        tools_->TextTargetSize_Commit();
        QTRY_VERIFY2_WITH_TIMEOUT(result->text().startsWith("Nothing reaches SSIM 1.0000; the best: SSIM "), qPrintable(result->text()), 30000);
        field->setText("1.5");
        tools_->TextTargetSize_Commit();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_.first().startsWith("Please type the SSIM"));
        // Back to bytes: the result line of the other mode goes.
        mode->setCurrentIndex(0);
        QVERIFY(result->text().isEmpty());
    }
};

QTEST_MAIN(FrmToolsTest)
#include "frmtools_test.moc"
