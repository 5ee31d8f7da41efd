// The options dialog: what it shows of the options, how its number boxes normalise what the
// user types, the "Applies to" buttons, and that only OK changes the options and the store.
#include "settings/frmoptions.h"
#include "settings/programoptions.h"
#include "settings/settingsstore.h"
#include "common/errortrap.h"
#include "common/globals.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

namespace kalmira {

namespace {

template <class T>
T* child(const QObject& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s", name);
    return found;
}

QByteArray storeContent() {
    QFile file(SettingsFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT

    QList<QString> reports_;
    ReportPrompt previousPrompt_;

private slots:
    void initTestCase() {
        LanguageOffset = 0;
        ErrorTrapping = true;
        previousPrompt_ = SetReportPrompt([this](const QString&, const QString& message) {
            reports_.append(message);
            return ReportAnswer::Ok;
        });
    }
    void cleanupTestCase() { SetReportPrompt(previousPrompt_); }

    void init() {
        reports_.clear();
        const QString path = SettingsFilePath();
        if (QFileInfo(path).isDir()) QDir(path).removeRecursively();
        QFile::remove(path);
        ReadSetting(QStringLiteral("Settings"), QStringLiteral("MainLeft"), QString());
        ProgramOptions() = DefaultProgramOptions();
    }

    void showsThreeTabsAndFiveSlotsInEnglish() {
        frmOptions dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Options"));
        auto* tabs = child<QTabWidget>(dialog, "tbsOptions");
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(2), QStringLiteral("Keenfit GIF/JPEG"));
        auto* variations = child<QComboBox>(dialog, "ComboVariation");
        QCOMPARE(variations->count(), 5);
        QCOMPARE(variations->itemText(4), QStringLiteral("Variation 5"));
        QCOMPARE(variations->findText(QStringLiteral("Batch Processing")), -1);
        QCOMPARE(child<QComboBox>(dialog, "cmbDownloadSpeed")->itemText(8), QStringLiteral("128 kbps (ISDNx2)"));
        QCOMPARE(child<QRadioButton>(dialog, "OptionFileFormat3")->text(), QStringLiteral("Depends on color depth"));
        QCOMPARE(child<QPushButton>(dialog, "cmdOK")->text(), QStringLiteral("&OK"));
        const double twipsPerPixel = 1440.0 / dialog.screen()->logicalDotsPerInchX();
        QVERIFY(qAbs(dialog.width() * twipsPerPixel - 5145) < twipsPerPixel);
        QVERIFY(qAbs(dialog.height() * twipsPerPixel - 4440) < twipsPerPixel);
    }

    void helpContextFollowsTheTab() {
        frmOptions dialog;
        auto* tabs = child<QTabWidget>(dialog, "tbsOptions");
        QCOMPARE(dialog.HelpContextId(), 1013);
        tabs->setCurrentIndex(1);
        QCOMPARE(dialog.HelpContextId(), 1025);
        tabs->setCurrentIndex(2);
        QCOMPARE(dialog.HelpContextId(), 1306);
    }

    void showsTheCurrentOptions() {
        ProgramOptionsRecord& o = ProgramOptions();
        o.OptionsAutoApply = 0;
        o.InitialOpenVariations = 3;
        o.DownloadSpeed = 56000;
        o.StandardZoomLevel = 250;
        o.FitToWindow = 0;
        o.DisplayLimitWidthToEnabled = 1;
        o.DisplayLimitWidthTo = 640;
        o.DisplayOrder = 1;
        frmOptions dialog;
        QVERIFY(!child<QCheckBox>(dialog, "CheckAutoApply")->isChecked());
        QCOMPARE(child<QLineEdit>(dialog, "TextOptionsInitialOpenVariations")->text(), QStringLiteral("3"));
        QCOMPARE(child<QScrollBar>(dialog, "VScrollOptionsInitialOpenVariations")->value(), 3);
        QCOMPARE(child<QComboBox>(dialog, "cmbDownloadSpeed")->currentIndex(), 6);
        QCOMPARE(child<QLineEdit>(dialog, "TextOptionsZoomLevel")->text(), QStringLiteral("250"));
        QVERIFY(!child<QCheckBox>(dialog, "checkDisplayFitToWindow")->isChecked());
        QVERIFY(child<QLineEdit>(dialog, "TextDisplayLimitWidthTo")->isEnabled());
        QCOMPARE(child<QLineEdit>(dialog, "TextDisplayLimitWidthTo")->text(), QStringLiteral("640"));
        QVERIFY(!child<QLineEdit>(dialog, "TextDisplayLimitHeightTo")->isEnabled());
        QVERIFY(child<QRadioButton>(dialog, "OptionDisplayVariationDisplayOrder1")->isChecked());
        QVERIFY(child<QRadioButton>(dialog, "OptionFileFormat4")->isChecked());

        child<QCheckBox>(dialog, "CheckDisplayLimitHeightToEnabled")->click();
        QVERIFY(child<QLineEdit>(dialog, "TextDisplayLimitHeightTo")->isEnabled());
        child<QCheckBox>(dialog, "CheckDisplayLimitWidthToEnabled")->click();
        QVERIFY(!child<QLineEdit>(dialog, "TextDisplayLimitWidthTo")->isEnabled());
    }

    void numberBoxes_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("upDown");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("byLeaving");
        const char* zoom = "TextOptionsZoomLevel";
        const char* zoomUpDown = "VscrollOptionsZoomLevel";
        const char* initial = "TextOptionsInitialOpenVariations";
        const char* initialUpDown = "VScrollOptionsInitialOpenVariations";
        const char* width = "TextDisplayLimitWidthTo";
        const char* height = "TextDisplayLimitHeightTo";
        QTest::newRow("zoom abc") << zoom << zoomUpDown << "abc" << "100" << false;
        QTest::newRow("zoom 0") << zoom << zoomUpDown << "0" << "100" << true;
        QTest::newRow("zoom 1200") << zoom << zoomUpDown << "1200" << "800" << false;
        QTest::newRow("zoom 1e999") << zoom << zoomUpDown << "1e999" << "800" << true;
        QTest::newRow("zoom 250%") << zoom << zoomUpDown << "250%" << "250" << false;
        QTest::newRow("initial -3") << initial << initialUpDown << "-3" << "0" << false;
        QTest::newRow("initial 9") << initial << initialUpDown << "9" << "5" << true;
        QTest::newRow("initial 2e0") << initial << initialUpDown << "2e0" << "2" << false;
        QTest::newRow("width 1") << width << "" << "1" << "2" << false;
        QTest::newRow("width 5000") << width << "" << "5000" << "1000" << true;
        QTest::newRow("height 12abc") << height << "" << "12abc" << "12" << false;
        QTest::newRow("height -1e999") << height << "" << "-1e999" << "2" << true;
    }

    void numberBoxes() {
        QFETCH(QString, box);
        QFETCH(QString, upDown);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, byLeaving);
        ProgramOptions().DisplayLimitWidthToEnabled = 1;
        ProgramOptions().DisplayLimitHeightToEnabled = 1;
        frmOptions dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* tabs = child<QTabWidget>(dialog, "tbsOptions");
        auto* text = child<QLineEdit>(dialog, box.toLatin1().constData());
        tabs->setCurrentIndex(box.contains(QStringLiteral("Initial")) ? 0 : 1);
        text->setFocus();
        QTRY_VERIFY(text->hasFocus());
        text->selectAll();
        QTest::keyClicks(text, typed);
        if (byLeaving) {
            // Leaving the box for the Fit check box on the same page.
            QWidget* other = tabs->currentIndex() == 0 ? static_cast<QWidget*>(child<QCheckBox>(dialog, "CheckAutoApply"))
                                                       : child<QCheckBox>(dialog, "checkDisplayFitToWindow");
            other->setFocus();
            QTRY_VERIFY(!text->hasFocus());
        } else {
            QTest::keyClick(text, Qt::Key_Return);
        }
        QCOMPARE(text->text(), shown);
        QVERIFY(dialog.isVisible());  // Enter in a box does not close the dialog
        if (!upDown.isEmpty()) QCOMPARE(child<QScrollBar>(dialog, upDown.toLatin1().constData())->value(), shown.toInt());
        QVERIFY(reports_.isEmpty());
    }

    void upDownFollowsTyping() {
        frmOptions dialog;
        auto* text = child<QLineEdit>(dialog, "TextOptionsZoomLevel");
        auto* upDown = child<QScrollBar>(dialog, "VscrollOptionsZoomLevel");
        text->clear();
        QTest::keyClicks(text, "35");
        QCOMPARE(upDown->value(), 35);
        QTest::keyClicks(text, "x");  // not a whole number: the up-down stays
        QCOMPARE(upDown->value(), 35);
        QCOMPARE(text->text(), QStringLiteral("35x"));
        upDown->setValue(36);
        QCOMPARE(text->text(), QStringLiteral("36"));
        QVERIFY(reports_.isEmpty());
    }

    void appliesToEnablesTheFittingSettingsButtons() {
        frmOptions dialog;
        auto* gif = child<QPushButton>(dialog, "CommandGIF");
        auto* jpeg = child<QPushButton>(dialog, "CommandJPEG");
        QVERIFY(gif->isEnabled() && jpeg->isEnabled());  // slot 1: smallest file
        child<QRadioButton>(dialog, "OptionFileFormat1")->click();
        QVERIFY(gif->isEnabled() && !jpeg->isEnabled());
        QCOMPARE(dialog.PendingOptions().Profiles[1].FileFormat, 1);
        child<QRadioButton>(dialog, "OptionFileFormat2")->click();
        QVERIFY(!gif->isEnabled() && jpeg->isEnabled());
        child<QRadioButton>(dialog, "OptionFileFormat3")->click();
        QVERIFY(gif->isEnabled() && jpeg->isEnabled());
        QCOMPARE(dialog.PendingOptions().Profiles[1].FileFormat, 3);

        auto* variations = child<QComboBox>(dialog, "ComboVariation");
        variations->setCurrentIndex(2);  // slot 3: always JPEG
        QCOMPARE(dialog.CurrentSlot(), 3);
        QVERIFY(child<QRadioButton>(dialog, "OptionFileFormat2")->isChecked());
        QVERIFY(!gif->isEnabled() && jpeg->isEnabled());
        QCOMPARE(dialog.PendingOptions().Profiles[1].FileFormat, 3);  // slot 1 keeps its choice
        QCOMPARE(dialog.PendingOptions().Profiles[3].FileFormat, 2);

    }

    void cancelChangesNothing() {
        writeKnownStore();
        const QByteArray before = storeContent();
        const ProgramOptionsRecord options = ProgramOptions();
        frmOptions dialog;
        child<QComboBox>(dialog, "ComboVariation")->setCurrentIndex(1);
        child<QRadioButton>(dialog, "OptionFileFormat4")->click();
        dialog.PendingOptions().Profiles[2].GIFMaxColors = 16;  // as the GIF dialog would
        child<QCheckBox>(dialog, "CheckAutoApply")->click();
        child<QPushButton>(dialog, "cmdCancel")->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(ProgramOptions() == options);
        QCOMPARE(storeContent(), before);
    }

    void okCommitsAndSaves() {
        ProgramOptions().DownloadSpeed = 31337;  // none of the listed speeds
        frmOptions dialog;
        QCOMPARE(child<QComboBox>(dialog, "cmbDownloadSpeed")->currentIndex(), -1);
        child<QCheckBox>(dialog, "CheckAutoApply")->click();
        child<QScrollBar>(dialog, "VScrollOptionsInitialOpenVariations")->setValue(4);
        child<QCheckBox>(dialog, "CheckDisplayLimitWidthToEnabled")->click();
        auto* width = child<QLineEdit>(dialog, "TextDisplayLimitWidthTo");
        width->setText(QStringLiteral("99999"));  // typed, OK pressed without leaving the box
        child<QLineEdit>(dialog, "TextOptionsZoomLevel")->setText(QStringLiteral("0"));
        child<QRadioButton>(dialog, "OptionDisplayVariationDisplayOrder1")->click();
        child<QComboBox>(dialog, "ComboVariation")->setCurrentIndex(4);
        child<QRadioButton>(dialog, "OptionFileFormat1")->click();
        dialog.PendingOptions().Profiles[5].JPEGQuality = 77;

        child<QPushButton>(dialog, "cmdOK")->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(reports_.isEmpty());
        const ProgramOptionsRecord expected = [] {
            ProgramOptionsRecord o = DefaultProgramOptions();
            o.OptionsAutoApply = 0;
            o.InitialOpenVariations = 4;
            o.DownloadSpeed = 31337;
            o.DisplayLimitWidthToEnabled = 1;
            o.DisplayLimitWidthTo = 1000;
            o.StandardZoomLevel = 100;
            o.DisplayOrder = 1;
            o.Profiles[5].FileFormat = 1;
            o.Profiles[5].JPEGQuality = 77;
            return o;
        }();
        QVERIFY(ProgramOptions() == expected);
        ProgramOptions() = DefaultProgramOptions();
        LoadSettings();
        QVERIFY(ProgramOptions() == expected);
    }

    void damagedProfileIsReportedAndTheDialogStaysUsable() {
        ProgramOptions().Profiles[3].FileFormat = 9;
        frmOptions dialog;
        QVERIFY(reports_.isEmpty());
        child<QComboBox>(dialog, "ComboVariation")->setCurrentIndex(2);
        QCOMPARE(reports_.size(), 1);
        QVERIFY2(reports_.first().contains(QStringLiteral("340")), qPrintable(reports_.first()));
        for (const char* name : {"OptionFileFormat1", "OptionFileFormat2", "OptionFileFormat3", "OptionFileFormat4"})
            QVERIFY(!child<QRadioButton>(dialog, name)->isChecked());
        child<QRadioButton>(dialog, "OptionFileFormat2")->click();  // the user repairs it
        QCOMPARE(dialog.PendingOptions().Profiles[3].FileFormat, 2);
        QCOMPARE(reports_.size(), 1);
    }

    void failedSaveIsReportedAndKeepsTheDialogOpen() {
        QVERIFY(QDir().mkpath(SettingsFilePath()));  // a folder where the file belongs
        frmOptions dialog;
        dialog.show();
        child<QPushButton>(dialog, "cmdOK")->click();
        QCOMPARE(reports_.size(), 1);
        QVERIFY2(reports_.first().contains(QStringLiteral("75")), qPrintable(reports_.first()));
        QVERIFY(dialog.isVisible());
    }

private:
    static void writeKnownStore() {
        ProgramOptions().Profiles[2].GIFPaletteFileName = QStringLiteral("/pal/web.pal");
        SaveAllSettings();
    }
};

}  // namespace kalmira

QTEST_MAIN(kalmira::OptionsDialogTest)
#include "frmoptions_test.moc"
