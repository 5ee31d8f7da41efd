// The whole program as a user meets it: the main window from createMainWindow with its tools
// window, documents opened, failing to open, activated by a click, and what the main window and
// the tools window then show (offscreen).

#include "common/globals.h"
#include "settings/frmgif.h"
#include "settings/frmoptions.h"
#include "settings/programoptions.h"
#include "settings/settingsstore.h"
#include "shell/commands/filecommands.h"
#include "shell/createmainwindow.h"
#include "shell/frmmain.h"
#include "shelltestsupport.h"
#include "mainwindowsetup.h"
#include "test_data.h"
#include "tools/frmtools.h"
#include "ui_frmMain.h"
#include "ui_frmTools.h"

#include "document/documentlayout.h"
#include "document/frmdocument.h"
#include "codecs/registry.h"
#include "core/codec.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

using namespace kalmira;

class ProgramTest : public QObject {
    Q_OBJECT

private:
    testing::Prompts prompts_;
    QTemporaryDir folder_;
    std::unique_ptr<frmMain> owner_;

    frmMain& main() { return *owner_; }
    frmTools& tools() { return *static_cast<frmTools*>(main().ToolsWindow()); }

    QString writeImage(const QString& name, int width, int height, QColor colour = QColor(200, 30, 30)) {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(QColor(250, 250, 250));
        QPainter painter(&image);
        painter.fillRect(0, 0, width / 2, height, colour);
        painter.end();
        const QString path = folder_.filePath(name);
        image.save(path, "PNG");
        return path;
    }

    static void writeFile(const QString& path, const QByteArray& data) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(data);
    }

    static QByteArray readFile(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString writeEmpty(const QString& name) {
        const QString path = folder_.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        return path;
    }

    // What the main window and the tools window show must be the active document's.
    void verifyShowsActiveDocument() {
        frmDocument* active = main().ActiveDocument();
        QVERIFY(active);
        QMdiSubWindow* current = main().MdiArea()->currentSubWindow();
        QVERIFY(current);
        QCOMPARE(current->widget(), active);
        QCOMPARE(main().ComboZoom()->currentText(), QString::number(active->lZoom) + QLatin1Char('%'));
        for (int i = 1; i <= 5; ++i)
            QCOMPARE(main().ToolbarButton(i + 15)->isChecked(), active->record(i).Displayed);
        QCOMPARE(tools().ui().TextResizeWidth->text(), QString::number(active->picOriginal().BitmapWidth()));
        QCOMPARE(tools().ui().TextResizeHeight->text(), QString::number(active->picOriginal().BitmapHeight()));
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
        owner_ = testing::StartProgramWindow();
        main().show();
        prompts_.clear();
    }

    void cleanup() {
        owner_.reset();
        MainWindow = nullptr;
        QCOMPARE(OpenDocumentCount, 0);
    }

    // Starting without files opens nothing: only files named on the command line open.
    void startWithoutFilesOpensNothing() {
        QCOMPARE(OpenDocumentCount, 0);
        QVERIFY(main().MdiArea()->subWindowList().isEmpty());
        QVERIFY(!main().findChild<QAction*>("mnuFileClose")->isEnabled());
    }

    // Whatever ends an Open, the main window and the tools window show the active document, and
    // the tools window's Apply changes that document.
    void failedOpenLeavesTheActiveDocumentShown() {
        ProgramOptions().InitialOpenVariations = 3;
        const QString empty = writeEmpty("empty.png");
        frmDocument* first = main().Files().OpenImageFile(writeImage("first.png", 64, 48));
        QVERIFY(first);
        QVERIFY(!main().Files().OpenImageFile(empty));
        frmDocument* second = main().Files().OpenImageFile(writeImage("second.png", 1500, 40, Qt::blue));
        QVERIFY(second);
        // The second document shows fewer Variations than the first.
        main().ToolbarButton(18)->trigger();
        QVERIFY(!second->record(3).Displayed);
        QVERIFY(first->record(3).Displayed);
        QVERIFY(first->lZoom != second->lZoom);
        verifyShowsActiveDocument();

        QVERIFY(!main().Files().OpenImageFile(empty));
        QCOMPARE(prompts_.messages.size(), 2);
        QCOMPARE(main().MdiArea()->subWindowList().size(), 2);
        verifyShowsActiveDocument();

        // Apply on the Resize face works on the document the window shows.
        frmDocument* active = main().ActiveDocument();
        const int width = active->picOriginal().BitmapWidth();
        const int height = active->picOriginal().BitmapHeight();
        tools().ShowOriginalFace();
        tools().CommandApply_Click();
        QCOMPARE(active->picOriginal().BitmapWidth(), width);
        QCOMPARE(active->picOriginal().BitmapHeight(), height);
        QCOMPARE(first->picOriginal().BitmapWidth(), 64);
        QCOMPARE(second->picOriginal().BitmapWidth(), 1500);

        // The document that was in front before a failed Open is in front after it.
        main().MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
        verifyShowsActiveDocument();
        QVERIFY(!main().Files().OpenImageFile(empty));
        QCOMPARE(main().ActiveDocument(), first);
        verifyShowsActiveDocument();
    }

    // Activating another document by a click shows its face in the tools window at once.
    void clickedDocumentFillsTheToolsWindow() {
        frmDocument* first = main().Files().OpenImageFile(writeImage("a.png", 64, 48));
        frmDocument* second = main().Files().OpenImageFile(writeImage("b.png", 80, 40));
        QVERIFY(first && second);
        QVERIFY(main().ui().mnuViewTools->isChecked());
        main().MdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(first->parentWidget()));
        QCOMPARE(main().ActiveDocument(), first);
        QVERIFY(tools().IsOriginalFaceShown());
        const int tab = tools().ui().TabOriginalTools->currentIndex() + 1;
        QWidget* page = tools().findChild<QWidget*>(QStringLiteral("FrameOriginalTools%1").arg(tab));
        QVERIFY(page);
        QVERIFY(page->isVisibleTo(&tools()));
        verifyShowsActiveDocument();
    }

    // A typed number is taken as typed: the lists' completion must not turn 15 into 150 % or
    // 12 colours into 128.
    void typedNumbersAreTakenAsTyped() {
        frmDocument* document = main().Files().OpenImageFile(writeImage("zoom.png", 64, 48));
        QVERIFY(document);
        QApplication::setActiveWindow(&main());
        QLineEdit* zoom = main().ComboZoom()->lineEdit();
        zoom->setFocus();
        zoom->selectAll();
        QTest::keyClicks(zoom, QStringLiteral("15"));
        QTest::keyClick(zoom, Qt::Key_Return);
        QCOMPARE(main().ComboZoom()->currentText(), QStringLiteral("15%"));
        QCOMPARE(document->lZoom, 15);

        document->SelektiereGrafik(1);
        QComboBox* colours = tools().ui().ComboNumColors;
        QVERIFY(colours->isEditable());
        tools().show();
        QApplication::setActiveWindow(&tools());
        colours->lineEdit()->setFocus();
        colours->lineEdit()->selectAll();
        QTest::keyClicks(colours->lineEdit(), QStringLiteral("12"));
        QTest::keyClick(colours->lineEdit(), Qt::Key_Return);
        QCOMPARE(colours->currentText(), QStringLiteral("12"));
    }

    // A frame number typed into the box is what the next apply and the next refill use.
    void typedFrameNumberStays() {
        imaging::Image animation;
        for (int f = 0; f < 4; ++f) {
            imaging::Bitmap frame(16, 12, 8);
            frame.palette()[0] = imaging::makeRgb(f * 60, 20, 200 - f * 40);
            frame.palette()[1] = 0xFFFFFF;
            for (int x = 0; x < 16; ++x) frame.setPixel(x, f, 1);
            animation.frames.push_back(imaging::Frame{std::move(frame), 10});
        }
        const QString path = folder_.filePath("frames.gif");
        imaging::SaveOptions save;
        save.format = imaging::format::Gif;
        save.multiPage = true;
        imaging::saveFile(path.toStdString(), animation, save);
        frmDocument* document = main().Files().OpenImageFile(path);
        QVERIFY(document);
        QVERIFY(document->record(1).GIFAnimated);
        document->SelektiereGrafik(1);

        QLineEdit* number = tools().ui().TextAnimationImageNumber;
        QVERIFY(number->isEnabled());
        number->setFocus();
        number->selectAll();
        QTest::keyClicks(number, QStringLiteral("2"));
        QTest::keyClick(number, Qt::Key_Return);
        QCOMPARE(tools().ui().VScrollAnimationImageNumber->value(), 2);
        tools().CommandApply_Click();
        QCOMPARE(document->record(1).ImageNumber, 2);

        // Filled again from the record (another picture selected, then this one): box and
        // spinner both show it, and the next apply keeps it.
        document->SelektiereGrafik(0);
        document->SelektiereGrafik(1);
        QCOMPARE(number->text(), QStringLiteral("2"));
        QCOMPARE(tools().ui().VScrollAnimationImageNumber->value(), 2);
        tools().CommandApply_Click();
        QCOMPARE(document->record(1).ImageNumber, 2);
    }

    // The options dialog's up-down arrows: the upper one raises the number, the lower one
    // lowers it, and the text box follows.
    void optionsArrowsPointTheWayTheyStep() {
        frmOptions options;
        options.show();
        for (const char* name : {"VScrollOptionsInitialOpenVariations", "VscrollOptionsZoomLevel"}) {
            auto* bar = options.findChild<QScrollBar*>(QString::fromLatin1(name));
            QVERIFY(bar);
            options.findChild<QTabWidget*>(QStringLiteral("tbsOptions"))
                ->setCurrentIndex(QByteArray(name).contains("Zoom") ? 1 : 0);
            QVERIFY(bar->isVisible());
            const int before = bar->value();
            QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, 2));
            QCOMPARE(bar->value(), before + 1);
            QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 3));
            QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - 3));
            QCOMPARE(bar->value(), before - 1);
        }
        QCOMPARE(options.findChild<QLineEdit*>(QStringLiteral("TextOptionsZoomLevel"))->text(), QStringLiteral("99"));
        QCOMPARE(options.findChild<QLineEdit*>(QStringLiteral("TextOptionsInitialOpenVariations"))->text(),
                 QStringLiteral("0"));
    }

    // The GIF defaults dialog's colour list keeps its eight fixed items however often a count
    // is typed.
    void gifColourListKeepsItsItems() {
        frmOptions options;
        frmGIF gif(options);
        gif.show();
        auto* colours = gif.findChild<QComboBox*>(QStringLiteral("ComboNumColors"));
        QVERIFY(colours);
        QCOMPARE(colours->count(), 8);
        for (const QString& typed : {QStringLiteral("100"), QStringLiteral("12"), QStringLiteral("3")}) {
            colours->lineEdit()->selectAll();
            QTest::keyClicks(colours->lineEdit(), typed);
            QTest::keyClick(colours->lineEdit(), Qt::Key_Return);
            QCOMPARE(colours->currentText(), typed);
        }
        QCOMPARE(colours->count(), 8);
        QCOMPARE(colours->itemText(7), QStringLiteral("256"));
    }

    // A settings file that is no text at all is kept beside the store and reported once; the
    // program starts with the defaults.
    void unreadableSettingsAreKeptAndReportedOnce() {
        owner_.reset();
        QByteArray garbage;
        for (int i = 0; i < 4096; ++i) garbage.append(static_cast<char>((i * 151 + 7) % 256));
        writeFile(SettingsFilePath(), garbage);
        prompts_.clear();
        owner_ = testing::StartProgramWindow();
        QCOMPARE(prompts_.messages.size(), 1);
        QVERIFY(prompts_.messages.first().text.startsWith(QStringLiteral("The settings file could not be read")));
        const QString copy = SettingsFilePath() + QStringLiteral(".unreadable");
        QVERIFY2(prompts_.messages.first().text.endsWith(copy), qPrintable(prompts_.messages.first().text));
        QCOMPARE(readFile(copy), garbage);
        QCOMPARE(ProgramOptions().DownloadSpeed, 28800);

        // The exit writes the defaults; the next start has nothing to report, and the copy stays.
        owner_->close();
        owner_.reset();
        prompts_.clear();
        owner_ = testing::StartProgramWindow();
        QVERIFY(prompts_.messages.isEmpty());
        QCOMPARE(readFile(copy), garbage);
        QFile::remove(copy);
    }

    // The same damage twice, with a session between that changed a setting: two copies, each
    // with its own bytes under its own name, two messages naming them, and the defaults both
    // times; an undamaged store afterwards is read as it is, with no message.
    void unreadableSettingsTwiceGiveTwoCopiesAndTwoResets() {
        const QString first = SettingsFilePath() + QStringLiteral(".unreadable");
        const QString second = SettingsFilePath() + QStringLiteral(".unreadable-2");
        const QString third = SettingsFilePath() + QStringLiteral(".unreadable-3");
        const auto removeCopies = [=] {
            for (const QString& copy : {first, second, third}) QFile::remove(copy);
        };
        removeCopies();
        const std::unique_ptr<void, std::function<void(void*)>> atEnd(this, [=](void*) { removeCopies(); });
        const auto garbage = [](int seed) {
            QByteArray bytes;
            for (int i = 0; i < 2048; ++i) bytes.append(static_cast<char>((i * 151 + seed) % 256));
            return bytes;
        };
        const QString speed = QStringLiteral("DownloadSpeed");
        const QString section = QStringLiteral("Settings");
        const QString copies[] = {first, second};
        for (int round = 0; round < 2; ++round) {
            owner_.reset();
            writeFile(SettingsFilePath(), garbage(7 + round));
            prompts_.clear();
            owner_ = testing::StartProgramWindow();
            QCOMPARE(prompts_.messages.size(), 1);
            QVERIFY2(prompts_.messages.first().text.endsWith(copies[round]), qPrintable(prompts_.messages.first().text));
            QCOMPARE(readFile(copies[round]), garbage(7 + round));
            QCOMPARE(ProgramOptions().DownloadSpeed, 28800);
            QCOMPARE(ReadSetting(section, speed, QStringLiteral("none")), QStringLiteral("none"));
            // A session that changes a setting as the options dialog does, then quits.
            WriteSetting(section, speed, QStringLiteral("56000"));
            ProgramOptions().DownloadSpeed = 56000;
            owner_->close();
            owner_.reset();
            QCOMPARE(ReadSetting(section, speed, QString()), QStringLiteral("56000"));
        }
        QCOMPARE(readFile(first), garbage(7));
        QCOMPARE(readFile(second), garbage(8));
        QVERIFY(!QFileInfo::exists(third));
        prompts_.clear();
        owner_ = testing::StartProgramWindow();
        QVERIFY(prompts_.messages.isEmpty());
        QCOMPARE(ProgramOptions().DownloadSpeed, 56000);
        QVERIFY(!QFileInfo::exists(third));
    }

    // However large the settings file, the load reads it once.
    void largeSettingsFileIsReadOnce() {
        QByteArray text = "[Settings]\nDownloadSpeed=56000\n[Clutter]\n";
        for (int i = 0; i < 20000; ++i) text += "key" + QByteArray::number(i) + "=some value\n";
        writeFile(SettingsFilePath(), text);
        const std::uint64_t before = SettingsFileReads();
        LoadSettings();
        QCOMPARE(SettingsFileReads() - before, std::uint64_t{1});
        QCOMPARE(ProgramOptions().DownloadSpeed, 56000);
    }

    // A stored placement beyond the screen is held inside it, and what is stored at exit is
    // what was applied.
    void storedPlacementIsHeldOnTheScreen() {
        owner_.reset();
        WriteSetting(QStringLiteral("Settings"), QStringLiteral("MainLeft"), QStringLiteral("-99999999"));
        WriteSetting(QStringLiteral("Settings"), QStringLiteral("MainTop"), QStringLiteral("2147483647"));
        WriteSetting(QStringLiteral("Settings"), QStringLiteral("MainWidth"), QStringLiteral("2147483647"));
        WriteSetting(QStringLiteral("Settings"), QStringLiteral("MainHeight"), QStringLiteral("2147483647"));
        WriteSetting(QStringLiteral("Settings"), QStringLiteral("MainWindowState"), QStringLiteral("0"));
        owner_ = testing::StartProgramWindow();
        main().show();
        const QRect area = main().screen()->availableGeometry();
        // The window's own area fits the screen, and its corner is on it (the frame the
        // platform adds is not known before the window is shown).
        QVERIFY2(main().width() <= area.width() && main().height() <= area.height() && main().x() >= area.left() &&
                     main().y() >= area.top(),
                 qPrintable(QStringLiteral("%1,%2 %3x%4").arg(main().x()).arg(main().y()).arg(main().width()).arg(main().height())));
        owner_->close();
        const double tpp = main().TwipsPerPixel();
        QVERIFY(ReadSetting(QStringLiteral("Settings"), QStringLiteral("MainWidth"), {}).toDouble() <= area.width() * tpp + 1);
        QVERIFY(ReadSetting(QStringLiteral("Settings"), QStringLiteral("MainHeight"), {}).toDouble() <= area.height() * tpp + 1);
        QVERIFY(ReadSetting(QStringLiteral("Settings"), QStringLiteral("MainLeft"), {}).toDouble() >= area.left() * tpp - 1);
        // The pure rule, both ways: inside stays, beyond is held, too small grows.
        const QRect screen(0, 0, 1600, 1000);
        QCOMPARE(ClampPlacement({1500, 1500, 6000, 4500, 0}, 15.0, screen), QRect(100, 100, 400, 300));
        QCOMPARE(ClampPlacement({-30000, 0, 2147483647, 2147483647, 0}, 15.0, screen), QRect(0, 0, 1600, 1000));
        QCOMPARE(ClampPlacement({30000, 30000, 15, 15, 0}, 15.0, screen), QRect(1400, 800, 200, 200));
    }

    // A document larger than the document area stays inside it (its title and buttons in view),
    // and its pictures can be scrolled to their right and bottom edge by its own scroll bars.
    void largeDocumentsCanBeScrolledTo() {
        ProgramOptions().FitToWindow = 0;
        frmDocument* document = main().Files().OpenImageFile(writeImage("wide.png", 3000, 2500));
        QVERIFY(document);
        QMdiArea* area = main().MdiArea();
        auto* window = qobject_cast<QMdiSubWindow*>(document->parentWidget());
        QVERIFY(window);
        QVERIFY(area->viewport()->rect().contains(window->geometry()));
        QScrollBar* h = document->HScrollPictures();
        QScrollBar* v = document->VScrollPictures();
        QVERIFY(!h->isHidden());
        QVERIFY(!v->isHidden());
        h->setValue(h->maximum());
        v->setValue(v->maximum());
        const imaging::ImageControl& original = document->picOriginal();
        QCOMPARE(ScrolledPixels(original) + QPoint(original.width(), original.height()), QPoint(3000, 2500));
        // Should a workspace ever be too small even for that, the area itself scrolls.
        QVERIFY(area->horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff);
    }

    // "Load and auto-optimize image..." is drawn while the first Variations are encoded.
    void loadNoticeIsDrawn() {
        struct PaintCounter : QObject {
            int paints = 0;
            bool eventFilter(QObject* watched, QEvent* event) override {
                if (event->type() == QEvent::Paint && watched->objectName() == QLatin1String("lblLoadImage")) ++paints;
                return false;
            }
        } counter;
        qApp->installEventFilter(&counter);
        frmDocument* document = main().Files().OpenImageFile(writeImage("notice.png", 64, 48));
        qApp->removeEventFilter(&counter);
        QVERIFY(document);
        QVERIFY(counter.paints > 0);
        QVERIFY(!document->frameLoadImage()->isVisible());
    }

    // Boxes without a title of their own carry the program's one name.
    void messageBoxesCarryTheProgramName() {
        prompts_.fileAnswers.enqueue(folder_.filePath("gone.png"));
        main().ui().mnuFileOpen->trigger();
        QCOMPARE(prompts_.messages.size(), 1);
        QCOMPARE(prompts_.messages.first().title, QStringLiteral("Kalmira 4.2"));
        QCOMPARE(main().windowTitle(), QStringLiteral("Kalmira 4.2"));
    }

    // Help > Readme shows the readme written for users, not the developers' build notes.
    void readmeIsWrittenForUsers() {
        const QByteArray readme = readFile(QString::fromStdString(kalmira::testing::buildDir() + "/shell/readme.txt"));
        QVERIFY(readme.startsWith("Kalmira 4.2"));
        QVERIFY(readme.contains("File > Open"));
        for (const char* developers : {"cmake", "./test", "root", "fuzz", "kalmira-cli", "```"})
            QVERIFY2(!readme.contains(developers), developers);
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KALMIRA_LANGUAGE", "en");
    QTemporaryDir config;
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME")) qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    LanguageOffset = LanguageOffsetFromEnvironment();
    ProgramTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "program_test.moc"
