#pragma once
// The add-text dialog as the main window uses it for Insert 3D Text: the dialog with its values
// and the working bitmap it previews on. The next dialog starts from the user's last choice.

#include <functional>
#include <memory>

#include "qt/addtextdialog.h"
#include "qt/textdialogs.h"

namespace imaging {

class AddTextDialogs : public TextDialogs {
public:
    AddTextDialogs();
    ~AddTextDialogs() override;

    // Runs instead of the modal dialog's exec() (tests answer the dialog with it); it gets the
    // dialog ready to be read and returns whether the user pressed OK.
    using Runner = std::function<bool(AddTextDialog& dialog)>;
    void SetRunner(Runner runner) { runner_ = std::move(runner); }
    // Asked by "Choose image..." for the image that fills the letters.
    void SetImagePicker(AddTextDialog::ImagePicker picker) { imagePicker_ = std::move(picker); }

    void SetBitmap(const Bitmap* bitmap) override { bitmap_ = bitmap; }
    void SetFlags(std::uint32_t flags) override { flags_ = flags; }
    std::uint32_t Flags() const { return flags_; }
    void SetTitle(const QString& title) override { title_ = title; }

    int ShowAddText(QWidget* owner) override;
    QString Text() const override { return chosen_.text; }
    QFont TextFont() const override { return chosen_.font; }
    Rgb TextColor() const override { return chosen_.textColor; }
    int TextAlignment() const override { return chosen_.alignment; }
    int TextAngle() const override { return chosen_.angle; }
    Rgb TextHighlightColor() const override { return chosen_.highlightColor; }
    int TextStyle() const override { return chosen_.style; }
    Rgb ShadowColor() const override { return chosen_.shadowColor; }
    int ShadowXDepth() const override { return chosen_.shadowXDepth; }
    int ShadowYDepth() const override { return chosen_.shadowYDepth; }
    bool TextWordWrap() const override { return chosen_.wordWrap; }
    bool UsesForegroundImage() const override { return chosen_.useForeground; }
    void SetForegroundImage(const Bitmap* image) override;
    const Bitmap* ForegroundImage() const override;

private:
    const Bitmap* bitmap_ = nullptr;
    std::uint32_t flags_ = 0;
    QString title_;
    // The values the next dialog starts from: what the user chose the last time.
    AddTextSettings chosen_;
    Runner runner_;
    AddTextDialog::ImagePicker imagePicker_;
};

}  // namespace imaging
