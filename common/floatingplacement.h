#pragma once
// Where the floating tools and palette windows go at the first start, before the user gave them
// a place: beside the document area, so that they do not cover the Original of the first
// document (which opens at the area's top left).

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace kalmira {

// The tools window (frame size `frame`): beside the main window where the screen has room for
// it (right, else left), tops aligned with the document area; else inside the document area at
// its right edge and top. Always on the screen.
QPoint FirstToolsPlacement(const QWidget& mainWindow, QSize frame);
// The same from plain rectangles (global coordinates): the main window's frame, its document
// area and the screen's available area.
QPoint FirstToolsPlacement(const QRect& mainFrame, const QRect& documentArea, const QRect& screen, QSize frame);

// The palette window: under the tools window (frame `tools`), right edges aligned, where the
// screen has room below it; else to the tools window's left, tops aligned. Always on the screen.
QPoint FirstPalettePlacement(const QRect& tools, QSize frame, const QRect& screen);

// The available area of the screen `widget` is on (the primary screen's when it has none).
QRect AvailableScreenArea(const QWidget& widget);

}  // namespace kalmira
