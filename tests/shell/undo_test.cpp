// The undo step as a user meets it: an operation from the tools window, Edit > Undo, the menu
// item and toolbar button 5 following the active document; animated Originals; and the tools
// window's operations on a selection.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSlider>
#include <QTabBar>
#include <QTemporaryDir>
#include <QtTest>

#include "codecs/registry.h"
#include "core/codec.h"
#include "document/documentlayout.h"
#include "document/frmdocument.h"
#include "settings/settingsstore.h"
#include "shell/commands/filecommands.h"
#include "shell/createmainwindow.h"
#include "shell/frmmain.h"
#include "shelltestsupport.h"
#include "tools/frmtools.h"
#include "common/globals.h"

using namespace kalmira;

namespace {

imaging::Bitmap numbered(int width, int height, int seed = 0) {
    imaging::Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.setPixel(x, y, imaging::makeRgb((x * 3 + seed) % 256, y * 5 % 256, (x + y + seed) % 256));
    return b;
}

template <typename T>
T* child(const QObject& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no %s", name);
    return found;
}

}  // namespace

class UndoTest : public QObject {
    Q_OBJECT

private:
    testing::Prompts prompts_;
    QTemporaryDir folder_;

    QString writePicture(const QString& name, const imaging::Image& image, int format) {
        const QString path = folder_.filePath(name);
        imaging::SaveOptions options;
        options.format = format;
        options.multiPage = image.frames.size() > 1;
        imaging::saveFile(path.toStdString(), image, options);
        return path;
    }

    QString writePng(const QString& name, int seed) {
        return writePicture(name, imaging::Image::fromBitmap(numbered(64, 48, seed)), imaging::format::Png);
    }

    std::unique_ptr<frmMain> open(const QStringList& files) {
        std::unique_ptr<QMainWindow> window = createMainWindow(files);
        return std::unique_ptr<frmMain>(static_cast<frmMain*>(window.release()));
    }

    static QAction* undoItem(frmMain& main) { return child<QAction>(main, "mnuEditUndo"); }
    static QAction* undoButton(frmMain& main) { return main.ToolbarButton(5); }

    static void applyFromTools(frmMain& main, int colourIndex, int brightness = 0) {
        auto* tools = static_cast<frmTools*>(main.ToolsWindow());
        main.ActiveDocument()->SelektiereGrafik(0);
        child<QTabBar>(*tools, "TabOriginalTools")->setCurrentIndex(1);
        child<QComboBox>(*tools, "ComboColorCorrection")->setCurrentIndex(colourIndex);
        child<QSlider>(*tools, "SliderBrightness")->setValue(brightness);
        child<QPushButton>(*tools, "CommandApply")->click();
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

    void twoOperationsThenUndo() {
        auto main = open({writePng("two.png", 0)});
        frmDocument* doc = main->ActiveDocument();
        QVERIFY(doc);
        const imaging::Bitmap first = doc->picOriginal().Bitmap();
        QVERIFY(!undoItem(*main)->isEnabled());
        QVERIFY(!undoButton(*main)->isEnabled());
        undoItem(*main)->trigger();  // nothing stored: nothing happens, no message
        QVERIFY(prompts_.messages.isEmpty() && prompts_.errors.isEmpty());

        applyFromTools(*main, 0, 40);  // Brightness
        QVERIFY(!(doc->picOriginal().Bitmap() == first));
        QVERIFY(undoItem(*main)->isEnabled());
        QVERIFY(undoButton(*main)->isEnabled());
        const imaging::Bitmap second = doc->picOriginal().Bitmap();
        applyFromTools(*main, 5);  // Invert
        QVERIFY(!(doc->picOriginal().Bitmap() == second));

        const std::uint64_t variationBefore = doc->picCompress(1).ContentVersion();
        undoItem(*main)->trigger();
        QVERIFY(doc->picOriginal().Bitmap() == second);
        // The Variation follows the Original back.
        QVERIFY(doc->picCompress(1).ContentVersion() != variationBefore);
        QVERIFY(!undoItem(*main)->isEnabled());
        QVERIFY(!undoButton(*main)->isEnabled());
        QVERIFY(!doc->picPreview().HasBitmap());
        undoButton(*main)->trigger();
        QVERIFY(doc->picOriginal().Bitmap() == second);
        QVERIFY(prompts_.errors.isEmpty());
    }

    void undoOfAnAnimatedOriginalBringsEveryFrame() {
        imaging::Image animation;
        for (int k = 0; k < 3; ++k) {
            imaging::Bitmap frame(24, 16, 8);
            frame.palette()[1] = imaging::makeRgb(k * 80, 10, 200);
            for (int x = 0; x < 24; ++x) frame.setPixel(x, k, 1);
            animation.frames.push_back(imaging::Frame{frame});
            animation.frames.back().delay = 10;
        }
        auto main = open({writePicture("moving.gif", animation, imaging::format::Gif)});
        frmDocument* doc = main->ActiveDocument();
        imaging::ImageControl& original = doc->picOriginal();
        QCOMPARE(original.BitmapListCount(), 3);
        const std::vector<imaging::Frame> before = original.BitmapList();
        main->UndoHinzufuegen();
        QCOMPARE(doc->picPreview().BitmapListCount(), 3);
        // A change that leaves one frame, as pasting a still picture would.
        original.SetBitmapList({imaging::Frame{numbered(10, 10)}});
        QCOMPARE(original.BitmapListCount(), 1);
        main->UndoZurueckholen();
        QCOMPARE(original.BitmapListCount(), 3);
        for (int k = 0; k < 3; ++k)
            QVERIFY(original.BitmapList()[static_cast<std::size_t>(k)].bitmap == before[static_cast<std::size_t>(k)].bitmap);
        QCOMPARE(doc->picPreview().BitmapListCount(), 0);
        QVERIFY(!doc->picPreview().HasBitmap());
    }

    void undoFollowsTheActiveDocument() {
        auto main = open({writePng("a.png", 1), writePng("b.png", 2)});
        const QList<frmDocument*> docs = main->Documents();
        QCOMPARE(docs.size(), 2);
        frmDocument* withStep = main->ActiveDocument();
        frmDocument* without = docs[0] == withStep ? docs[1] : docs[0];
        applyFromTools(*main, 5);
        QVERIFY(undoItem(*main)->isEnabled());
        ActivateDocument(*without);
        QVERIFY(!undoItem(*main)->isEnabled());
        QVERIFY(!undoButton(*main)->isEnabled());
        ActivateDocument(*withStep);
        QVERIFY(undoItem(*main)->isEnabled());
        QVERIFY(undoButton(*main)->isEnabled());
    }

    void undoBringsTheSelectionsBackgroundBack() {
        auto main = open({writePng("sel.png", 3)});
        frmDocument* doc = main->ActiveDocument();
        imaging::ImageControl& original = doc->picOriginal();
        const imaging::Bitmap start = original.Bitmap();
        original.SetRgn(imaging::ops::Region::rectangle(10, 10, 20, 12));
        doc->SaveBackground();
        main->UndoHinzufuegen();
        doc->RotateRegion(9000, true);  // the tools window's Rotate on a selection
        QVERIFY(!(original.Bitmap() == start));
        main->UndoZurueckholen();
        QVERIFY(original.Bitmap() == start);
        QCOMPARE(doc->picOriginal2().BitmapWidth(), 20);
    }

    void cropSelectionTakesTheSelectionsSize() {
        auto main = open({writePng("crop.png", 4)});
        frmDocument* doc = main->ActiveDocument();
        imaging::ImageControl& original = doc->picOriginal();
        const imaging::Bitmap start = original.Bitmap();
        auto* tools = static_cast<frmTools*>(main->ToolsWindow());
        doc->SelektiereGrafik(0);
        child<QTabBar>(*tools, "TabOriginalTools")->setCurrentIndex(0);
        child<QComboBox>(*tools, "ComboResize")->setCurrentIndex(1);
        original.SetRgn(imaging::ops::Region::ellipse(5, 7, 30, 20));
        doc->FuelleReiterOriginal();
        child<QPushButton>(*tools, "CommandCropSelection")->click();
        QVERIFY(prompts_.documentMessages.isEmpty() && prompts_.messages.isEmpty());
        QCOMPARE(original.BitmapWidth(), 30);
        QCOMPARE(original.BitmapHeight(), 20);
        QCOMPARE(original.Pixel(0, 10), start.pixel(5, 17));
        QVERIFY(!original.HasRgn());
        // Undo gives the whole picture back.
        undoItem(*main)->trigger();
        QVERIFY(original.Bitmap() == start);
    }

    void selectionSizeFillsTheResizeBoxes() {
        auto main = open({writePng("size.png", 5)});
        frmDocument* doc = main->ActiveDocument();
        auto* tools = static_cast<frmTools*>(main->ToolsWindow());
        doc->picOriginal().SetRgn(imaging::ops::Region::rectangle(4, 4, 30, 10));
        child<QCheckBox>(*tools, "CheckProportional")->setChecked(true);
        doc->SelektiereGrafik(0);
        QCOMPARE(child<QLineEdit>(*tools, "TextResizeWidth")->text(), QStringLiteral("30"));
        QCOMPARE(child<QLineEdit>(*tools, "TextResizeHeight")->text(), QStringLiteral("10"));
        QCOMPARE(tools->AspectRatio(), 3.0);
    }

    void rotateFromToolsTurnsOnlyTheSelection() {
        auto main = open({writePng("turn.png", 7)});
        frmDocument* doc = main->ActiveDocument();
        imaging::ImageControl& original = doc->picOriginal();
        const imaging::Bitmap start = original.Bitmap();
        auto* tools = static_cast<frmTools*>(main->ToolsWindow());
        original.SetRgn(imaging::ops::Region::rectangle(10, 10, 20, 10));
        doc->SaveBackground();
        doc->SelektiereGrafik(0);
        child<QTabBar>(*tools, "TabOriginalTools")->setCurrentIndex(3);
        child<QComboBox>(*tools, "ComboSpecial")->setCurrentIndex(0);
        child<QSlider>(*tools, "SliderRotate")->setValue(180);
        child<QCheckBox>(*tools, "CheckRotateResize")->setChecked(true);
        frmTools::SetSwatchColor(child<QFrame>(*tools, "FrameRotateColor"), 0x0000FF);
        child<QPushButton>(*tools, "CommandApply")->click();
        QCOMPARE(original.BitmapWidth(), start.width());
        QCOMPARE(original.Rgn()->bounds(), (imaging::ops::Rect{10, 10, 20, 10}));
        QCOMPARE(original.Pixel(10, 10), start.pixel(29, 19));
        QCOMPARE(original.Pixel(9, 10), start.pixel(9, 10));
        // The selection is turned with its own background, never the swatch's colour.
        for (int y = 0; y < original.BitmapHeight(); ++y)
            for (int x = 0; x < original.BitmapWidth(); ++x) QVERIFY(original.Pixel(x, y) != 0x0000FFu || start.pixel(x, y) == 0x0000FFu);
        QVERIFY(undoItem(*main)->isEnabled());
    }

    void colourOperationChangesOnlyTheSelection() {
        auto main = open({writePng("inside.png", 6)});
        frmDocument* doc = main->ActiveDocument();
        imaging::ImageControl& original = doc->picOriginal();
        const imaging::Bitmap start = original.Bitmap();
        original.SetRgn(imaging::ops::Region::rectangle(10, 10, 20, 10));
        applyFromTools(*main, 5);  // Invert
        QCOMPARE(original.Pixel(10, 10), start.pixel(10, 10) ^ 0xFFFFFFu);
        QCOMPARE(original.Pixel(9, 10), start.pixel(9, 10));
        QCOMPARE(original.Pixel(30, 19), start.pixel(30, 19));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KALMIRA_LANGUAGE", "en");
    QApplication app(argc, argv);
    UndoTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "undo_test.moc"
