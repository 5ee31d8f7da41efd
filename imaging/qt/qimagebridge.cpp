#include "qt/qimagebridge.h"

#include <QList>

#include <algorithm>

namespace imaging {

QImage toQImage(const Bitmap& bitmap) {
    if (bitmap.empty()) return {};
    const int w = bitmap.width();
    const int h = bitmap.height();
    if (bitmap.isIndexed()) {
        QImage image(w, h, QImage::Format_Indexed8);
        QList<QRgb> table;
        table.reserve(static_cast<qsizetype>(bitmap.palette().size()));
        for (Rgb c : bitmap.palette()) table.append(qRgb(redOf(c), greenOf(c), blueOf(c)));
        // Indices past the palette would read outside the colour table.
        while (table.size() < 256) table.append(qRgb(0, 0, 0));
        if (bitmap.transparent()) {
            const Rgb key = bitmap.transparentColor();
            for (qsizetype i = 0; i < static_cast<qsizetype>(bitmap.palette().size()); ++i) {
                const Rgb c = bitmap.palette()[static_cast<std::size_t>(i)];
                if (isPaletteReference(key) ? i == paletteIndexOf(key) : c == (key & 0xFFFFFF)) {
                    table[i] = qRgba(redOf(c), greenOf(c), blueOf(c), 0);
                    if (isPaletteReference(key)) break;
                }
            }
        }
        image.setColorTable(table);
        for (int y = 0; y < h; ++y) std::copy_n(bitmap.row(y), w, image.scanLine(y));
        return image;
    }
    if (bitmap.bits() == 24) {
        QImage image(w, h, QImage::Format_RGB888);
        for (int y = 0; y < h; ++y) std::copy_n(bitmap.row(y), static_cast<std::size_t>(w) * 3, image.scanLine(y));
        return image;
    }
    if (bitmap.bits() == 32) {
        QImage image(w, h, QImage::Format_RGBA8888);
        for (int y = 0; y < h; ++y) std::copy_n(bitmap.row(y), static_cast<std::size_t>(w) * 4, image.scanLine(y));
        return image;
    }
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const Rgb c = bitmap.pixel(x, y);
            line[x] = qRgb(redOf(c), greenOf(c), blueOf(c));
        }
    }
    return image;
}

Bitmap fromQImage(const QImage& source) {
    if (source.isNull()) return {};
    const int w = source.width();
    const int h = source.height();
    if (source.format() == QImage::Format_Indexed8) {
        const QList<QRgb> table = source.colorTable();
        Bitmap bitmap(w, h, 8);
        bitmap.palette().assign(256, 0);
        int transparentIndex = -1;
        for (qsizetype i = 0; i < std::min<qsizetype>(table.size(), 256); ++i) {
            const QRgb c = table[i];
            bitmap.palette()[static_cast<std::size_t>(i)] = makeRgb(qRed(c), qGreen(c), qBlue(c));
            if (qAlpha(c) == 0 && transparentIndex < 0) transparentIndex = static_cast<int>(i);
        }
        for (int y = 0; y < h; ++y) std::copy_n(source.constScanLine(y), w, bitmap.row(y));
        if (transparentIndex >= 0) {
            bitmap.setTransparent(true);
            bitmap.setTransparentColor(kPaletteReference + static_cast<Rgb>(transparentIndex));
        }
        return bitmap;
    }
    if (source.hasAlphaChannel()) {
        const QImage image = source.convertToFormat(QImage::Format_RGBA8888);
        Bitmap bitmap(w, h, 32);
        for (int y = 0; y < h; ++y) std::copy_n(image.constScanLine(y), static_cast<std::size_t>(w) * 4, bitmap.row(y));
        return bitmap;
    }
    const QImage image = source.convertToFormat(QImage::Format_RGB888);
    Bitmap bitmap(w, h, 24);
    for (int y = 0; y < h; ++y) std::copy_n(image.constScanLine(y), static_cast<std::size_t>(w) * 3, bitmap.row(y));
    return bitmap;
}

}  // namespace imaging
