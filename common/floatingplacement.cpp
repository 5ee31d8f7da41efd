#include "common/floatingplacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
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

// How far a window manager may shift a placed window for its frame, in pixels.
constexpr int kFrameAllowance = 64;

// Watches the leader for FollowUntilMoved; a child of the window it places.
class Follower : public QObject {
public:
    Follower(QWidget& leader, QWidget& window, std::function<QPoint()> placement)
        : QObject(&window), leader_(&leader), window_(window), placement_(std::move(placement)) {
        place();
        leader.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (watched == leader_ && (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show)) {
            // A window manager may shift a window by its frame; a user's move goes further.
            if ((window_.pos() - placed_).manhattanLength() > kFrameAllowance) {
                // The user gave the window a place of its own: it keeps it.
                leader_->removeEventFilter(this);
                deleteLater();
            } else {
                place();
            }
        }
        return false;
    }

private:
    void place() {
        placed_ = placement_();
        window_.move(placed_);
    }

    QPointer<QWidget> leader_;
    QWidget& window_;
    std::function<QPoint()> placement_;
    QPoint placed_;
};

}  // namespace

void FollowUntilMoved(QWidget& leader, QWidget& window, std::function<QPoint()> placement) {
    new Follower(leader, window, std::move(placement));
}

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
    // Right edges aligned; a palette wider than the tools window beside the main window's right
    // side would reach back over the main window, so it takes the tools window's left edge.
    const bool wider = frame.width() > tools.width();
    const bool onTheRight = tools.center().x() > screen.center().x();
    QPoint at(wider && onTheRight ? tools.left() : tools.right() + 1 - frame.width(), tools.bottom() + 1);
    if (at.y() + frame.height() - 1 > screen.bottom()) at = QPoint(tools.left() - frame.width(), tools.top());
    return keptOnScreen(at, frame, screen);
}

}  // namespace kalmira
