#pragma once
// The engine's add-text dialog: the text, its font and colours, alignment, angle, 3D look,
// shadow, word wrap and an optional image that fills the letters, with a live preview of the
// text on the picture. Captions carry text ids in their "Tag" property (English as written
// here), so the program can localise the dialog like its own windows.

#include <QDialog>
#include <QFont>

#include <functional>

#include "core/bitmap.h"
#include "qt/textdrawing.h"

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace imaging {

// What the user chose; the dialog starts from these values and hands them back on OK.
struct AddTextSettings {
    QString text;
    QFont font;
    Rgb textColor = 0;
    int alignment = 0;  // TextAlignment
    int angle = 0;      // degrees
    Rgb highlightColor = 0xFFFFFF;
    int style = static_cast<int>(TextLook::Raised);
    Rgb shadowColor = 0x808080;
    int shadowXDepth = 2;
    int shadowYDepth = 2;
    bool wordWrap = true;
    bool useForeground = false;
    Bitmap foreground;
};

class AddTextDialog : public QDialog {
    Q_OBJECT

public:
    // `picture` is previewed (not changed, not owned; may be empty). Pick functions, when set,
    // replace the colour and file dialogs (tests answer them without a window).
    AddTextDialog(const Bitmap* picture, const AddTextSettings& start, QWidget* owner = nullptr);
    ~AddTextDialog() override;

    AddTextSettings Settings() const;

    using ColorPicker = std::function<bool(Rgb& color)>;
    using ImagePicker = std::function<bool(Bitmap& image)>;
    void SetColorPicker(ColorPicker picker) { colorPicker_ = std::move(picker); }
    void SetImagePicker(ImagePicker picker) { imagePicker_ = std::move(picker); }

    // The preview as last drawn (the picture with the text, scaled to fit).
    QImage PreviewImage() const { return preview_; }

private:
    void build();
    void refreshPreview();
    void pickColor(Rgb& color, QPushButton* swatch);
    void pickForeground();
    static void showSwatch(QPushButton* swatch, Rgb color);

    const Bitmap* picture_;
    AddTextSettings values_;
    ColorPicker colorPicker_;
    ImagePicker imagePicker_;
    QImage preview_;

    QPlainTextEdit* text_ = nullptr;
    QFontComboBox* fontName_ = nullptr;
    QSpinBox* fontSize_ = nullptr;
    QCheckBox* bold_ = nullptr;
    QCheckBox* italic_ = nullptr;
    QCheckBox* underline_ = nullptr;
    QCheckBox* strikeout_ = nullptr;
    QPushButton* textColor_ = nullptr;
    QPushButton* highlightColor_ = nullptr;
    QPushButton* shadowColor_ = nullptr;
    QComboBox* alignment_ = nullptr;
    QSpinBox* angle_ = nullptr;
    QComboBox* style_ = nullptr;
    QSpinBox* shadowX_ = nullptr;
    QSpinBox* shadowY_ = nullptr;
    QCheckBox* wordWrap_ = nullptr;
    QCheckBox* foreground_ = nullptr;
    QPushButton* chooseForeground_ = nullptr;
    QLabel* previewLabel_ = nullptr;
};

// The rectangle the preview lays the text in: the whole picture less a margin of 5 pixels at
// the top and left when the picture is larger than that.
QRectF previewTextRect(int width, int height);

}  // namespace imaging
