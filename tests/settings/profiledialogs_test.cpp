// The GIF and JPEG default dialogs: the enabling rules, the normalising of typed numbers, the
// custom palette check, and that they edit only the options dialog's working copy.
#include "settings/frmgif.h"
#include "settings/frmjpeg.h"
#include "settings/frmoptions.h"
#include "settings/gifjpegrules.h"
#include "settings/programoptions.h"
#include "common/errortrap.h"
#include "common/globals.h"
#include "common/routines.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QTabWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace kalmira {

namespace {

template <class T>
T* child(const QObject& parent, const QString& name) {
    T* found = parent.findChild<T*>(name);
    if (!found) qFatal("no control %s", qPrintable(name));
    return found;
}

QRadioButton* depthButton(const QDialog& d, int n) { return child<QRadioButton>(d, QStringLiteral("optPixelDepth%1").arg(n)); }
QRadioButton* paletteButton(const QDialog& d, int n) { return child<QRadioButton>(d, QStringLiteral("optPalette%1").arg(n)); }

// Runs work on the modal dialog the next click opens, once its event loop runs.
void onNextModal(std::function<void(QDialog&)> work) {
    QTimer::singleShot(0, [work] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) qFatal("no modal dialog");
        work(*dialog);
        if (dialog->isVisible()) dialog->reject();
    });
}

void enterText(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
}

}  // namespace

class ProfileDialogsTest : public QObject {
    Q_OBJECT

    QStringList reports_;
    QStringList messages_;
    ReportPrompt previousPrompt_;

private slots:
    void initTestCase() {
        LanguageOffset = 0;
        ErrorTrapping = true;
        previousPrompt_ = SetReportPrompt([this](const QString&, const QString& message) {
            reports_.append(message);
            return ReportAnswer::Ok;
        });
        frmGIF::SetMessageShower([this](QWidget*, const QString& text) { messages_.append(text); });
    }
    void cleanupTestCase() {
        SetReportPrompt(previousPrompt_);
        frmGIF::SetMessageShower(nullptr);
        frmGIF::SetPaletteFileChooser(nullptr);
    }
    void init() {
        reports_.clear();
        messages_.clear();
        ProgramOptions() = DefaultProgramOptions();
    }

    // Every caption, title, tab and list item of the three dialogs comes from the text table in
    // both languages: none is left showing its design-time id.
    void everyCaptionIsLocalised_data() {
        QTest::addColumn<int>("offset");
        QTest::newRow("English") << 0;
        QTest::newRow("German") << kGermanLanguageOffset;
    }

    void everyCaptionIsLocalised() {
        QFETCH(int, offset);
        LanguageOffset = offset;
        frmOptions options;
        frmGIF gif(options);
        frmJPEG jpeg(options);
        LanguageOffset = 0;
        QStringList unlocalised;
        const auto check = [&](const QObject* owner, const QString& text) {
            bool isNumber = false;
            text.toInt(&isNumber);
            if (isNumber || text.isEmpty() || text == QStringLiteral("*error*"))
                unlocalised.append(owner->objectName() + QStringLiteral(": ") + text);
        };
        for (const QDialog* dialog : std::initializer_list<const QDialog*>{&options, &gif, &jpeg}) {
            check(dialog, dialog->windowTitle());
            for (const QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
                if (!qobject_cast<const QToolButton*>(b)) check(b, b->text());  // the tab bar's arrows
            for (const QGroupBox* g : dialog->findChildren<QGroupBox*>()) check(g, g->title());
            for (const QLabel* l : dialog->findChildren<QLabel*>())
                if (l->objectName() != QStringLiteral("lblPaletteFileName")) check(l, l->text());
            for (const QTabWidget* t : dialog->findChildren<QTabWidget*>())
                for (int i = 0; i < t->count(); ++i) check(t, t->tabText(i));
            for (const QComboBox* c : dialog->findChildren<QComboBox*>())
                if (c->objectName() != QStringLiteral("ComboNumColors"))
                    for (int i = 0; i < c->count(); ++i) check(c, c->itemText(i));
        }
        QVERIFY2(unlocalised.isEmpty(), qPrintable(unlocalised.join(QStringLiteral(", "))));
        if (offset != 0) QVERIFY(options.windowTitle() != QStringLiteral("Options"));
    }

    void fewerBitsThanEightGiveUpNetscape() {
        ProgramOptions().Profiles[1].GIFColorPalette = kPaletteNetscape;
        frmOptions options;
        frmGIF gif(options);
        QVERIFY(depthButton(gif, 8)->isChecked());
        QVERIFY(paletteButton(gif, 64)->isChecked() && paletteButton(gif, 64)->isEnabled());
        depthButton(gif, 4)->click();
        QVERIFY(!paletteButton(gif, 64)->isEnabled());
        QVERIFY(paletteButton(gif, 1)->isChecked());
        depthButton(gif, 8)->click();
        QVERIFY(paletteButton(gif, 64)->isEnabled());
        QVERIFY(paletteButton(gif, 1)->isChecked());
        QVERIFY(reports_.isEmpty());

        // True-colour depths (the tools window's) switch every palette control off but Custom.
        ApplyPixelDepthRules(&gif, 24);
        for (int kind : {1, 2, 8, 64}) QVERIFY(!paletteButton(gif, kind)->isEnabled());
        QVERIFY(!child<QComboBox>(gif, QStringLiteral("ComboDithering"))->isEnabled());
        QVERIFY(paletteButton(gif, 16)->isEnabled());
    }

    // The depth rule on both sides of its limits: every palette control up to 8 bits, the
    // Netscape palette at exactly 8, and none of them from 9 bits on; a Netscape choice below 8
    // bits falls back to Fixed, and the colour count follows Optimized.
    void depthRuleOnBothSidesOfItsLimits_data() {
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("checkedBefore");
        QTest::addColumn<bool>("palettes");
        QTest::addColumn<bool>("netscape");
        QTest::addColumn<int>("checkedAfter");
        QTest::addColumn<bool>("count");
        QTest::newRow("1, optimised") << 1 << 2 << true << false << 2 << true;
        QTest::newRow("7, optimised") << 7 << 2 << true << false << 2 << true;
        QTest::newRow("7, Netscape falls back") << 7 << 64 << true << false << 1 << false;
        QTest::newRow("8, optimised") << 8 << 2 << true << true << 2 << true;
        QTest::newRow("8, Netscape kept") << 8 << 64 << true << true << 64 << false;
        QTest::newRow("8, fixed") << 8 << 1 << true << true << 1 << false;
        QTest::newRow("9, optimised") << 9 << 2 << false << false << 2 << false;
        QTest::newRow("16, optimised") << 16 << 2 << false << false << 2 << false;
        QTest::newRow("16, Netscape") << 16 << 64 << false << false << 64 << false;
        QTest::newRow("24, optimised") << 24 << 2 << false << false << 2 << false;
        QTest::newRow("32, optimised") << 32 << 2 << false << false << 2 << false;
    }

    void depthRuleOnBothSidesOfItsLimits() {
        QFETCH(int, depth);
        QFETCH(int, checkedBefore);
        QFETCH(bool, palettes);
        QFETCH(bool, netscape);
        QFETCH(int, checkedAfter);
        QFETCH(bool, count);
        frmOptions options;
        frmGIF gif(options);
        depthButton(gif, 8)->click();
        paletteButton(gif, checkedBefore)->click();
        QVERIFY(paletteButton(gif, checkedBefore)->isChecked());
        ApplyPixelDepthRules(&gif, static_cast<std::int16_t>(depth));
        for (int kind : {1, 2, 8}) QCOMPARE(paletteButton(gif, kind)->isEnabled(), palettes);
        QCOMPARE(child<QComboBox>(gif, QStringLiteral("ComboDithering"))->isEnabled(), palettes);
        QCOMPARE(paletteButton(gif, 64)->isEnabled(), netscape);
        QVERIFY(paletteButton(gif, checkedAfter)->isChecked());
        QCOMPARE(child<QComboBox>(gif, QStringLiteral("ComboNumColors"))->isEnabled(), count);
        QVERIFY(paletteButton(gif, 16)->isEnabled());  // Custom stays open at every depth
        QVERIFY(reports_.isEmpty());
    }

    void paletteKindDecidesColourCountAndFile() {
        frmOptions options;
        frmGIF gif(options);
        auto* count = child<QComboBox>(gif, QStringLiteral("ComboNumColors"));
        auto* define = child<QPushButton>(gif, QStringLiteral("cmdDefinePalette"));
        QVERIFY(paletteButton(gif, 2)->isChecked());  // default: optimised
        QVERIFY(count->isEnabled() && !define->isEnabled());
        paletteButton(gif, 16)->click();
        QVERIFY(!count->isEnabled() && define->isEnabled());
        paletteButton(gif, 1)->click();
        QVERIFY(!count->isEnabled() && !define->isEnabled());
        paletteButton(gif, 2)->click();
        depthButton(gif, 3)->click();  // the depth rule agrees while Optimized stays selected
        QVERIFY(count->isEnabled());
    }

    void colourCount_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("stored");
        QTest::newRow("0") << "0" << "256" << 256;
        QTest::newRow("-5") << "-5" << "256" << 256;
        QTest::newRow("300") << "300" << "256" << 256;
        QTest::newRow("all") << "all" << "256" << 256;
        QTest::newRow("1e999") << "1e999" << "256" << 256;
        QTest::newRow("16") << "16" << "16" << 16;
        QTest::newRow("1e2 kept as typed") << "1e2" << "1e2" << 100;
    }

    void colourCount() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(int, stored);
        frmOptions options;
        frmGIF gif(options);
        auto* count = child<QComboBox>(gif, QStringLiteral("ComboNumColors"));
        enterText(count->lineEdit(), typed);
        QCOMPARE(count->currentText(), shown);
        child<QPushButton>(gif, QStringLiteral("cmdOK"))->click();
        QCOMPARE(options.PendingOptions().Profiles[1].GIFMaxColors, stored);
        QCOMPARE(ProgramOptions().Profiles[1].GIFMaxColors, 256);  // only the working copy
    }

    void customPaletteNeedsAFile() {
        frmOptions options;
        frmGIF gif(options);
        gif.show();
        paletteButton(gif, 16)->click();
        child<QPushButton>(gif, QStringLiteral("cmdOK"))->click();
        QCOMPARE(messages_, QStringList{QStringLiteral("You have to select a palette file when choosing custom palette!")});
        QVERIFY(gif.isVisible());
        QCOMPARE(options.PendingOptions().Profiles[1].GIFColorPalette, kPaletteOptimized);

        QString askedTitle;
        QStringList askedFilters;
        QString answer;  // first cancelled, then a file
        const auto previous = frmGIF::SetPaletteFileChooser([&](QWidget*, const QString& title, const QStringList& f) {
            askedTitle = title;
            askedFilters = f;
            return answer;
        });
        child<QPushButton>(gif, QStringLiteral("cmdDefinePalette"))->click();
        QCOMPARE(child<QLabel>(gif, QStringLiteral("lblPaletteFileName"))->text(), QString());
        QVERIFY(reports_.isEmpty());  // cancelling is silent
        answer = QStringLiteral("/home/u/pal/web.pal");
        child<QPushButton>(gif, QStringLiteral("cmdDefinePalette"))->click();
        frmGIF::SetPaletteFileChooser(previous);
        QCOMPARE(askedTitle, QStringLiteral("Define Default Color Palette"));
        QCOMPARE(askedFilters.value(0), QStringLiteral("Palette-File (*.pal)"));
        QCOMPARE(askedFilters.size(), 5);
        child<QPushButton>(gif, QStringLiteral("cmdOK"))->click();
        QCOMPARE(gif.result(), int(QDialog::Accepted));
        QCOMPARE(options.PendingOptions().Profiles[1].GIFColorPalette, kPaletteCustom);
        QCOMPARE(QString::fromStdString(options.PendingOptions().Profiles[1].GIFPaletteFileName), answer);
    }

    void otherKindsForgetThePaletteFile() {
        ProgramOptions().Profiles[1].GIFColorPalette = kPaletteCustom;
        ProgramOptions().Profiles[1].GIFPaletteFileName = "C:\\pal\\web.pal";
        frmOptions options;
        frmGIF gif(options);
        QCOMPARE(child<QLabel>(gif, QStringLiteral("lblPaletteFileName"))->text(), QStringLiteral("C:\\pal\\web.pal"));
        paletteButton(gif, 8)->click();
        child<QPushButton>(gif, QStringLiteral("cmdOK"))->click();
        QCOMPARE(options.PendingOptions().Profiles[1].GIFColorPalette, kPaletteWindows);
        QCOMPARE(options.PendingOptions().Profiles[1].GIFPaletteFileName, std::string());
    }

    void reopeningShowsTheFirstVisitsValues() {
        frmOptions options;
        child<QComboBox>(options, QStringLiteral("ComboVariation"))->setCurrentIndex(3);  // slot 4: 4 bits
        onNextModal([](QDialog& gif) {
            QVERIFY(depthButton(gif, 4)->isChecked());
            child<QComboBox>(gif, QStringLiteral("ComboDithering"))->setCurrentIndex(2);
            child<QCheckBox>(gif, QStringLiteral("CheckFormatGIFInterlaced"))->setChecked(true);
            child<QPushButton>(gif, QStringLiteral("cmdOK"))->click();
        });
        child<QPushButton>(options, QStringLiteral("CommandGIF"))->click();
        int shownDithering = -1;
        onNextModal([&](QDialog& gif) {
            shownDithering = child<QComboBox>(gif, QStringLiteral("ComboDithering"))->currentIndex();
        });
        child<QPushButton>(options, QStringLiteral("CommandGIF"))->click();
        QCOMPARE(shownDithering, 2);
        QCOMPARE(options.PendingOptions().Profiles[4].GIFDitheringMethod, ListIndexToDitherCode(2));
        QCOMPARE(options.PendingOptions().Profiles[4].GIFInterlaced, 1);
        QVERIFY(ProgramOptions() == DefaultProgramOptions());
        QVERIFY(reports_.isEmpty());
    }

    void damagedGifValuesAreReportedOneByOne() {
        ProgramOptions().Profiles[1].GIFMaxPixelDepth = 12;
        ProgramOptions().Profiles[1].GIFColorPalette = 3;
        ProgramOptions().Profiles[1].GIFInterlaced = 1;
        frmOptions options;
        frmGIF gif(options);
        QCOMPARE(reports_.size(), 2);
        QVERIFY2(reports_.first().contains(QStringLiteral("340")), qPrintable(reports_.first()));
        QVERIFY(child<QCheckBox>(gif, QStringLiteral("CheckFormatGIFInterlaced"))->isChecked());
        child<QPushButton>(gif, QStringLiteral("cmdOK"))->click();
        // Nothing was selected, so the damaged values stay as they were rather than turning
        // into some other depth or palette.
        QCOMPARE(options.PendingOptions().Profiles[1].GIFMaxPixelDepth, 12);
        QCOMPARE(options.PendingOptions().Profiles[1].GIFColorPalette, 3);
    }

    void jpegQualityText_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("slider");
        QTest::newRow("300") << "300" << 254;
        QTest::newRow("0") << "0" << 1;
        QTest::newRow("abc") << "abc" << 1;
        QTest::newRow("120abc") << "120abc" << 120;
        QTest::newRow("99.6") << "99.6" << 100;
        QTest::newRow("1e999") << "1e999" << 254;
    }

    void jpegQualityText() {
        QFETCH(QString, typed);
        QFETCH(int, slider);
        frmOptions options;
        frmJPEG jpeg(options);
        auto* text = child<QLineEdit>(jpeg, QStringLiteral("TextQuality"));
        QCOMPARE(text->text(), QStringLiteral("200"));
        enterText(text, typed);
        QCOMPARE(child<QSlider>(jpeg, QStringLiteral("SliderQuality"))->value(), slider);
        QCOMPARE(text->text(), QString::number(slider));
        QVERIFY(reports_.isEmpty());
    }

    void jpegPassesAndOk() {
        ProgramOptions().Profiles[5].JPEGProgressive = 1;
        frmOptions options;
        child<QComboBox>(options, QStringLiteral("ComboVariation"))->setCurrentIndex(4);
        frmJPEG jpeg(options);
        QCOMPARE(child<QComboBox>(jpeg, QStringLiteral("ComboYUV"))->currentIndex(), 2);  // slot 5: 4:1:1
        QCOMPARE(child<QSlider>(jpeg, QStringLiteral("SliderQuality"))->value(), 120);
        auto* passes = child<QLineEdit>(jpeg, QStringLiteral("TextProgressivePasses"));
        QVERIFY(passes->isEnabled());
        enterText(passes, QStringLiteral("99"));
        QCOMPARE(passes->text(), QStringLiteral("64"));
        enterText(passes, QStringLiteral("-1"));
        QCOMPARE(passes->text(), QStringLiteral("0"));
        enterText(passes, QStringLiteral("7 passes"));
        QCOMPARE(passes->text(), QStringLiteral("7 passes"));
        child<QCheckBox>(jpeg, QStringLiteral("CheckProgressive"))->click();
        QVERIFY(!passes->isEnabled());
        child<QSlider>(jpeg, QStringLiteral("SliderQuality"))->setValue(33);
        child<QComboBox>(jpeg, QStringLiteral("ComboYUV"))->setCurrentIndex(0);
        child<QCheckBox>(jpeg, QStringLiteral("CheckGrayscale"))->click();
        child<QPushButton>(jpeg, QStringLiteral("cmdOK"))->click();
        const OptimizeProfile& p = options.PendingOptions().Profiles[5];
        QCOMPARE(p.JPEGQuality, 33);
        QCOMPARE(p.JPEGProgressive, 0);
        QCOMPARE(p.JPEGPasses, 7);
        QCOMPARE(p.JPEGYUV_Color, 0);
        QCOMPARE(p.JPEGGrayscale, 1);
        QCOMPARE(ProgramOptions().Profiles[5].JPEGQuality, 120);
    }

    void jpegCancelAndDamagedSubsampling() {
        ProgramOptions().Profiles[1].JPEGYUV_Color = 5;
        frmOptions options;
        frmJPEG jpeg(options);
        QCOMPARE(reports_.size(), 1);
        child<QSlider>(jpeg, QStringLiteral("SliderQuality"))->setValue(10);
        child<QPushButton>(jpeg, QStringLiteral("cmdCancel"))->click();
        QCOMPARE(options.PendingOptions().Profiles[1].JPEGQuality, 200);
        QCOMPARE(options.PendingOptions().Profiles[1].JPEGYUV_Color, 5);
    }
};

}  // namespace kalmira

QTEST_MAIN(kalmira::ProfileDialogsTest)
#include "profiledialogs_test.moc"
