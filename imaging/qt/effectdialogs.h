#pragma once
// The engine's effect dialogs: one modal dialog per kind (effect, gamma, emboss, add noise,
// intensity detect, spatial filter, rotate/shear) showing the bitmap before and after the
// effect, side by side on a scaled-down view that runs the real operation at every change, so
// it keeps up while a slider moves. The program seeds the values, shows the dialog and reads the
// values back on OK; the bitmap itself is never changed.
//
// Values are in the engine's units (operation_table.h): an effect value of 500 is a
// brightness of +50 %, angles are hundredths of a degree.

#include "qt/imagedialogs.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

class QDialog;

namespace imaging {

class EffectDialogs : public ImageDialogs {
public:
    // Texts of the dialogs by the program's text ids (the labels use 6430..6466, the effect
    // names the tools window's operation names); without a source the English texts are used.
    using TextSource = std::function<QString(int id)>;
    void SetTextSource(TextSource source) { texts_ = std::move(source); }

    // Largest size of each of the two views, in pixels.
    static constexpr int kPreviewWidth = 320;
    static constexpr int kPreviewHeight = 240;

    // Tests and scripts drive a dialog through this: it is called with the dialog once it is
    // built and before it runs; a hook that closes the dialog (accept or reject) ends it there.
    using ShowHook = std::function<void(QDialog& dialog)>;
    static ShowHook SetShowHook(ShowHook hook);

    // The operation and arguments a dialog of this kind previews for the given values, with
    // window and tile sizes scaled by `scale` (the preview's size / the source's size).
    struct Operation {
        std::string name;
        std::vector<long> args;
    };
    static Operation EffectOperation(std::uint32_t flag, int value, double scale = 1.0);

    void SetBitmap(const Bitmap* bitmap) override { bitmap_ = bitmap; }
    void SetFlags(std::uint32_t flags) override { flags_ = flags; }
    void SetTitle(const QString& title) override { title_ = title; }

    void SetFileName(const QString& fileName) override { fileName_ = fileName; }
    QString FileName() const override { return fileName_; }
    void SetFilter(const QString& filter) override { filter_ = filter; }
    void SetInitialDirectory(const QString& folder) override { folder_ = folder; }
    void SetFileOption(int option) override { (void)option; }
    int ShowOpenFile(QWidget* owner) override;

    void SetEffectValue(int value) override { effectValue_ = value; }
    int EffectValue() const override { return effectValue_; }
    int ShowEffect(QWidget* owner) override;

    void SetGamma(int gamma) override { gamma_ = gamma; }
    int Gamma() const override { return gamma_; }
    int ShowGamma(QWidget* owner) override;

    void SetEmbossDepth(int depth) override { embossDepth_ = depth; }
    int EmbossDepth() const override { return embossDepth_; }
    void SetEmbossDirection(int direction) override { embossDirection_ = direction; }
    int EmbossDirection() const override { return embossDirection_; }
    int ShowEmboss(QWidget* owner) override;

    void SetNoiseRange(int range) override { noiseRange_ = range; }
    int NoiseRange() const override { return noiseRange_; }
    void SetNoiseChannel(int channel) override { noiseChannel_ = channel; }
    int NoiseChannel() const override { return noiseChannel_; }
    int ShowAddNoise(QWidget* owner) override;

    void SetIntensityLow(int low) override { intensityLow_ = low; }
    int IntensityLow() const override { return intensityLow_; }
    void SetIntensityHigh(int high) override { intensityHigh_ = high; }
    int IntensityHigh() const override { return intensityHigh_; }
    int ShowIntensityDetect(QWidget* owner) override;

    void SetSpatialFilterKind(int kind) override { spatialKind_ = kind; }
    int SpatialFilterKind() const override { return spatialKind_; }
    int ShowSpatialFilter(QWidget* owner) override;

    void SetAngle(int hundredths) override { angle_ = hundredths; }
    int Angle() const override { return angle_; }
    void SetFillColor(Rgb color) override { fillColor_ = color; }
    Rgb FillColor() const override { return fillColor_; }
    void SetGeometrySwitch(bool on) override { geometrySwitch_ = on; }
    bool GeometrySwitch() const override { return geometrySwitch_; }
    int ShowRotateShear(QWidget* owner) override;

private:
    enum class Kind { Effect, Gamma, Emboss, AddNoise, IntensityDetect, SpatialFilter, RotateShear };
    int show(Kind kind, QWidget* owner);
    QString text(int id) const;

    TextSource texts_;
    const Bitmap* bitmap_ = nullptr;
    std::uint32_t flags_ = 0;
    QString title_;
    QString fileName_;
    QString filter_;
    QString folder_;
    int effectValue_ = 0;
    int gamma_ = 100;
    int embossDepth_ = 100;
    int embossDirection_ = 0;
    int noiseRange_ = 0;
    int noiseChannel_ = 0;
    int intensityLow_ = 0;
    int intensityHigh_ = 255;
    int spatialKind_ = 0;
    int angle_ = 0;
    Rgb fillColor_ = 0;
    bool geometrySwitch_ = false;
};

}  // namespace imaging
