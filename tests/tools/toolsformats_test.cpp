// The tools window's rules at their limits and its faces for the web formats and the size
// and quality targets, driven by the controls' names beside a real document window.
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

class ToolsFormatsTest : public QObject, protected kalmira::testing::ToolsWindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { startFixture(); }

    void init() { resetFixture(); }

    void cleanup() { endFixture(); }

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

QTEST_MAIN(ToolsFormatsTest)
#include "toolsformats_test.moc"
