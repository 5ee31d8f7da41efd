// Screen capture: the Capture dialog's choices and its repetition on the hot key (with a capture
// control that records what it is asked), and the X11 capture control itself against an X
// server of the test's own, on a window of known content.

#include "common/globals.h"
#include "document/frmdocument.h"
#include "settings/frmcapture.h"
#include "settings/settingsstore.h"
#include "shell/commands/editcommands.h"
#include "shell/commands/filecommands.h"
#include "shell/commands/picturecommands.h"
#include "shell/frmmain.h"
#include "mainwindowsetup.h"
#include "shell/helpviewer.h"
#include "shelltestsupport.h"
#include "test_data.h"
#include "../support/xvfbserver.h"

#include "core/error.h"
#include "qt/areaselector.h"
#include "qt/x11capturecontrol.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace kalmira;

namespace {

constexpr imaging::Rgb kRed = 0x0000FF;
constexpr imaging::Rgb kBlue = 0xFF0000;

// Answers every capture with a small picture, `repeats` times, then ends (kCaptureEnded), and
// remembers what it was asked and whether the main window showed meanwhile.
class RecordingCapture : public imaging::CaptureControl {
public:
    int repeats = 2;
    int hotKey = 0x7A;
    QStringList calls;
    int lastShape = 0;
    int lastKinds = -1;
    int lastDialog = -1;
    QList<bool> mainShown;
    // Whether any of the program's windows (tools, palette, help ...) was on the screen.
    QList<bool> anyWindowShown;
    QWidget* mainWindow = nullptr;
    CapturedHandler handler;

    int HotKey() const override { return hotKey; }
    bool Capturing() const override { return false; }
    int StopCapture() override { return 0; }
    void SetCapturedHandler(CapturedHandler h) override { handler = std::move(h); }
    int answer(const QString& what) {
        calls.append(what);
        if (mainWindow) mainShown.append(mainWindow->isVisible());
        const QWidgetList windows = QApplication::topLevelWidgets();
        anyWindowShown.append(std::any_of(windows.begin(), windows.end(), [](QWidget* w) { return w->isVisible(); }));
        if (repeats-- <= 0) return kCaptureEnded;
        imaging::Bitmap b(7, 5, 24);
        handler(std::move(b));
        return 0;
    }
    int CaptureFullScreen() override { return answer("full"); }
    int CaptureWallpaper() override { return answer("wallpaper"); }
    int CaptureActiveWindow() override { return answer("active"); }
    int CaptureActiveClient() override { return answer("client"); }
    int CaptureSelectedObject() override { return answer("object"); }
    int CaptureMenuUnderCursor() override { return answer("menu"); }
    int CaptureMouseCursor() override { return answer("cursor"); }
    int CaptureWindowUnderCursor() override { return answer("under"); }
    int CaptureArea(AreaShape shape) override {
        lastShape = shape;
        return answer("area");
    }
    int CaptureResources(QWidget*, const QString&, int kinds, ResourceDialog dialog) override {
        lastKinds = kinds;
        lastDialog = dialog;
        return answer("resources");
    }
    int ShowCaptureOptions(QWidget*) override { return 0; }
    int ShowAreaOptions(QWidget*) override { return 0; }
    int ShowObjectOptions(QWidget*) override { return 0; }
};

// A window in two known colours: red left half, blue right half.
class KnownWindow : public QWidget {
public:
    KnownWindow() { setFixedSize(120, 80); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(0, 0, 60, 80, QColor(255, 0, 0));
        p.fillRect(60, 0, 60, 80, QColor(0, 0, 255));
    }
};

}  // namespace

class CaptureTest : public QObject {
    Q_OBJECT

private:
    testing::Prompts prompts_;
    std::unique_ptr<frmMain> window_;
    RecordingCapture* recorder_ = nullptr;

    int windowCount() const { return static_cast<int>(window_->MdiArea()->subWindowList().size()); }

    // Opens the Capture dialog, lets `choose` set it up and presses "&Capture".
    void captureWith(const std::function<void(frmCapture&)>& choose) {
        QTimer::singleShot(0, this, [this, choose] {
            frmCapture* dialog = window_->Edit().Pictures().CaptureDialog();
            QVERIFY(dialog);
            choose(*dialog);
            dialog->findChild<QPushButton*>("cmdOK")->click();
        });
        window_->Edit().Capture();
    }

private slots:
    void initTestCase() {
        InitApplication();
        prompts_.install();
    }

    void init() {
        prompts_.clear();
        window_ = testing::StartMainWindow({.show = true});
        auto recorder = std::make_unique<RecordingCapture>();
        recorder_ = recorder.get();
        recorder_->mainWindow = window_.get();
        window_->Edit().Pictures().SetCaptureControl(std::move(recorder));
        prompts_.clear();
    }

    void cleanup() {
        window_.reset();
        QCOMPARE(OpenDocumentCount, 0);
    }

    void kindsAndShapes() {
        const int kinds[4][4] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 9, 9, 9}, {10, 10, 10, 10}};
        for (int tab = 0; tab < 4; ++tab)
            for (int option = 0; option < 4; ++option) QCOMPARE(frmCapture::KindOf(tab, option), kinds[tab][option]);
        const int shapes[6] = {2, 3, 1, 5, 4, 6};
        for (int choice = 0; choice < 6; ++choice) QCOMPARE(frmCapture::AreaShapeOf(choice), shapes[choice]);
    }

    void exeTabTurnsHidingOff() {
        frmCapture dialog(*recorder_, window_.get(), true);
        auto* hide = dialog.findChild<QCheckBox*>("checkHideApp");
        auto* tabs = dialog.findChild<QTabWidget*>("tabCapture");
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(tabs->tabText(3), QStringLiteral("Exe File"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Capture"));
        QVERIFY(dialog.findChild<QRadioButton*>("optScreen0")->isChecked());
        QCOMPARE(dialog.ResourceDialogChoice, 1);
        hide->setChecked(true);
        tabs->setCurrentIndex(3);
        QVERIFY(!hide->isChecked());
        QVERIFY(!hide->isEnabled());
        tabs->setCurrentIndex(1);
        QVERIFY(hide->isEnabled());
        QVERIFY(!hide->isChecked());
    }

    void withoutAScreenOnlyProgramFilesCanBeCaptured() {
        frmCapture dialog(*recorder_, window_.get(), false);
        auto* tabs = dialog.findChild<QTabWidget*>("tabCapture");
        QVERIFY(!dialog.findChild<QPushButton*>("cmdOK")->isEnabled());
        QVERIFY(!dialog.findChild<QWidget*>("LabelUnavailable")->isHidden());
        tabs->setCurrentIndex(3);
        QVERIFY(dialog.findChild<QPushButton*>("cmdOK")->isEnabled());
    }

    void eachHotKeyPressMakesADocument() {
        recorder_->repeats = 3;
        captureWith([](frmCapture& dialog) { dialog.findChild<QCheckBox*>("checkHideApp")->setChecked(true); });
        QCOMPARE(recorder_->calls, QStringList({"full", "full", "full", "full"}));
        QCOMPARE(windowCount(), 3);
        // Hidden while capturing, shown again at the end.
        QCOMPARE(recorder_->mainShown, QList<bool>({false, false, false, false}));
        QVERIFY(window_->isVisible());
        QCOMPARE(CaptureKind, 0);
        QVERIFY(!window_->Edit().Pictures().CaptureDialog());
        frmDocument* document = window_->ActiveDocument();
        QCOMPARE(document->picOriginal().BitmapWidth(), 7);
        // Every shown Variation is encoded from the captured picture.
        QCOMPARE(document->picCompress(1).BitmapWidth(), 7);
        QVERIFY(prompts_.errors.isEmpty());
    }

    // "Hide" takes every window of the program off the screen, not the main window alone, and
    // brings each back where it was.
    void hidingTakesEveryProgramWindowAwayAndBack() {
        QWidget tools(window_.get(), Qt::Tool);
        tools.setObjectName(QStringLiteral("frmToolsStandIn"));
        tools.resize(120, 200);
        tools.show();
        tools.move(300, 200);
        QWidget help;
        help.resize(100, 100);
        help.show();
        QTRY_VERIFY(tools.isVisible() && help.isVisible());
        const QPoint toolsAt = tools.pos();
        recorder_->repeats = 2;
        captureWith([](frmCapture& dialog) { dialog.findChild<QCheckBox*>("checkHideApp")->setChecked(true); });
        QCOMPARE(recorder_->anyWindowShown, QList<bool>({false, false, false}));
        QVERIFY(window_->isVisible());
        QVERIFY(tools.isVisible());
        QVERIFY(help.isVisible());
        QCOMPARE(tools.pos(), toolsAt);
        // Without "Hide" nothing leaves the screen.
        recorder_->anyWindowShown.clear();
        recorder_->repeats = 0;
        captureWith([](frmCapture&) {});
        QCOMPARE(recorder_->anyWindowShown, QList<bool>({true}));
    }

    // The capture dialog names its help page (F1 there shows the capture help).
    void theDialogNamesItsHelpPage() {
        frmCapture dialog(*recorder_, window_.get(), true);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QTRY_VERIFY(QApplication::activeWindow() == &dialog);
        QCOMPARE(HelpViewer::CurrentHelpContext(), 1022);
    }

    void withoutTheHotKeyOneCapture() {
        recorder_->hotKey = 0;
        recorder_->repeats = 5;
        captureWith([](frmCapture& dialog) {
            dialog.findChild<QTabWidget*>("tabCapture")->setCurrentIndex(1);
            dialog.findChild<QRadioButton*>("optObjects2")->setChecked(true);
        });
        QCOMPARE(recorder_->calls, QStringList({"cursor"}));
        QCOMPARE(recorder_->mainShown, QList<bool>({true}));
        QCOMPARE(windowCount(), 1);
    }

    void areaShapes_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("shape");
        QTest::newRow("ellipse") << "optArea4" << 4;
        QTest::newRow("triangle") << "optArea2" << 1;
        QTest::newRow("free hand") << "optArea5" << 6;
    }

    void areaShapes() {
        QFETCH(QString, option);
        QFETCH(int, shape);
        recorder_->repeats = 0;
        captureWith([option](frmCapture& dialog) {
            dialog.findChild<QTabWidget*>("tabCapture")->setCurrentIndex(2);
            dialog.findChild<QRadioButton*>(option)->setChecked(true);
        });
        QCOMPARE(recorder_->calls, QStringList({"area"}));
        QCOMPARE(recorder_->lastShape, shape);
        QCOMPARE(windowCount(), 0);
    }

    void resourceKindsAndDialogType() {
        recorder_->repeats = 0;
        captureWith([](frmCapture& dialog) {
            dialog.findChild<QTabWidget*>("tabCapture")->setCurrentIndex(3);
            dialog.findChild<QRadioButton*>("optResources0")->setChecked(true);
            dialog.findChild<QCheckBox*>("chkBitmaps")->setChecked(false);
        });
        QCOMPARE(recorder_->lastKinds, 6);
        QCOMPARE(recorder_->lastDialog, static_cast<int>(imaging::CaptureControl::TreeViewDialog));
    }

    void aFailingCaptureIsReported() {
        class Failing : public RecordingCapture {
            int CaptureFullScreen() override { return 7; }
            QString LastErrorText() const override { return QStringLiteral("no screen here"); }
        };
        auto failing = std::make_unique<Failing>();
        failing->mainWindow = window_.get();
        window_->Edit().Pictures().SetCaptureControl(std::move(failing));
        captureWith([](frmCapture&) {});
        QCOMPARE(prompts_.errors.size(), 1);
        QVERIFY(prompts_.errors.first().contains("no screen here"));
        QVERIFY(window_->isVisible());
        QCOMPARE(CaptureKind, 0);
        QCOMPARE(windowCount(), 0);
    }

    // --- The X11 capture control --------------------------------------------------------------

    void fullScreenAndWindowsHoldWhatIsShown() {
        KnownWindow known;
        known.move(200, 150);
        known.show();
        known.activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&known));
        QTRY_VERIFY(QApplication::activeWindow() == &known);
        imaging::X11CaptureControl control;
        control.SetHotKey(0);
        QList<imaging::Bitmap> captured;
        control.SetCapturedHandler([&](imaging::Bitmap&& b) { captured.append(std::move(b)); });
        const QPoint at = known.mapToGlobal(QPoint(0, 0));

        QCOMPARE(control.CaptureFullScreen(), 0);
        QCOMPARE(captured.size(), 1);
        QCOMPARE(captured[0].width(), QGuiApplication::primaryScreen()->geometry().width());
        QCOMPARE(captured[0].pixel(at.x() + 10, at.y() + 10), kRed);
        QCOMPARE(captured[0].pixel(at.x() + 110, at.y() + 70), kBlue);

        QCOMPARE(control.CaptureActiveClient(), 0);
        QCOMPARE(captured.size(), 2);
        QCOMPARE(captured[1].width(), 120);
        QCOMPARE(captured[1].height(), 80);
        QCOMPARE(captured[1].pixel(0, 0), kRed);
        QCOMPARE(captured[1].pixel(119, 79), kBlue);

        QCursor::setPos(at + QPoint(90, 40));
        QTRY_COMPARE(QCursor::pos(), at + QPoint(90, 40));
        QCOMPARE(control.CaptureWindowUnderCursor(), 0);
        QCOMPARE(captured.size(), 3);
        QCOMPARE(captured[2].width(), 120);
        QCOMPARE(captured[2].pixel(5, 5), kRed);

        QCOMPARE(control.CaptureMouseCursor(), 0);
        QCOMPARE(captured.size(), 4);
        QCOMPARE(captured[3].bits(), 32);
        QVERIFY(captured[3].width() > 0);
    }

    void aCapturedCursorKeepsItsHotSpot() {
        // A cursor of our own over a window: 16 x 16, its hot spot on the one green pixel.
        QPixmap shape(16, 16);
        shape.fill(Qt::transparent);
        {
            QPainter p(&shape);
            p.fillRect(0, 0, 3, 3, QColor(255, 0, 0));
            p.fillRect(5, 9, 1, 1, QColor(0, 255, 0));
        }
        KnownWindow known;
        known.setCursor(QCursor(shape, 5, 9));
        known.move(300, 200);
        known.show();
        QVERIFY(QTest::qWaitForWindowExposed(&known));
        const QPoint inside = known.mapToGlobal(QPoint(50, 40));
        QCursor::setPos(inside);
        QTRY_COMPARE(QCursor::pos(), inside);
        // The server shows the window's cursor once it has seen the pointer enter.
        imaging::X11CaptureControl probe;
        probe.SetHotKey(0);
        QSize seen;
        probe.SetCapturedHandler([&](imaging::Bitmap&& b) { seen = QSize(b.width(), b.height()); });
        QTRY_VERIFY_WITH_TIMEOUT((probe.CaptureMouseCursor(), seen == QSize(16, 16)), 3000);
        QCOMPARE(probe.CapturedHotSpot(), std::optional<QPoint>(QPoint(5, 9)));

        auto owned = std::make_unique<imaging::X11CaptureControl>();
        owned->SetHotKey(0);
        imaging::X11CaptureControl& control = *owned;
        window_->Edit().Pictures().SetCaptureControl(std::move(owned));
        QCOMPARE(control.CaptureMouseCursor(), 0);
        frmDocument* cursor = window_->ActiveDocument();
        QVERIFY(cursor);
        QCOMPARE(cursor->picOriginal().BitmapWidth(), 16);
        QCOMPARE(cursor->picOriginal().Bitmap().pixel(5, 9) & 0xFFFFFFu, 0x00FF00u);
        QCOMPARE(cursor->CursorHotSpot(), std::optional<QPoint>(QPoint(5, 9)));
        QCOMPARE(cursor->LabelOriginal()->text(), QStringLiteral("Hot spot 5, 9"));

        // Any other capture has none, and the cursor's document keeps its own.
        QCOMPARE(control.CaptureFullScreen(), 0);
        frmDocument* window = window_->ActiveDocument();
        QVERIFY(window != cursor);
        QVERIFY(!window->CursorHotSpot());
        QVERIFY(!control.CapturedHotSpot());
        QVERIFY(!window->LabelOriginal()->text().contains(QStringLiteral("Hot spot")));
        QCOMPARE(cursor->CursorHotSpot(), std::optional<QPoint>(QPoint(5, 9)));

        // An Original of another size no longer has the pixel it named.
        cursor->picOriginal().SetBitmap(imaging::Bitmap(8, 8, 24));
        cursor->picOriginalAendern();
        QVERIFY(!cursor->CursorHotSpot());
        QVERIFY(!cursor->LabelOriginal()->text().contains(QStringLiteral("Hot spot")));
        QVERIFY2(prompts_.errors.isEmpty(), qPrintable(prompts_.errors.join('|')));
    }

    void theHotKeyStartsAndEscapeEnds() {
        imaging::X11CaptureControl control;
        QCOMPARE(control.HotKey(), 0x7A);
        int received = 0;
        control.SetCapturedHandler([&](imaging::Bitmap&&) { ++received; });
        // A key that cannot be sent still ends the wait (the comparison after it then fails),
        // so a broken key map fails the test instead of leaving it waiting forever.
        int unsent = 0;
        const auto press = [&control, &unsent](bool hotKey) {
            QTimer::singleShot(0, &control, [&control, &unsent, hotKey] {
                xcb_key_press_event_t key{};
                key.response_type = XCB_KEY_PRESS;
                key.detail = static_cast<xcb_keycode_t>(hotKey ? control.HotKeyCode() : control.EscapeCode());
                if (!control.Capturing() || key.detail == 0 ||
                    !control.nativeEventFilter("xcb_generic_event_t", &key, nullptr)) {
                    ++unsent;
                    control.StopCapture();
                }
            });
        };
        press(true);
        QCOMPARE(control.CaptureFullScreen(), 0);
        QCOMPARE(received, 1);
        press(false);
        QCOMPARE(control.CaptureFullScreen(), imaging::CaptureControl::kCaptureEnded);
        QCOMPARE(unsent, 0);
        QCOMPARE(received, 1);
        QVERIFY(!control.Capturing());
        // Stopping from outside ends the waiting too.
        QTimer::singleShot(0, &control, [&control] { control.StopCapture(); });
        QCOMPARE(control.CaptureWallpaper(), imaging::CaptureControl::kCaptureEnded);
        QCOMPARE(received, 1);
    }

    // Another program holding F11 (with no modifier) makes the capture say so at once instead of
    // waiting hidden for a key that never comes; one that holds Alt+F11 and Alt+Escape (as
    // window managers do) takes nothing from us. While the capture waits, a grabbed key reaches
    // it even when no window has the keyboard focus.
    void keysHeldElsewhereAndNoFocus() {
        xcb_connection_t* other = xcb_connect(nullptr, nullptr);
        QVERIFY(other && !xcb_connection_has_error(other));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
        const auto grab = [&](int code, std::uint16_t modifiers) {
            xcb_generic_error_t* error = xcb_request_check(
                other, xcb_grab_key_checked(other, 1, root, modifiers, static_cast<xcb_keycode_t>(code),
                                            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            std::free(error);
            return error == nullptr;
        };
        imaging::X11CaptureControl control;
        int f11 = 0;
        int escape = 0;
        // The key codes as the control finds them: read during a first wait.
        QTimer::singleShot(0, &control, [&] {
            f11 = control.HotKeyCode();
            escape = control.EscapeCode();
            control.StopCapture();
        });
        QCOMPARE(control.CaptureFullScreen(), imaging::CaptureControl::kCaptureEnded);
        QVERIFY(f11 != 0 && escape != 0);

        // F11 held by another program: refused at once, with the reason.
        QVERIFY(grab(f11, 0));
        bool waited = false;
        QTimer::singleShot(0, &control, [&] {
            waited = control.Capturing();
            control.StopCapture();
        });
        QCOMPARE(control.CaptureFullScreen(), static_cast<int>(imaging::ErrorCode::Unsupported));
        QVERIFY(control.LastErrorText().contains(QStringLiteral("F11")));
        QVERIFY(!control.Capturing());
        xcb_ungrab_key(other, static_cast<xcb_keycode_t>(f11), root, XCB_MOD_MASK_ANY);
        xcb_flush(other);

        // Alt+F11 and Alt+Escape held elsewhere; the focus on no window at all.
        QVERIFY(grab(f11, XCB_MOD_MASK_1));
        QVERIFY(grab(escape, XCB_MOD_MASK_1));
        xcb_set_input_focus(other, XCB_INPUT_FOCUS_NONE, XCB_NONE, XCB_CURRENT_TIME);
        xcb_flush(other);
        bool escapeTaken = false;
        bool focusSomewhere = false;
        QTimer::singleShot(0, &control, [&] {
            waited = control.Capturing();
            // The plain keys are ours now: another program cannot have them.
            escapeTaken = !grab(escape, 0);
            auto* focus = xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr);
            focusSomewhere = focus && focus->focus != XCB_NONE;
            std::free(focus);
            control.StopCapture();
        });
        QCOMPARE(control.CaptureFullScreen(), imaging::CaptureControl::kCaptureEnded);
        QVERIFY(waited);
        QVERIFY(escapeTaken);
        QVERIFY(focusSomewhere);
        // Released afterwards: another program may take them again.
        QVERIFY(grab(escape, 0));
        xcb_disconnect(other);
    }

    // "Wall Paper" on a desktop that publishes none says so instead of capturing the screen.
    void noWallpaperIsSaid() {
        imaging::X11CaptureControl control;
        control.SetHotKey(0);
        int received = 0;
        control.SetCapturedHandler([&](imaging::Bitmap&&) { ++received; });
        QCOMPARE(control.CaptureWallpaper(), static_cast<int>(imaging::ErrorCode::Unsupported));
        QVERIFY2(control.LastErrorText().contains(QStringLiteral("wallpaper")), qPrintable(control.LastErrorText()));
        QCOMPARE(received, 0);
    }

    void areasAreCutToTheirShape() {
        QImage screen(100, 60, QImage::Format_RGB32);
        screen.fill(QColor(255, 0, 0));
        const QPainterPath ellipse = imaging::areaShapePath(imaging::CaptureControl::Ellipse, {QPoint(10, 10), QPoint(50, 40)});
        const imaging::Bitmap cut = imaging::cutArea(screen, ellipse, false);
        QCOMPARE(cut.width(), 40);
        QCOMPARE(cut.height(), 30);
        QCOMPARE(cut.bits(), 32);
        QCOMPARE(cut.row(0)[3], std::uint8_t(0));          // corner outside the ellipse
        QCOMPARE(cut.row(15)[20 * 4 + 3], std::uint8_t(255));  // middle inside
        QCOMPARE(cut.pixel(20, 15), kRed);
        const imaging::Bitmap whole = imaging::cutArea(screen, ellipse, true);
        QCOMPARE(whole.bits(), 24);
        QCOMPARE(whole.pixel(0, 0), kRed);
        const QPainterPath triangle = imaging::areaShapePath(imaging::CaptureControl::Triangle, {QPoint(0, 0), QPoint(40, 20)});
        QVERIFY(triangle.contains(QPointF(20, 1)));
        QVERIFY(!triangle.contains(QPointF(2, 1)));
        QVERIFY(imaging::areaShapePath(imaging::CaptureControl::Polygon, {QPoint(1, 1)}).isEmpty());
    }

    void picturesFromAProgramFile() {
        imaging::X11CaptureControl control;
        QList<imaging::Bitmap> captured;
        control.SetCapturedHandler([&](imaging::Bitmap&& b) { captured.append(std::move(b)); });
        int offered = 0;
        control.SetResourceChooser([&](QWidget*, const QString&, const imaging::Bytes&,
                                       const std::vector<imaging::pe::ResourceEntry>& entries,
                                       imaging::CaptureControl::ResourceDialog) {
            offered = static_cast<int>(entries.size());
            return 0;
        });
        const QString data = QString::fromStdString(kalmira::testing::testDataDir() + "/pe/");
        QCOMPARE(control.CaptureResources(nullptr, data + "resources.exe", imaging::CaptureControl::Icons,
                                          imaging::CaptureControl::TreeViewDialog),
                 0);
        QCOMPARE(offered, 1);
        QCOMPARE(captured.size(), 1);
        QCOMPARE(captured[0].width(), 3);
        // A file whose resource tree lies is refused with the reason; nothing is captured.
        QCOMPARE(control.CaptureResources(nullptr, data + "loop.exe", 7, imaging::CaptureControl::TabViewDialog), 6);
        QVERIFY(control.LastErrorText().contains("PE resources"));
        QCOMPARE(captured.size(), 1);
        // Cancelling the file question ends without a picture.
        control.SetFileChooser([](QWidget*) { return QString(); });
        QCOMPARE(control.CaptureResources(nullptr, QString(), 7, imaging::CaptureControl::TabViewDialog),
                 imaging::CaptureControl::kCaptureEnded);
    }
};

int main(int argc, char** argv) {
    kalmira::testing::XvfbServer server;
    if (!server.running()) {
        std::printf("SKIP: the capture tests need an X server: %s\n", server.reason().c_str());
        return 0;
    }
    server.useForQt();
    LanguageOffset = LanguageOffsetFromEnvironment();
    QApplication app(argc, argv);
    CaptureTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "capture_test.moc"
