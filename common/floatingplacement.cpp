#include "common/floatingplacement.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace kalmira {

namespace {

QPoint keptOnScreen(QPoint at, QSize frame, const QRect& screen) {
    return {std::clamp(at.x(), screen.left(), std::max(screen.left(), screen.right() + 1 - frame.width())),
            std::clamp(at.y(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - frame.height()))};
}

}  // namespace

QRect AvailableScreenArea(const QWidget& widget) {
    if (const QScreen* screen = widget.screen()) return screen->availableGeometry();
    if (const QScreen* primary = QGuiApplication::primaryScreen()) return primary->availableGeometry();
    return {0, 0, 1024, 768};
}

QPoint FirstToolsPlacement(const QRect& mainFrame, const QRect& documentArea, const QRect& screen, QSize frame) {
    int left = 0;
    if (screen.right() - mainFrame.right() >= frame.width())
        left = mainFrame.right() + 1;
    else if (mainFrame.left() - screen.left() >= frame.width())
        left = mainFrame.left() - frame.width();
    else
        // No room beside the main window (a maximised one): the right edge of the document area,
        // away from the top left where documents open.
        left = documentArea.right() + 1 - frame.width();
    return keptOnScreen({left, documentArea.top()}, frame, screen);
}

QPoint FirstToolsPlacement(const QWidget& mainWindow, QSize frame) {
    const QRect mainFrame = mainWindow.frameGeometry();
    QRect area = mainWindow.geometry();
    if (const auto* main = qobject_cast<const QMainWindow*>(&mainWindow); main && main->centralWidget()) {
        const QWidget* central = main->centralWidget();
        area = QRect(central->mapTo(&mainWindow, QPoint(0, 0)) + mainWindow.geometry().topLeft(), central->size());
    }
    return FirstToolsPlacement(mainFrame, area, AvailableScreenArea(mainWindow), frame);
}

QPoint FirstPalettePlacement(const QRect& tools, QSize frame, const QRect& screen) {
    QPoint at(tools.right() + 1 - frame.width(), tools.bottom() + 1);
    if (at.y() + frame.height() - 1 > screen.bottom()) at = QPoint(tools.left() - frame.width(), tools.top());
    return keptOnScreen(at, frame, screen);
}

}  // namespace kalmira
