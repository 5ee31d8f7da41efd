#pragma once
// Text drawn into a picture with one of the 3D looks: the drawing state an image control keeps
// (font, colours, rectangle, style) and the one routine that paints it, which the add-text
// dialog's live preview uses too, so the preview is what DrawText will leave in the picture.

#include <QFont>
#include <QString>

#include "core/bitmap.h"
#include "core/color.h"

namespace imaging {

// The 3D looks of TextStyle.
enum class TextLook { Flat = 0, Raised = 1, Inset = 2, Shadowed = 3, Outlined = 4 };
// TextAlign values.
enum class TextAlignment { Left = 0, Right = 1, Center = 2 };

struct TextDrawing {
    QFont DrawFont;                  // the drawing font
    Rgb DrawFontColor = 0;           // letters
    bool DrawPersistence = true;     // drawing goes into the bitmap
    // The rectangle the text is laid out in, picture pixels (fractions allowed).
    double TextTop = 0;
    double TextLeft = 0;
    double TextWidth = 0;
    double TextHeight = 0;
    int TextAlign = 0;               // TextAlignment
    int TextAngle = 0;               // degrees, counter-clockwise
    Rgb TextHiliteColor = 0xFFFFFF;  // the lit edge of raised and inset letters, the outline
    int TextStyle = 0;               // TextLook
    Rgb ShadowColor = 0x808080;
    int ShadowXDepth = 2;            // pixels, may be negative
    int ShadowYDepth = 2;
    bool TextWordWrap = true;
    int PaintEffect = 0;             // kept for the callers; 0 paints at once
    int PaintPass = 1;
    int PaintMaxPasses = 1;
};

// Paints `text` into `target` as `state` says; `fill`, when given and not empty, fills the
// letters instead of DrawFontColor (tiled from the rectangle's corner). A palette picture
// becomes 24-bit, a 32-bit one keeps its alpha. Throws imaging::Error for an empty target or an
// empty rectangle.
void drawText(Bitmap& target, const TextDrawing& state, const QString& text, const Bitmap* fill = nullptr);

}  // namespace imaging
