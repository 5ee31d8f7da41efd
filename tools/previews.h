#pragma once
// The "Preview..." buttons of the tools window's Original face. Each opens the engine's effect
// dialog for its operation (ImageDialogs) seeded with the tools window's present values and
// showing the Original before and after; OK writes the dialog's values back into the tools
// window's controls and runs the operation through CommandApply_Click, so it is applied and
// undoable exactly as if Apply had been pressed. Cancel changes nothing.
//
// Stretch Intensity, Invert, Histogram equalize, Fill Color, Flip and the resize group have no
// preview.

#include <QObject>

#include <memory>

class QPushButton;

namespace imaging {
class ImageDialogs;
class EffectDialogs;
}  // namespace imaging

namespace kalmira {

class frmTools;

class FilterPreviews : public QObject {
    Q_OBJECT

public:
    // Adds a preview button to every operation frame that has one; lives as long as `tools`.
    explicit FilterPreviews(frmTools& tools);
    ~FilterPreviews() override;

    // The dialogs the previews open (not owned); nullptr returns to the engine's own.
    void SetDialogs(imaging::ImageDialogs* dialogs) { dialogs_ = dialogs; }
    imaging::ImageDialogs& Dialogs();

    // The button of a handler, by its name without "_Click" (cmdPreviewFiltersEmboss).
    QPushButton* Button(const QString& name) const;

    void cmdPreviewColorCorrectionBrightness_Click();
    void cmdPreviewColorCorrectionContrast_Click();
    void cmdPreviewColorCorrectionHistoContrast_Click();
    void cmdPreviewColorCorrectionSaturation_Click();
    void cmdPreviewColorCorrectionHue_Click();
    void cmdPreviewColorCorrectionGamma_Click();
    void cmdPreviewFiltersHalftone_Click();
    void cmdPreviewFiltersSharpen_Click();
    void cmdPreviewFiltersPosterize_Click();
    void cmdPreviewFiltersMosaic_Click();
    void cmdPreviewFiltersSoften_Click();
    void cmdPreviewFiltersReduceNoise_Click();
    void cmdPreviewFiltersOilify_Click();
    void cmdPreviewFiltersEmboss_Click();
    void cmdPreviewFiltersAddNoise_Click();
    void cmdPreviewFiltersIntensityDetect_Click();
    void cmdPreviewFiltersEdgeDetection_Click();
    void cmdPreviewFiltersLineDetection_Click();
    void cmdPreviewSpecialRotate_Click();
    void cmdPreviewSpecialShear_Click();

private:
    // The steps every preview shares: refuse an animated Original (5504), seed, show the
    // dialog on the Original, write back on OK and apply.
    template <class Seed, class Show, class WriteBack>
    void run(std::uint32_t flag, int titleId, Seed seed, Show show, WriteBack writeBack);
    void effect(std::uint32_t flag, const char* slider, int seedScale, int titleId = 0);
    void addButton(const char* frame, const QString& name, void (FilterPreviews::*handler)());

    frmTools& tools_;
    imaging::ImageDialogs* dialogs_ = nullptr;
    std::unique_ptr<imaging::EffectDialogs> own_;
};

}  // namespace kalmira
