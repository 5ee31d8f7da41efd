#include "shell/toolbaricons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>
#include <QStyle>

namespace kalmira {

namespace {

constexpr int kSize = 20;

// The pictures are drawn, not scaled: each is painted at one, two and three device pixels per
// point, so a desktop scaled for a high-density screen shows them sharp.
template <class Paint>
QIcon paintedIcon(Paint paint) {
    QIcon icon;
    for (int scale = 1; scale <= 3; ++scale) {
        QPixmap pixmap(kSize * scale, kSize * scale);
        pixmap.setDevicePixelRatio(scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// A numbered frame: the Variation toggles show which Variation they stand for.
QIcon variationIcon(int n) {
    return paintedIcon([n](QPainter& painter) {
        painter.setPen(QPen(QColor(40, 40, 40), 1.2));
        painter.setBrush(QColor(255, 244, 214));
        painter.drawRoundedRect(QRectF(1.5, 1.5, kSize - 3, kSize - 3), 3, 3);
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(12);
        painter.setFont(font);
        painter.setPen(QColor(150, 40, 20));
        painter.drawText(QRect(0, 0, kSize, kSize), Qt::AlignCenter, QString::number(n));
    });
}

void paintDrawn(QPainter& painter, const QString& key) {
    painter.setPen(QPen(QColor(40, 40, 40), 1.2));
    if (key == QLatin1String("Capture")) {
        painter.setBrush(QColor(200, 220, 245));
        painter.drawRect(QRectF(2.5, 3.5, 15, 11));
        painter.drawLine(QPointF(7, 17.5), QPointF(13, 17.5));
        painter.setPen(QPen(QColor(180, 30, 30), 1.5, Qt::DashLine));
        painter.drawRect(QRectF(6, 6, 8, 6));
    } else if (key == QLatin1String("Toolbox")) {
        painter.setBrush(QColor(230, 230, 230));
        painter.drawRect(QRectF(3.5, 2.5, 13, 15));
        painter.setBrush(QColor(90, 130, 200));
        for (int row = 0; row < 3; ++row) {
            painter.drawRect(QRectF(5.5, 4.5 + row * 4.5, 3, 3));
            painter.drawRect(QRectF(11.5, 4.5 + row * 4.5, 3, 3));
        }
    } else if (key == QLatin1String("Palette")) {
        const QColor colors[] = {QColor(220, 40, 40), QColor(240, 200, 40), QColor(40, 170, 60),
                                 QColor(40, 90, 220), QColor(160, 60, 200), QColor(30, 30, 30),
                                 QColor(250, 130, 30), QColor(40, 200, 200), QColor(255, 255, 255)};
        for (int i = 0; i < 9; ++i) {
            painter.setBrush(colors[i]);
            painter.drawRect(QRectF(2.5 + (i % 3) * 5, 2.5 + (i / 3) * 5, 5, 5));
        }
    } else if (key == QLatin1String("Copy")) {
        painter.setBrush(QColor(255, 255, 255));
        painter.drawRect(QRectF(2.5, 2.5, 10, 12));
        painter.drawRect(QRectF(7.5, 5.5, 10, 12));
        painter.setPen(QPen(QColor(120, 120, 120), 1));
        for (int row = 0; row < 3; ++row) {
            painter.drawLine(QPointF(9.5, 9 + row * 3), QPointF(15.5, 9 + row * 3));
        }
    } else if (key == QLatin1String("Paste")) {
        painter.setBrush(QColor(190, 140, 80));
        painter.drawRoundedRect(QRectF(2.5, 3.5, 13, 15), 1.5, 1.5);
        painter.setBrush(QColor(200, 200, 200));
        painter.drawRect(QRectF(6.5, 1.5, 5, 4));
        painter.setBrush(QColor(255, 255, 255));
        painter.drawRect(QRectF(8.5, 8.5, 9, 10));
    } else if (key == QLatin1String("Document")) {
        painter.setBrush(QColor(120, 170, 230));
        painter.drawRect(QRectF(1.5, 3.5, 17, 13));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(250, 240, 170));
        painter.drawEllipse(QPointF(14, 7.5), 2, 2);
        painter.setBrush(QColor(70, 130, 70));
        painter.drawPolygon(QPolygonF({QPointF(2, 16), QPointF(8, 8), QPointF(13, 16)}));
    } else if (key == QLatin1String("Difference")) {
        // A picture's outline over the difference view's own scale: dark where nothing
        // changed, bright where much did.
        painter.setPen(Qt::NoPen);
        const QColor scale[] = {QColor(0, 0, 0), QColor(0, 0, 255), QColor(255, 0, 0), QColor(255, 255, 0)};
        for (int i = 0; i < 4; ++i) {
            painter.setBrush(scale[i]);
            painter.drawRect(QRectF(2 + i * 4, 2, 4, 16));
        }
        painter.setPen(QPen(QColor(40, 40, 40), 1.2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(1.5, 1.5, 17, 17));
        painter.setPen(QPen(QColor(255, 255, 255), 1.5));
        painter.drawPolyline(QPolygonF({QPointF(3, 15), QPointF(8, 9), QPointF(12, 12), QPointF(17, 5)}));
    } else if (key == QLatin1String("Text")) {
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(16);
        QPainterPath path;
        path.addText(QPointF(3, 16), font, QStringLiteral("A"));
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(120, 120, 120));
        painter.drawPath(path.translated(2, 1));
        painter.setBrush(QColor(30, 80, 180));
        painter.drawPath(path);
    }
}

QIcon drawn(const QString& key) {
    return paintedIcon([&key](QPainter& painter) { paintDrawn(painter, key); });
}

}  // namespace

QIcon ToolbarIcon(const QString& key, const QStyle* style) {
    if (key.startsWith(QLatin1String("Variation"))) {
        return variationIcon(QStringView(key).mid(9).toInt());
    }
    struct Standard {
        const char* key;
        QStyle::StandardPixmap pixmap;
    };
    static const Standard standard[] = {
        {"New", QStyle::SP_FileIcon},          {"Open", QStyle::SP_DialogOpenButton},
        {"Save", QStyle::SP_DialogSaveButton}, {"Undo", QStyle::SP_ArrowBack},
    };
    for (const Standard& entry : standard) {
        if (key == QLatin1String(entry.key) && style) {
            return style->standardIcon(entry.pixmap);
        }
    }
    return drawn(key);
}

}  // namespace kalmira
