// The main window: its controls and texts, toolbar routing, zoom box, placement, exit question
// and the shared small rules (command line, keeping floating windows on screen).

#include "shell/commandline.h"
#include "shell/createmainwindow.h"
#include "shell/commands/filecommands.h"
#include "shell/commands/viewcommands.h"
#include "shell/commands/windowcommands.h"
#include "common/globals.h"
#include "shell/frmhelp.h"
#include "shell/frmmain.h"
#include "shell/zoombox.h"
#include "settings/settingsstore.h"
#include "shelltestsupport.h"
#include "mainwindowsetup.h"

#include <QAction>
#include <QApplication>
#include <QTimer>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include <memory>

using namespace kalmira;

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    testing::Prompts prompts_;
    QTemporaryDir folder_;

    std::unique_ptr<frmMain> loadedWindow(const QStringList& files = {}) {
        return testing::StartMainWindow({.files = files, .keepSettings = true});
    }

    QString writeImage(const QString& name, int width, int height) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(QColor(30, 120, 200));
        const QString path = folder_.filePath(name);
        image.save(path, "PNG");
        return path;
    }

    QByteArray storeContent() {
        QFile file(SettingsFilePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase() {
        InitApplication();
        prompts_.install();
        QVERIFY(folder_.isValid());
    }

    void init() {
        prompts_.clear();
        QFile::remove(SettingsFilePath());
    }

    void controlsCarryTheirNamesAndTexts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shortcut");
        QTest::newRow("new") << "mnuFileNew" << "&New" << "Ctrl+N";
        QTest::newRow("save as") << "mnuFileSaveAs" << "Save &As..." << "Ctrl+A";
        QTest::newRow("exit") << "mnuFileExit" << "E&xit" << "Ctrl+X";
        QTest::newRow("3d text") << "mnuEdit3DText" << "Insert 3D &Text..." << "Ctrl+T";
        QTest::newRow("rounded") << "mnuEditSelectRoundedRectangle" << "Rounded Rectangle" << "Ctrl+D";
        QTest::newRow("variation 2") << "mnuViewVariation2" << "Variation &2" << "Ctrl+F2";
        QTest::newRow("variation 5") << "mnuViewVariation5" << "Variation &5" << "Ctrl+F5";
        QTest::newRow("options") << "mnuViewOptions" << "&Options..." << "Ctrl+P";
        QTest::newRow("tile vertical") << "mnuWindowTileVertical" << "Tile &Vertical" << "";
        QTest::newRow("readme") << "mnuHelpRegistering" << "&Readme" << "";
        QTest::newRow("download") << "mnuDownloadUpdates" << "Download Updates" << "";
    }

    void controlsCarryTheirNamesAndTexts() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, shortcut);
        auto window = loadedWindow();
        auto* item = window->findChild<QAction*>(name);
        QVERIFY2(item, qPrintable(name));
        QCOMPARE(item->text(), text);
        QCOMPARE(item->shortcut().toString(), shortcut);
    }

    void menusAndPanelsAreLocalisedAndNamed() {
        auto window = loadedWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("Kalmira 4.2"));
        const QList<QPair<QString, QString>> menus = {{"mnuFile", "&File"}, {"mnuEdit", "&Edit"},
                                                      {"mnuView", "&View"}, {"mnuWindow", "&Window"},
                                                      {"mnuHelp", "&?"}, {"mnuEditSelect", "&Select Region"}};
        for (const auto& [name, title] : menus) {
            auto* menu = window->findChild<QMenu*>(name);
            QVERIFY2(menu, qPrintable(name));
            QCOMPARE(menu->title(), title);
        }
        for (const char* key : {"PanelStatus", "PanelDownloadSpeed", "PanelMemSize", "PanelFileSize"}) {
            QVERIFY2(window->findChild<QLabel*>(QString::fromLatin1(key)), key);
        }
        QVERIFY(window->findChild<QToolBar*>("tbToolBar"));
        QCOMPARE(window->ComboZoom()->toolTip(), QStringLiteral("Zoom"));
        QCOMPARE(window->ComboZoom()->count(), 13);
        // Hidden at design time or at load, and never shown.
        QVERIFY(!window->findChild<QAction*>("mnuFileBatchOptimization")->isVisible());
        QVERIFY(!window->findChild<QAction*>("mnuFilePrint")->isVisible());
        QVERIFY(!window->findChild<QAction*>("mnuFileBar6")->isVisible());
    }

    void toolbarButtonsByIndexAndKey_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("tooltip");
        QTest::newRow("1") << 1 << "New" << "New";
        QTest::newRow("3") << 3 << "Save" << "Save";
        QTest::newRow("4 separator") << 4 << "" << "";
        QTest::newRow("10") << 10 << "Capture" << "Capture Screen Objects";
        QTest::newRow("12") << 12 << "Toolbox" << "Display Toolbox";
        QTest::newRow("14") << 14 << "Text" << "Insert 3D Text";
        QTest::newRow("15 separator") << 15 << "" << "";
        for (int i = 1; i <= 5; ++i) {
            QTest::addRow("%d", i + 15) << i + 15 << QStringLiteral("Variation%1").arg(i)
                                        << QStringLiteral("Display Variation %1").arg(i);
        }
    }

    void toolbarButtonsByIndexAndKey() {
        QFETCH(int, index);
        QFETCH(QString, key);
        QFETCH(QString, tooltip);
        auto window = loadedWindow();
        QAction* button = window->ToolbarButton(index);
        QVERIFY(button);
        QCOMPARE(button->property("Key").toString(), key);
        if (key.isEmpty()) {
            QVERIFY(button->isSeparator());
        } else {
            QCOMPARE(window->ToolbarButton(key), button);
            QCOMPARE(button->toolTip(), tooltip);
        }
    }

    void noDocumentDisablesDocumentCommandsAndClearsPanels() {
        auto window = loadedWindow();
        for (const char* key : {"PanelMemSize", "PanelFileSize", "PanelDownloadSpeed"}) {
            window->SetPanelText(QString::fromLatin1(key), QStringLiteral("x"));
        }
        window->ToolbarAktualisieren(false);
        for (const char* name : {"mnuFileSave", "mnuFileSaveAs", "mnuFileClose", "mnuEditCopy", "mnuEditUndo",
                                 "mnuViewVariation3", "mnuWindowCascade", "tbSave", "tbVariation1", "tbText"}) {
            QVERIFY2(!window->findChild<QAction*>(name)->isEnabled(), name);
        }
        for (const char* name : {"mnuFileNew", "mnuFileOpen", "mnuFileExit", "mnuViewOptions", "tbNew", "tbOpen"}) {
            QVERIFY2(window->findChild<QAction*>(name)->isEnabled(), name);
        }
        QVERIFY(!window->ComboZoom()->isEnabled());
        QCOMPARE(window->PanelText("PanelMemSize"), QString());
        QCOMPARE(window->PanelText("PanelDownloadSpeed"), QString());
        window->ToolbarAktualisieren(true);
        QVERIFY(window->findChild<QAction*>("mnuFileSave")->isEnabled());
        // Nothing to undo yet, so Undo stays off with a document too.
        QVERIFY(!window->findChild<QAction*>("mnuEditUndo")->isEnabled());
    }

    void variationToggleWithoutDocumentDoesNothing() {
        auto window = loadedWindow();
        QAction* button = window->ToolbarButton(QStringLiteral("Variation3"));
        button->setEnabled(true);  // even if it were reachable
        button->trigger();
        QVERIFY(!button->isChecked());
        QVERIFY(!window->findChild<QAction*>("mnuViewVariation3")->isChecked());
    }

    void variationToggleKeepsMenuAndButtonInStep() {
        auto window = loadedWindow({writeImage("toggle.png", 24, 16)});
        QCOMPARE(OpenDocumentCount, 1);
        QAction* menu = window->findChild<QAction*>("mnuViewVariation2");
        QAction* button = window->ToolbarButton(17);
        const bool before = menu->isChecked();
        button->trigger();
        QCOMPARE(menu->isChecked(), !before);
        QCOMPARE(button->isChecked(), !before);
        menu->trigger();
        QCOMPARE(menu->isChecked(), before);
        QCOMPARE(button->isChecked(), before);
    }

    void zoomRepairRules_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("not a number") << "abc" << true << "100%";
        QTest::newRow("empty") << "" << true << "100%";
        QTest::newRow("zero") << "0%" << true << "100%";
        QTest::newRow("negative") << "-20" << true << "100%";
        QTest::newRow("above limit") << "32001" << true << "32000%";
        QTest::newRow("huge exponent") << "1e999" << true << "32000%";
        QTest::newRow("limit itself") << "32000" << true << "32000%";
        QTest::newRow("typed number") << "120" << true << "120%";
        QTest::newRow("typed with sign") << "75%" << true << "75%";
        QTest::newRow("trailing words") << "250 percent" << true << "250%";
        QTest::newRow("list choice kept") << "33%" << false << "33%";
        QTest::newRow("list choice repaired") << "0%" << false << "100%";
    }

    void zoomRepairRules() {
        QFETCH(QString, text);
        QFETCH(bool, typed);
        QFETCH(QString, expected);
        QCOMPARE(RepairZoomText(text, typed), expected);
    }

    void zoomBoxRepairsTypedTextOnEnter() {
        auto window = loadedWindow();
        QComboBox* zoom = window->ComboZoom();
        zoom->setEnabled(true);
        ZoomBox* box = zoom->findChild<ZoomBox*>();
        QVERIFY(box);
        double chosen = -1;
        connect(box, &ZoomBox::zoomChosen, this, [&chosen](double percent) { chosen = percent; });
        zoom->lineEdit()->clear();
        QTest::keyClicks(zoom->lineEdit(), QStringLiteral("120"));
        QTest::keyClick(zoom->lineEdit(), Qt::Key_Return);
        QCOMPARE(zoom->currentText(), QStringLiteral("120%"));
        QCOMPARE(chosen, 120.0);
        zoom->lineEdit()->clear();
        QTest::keyClicks(zoom->lineEdit(), QStringLiteral("huge"));
        QTest::keyClick(zoom->lineEdit(), Qt::Key_Tab);
        QCOMPARE(zoom->currentText(), QStringLiteral("100%"));
        // The list does not grow with what was typed.
        QCOMPARE(zoom->count(), 13);
    }

    void exitQuestionCancelStoresNothing() {
        auto window = loadedWindow({writeImage("exit.png", 20, 20)});
        QCOMPARE(OpenDocumentCount, 1);
        window->InitialDirectory = QStringLiteral("/somewhere/else/");
        const QByteArray before = storeContent();
        prompts_.clear();
        prompts_.messageAnswers.enqueue(QMessageBox::Cancel);
        QVERIFY(!window->close());
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages.first().text,
                 QStringLiteral("There are one or more files open. Do you really want to quit?"));
        QCOMPARE(prompts_.messages.first().title, QStringLiteral("Open Files"));
        QCOMPARE(prompts_.messages.first().defaultButton, QMessageBox::Cancel);
        QCOMPARE(storeContent(), before);
        QCOMPARE(OpenDocumentCount, 1);
        QCOMPARE(window->MdiArea()->subWindowList().size(), 1);

        prompts_.messageAnswers.enqueue(QMessageBox::Ok);
        QVERIFY(window->close());
        QTRY_COMPARE(OpenDocumentCount, 0);
        QCOMPARE(ReadInitialDirectory(), QStringLiteral("/somewhere/else/"));
        QCOMPARE(ReadSetting("Settings", "ToolsOpen", "x"), QStringLiteral("True"));
        QCOMPARE(ReadSetting("Settings", "PaletteOpen", "x"),
                 window->findChild<QAction*>("mnuViewPalette")->isChecked() ? QStringLiteral("True") : QStringLiteral("False"));
    }

    void exitWithoutDocumentsAsksNothing() {
        auto window = loadedWindow();
        QVERIFY(window->close());
        QVERIFY(prompts_.messages.isEmpty());
        QVERIFY(!ReadSetting("Settings", "MainWindowState", QString()).isEmpty());
    }

    void placementIsRestoredAndMinimisedIsStoredAsNormal() {
        WriteSetting("Settings", "MainLeft", "1500");
        WriteSetting("Settings", "MainTop", "1200");
        WriteSetting("Settings", "MainWidth", "9000");
        WriteSetting("Settings", "MainHeight", "7500");
        WriteSetting("Settings", "MainWindowState", "0");
        auto window = loadedWindow();
        const double tpp = window->TwipsPerPixel();
        QCOMPARE(window->width(), qRound(9000 / tpp));
        QCOMPARE(window->height(), qRound(7500 / tpp));
        QVERIFY(!window->isMaximized());
        QCOMPARE(window->RememberedPlacement().MainWidth, 9000);

        window->resize(qRound(15000 / tpp), qRound(11000 / tpp));
        const int normalWidth = window->width();
        window->setWindowState(Qt::WindowMinimized);
        QCOMPARE(window->RememberedPlacement().MainWindowState, kWindowStateMinimized);
        QVERIFY(window->close());
        QCOMPARE(ReadSetting("Settings", "MainWindowState", "x"), QStringLiteral("0"));
        // The size from before the window was minimised.
        QCOMPARE(ReadSetting("Settings", "MainWidth", "x").toLong(), std::lround(normalWidth * tpp));
        QVERIFY(std::abs(ReadSetting("Settings", "MainWidth", "x").toLong() - 15000) < 2 * tpp);
    }

    void maximisedPlacementIsRestoredAndKeepsTheNormalSize() {
        WriteSetting("Settings", "MainLeft", "900");
        WriteSetting("Settings", "MainTop", "600");
        // Whole pixels at 15 twips a pixel, so what is stored again is what was read.
        WriteSetting("Settings", "MainWidth", "8010");
        WriteSetting("Settings", "MainHeight", "6000");
        WriteSetting("Settings", "MainWindowState", "2");
        auto window = loadedWindow();
        QVERIFY(window->isMaximized());
        QCOMPARE(window->RememberedPlacement().MainWindowState, kWindowStateMaximized);
        QVERIFY(window->close());
        QCOMPARE(ReadSetting("Settings", "MainWindowState", "x"), QStringLiteral("2"));
        // The size to come back to when the user leaves the maximised state is the stored one,
        // not the screen's.
        QCOMPARE(ReadSetting("Settings", "MainWidth", "x"), QStringLiteral("8010"));
        QCOMPARE(ReadSetting("Settings", "MainHeight", "x"), QStringLiteral("6000"));

        auto again = loadedWindow();
        QVERIFY(again->isMaximized());
        again->setWindowState(Qt::WindowNoState);
        const double tpp = again->TwipsPerPixel();
        QTRY_COMPARE(again->width(), qRound(8010 / tpp));
        QCOMPARE(again->height(), qRound(6000 / tpp));
    }

    // Windows the user closed stay closed at the next start: the menu items and toolbar
    // buttons 12 and 13 are released, opening a document does not show them, and the user
    // brings each back with its button.
    void closedFloatingWindowsStayClosedAndComeBackByTheirButtons() {
        WriteSetting("Settings", "ToolsOpen", "False");
        WriteSetting("Settings", "PaletteOpen", "False");
        std::unique_ptr<frmMain> owner = testing::StartProgramWindow({writeImage("floating.png", 16, 16)});
        frmMain* window = owner.get();
        QTRY_COMPARE(window->MdiArea()->subWindowList().size(), 1);
        QAction* tools = window->findChild<QAction*>("mnuViewTools");
        QAction* palette = window->findChild<QAction*>("mnuViewPalette");
        QVERIFY(window->ToolsWindow() && window->PaletteWindow());
        QVERIFY(!tools->isChecked());
        QVERIFY(!window->ToolbarButton(12)->isChecked());
        QVERIFY(!palette->isChecked());
        QVERIFY(!window->ToolbarButton(13)->isChecked());
        QVERIFY(!window->ToolsWindow()->isVisible());
        QVERIFY(!window->PaletteWindow()->isVisible());

        window->ToolbarButton(12)->trigger();
        QVERIFY(tools->isChecked());
        QVERIFY(window->ToolbarButton(12)->isChecked());
        QVERIFY(window->ToolsWindow()->isVisible());
        QVERIFY(!window->PaletteWindow()->isVisible());
        window->ToolbarButton(13)->trigger();
        QVERIFY(palette->isChecked());
        QVERIFY(window->PaletteWindow()->isVisible());
        window->ToolbarButton(13)->trigger();
        QVERIFY(!palette->isChecked());
        QVERIFY(!window->PaletteWindow()->isVisible());
        QVERIFY(prompts_.messages.isEmpty());

        prompts_.messageAnswers.enqueue(QMessageBox::Ok);
        QVERIFY(window->close());
        QCOMPARE(ReadSetting("Settings", "ToolsOpen", "x"), QStringLiteral("True"));
        QCOMPARE(ReadSetting("Settings", "PaletteOpen", "x"), QStringLiteral("False"));
        owner.reset();
        QTRY_COMPARE(OpenDocumentCount, 0);
    }

    void aBrokenStoredValueIsReportedAndTheLoadGoesOn() {
        WriteSetting("Settings", "MainLeft", "left edge");
        auto window = loadedWindow({writeImage("after-bad-setting.png", 8, 8)});
        QCOMPARE(prompts_.errors.size(), 1);
        QVERIFY(prompts_.errors.first().contains("(13)"));
        // The rest of the load still ran: the command line opened and the commands follow it.
        QCOMPARE(window->MdiArea()->subWindowList().size(), 1);
        QVERIFY(window->findChild<QAction*>("mnuFileClose")->isEnabled());
        QVERIFY(!window->findChild<QAction*>("mnuFileBatchOptimization")->isVisible());
    }

    void keepWindowReachable_data() {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QPoint>("expected");
        const QRect screen(0, 0, 1000, 800);
        Q_UNUSED(screen);
        QTest::newRow("inside") << QRect(100, 100, 200, 400) << QPoint(100, 100);
        QTest::newRow("off right") << QRect(990, 100, 200, 400) << QPoint(980, 100);
        QTest::newRow("off bottom") << QRect(100, 790, 200, 400) << QPoint(100, 700);
        QTest::newRow("off left") << QRect(-500, 100, 200, 400) << QPoint(-180, 100);
        QTest::newRow("off top") << QRect(100, -900, 200, 400) << QPoint(100, -300);
    }

    void keepWindowReachable() {
        QFETCH(QRect, window);
        QFETCH(QPoint, expected);
        QCOMPARE(KeepWindowReachable(window, QRect(0, 0, 1000, 800)), expected);
    }

    void timerPullsToolsWindowBack() {
        auto window = loadedWindow();
        QWidget tools(window.get(), Qt::Tool);
        tools.resize(200, 300);
        tools.show();
        window->SetToolsWindow(&tools);
        const QRect screen = window->screen()->geometry();
        tools.move(screen.right() + 50, screen.top() + 10);
        window->Timer1_Timer();
        QVERIFY(tools.frameGeometry().left() <= screen.left() + screen.width() - tools.frameGeometry().width() / 10);
    }

    void commandLineWords_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("blanks and tabs") << "a.gif \t b.jpg\t\tc.png" << 10 << QStringList{"a.gif", "b.jpg", "c.png"};
        QTest::newRow("quotes mean nothing") << "\"my file.gif\"" << 10 << QStringList{"\"my", "file.gif\""};
        QTest::newRow("empty") << "   " << 10 << QStringList{};
        QTest::newRow("at most ten") << "1 2 3 4 5 6 7 8 9 10 11 12" << 10
                                     << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
        QTest::newRow("smaller maximum") << "x y z" << 2 << QStringList{"x", "y"};
    }

    void commandLineWords() {
        QFETCH(QString, line);
        QFETCH(int, maximum);
        QFETCH(QStringList, words);
        QCOMPARE(SplitCommandLine(line, maximum), words);
    }

    void argumentNamingAnExistingFileStaysWhole() {
        const QString spaced = writeImage("with blank.png", 4, 4);
        const QStringList words = GetCommandLine({spaced, QStringLiteral("no such.png")});
        QCOMPARE(words, (QStringList{spaced, "no", "such.png"}));
    }

    void readmeMissingNamesTheTitle() {
        auto window = loadedWindow();
        window->LadenDateiInForm(folder_.filePath("nothing.txt"), QStringLiteral("Readme"));
        QCOMPARE(prompts_.messageTexts(), QStringList{"Error: File Readme could not be found."});
    }

    void readmeIsShownInTheTextViewer() {
        auto window = loadedWindow();
        const QString path = folder_.filePath("readme.txt");
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("Kalmira\nline two\n");
        }
        QString shownTitle;
        QString shownText;
        // The viewer is modal; read it and close it from inside its own event loop.
        QTimer::singleShot(0, this, [&] {
            if (auto* viewer = qobject_cast<frmHelp*>(QApplication::activeModalWidget())) {
                shownTitle = viewer->windowTitle();
                // The controls carry the names the design gives them; OK closes the viewer.
                if (auto* box = viewer->findChild<QPlainTextEdit*>(QStringLiteral("Text"))) shownText = box->toPlainText();
                if (auto* ok = viewer->findChild<QPushButton*>(QStringLiteral("Command1")))
                    ok->click();
                else
                    viewer->close();
            }
        });
        window->LadenDateiInForm(path, QStringLiteral("Readme"));
        QCOMPARE(shownTitle, QStringLiteral("Readme"));
        QCOMPARE(shownText, QStringLiteral("Kalmira\nline two\n"));
        QVERIFY(prompts_.messages.isEmpty());
    }

    void paletteWithoutItsWindowIsNotAvailable() {
        auto window = loadedWindow();
        window->ToolbarAktualisieren(true);
        QAction* item = window->findChild<QAction*>("mnuViewPalette");
        QVERIFY(item->isChecked());  // stored default: open
        item->trigger();             // closing needs no window
        QVERIFY(!item->isChecked());
        QVERIFY(!window->ToolbarButton(13)->isChecked());
        QVERIFY(prompts_.messages.isEmpty());
        window->ToolbarButton(13)->trigger();
        QCOMPARE(prompts_.messageTexts(), QStringList{"This command is not available yet: Palette"});
        QVERIFY(!item->isChecked());
        QVERIFY(!window->ToolbarButton(13)->isChecked());
    }

    void windowMenuTilesTheDocuments() {
        auto window = loadedWindow({writeImage("one.png", 10, 10), writeImage("two.png", 12, 12)});
        QCOMPARE(window->MdiArea()->subWindowList().size(), 2);
        window->findChild<QAction*>("mnuWindowTileVertical")->trigger();
        const QList<QMdiSubWindow*> windows = window->MdiArea()->subWindowList(QMdiArea::CreationOrder);
        QCOMPARE(windows.at(0)->geometry().top(), windows.at(1)->geometry().top());
        QVERIFY(windows.at(0)->geometry().right() < windows.at(1)->geometry().left());
        window->findChild<QAction*>("mnuWindowTileHorizontal")->trigger();
        QCOMPARE(windows.at(0)->geometry().left(), windows.at(1)->geometry().left());
        QVERIFY(windows.at(0)->geometry().bottom() < windows.at(1)->geometry().top());
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
