#pragma once
// The screen-capture control: captures the screen, windows, objects, areas and the resources of
// a program file into a bitmap, once or repeatedly on a hot key. The capture dialog starts the
// captures; the main window receives each captured bitmap and makes a new document of it.
//
// An interface only: what the program requires of capturing. Methods return 0 on success and an
// error number otherwise; kCaptureEnded is the result that ends a repeated capture.

#include "core/bitmap.h"

#include <QPoint>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace imaging {

class CaptureControl {
public:
    // Result of a capture operation or option dialog that ends a repetition (no error).
    static constexpr int kCaptureEnded = 20100;

    // Shape codes of an area capture.
    enum AreaShape { Triangle = 1, Rectangle = 2, RoundedRectangle = 3, Ellipse = 4, Polygon = 5, FreeHand = 6 };
    // Resource kinds of a program-file capture, combined as bits.
    enum ResourceKind { Bitmaps = 1, Icons = 2, Cursors = 4 };
    // How the resources of a program file are offered.
    enum ResourceDialog { TabViewDialog = 0, TreeViewDialog = 1 };

    // Receives each captured bitmap (moved out of the control, which then holds none). An empty
    // bitmap means nothing was captured.
    using CapturedHandler = std::function<void(Bitmap&& captured)>;

    virtual ~CaptureControl() = default;

    // --- State ------------------------------------------------------------------------------
    // Non-zero when a capture hot key is configured: captures then repeat, one per key press.
    virtual int HotKey() const = 0;
    // True while a capture waits for its hot key or for the user's choice on the screen.
    virtual bool Capturing() const = 0;
    // Ends a capture in progress; nothing happens when none runs.
    virtual int StopCapture() = 0;
    // Who receives the captured bitmaps (the main window).
    virtual void SetCapturedHandler(CapturedHandler handler) = 0;
    // Why the last operation failed, for the message the caller shows.
    virtual QString LastErrorText() const { return {}; }
    // While the handler receives a captured mouse cursor: its hot spot, in the cursor's own
    // pixels. None for every other capture.
    virtual std::optional<QPoint> CapturedHotSpot() const { return std::nullopt; }

    // --- Capture operations ---------------------------------------------------------------
    virtual int CaptureFullScreen() = 0;
    virtual int CaptureWallpaper() = 0;
    virtual int CaptureActiveWindow() = 0;
    virtual int CaptureActiveClient() = 0;
    virtual int CaptureSelectedObject() = 0;
    virtual int CaptureMenuUnderCursor() = 0;
    virtual int CaptureMouseCursor() = 0;
    virtual int CaptureWindowUnderCursor() = 0;
    virtual int CaptureArea(AreaShape shape) = 0;
    // The resources of a program file; an empty file name lets the user choose one.
    // resourceKinds combines ResourceKind bits.
    virtual int CaptureResources(QWidget* owner, const QString& programFile, int resourceKinds,
                                 ResourceDialog dialog) = 0;

    // --- Option dialogs (modal, owned by `owner`) -----------------------------------------------
    virtual int ShowCaptureOptions(QWidget* owner) = 0;
    virtual int ShowAreaOptions(QWidget* owner) = 0;
    virtual int ShowObjectOptions(QWidget* owner) = 0;
};

}  // namespace imaging
