// How the Original face of the tools window turns its controls into an operation on the
// master picture: each case sets the controls a user sets, presses Apply, and compares the
// picture with the engine's operation run directly with the arguments the controls stand for
// (sliders scaled by 10 or 100 where their unit is finer, directions, channels and filter
// codes by number, crop anchors by where they pin the rectangle).
#include <QAbstractButton>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QtTest>

#include <memory>

#include "common/errortrap.h"
#include "common/globals.h"
#include "document/frmdocument.h"
#include "fakemainwindow.h"
#include "ops/operation_table.h"
#include "settings/programoptions.h"
#include "test_pictures.h"
#include "tools/frmtools.h"

using namespace kalmira;

namespace {

using kalmira::testing::FakeMainWindow;

// A control and what to do with it: a slider's value, a button to press (value 1) or a check
// box to clear (value 0), a swatch's colour, a text box's text.
struct Setting {
    QString control;
    QVariant value;
};

struct OperationCase {
    int tab;             // TabOriginalTools: 0 size and crop, 1 colours, 2 filters, 3 special
    QString combo;       // the operation list of that face
    int index;           // its position
    QList<Setting> settings;
    std::string name;    // the engine operation the controls stand for
    std::vector<long> args;
};

}  // namespace

Q_DECLARE_METATYPE(OperationCase)

class ToolsOperationsTest : public QObject {
    Q_OBJECT

    FakeMainWindow host_;
    QStringList messages_;
    QStringList errors_;
    std::unique_ptr<frmTools> tools_;
    std::unique_ptr<frmDocument> doc_;

    void openDocument(const imaging::Bitmap& bitmap) {
        doc_ = std::make_unique<frmDocument>();
        ApplyReady = false;
        doc_->picOriginal().SetBitmap(bitmap);
        imaging::ImageInfo info;
        info.width = bitmap.width();
        info.height = bitmap.height();
        info.bits = bitmap.bits();
        info.fileSize = static_cast<std::uint64_t>(bitmap.width()) * bitmap.height() * 3;
        doc_->picOriginal().SetInfo(info);
        doc_->SetOriginalAnimation(false, 1);
        ProgramOptions().InitialOpenVariations = 1;
        ApplyReady = true;
        doc_->InitialisiereGrafik(true);
        doc_->picOriginalAendern();
        doc_->SelektiereGrafik(0);
    }

    template <class T = QWidget>
    T* child(const QString& name) {
        T* found = tools_->findChild<T*>(name);
        if (!found) qFatal("no control %s", qPrintable(name));
        return found;
    }

    void apply(const Setting& s) {
        QWidget* w = child(s.control);
        if (auto* slider = qobject_cast<QSlider*>(w)) slider->setValue(s.value.toInt());
        else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            edit->clear();
            QTest::keyClicks(edit, s.value.toString());
            QTest::keyClick(edit, Qt::Key_Return);
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            if (s.value.toInt() == 1) {
                if (!button->isChecked()) button->click();
            } else if (button->isChecked()) {
                button->click();
            }
        } else if (auto* frame = qobject_cast<QFrame*>(w)) {
            frmTools::SetSwatchColor(frame, s.value.toUInt());
        } else {
            qFatal("cannot set %s", qPrintable(s.control));
        }
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
        ProgramOptions().OptionsAutoApply = 0;
        host_ = FakeMainWindow();
        messages_.clear();
        errors_.clear();
        tools_ = std::make_unique<frmTools>();
        tools_->SetActiveDocumentProvider([this] { return doc_.get(); });
    }

    void cleanup() {
        QVERIFY2(errors_.isEmpty(), qPrintable(errors_.join('\n')));
        doc_.reset();
        tools_.reset();
    }

    void controlsBecomeTheOperationsArguments_data() {
        QTest::addColumn<OperationCase>("c");
        const QString colours = QStringLiteral("ComboColorCorrection"), filters = QStringLiteral("ComboFilters"),
                      special = QStringLiteral("ComboSpecial");
        auto row = [](const char* title, OperationCase c) { QTest::newRow(title) << c; };
        row("brightness x10", {1, colours, 0, {{"SliderBrightness", -37}}, "Intensity", {-370}});
        row("gamma as is", {1, colours, 1, {{"SliderGammaCorrect", 173}}, "GammaCorrect", {173}});
        row("contrast x10", {1, colours, 2, {{"SliderContrast", 41}}, "Contrast", {410}});
        row("histogram contrast x10", {1, colours, 3, {{"SliderHistoContrast", -23}}, "HistoContrast", {-230}});
        row("stretch", {1, colours, 4, {}, "StretchIntensity", {}});
        row("invert", {1, colours, 5, {}, "Invert", {}});
        row("hue as is", {1, colours, 6, {{"SliderHue", -125}}, "Hue", {-125}});
        row("saturation x10", {1, colours, 7, {{"SliderSaturation", 33}}, "Saturation", {330}});
        row("equalize", {1, colours, 8, {}, "HistoEqualize", {}});
        row("fill with the swatch", {1, colours, 9, {{"FrameFillColor", 0x3366CCu}}, "Fill", {0x3366CC}});
        row("halftone for print, angle x100",
            {2, filters, 0, {{"OptionHalftonePrint", 1}, {"SliderHalftoneAngle", 45}}, "Halftone", {0, 4500}});
        row("halftone for display",
            {2, filters, 0, {{"OptionHalftoneDisplay", 1}, {"SliderHalftoneAngle", -30}}, "Halftone", {1, -3000}});
        row("sharpen x10", {2, filters, 1, {{"SliderSharpen", -17}}, "Sharpen", {-170}});
        row("posterize as is", {2, filters, 2, {{"SliderPosterize", 5}}, "Posterize", {5}});
        row("mosaic as is", {2, filters, 3, {{"SliderMosaic", 7}}, "Mosaic", {7}});
        row("emboss north, depth x10",
            {2, filters, 4, {{"OptionEmboss_N", 1}, {"SliderEmbossDepth", 30}}, "Emboss", {0, 300}});
        row("emboss south-east", {2, filters, 4, {{"OptionEmboss_SE", 1}, {"SliderEmbossDepth", 7}}, "Emboss", {3, 70}});
        row("emboss west", {2, filters, 4, {{"OptionEmboss_W", 1}, {"SliderEmbossDepth", 100}}, "Emboss", {6, 1000}});
        row("soften", {2, filters, 5, {{"SliderSoften", 4}}, "Average", {4}});
        row("oilify", {2, filters, 6, {{"SliderOilify", 3}}, "Oilify", {3}});
        row("reduce noise", {2, filters, 7, {{"SliderReduceNoise", 5}}, "Median", {5}});
        row("noise on all channels",
            {2, filters, 8, {{"OptionAddNoiseChannelMaster", 1}, {"SliderAddNoiseRange", 300}}, "AddNoise", {300, 0}});
        row("noise on green",
            {2, filters, 8, {{"OptionAddNoiseChannelGreen", 1}, {"SliderAddNoiseRange", 500}}, "AddNoise", {500, 2}});
        row("noise on blue",
            {2, filters, 8, {{"OptionAddNoiseChannelBlue", 1}, {"SliderAddNoiseRange", 90}}, "AddNoise", {90, 3}});
        row("intensity detect",
            {2, filters, 9, {{"SliderIntensityDetectLow", 60}, {"SliderIntensityDetectHigh", 140}}, "IntensityDetect",
             {60, 140}});
        row("sobel horizontal",
            {2, filters, 10, {{"OptionEdgeDetectionSobel", 1}, {"OptionEdgeDetectionHorizontal", 1}}, "SpatialFilter",
             {22}});
        row("sobel vertical",
            {2, filters, 10, {{"OptionEdgeDetectionSobel", 1}, {"OptionEdgeDetectionVertical", 1}}, "SpatialFilter",
             {23}});
        row("prewitt horizontal",
            {2, filters, 10, {{"OptionEdgeDetectionPrewitt", 1}, {"OptionEdgeDetectionHorizontal", 1}},
             "SpatialFilter", {24}});
        row("prewitt vertical",
            {2, filters, 10, {{"OptionEdgeDetectionPrewitt", 1}, {"OptionEdgeDetectionVertical", 1}}, "SpatialFilter",
             {25}});
        row("lines horizontal", {2, filters, 11, {{"OptionLineDetectHorizontal", 1}}, "SpatialFilter", {29}});
        row("lines vertical", {2, filters, 11, {{"OptionLineDetectVertical", 1}}, "SpatialFilter", {30}});
        row("lines left to right", {2, filters, 11, {{"OptionLineDetectLeftToRight", 1}}, "SpatialFilter", {31}});
        row("lines right to left", {2, filters, 11, {{"OptionLineDetectRightToLeft", 1}}, "SpatialFilter", {32}});
        row("rotate x100 without resizing",
            {3, special, 0, {{"SliderRotate", 30}, {"CheckRotateResize", 0}, {"FrameRotateColor", 0x102030u}}, "Rotate",
             {3000, 0, 0x102030}});
        row("rotate x100 resized",
            {3, special, 0, {{"SliderRotate", 200}, {"CheckRotateResize", 1}, {"FrameRotateColor", 0x00FF00u}}, "Rotate",
             {20000, 1, 0x00FF00}});
        row("shear horizontal x100",
            {3, special, 1, {{"SliderShear", 20}, {"OptionShearHorizontal", 1}, {"FrameShearColor", 0xABCDEFu}}, "Shear",
             {2000, 1, 0xABCDEF}});
        row("shear vertical x100",
            {3, special, 1, {{"SliderShear", -15}, {"OptionShearVertical", 1}, {"FrameShearColor", 0x0000FFu}}, "Shear",
             {-1500, 0, 0x0000FF}});
        // The vertical mirror runs Reverse (columns swapped), the horizontal one Flip (rows swapped).
        row("mirror vertically", {3, special, 2, {{"OptionFlipVertical", 1}}, "Reverse", {}});
        row("mirror horizontally", {3, special, 2, {{"OptionFlipHorizontal", 1}}, "Flip", {}});
    }

    void controlsBecomeTheOperationsArguments() {
        QFETCH(OperationCase, c);
        openDocument(kalmira::testing::photo(23, 17));
        child<QTabBar>(QStringLiteral("TabOriginalTools"))->setCurrentIndex(c.tab);
        child<QComboBox>(c.combo)->setCurrentIndex(c.index);
        for (const Setting& s : c.settings) apply(s);
        imaging::Bitmap expected = doc_->picOriginal().Bitmap();
        imaging::ops::applyNamedOperation(expected, c.name, c.args);
        child<QPushButton>(QStringLiteral("CommandApply"))->click();
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join('\n')));
        const imaging::Bitmap& got = doc_->picOriginal().Bitmap();
        QCOMPARE(got.width(), expected.width());
        QCOMPARE(got.height(), expected.height());
        QVERIFY2(got.toRgb24().data() == expected.toRgb24().data(), "the picture differs from the operation's");
    }

    // Crop anchors pin the rectangle to a corner, an edge's middle or the centre; a middle
    // position halves the spare pixels and rounds half to even (7 / 2 = 3.5 -> 4, 5 / 2 = 2.5 -> 2).
    void cropAnchorsPinTheRectangle_data() {
        QTest::addColumn<int>("anchor");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        const int lefts[] = {0, 4, 7}, tops[] = {0, 2, 5};
        for (int anchor = 0; anchor < 9; ++anchor)
            QTest::addRow("anchor %d", anchor) << anchor << lefts[anchor % 3] << tops[anchor / 3];
    }

    void cropAnchorsPinTheRectangle() {
        QFETCH(int, anchor);
        QFETCH(int, left);
        QFETCH(int, top);
        // 23 x 17 cropped to 16 x 12: 7 spare columns and 5 spare rows.
        openDocument(kalmira::testing::photo(23, 17));
        const imaging::Bitmap before = doc_->picOriginal().Bitmap();
        child<QTabBar>(QStringLiteral("TabOriginalTools"))->setCurrentIndex(0);
        child<QComboBox>(QStringLiteral("ComboResize"))->setCurrentIndex(1);
        apply({QStringLiteral("OptionCropDirection%1").arg(anchor), 1});
        apply({QStringLiteral("TextCropWidth"), QStringLiteral("16")});
        apply({QStringLiteral("TextCropHeight"), QStringLiteral("12")});
        child<QPushButton>(QStringLiteral("CommandApply"))->click();
        const imaging::Bitmap& got = doc_->picOriginal().Bitmap();
        QCOMPARE(got.width(), 16);
        QCOMPARE(got.height(), 12);
        for (int y = 0; y < 12; y += 11)
            for (int x = 0; x < 16; x += 15) QCOMPARE(got.pixel(x, y), before.pixel(left + x, top + y));
    }

    // The Variation tab shows a JPEG Variation's quality as 256 - factor, and an Apply without
    // edits stores the same factor again.
    void jpegQualityIsTheFactorsComplementBothWays() {
        openDocument(kalmira::testing::photo(40, 30));
        doc_->SelektiereGrafik(1);
        ProgramOptions().OptionsAutoApply = 1;
        child<QComboBox>(QStringLiteral("ComboFormat"))->setCurrentIndex(1);
        ProgramOptions().OptionsAutoApply = 0;
        QCOMPARE(doc_->record(1).Format, 1);
        for (int factor : {56, 2, 3, 128, 129, 254, 255}) {
            doc_->record(1).JPEGQFactor = factor;
            doc_->SelektiereGrafik(0);
            doc_->SelektiereGrafik(1);
            QCOMPARE(child<QLineEdit>(QStringLiteral("TextQuality"))->text(), QString::number(256 - factor));
            QCOMPARE(child<QSlider>(QStringLiteral("SliderQuality"))->value(), 256 - factor);
            child<QPushButton>(QStringLiteral("CommandApply"))->click();
            QCOMPARE(doc_->record(1).JPEGQFactor, factor);
        }
    }

    // A palette Original whose transparent colour is an entry: the Variation keeps that
    // entry's colour, not its index, so a new palette can find it again.
    void aTransparentPaletteEntryIsStoredAsItsColour() {
        imaging::Bitmap b(8, 4, 8);
        for (int i = 0; i < 256; ++i)
            b.palette()[static_cast<std::size_t>(i)] = imaging::makeRgb(i * 10 % 256, 200, 255 - i);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) b.row(y)[x] = static_cast<std::uint8_t>((x + y) % 5);
        b.setTransparent(true);
        b.setTransparentColor(imaging::kPaletteReference + 3);
        openDocument(b);
        QVERIFY(doc_->record(1).GIFTransparent);
        QCOMPARE(doc_->record(1).GIFTransparentColor & 0xFFFFFFu, imaging::makeRgb(30, 200, 252));
    }

    // Keenfit under a profile of the kind "Depends on color depth": a palette Original gets
    // GIF, a true-colour one JPEG, whatever the Variation was before.
    void keenfitByColourDepthFollowsTheOriginal_data() {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("format");
        QTest::newRow("8 bits: GIF") << 8 << 0;
        QTest::newRow("4 bits: GIF") << 4 << 0;
        QTest::newRow("24 bits: JPEG") << 24 << 1;
    }

    void keenfitByColourDepthFollowsTheOriginal() {
        QFETCH(int, bits);
        QFETCH(int, format);
        for (int slot = 1; slot <= 5; ++slot)
            ProgramOptions().Profiles[static_cast<std::size_t>(slot)].FileFormat = kProfileByColorDepth;
        imaging::Bitmap picture = kalmira::testing::stripes(30, 20, 12);
        if (bits <= 8) {
            imaging::Bitmap indexed(30, 20, bits);
            for (int i = 0; i < 12; ++i)
                indexed.palette()[static_cast<std::size_t>(i)] = picture.pixel(i, 0);
            for (int y = 0; y < 20; ++y)
                for (int x = 0; x < 30; ++x) indexed.row(y)[x] = static_cast<std::uint8_t>((x + y * 7) % 12);
            picture = indexed;
        }
        openDocument(picture);
        doc_->SelektiereGrafik(1);
        ProgramOptions().OptionsAutoApply = 1;
        child<QComboBox>(QStringLiteral("ComboFormat"))->setCurrentIndex(format == 0 ? 2 : 0);  // something else
        QCOMPARE(doc_->record(1).Format, format == 0 ? 2 : 0);
        child<QPushButton>(QStringLiteral("CommandKeenfit"))->click();
        QCOMPARE(doc_->record(1).Format, format);
        QCOMPARE(child<QComboBox>(QStringLiteral("ComboFormat"))->currentIndex(), format);
    }
};

QTEST_MAIN(ToolsOperationsTest)
#include "toolsoperations_test.moc"
