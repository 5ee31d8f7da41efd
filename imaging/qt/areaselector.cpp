#include "qt/areaselector.h"

#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "qt/qimagebridge.h"

namespace imaging {

QPainterPath areaShapePath(CaptureControl::AreaShape shape, const QVector<QPoint>& points) {
    QPainterPath path;
    if (points.size() < 2) return path;
    const QRectF box = QRectF(QPointF(points.first()), QPointF(points.last())).normalized();
    switch (shape) {
    case CaptureControl::Rectangle: path.addRect(box); break;
    case CaptureControl::RoundedRectangle: {
        const double radius = std::min(box.width(), box.height()) / 6;
        path.addRoundedRect(box, radius, radius);
        break;
    }
    case CaptureControl::Ellipse: path.addEllipse(box); break;
    case CaptureControl::Triangle:
        path.moveTo((box.left() + box.right()) / 2, box.top());
        path.lineTo(box.bottomRight());
        path.lineTo(box.bottomLeft());
        path.closeSubpath();
        break;
    case CaptureControl::Polygon:
    case CaptureControl::FreeHand:
        path.moveTo(points.first());
        for (int i = 1; i < points.size(); ++i) path.lineTo(points[i]);
        path.closeSubpath();
        break;
    }
    return path;
}

Bitmap cutArea(const QImage& screen, const QPainterPath& shape, bool keepOutside) {
    const QRect bounds = shape.boundingRect().toAlignedRect().intersected(screen.rect());
    if (bounds.isEmpty()) return {};
    if (keepOutside) return fromQImage(screen.copy(bounds).convertToFormat(QImage::Format_RGB888));
    QImage cut(bounds.size(), QImage::Format_ARGB32);
    cut.fill(Qt::transparent);
    QPainter painter(&cut);
    painter.translate(-bounds.topLeft());
    painter.setClipPath(shape);
    painter.drawImage(0, 0, screen);
    painter.end();
    return fromQImage(cut);
}

AreaSelector::AreaSelector(const QImage& screen, CaptureControl::AreaShape shape)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::BypassWindowManagerHint),
      screen_(screen),
      shape_(shape) {
    setObjectName(QStringLiteral("AreaSelector"));
    setCursor(Qt::CrossCursor);
    setMouseTracking(true);
    setGeometry(QRect(QPoint(0, 0), screen.size()));
}

AreaSelector::~AreaSelector() = default;

bool AreaSelector::run() {
    QEventLoop loop;
    loop_ = &loop;
    show();
    activateWindow();
    grabKeyboard();
    const bool drawn = loop.exec() == 1;
    releaseKeyboard();
    hide();
    loop_ = nullptr;
    return drawn;
}

void AreaSelector::finish(bool drawn) {
    if (loop_) loop_->exit(drawn ? 1 : 0);
}

bool AreaSelector::dragShape() const { return shape_ != CaptureControl::Polygon; }

void AreaSelector::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, screen_);
    painter.fillRect(rect(), QColor(0, 0, 0, 60));
    QPen pen(Qt::white, 1, Qt::DashLine);
    painter.setPen(pen);
    if (shape_ == CaptureControl::Polygon && pressed_) {
        QPolygon open(points_);
        painter.drawPolyline(open);
    } else {
        painter.drawPath(Shape());
    }
}

void AreaSelector::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        // The right button ends a polygon (closing it) and cancels any other shape.
        finish(shape_ == CaptureControl::Polygon && points_.size() >= 3);
        return;
    }
    const QPoint at = event->position().toPoint();
    if (shape_ == CaptureControl::Polygon) {
        pressed_ = true;
        points_.append(at);
    } else {
        pressed_ = true;
        points_ = {at, at};
    }
    update();
}

void AreaSelector::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_ || !dragShape()) return;
    const QPoint at = event->position().toPoint();
    if (shape_ == CaptureControl::FreeHand) points_.append(at);
    else points_.last() = at;
    update();
}

void AreaSelector::mouseReleaseEvent(QMouseEvent* event) {
    if (!pressed_ || !dragShape() || event->button() != Qt::LeftButton) return;
    pressed_ = false;
    const QRectF box = Shape().boundingRect();
    finish(box.width() >= 2 && box.height() >= 2);
}

void AreaSelector::mouseDoubleClickEvent(QMouseEvent*) {
    if (shape_ == CaptureControl::Polygon && points_.size() >= 3) finish(true);
}

void AreaSelector::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) finish(false);
    else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && shape_ == CaptureControl::Polygon)
        finish(points_.size() >= 3);
}

}  // namespace imaging
