#pragma once
// The capture control on the X window system: screen, wallpaper, windows and objects, the mouse
// cursor (XFixes), drawn areas and the pictures stored in Windows program files. With the hot
// key on, each capture waits for F11 (grabbed on the root window, so it works whichever program
// has the focus); Escape ends the waiting with kCaptureEnded. Where there is no X server (another
// platform plugin, Wayland) every capture answers Unsupported and says why.

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QRect>

#include <memory>

#include "formats/pe_resources.h"
#include "qt/capturecontrol.h"

class QEventLoop;

namespace imaging {

class X11CaptureControl : public QObject, public CaptureControl, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    // X key codes are the server's; these are the virtual keys the hot key is named by.
    static constexpr int kHotKeyF11 = 0x7A;
    static constexpr int kCancelKeyEscape = 0x1B;

    explicit X11CaptureControl(QObject* parent = nullptr);
    ~X11CaptureControl() override;

    // Whether an X server is there to capture from.
    static bool Available();
    // Why a capture did not work (the last error), for the message the caller shows.
    QString LastErrorText() const override { return lastError_; }
    std::optional<QPoint> CapturedHotSpot() const override { return hotSpot_; }

    // 0 turns the hot key off: each capture operation then captures at once.
    void SetHotKey(int virtualKey) { hotKey_ = virtualKey; }
    int HotKey() const override { return hotKey_; }
    bool Capturing() const override { return capturing_; }
    int StopCapture() override;
    void SetCapturedHandler(CapturedHandler handler) override { handler_ = std::move(handler); }

    int CaptureFullScreen() override;
    int CaptureWallpaper() override;
    int CaptureActiveWindow() override;
    int CaptureActiveClient() override;
    int CaptureSelectedObject() override;
    int CaptureMenuUnderCursor() override;
    int CaptureMouseCursor() override;
    int CaptureWindowUnderCursor() override;
    int CaptureArea(AreaShape shape) override;
    int CaptureResources(QWidget* owner, const QString& programFile, int resourceKinds,
                         ResourceDialog dialog) override;

    int ShowCaptureOptions(QWidget* owner) override;
    int ShowAreaOptions(QWidget* owner) override;
    int ShowObjectOptions(QWidget* owner) override;

    // Options the dialogs set: seconds to wait before capturing; whether the pointer is drawn
    // into screen and window captures; whether an area keeps what lies outside its shape
    // (else that becomes transparent); whether a window is taken with its frame.
    int DelaySeconds = 0;
    bool IncludePointer = false;
    bool AreaKeepsOutside = false;
    bool WindowWithFrame = true;

    // Replace the file dialog and the resource list of a program-file capture (tests answer them
    // without a window): the program file to read, empty for Cancel; the index of the chosen
    // resource in the list, -1 for Cancel.
    using FileChooser = std::function<QString(QWidget* owner)>;
    using ResourceChooser = std::function<int(QWidget* owner, const QString& file, const Bytes& data,
                                              const std::vector<pe::ResourceEntry>& entries, ResourceDialog dialog)>;
    void SetFileChooser(FileChooser chooser) { fileChooser_ = std::move(chooser); }
    void SetResourceChooser(ResourceChooser chooser) { resourceChooser_ = std::move(chooser); }

    // Hands a native X event to the control, as Qt's event dispatcher does (tests use it to
    // press the hot key).
    // The X key codes of F11 and Escape while a capture waits for them (0 otherwise).
    int HotKeyCode() const { return hotKeyCode_; }
    int EscapeCode() const { return escapeCode_; }
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // The pictures, without the hot key and without handing them on (also for benchmarks).
    Bitmap GrabScreenRect(const QRect& rect);
    Bitmap GrabFullScreen();

private:
    // Waits for the hot key when it is on, then grabs and hands the picture to the handler.
    int capture(const std::function<Bitmap()>& grab);
    // The wait for the hot key; an error (with lastError_) when F11 or Escape cannot be had.
    int waitForHotKey();
    // Takes F11 and Escape for this program, whichever window has the keyboard; false when
    // another program holds either (nothing is then held).
    bool grabKeys();
    void releaseKeys();
    int unsupported(const QString& reason);
    Bitmap grabWallpaper();
    // Rectangle on the screen of a window (with or without its frame), empty when none.
    QRect windowRect(std::uint32_t window, bool frame);
    std::uint32_t activeWindow();
    std::uint32_t windowUnderPointer(bool deepest);
    // The cursor as it looks now; `hotSpot` (when given) receives the pixel that points.
    Bitmap grabCursor(QPoint* hotSpot = nullptr);
    void drawPointerInto(Bitmap& picture, const QRect& rect);

    int hotKey_ = kHotKeyF11;
    bool capturing_ = false;
    QEventLoop* waiting_ = nullptr;
    int hotKeyCode_ = 0;
    int escapeCode_ = 0;
    CapturedHandler handler_;
    QString lastError_;
    std::optional<QPoint> hotSpot_;
    FileChooser fileChooser_;
    ResourceChooser resourceChooser_;
};

}  // namespace imaging
