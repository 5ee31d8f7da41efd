// The preview buttons of the tools window: what each hands its dialog, what OK writes back and
// that the operation then runs through Apply with its undo step; cancel and the animated
// Original change nothing. The engine's own effect dialogs are driven too: the after view runs
// the real operation and OK returns the values chosen.

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QTabBar>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <functional>
#include <memory>

#include "fakemainwindow.h"
#include "codecs/registry.h"
#include "common/errortrap.h"
#include "core/error.h"
#include "common/globals.h"
#include "document/documenthost.h"
#include "document/frmdocument.h"
#include "ops/operation_table.h"
#include "ops/preview.h"
#include "qt/effectdialogs.h"
#include "settings/programoptions.h"
#include "tools/frmtools.h"
#include "tools/previews.h"

using namespace kalmira;
using imaging::ImageDialogs;

using kalmira::testing::FakeMainWindow;

namespace {

// Answers every dialog with the values a test prepared and remembers what it was given.
class AnsweringDialogs : public imaging::EffectDialogs {
public:
    int answer = 0;  // 0 = OK, kDialogCancelled, or an error
    std::function<void(AnsweringDialogs&)> choose;  // the user's choice, applied before OK
    std::function<void(AnsweringDialogs&)> fiddle;  // controls moved before any answer, Cancel too
    std::uint32_t seenFlags = 0;
    QString seenTitle;
    const imaging::Bitmap* seenBitmap = nullptr;
    imaging::Bitmap seenPicture;  // a copy of what the dialog was given to preview
    int shown = 0;
    int seedEffect = 0, seedGamma = 0, seedDepth = 0, seedDirection = 0, seedRange = 0, seedChannel = 0;
    int seedAngle = 0, seedKind = 0;
    imaging::Rgb seedFill = 0;
    bool seedSwitch = false;

    void SetFlags(std::uint32_t flags) override { seenFlags = flags; }
    void SetTitle(const QString& title) override { seenTitle = title; }
    void SetBitmap(const imaging::Bitmap* bitmap) override {
        if (bitmap) {
            seenBitmap = bitmap;
            seenPicture = *bitmap;
        }
    }
    int respond() {
        ++shown;
        seedEffect = EffectValue();
        seedGamma = Gamma();
        seedDepth = EmbossDepth();
        seedDirection = EmbossDirection();
        seedRange = NoiseRange();
        seedChannel = NoiseChannel();
        seedAngle = Angle();
        seedFill = FillColor();
        seedSwitch = GeometrySwitch();
        seedKind = SpatialFilterKind();
        if (fiddle) fiddle(*this);
        if (answer == 0 && choose) choose(*this);
        return answer;
    }
    int ShowEffect(QWidget*) override { return respond(); }
    int ShowGamma(QWidget*) override { return respond(); }
    int ShowEmboss(QWidget*) override { return respond(); }
    int ShowAddNoise(QWidget*) override { return respond(); }
    int ShowIntensityDetect(QWidget*) override { return respond(); }
    int ShowSpatialFilter(QWidget*) override { return respond(); }
    int ShowRotateShear(QWidget*) override { return respond(); }
};

imaging::Bitmap gradient(int width, int height) {
    imaging::Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) b.setPixel(x, y, imaging::makeRgb(x * 255 / width, y * 255 / height, (x + y) % 256));
    return b;
}

}  // namespace

class PreviewsTest : public QObject {
    Q_OBJECT

    FakeMainWindow host_;
    QStringList messages_;
    QStringList errors_;
    std::unique_ptr<frmTools> tools_;
    std::unique_ptr<frmDocument> doc_;
    FilterPreviews* previews_ = nullptr;
    AnsweringDialogs dialogs_;
    int undoSteps_ = 0;

    void openDocument(const imaging::Bitmap& bitmap, bool animated = false) {
        doc_ = std::make_unique<frmDocument>();
        ApplyReady = false;
        doc_->picOriginal().SetBitmap(bitmap);
        imaging::ImageInfo info;
        info.width = bitmap.width();
        info.height = bitmap.height();
        info.bits = 24;
        info.format = animated ? imaging::format::Gif : imaging::format::Png;
        info.pages = animated ? 2 : 1;
        info.animated = animated;
        doc_->picOriginal().SetInfo(info);
        doc_->SetOriginalAnimation(animated, animated ? 2 : 1);
        ProgramOptions().InitialOpenVariations = 1;
        ApplyReady = true;
        doc_->InitialisiereGrafik(true);
        doc_->picOriginalAendern();
        doc_->SelektiereGrafik(0);
    }

    template <class T = QWidget>
    T* child(const char* name) {
        T* found = tools_->findChild<T*>(QString::fromLatin1(name));
        if (!found) qFatal("no control %s", name);
        return found;
    }

    // Shows the Original frame of group `combo` at position `index` (1-based).
    void showOperation(const char* tab, const char* combo, int index) {
        tools_->ShowOriginalFace();
        child<QTabBar>("TabOriginalTools")->setCurrentIndex(QString(tab).toInt());
        child<QComboBox>(combo)->setCurrentIndex(index - 1);
    }

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
    }

    void init() {
        ProgramOptions() = DefaultProgramOptions();
        ProgramOptions().FitToWindow = 0;
        messages_.clear();
        errors_.clear();
        undoSteps_ = 0;
        dialogs_.answer = 0;
        dialogs_.choose = nullptr;
        dialogs_.shown = 0;
        tools_ = std::make_unique<frmTools>();
        tools_->SetActiveDocumentProvider([this] { return doc_.get(); });
        tools_->SetUndoStepHook([this](frmDocument&) { ++undoSteps_; });
        previews_ = new FilterPreviews(*tools_);
        previews_->SetDialogs(&dialogs_);
        openDocument(gradient(64, 48));
    }

    void cleanup() {
        QVERIFY2(errors_.isEmpty(), qPrintable(errors_.join('\n')));
        doc_.reset();
        tools_.reset();
    }

    void everyListedOperationHasItsButton() {
        const char* names[] = {"cmdPreviewColorCorrectionBrightness", "cmdPreviewColorCorrectionGamma",
                               "cmdPreviewColorCorrectionContrast", "cmdPreviewColorCorrectionHistoContrast",
                               "cmdPreviewColorCorrectionHue", "cmdPreviewColorCorrectionSaturation",
                               "cmdPreviewFiltersHalftone", "cmdPreviewFiltersSharpen", "cmdPreviewFiltersPosterize",
                               "cmdPreviewFiltersMosaic", "cmdPreviewFiltersEmboss", "cmdPreviewFiltersSoften",
                               "cmdPreviewFiltersOilify", "cmdPreviewFiltersReduceNoise", "cmdPreviewFiltersAddNoise",
                               "cmdPreviewFiltersIntensityDetect", "cmdPreviewFiltersEdgeDetection",
                               "cmdPreviewFiltersLineDetection", "cmdPreviewSpecialRotate", "cmdPreviewSpecialShear"};
        for (const char* name : names) {
            QPushButton* button = previews_->Button(QString::fromLatin1(name));
            QVERIFY2(button, name);
            QCOMPARE(button->text(), QStringLiteral("&Preview..."));
            // Inside its frame, over no other control of it.
            const QWidget* frame = button->parentWidget();
            QVERIFY2(frame->rect().contains(button->geometry()), name);
            for (const QWidget* other : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (other != button && other->isVisibleTo(frame))
                    QVERIFY2(!other->geometry().intersects(button->geometry()), qPrintable(QString(name) + " over " + other->objectName()));
        }
        // Operations without a preview have no button.
        for (const char* frame : {"FrameColorCorrection5", "FrameColorCorrection6", "FrameColorCorrection9",
                                  "FrameColorCorrection10", "FrameSpecial3", "FrameResize1", "FrameResize2"})
            QVERIFY2(child<QWidget>(frame)->findChildren<QPushButton*>(QRegularExpression("^cmdPreview")).isEmpty(), frame);
    }

    void okWritesTheValuesBackAndAppliesWithAnUndoStep() {
        showOperation("1", "ComboColorCorrection", 1);  // Brightness
        child<QSlider>("SliderBrightness")->setValue(20);
        const imaging::Bitmap before = doc_->picOriginal().Bitmap();
        dialogs_.choose = [](AnsweringDialogs& d) { d.SetEffectValue(-305); };
        previews_->Button("cmdPreviewColorCorrectionBrightness")->click();
        QCOMPARE(dialogs_.shown, 1);
        QCOMPARE(dialogs_.seenFlags, 0x40000002u);
        QCOMPARE(dialogs_.seedEffect, 200);  // the slider's value in the dialog's units
        QCOMPARE(dialogs_.seenTitle, QString());
        QCOMPARE(dialogs_.seenBitmap, &doc_->picOriginal().Bitmap());
        // -30.5 rounds half to even: -30.
        QCOMPARE(child<QSlider>("SliderBrightness")->value(), -30);
        QCOMPARE(child<QLineEdit>("TextBrightness")->text(), QStringLiteral("-30"));
        QCOMPARE(undoSteps_, 1);
        imaging::Bitmap expected = before;
        imaging::ops::applyNamedOperation(expected, "Intensity", {-300});
        QVERIFY(doc_->picOriginal().Bitmap() == expected);
    }

    // Every effect slider at both ends of its range and in its middle: the dialog opens at the
    // slider's value in its own units, and OK without a change gives the slider the same value
    // back (a tenth of the units divided back exactly, no step lost at either end).
    void effectSlidersRoundTripOverTheirFullRange_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("slider");
        QTest::addColumn<int>("scale");
        QTest::newRow("brightness") << "cmdPreviewColorCorrectionBrightness" << "SliderBrightness" << 10;
        QTest::newRow("contrast") << "cmdPreviewColorCorrectionContrast" << "SliderContrast" << 10;
        QTest::newRow("histo contrast") << "cmdPreviewColorCorrectionHistoContrast" << "SliderHistoContrast" << 10;
        QTest::newRow("saturation") << "cmdPreviewColorCorrectionSaturation" << "SliderSaturation" << 10;
        QTest::newRow("hue") << "cmdPreviewColorCorrectionHue" << "SliderHue" << 1;
        QTest::newRow("halftone") << "cmdPreviewFiltersHalftone" << "SliderHalftoneAngle" << 1;
        QTest::newRow("sharpen") << "cmdPreviewFiltersSharpen" << "SliderSharpen" << 10;
        QTest::newRow("posterize") << "cmdPreviewFiltersPosterize" << "SliderPosterize" << 1;
        QTest::newRow("mosaic") << "cmdPreviewFiltersMosaic" << "SliderMosaic" << 1;
        QTest::newRow("soften") << "cmdPreviewFiltersSoften" << "SliderSoften" << 1;
        QTest::newRow("reduce noise") << "cmdPreviewFiltersReduceNoise" << "SliderReduceNoise" << 1;
        QTest::newRow("oilify") << "cmdPreviewFiltersOilify" << "SliderOilify" << 1;
    }

    void effectSlidersRoundTripOverTheirFullRange() {
        QFETCH(QString, button);
        QFETCH(QString, slider);
        QFETCH(int, scale);
        openDocument(gradient(8, 6));
        QSlider* control = child<QSlider>(slider.toLatin1().constData());
        QVERIFY(control->minimum() < control->maximum());
        const int middle = control->minimum() + (control->maximum() - control->minimum()) / 2;
        for (const int value : {control->minimum(), control->maximum(), middle}) {
            control->setValue(value);
            QCOMPARE(control->value(), value);
            const int shownBefore = dialogs_.shown;
            previews_->Button(button)->click();
            QCOMPARE(dialogs_.shown, shownBefore + 1);
            QCOMPARE(dialogs_.seedEffect, value * scale);
            QCOMPARE(control->value(), value);
        }
    }

    void aSelectionIsWhatTheDialogPreviews() {
        showOperation("1", "ComboColorCorrection", 1);  // Brightness
        doc_->picOriginal().SetRgn(imaging::ops::Region::rectangle(3, 2, 10, 6));
        dialogs_.answer = imaging::ImageDialogs::kDialogCancelled;
        previews_->Button("cmdPreviewColorCorrectionBrightness")->click();
        QCOMPARE(dialogs_.shown, 1);
        QCOMPARE(dialogs_.seenPicture.width(), 10);
        QCOMPARE(dialogs_.seenPicture.height(), 6);
        const imaging::Bitmap& whole = doc_->picOriginal().Bitmap();
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 10; ++x) QCOMPARE(dialogs_.seenPicture.pixel(x, y), whole.pixel(x + 3, y + 2));
        // Without a selection the whole Original is previewed.
        doc_->picOriginal().FreeRgn();
        previews_->Button("cmdPreviewColorCorrectionBrightness")->click();
        QCOMPARE(dialogs_.seenPicture.width(), whole.width());
        QCOMPARE(dialogs_.seenPicture.height(), whole.height());
    }

    void cancelChangesNothing_data() {
        QTest::addColumn<int>("answer");
        QTest::newRow("cancel") << ImageDialogs::kDialogCancelled;
        QTest::newRow("dialog error") << 11;
    }

    void cancelChangesNothing() {
        QFETCH(int, answer);
        showOperation("2", "ComboFilters", 5);  // Emboss
        const imaging::Bitmap before = doc_->picOriginal().Bitmap();
        const int depth = child<QSlider>("SliderEmbossDepth")->value();
        dialogs_.answer = answer;
        previews_->Button("cmdPreviewFiltersEmboss")->click();
        QCOMPARE(dialogs_.shown, 1);
        QCOMPARE(child<QSlider>("SliderEmbossDepth")->value(), depth);
        QVERIFY(child<QAbstractButton>("OptionEmboss_NW")->isChecked());
        QCOMPARE(undoSteps_, 0);
        QVERIFY(doc_->picOriginal().Bitmap() == before);
        // A failing dialog is reported, a cancelled one is not.
        QCOMPARE(errors_.size(), answer == ImageDialogs::kDialogCancelled ? 0 : 1);
        errors_.clear();
    }

    // Cancel after moving the dialog's controls, then the same button again with OK, twice: each
    // opening starts from the slider, not from what the cancelled one was left at, and each OK
    // applies the operation once to the picture as it is then, with one undo step each.
    void theSameDialogAfterACancelStartsAfresh() {
        showOperation("1", "ComboColorCorrection", 1);  // Brightness
        child<QSlider>("SliderBrightness")->setValue(20);
        const imaging::Bitmap before = doc_->picOriginal().Bitmap();
        QAbstractButton* button = previews_->Button("cmdPreviewColorCorrectionBrightness");
        dialogs_.answer = ImageDialogs::kDialogCancelled;
        dialogs_.fiddle = [](AnsweringDialogs& d) { d.SetEffectValue(-305); };
        button->click();
        QCOMPARE(dialogs_.seedEffect, 200);
        QCOMPARE(child<QSlider>("SliderBrightness")->value(), 20);
        QCOMPARE(undoSteps_, 0);
        QVERIFY(doc_->picOriginal().Bitmap() == before);

        dialogs_.answer = 0;
        dialogs_.fiddle = nullptr;
        imaging::Bitmap expected = before;
        for (int time = 1; time <= 2; ++time) {
            button->click();
            QCOMPARE(dialogs_.shown, time + 1);
            QCOMPARE(dialogs_.seedEffect, 200);
            QCOMPARE(child<QSlider>("SliderBrightness")->value(), 20);
            QCOMPARE(undoSteps_, time);
            imaging::ops::applyNamedOperation(expected, "Intensity", {200});
            QVERIFY(doc_->picOriginal().Bitmap() == expected);
        }
        QVERIFY(errors_.isEmpty());
    }

    void animatedOriginalIsRefusedBeforeTheDialog() {
        openDocument(gradient(16, 16), true);
        showOperation("2", "ComboFilters", 2);  // Sharpen
        previews_->Button("cmdPreviewFiltersSharpen")->click();
        QCOMPARE(dialogs_.shown, 0);
        QCOMPARE(messages_, QStringList{"No image manipulation on animated GIF possible"});
        QCOMPARE(undoSteps_, 0);
    }

    void rotateRoundsHalfToEven_data() {
        QTest::addColumn<int>("hundredths");
        QTest::addColumn<int>("degrees");
        QTest::newRow("45.5") << 4550 << 46;
        QTest::newRow("44.5") << 4450 << 44;
        QTest::newRow("90.49") << 9049 << 90;
        // The slider holds 1..360: a turn outside it is the same turn inside it, never a clamp.
        QTest::newRow("-30 is 330") << -3000 << 330;
        QTest::newRow("-359 is 1") << -35900 << 1;
        QTest::newRow("0 is a full turn") << 0 << 360;
        QTest::newRow("-360 is a full turn") << -36000 << 360;
        QTest::newRow("359.5") << 35950 << 360;
    }

    void rotateRoundsHalfToEven() {
        QFETCH(int, hundredths);
        QFETCH(int, degrees);
        showOperation("3", "ComboSpecial", 1);
        child<QSlider>("SliderRotate")->setValue(30);
        const imaging::Bitmap before = doc_->picOriginal().Bitmap();
        dialogs_.choose = [hundredths](AnsweringDialogs& d) {
            d.SetAngle(hundredths);
            d.SetFillColor(imaging::makeRgb(10, 20, 30));
            d.SetGeometrySwitch(false);
        };
        previews_->Button("cmdPreviewSpecialRotate")->click();
        QCOMPARE(dialogs_.seenFlags, 0x40000003u);
        QCOMPARE(dialogs_.seedAngle, 3000);
        QVERIFY(dialogs_.seedSwitch);
        QCOMPARE(child<QSlider>("SliderRotate")->value(), degrees);
        QCOMPARE(frmTools::SwatchColor(child<QFrame>("FrameRotateColor")), imaging::makeRgb(10, 20, 30));
        QVERIFY(!child<QAbstractButton>("CheckRotateResize")->isChecked());
        imaging::Bitmap expected = before;
        imaging::ops::applyNamedOperation(expected, "Rotate", {degrees * 100L, 0, static_cast<long>(imaging::makeRgb(10, 20, 30))});
        QVERIFY(doc_->picOriginal().Bitmap() == expected);
        QCOMPARE(undoSteps_, 1);
    }

    // A shear the slider cannot hold is not clamped to another angle: the user is told and
    // nothing is applied.
    void shearBeyondTheSliderIsRefused_data() {
        QTest::addColumn<int>("hundredths");
        QTest::addColumn<QString>("shown");
        QTest::newRow("60") << 6000 << "60";
        QTest::newRow("-45.5") << -4550 << "-45.5";
    }

    void shearBeyondTheSliderIsRefused() {
        QFETCH(int, hundredths);
        QFETCH(QString, shown);
        showOperation("3", "ComboSpecial", 2);
        child<QSlider>("SliderShear")->setValue(10);
        const imaging::Bitmap before = doc_->picOriginal().Bitmap();
        dialogs_.choose = [hundredths](AnsweringDialogs& d) { d.SetAngle(hundredths); };
        previews_->Button("cmdPreviewSpecialShear")->click();
        QCOMPARE(messages_, QStringList{QStringLiteral("The angle %1° lies outside the range of the slider (-45° to 45°); nothing was applied.").arg(shown)});
        QCOMPARE(child<QSlider>("SliderShear")->value(), 10);
        QCOMPARE(undoSteps_, 0);
        QVERIFY(doc_->picOriginal().Bitmap() == before);
    }

    // The engine's shear dialog offers the slider's range, so what it previews can be applied.
    void shearDialogOffersTheSlidersRange() {
        imaging::EffectDialogs dialogs;
        const imaging::Bitmap source = gradient(50, 40);
        dialogs.SetBitmap(&source);
        dialogs.SetFlags(ImageDialogs::kEffectDialogFlags | ImageDialogs::ShearDialog);
        dialogs.SetAngle(1000);
        double minimum = 0, maximum = 0;
        imaging::EffectDialogs::SetShowHook([&](QDialog& dialog) {
            auto* angle = dialog.findChild<QDoubleSpinBox*>("SpinAngle");
            minimum = angle->minimum();
            maximum = angle->maximum();
            dialog.findChild<QPushButton*>("cmdCancel")->click();
        });
        QCOMPARE(dialogs.ShowRotateShear(nullptr), ImageDialogs::kDialogCancelled);
        imaging::EffectDialogs::SetShowHook(nullptr);
        QCOMPARE(minimum, -45.0);
        QCOMPARE(maximum, 45.0);
        QCOMPARE(tools_->findChild<QSlider*>("SliderShear")->minimum(), -45);
        QCOMPARE(tools_->findChild<QSlider*>("SliderShear")->maximum(), 45);
    }

    void edgeKindsChooseTheButtonsOrLeaveThem_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("sobel");
        QTest::addColumn<bool>("horizontal");
        QTest::newRow("22 Sobel horizontal") << 22 << true << true;
        QTest::newRow("23 Sobel vertical") << 23 << true << false;
        QTest::newRow("24 Prewitt horizontal") << 24 << false << true;
        QTest::newRow("25 Prewitt vertical") << 25 << false << false;
        QTest::newRow("30 leaves Prewitt vertical") << 30 << false << false;
    }

    void edgeKindsChooseTheButtonsOrLeaveThem() {
        QFETCH(int, kind);
        QFETCH(bool, sobel);
        QFETCH(bool, horizontal);
        showOperation("2", "ComboFilters", 11);
        child<QAbstractButton>("OptionEdgeDetectionPrewitt")->setChecked(true);
        child<QAbstractButton>("OptionEdgeDetectionVertical")->setChecked(true);
        dialogs_.choose = [kind](AnsweringDialogs& d) { d.SetSpatialFilterKind(kind); };
        previews_->Button("cmdPreviewFiltersEdgeDetection")->click();
        QCOMPARE(dialogs_.seenFlags, 0x40000008u);  // Prewitt was set
        QCOMPARE(child<QAbstractButton>("OptionEdgeDetectionSobel")->isChecked(), sobel);
        QCOMPARE(child<QAbstractButton>("OptionEdgeDetectionHorizontal")->isChecked(), horizontal);
        QCOMPARE(undoSteps_, 1);  // applied in every case
    }

    // The spatial-filter dialog opens at the kind the option buttons show, through the dialogs
    // interface (whatever implements it), for every button.
    void spatialDialogsOpenAtTheKindTheButtonsShow_data() {
        QTest::addColumn<int>("filter");  // 11 edge detection, 12 line detection
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("kind");
        QTest::newRow("Sobel horizontal") << 11 << "OptionEdgeDetectionSobel" << "OptionEdgeDetectionHorizontal" << 22;
        QTest::newRow("Sobel vertical") << 11 << "OptionEdgeDetectionSobel" << "OptionEdgeDetectionVertical" << 23;
        QTest::newRow("Prewitt horizontal") << 11 << "OptionEdgeDetectionPrewitt" << "OptionEdgeDetectionHorizontal" << 24;
        QTest::newRow("Prewitt vertical") << 11 << "OptionEdgeDetectionPrewitt" << "OptionEdgeDetectionVertical" << 25;
        QTest::newRow("lines horizontal") << 12 << "OptionLineDetectHorizontal" << "" << 29;
        QTest::newRow("lines vertical") << 12 << "OptionLineDetectVertical" << "" << 30;
        QTest::newRow("lines left to right") << 12 << "OptionLineDetectLeftToRight" << "" << 31;
        QTest::newRow("lines right to left") << 12 << "OptionLineDetectRightToLeft" << "" << 32;
    }

    void spatialDialogsOpenAtTheKindTheButtonsShow() {
        QFETCH(int, filter);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(int, kind);
        showOperation("2", "ComboFilters", filter);
        child<QAbstractButton>(first.toLatin1().constData())->setChecked(true);
        if (!second.isEmpty()) child<QAbstractButton>(second.toLatin1().constData())->setChecked(true);
        dialogs_.SetSpatialFilterKind(0);
        dialogs_.answer = imaging::ImageDialogs::kDialogCancelled;
        previews_->Button(filter == 11 ? QStringLiteral("cmdPreviewFiltersEdgeDetection") : QStringLiteral("cmdPreviewFiltersLineDetection"))->click();
        QCOMPARE(dialogs_.shown, 1);
        QCOMPARE(dialogs_.seedKind, kind);
        QCOMPARE(undoSteps_, 0);  // cancelled: nothing applied
    }

    void seedsAndWriteBacksOfTheOtherKinds() {
        // Emboss: depth seeded ×10 and divided back, direction both ways.
        showOperation("2", "ComboFilters", 5);
        child<QSlider>("SliderEmbossDepth")->setValue(40);
        child<QAbstractButton>("OptionEmboss_SE")->setChecked(true);
        dialogs_.choose = [](AnsweringDialogs& d) {
            d.SetEmbossDepth(725);
            d.SetEmbossDirection(5);
        };
        previews_->Button("cmdPreviewFiltersEmboss")->click();
        QCOMPARE(dialogs_.seedDepth, 400);
        QCOMPARE(dialogs_.seedDirection, 3);
        QCOMPARE(child<QSlider>("SliderEmbossDepth")->value(), 72);  // 72.5 -> 72
        QVERIFY(child<QAbstractButton>("OptionEmboss_SW")->isChecked());

        // Add noise: the range as the slider holds it; channel both ways.
        showOperation("2", "ComboFilters", 9);
        child<QSlider>("SliderAddNoiseRange")->setValue(150);
        child<QAbstractButton>("OptionAddNoiseChannelGreen")->setChecked(true);
        dialogs_.choose = [](AnsweringDialogs& d) {
            d.SetNoiseRange(333);
            d.SetNoiseChannel(3);
        };
        previews_->Button("cmdPreviewFiltersAddNoise")->click();
        QCOMPARE(dialogs_.seedRange, 150);
        QCOMPARE(dialogs_.seedChannel, 2);
        QCOMPARE(child<QSlider>("SliderAddNoiseRange")->value(), 333);
        QVERIFY(child<QAbstractButton>("OptionAddNoiseChannelBlue")->isChecked());

        // Soften carries its own title; gamma its value as it is.
        showOperation("2", "ComboFilters", 6);
        dialogs_.choose = [](AnsweringDialogs& d) { d.SetEffectValue(7); };
        previews_->Button("cmdPreviewFiltersSoften")->click();
        QCOMPARE(dialogs_.seenTitle, QStringLiteral("Soften Image"));
        QCOMPARE(dialogs_.seenFlags, 0x40000200u);
        QCOMPARE(child<QSlider>("SliderSoften")->value(), 7);
        showOperation("1", "ComboColorCorrection", 2);
        dialogs_.choose = [](AnsweringDialogs& d) { d.SetGamma(180); };
        previews_->Button("cmdPreviewColorCorrectionGamma")->click();
        QCOMPARE(dialogs_.seenFlags, 0x40000000u);
        QCOMPARE(child<QSlider>("SliderGammaCorrect")->value(), 180);

        // Shear: the horizontal switch picks the direction button.
        showOperation("3", "ComboSpecial", 2);
        child<QAbstractButton>("OptionShearHorizontal")->setChecked(true);
        dialogs_.choose = [](AnsweringDialogs& d) {
            d.SetAngle(-1250);
            d.SetGeometrySwitch(false);
        };
        previews_->Button("cmdPreviewSpecialShear")->click();
        QVERIFY(dialogs_.seedSwitch);
        QCOMPARE(child<QSlider>("SliderShear")->value(), -12);
        QVERIFY(child<QAbstractButton>("OptionShearVertical")->isChecked());
        QCOMPARE(undoSteps_, 5);
    }

    // --- The engine's own dialogs ----------------------------------------------------------------

    void effectDialogPreviewsTheRealOperation() {
        imaging::EffectDialogs dialogs;
        const imaging::Bitmap source = gradient(640, 480);
        dialogs.SetBitmap(&source);
        dialogs.SetFlags(ImageDialogs::kEffectDialogFlags | ImageDialogs::Brightness);
        dialogs.SetEffectValue(200);
        QImage shownAfter;
        QString title;
        imaging::EffectDialogs::SetShowHook([&](QDialog& dialog) {
            title = dialog.windowTitle();
            auto* slider = dialog.findChild<QSlider*>("SliderValue");
            QCOMPARE(slider->value(), 200);
            slider->setValue(-400);
            QCoreApplication::processEvents();
            shownAfter = dialog.findChild<QLabel*>("imgAfter")->pixmap().toImage().convertToFormat(QImage::Format_RGB888);
            dialog.findChild<QPushButton*>("cmdOK")->click();
        });
        QCOMPARE(dialogs.ShowEffect(nullptr), 0);
        imaging::EffectDialogs::SetShowHook(nullptr);
        QCOMPARE(title, QStringLiteral("Brightness"));
        QCOMPARE(dialogs.EffectValue(), -400);
        // The after view is the engine's operation on the half-size view.
        const imaging::ops::PreviewImage preview(source, imaging::EffectDialogs::kPreviewWidth, imaging::EffectDialogs::kPreviewHeight);
        QCOMPARE(preview.before().width(), 320);
        const imaging::Bitmap expected = preview.render("Intensity", {-400});
        QCOMPARE(shownAfter.size(), QSize(320, 240));
        for (int y = 0; y < 240; y += 37)
            for (int x = 0; x < 320; x += 41) {
                const QRgb p = shownAfter.pixel(x, y);
                QCOMPARE(imaging::makeRgb(qRed(p), qGreen(p), qBlue(p)), expected.pixel(x, y));
            }
        // Nothing of the source changed.
        QVERIFY(source == gradient(640, 480));
    }

    void rotateDialogCancelKeepsItsValues() {
        imaging::EffectDialogs dialogs;
        const imaging::Bitmap source = gradient(50, 40);
        dialogs.SetBitmap(&source);
        dialogs.SetFlags(ImageDialogs::kEffectDialogFlags | ImageDialogs::RotateDialog);
        dialogs.SetAngle(4550);
        imaging::EffectDialogs::SetShowHook([](QDialog& dialog) {
            QCOMPARE(dialog.findChild<QDoubleSpinBox*>("SpinAngle")->value(), 45.5);
            dialog.findChild<QDoubleSpinBox*>("SpinAngle")->setValue(10);
            dialog.findChild<QPushButton*>("cmdCancel")->click();
        });
        QCOMPARE(dialogs.ShowRotateShear(nullptr), ImageDialogs::kDialogCancelled);
        QCOMPARE(dialogs.Angle(), 4550);
        // And OK takes the angle in hundredths.
        imaging::EffectDialogs::SetShowHook([](QDialog& dialog) {
            dialog.findChild<QDoubleSpinBox*>("SpinAngle")->setValue(-12.34);
            dialog.findChild<QPushButton*>("cmdOK")->click();
        });
        QCOMPARE(dialogs.ShowRotateShear(nullptr), 0);
        QCOMPARE(dialogs.Angle(), -1234);
        imaging::EffectDialogs::SetShowHook(nullptr);
        // Without a bitmap there is nothing to show.
        dialogs.SetBitmap(nullptr);
        QCOMPARE(dialogs.ShowRotateShear(nullptr), int(imaging::ErrorCode::NoImage));
    }

    void windowSizesShrinkWithTheView() {
        const imaging::Bitmap source = gradient(1600, 1200);
        const imaging::ops::PreviewImage preview(source, 320, 240);
        QCOMPARE(preview.scale(), 0.2);
        QCOMPARE(imaging::EffectDialogs::EffectOperation(ImageDialogs::Mosaic, 20, preview.scale()).args,
                 (std::vector<long>{4}));
        QCOMPARE(imaging::EffectDialogs::EffectOperation(ImageDialogs::Soften, 2, preview.scale()).args,
                 (std::vector<long>{1}));
        QCOMPARE(imaging::EffectDialogs::EffectOperation(ImageDialogs::Oilify, 10, 1.0).name, std::string("Oilify"));
        QCOMPARE(imaging::EffectDialogs::EffectOperation(ImageDialogs::Halftone, 30).args, (std::vector<long>{1, 3000}));
        // A uniform area keeps its colour exactly when it shrinks.
        imaging::Bitmap flat(100, 80, 24);
        for (int y = 0; y < 80; ++y)
            for (int x = 0; x < 100; ++x) flat.setPixel(x, y, imaging::makeRgb(12, 200, 77));
        const imaging::ops::PreviewImage small(flat, 33, 33);
        QCOMPARE(small.before().width(), 33);
        QCOMPARE(small.before().height(), 26);
        for (int y = 0; y < 26; ++y)
            for (int x = 0; x < 33; ++x) QCOMPARE(small.before().pixel(x, y), imaging::makeRgb(12, 200, 77));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KALMIRA_LANGUAGE", "en");
    LanguageOffset = LanguageOffsetFromEnvironment();
    QApplication app(argc, argv);
    PreviewsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "previews_test.moc"
