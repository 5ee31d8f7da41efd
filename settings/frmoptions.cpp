#include "settings/frmoptions.h"
#include "settings/qualityoptionstab.h"
#include "settings/qualityoptions.h"

#include "rules/conversions.h"
#include "settings/frmgif.h"
#include "settings/frmjpeg.h"
#include "settings/settingsstore.h"
#include "common/apperror.h"
#include "common/errortrap.h"
#include "common/texts.h"

#include "ui_frmOptions.h"

#include <QScreen>

#include <cmath>
#include <limits>

namespace kalmira {

namespace {

// Speed list positions 0..8, in the order of the list's texts.
constexpr std::array<std::int32_t, 9> kDownloadSpeeds{1200, 2400, 9600, 14400, 28800, 33600, 56000, 64000, 128000};

constexpr int kDesignTabCount = 3;      // a fourth, batch tab exists in the layout only
constexpr int kDesignSlotCount = 5;     // the sixth list entry is the batch slot
constexpr int kDialogWidthTwips = 5145;
constexpr int kDialogHeightTwips = 4440;
constexpr std::array<int, 3> kHelpContexts{1013, 1025, 1306};
// What the classic runtime raises for a missing member of a control array.
constexpr int kNoSuchControlError = 340;

std::string utf8(const QString& text) { return text.toStdString(); }

// The leading-number value of a box, with a number too large for a double taken as infinite,
// so that clamping still puts it at the right end.
double leadingValue(const QString& text) {
    const std::string bytes = utf8(text);
    const settings::Conversion<double> value = settings::LeadingNumber(bytes);
    if (value.ok()) return value.value;
    const QString trimmed = text.trimmed();
    return trimmed.startsWith(QLatin1Char('-')) ? -std::numeric_limits<double>::infinity()
                                                 : std::numeric_limits<double>::infinity();
}

QString decimalText(double value) { return QString::number(value, 'g', 15); }

int twipsPerPixel(const QWidget* widget) {
    const QScreen* screen = widget->screen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? static_cast<int>(std::lround(1440.0 / dpi)) : 15;
}

}  // namespace

frmOptions::frmOptions(QWidget* parent) : QDialog(parent), ui_(std::make_unique<Ui::frmOptions>()) {
    ui_->setupUi(this);
    LocalizeForm(this);
    helpContext_ = kHelpContexts[0];

    while (ui_->tbsOptions->count() > kDesignTabCount) {
        QWidget* page = ui_->tbsOptions->widget(kDesignTabCount);
        ui_->tbsOptions->removeTab(kDesignTabCount);
        delete page;
    }
    while (ui_->ComboVariation->count() > kDesignSlotCount) ui_->ComboVariation->removeItem(kDesignSlotCount);

    const int tpp = twipsPerPixel(this);
    resize(kDialogWidthTwips / tpp, kDialogHeightTwips / tpp);
    ui_->frameOptions1->setGeometry(ui_->frameOptions0->geometry());
    ui_->frameOptions2->setGeometry(ui_->frameOptions0->geometry());
    qualityTab_ = new QualityOptionsTab(*ui_->frameOptions0, *ui_->frameOptions1);

    initialVariations_ = {ui_->TextOptionsInitialOpenVariations, ui_->VScrollOptionsInitialOpenVariations, 0, 5, 0};
    zoom_ = {ui_->TextOptionsZoomLevel, ui_->VscrollOptionsZoomLevel, 1, 800, 100};
    limitWidth_ = {ui_->TextDisplayLimitWidthTo, nullptr, 2, 1000, 2};
    limitHeight_ = {ui_->TextDisplayLimitHeightTo, nullptr, 2, 1000, 2};
    fileFormatButtons_ = {nullptr, ui_->OptionFileFormat1, ui_->OptionFileFormat2, ui_->OptionFileFormat3,
                          ui_->OptionFileFormat4};

    pending_ = ProgramOptions();
    FillGeneralTab();
    FillDisplayTab();
    ui_->ComboVariation->setCurrentIndex(0);
    // A damaged profile is reported, but the dialog still opens so the user can repair it.
    Guarded([this] { ShowProfileFormat(1); });
    tabChanged(ui_->tbsOptions->currentIndex());

    for (const NumberBox* box : {&initialVariations_, &zoom_, &limitWidth_, &limitHeight_}) connectNumberBox(*box);
    connect(ui_->CheckDisplayLimitWidthToEnabled, &QCheckBox::toggled, this, [this] { updateLimitTexts(); });
    connect(ui_->CheckDisplayLimitHeightToEnabled, &QCheckBox::toggled, this, [this] { updateLimitTexts(); });
    connect(ui_->ComboVariation, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) Guarded([&] { ShowProfileFormat(static_cast<std::int16_t>(index + 1)); });
    });
    for (int n = 1; n <= 4; ++n) {
        connect(fileFormatButtons_[static_cast<std::size_t>(n)], &QRadioButton::toggled, this, [this, n](bool on) {
            if (on) Guarded([&] { appliesTo(n); });
        });
    }
    connect(ui_->tbsOptions, &QTabWidget::currentChanged, this, [this](int index) { tabChanged(index); });
    connect(ui_->CommandGIF, &QPushButton::clicked, this, [this] {
        Guarded([this] {
            frmGIF dialog(*this);
            dialog.exec();
        });
    });
    connect(ui_->CommandJPEG, &QPushButton::clicked, this, [this] {
        Guarded([this] {
            frmJPEG dialog(*this);
            dialog.exec();
        });
    });
    connect(ui_->cmdOK, &QPushButton::clicked, this, [this] {
        if (Guarded([this] { ApplyOptions(); })) accept();
    });
    connect(ui_->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
}

frmOptions::~frmOptions() = default;

void frmOptions::ShowOptionsDialog(QWidget* owner) {
    frmOptions dialog(owner);
    dialog.exec();
}

int frmOptions::CurrentSlot() const { return ui_->ComboVariation->currentIndex() + 1; }

void frmOptions::FillGeneralTab() {
    ui_->CheckAutoApply->setChecked(pending_.OptionsAutoApply == 1);
    // The up-down keeps within its range; the text shows what it holds.
    textDrivesUpDown_ = true;
    ui_->VScrollOptionsInitialOpenVariations->setValue(pending_.InitialOpenVariations);
    textDrivesUpDown_ = false;
    ui_->TextOptionsInitialOpenVariations->setText(QString::number(ui_->VScrollOptionsInitialOpenVariations->value()));
    int position = -1;
    for (std::size_t i = 0; i < kDownloadSpeeds.size(); ++i)
        if (kDownloadSpeeds[i] == pending_.DownloadSpeed) position = static_cast<int>(i);
    ui_->cmbDownloadSpeed->setCurrentIndex(position);
}

void frmOptions::FillDisplayTab() {
    ui_->checkDisplayFitToWindow->setChecked(pending_.FitToWindow != 0);
    ui_->CheckDisplayLimitWidthToEnabled->setChecked(pending_.DisplayLimitWidthToEnabled != 0);
    ui_->CheckDisplayLimitHeightToEnabled->setChecked(pending_.DisplayLimitHeightToEnabled != 0);
    ui_->TextDisplayLimitWidthTo->setText(QString::number(pending_.DisplayLimitWidthTo));
    ui_->TextDisplayLimitHeightTo->setText(QString::number(pending_.DisplayLimitHeightTo));
    updateLimitTexts();
    textDrivesUpDown_ = true;
    ui_->VscrollOptionsZoomLevel->setValue(pending_.StandardZoomLevel);
    textDrivesUpDown_ = false;
    ui_->TextOptionsZoomLevel->setText(QString::number(ui_->VscrollOptionsZoomLevel->value()));
    // An order other than 0 or 1 (an edited store) selects neither button and is kept as it is.
    ui_->OptionDisplayVariationDisplayOrder0->setChecked(pending_.DisplayOrder == 0);
    ui_->OptionDisplayVariationDisplayOrder1->setChecked(pending_.DisplayOrder == 1);
}

void frmOptions::ShowProfileFormat(std::int16_t slot) {
    if (slot < kFirstProfileSlot || slot > kLastProfileSlot)
        throw AppError(kNoSuchControlError, QStringLiteral("Profile slot %1 does not exist").arg(slot));
    const std::int16_t fileFormat = pending_.Profiles[static_cast<std::size_t>(slot)].FileFormat;
    if (fileFormat < 1 || fileFormat > 4) {
        for (QRadioButton* button : fileFormatButtons_) {
            if (!button) continue;
            button->setAutoExclusive(false);
            button->setChecked(false);
            button->setAutoExclusive(true);
        }
        throw AppError(kNoSuchControlError,
                       QStringLiteral("Control array element '%1' does not exist (OptionFileFormat, slot %2)")
                           .arg(fileFormat)
                           .arg(slot));
    }
    QRadioButton* button = fileFormatButtons_[static_cast<std::size_t>(fileFormat)];
    {
        const QSignalBlocker quiet(button);
        button->setChecked(true);
    }
    appliesTo(fileFormat);
}

void frmOptions::appliesTo(int fileFormat) {
    const int slot = CurrentSlot();
    ui_->CommandGIF->setEnabled(true);
    ui_->CommandJPEG->setEnabled(true);
    if (fileFormat == kProfileAlwaysGif)
        ui_->CommandJPEG->setEnabled(false);
    else if (fileFormat == kProfileAlwaysJpeg)
        ui_->CommandGIF->setEnabled(false);
    if (slot >= kFirstProfileSlot && slot <= kLastProfileSlot)
        pending_.Profiles[static_cast<std::size_t>(slot)].FileFormat = static_cast<std::int16_t>(fileFormat);
}

void frmOptions::tabChanged(int index) {
    if (index >= 0 && index < static_cast<int>(kHelpContexts.size()))
        helpContext_ = kHelpContexts[static_cast<std::size_t>(index)];
}

void frmOptions::updateLimitTexts() {
    ui_->TextDisplayLimitWidthTo->setEnabled(ui_->CheckDisplayLimitWidthToEnabled->isChecked());
    ui_->TextDisplayLimitHeightTo->setEnabled(ui_->CheckDisplayLimitHeightToEnabled->isChecked());
}

void frmOptions::connectNumberBox(const NumberBox& box) {
    // editingFinished comes with Enter and when the box loses the focus after a change.
    connect(box.text, &QLineEdit::editingFinished, this, [this, box] {
        Guarded([&] {
            normaliseNumberBox(box);
            followTextWithUpDown(box);
        });
    });
    if (!box.upDown) return;
    connect(box.text, &QLineEdit::textEdited, this, [this, box] { followTextWithUpDown(box); });
    connect(box.upDown, &QScrollBar::valueChanged, this, [this, box](int value) {
        if (!textDrivesUpDown_) box.text->setText(QString::number(value));
    });
    // An up-down's upper arrow counts up. A vertical scroll bar's upper arrow steps towards its
    // minimum whatever its appearance, so each step is turned round before it takes effect.
    QScrollBar* upDown = box.upDown;
    connect(upDown, &QAbstractSlider::actionTriggered, this, [upDown](int action) {
        const int value = upDown->value();
        switch (action) {
        case QAbstractSlider::SliderSingleStepAdd: upDown->setSliderPosition(value - upDown->singleStep()); break;
        case QAbstractSlider::SliderSingleStepSub: upDown->setSliderPosition(value + upDown->singleStep()); break;
        case QAbstractSlider::SliderPageStepAdd: upDown->setSliderPosition(value - upDown->pageStep()); break;
        case QAbstractSlider::SliderPageStepSub: upDown->setSliderPosition(value + upDown->pageStep()); break;
        default: break;
        }
    });
}

void frmOptions::normaliseNumberBox(const NumberBox& box) {
    double value = leadingValue(box.text->text());
    if (value > box.maximum)
        value = box.maximum;
    else if (value < box.minimum)
        value = box.belowMinimum;
    box.text->setText(decimalText(value));
}

void frmOptions::followTextWithUpDown(const NumberBox& box) {
    if (!box.upDown) return;
    // Half-typed text that is not (yet) a whole number leaves the up-down where it is.
    const settings::Conversion<std::int32_t> value = settings::StrictWholeNumber(utf8(box.text->text()));
    if (!value.ok() || value.value < box.upDown->minimum() || value.value > box.upDown->maximum()) return;
    textDrivesUpDown_ = true;
    box.upDown->setValue(value.value);
    textDrivesUpDown_ = false;
}

void frmOptions::ApplyOptions() {
    // The OK button's mnemonic can fire without the focus leaving a box; normalise them all so
    // no unchecked text reaches the options.
    for (const NumberBox* box : {&initialVariations_, &zoom_, &limitWidth_, &limitHeight_}) {
        normaliseNumberBox(*box);
        followTextWithUpDown(*box);
    }
    pending_.OptionsAutoApply = ui_->CheckAutoApply->isChecked() ? 1 : 0;
    pending_.InitialOpenVariations = static_cast<std::int16_t>(ui_->VScrollOptionsInitialOpenVariations->value());
    const int speed = ui_->cmbDownloadSpeed->currentIndex();
    if (speed >= 0 && speed < static_cast<int>(kDownloadSpeeds.size()))
        pending_.DownloadSpeed = kDownloadSpeeds[static_cast<std::size_t>(speed)];
    pending_.FitToWindow = ui_->checkDisplayFitToWindow->isChecked() ? 1 : 0;
    pending_.DisplayLimitWidthToEnabled = ui_->CheckDisplayLimitWidthToEnabled->isChecked() ? 1 : 0;
    pending_.DisplayLimitHeightToEnabled = ui_->CheckDisplayLimitHeightToEnabled->isChecked() ? 1 : 0;
    pending_.DisplayLimitWidthTo = settings::LeadingInt16(utf8(ui_->TextDisplayLimitWidthTo->text())).value;
    pending_.DisplayLimitHeightTo = settings::LeadingInt16(utf8(ui_->TextDisplayLimitHeightTo->text())).value;
    pending_.StandardZoomLevel = static_cast<std::int16_t>(ui_->VscrollOptionsZoomLevel->value());
    if (ui_->OptionDisplayVariationDisplayOrder0->isChecked()) pending_.DisplayOrder = 0;
    if (ui_->OptionDisplayVariationDisplayOrder1->isChecked()) pending_.DisplayOrder = 1;
    const bool speedChanged = ProgramOptions().DownloadSpeed != pending_.DownloadSpeed;
    ProgramOptions() = pending_;
    SaveAllSettings();
    qualityTab_->Apply();
    // Every caption gives a download time at this speed: the documents' captions (the
    // Original's as well as the Variations') are written anew.
    if (speedChanged) emit QualityOptionsNotifier::instance().changed();
}

}  // namespace kalmira
