#pragma once
// Where the floating tools and palette windows go at the first start, before the user gave them
// a place: beside the document area, so that they do not cover the Original of the first
// document (which opens at the area's top left).

#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>

class QWidget;

namespace kalmira {

// The tools window (frame size `frame`): beside the main window where the screen has room for
// it (right, else left), tops aligned with the document area; else inside the document area at
// its right edge and top. Always on the screen.
QPoint FirstToolsPlacement(const QWidget& mainWindow, QSize frame);
// The same from plain rectangles (global coordinates): the main window's frame, its document
// area and the screen's available area.
QPoint FirstToolsPlacement(const QRect& mainFrame, const QRect& documentArea, const QRect& screen, QSize frame);

// The palette window: under the tools window (frame `tools`), right edges aligned (left edges
// when the palette is the wider and the tools window stands on the screen's right half), where
// the screen has room below it; else to the tools window's left, tops aligned. Always on the
// screen.
QPoint FirstPalettePlacement(const QRect& tools, QSize frame, const QRect& screen);

// Moves `window` to `placement()` now and again whenever `leader` moves, is resized or shown
// (the main window takes its final place only after the floating windows were first placed),
// until the window is found elsewhere than it was put (the user moved it) or either goes away.
void FollowUntilMoved(QWidget& leader, QWidget& window, std::function<QPoint()> placement);

// The available area of the screen `widget` is on (the primary screen's when it has none).
QRect AvailableScreenArea(const QWidget& widget);

}  // namespace kalmira
