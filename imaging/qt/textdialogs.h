#pragma once
// The add-text dialog of the dialogs control: the user types a text and chooses its font,
// colours, alignment, angle, 3D look and shadow, seeing it drawn on the picture; the program
// reads the choice after OK and draws the text onto the Original itself.
//
// An interface only: what Insert 3D Text requires. ShowAddText returns 0 when the user pressed
// OK, kDialogCancelled when the user cancelled (nothing is to be drawn), or another error number.

#include "core/bitmap.h"
#include "core/color.h"
#include "qt/imagedialogs.h"

#include <QFont>
#include <QString>
#include <cstdint>

class QWidget;

namespace imaging {

class TextDialogs {
public:
    static constexpr int kDialogCancelled = ImageDialogs::kDialogCancelled;

    virtual ~TextDialogs() = default;

    // The picture the dialog draws its preview on, not owned: it must outlive the dialog;
    // nullptr releases it. The dialog never changes it.
    virtual void SetBitmap(const Bitmap* bitmap) = 0;
    virtual void SetFlags(std::uint32_t flags) = 0;
    // Window title; empty gives the dialog's own.
    virtual void SetTitle(const QString& title) = 0;

    virtual int ShowAddText(QWidget* owner) = 0;
    virtual QString Text() const = 0;
    virtual QFont TextFont() const = 0;
    virtual Rgb TextColor() const = 0;
    virtual int TextAlignment() const = 0;
    virtual int TextAngle() const = 0;
    virtual Rgb TextHighlightColor() const = 0;
    virtual int TextStyle() const = 0;  // the 3D look
    virtual Rgb ShadowColor() const = 0;
    virtual int ShadowXDepth() const = 0;
    virtual int ShadowYDepth() const = 0;
    virtual bool TextWordWrap() const = 0;
    // True when the letters are to be filled with the foreground image instead of the colour.
    virtual bool UsesForegroundImage() const = 0;
    virtual void SetForegroundImage(const Bitmap* image) = 0;
    virtual const Bitmap* ForegroundImage() const = 0;
};

}  // namespace imaging
