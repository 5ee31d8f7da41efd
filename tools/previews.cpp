#include "tools/previews.h"

#include <QAbstractButton>
#include <QFrame>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStringList>

#include <array>
#include <cstdint>
#include <type_traits>

#include "common/errortrap.h"
#include "common/routines.h"
#include "common/texts.h"
#include "core/error.h"
#include "document/frmdocument.h"
#include "qt/effectdialogs.h"
#include "tools/frmtools.h"
#include "tools/toolsnumbers.h"
#include "ui_frmTools.h"

namespace kalmira {

namespace {

constexpr int kTextPreview = 6401;         // "&Preview..."
constexpr int kTextAnimated = 5504;        // no operation on an animated GIF
constexpr int kTextReduceNoiseTitle = 5501;
constexpr int kTextSoftenTitle = 5502;
constexpr int kTextAngleOutOfRange = 5520;  // the dialog's angle is beyond the slider's range

using imaging::ImageDialogs;

// The tools window's own message box, so tests that answer it answer this one too.
void showToolsMessage(frmTools& tools, int textId, const QStringList& arguments = {}) {
    frmTools::MessageFunction current = frmTools::SetMessageFunction({});
    frmTools::SetMessageFunction(current);
    QString text = LoadText(textId);
    for (const QString& argument : arguments) text = text.arg(argument);
    if (current)
        current(text);
    else
        QMessageBox::information(&tools, QString(), text);
}

// The dialog gives engine units; the sliders of these operations hold a tenth of them.
int tenth(int value) { return RoundHalfEven(value / 10.0); }

// A rotation in whole degrees as the Rotate slider holds it (1..360): the same turn, so -30
// is 330 and 0 is a full turn, 360.
int rotateSliderDegrees(long hundredths) {
    const long degrees = RoundHalfEven(hundredths / 100.0) % 360;
    return static_cast<int>(degrees <= 0 ? degrees + 360 : degrees);
}

}  // namespace

FilterPreviews::FilterPreviews(frmTools& tools) : QObject(&tools), tools_(tools) {
    setObjectName(QStringLiteral("FilterPreviews"));
    struct Entry {
        const char* frame;
        const char* name;
        void (FilterPreviews::*handler)();
    };
    const std::array<Entry, 20> entries = {{
        {"FrameColorCorrection1", "cmdPreviewColorCorrectionBrightness", &FilterPreviews::cmdPreviewColorCorrectionBrightness_Click},
        {"FrameColorCorrection2", "cmdPreviewColorCorrectionGamma", &FilterPreviews::cmdPreviewColorCorrectionGamma_Click},
        {"FrameColorCorrection3", "cmdPreviewColorCorrectionContrast", &FilterPreviews::cmdPreviewColorCorrectionContrast_Click},
        {"FrameColorCorrection4", "cmdPreviewColorCorrectionHistoContrast", &FilterPreviews::cmdPreviewColorCorrectionHistoContrast_Click},
        {"FrameColorCorrection7", "cmdPreviewColorCorrectionHue", &FilterPreviews::cmdPreviewColorCorrectionHue_Click},
        {"FrameColorCorrection8", "cmdPreviewColorCorrectionSaturation", &FilterPreviews::cmdPreviewColorCorrectionSaturation_Click},
        {"FrameFilters1", "cmdPreviewFiltersHalftone", &FilterPreviews::cmdPreviewFiltersHalftone_Click},
        {"FrameFilters2", "cmdPreviewFiltersSharpen", &FilterPreviews::cmdPreviewFiltersSharpen_Click},
        {"FrameFilters3", "cmdPreviewFiltersPosterize", &FilterPreviews::cmdPreviewFiltersPosterize_Click},
        {"FrameFilters4", "cmdPreviewFiltersMosaic", &FilterPreviews::cmdPreviewFiltersMosaic_Click},
        {"FrameFilters5", "cmdPreviewFiltersEmboss", &FilterPreviews::cmdPreviewFiltersEmboss_Click},
        {"FrameFilters6", "cmdPreviewFiltersSoften", &FilterPreviews::cmdPreviewFiltersSoften_Click},
        {"FrameFilters7", "cmdPreviewFiltersOilify", &FilterPreviews::cmdPreviewFiltersOilify_Click},
        {"FrameFilters8", "cmdPreviewFiltersReduceNoise", &FilterPreviews::cmdPreviewFiltersReduceNoise_Click},
        {"FrameFilters9", "cmdPreviewFiltersAddNoise", &FilterPreviews::cmdPreviewFiltersAddNoise_Click},
        {"FrameFilters10", "cmdPreviewFiltersIntensityDetect", &FilterPreviews::cmdPreviewFiltersIntensityDetect_Click},
        {"FrameFilters11", "cmdPreviewFiltersEdgeDetection", &FilterPreviews::cmdPreviewFiltersEdgeDetection_Click},
        {"FrameFilters12", "cmdPreviewFiltersLineDetection", &FilterPreviews::cmdPreviewFiltersLineDetection_Click},
        {"FrameSpecial1", "cmdPreviewSpecialRotate", &FilterPreviews::cmdPreviewSpecialRotate_Click},
        {"FrameSpecial2", "cmdPreviewSpecialShear", &FilterPreviews::cmdPreviewSpecialShear_Click},
    }};
    for (const Entry& entry : entries) addButton(entry.frame, QString::fromLatin1(entry.name), entry.handler);
}

FilterPreviews::~FilterPreviews() = default;

void FilterPreviews::addButton(const char* frameName, const QString& name, void (FilterPreviews::*handler)()) {
    auto* frame = tools_.findChild<QFrame*>(QString::fromLatin1(frameName));
    if (!frame) return;
    auto* button = new QPushButton(LoadText(kTextPreview), frame);
    button->setObjectName(name);
    // Bottom right of the frame, where no frame of the window has controls.
    const QSize size(std::max(104, button->sizeHint().width()), 24);
    button->setGeometry(frame->width() - size.width() - 8, frame->height() - size.height() - 4, size.width(), size.height());
    connect(button, &QPushButton::clicked, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
}

QPushButton* FilterPreviews::Button(const QString& name) const { return tools_.findChild<QPushButton*>(name); }

imaging::ImageDialogs& FilterPreviews::Dialogs() {
    if (dialogs_) return *dialogs_;
    if (!own_) {
        own_ = std::make_unique<imaging::EffectDialogs>();
        own_->SetTextSource([](int id) { return LoadText(id); });
    }
    return *own_;
}

template <class Seed, class Show, class WriteBack>
void FilterPreviews::run(std::uint32_t flag, int titleId, Seed seed, Show show, WriteBack writeBack) {
    frmDocument* document = tools_.ActiveDocument();
    if (!document) return;
    const imaging::ImageControl& original = document->picOriginal();
    // The operation would be refused after the dialog; say so before it opens.
    if (IsAnimatedImage(original)) {
        showToolsMessage(tools_, kTextAnimated);
        return;
    }
    ImageDialogs& dialogs = Dialogs();
    seed(dialogs);
    dialogs.SetFlags(ImageDialogs::kEffectDialogFlags | flag);
    dialogs.SetTitle(titleId ? LoadText(titleId) : QString());
    // With a selection the dialog previews the selection's area, where the operation will act.
    imaging::Bitmap selection;
    if (original.HasRgn()) selection = original.CopyRect(original.Rgn()->bounds());
    dialogs.SetBitmap(selection.empty() ? &original.Bitmap() : &selection);
    // The dialog is application modal: no other document can become active while it is open.
    int result = 0;
    {
        struct Release {
            ImageDialogs& dialogs;
            ~Release() { dialogs.SetBitmap(nullptr); }
        } release{dialogs};
        result = show(dialogs);
    }
    if (result == ImageDialogs::kDialogCancelled) return;
    if (result != 0)
        throw imaging::Error(static_cast<imaging::ErrorCode>(result), "effect dialog: the dialog could not be shown");
    // A write-back that answers false found a value the palette cannot hold: it has said so,
    // and nothing is applied.
    if constexpr (std::is_void_v<std::invoke_result_t<WriteBack, ImageDialogs&>>) {
        writeBack(dialogs);
    } else if (!writeBack(dialogs)) {
        return;
    }
    tools_.CommandApply_Click();
}

void FilterPreviews::effect(std::uint32_t flag, const char* sliderName, int seedScale, int titleId) {
    QSlider* slider = tools_.findChild<QSlider*>(QString::fromLatin1(sliderName));
    if (!slider) return;
    // Sliders of a tenth of the engine's units open the dialog at their present value and take
    // the dialog's value back divided by ten.
    run(flag, titleId, [&](ImageDialogs& d) { d.SetEffectValue(slider->value() * seedScale); },
        [this](ImageDialogs& d) { return d.ShowEffect(&tools_); },
        [&](ImageDialogs& d) { slider->setValue(seedScale == 10 ? tenth(d.EffectValue()) : d.EffectValue()); });
}

void FilterPreviews::cmdPreviewColorCorrectionBrightness_Click() { effect(ImageDialogs::Brightness, "SliderBrightness", 10); }
void FilterPreviews::cmdPreviewColorCorrectionContrast_Click() { effect(ImageDialogs::Contrast, "SliderContrast", 10); }
void FilterPreviews::cmdPreviewColorCorrectionHistoContrast_Click() {
    effect(ImageDialogs::HistoContrast, "SliderHistoContrast", 10);
}
void FilterPreviews::cmdPreviewColorCorrectionSaturation_Click() { effect(ImageDialogs::Saturation, "SliderSaturation", 10); }
void FilterPreviews::cmdPreviewColorCorrectionHue_Click() { effect(ImageDialogs::Hue, "SliderHue", 1); }
void FilterPreviews::cmdPreviewFiltersHalftone_Click() { effect(ImageDialogs::Halftone, "SliderHalftoneAngle", 1); }
void FilterPreviews::cmdPreviewFiltersSharpen_Click() { effect(ImageDialogs::Sharpen, "SliderSharpen", 10); }
void FilterPreviews::cmdPreviewFiltersPosterize_Click() { effect(ImageDialogs::Posterize, "SliderPosterize", 1); }
void FilterPreviews::cmdPreviewFiltersMosaic_Click() { effect(ImageDialogs::Mosaic, "SliderMosaic", 1); }
void FilterPreviews::cmdPreviewFiltersSoften_Click() { effect(ImageDialogs::Soften, "SliderSoften", 1, kTextSoftenTitle); }
void FilterPreviews::cmdPreviewFiltersReduceNoise_Click() {
    effect(ImageDialogs::ReduceNoise, "SliderReduceNoise", 1, kTextReduceNoiseTitle);
}
void FilterPreviews::cmdPreviewFiltersOilify_Click() { effect(ImageDialogs::Oilify, "SliderOilify", 1); }

void FilterPreviews::cmdPreviewColorCorrectionGamma_Click() {
    QSlider* slider = tools_.ui().SliderGammaCorrect;
    run(0, 0, [&](ImageDialogs& d) { d.SetGamma(slider->value()); }, [this](ImageDialogs& d) { return d.ShowGamma(&tools_); },
        [&](ImageDialogs& d) { slider->setValue(d.Gamma()); });
}

void FilterPreviews::cmdPreviewFiltersEmboss_Click() {
    Ui::frmTools& u = tools_.ui();
    const std::array<QAbstractButton*, 8> directions = {u.OptionEmboss_N,  u.OptionEmboss_NE, u.OptionEmboss_E,
                                                        u.OptionEmboss_SE, u.OptionEmboss_S,  u.OptionEmboss_SW,
                                                        u.OptionEmboss_W,  u.OptionEmboss_NW};
    run(
        0, 0,
        [&](ImageDialogs& d) {
            d.SetEmbossDepth(u.SliderEmbossDepth->value() * 10);
            int direction = 0;
            for (int k = 7; k >= 0; --k)
                if (directions[static_cast<std::size_t>(k)]->isChecked()) direction = k;
            d.SetEmbossDirection(direction);
        },
        [this](ImageDialogs& d) { return d.ShowEmboss(&tools_); },
        [&](ImageDialogs& d) {
            u.SliderEmbossDepth->setValue(tenth(d.EmbossDepth()));
            const int direction = d.EmbossDirection();
            if (direction >= 0 && direction < 8) directions[static_cast<std::size_t>(direction)]->setChecked(true);
        });
}

void FilterPreviews::cmdPreviewFiltersAddNoise_Click() {
    Ui::frmTools& u = tools_.ui();
    const std::array<QAbstractButton*, 4> channels = {u.OptionAddNoiseChannelMaster, u.OptionAddNoiseChannelRed,
                                                      u.OptionAddNoiseChannelGreen, u.OptionAddNoiseChannelBlue};
    run(
        0, 0,
        [&](ImageDialogs& d) {
            // The slider holds the engine's range already (its text shows a tenth of it).
            d.SetNoiseRange(u.SliderAddNoiseRange->value());
            int channel = 0;
            for (int k = 3; k >= 0; --k)
                if (channels[static_cast<std::size_t>(k)]->isChecked()) channel = k;
            d.SetNoiseChannel(channel);
        },
        [this](ImageDialogs& d) { return d.ShowAddNoise(&tools_); },
        [&](ImageDialogs& d) {
            u.SliderAddNoiseRange->setValue(d.NoiseRange());
            const int channel = d.NoiseChannel();
            if (channel >= 0 && channel < 4) channels[static_cast<std::size_t>(channel)]->setChecked(true);
        });
}

void FilterPreviews::cmdPreviewFiltersIntensityDetect_Click() {
    Ui::frmTools& u = tools_.ui();
    run(
        0, 0,
        [&](ImageDialogs& d) {
            d.SetIntensityLow(u.SliderIntensityDetectLow->value());
            d.SetIntensityHigh(u.SliderIntensityDetectHigh->value());
        },
        [this](ImageDialogs& d) { return d.ShowIntensityDetect(&tools_); },
        [&](ImageDialogs& d) {
            u.SliderIntensityDetectLow->setValue(d.IntensityLow());
            u.SliderIntensityDetectHigh->setValue(d.IntensityHigh());
        });
}

void FilterPreviews::cmdPreviewFiltersEdgeDetection_Click() {
    Ui::frmTools& u = tools_.ui();
    const bool sobel = u.OptionEdgeDetectionSobel->isChecked();
    run(
        sobel ? ImageDialogs::SobelEdges : ImageDialogs::PrewittEdges, 0,
        [&](ImageDialogs& d) {
            // The dialog opens at the kind the buttons show.
            d.SetSpatialFilterKind((sobel ? 22 : 24) + (u.OptionEdgeDetectionHorizontal->isChecked() ? 0 : 1));
        },
        [this](ImageDialogs& d) { return d.ShowSpatialFilter(&tools_); },
        [&](ImageDialogs& d) {
            const int kind = d.SpatialFilterKind();
            // Any other kind leaves the buttons as they are; the operation still runs.
            if (kind < 22 || kind > 25) return;
            (kind <= 23 ? u.OptionEdgeDetectionSobel : u.OptionEdgeDetectionPrewitt)->setChecked(true);
            ((kind - 22) % 2 == 0 ? u.OptionEdgeDetectionHorizontal : u.OptionEdgeDetectionVertical)->setChecked(true);
        });
}

void FilterPreviews::cmdPreviewFiltersLineDetection_Click() {
    Ui::frmTools& u = tools_.ui();
    const std::array<QAbstractButton*, 4> lines = {u.OptionLineDetectHorizontal, u.OptionLineDetectVertical,
                                                   u.OptionLineDetectLeftToRight, u.OptionLineDetectRightToLeft};
    run(
        ImageDialogs::Lines, 0,
        [&](ImageDialogs& d) {
            for (int k = 0; k < 4; ++k)
                if (lines[static_cast<std::size_t>(k)]->isChecked()) d.SetSpatialFilterKind(29 + k);
        },
        [this](ImageDialogs& d) { return d.ShowSpatialFilter(&tools_); },
        [&](ImageDialogs& d) {
            const int kind = d.SpatialFilterKind();
            if (kind >= 29 && kind <= 32) lines[static_cast<std::size_t>(kind - 29)]->setChecked(true);
        });
}

void FilterPreviews::cmdPreviewSpecialRotate_Click() {
    Ui::frmTools& u = tools_.ui();
    run(
        ImageDialogs::RotateDialog, 0,
        [&](ImageDialogs& d) {
            d.SetAngle(u.SliderRotate->value() * 100);
            d.SetFillColor(frmTools::SwatchColor(u.FrameRotateColor));
            d.SetGeometrySwitch(u.CheckRotateResize->isChecked());
        },
        [this](ImageDialogs& d) { return d.ShowRotateShear(&tools_); },
        [&](ImageDialogs& d) {
            u.SliderRotate->setValue(rotateSliderDegrees(d.Angle()));
            frmTools::SetSwatchColor(u.FrameRotateColor, d.FillColor());
            u.CheckRotateResize->setChecked(d.GeometrySwitch());
        });
}

void FilterPreviews::cmdPreviewSpecialShear_Click() {
    Ui::frmTools& u = tools_.ui();
    run(
        ImageDialogs::ShearDialog, 0,
        [&](ImageDialogs& d) {
            d.SetAngle(u.SliderShear->value() * 100);
            d.SetFillColor(frmTools::SwatchColor(u.FrameShearColor));
            d.SetGeometrySwitch(u.OptionShearHorizontal->isChecked());
        },
        [this](ImageDialogs& d) { return d.ShowRotateShear(&tools_); },
        [&](ImageDialogs& d) {
            // A shear beyond the slider's range has no turn it equals: the slider would clamp it
            // silently and apply another angle than the dialog showed.
            const long degrees = RoundHalfEven(d.Angle() / 100.0);
            if (degrees < u.SliderShear->minimum() || degrees > u.SliderShear->maximum()) {
                showToolsMessage(tools_, kTextAngleOutOfRange, {QString::number(d.Angle() / 100.0),
                                                                QString::number(u.SliderShear->minimum()),
                                                                QString::number(u.SliderShear->maximum())});
                return false;
            }
            u.SliderShear->setValue(static_cast<int>(degrees));
            frmTools::SetSwatchColor(u.FrameShearColor, d.FillColor());
            (d.GeometrySwitch() ? u.OptionShearHorizontal : u.OptionShearVertical)->setChecked(true);
            return true;
        });
}

}  // namespace kalmira
