#pragma once
// Drawing the area to capture: a still of the screen fills the screen, the user draws one of
// the six shapes on it, and the part inside the shape is cut out. Escape cancels.

#include <QImage>
#include <QPainterPath>
#include <QVector>
#include <QWidget>

#include "core/bitmap.h"
#include "qt/capturecontrol.h"

class QEventLoop;

namespace imaging {

// The outline of a shape from the points the user gave: the corners of the dragged box for
// rectangle, rounded rectangle, ellipse and triangle (apex in the middle of the top edge), every
// point for polygon and freehand. Fewer than two points give an empty path.
QPainterPath areaShapePath(CaptureControl::AreaShape shape, const QVector<QPoint>& points);

// The pixels of `screen` inside `shape`, cut to its bounds. Outside the shape they become
// transparent (32 bits) unless `keepOutside`, which keeps the bounding box whole (24 bits).
Bitmap cutArea(const QImage& screen, const QPainterPath& shape, bool keepOutside);

class AreaSelector : public QWidget {
    Q_OBJECT

public:
    AreaSelector(const QImage& screen, CaptureControl::AreaShape shape);
    ~AreaSelector() override;
    // Shows the still full screen and waits: true when a shape was drawn, false on Escape.
    bool run();
    QPainterPath Shape() const { return areaShapePath(shape_, points_); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void finish(bool drawn);
    bool dragShape() const;

    QImage screen_;
    CaptureControl::AreaShape shape_;
    QVector<QPoint> points_;
    bool pressed_ = false;
    QEventLoop* loop_ = nullptr;
};

}  // namespace imaging
