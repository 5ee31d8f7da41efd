#pragma once
// The dialogs control as the main window uses it for Insert 3D Text: the add-text dialog with
// its values and the working bitmap it previews on. The effect dialogs of the tools window are
// not offered by this control; their Show methods answer Unsupported and change nothing.

#include <functional>
#include <memory>

#include "qt/addtextdialog.h"
#include "qt/imagedialogs.h"

namespace imaging {

class AddTextDialogs : public ImageDialogs {
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

    void SetFileName(const QString& fileName) override { fileName_ = fileName; }
    QString FileName() const override { return fileName_; }
    void SetFilter(const QString&) override {}
    void SetInitialDirectory(const QString&) override {}
    void SetFileOption(int) override {}
    int ShowOpenFile(QWidget*) override { return unsupported(); }

    void SetEffectValue(int) override {}
    int EffectValue() const override { return 0; }
    int ShowEffect(QWidget*) override { return unsupported(); }
    void SetGamma(int) override {}
    int Gamma() const override { return 0; }
    int ShowGamma(QWidget*) override { return unsupported(); }
    void SetEmbossDepth(int) override {}
    int EmbossDepth() const override { return 0; }
    void SetEmbossDirection(int) override {}
    int EmbossDirection() const override { return 0; }
    int ShowEmboss(QWidget*) override { return unsupported(); }
    void SetNoiseRange(int) override {}
    int NoiseRange() const override { return 0; }
    void SetNoiseChannel(int) override {}
    int NoiseChannel() const override { return 0; }
    int ShowAddNoise(QWidget*) override { return unsupported(); }
    void SetIntensityLow(int) override {}
    int IntensityLow() const override { return 0; }
    void SetIntensityHigh(int) override {}
    int IntensityHigh() const override { return 0; }
    int ShowIntensityDetect(QWidget*) override { return unsupported(); }
    int SpatialFilterKind() const override { return 0; }
    int ShowSpatialFilter(QWidget*) override { return unsupported(); }
    void SetAngle(int) override {}
    int Angle() const override { return 0; }
    void SetFillColor(Rgb) override {}
    Rgb FillColor() const override { return 0; }
    void SetGeometrySwitch(bool) override {}
    bool GeometrySwitch() const override { return false; }
    int ShowRotateShear(QWidget*) override { return unsupported(); }

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
    static int unsupported();

    const Bitmap* bitmap_ = nullptr;
    std::uint32_t flags_ = 0;
    QString title_;
    QString fileName_;
    // The values the next dialog starts from: what the user chose the last time.
    AddTextSettings chosen_;
    Runner runner_;
    AddTextDialog::ImagePicker imagePicker_;
};

}  // namespace imaging
