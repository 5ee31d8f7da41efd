// The quality switches: a settings file from before they existed reads as "all on"; the
// options dialog's Quality tab writes its own section on OK, tells the windows, and leaves
// everything as it was on Cancel.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>

#include "common/globals.h"
#include "settings/frmoptions.h"
#include "settings/programoptions.h"
#include "settings/qualityoptions.h"
#include "settings/settingsstore.h"

namespace kalmira {

class QualityOptionsTest : public QObject {
    Q_OBJECT

    static QByteArray storeContent() {
        QFile file(SettingsFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init() {
        LanguageOffset = 0;
        QFile::remove(SettingsFilePath());
        ProgramOptions() = DefaultProgramOptions();
        QualityOptions() = QualityOptionsRecord();
    }

    void anOldSettingsFileReadsAsAllOn() {
        WriteWholeNumber(QStringLiteral("Settings"), QStringLiteral("DownloadSpeed"), 56000);
        QualityOptionsRecord read;
        read.QualityNumbers = read.ByteBudget = read.WebpAvif = read.DifferenceView = read.SmallJpeg = false;
        LoadQualityOptions(read);
        QVERIFY(read.QualityNumbers && read.ByteBudget && read.WebpAvif && read.DifferenceView && read.SmallJpeg);
        QVERIFY(!storeContent().contains("[Quality]"));  // reading adds nothing
        // The two that publish more than pixels are off unless asked for.
        QVERIFY(!read.KeepProfile && !read.KeepAuthor);
    }

    // Keeping the profile and the author: off by default, on the Quality switches' page, whole
    // on it, written to the section on OK and read back.
    void keepProfileAndAuthorAreOffByDefaultAndKeptOnOk() {
        {
            frmOptions dialog;
            auto* profile = dialog.findChild<QCheckBox*>(QStringLiteral("CheckKeepProfile"));
            auto* author = dialog.findChild<QCheckBox*>(QStringLiteral("CheckKeepAuthor"));
            QVERIFY(profile && author);
            QVERIFY(!profile->isChecked() && !author->isChecked());
            QCOMPARE(profile->text(), QStringLiteral("Keep the original colour prof&ile"));
            QCOMPARE(author->text(), QStringLiteral("Keep author and cop&yright"));
            QVERIFY(profile->parentWidget()->rect().contains(profile->geometry()));
            QVERIFY(author->parentWidget()->rect().contains(author->geometry()));
            QVERIFY(author->geometry().top() > profile->geometry().bottom());
            // The page has room for three rows under its own controls: the rest scroll into view.
            auto* area = dialog.findChild<QScrollArea*>(QStringLiteral("scrollOptionsQuality"));
            QVERIFY(area);
            QWidget* frame = area->parentWidget();
            QVERIFY(frame->parentWidget()->rect().contains(frame->geometry()));
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            area->ensureWidgetVisible(author);
            QVERIFY(area->viewport()->rect().contains(author->geometry().translated(area->widget()->pos())));
            profile->click();
            author->click();
            dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        }
        QVERIFY(QualityOptions().KeepProfile && QualityOptions().KeepAuthor);
        const QByteArray store = storeContent();
        QVERIFY2(store.contains("KeepProfile=1") && store.contains("KeepAuthor=1"), store.constData());
        QualityOptionsRecord read;
        LoadQualityOptions(read);
        QVERIFY(read.KeepProfile && read.KeepAuthor);
    }

    void okWritesTheSectionAndTellsTheWindows() {
        QSignalSpy told(&QualityOptionsNotifier::instance(), &QualityOptionsNotifier::changed);
        {
            frmOptions dialog;
            auto* numbers = dialog.findChild<QCheckBox*>(QStringLiteral("CheckQualityNumbers"));
            QVERIFY(numbers && numbers->isChecked());
            QCOMPARE(numbers->text(), QStringLiteral("Show &PSNR and SSIM in captions"));
            numbers->click();
            dialog.findChild<QCheckBox*>(QStringLiteral("CheckWebpAvif"))->click();
            auto* difference = dialog.findChild<QCheckBox*>(QStringLiteral("CheckDifferenceView"));
            QVERIFY(difference && difference->isChecked());
            QCOMPARE(difference->text(), QStringLiteral("Offer the &difference view"));
            // Whole on its page, below what the page held before it.
            QVERIFY(difference->parentWidget()->rect().contains(difference->geometry()));
            difference->click();
            auto* smallJpeg = dialog.findChild<QCheckBox*>(QStringLiteral("CheckSmallJpeg"));
            QVERIFY(smallJpeg && smallJpeg->isChecked());
            QCOMPARE(smallJpeg->text(), QStringLiteral("Smallest &JPEG"));
            // Whole inside the switches' scrolling area, and scrolled into view there.
            QVERIFY(smallJpeg->parentWidget()->rect().contains(smallJpeg->geometry()));
            auto* area = dialog.findChild<QScrollArea*>(QStringLiteral("scrollOptionsQuality"));
            QVERIFY(area);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            area->ensureWidgetVisible(smallJpeg);
            QVERIFY(area->viewport()->rect().contains(smallJpeg->geometry().translated(area->widget()->pos())));
            auto* webp = dialog.findChild<QCheckBox*>(QStringLiteral("CheckWebpAvif"));
            QVERIFY(!webp->geometry().intersects(smallJpeg->geometry()));
            smallJpeg->click();
            dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();
        }
        QCOMPARE(told.count(), 1);
        QVERIFY(!QualityOptions().QualityNumbers);
        QVERIFY(!QualityOptions().WebpAvif);
        QVERIFY(!QualityOptions().DifferenceView);
        QVERIFY(!QualityOptions().SmallJpeg);
        QVERIFY(QualityOptions().ByteBudget);
        const QByteArray store = storeContent();
        QVERIFY2(store.contains("[Quality]") && store.contains("QualityNumbers=0") && store.contains("ByteBudget=1") &&
                     store.contains("DifferenceView=0") && store.contains("SmallJpeg=0"),
                 store.constData());
        QualityOptionsRecord read;
        LoadQualityOptions(read);
        QCOMPARE(read, QualityOptions());

        // Cancel keeps it all.
        {
            frmOptions dialog;
            QVERIFY(!dialog.findChild<QCheckBox*>(QStringLiteral("CheckQualityNumbers"))->isChecked());
            QVERIFY(!dialog.findChild<QCheckBox*>(QStringLiteral("CheckDifferenceView"))->isChecked());
            dialog.findChild<QCheckBox*>(QStringLiteral("CheckByteBudget"))->click();
            dialog.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
        }
        QVERIFY(QualityOptions().ByteBudget);
        QCOMPARE(told.count(), 1);
    }
};

}  // namespace kalmira

// Runs straight from the build folder too: no display, English texts.
int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KALMIRA_LANGUAGE", "en");
    QApplication app(argc, argv);
    kalmira::QualityOptionsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "qualityoptions_test.moc"
