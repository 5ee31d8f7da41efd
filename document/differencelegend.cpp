#include "document/differencelegend.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>

#include "quality/difference.h"

namespace kalmira {

namespace {

constexpr int kPadding = 4;
constexpr int kBarHeight = 10;
constexpr int kTicks = 4;  // the scale's stops after 0

}  // namespace

DifferenceLegend::DifferenceLegend(QWidget& picture) : QWidget(&picture) {
    setObjectName(QStringLiteral("DifferenceLegend"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    QFont small = font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.85));
    setFont(small);
    picture.installEventFilter(this);
    hide();
}

void DifferenceLegend::SetContent(const QStringList& lines, bool scale) {
    lines_ = lines;
    scale_ = scale;
    place();
    update();
}

QSize DifferenceLegend::sizeHint() const {
    const QFontMetrics metrics(font());
    int width = metrics.horizontalAdvance(QStringLiteral("0000 0000 0000 0000 0000+"));
    for (const QString& line : lines_) width = std::max(width, metrics.horizontalAdvance(line));
    int height = static_cast<int>(lines_.size()) * metrics.height();
    if (scale_) height += kBarHeight + 2 + metrics.height();
    return {width + 2 * kPadding, height + 2 * kPadding};
}

bool DifferenceLegend::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parent() && event->type() == QEvent::Resize) place();
    return QWidget::eventFilter(watched, event);
}

void DifferenceLegend::place() {
    const QWidget* picture = parentWidget();
    const QSize size = sizeHint();
    resize(size);
    move(0, std::max(0, picture->height() - size.height()));
}

void DifferenceLegend::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 190));
    const QFontMetrics metrics(font());
    painter.setPen(Qt::white);
    int y = kPadding;
    for (const QString& line : lines_) {
        painter.drawText(QRect(kPadding, y, width() - 2 * kPadding, metrics.height()), Qt::AlignLeft | Qt::AlignVCenter, line);
        y += metrics.height();
    }
    if (!scale_) return;
    // The bar: one column per step of the scale, so it shows exactly the colours the pictures use.
    const int barWidth = width() - 2 * kPadding;
    const int full = imaging::kDifferenceFullScale;
    for (int x = 0; x < barWidth; ++x) {
        const int span = std::max(1, barWidth - 1);
        const int error = (x * full * 2 + span) / (2 * span);
        const imaging::Rgb c = imaging::differenceColour(error);
        painter.fillRect(QRect(kPadding + x, y + 1, 1, kBarHeight), QColor(imaging::redOf(c), imaging::greenOf(c), imaging::blueOf(c)));
    }
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(QRect(kPadding, y + 1, barWidth - 1, kBarHeight - 1));
    painter.setPen(Qt::white);
    y += kBarHeight + 2;
    for (int k = 0; k <= kTicks; ++k) {
        QString label = QString::number(full * k / kTicks);
        if (k == kTicks) label += QLatin1Char('+');
        const int x = kPadding + (barWidth - 1) * k / kTicks;
        const int w = metrics.horizontalAdvance(label);
        const int left = std::clamp(x - w / 2, kPadding, width() - kPadding - w);
        painter.drawText(QRect(left, y, w, metrics.height()), Qt::AlignCenter, label);
    }
}

}  // namespace kalmira
