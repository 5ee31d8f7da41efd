#pragma once
// The dialogs control: the engine's own modal dialogs. Each effect dialog previews its effect on
// a bitmap while the user adjusts it; the program seeds its values before showing it and reads
// them back on OK. The control also offers the Open dialog for image files. The add-text dialog
// that draws (3D) text onto an image is an interface of its own (TextDialogs, textdialogs.h):
// each implementation offers every dialog of its interface, none answers "unsupported".
//
// An interface only: what the program requires of these dialogs. Every Show method returns 0
// when the user pressed OK, kDialogCancelled when the user cancelled (the caller then ends its
// command silently, writing nothing back), or another error number.

#include "core/bitmap.h"
#include "core/color.h"

#include <QString>
#include <cstdint>

class QWidget;

namespace imaging {

class ImageDialogs {
public:
    static constexpr int kDialogCancelled = 20150;
    // Set in every effect dialog's flags; the kind's own flag bit is added to it.
    static constexpr std::uint32_t kEffectDialogFlags = 0x40000000;

    // The effect an "effect" dialog previews; the value is its flag bit.
    enum EffectFlag : std::uint32_t {
        Sharpen = 0x1,
        Brightness = 0x2,
        Contrast = 0x4,
        Saturation = 0x8,
        HistoContrast = 0x10,
        Hue = 0x20,
        Halftone = 0x40,
        Posterize = 0x80,
        Mosaic = 0x100,
        Soften = 0x200,
        ReduceNoise = 0x400,
        Oilify = 0x800,
    };
    // Flag bits of the spatial-filter dialog (edge detection by Sobel or Prewitt, line detection)
    // and of the rotate/shear dialog.
    enum SpatialFlag : std::uint32_t { SobelEdges = 0x4, PrewittEdges = 0x8, Lines = 0x20 };
    enum GeometryFlag : std::uint32_t { RotateDialog = 0x3, ShearDialog = 0x4 };

    virtual ~ImageDialogs() = default;

    // --- Common properties ----------------------------------------------------------------
    // The bitmap the next dialog works on, not owned: it must outlive the dialog; nullptr
    // releases it. The dialogs never change it.
    virtual void SetBitmap(const Bitmap* bitmap) = 0;
    virtual void SetFlags(std::uint32_t flags) = 0;
    // Window title; empty gives the dialog's own.
    virtual void SetTitle(const QString& title) = 0;

    // --- Open dialog for image files ------------------------------------------------------------
    // Filter in "description|pattern|description|pattern" form; the options are the engine's
    // own (the open command passes option 0 and flags 480).
    virtual void SetFileName(const QString& fileName) = 0;
    virtual QString FileName() const = 0;
    virtual void SetFilter(const QString& filter) = 0;
    virtual void SetInitialDirectory(const QString& folder) = 0;
    virtual void SetFileOption(int option) = 0;
    virtual int ShowOpenFile(QWidget* owner) = 0;

    // --- Effect dialog: one value -----------------------------------------------------------------
    virtual void SetEffectValue(int value) = 0;
    virtual int EffectValue() const = 0;
    virtual int ShowEffect(QWidget* owner) = 0;

    // --- Gamma ------------------------------------------------------------------------------
    virtual void SetGamma(int gamma) = 0;  // hundredths, as the gamma slider
    virtual int Gamma() const = 0;
    virtual int ShowGamma(QWidget* owner) = 0;

    // --- Emboss: depth and direction 0..7 (N, NE, E, SE, S, SW, W, NW) -------------------------
    virtual void SetEmbossDepth(int depth) = 0;
    virtual int EmbossDepth() const = 0;
    virtual void SetEmbossDirection(int direction) = 0;
    virtual int EmbossDirection() const = 0;
    virtual int ShowEmboss(QWidget* owner) = 0;

    // --- Add noise: range and channel (0 all, 1 red, 2 green, 3 blue) ---------------------------
    virtual void SetNoiseRange(int range) = 0;
    virtual int NoiseRange() const = 0;
    virtual void SetNoiseChannel(int channel) = 0;
    virtual int NoiseChannel() const = 0;
    virtual int ShowAddNoise(QWidget* owner) = 0;

    // --- Intensity detect: low and high intensity 0..255 -----------------------------------------
    virtual void SetIntensityLow(int low) = 0;
    virtual int IntensityLow() const = 0;
    virtual void SetIntensityHigh(int high) = 0;
    virtual int IntensityHigh() const = 0;
    virtual int ShowIntensityDetect(QWidget* owner) = 0;

    // --- Spatial filter: the kind it starts with (0: the first its flags offer) and the chosen
    // kind read back (22..25 edges, 29..32 lines) ------------------------------------------------
    virtual void SetSpatialFilterKind(int kind) = 0;
    virtual int SpatialFilterKind() const = 0;
    virtual int ShowSpatialFilter(QWidget* owner) = 0;

    // --- Rotate / shear: angle in hundredths of a degree, fill colour, and the resize (rotate) or
    // horizontal (shear) switch --------------------------------------------------------------------
    virtual void SetAngle(int hundredths) = 0;
    virtual int Angle() const = 0;
    virtual void SetFillColor(Rgb color) = 0;
    virtual Rgb FillColor() const = 0;
    virtual void SetGeometrySwitch(bool on) = 0;
    virtual bool GeometrySwitch() const = 0;
    virtual int ShowRotateShear(QWidget* owner) = 0;
};

}  // namespace imaging
