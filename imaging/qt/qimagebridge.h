#pragma once
// Bitmaps to and from QImage, for the widgets that draw, capture and exchange pictures with
// other programs. Both directions keep every pixel: palette pictures stay palette pictures.

#include <QImage>

#include "core/bitmap.h"

namespace imaging {

// Palette depths give Format_Indexed8 (a transparent entry gets alpha 0), 24 bits RGB888,
// 32 bits RGBA8888, 16 bits RGB32. An empty bitmap gives a null image.
QImage toQImage(const Bitmap& bitmap);

// Indexed images keep their colour table (8 bits), images with an alpha channel become 32-bit
// RGBA, everything else 24-bit RGB. A null image gives an empty bitmap.
Bitmap fromQImage(const QImage& image);

}  // namespace imaging
