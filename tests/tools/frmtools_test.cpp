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
#include "toolswindowfixture.h"
#include "test_pictures.h"

using namespace kalmira;

using kalmira::testing::FakeMainWindow;
using kalmira::testing::child;
using kalmira::testing::stripes;
using kalmira::testing::typeAndEnter;

class FrmToolsTest : public QObject, protected kalmira::testing::ToolsWindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { startFixture(); }

    void init() { resetFixture(); }

    void cleanup() { endFixture(); }

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

};

QTEST_MAIN(FrmToolsTest)
#include "frmtools_test.moc"
