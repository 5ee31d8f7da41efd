// Help pages, the help window, the about box and the system information window: every context a
// window sets has a page, every link of every page leads somewhere, Help > Contents, License
// Agreement and F1 open the right page, and the about box follows the splash's picture rule.

#include "common/frmsplash.h"
#include "common/globals.h"
#include "common/texts.h"
#include "settings/frmcustompalette.h"
#include "shell/frmabout.h"
#include "shell/frmmain.h"
#include "shell/frmsysinfo.h"
#include "shell/helpviewer.h"
#include "shelltestsupport.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <functional>
#include <memory>

using namespace kalmira;

namespace {

QString readResource(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString resourcePath(const QUrl& url) { return QLatin1Char(':') + url.path(); }

// Runs `answer` on the next modal window once it is shown.
void whenModalShows(const std::function<void(QWidget*)>& answer) {
    QTimer::singleShot(0, [answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) answer(modal);
    });
}

struct LanguageScope {
    int was = LanguageOffset;
    explicit LanguageScope(int offset) { LanguageOffset = offset; }
    ~LanguageScope() { LanguageOffset = was; }
};

}  // namespace

class HelpTest : public QObject {
    Q_OBJECT

    testing::Prompts prompts_;

private slots:
    void initTestCase() { prompts_.install(); }

    void init() { prompts_.clear(); }

    void cleanup() {
        QVERIFY2(prompts_.errors.isEmpty(), qPrintable(prompts_.errors.join('\n')));
        QVERIFY(prompts_.messages.isEmpty());
    }

    void everyContextHasItsPage_data() {
        QTest::addColumn<int>("context");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("anchor");
        QTest::newRow("contents") << 1 << "index" << "";
        QTest::newRow("document") << 1009 << "document" << "";
        QTest::newRow("licence") << 1011 << "license" << "";
        QTest::newRow("options display") << 1013 << "options" << "display";
        QTest::newRow("options profiles") << 1025 << "options" << "profiles";
        QTest::newRow("options general") << 1306 << "options" << "general";
        QTest::newRow("tools on the Original") << 1014 << "tools" << "original";
        QTest::newRow("tools on a Variation") << 1017 << "tools" << "variation";
        QTest::newRow("resize tab") << 1100 << "tools" << "resize";
        QTest::newRow("colour tab") << 1001 << "tools" << "color";
        QTest::newRow("filter tab") << 1102 << "tools" << "filters";
        QTest::newRow("special tab") << 1104 << "tools" << "special";
        QTest::newRow("format tab") << 1200 << "tools" << "format";
        QTest::newRow("colour resolution tab") << 1201 << "tools" << "colors";
        QTest::newRow("capture") << 1022 << "capture" << "";
        QTest::newRow("palette") << 1023 << "palette" << "";
        QTest::newRow("no page of its own") << 4242 << "index" << "";
        QTest::newRow("zero") << 0 << "index" << "";
    }

    void everyContextHasItsPage() {
        QFETCH(int, context);
        QFETCH(QString, page);
        QFETCH(QString, anchor);
        for (const auto& [offset, language] : {std::pair{0, QStringLiteral("en")}, std::pair{10000, QStringLiteral("de")}}) {
            LanguageScope scope(offset);
            const QUrl url = HelpViewer::PageForContext(context);
            QCOMPARE(url.path(), QStringLiteral("/kalmira/help/%1/%2.html").arg(language, page));
            QCOMPARE(url.fragment(), anchor);
            const QString html = readResource(resourcePath(url));
            QVERIFY2(!html.isEmpty(), qPrintable(url.toString()));
            if (!anchor.isEmpty()) QVERIFY2(html.contains(QStringLiteral("name=\"%1\"").arg(anchor)), qPrintable(anchor));
        }
    }

    void everyLinkOfEveryPageLeadsSomewhere() {
        const QRegularExpression link(QStringLiteral("href=\"([^\"#]*)(?:#([^\"]*))?\""));
        for (const QString& language : {QStringLiteral("en"), QStringLiteral("de")}) {
            const QString folder = QStringLiteral(":/kalmira/help/%1/").arg(language);
            const QStringList pages = {"index", "document", "tools", "options", "palette", "capture", "license"};
            for (const QString& page : pages) {
                const QString html = readResource(folder + page + ".html");
                QVERIFY2(!html.isEmpty(), qPrintable(folder + page));
                for (auto match = link.globalMatch(html); match.hasNext();) {
                    const auto m = match.next();
                    const QString target = m.captured(1).isEmpty() ? page + ".html" : m.captured(1);
                    const QString targetHtml = readResource(folder + target);
                    QVERIFY2(!targetHtml.isEmpty(), qPrintable(language + "/" + page + " -> " + target));
                    if (!m.captured(2).isEmpty())
                        QVERIFY2(targetHtml.contains(QStringLiteral("name=\"%1\"").arg(m.captured(2))),
                                 qPrintable(language + "/" + page + " -> " + target + "#" + m.captured(2)));
                }
            }
        }
    }

    // The document page describes the difference view with the very texts of its menu command,
    // its pop-up menu entry and its option, in each language.
    void documentPageDescribesTheDifferenceView() {
        for (const int offset : {0, 10000}) {
            const LanguageScope scope(offset);
            const QString page = QStringLiteral(":/kalmira/help/%1/document.html").arg(offset ? "de" : "en");
            const QString html = readResource(page);
            for (const int id : {6700, 6707, 6709}) {
                const QString text = LoadText(id).remove(QLatin1Char('&'));
                QVERIFY2(!text.isEmpty() && html.contains(text), qPrintable(page + ": " + text));
            }
        }
    }

    // The document page says what a move of a selection leaves behind (the lifted area keeps
    // the picture it showed), what Escape and Undo do, and that a copy holds only the shape.
    void documentPageSaysWhatSelectionsDo_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("phrases");
        QTest::newRow("en") << "en"
                            << QStringList{"leaves the old place as it was", "<b>Escape</b> puts them back where they were lifted",
                                           "ends the selection and keeps the picture as it is", "which also ends the selection",
                                           "copies only the selected shape"};
        QTest::newRow("de") << "de"
                            << QStringList{"lässt die alte Stelle, wie sie war", "legt <b>Esc</b> sie dorthin zurück",
                                           "beendet <b>Esc</b>, wie ein Klick neben den Bereich, die Auswahl und lässt das Bild, wie es ist",
                                           "das auch die Auswahl beendet", "kopiert nur die ausgewählte Form"};
    }

    void documentPageSaysWhatSelectionsDo() {
        QFETCH(QString, language);
        QFETCH(QStringList, phrases);
        const QString html = readResource(QStringLiteral(":/kalmira/help/%1/document.html").arg(language));
        QVERIFY(!html.isEmpty());
        for (const QString& phrase : phrases) QVERIFY2(html.contains(phrase), qPrintable(phrase));
    }

    void helpMenuOpensContentsAndLicence() {
        frmMain window;
        window.Load({});
        window.findChild<QAction*>("mnuHelpContents")->trigger();
        auto* viewer = window.findChild<HelpViewer*>();
        QVERIFY(viewer);
        QVERIFY(viewer->isVisible());
        QCOMPARE(viewer->windowTitle(), QStringLiteral("Kalmira Help"));
        QCOMPARE(viewer->Browser()->source(), HelpViewer::PageForContext(1));
        QVERIFY(viewer->Browser()->toPlainText().contains("Kalmira Help"));

        window.findChild<QAction*>("mnuHelpLegalAgreement")->trigger();
        // The one help window turns to the licence.
        QCOMPARE(window.findChildren<HelpViewer*>().size(), 1);
        QCOMPARE(viewer->Browser()->source().path(), QStringLiteral("/kalmira/help/en/license.html"));
        QVERIFY(viewer->Browser()->toPlainText().contains("All rights reserved"));
        // Back returns to the contents; following a link works inside the window.
        viewer->findChild<QPushButton*>("cmdBack")->click();
        QCOMPARE(viewer->Browser()->source().path(), QStringLiteral("/kalmira/help/en/index.html"));
        viewer->Browser()->setSource(QUrl(QStringLiteral("palette.html")));
        QVERIFY(viewer->Browser()->toPlainText().contains("Palette files"));
    }

    void f1OpensThePageOfTheActiveWindow() {
        frmMain window;
        window.Load({});
        frmCustomPalette palette(&window);
        palette.show();
        QApplication::setActiveWindow(&palette);
        QTRY_VERIFY(QApplication::activeWindow() == &palette);
        QCOMPARE(HelpViewer::CurrentHelpContext(), 1023);
        QTest::keyClick(&palette, Qt::Key_F1);
        auto* viewer = window.findChild<HelpViewer*>();
        QVERIFY(viewer);
        QCOMPARE(viewer->Browser()->source().path(), QStringLiteral("/kalmira/help/en/palette.html"));
        palette.hide();
        viewer->close();
        // A window that names no context: the contents.
        QWidget plain;
        plain.show();
        QApplication::setActiveWindow(&plain);
        QTRY_VERIFY(QApplication::activeWindow() == &plain);
        QCOMPARE(HelpViewer::CurrentHelpContext(), 1);
    }

    void aboutBoxShowsVersionPlatformAndTheSplashPicture() {
        frmAbout about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Kalmira"));
        QCOMPARE(about.findChild<QLabel*>("lblVersion")->text(), QStringLiteral("Version 4.2"));
        const QString platform = about.findChild<QLabel*>("lblPlatformDetails")->text();
        QVERIFY2(platform.startsWith(QStringLiteral("Qt ") + qVersion()), qPrintable(platform));
        QVERIFY(platform.contains(QSysInfo::currentCpuArchitecture()));
        QCOMPARE(about.findChild<QPushButton*>("cmdOK")->text(), QStringLiteral("OK"));
        QCOMPARE(about.findChild<QPushButton*>("cmdSysInfo")->text(), QStringLiteral("&System Info..."));
        // The same picture at the same scale as the splash: window size and every label.
        frmSplash splash;
        QCOMPARE(about.size(), splash.size());
        QCOMPARE(about.size(), ProductPicture().size());
        for (const char* name : {"lblProductName", "lblVersion", "lblPlatform", "lblInformation", "lblYear", "lblMaker"}) {
            QCOMPARE(about.findChild<QLabel*>(name)->geometry(), splash.findChild<QLabel*>(name)->geometry());
            QCOMPARE(about.findChild<QLabel*>(name)->font().pointSizeF(), splash.findChild<QLabel*>(name)->font().pointSizeF());
        }
        // Both buttons stand on the picture.
        for (const char* name : {"cmdOK", "cmdSysInfo"})
            QVERIFY(about.rect().contains(about.findChild<QPushButton*>(name)->geometry()));
    }

    void systemInformationOpensFromTheAboutBox() {
        frmMain window;
        window.Load({});
        QString shownReport;
        bool aboutShown = false;
        whenModalShows([&](QWidget* modal) {
            auto* about = qobject_cast<frmAbout*>(modal);
            aboutShown = about != nullptr;
            if (!about) return;
            whenModalShows([&](QWidget* inner) {
                if (auto* info = qobject_cast<frmSysInfo*>(inner)) {
                    shownReport = info->Text();
                    info->findChild<QPushButton*>("cmdOK")->click();
                }
            });
            about->findChild<QPushButton*>("cmdSysInfo")->click();
            about->findChild<QPushButton*>("cmdOK")->click();
        });
        window.findChild<QAction*>("mnuHelpAbout")->trigger();
        QVERIFY(aboutShown);
        QVERIFY(!shownReport.isEmpty());
        QVERIFY(shownReport.contains(QStringLiteral("Qt (running / built with): ") + qVersion()));
        for (const char* library : {"libpng", "giflib", "libtiff", "zlib"})
            QVERIFY2(QRegularExpression(QStringLiteral("\\n  %1 \\d+\\.\\d+").arg(library)).match(shownReport).hasMatch(), library);
        QVERIFY2(QRegularExpression(QStringLiteral("Memory installed: \\d")).match(shownReport).hasMatch(), qPrintable(shownReport));
        QVERIFY(QRegularExpression(QStringLiteral("Memory used by Kalmira: \\d")).match(shownReport).hasMatch());
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
    HelpTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "help_test.moc"
