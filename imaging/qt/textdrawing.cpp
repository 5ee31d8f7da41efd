#include "qt/textdrawing.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

#include "core/error.h"
#include "qt/qimagebridge.h"

namespace imaging {

namespace {

QColor toColor(Rgb c) { return QColor(redOf(c), greenOf(c), blueOf(c)); }

Qt::Alignment horizontalOf(int align) {
    switch (static_cast<TextAlignment>(align)) {
    case TextAlignment::Right: return Qt::AlignRight;
    case TextAlignment::Center: return Qt::AlignHCenter;
    default: return Qt::AlignLeft;
    }
}

// The text as outlines, laid out in a box of `width` at the origin: word-wrapped lines when
// wrapping is on, else the text's own lines; each line aligned within the box.
QPainterPath textOutline(const QString& text, const QFont& font, double width, bool wrap, int align) {
    QPainterPath path;
    const QFontMetricsF metrics(font);
    QTextOption option(horizontalOf(align));
    option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    double y = 0;
    const QStringList paragraphs = QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")).split(QLatin1Char('\n'));
    for (const QString& paragraph : paragraphs) {
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(std::max(1.0, width));
            const QString piece = paragraph.mid(line.textStart(), line.textLength()).trimmed();
            const double pieceWidth = metrics.horizontalAdvance(piece);
            double x = 0;
            if (horizontalOf(align) == Qt::AlignRight) x = width - pieceWidth;
            if (horizontalOf(align) == Qt::AlignHCenter) x = (width - pieceWidth) / 2;
            path.addText(QPointF(x, y + metrics.ascent()), font, piece);
            y += metrics.lineSpacing();
        }
        layout.endLayout();
        if (paragraph.isEmpty()) y += metrics.lineSpacing();
    }
    return path;
}

}  // namespace

void drawText(Bitmap& target, const TextDrawing& state, const QString& text, const Bitmap* fill) {
    if (target.empty()) fail(ErrorCode::NoImage, "text", "no picture to draw on");
    if (!(state.TextWidth > 0) || !(state.TextHeight > 0))
        fail(ErrorCode::InvalidArgument, "text", "the text rectangle is empty");
    if (!state.DrawPersistence) fail(ErrorCode::Unsupported, "text", "text is drawn into the picture only");
    if (text.isEmpty()) return;

    const bool alpha = target.bits() == 32;
    QImage canvas = toQImage(target).convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    const QRectF box(state.TextLeft, state.TextTop, state.TextWidth, state.TextHeight);
    const QPainterPath letters = textOutline(text, state.DrawFont, box.width(), state.TextWordWrap, state.TextAlign);

    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setClipRect(box);
    painter.translate(box.topLeft());
    if (state.TextAngle != 0) {
        // Turned about the middle of the text's own box, so the text stays where it was put.
        const QPointF middle = letters.boundingRect().center();
        painter.translate(middle);
        painter.rotate(-state.TextAngle);
        painter.translate(-middle);
    }
    const auto paintAt = [&](double dx, double dy, const QBrush& brush) {
        painter.fillPath(letters.translated(dx, dy), brush);
    };
    const QBrush hilite(toColor(state.TextHiliteColor));
    const QBrush shadow(toColor(state.ShadowColor));
    const int depthX = state.ShadowXDepth;
    const int depthY = state.ShadowYDepth;
    // The lit and dark edges of raised and inset letters grow with the letters, so they show at
    // every size rather than vanishing into the smoothing of a one-pixel sliver.
    const double edge = std::max(1.0, QFontMetricsF(state.DrawFont).height() / 20);
    switch (static_cast<TextLook>(state.TextStyle)) {
    case TextLook::Raised: {
        // Extruded towards the shadow side, lit on the opposite edge.
        const int steps = std::max(std::abs(depthX), std::abs(depthY));
        for (int i = steps; i >= 1; --i)
            paintAt(double(depthX) * i / steps, double(depthY) * i / steps, shadow);
        paintAt(depthX >= 0 ? -edge : edge, depthY >= 0 ? -edge : edge, hilite);
        break;
    }
    case TextLook::Inset:
        paintAt(depthX >= 0 ? -edge : edge, depthY >= 0 ? -edge : edge, shadow);
        paintAt(depthX >= 0 ? edge : -edge, depthY >= 0 ? edge : -edge, hilite);
        break;
    case TextLook::Shadowed: paintAt(depthX, depthY, shadow); break;
    case TextLook::Outlined: {
        QPen pen(toColor(state.TextHiliteColor), 2 * edge + 1);
        pen.setJoinStyle(Qt::RoundJoin);
        painter.strokePath(letters, pen);
        break;
    }
    case TextLook::Flat: break;
    }
    if (fill && !fill->empty()) {
        QBrush texture(toQImage(*fill).convertToFormat(QImage::Format_RGB32));
        painter.fillPath(letters, texture);
    } else {
        painter.fillPath(letters, QBrush(toColor(state.DrawFontColor)));
    }
    painter.end();

    Bitmap drawn = fromQImage(canvas);
    drawn.setTransparent(target.transparent());
    drawn.setTransparentColor(target.transparent() ? target.transparentRgb() : target.transparentColor());
    target = std::move(drawn);
}

}  // namespace imaging
