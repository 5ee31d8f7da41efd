// The undo step as a user meets it: an operation from the tools window, Edit > Undo, the menu
// item and toolbar button 5 following the active document; animated Originals; and the tools
// window's operations on a selection.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLabel>
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
#include "mainwindowsetup.h"
#include "tools/frmtools.h"
#include "common/globals.h"
#include "common/routines.h"
#include "shell/commands/editcommands.h"

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

    std::unique_ptr<frmMain> open(const QStringList& files) { return testing::StartProgramWindow(files); }

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
        main->UndoZurueckholen();    // nor when asked directly
        QVERIFY(doc->picOriginal().Bitmap() == first);
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
        // The step is used up: a second Undo asked directly keeps the picture.
        main->UndoZurueckholen();
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

    // Undo after a selection was turned (resized, sheared, moved) brings the picture back and
    // ends the selection: a turned selection kept over the restored picture would stamp its
    // background into it at the next Escape or drag.
    void undoEndsTheSelectionItFollowed_data() {
        QTest::addColumn<QString>("change");
        QTest::newRow("rotate") << "rotate";
        QTest::newRow("resize") << "resize";
        QTest::newRow("shear") << "shear";
        QTest::newRow("move") << "move";
    }

    void undoEndsTheSelectionItFollowed() {
        QFETCH(QString, change);
        auto main = open({writePng("sel.png", 3)});
        frmDocument* doc = main->ActiveDocument();
        imaging::ImageControl& original = doc->picOriginal();
        const imaging::Bitmap start = original.Bitmap();
        original.SetRgn(imaging::ops::Region::rectangle(10, 10, 20, 12));
        doc->SaveBackground();
        if (change == QLatin1String("move")) {
            doc->picOriginal_MouseDown(Qt::LeftButton, Qt::NoModifier, 15, 15);
            doc->picOriginal_MouseMove(Qt::LeftButton, Qt::NoModifier, 40, 30);
            doc->picOriginal_MouseUp(Qt::LeftButton, Qt::NoModifier, 40, 30);
        } else {
            main->UndoHinzufuegen();  // as the tools window's Apply does before it
            if (change == QLatin1String("rotate")) doc->RotateRegion(9000, true);
            else if (change == QLatin1String("resize")) doc->ResizeRegion(30, 20, 0);
            else doc->ShearRegion(2000, true);
        }
        QVERIFY(!(original.Bitmap() == start));
        QVERIFY(undoItem(*main)->isEnabled());
        undoItem(*main)->trigger();
        QVERIFY(original.Bitmap() == start);
        QVERIFY(!original.HasRgn());
        QVERIFY(!original.HasFloater());
        QVERIFY(!doc->picOriginal2().HasBitmap());
        // Nothing of the turned selection comes back afterwards.
        doc->picOriginal_KeyDown(Qt::Key_Escape, Qt::NoModifier);
        doc->picOriginal_MouseDown(Qt::LeftButton, Qt::NoModifier, 25, 20);
        doc->picOriginal_MouseMove(Qt::LeftButton, Qt::NoModifier, 45, 40);
        doc->picOriginal_MouseUp(Qt::LeftButton, Qt::NoModifier, 45, 40);
        QVERIFY(original.Bitmap() == start);
    }

    // As a user checks it: drag a rectangle, Delete, Escape: the rectangle stays white;
    // Ctrl+Z: the picture is exact again.
    void deleteEscapeUndo() {
        auto main = open({writePng("white.png", 9)});
        frmDocument* doc = main->ActiveDocument();
        imaging::ImageControl& original = doc->picOriginal();
        const imaging::Bitmap start = original.Bitmap();
        QTest::mousePress(&original, Qt::LeftButton, Qt::NoModifier, original.WidgetRectOf({10, 10, 1, 1}).center());
        QMouseEvent move(QEvent::MouseMove, QPointF(original.WidgetRectOf({40, 30, 1, 1}).center()),
                         original.mapToGlobal(QPointF(original.WidgetRectOf({40, 30, 1, 1}).center())), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&original, &move);
        QTest::mouseRelease(&original, Qt::LeftButton, Qt::NoModifier, original.WidgetRectOf({40, 30, 1, 1}).center());
        QVERIFY(original.HasRgn());
        const imaging::ops::Rect box = original.Rgn()->bounds();
        QTest::keyClick(&original, Qt::Key_Delete);
        QTest::keyClick(&original, Qt::Key_Escape);
        QVERIFY(!original.HasRgn());
        for (int y = box.top; y < box.top + box.height; ++y)
            for (int x = box.left; x < box.left + box.width; ++x) QCOMPARE(original.Pixel(x, y) & 0xFFFFFFu, 0xFFFFFFu);
        QCOMPARE(original.Pixel(box.left - 1, box.top), start.pixel(box.left - 1, box.top));
        QCOMPARE(undoItem(*main)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
        undoItem(*main)->trigger();
        QVERIFY(original.Bitmap() == start);
        QVERIFY(!undoItem(*main)->isEnabled());
    }

    // Paste, then Undo: the Original is described as before the paste (its caption, its file
    // size, the Variation's share), and an animation is an animation again.
    void undoOfAPasteBringsTheOriginalsDescriptionBack_data() {
        QTest::addColumn<bool>("animated");
        QTest::newRow("still") << false;
        QTest::newRow("animated") << true;
    }

    void undoOfAPasteBringsTheOriginalsDescriptionBack() {
        QFETCH(bool, animated);
        imaging::Image animation;
        for (int k = 0; k < 3; ++k) {
            imaging::Bitmap frame(24, 16, 8);
            frame.palette()[1] = imaging::makeRgb(k * 80, 10, 200);
            for (int x = 0; x < 24; ++x) frame.setPixel(x, k, 1);
            animation.frames.push_back(imaging::Frame{frame});
            animation.frames.back().delay = 10;
        }
        auto main = open({animated ? writePicture("pasted.gif", animation, imaging::format::Gif) : writePng("pasted.png", 10)});
        frmDocument* doc = main->ActiveDocument();
        imaging::ImageControl& original = doc->picOriginal();
        const QString caption = doc->LabelOriginal()->text();
        const QString variationCaption = doc->LabelCompress(1)->text();
        const std::int64_t fileSize = original.InfoFileSize();
        const int frames = original.BitmapListCount();
        QVERIFY(fileSize > 0);
        QCOMPARE(doc->GetOriginalAnimation(), animated);

        QImage pasted(30, 20, QImage::Format_RGB32);
        pasted.fill(Qt::blue);
        QApplication::clipboard()->setImage(pasted);
        main->Edit().Paste();
        QVERIFY2(prompts_.messages.isEmpty(), qPrintable(prompts_.messageTexts().join('|')));
        QCOMPARE(original.BitmapWidth(), 30);
        QVERIFY(doc->LabelOriginal()->text() != caption);
        QVERIFY(!doc->GetOriginalAnimation());

        undoItem(*main)->trigger();
        QCOMPARE(original.InfoFileSize(), fileSize);
        QCOMPARE(doc->LabelOriginal()->text(), caption);
        QCOMPARE(doc->LabelCompress(1)->text(), variationCaption);
        QCOMPARE(doc->GetOriginalAnimation(), animated);
        QCOMPARE(IsAnimatedImage(original), animated);
        QCOMPARE(original.BitmapListCount(), frames);
        QVERIFY(prompts_.errors.isEmpty());
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

    // Two steps in a row, the first on a selection and the second on the whole picture, then
    // Undo and a new operation: Undo brings the picture between the two, with no selection, and
    // the next operation works on the whole picture, not on the first step's selection.
    void twoStepsTheSecondWithoutASelectionThenUndoAndAct() {
        auto main = open({writePng("steps.png", 11)});
        frmDocument* doc = main->ActiveDocument();
        imaging::ImageControl& original = doc->picOriginal();
        const imaging::Bitmap start = original.Bitmap();
        original.SetRgn(imaging::ops::Region::rectangle(10, 10, 20, 10));
        doc->SaveBackground();
        applyFromTools(*main, 5);  // Invert, inside the selection only
        QCOMPARE(original.Pixel(10, 10), start.pixel(10, 10) ^ 0xFFFFFFu);
        QCOMPARE(original.Pixel(9, 10), start.pixel(9, 10));
        doc->picOriginal_KeyDown(Qt::Key_Escape, Qt::NoModifier);
        QVERIFY(!original.HasRgn());
        const imaging::Bitmap between = original.Bitmap();

        applyFromTools(*main, 5);  // Invert again, now the whole picture
        QCOMPARE(original.Pixel(0, 0), between.pixel(0, 0) ^ 0xFFFFFFu);
        QCOMPARE(original.Pixel(10, 10), between.pixel(10, 10) ^ 0xFFFFFFu);

        undoItem(*main)->trigger();
        QVERIFY(original.Bitmap() == between);
        QVERIFY(!original.HasRgn());
        QVERIFY(!original.HasFloater());
        QVERIFY(!undoItem(*main)->isEnabled());

        applyFromTools(*main, 5);
        QVERIFY(undoItem(*main)->isEnabled());
        int wrong = 0;
        for (int y = 0; y < start.height(); ++y)
            for (int x = 0; x < start.width(); ++x) wrong += original.Pixel(x, y) != (between.pixel(x, y) ^ 0xFFFFFFu);
        QCOMPARE(wrong, 0);
        // The step stored by that operation is the picture before it, not an older one.
        undoItem(*main)->trigger();
        QVERIFY(original.Bitmap() == between);
        QVERIFY(prompts_.errors.isEmpty());
    }

    // A paste (which changes the Original's description) then an operation: Undo brings the
    // pasted picture back described as pasted, not as the file it replaced.
    void pasteThenOperationThenUndoKeepsThePastedDescription() {
        auto main = open({writePng("described.png", 12)});
        frmDocument* doc = main->ActiveDocument();
        imaging::ImageControl& original = doc->picOriginal();
        QImage pasted(30, 20, QImage::Format_RGB32);
        pasted.fill(Qt::blue);
        QApplication::clipboard()->setImage(pasted);
        main->Edit().Paste();
        QCOMPARE(original.BitmapWidth(), 30);
        const QString pastedCaption = doc->LabelOriginal()->text();
        const std::int64_t pastedSize = original.InfoFileSize();
        const imaging::Bitmap afterPaste = original.Bitmap();
        applyFromTools(*main, 5);
        undoItem(*main)->trigger();
        QVERIFY(original.Bitmap() == afterPaste);
        QCOMPARE(original.InfoFileSize(), pastedSize);
        QCOMPARE(doc->LabelOriginal()->text(), pastedCaption);
        QVERIFY(prompts_.errors.isEmpty());
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
