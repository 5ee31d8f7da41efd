#include "settings/frmgif.h"

#include "rules/conversions.h"
#include "settings/frmoptions.h"
#include "settings/gifjpegrules.h"
#include "settings/settingsstore.h"
#include "common/apperror.h"
#include "common/globals.h"
#include "common/errortrap.h"
#include "common/routines.h"
#include "common/texts.h"

#include "ui_frmGIF.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>

#include <array>

namespace kalmira {

namespace {

constexpr int kNoSuchControlError = 340;
constexpr std::array<std::int16_t, 5> kPaletteKinds{kPaletteFixed, kPaletteOptimized, kPaletteWindows, kPaletteCustom,
                                                    kPaletteNetscape};
constexpr int kPaletteFilterText = 5700;
constexpr int kPaletteTitleText = 5701;
constexpr int kCustomWithoutFileText = 5702;

frmGIF::PaletteFileChooser& chooserSlot() {
    static frmGIF::PaletteFileChooser chooser;
    return chooser;
}

frmGIF::MessageShower& shower() {
    static frmGIF::MessageShower shower;
    return shower;
}

// "Description|pattern|Description|pattern" as the file dialog's name filters.
QStringList nameFilters(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append(QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '))));
    return filters;
}

QString askForPaletteFile(QWidget* owner, const QString& title, const QStringList& filters) {
    if (chooserSlot()) return chooserSlot()(owner, title, filters);
    return QFileDialog::getOpenFileName(owner, title, QString(), filters.join(QStringLiteral(";;")));
}

void showMessage(QWidget* owner, const QString& text) {
    if (shower()) {
        shower()(owner, text);
        return;
    }
    QMessageBox::information(owner, ApplicationName(), text);
}

QString buttonName(const char* prefix, int number) { return QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(number); }

}  // namespace

frmGIF::PaletteFileChooser frmGIF::SetPaletteFileChooser(PaletteFileChooser chooser) {
    return std::exchange(chooserSlot(), std::move(chooser));
}

frmGIF::MessageShower frmGIF::SetMessageShower(MessageShower next) { return std::exchange(shower(), std::move(next)); }

frmGIF::frmGIF(frmOptions& options) : QDialog(&options), ui_(std::make_unique<Ui::frmGIF>()), options_(options) {
    ui_->setupUi(this);
    LocalizeForm(this);
    // Filled here rather than in the layout: the localiser would take these numbers for text ids.
    for (int colours = 2; colours <= 256; colours *= 2) ui_->ComboNumColors->addItem(QString::number(colours));
    // The list holds its fixed items: a typed count is neither added to it nor completed from it.
    ui_->ComboNumColors->setInsertPolicy(QComboBox::NoInsert);
    ui_->ComboNumColors->setCompleter(nullptr);

    for (int depth = 1; depth <= 8; ++depth) {
        auto* button = findChild<QRadioButton*>(buttonName("optPixelDepth", depth));
        connect(button, &QRadioButton::toggled, this, [this, depth](bool on) {
            if (on) Guarded([&] { ApplyPixelDepthRules(this, static_cast<std::int16_t>(depth)); });
        });
    }
    for (std::int16_t kind : kPaletteKinds) {
        auto* button = findChild<QRadioButton*>(buttonName("optPalette", kind));
        connect(button, &QRadioButton::toggled, this, [this, kind](bool on) {
            if (on) Guarded([&] { ApplyPaletteKindRules(this, kind); });
        });
    }
    connect(ui_->ComboNumColors->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { Guarded([this] { normaliseColourCount(); }); });
    connect(ui_->cmdDefinePalette, &QPushButton::clicked, this, [this] { Guarded([this] { definePalette(); }); });
    connect(ui_->cmdOK, &QPushButton::clicked, this, [this] { Guarded([this] { commit(); }); });
    connect(ui_->cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    // Each step on its own: a damaged value is reported, the others are still shown.
    const OptimizeProfile shown = profile();
    Guarded([&] { selectPixelDepth(shown.GIFMaxPixelDepth); });
    ui_->ComboDithering->setCurrentIndex(DitherCodeToListIndex(shown.GIFDitheringMethod));
    ui_->ComboNumColors->setEditText(QString::number(shown.GIFMaxColors));
    Guarded([&] { selectPaletteKind(shown.GIFColorPalette); });
    ui_->lblPaletteFileName->setText(QString::fromStdString(shown.GIFPaletteFileName));
    ui_->CheckFormatGIFInterlaced->setChecked(shown.GIFInterlaced != 0);
}

frmGIF::~frmGIF() = default;

OptimizeProfile& frmGIF::profile() {
    const int slot = options_.CurrentSlot();
    if (slot < kFirstProfileSlot || slot > kLastProfileSlot)
        throw AppError(kNoSuchControlError, QStringLiteral("Profile slot %1 does not exist").arg(slot));
    return options_.PendingOptions().Profiles[static_cast<std::size_t>(slot)];
}

void frmGIF::selectPixelDepth(std::int16_t depth) {
    auto* button = depth >= 1 && depth <= 8 ? findChild<QRadioButton*>(buttonName("optPixelDepth", depth)) : nullptr;
    if (!button)
        throw AppError(kNoSuchControlError, QStringLiteral("Control array element '%1' does not exist (optPixelDepth)").arg(depth));
    button->setChecked(true);
    ApplyPixelDepthRules(this, depth);
}

void frmGIF::selectPaletteKind(std::int16_t kind) {
    auto* button = std::find(kPaletteKinds.begin(), kPaletteKinds.end(), kind) != kPaletteKinds.end()
                       ? findChild<QRadioButton*>(buttonName("optPalette", kind))
                       : nullptr;
    if (!button)
        throw AppError(kNoSuchControlError, QStringLiteral("Control array element '%1' does not exist (optPalette)").arg(kind));
    button->setChecked(true);
    ApplyPaletteKindRules(this, kind);
}

void frmGIF::normaliseColourCount() {
    const settings::Conversion<double> count = settings::LeadingNumber(ui_->ComboNumColors->currentText().toStdString());
    if (!count.ok() || count.value <= 0 || count.value > 256) ui_->ComboNumColors->setEditText(QStringLiteral("256"));
}

void frmGIF::definePalette() {
    const QString file =
        askForPaletteFile(this, LoadText(kPaletteTitleText), nameFilters(LoadText(kPaletteFilterText)));
    if (file.isEmpty()) return;  // cancelled: nothing changes, nothing to report
    ui_->lblPaletteFileName->setText(file);
}

void frmGIF::commit() {
    if (ui_->optPalette16->isChecked() && ui_->lblPaletteFileName->text().isEmpty()) {
        showMessage(this, LoadText(kCustomWithoutFileText));
        return;
    }
    // OK's mnemonic can fire while the colour count still holds unchecked text.
    normaliseColourCount();
    OptimizeProfile& p = profile();
    for (int depth = 1; depth <= 8; ++depth)
        if (findChild<QRadioButton*>(buttonName("optPixelDepth", depth))->isChecked())
            p.GIFMaxPixelDepth = static_cast<std::int16_t>(depth);
    p.GIFDitheringMethod = ListIndexToDitherCode(static_cast<std::int16_t>(ui_->ComboDithering->currentIndex()));
    p.GIFMaxColors = settings::LeadingInt16(ui_->ComboNumColors->currentText().toStdString()).value;
    // A kind is stored only when one is selected: after a damaged load none may be.
    std::int16_t kind = 0;
    for (std::int16_t candidate : kPaletteKinds)
        if (findChild<QRadioButton*>(buttonName("optPalette", candidate))->isChecked()) kind = candidate;
    if (kind != 0) {
        p.GIFColorPalette = kind;
        p.GIFPaletteFileName = kind == kPaletteCustom ? ui_->lblPaletteFileName->text().toStdString() : std::string();
    }
    p.GIFInterlaced = ui_->CheckFormatGIFInterlaced->isChecked() ? 1 : 0;
    accept();
}

}  // namespace kalmira
