// The Original face of the tools window: the resize and crop ranges taken from the master
// picture, and the one routine that changes the master picture's pixels.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>

#include <string>
#include <vector>

#include "core/error.h"
#include "document/frmdocument.h"
#include "ops/operation_table.h"
#include "common/apperror.h"
#include "common/errortrap.h"
#include "common/routines.h"
#include "common/texts.h"
#include "tools/frmtools.h"
#include "tools/toolsnumbers.h"
#include "ui_frmTools.h"

namespace kalmira {

namespace {

// The crop anchor grid read row by row: 0 top left .. 8 bottom right; -1 when none is set.
int cropAnchor(const frmTools& tools) {
    for (int k = 0; k <= 8; ++k)
        if (auto* option = tools.findChild<QRadioButton*>(QStringLiteral("OptionCropDirection%1").arg(k));
            option && option->isChecked())
            return k;
    return -1;
}

struct Operation {
    std::string name;
    std::vector<long> args;
};

}  // namespace

void frmTools::FuelleReiterOriginal(frmDocument& document) {
    lastDocument_ = &document;
    if (document.FindeSelektierteGrafik() == 0) ShowOriginalFace();
    Ui::frmTools& u = *ui_;
    const imaging::ImageControl& original = document.picOriginal();
    // The ratio first, so that setting the two resize bars does not drag one by the other's
    // old ratio; the bars are set without the coupling.
    AktualisiereProportionen();
    pairLock_ = true;
    struct Unlock {
        bool& flag;
        ~Unlock() { flag = false; }
    } unlock{pairLock_};
    {
        // The Original is measured in pixels here whatever unit its control uses; a selection
        // is resized on its own, so its size takes the bitmap's place.
        const bool selection = original.HasRgn();
        const int w = selection ? original.RgnWidth() : original.BitmapWidth();
        const int h = selection ? original.RgnHeight() : original.BitmapHeight();
        u.HScrollResizeWidth->setMaximum(std::max(u.HScrollResizeWidth->minimum(), std::min(3 * w, kScrollBarLimit)));
        u.HScrollResizeHeight->setMaximum(std::max(u.HScrollResizeHeight->minimum(), std::min(3 * h, kScrollBarLimit)));
        int width = w;
        int height = h;
        SetControl(u.HScrollResizeWidth, width);
        SetControl(u.HScrollResizeHeight, height);
    }
    int cropW = original.BitmapWidth();
    int cropH = original.BitmapHeight();
    u.HScrollCropWidth->setMaximum(std::max(u.HScrollCropWidth->minimum(), std::min(cropW, kScrollBarLimit)));
    u.HScrollCropHeight->setMaximum(std::max(u.HScrollCropHeight->minimum(), std::min(cropH, kScrollBarLimit)));
    SetControl(u.HScrollCropWidth, cropW);
    SetControl(u.HScrollCropHeight, cropH);
}

void frmTools::AusfuehrenOriginalAenderungen() {
    frmDocument* document = ActiveDocument();
    if (!document) return;
    Ui::frmTools& u = *ui_;
    imaging::ImageControl& original = document->picOriginal();
    ShowBusyPointer();
    const bool ok = Guarded([&] {
        auto visible = [this](const QString& name) {
            const QWidget* frame = findChild<QWidget*>(name);
            return frame && !frame->isHidden();
        };
        auto value = [](const QAbstractSlider* slider) { return static_cast<long>(slider->value()); };
        auto checked = [](const QAbstractButton* button) { return button->isChecked(); };
        Operation op;
        if (visible(QStringLiteral("FrameOriginalTools1"))) {
            if (visible(QStringLiteral("FrameResize1"))) {
                const long flags = checked(u.CheckInterpolation) ? 2 : 0;
                op = {"Size", {RoundHalfEven(ReadNumber(u.TextResizeWidth->text())),
                               RoundHalfEven(ReadNumber(u.TextResizeHeight->text())), flags}};
                if (original.HasRgn()) {
                    document->ResizeRegion(static_cast<int>(op.args[0]), static_cast<int>(op.args[1]),
                                           static_cast<int>(flags));
                    op = {};
                }
            } else if (visible(QStringLiteral("FrameResize2"))) {
                if (cropSelectionRequest_ == 1) {
                    cropSelectionRequest_ = 0;
                    if (original.HasRgn()) {
                        if (const int error = original.CropToRgn(); error != 0)
                            throw AppError(error, original.LastErrorText());
                        document->picOriginal2().ClearBitmap();
                    } else {
                        showMessage(5500);
                    }
                } else {
                    const long w = RoundHalfEven(ReadNumber(u.TextCropWidth->text()));
                    const long h = RoundHalfEven(ReadNumber(u.TextCropHeight->text()));
                    const int anchor = cropAnchor(*this);
                    const long bw = original.BitmapWidth();
                    const long bh = original.BitmapHeight();
                    long left = 0;
                    long top = 0;
                    if (anchor >= 0) {
                        const int column = anchor % 3;
                        const int row = anchor / 3;
                        left = column == 0 ? 0 : column == 1 ? RoundHalfEven((bw - w) / 2.0) : bw - w;
                        top = row == 0 ? 0 : row == 1 ? RoundHalfEven((bh - h) / 2.0) : bh - h;
                    }
                    op = {"Trim", {left, top, w, h}};
                }
            }
        } else if (visible(QStringLiteral("FrameOriginalTools2"))) {
            const int k = u.ComboColorCorrection->currentIndex() + 1;
            switch (k) {
            case 1: op = {"Intensity", {value(u.SliderBrightness) * 10}}; break;
            case 2: op = {"GammaCorrect", {value(u.SliderGammaCorrect)}}; break;
            case 3: op = {"Contrast", {value(u.SliderContrast) * 10}}; break;
            case 4: op = {"HistoContrast", {value(u.SliderHistoContrast) * 10}}; break;
            case 5: op = {"StretchIntensity", {}}; break;
            case 6: op = {"Invert", {}}; break;
            case 7: op = {"Hue", {value(u.SliderHue)}}; break;
            case 8: op = {"Saturation", {value(u.SliderSaturation) * 10}}; break;
            case 9: op = {"HistoEqualize", {}}; break;
            case 10: op = {"Fill", {static_cast<long>(SwatchColor(u.FrameFillColor))}}; break;
            default: break;
            }
        } else if (visible(QStringLiteral("FrameOriginalTools3"))) {
            const int k = u.ComboFilters->currentIndex() + 1;
            switch (k) {
            case 1:
                // Type 1 is for display; 0 stands for printing.
                op = {"Halftone", {checked(u.OptionHalftoneDisplay) ? 1 : 0, value(u.SliderHalftoneAngle) * 100}};
                break;
            case 2: op = {"Sharpen", {value(u.SliderSharpen) * 10}}; break;
            case 3: op = {"Posterize", {value(u.SliderPosterize)}}; break;
            case 4: op = {"Mosaic", {value(u.SliderMosaic)}}; break;
            case 5: {
                const QAbstractButton* directions[] = {u.OptionEmboss_N,  u.OptionEmboss_NE, u.OptionEmboss_E,
                                                       u.OptionEmboss_SE, u.OptionEmboss_S,  u.OptionEmboss_SW,
                                                       u.OptionEmboss_W,  u.OptionEmboss_NW};
                long direction = 0;
                for (long d = 0; d < 8; ++d)
                    if (directions[d]->isChecked()) direction = d;
                op = {"Emboss", {direction, value(u.SliderEmbossDepth) * 10}};
                break;
            }
            case 6: op = {"Average", {value(u.SliderSoften)}}; break;
            case 7: op = {"Oilify", {value(u.SliderOilify)}}; break;
            case 8: op = {"Median", {value(u.SliderReduceNoise)}}; break;
            case 9: {
                const long channel = checked(u.OptionAddNoiseChannelRed)     ? 1
                                     : checked(u.OptionAddNoiseChannelGreen) ? 2
                                     : checked(u.OptionAddNoiseChannelBlue)  ? 3
                                                                             : 0;
                op = {"AddNoise", {value(u.SliderAddNoiseRange), channel}};
                break;
            }
            case 10: op = {"IntensityDetect", {value(u.SliderIntensityDetectLow), value(u.SliderIntensityDetectHigh)}}; break;
            case 11: {
                const bool sobel = checked(u.OptionEdgeDetectionSobel);
                const bool horizontal = checked(u.OptionEdgeDetectionHorizontal);
                op = {"SpatialFilter", {sobel ? (horizontal ? 22 : 23) : (horizontal ? 24 : 25)}};
                break;
            }
            case 12: {
                const long kind = checked(u.OptionLineDetectHorizontal)    ? 29
                                  : checked(u.OptionLineDetectVertical)    ? 30
                                  : checked(u.OptionLineDetectLeftToRight) ? 31
                                                                           : 32;
                op = {"SpatialFilter", {kind}};
                break;
            }
            default: break;
            }
        } else if (visible(QStringLiteral("FrameOriginalTools4"))) {
            const int k = u.ComboSpecial->currentIndex() + 1;
            switch (k) {
            case 1:
                if (original.HasRgn()) {
                    document->RotateRegion(value(u.SliderRotate) * 100, checked(u.CheckRotateResize));
                    break;
                }
                op = {"Rotate", {value(u.SliderRotate) * 100, checked(u.CheckRotateResize) ? 1 : 0,
                                 static_cast<long>(SwatchColor(u.FrameRotateColor))}};
                break;
            case 2:
                if (original.HasRgn()) {
                    document->ShearRegion(value(u.SliderShear) * 100, checked(u.OptionShearHorizontal));
                    break;
                }
                op = {"Shear", {value(u.SliderShear) * 100, checked(u.OptionShearHorizontal) ? 1 : 0,
                                static_cast<long>(SwatchColor(u.FrameShearColor))}};
                break;
            case 3:
                if (original.HasRgn()) {
                    document->FlipRegion(checked(u.OptionFlipVertical));
                    break;
                }
                op = {checked(u.OptionFlipVertical) ? "Reverse" : "Flip", {}};
                break;
            default: break;
            }
        }
        // Colour operations and filters change only the selected pixels when there is a selection.
        if (!op.name.empty()) {
            if (const int error = original.Apply(op.name, op.args); error != 0)
                throw AppError(error, original.LastErrorText());
        }
        // Lays the pictures out again once the Variations are encoded anew.
        document->picOriginalAendern();
    });
    // A failed operation leaves the hourglass to the next routine, as every failed routine does.
    if (ok) ShowDefaultPointer();
}

}  // namespace kalmira
