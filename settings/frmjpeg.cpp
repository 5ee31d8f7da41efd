#include "settings/frmjpeg.h"

#include "rules/conversions.h"
#include "settings/frmoptions.h"
#include "common/apperror.h"
#include "common/errortrap.h"
#include "common/texts.h"

#include "ui_frmJPEG.h"

#include <cmath>

namespace kalmira {

namespace {

constexpr int kNoSuchControlError = 340;
constexpr int kMaxPasses = 64;

// The leading-number value, a number too large to hold counting as beyond either end.
double leadingValue(const QString& text) {
    const settings::Conversion<double> value = settings::LeadingNumber(text.toStdString());
    if (value.ok()) return value.value;
    return text.trimmed().startsWith(QLatin1Char('-')) ? -HUGE_VAL : HUGE_VAL;
}

}  // namespace

frmJPEG::frmJPEG(frmOptions& options) : QDialog(&options), ui_(std::make_unique<Ui::frmJPEG>()), options_(options) {
    ui_->setupUi(this);
    LocalizeForm(this);

    connect(ui_->SliderQuality, &QSlider::valueChanged, this,
            [this](int value) { ui_->TextQuality->setText(QString::number(value)); });
    connect(ui_->TextQuality, &QLineEdit::editingFinished, this, [this] { Guarded([this] { qualityTextEntered(); }); });
    connect(ui_->CheckProgressive, &QCheckBox::toggled, ui_->TextProgressivePasses, &QWidget::setEnabled);
    connect(ui_->TextProgressivePasses, &QLineEdit::editingFinished, this, [this] { Guarded([this] { passesEntered(); }); });
    connect(ui_->cmdOK, &QPushButton::clicked, this, [this] { Guarded([this] { commit(); }); });
    connect(ui_->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    const OptimizeProfile shown = profile();
    ui_->SliderQuality->setValue(shown.JPEGQuality);
    ui_->TextQuality->setText(QString::number(ui_->SliderQuality->value()));
    ui_->CheckProgressive->setChecked(shown.JPEGProgressive != 0);
    ui_->TextProgressivePasses->setText(QString::number(shown.JPEGPasses));
    ui_->TextProgressivePasses->setEnabled(ui_->CheckProgressive->isChecked());
    Guarded([&] {
        if (shown.JPEGYUV_Color < 0 || shown.JPEGYUV_Color >= ui_->ComboYUV->count())
            throw AppError(kNoSuchControlError,
                           QStringLiteral("Invalid YUV colour subsampling %1 (ComboYUV)").arg(shown.JPEGYUV_Color));
        ui_->ComboYUV->setCurrentIndex(shown.JPEGYUV_Color);
    });
    ui_->CheckGrayscale->setChecked(shown.JPEGGrayscale != 0);
}

frmJPEG::~frmJPEG() = default;

OptimizeProfile& frmJPEG::profile() {
    const int slot = options_.CurrentSlot();
    if (slot < kFirstProfileSlot || slot > kLastProfileSlot)
        throw AppError(kNoSuchControlError, QStringLiteral("Profile slot %1 does not exist").arg(slot));
    return options_.PendingOptions().Profiles[static_cast<std::size_t>(slot)];
}

void frmJPEG::qualityTextEntered() {
    QSlider* slider = ui_->SliderQuality;
    const double value = leadingValue(ui_->TextQuality->text());
    if (value > slider->maximum())
        ui_->TextQuality->setText(QString::number(slider->maximum()));
    else if (value < slider->minimum())
        ui_->TextQuality->setText(QString::number(slider->minimum()));
    // The leading number rather than the whole text, so "120abc" moves the slider to 120
    // instead of raising a type mismatch; the slider then rewrites the text.
    const settings::Conversion<std::int32_t> whole = settings::LeadingInt32(ui_->TextQuality->text().toStdString());
    slider->setValue(whole.value);
    ui_->TextQuality->setText(QString::number(slider->value()));
}

void frmJPEG::passesEntered() {
    const double value = leadingValue(ui_->TextProgressivePasses->text());
    if (value > kMaxPasses)
        ui_->TextProgressivePasses->setText(QString::number(kMaxPasses));
    else if (value < 0)
        ui_->TextProgressivePasses->setText(QStringLiteral("0"));
}

void frmJPEG::commit() {
    // OK's mnemonic can fire while a box still holds unchecked text.
    qualityTextEntered();
    passesEntered();
    OptimizeProfile& p = profile();
    p.JPEGQuality = static_cast<std::int16_t>(ui_->SliderQuality->value());
    p.JPEGProgressive = ui_->CheckProgressive->isChecked() ? 1 : 0;
    p.JPEGPasses = settings::LeadingInt16(ui_->TextProgressivePasses->text().toStdString()).value;
    if (ui_->ComboYUV->currentIndex() >= 0) p.JPEGYUV_Color = static_cast<std::int16_t>(ui_->ComboYUV->currentIndex());
    p.JPEGGrayscale = ui_->CheckGrayscale->isChecked() ? 1 : 0;
    accept();
}

}  // namespace kalmira
