// The program under a German system locale (de_DE.UTF-8, as the test set-up installs it) with
// its German texts: captions group and round the German way, the status bar's sizes are plain
// numbers, and the stored settings still read as written.

#include "common/globals.h"
#include "settings/programoptions.h"
#include "settings/settingsstore.h"
#include "shell/commands/filecommands.h"
#include "shell/frmmain.h"
#include "shelltestsupport.h"

#include "document/frmdocument.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <memory>

using namespace kalmira;

class GermanLocaleTest : public QObject {
    Q_OBJECT

private:
    testing::Prompts prompts_;
    QTemporaryDir folder_;

    // A picture whose GIF is larger than 1000 bytes, so its size shows a group separator.
    QString writeImage() {
        QImage image(300, 200, QImage::Format_RGB32);
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x) image.setPixel(x, y, qRgb((x * 7 + y * 3) % 256, (x * y) % 256, (x + y) % 256));
        const QString path = folder_.filePath(QStringLiteral("bild.png"));
        image.save(path, "PNG");
        return path;
    }

private slots:
    void initTestCase() {
        InitApplication();
        prompts_.install();
        QVERIFY(folder_.isValid());
        QFile::remove(SettingsFilePath());
    }

    void theLocaleIsGerman() {
        QCOMPARE(QLocale().name(), QStringLiteral("de_DE"));
        // The C library follows the same locale (when it is installed, as the test set-up does).
        const char* numeric = std::setlocale(LC_NUMERIC, nullptr);
        QVERIFY2(QByteArray(numeric).startsWith("de_DE"), numeric);
        QCOMPARE(LanguageOffset, kGermanLanguageOffset);
    }

    void captionsAndStatusBarNumbers() {
        ProgramOptions() = DefaultProgramOptions();
        for (int slot = 1; slot <= 5; ++slot) ProgramOptions().Profiles[static_cast<std::size_t>(slot)].FileFormat = kProfileAlwaysGif;
        frmMain main;
        main.Load({});
        ProgramOptions().FitToWindow = 0;
        for (int slot = 1; slot <= 5; ++slot) ProgramOptions().Profiles[static_cast<std::size_t>(slot)].FileFormat = kProfileAlwaysGif;
        frmDocument* document = main.Files().OpenImageFile(writeImage());
        QVERIFY(document);
        // The Variations come in from the workers; the caption is read once they are in.
        document->WaitForUpdates();
        document->SelektiereGrafik(1);
        const std::int64_t size = document->record(1).MemFileSize;
        QVERIFY(size >= 1000);
        const double seconds = static_cast<double>(static_cast<float>(size) / 28800.0f * 9.0f);

        // "151.928 Bytes, GIF, 8 Bits, 37%, 47,5Sek."
        const QString caption = document->LabelCompress(1)->text();
        const QString grouped = QString::number(size / 1000) + QLatin1Char('.') + QString::number(size % 1000).rightJustified(3, QLatin1Char('0'));
        QVERIFY2(caption.startsWith(grouped + QStringLiteral(" Bytes, GIF, ")), qPrintable(caption));
        const QString tenths = QString::number(seconds, 'f', 1).replace(QLatin1Char('.'), QLatin1Char(','));
        QVERIFY2(caption.endsWith(QStringLiteral(", ") + tenths + QStringLiteral("Sek.")), qPrintable(caption));

        // The status bar: sizes in the default number format, no group separators.
        QCOMPARE(main.PanelText(QStringLiteral("PanelMemSize")), QStringLiteral("Dateigröße: ") + QString::number(size));
        QVERIFY(QRegularExpression(QStringLiteral("^Speichergröße: \\d+$"))
                    .match(main.PanelText(QStringLiteral("PanelFileSize"))).hasMatch());
        QCOMPARE(main.PanelText(QStringLiteral("PanelDownloadSpeed")), tenths + QStringLiteral(" Sek. (bei 28,8kbps)"));
        main.close();
    }

    // Qt's own standard buttons speak German too (InitApplication loads Qt's translations), in
    // message boxes as in every dialog's button row.
    void standardDialogButtonsAreGerman() {
        QDialogButtonBox buttons(QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel |
                                 QDialogButtonBox::Close);
        QCOMPARE(buttons.button(QDialogButtonBox::Yes)->text(), QStringLiteral("&Ja"));
        QCOMPARE(buttons.button(QDialogButtonBox::No)->text(), QStringLiteral("&Nein"));
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Abbrechen"));
        QCOMPARE(buttons.button(QDialogButtonBox::Close)->text(), QStringLiteral("Schließen"));
    }

    // Stored numbers are written and read without the locale: "28.8" stays a number, and a
    // decimal comma is not taken for one.
    void storedSettingsReadTheSame() {
        WriteSetting(QStringLiteral("Settings"), QStringLiteral("DownloadSpeed"), QStringLiteral("56000.4"));
        WriteSetting(QStringLiteral("Settings"), QStringLiteral("InitialOpenVariations"), QStringLiteral("2,7"));
        LoadSettings();
        QCOMPARE(ProgramOptions().DownloadSpeed, 56000);
        QCOMPARE(ProgramOptions().InitialOpenVariations, std::int16_t{2});
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("KALMIRA_LANGUAGE");
    qputenv("LC_ALL", "de_DE.UTF-8");
    qputenv("LANG", "de_DE.UTF-8");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    LanguageOffset = LanguageOffsetFromEnvironment();
    GermanLocaleTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "germanlocale_test.moc"
