// The Variation face of the tools window: the selected Variation's format and colour settings,
// filled from its record and applied back through the document.
#include <QAbstractButton>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSlider>

#include <array>

#include "document/frmdocument.h"
#include "rules/keenfit.h"
#include "settings/gifjpegrules.h"
#include "settings/programoptions.h"
#include "common/errortrap.h"
#include "common/globals.h"
#include "common/routines.h"
#include "common/texts.h"
#include "tools/frmtools.h"
#include "tools/toolsnumbers.h"
#include "tools/webformatface.h"
#include "ui_frmTools.h"

namespace kalmira {

namespace {

constexpr std::array<int, 11> kDepths = {1, 2, 3, 4, 5, 6, 7, 8, 16, 24, 32};
// The order in which the palette buttons are read.
constexpr std::array<int, 5> kPaletteKinds = {1, 2, 8, 16, 64};

const SaveFormat* formatAt(int index) {
    if (index < 0 || index >= kAllSaveFormatCount) return nullptr;
    return &SaveFormats[static_cast<std::size_t>(index)];
}

}  // namespace

QAbstractButton* frmTools::optPixelDepth(int depth) const {
    return findChild<QAbstractButton*>(QStringLiteral("optPixelDepth%1").arg(depth));
}

QAbstractButton* frmTools::optPalette(int kind) const {
    return findChild<QAbstractButton*>(QStringLiteral("optPalette%1").arg(kind));
}

int frmTools::SelectedPixelDepth() const {
    for (int depth : kDepths)
        if (QAbstractButton* button = optPixelDepth(depth); button && button->isChecked()) return depth;
    return 0;
}

int frmTools::SelectedPalette() const {
    for (int kind : kPaletteKinds)
        if (QAbstractButton* button = optPalette(kind); button && button->isChecked()) return kind;
    return 0;
}

void frmTools::connectVariationTab() {
    Ui::frmTools& u = *ui_;
    // Handlers that do nothing but apply.
    auto applyOnly = [this] {
        Guarded([this] {
            HandlerScope scope(*this);
            requestApply();
        });
    };
    for (QAbstractButton* box : {static_cast<QAbstractButton*>(u.CheckFormatGIFInterlaced),
                                 static_cast<QAbstractButton*>(u.CheckFormatTIFFCompressed),
                                 static_cast<QAbstractButton*>(u.CheckFormatBMPCompressed),
                                 static_cast<QAbstractButton*>(u.CheckGrayscale)})
        connect(box, &QAbstractButton::toggled, this, applyOnly);
    for (QAbstractButton* option : {static_cast<QAbstractButton*>(u.OptionFormatWindowsBitmap),
                                    static_cast<QAbstractButton*>(u.OptionFormatOS2Bitmap)})
        connect(option, &QAbstractButton::toggled, this, [applyOnly](bool on) {
            if (on) applyOnly();
        });
    connect(u.ComboYUV, &QComboBox::currentIndexChanged, this, applyOnly);
    connect(u.ComboDithering, &QComboBox::currentIndexChanged, this, applyOnly);

    connect(u.ComboFormat, &QComboBox::currentIndexChanged, this, [this] { ComboFormat_Click(); });
    connect(u.CheckFormatGIFTransparent, &QAbstractButton::toggled, this, [this](bool on) {
        Guarded([&] {
            HandlerScope scope(*this);
            ui_->CommandFormatGIFChangeColor->setEnabled(on);
            requestApply();
        });
    });
    connect(u.CheckFormatPNGTransparent, &QAbstractButton::toggled, this, [this](bool on) {
        Guarded([&] {
            HandlerScope scope(*this);
            ui_->CommandFormatPNGChangeColor->setEnabled(on);
            requestApply();
        });
    });
    connect(u.CheckProgressive, &QAbstractButton::toggled, this, [this](bool on) {
        Guarded([&] {
            HandlerScope scope(*this);
            ui_->TextProgressivePasses->setEnabled(on);
            requestApply();
        });
    });
    connect(u.CheckFormatGIFAnimated, &QAbstractButton::toggled, this, [this] { CheckFormatGIFAnimated_Click(); });
    for (int depth : kDepths)
        connect(optPixelDepth(depth), &QAbstractButton::toggled, this, [this, depth](bool on) {
            if (on) optPixelDepth_Click(depth);
        });
    for (int kind : kPaletteKinds)
        connect(optPalette(kind), &QAbstractButton::toggled, this, [this, kind](bool on) {
            if (on) optPalette_Click(kind);
        });
    connect(u.cmdDefinePalette, &QPushButton::clicked, this, [this] { cmdDefinePalette_Click(); });
    connect(u.cmdEditComments, &QPushButton::clicked, this, [] {});
    connect(u.CommandFormatGIFChangeColor, &QPushButton::clicked, this, [this] { CommandFormatChangeColor_Click(); });
    connect(u.CommandFormatPNGChangeColor, &QPushButton::clicked, this, [this] { CommandFormatChangeColor_Click(); });
    connect(u.commandAnimationPlay, &QPushButton::clicked, this, [this] { commandAnimationPlay_Click(); });

    // Text boxes commit on Enter and when they lose the focus.
    connect(u.TextQuality, &QLineEdit::editingFinished, this, [this] {
        Guarded([this] {
            HandlerScope scope(*this);
            TextToSlider(kKeyEnter, ui_->TextQuality, ui_->SliderQuality);
            requestApply();
        });
    });
    connect(u.SliderQuality, &QAbstractSlider::valueChanged, this,
            [this](int value) { ui_->TextQuality->setText(QString::number(value)); });
    u.SliderQuality->installEventFilter(this);
    connect(u.TextProgressivePasses, &QLineEdit::editingFinished, this,
            [this] { TextProgressivePasses_KeyPress(kKeyEnter); });
    connect(u.TextAnimationImageNumber, &QLineEdit::editingFinished, this,
            [this] { TextAnimationImageNumber_KeyPress(kKeyEnter); });
    connect(u.VScrollAnimationImageNumber, &QAbstractSlider::valueChanged, this, [this](int value) {
        if (filling_) return;
        Guarded([&] {
            frmDocument* document = ActiveDocument();
            if (!document) return;
            const int n = document->FindeSelektierteGrafik();
            if (n <= 0) return;
            ui_->TextAnimationImageNumber->setText(QString::number(value));
            document->SetImageNumberVariation(n, value);
            document->picCompress(n).ForceRepaint();
        });
    });
    // A typed number is taken as typed: completion from the list would make "12" into "128".
    u.ComboNumColors->setCompleter(nullptr);
    if (QLineEdit* edit = u.ComboNumColors->lineEdit())
        connect(edit, &QLineEdit::editingFinished, this, [this] { ComboNumColors_KeyPress(kKeyEnter); });
    connect(u.ComboNumColors, &QComboBox::activated, this, [this] {
        Guarded([this] {
            HandlerScope scope(*this);
            if (ui_->ComboNumColors->currentText() != lastNumColors_) requestApply();
        });
    });
}

// --- Handlers --------------------------------------------------------------------------------------

void frmTools::applyFormatEnabling(int formatIndex) {
    const SaveFormat* format = formatAt(formatIndex);
    if (!format) return;
    for (int depth : kDepths) optPixelDepth(depth)->setEnabled(DepthAllowed(format->PixelDepths, depth));
}

int frmTools::selectDepthFor(int formatIndex) {
    const SaveFormat* format = formatAt(formatIndex);
    if (!format) return 0;
    int r = ChooseDepthForFormat(format->PixelDepths, SelectedPixelDepth());
    // A format that can hold alpha takes 32 bits for an Original with transparency: the depth
    // kept from a JPEG (24) would drop it.
    if (r > 8 && r != 32 && DepthAllowed(format->PixelDepths, 32))
        if (frmDocument* document = ActiveDocument();
            document && document->picOriginal().HasBitmap() &&
            TransparencyOf(document->picOriginal().Bitmap()) != Transparency::None)
            r = 32;
    if (r > 0) optPixelDepth(r)->setChecked(true);
    return r;
}

void frmTools::ComboFormat_Click() {
    Guarded([this] {
        HandlerScope scope(*this);
        const int i = ui_->ComboFormat->currentIndex();
        const SaveFormat* format = formatAt(i);
        if (!format) return;
        if (i != save_format::Gif) ui_->commandAnimationPlay->setChecked(false);
        showFrameOf(QStringLiteral("FrameFormat"), 8, format->FormatCode);
        applyFormatEnabling(i);
        const int r = selectDepthFor(i);
        if (i == save_format::Bmp) ui_->CheckFormatBMPCompressed->setEnabled(r == 4 || r == 8);
        requestApply();
    });
}

void frmTools::optPixelDepth_Click(int depth) {
    Guarded([&] {
        HandlerScope scope(*this);
        ApplyPixelDepthRules(this, static_cast<std::int16_t>(depth));
        requestApply();
    });
}

void frmTools::optPalette_Click(int index) {
    Guarded([&] {
        HandlerScope scope(*this);
        frmDocument* document = filling_ ? lastDocument_.data() : ActiveDocument();
        const int n = document ? document->FindeSelektierteGrafik() : 0;
        if (n <= 0) {
            // No Variation to take the palette from; the buttons still follow the rule.
            ApplyPaletteKindRules(this, static_cast<std::int16_t>(index));
            return;
        }
        imaging::ImageControl& picture = document->picCompress(n);
        if (picture.BitmapBits() > 8) return;
        ApplyPaletteKindRules(this, static_cast<std::int16_t>(index));
        // A custom palette starts from the colours the Variation has now.
        const int entries = 1 << std::max(0, picture.BitmapBits());
        for (int j = 0; j < entries; ++j) picture.SetUserPalette(j, picture.BitmapPalette(j));
        picture.ForceRepaint();
        requestApply();
    });
}

void frmTools::ComboNumColors_KeyPress(int keyAscii) {
    if (keyAscii != kKeyEnter) return;
    Guarded([this] {
        HandlerScope scope(*this);
        const QString clamped = ClampColorCountText(ui_->ComboNumColors->currentText(), LoadText(5503));
        if (clamped != ui_->ComboNumColors->currentText()) ui_->ComboNumColors->setEditText(clamped);
        if (clamped != lastNumColors_) requestApply();
    });
}

void frmTools::TextProgressivePasses_KeyPress(int keyAscii) {
    if (keyAscii != kKeyEnter) return;
    Guarded([this] {
        HandlerScope scope(*this);
        const QString clamped = ClampPassesText(ui_->TextProgressivePasses->text());
        if (clamped != ui_->TextProgressivePasses->text()) ui_->TextProgressivePasses->setText(clamped);
        requestApply();
    });
}

void frmTools::TextAnimationImageNumber_KeyPress(int keyAscii) {
    if (keyAscii != kKeyEnter || filling_) return;
    Guarded([this] {
        frmDocument* document = ActiveDocument();
        const int maximum = document ? document->GetOriginalImageNumber() - 1 : 0;
        QScrollBar* spinner = ui_->VScrollAnimationImageNumber;
        spinner->setMaximum(std::max(spinner->minimum(), maximum));
        const int number = ClampImageNumber(ui_->TextAnimationImageNumber->text(), maximum);
        ui_->TextAnimationImageNumber->setText(QString::number(number));
        // The spinner is what Apply reads back into the record: it must hold the typed number.
        {
            const QSignalBlocker quiet(spinner);
            spinner->setValue(number);
        }
        if (!document) return;
        const int n = document->FindeSelektierteGrafik();
        if (n <= 0) return;
        document->SetImageNumberVariation(n, number);
        document->picCompress(n).ForceRepaint();
    });
}

void frmTools::CheckFormatGIFAnimated_Click() {
    Guarded([this] {
        HandlerScope scope(*this);
        frmDocument* document = filling_ ? lastDocument_.data() : ActiveDocument();
        const int n = document ? document->FindeSelektierteGrafik() : 0;
        if (n <= 0 || document->GetVariationFormat(n) != save_format::Gif) return;
        EnableFrameGIFAnimation(ui_->CheckFormatGIFAnimated->isChecked());
        requestApply();
    });
}

void frmTools::CommandFormatChangeColor_Click() {
    Guarded([this] {
        frmDocument* document = ActiveDocument();
        if (!document) return;
        const int n = document->FindeSelektierteGrafik();
        if (n <= 0) return;
        document->SetTransparentFarbeSelektieren(true);
        document->picCompress(n).setCursor(Qt::CrossCursor);
    });
}

void frmTools::TransparentColorPicked(std::uint32_t color) {
    Guarded([&] {
        SetSwatchColor(ui_->FrameFormatGIFTransparentColor, color);
        SetSwatchColor(ui_->FrameFormatPNGTransparentColor, color);
        if (autoApplyOn()) CommandApply_Click();
    });
}

void frmTools::cmdDefinePalette_Click() {
    Guarded([this] {
        if (paletteRequest_) paletteRequest_();
    });
}

void frmTools::commandAnimationPlay_Click() {
    Guarded([this] {
        frmDocument* document = ActiveDocument();
        if (!document) return;
        const int n = document->FindeSelektierteGrafik();
        if (n <= 0) return;
        if (ui_->commandAnimationPlay->isChecked()) {
            document->SetVariationPlayAnimation(n, true);
        } else {
            document->SetVariationPlayAnimation(n, false);
            if (document->GetOriginalAnimation())
                document->picCompress(n).SetBitmapListIndex(ui_->VScrollAnimationImageNumber->value());
        }
    });
}

// --- ToolsHost: filling and reading the tab ------------------------------------------------------

void frmTools::FuelleReiterVariation(frmDocument& document, int variation) {
    lastDocument_ = &document;
    const VariationRecord& r = document.record(variation);
    Ui::frmTools& u = *ui_;
    // Filling shows the record; nothing of it may be applied back meanwhile.
    const bool wasFilling = filling_;
    filling_ = true;
    struct FillingReset {
        bool& flag;
        bool was;
        ~FillingReset() { flag = was; }
    } reset{filling_, wasFilling};

    if (IsOriginalFaceShown() || (u.FrameVariationTools1->isHidden() && u.FrameVariationTools2->isHidden()))
        ShowVariationFace();
    QString caption = LoadText(5400) + QString::number(variation);
    if (!r.FileNameSave.isEmpty()) caption += QStringLiteral(": ") + r.FileNameSave;
    setWindowTitle(caption);

    if (u.ComboFormat->currentIndex() != r.Format)
        u.ComboFormat->setCurrentIndex(r.Format);
    else
        ComboFormat_Click();
    u.CheckFormatGIFAnimated->setEnabled(document.GetOriginalAnimation());
    u.CheckFormatGIFAnimated->setChecked(r.GIFAnimated);
    EnableFrameGIFAnimation(r.GIFAnimated);
    u.commandAnimationPlay->setChecked(r.PlayAnimation && r.Format == save_format::Gif);
    if (const int count = document.GetOriginalImageNumber(); count != 0) {
        u.VScrollAnimationImageNumber->setMaximum(std::max(0, count - 1));
        u.VScrollAnimationImageNumber->setValue(r.ImageNumber);
        u.TextAnimationImageNumber->setText(QString::number(r.ImageNumber));
    }
    u.CheckFormatGIFInterlaced->setChecked(r.GIFInterlaced);
    u.CheckFormatGIFTransparent->setChecked(r.GIFTransparent);
    u.CommandFormatGIFChangeColor->setEnabled(r.GIFTransparent);
    SetSwatchColor(u.FrameFormatGIFTransparentColor, r.GIFTransparentColor);

    int quality = 256 - r.JPEGQFactor;
    u.TextQuality->setText(QString::number(quality));
    SetControl(u.SliderQuality, quality);
    u.ComboYUV->setCurrentIndex(std::clamp(r.JPEGYUV_Color.toInt(), 0, 2));
    u.CheckGrayscale->setChecked(r.JPEGGrayscale == 1);
    u.CheckProgressive->setChecked(r.JPEGProgressive == 1);
    u.TextProgressivePasses->setText(QString::number(r.JPEGPasses));
    u.TextProgressivePasses->setEnabled(u.CheckProgressive->isChecked());

    u.CheckFormatPNGTransparent->setChecked(r.PNGTransparent);
    u.CommandFormatPNGChangeColor->setEnabled(r.PNGTransparent);
    SetSwatchColor(u.FrameFormatPNGTransparentColor, r.PNGTransparentColor);

    if (r.BMPWindows)
        u.OptionFormatWindowsBitmap->setChecked(true);
    else
        u.OptionFormatOS2Bitmap->setChecked(true);
    if (r.BMPCompressed > 1) {
        u.CheckFormatBMPCompressed->setChecked(false);
        u.CheckFormatBMPCompressed->setEnabled(false);
    } else {
        u.CheckFormatBMPCompressed->setChecked(r.BMPCompressed == 1);
        u.CheckFormatBMPCompressed->setEnabled(true);
    }
    u.CheckFormatTIFFCompressed->setChecked(r.TIFFCompressed == 1);
    if (WebFormatFace* face = webFace(r.Format)) face->Fill(r);

    if (QAbstractButton* depth = optPixelDepth(r.PalettePixelDepth)) {
        depth->setChecked(true);
        ApplyPixelDepthRules(this, static_cast<std::int16_t>(r.PalettePixelDepth));
    }
    u.ComboNumColors->setEditText(r.MaxColorsText);
    lastNumColors_ = r.MaxColorsText;
    u.ComboDithering->setCurrentIndex(DitherCodeToListIndex(static_cast<std::int16_t>(r.DitheringMethod)));
    if (QAbstractButton* palette = optPalette(r.ColorPalette)) {
        palette->setChecked(true);
        // At more than 8 bits the palette kind is not offered; the depth rule has the last word.
        if (r.PalettePixelDepth <= 8) ApplyPaletteKindRules(this, static_cast<std::int16_t>(r.ColorPalette));
    }

    imaging::ImageControl& picture = document.picCompress(variation);
    const int unique = r.GIFAnimated ? (1 << std::clamp(r.PixelDepth, 0, 30)) : picture.ColorCount();
    u.LabelUniqueColors->setText(QString::number(unique) + LoadText(5401));
    shownValues_ = ReadVariationTab();
    shownVariation_ = variation;
}

bool frmTools::hasUnappliedEdits(const frmDocument& document, int variation) const {
    return lastDocument_.data() == &document && shownVariation_ == variation && !IsOriginalFaceShown() &&
           ReadVariationTab() != shownValues_;
}

void frmTools::VariationTakenIn(frmDocument& document, int variation) {
    if (!hasUnappliedEdits(document, variation)) {
        FuelleReiterVariation(document, variation);
        return;
    }
    // The face keeps the user's edits; only what the new encoding shows of itself changes.
    const VariationRecord& r = document.record(variation);
    const int unique = r.GIFAnimated ? (1 << std::clamp(r.PixelDepth, 0, 30)) : document.picCompress(variation).ColorCount();
    ui_->LabelUniqueColors->setText(QString::number(unique) + LoadText(5401));
}

VariationTabValues frmTools::ReadVariationTab() const {
    const Ui::frmTools& u = *ui_;
    VariationTabValues v;
    v.FormatIndex = u.ComboFormat->currentIndex();
    v.PixelDepth = SelectedPixelDepth();
    v.MaxColorsText = u.ComboNumColors->currentText();
    v.DitheringListIndex = u.ComboDithering->currentIndex();
    v.ColorPalette = SelectedPalette();
    v.GIFInterlaced = u.CheckFormatGIFInterlaced->isChecked();
    v.GIFTransparent = u.CheckFormatGIFTransparent->isChecked();
    v.GIFTransparentColor = SwatchColor(u.FrameFormatGIFTransparentColor);
    v.GIFAnimated = u.CheckFormatGIFAnimated->isChecked();
    v.AnimationImageNumber = u.VScrollAnimationImageNumber->value();
    v.PlayAnimation = u.commandAnimationPlay->isChecked();
    v.JPEGQuality = RoundHalfEven(ReadNumber(u.TextQuality->text()));
    v.JPEGYUVIndex = u.ComboYUV->currentIndex();
    v.JPEGProgressive = u.CheckProgressive->isChecked() ? 1 : 0;
    v.JPEGPasses = RoundHalfEven(ReadNumber(u.TextProgressivePasses->text()));
    v.JPEGGrayscale = u.CheckGrayscale->isChecked() ? 1 : 0;
    v.PNGTransparent = u.CheckFormatPNGTransparent->isChecked();
    v.PNGTransparentColor = SwatchColor(u.FrameFormatPNGTransparentColor);
    v.BMPWindows = u.OptionFormatWindowsBitmap->isChecked();
    v.BMPCompressed = u.CheckFormatBMPCompressed->isChecked() ? 1 : 0;
    v.TIFFCompressed = u.CheckFormatTIFFCompressed->isChecked() ? 1 : 0;
    if (const WebFormatFace* face = webFace(v.FormatIndex)) face->Read(v);
    return v;
}

void frmTools::ReleasePlayAnimation() { ui_->commandAnimationPlay->setChecked(false); }

void frmTools::SetAnimationImageMaximum(int maximum) {
    ui_->VScrollAnimationImageNumber->setMaximum(std::max(ui_->VScrollAnimationImageNumber->minimum(), maximum));
}

bool frmTools::IsBMPCompressedChecked() const { return ui_->CheckFormatBMPCompressed->isChecked(); }
bool frmTools::IsTIFFCompressedChecked() const { return ui_->CheckFormatTIFFCompressed->isChecked(); }
bool frmTools::ShowsDocument(const frmDocument& document) const { return lastDocument_.data() == &document; }

}  // namespace kalmira
