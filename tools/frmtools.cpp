#include "tools/frmtools.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTabBar>

#include <algorithm>
#include <cmath>
#include <limits>

#include "document/frmdocument.h"
#include "rules/conversions.h"
#include "settings/programoptions.h"
#include "settings/settingsstore.h"
#include "common/errortrap.h"
#include "common/floatingplacement.h"
#include "common/globals.h"
#include "common/routines.h"
#include "common/texts.h"
#include "tools/toolsnumbers.h"
#include "ui_frmTools.h"

namespace kalmira {

namespace {

// Sizes of the window and of its group frames, in twips.
constexpr int kWindowHeightTwips = 3600;
constexpr int kWindowWidthTwips = 5730;
constexpr int kGroupTopTwips = 600;
constexpr int kGroupLeftTwips = 240;
constexpr int kGroupWidthTwips = 5175;
constexpr int kGroupHeightTwips = 2415;
constexpr double kTwipsPerInch = 1440.0;

// Help contexts of the Original tabs 1..4; the Color tab's number is 1001 in the help file.
constexpr int kOriginalTabHelp[] = {1100, 1001, 1102, 1104};

// Frame arrays: the group frames of each face and the operation frames of each combo.
struct FrameArray {
    const char* prefix;
    int count;
};
constexpr FrameArray kFrameArrays[] = {
    {"FrameOriginalTools", 4}, {"FrameVariationTools", 2}, {"FrameResize", 2}, {"FrameColorCorrection", 10},
    {"FrameFilters", 12},      {"FrameSpecial", 3},        {"FrameFormat", 6},
};

frmTools::MessageFunction& messageFunction() {
    static frmTools::MessageFunction function;
    return function;
}

frmTools::ColorChooser& colorChooser() {
    static frmTools::ColorChooser chooser;
    return chooser;
}

double twipsPerPixel(const QWidget* widget) {
    const QScreen* s = widget->screen();
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return kTwipsPerInch / (dpi > 0 ? dpi : 96.0);
}

}  // namespace

frmTools::MessageFunction frmTools::SetMessageFunction(MessageFunction function) {
    MessageFunction previous = std::move(messageFunction());
    messageFunction() = std::move(function);
    return previous;
}

frmTools::ColorChooser frmTools::SetColorChooser(ColorChooser chooser) {
    ColorChooser previous = std::move(colorChooser());
    colorChooser() = std::move(chooser);
    return previous;
}

frmTools::frmTools(QWidget* owner) : QWidget(owner, Qt::Tool), ui_(std::make_unique<Ui::frmTools>()) {
    ui_->setupUi(this);
    formInitialize();
    formLoad();
    createByteBudgetField();
    SetToolsHost(this);
}

frmTools::~frmTools() {
    if (toolsHost() == this) SetToolsHost(nullptr);
}

frmDocument* frmTools::ActiveDocument() const {
    if (documentProvider_) return documentProvider_();
    return lastDocument_.data();
}

void frmTools::showMessage(int textId) {
    const QString text = LoadText(textId);
    if (messageFunction()) {
        messageFunction()(text);
        return;
    }
    QMessageBox::information(this, ApplicationName(), text);
}

// --- Form_Initialize and Form_Load ---------------------------------------------------------

void frmTools::formInitialize() {
    Ui::frmTools& u = *ui_;
    // The tab strips hold their captions' text ids until the window is localised.
    for (QTabBar* strip : {u.TabOriginalTools, u.TabVariationTools}) {
        const QStringList ids = strip->property("TabIds").toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (const QString& id : ids) strip->addTab(id);
        strip->setDrawBase(true);
    }
    for (QComboBox* combo : {u.ComboResize, u.ComboColorCorrection, u.ComboFilters, u.ComboSpecial, u.ComboDithering})
        combo->setCurrentIndex(0);
    u.ComboFormat->clear();
    for (const SaveFormat& format : SaveFormats) u.ComboFormat->addItem(format.FormatName);
    createWebFormatFaces();
}

void frmTools::formLoad() {
    Ui::frmTools& u = *ui_;
    LocalizeForm(this);
    const double tpp = twipsPerPixel(this);
    resize(static_cast<int>(std::lround(kWindowWidthTwips / tpp)), static_cast<int>(std::lround(kWindowHeightTwips / tpp)));

    // Every member of a frame array stands where member 1 stands; the group frames of both
    // faces share one place.
    const QRect group(static_cast<int>(std::lround(kGroupLeftTwips / tpp)), static_cast<int>(std::lround(kGroupTopTwips / tpp)),
                      static_cast<int>(std::lround(kGroupWidthTwips / tpp)),
                      static_cast<int>(std::lround(kGroupHeightTwips / tpp)));
    for (const FrameArray& array : kFrameArrays) {
        QWidget* first = findChild<QWidget*>(QString::fromLatin1(array.prefix) + QLatin1Char('1'));
        const bool isGroup = QLatin1String(array.prefix) == QLatin1String("FrameOriginalTools") ||
                             QLatin1String(array.prefix) == QLatin1String("FrameVariationTools");
        for (int k = 1; k <= array.count; ++k) {
            QWidget* member = findChild<QWidget*>(QString::fromLatin1(array.prefix) + QString::number(k));
            if (!member) continue;
            member->setGeometry(isGroup ? group : first->geometry());
        }
    }
    u.TabVariationTools->setGeometry(u.TabOriginalTools->geometry());

    // Initial states that the layout cannot hold: the swatches' colours, the Variation tab's
    // starting values and the controls that start disabled.
    for (QFrame* swatch : {u.FrameFillColor, u.FrameRotateColor, u.FrameShearColor, u.FrameFormatGIFTransparentColor,
                           u.FrameFormatPNGTransparentColor})
        SetSwatchColor(swatch, 0);
    u.ComboNumColors->setEditText(LoadText(5503));
    u.ComboYUV->setCurrentIndex(0);
    u.TextQuality->setText(QStringLiteral("100"));
    u.TextProgressivePasses->setText(QStringLiteral("0"));
    u.TextProgressivePasses->setEnabled(false);
    u.TextAnimationImageNumber->setText(QStringLiteral("0"));
    u.CommandFormatGIFChangeColor->setEnabled(false);
    u.CommandFormatPNGChangeColor->setEnabled(false);
    u.cmdDefinePalette->setEnabled(false);
    EnableFrameGIFAnimation(false);
    u.CheckFormatGIFAnimated->setEnabled(false);

    connectFrameArray(u.ComboResize, QStringLiteral("FrameResize"), 2);
    connectFrameArray(u.ComboColorCorrection, QStringLiteral("FrameColorCorrection"), 10);
    connectFrameArray(u.ComboFilters, QStringLiteral("FrameFilters"), 12);
    connectFrameArray(u.ComboSpecial, QStringLiteral("FrameSpecial"), 3);
    connectPairs();
    connectVariationTab();
    connectOriginalButtons();
    connect(u.TabOriginalTools, &QTabBar::currentChanged, this, [this] {
        Guarded([this] {
            hideFrames(QStringLiteral("FrameOriginalTools"), 4);
            TabOriginalSelected();
        });
    });
    connect(u.TabVariationTools, &QTabBar::currentChanged, this, [this] {
        Guarded([this] {
            hideFrames(QStringLiteral("FrameVariationTools"), 2);
            TabVariationSelected();
        });
    });
    // Slider texts show their sliders' starting values.
    for (QSlider* slider : findChildren<QSlider*>()) emit slider->valueChanged(slider->value());
    connect(u.CommandApply, &QPushButton::clicked, this, [this] { CommandApply_Click(); });
    connect(u.CommandKeenfit, &QPushButton::clicked, this, [this] { CommandKeenfit_Click(); });

    // Each operation combo shows the frame of its first entry.
    for (QComboBox* combo : {u.ComboResize, u.ComboColorCorrection, u.ComboFilters, u.ComboSpecial})
        emit combo->currentIndexChanged(combo->currentIndex());
    ComboFormat_Click();
    AktualisiereSelektionen();
    u.TabOriginalTools->hide();
    u.TabVariationTools->hide();
}

void frmTools::showEvent(QShowEvent* event) {
    if (!positioned_) {
        positioned_ = true;
        restorePosition();
    }
    QWidget::showEvent(event);
}

void frmTools::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow()) return;
    // Form_Activate: the help context follows the selected picture.
    if (frmDocument* document = ActiveDocument()) setHelpContext(document->FindeSelektierteGrafik() == 0 ? 1014 : 1017);
}

void frmTools::restorePosition() {
    Guarded([this] {
        const double tpp = twipsPerPixel(this);
        QWidget* owner = parentWidget();
        if (!ToolsPositionStored() && owner) {
            // The first start: beside the document area, not over the Original of the first
            // document, following the main window while it takes its place.
            FollowUntilMoved(*owner, *this, [this, owner] { return FirstToolsPlacement(*owner, frameGeometry().size()); });
            return;
        }
        const double left = ReadToolsLeft(0.0f) / tpp;
        const double top = ReadToolsTop(0.0f) / tpp;
        // Stored in screen twips, as the window's own Left and Top.
        move(static_cast<int>(std::lround(left)), static_cast<int>(std::lround(top)));
    });
}

void frmTools::savePosition() {
    Guarded([this] {
        const double tpp = twipsPerPixel(this);
        const QPoint at = pos();
        WriteToolsPosition(static_cast<float>(at.x() * tpp), static_cast<float>(at.y() * tpp));
    });
}

void frmTools::closeEvent(QCloseEvent* event) {
    if (event->spontaneous()) {
        // The user closed the palette: it only hides, as View > Tools would.
        event->ignore();
        if (hideRequest_)
            hideRequest_();
        else
            hide();
        return;
    }
    // Unloading with the program.
    savePosition();
    if (unloadNotice_) unloadNotice_();
    event->accept();
}

// --- Tabs and frames ---------------------------------------------------------------------------

void frmTools::hideFrames(const QString& prefix, int count) {
    for (int k = 1; k <= count; ++k)
        if (QWidget* frame = findChild<QWidget*>(prefix + QString::number(k))) frame->hide();
}

void frmTools::showFrameOf(const QString& prefix, int count, int index) {
    hideFrames(prefix, count);
    if (QWidget* frame = findChild<QWidget*>(prefix + QString::number(index))) frame->show();
}

void frmTools::connectFrameArray(QComboBox* combo, const QString& prefix, int count) {
    connect(combo, &QComboBox::currentIndexChanged, this,
            [this, prefix, count](int index) { Guarded([&] { showFrameOf(prefix, count, index + 1); }); });
}

void frmTools::TabVariationSelected() {
    const int tab = ui_->TabVariationTools->currentIndex() + 1;
    setHelpContext(tab == 1 ? 1200 : 1201);
    showFrameOf(QStringLiteral("FrameVariationTools"), 2, tab);
}

void frmTools::TabOriginalSelected() {
    const int tab = std::clamp(ui_->TabOriginalTools->currentIndex() + 1, 1, 4);
    setHelpContext(kOriginalTabHelp[tab - 1]);
    showFrameOf(QStringLiteral("FrameOriginalTools"), 4, tab);
}

void frmTools::AktualisiereSelektionen() {
    hideFrames(QStringLiteral("FrameOriginalTools"), 4);
    hideFrames(QStringLiteral("FrameVariationTools"), 2);
}

void frmTools::ShowOriginalFace() {
    // Already showing only when the page of the selected tab shows too: activating a document
    // hides every page first, and the face must then be drawn again, not left empty.
    const int tab = std::clamp(ui_->TabOriginalTools->currentIndex() + 1, 1, 4);
    const QWidget* page = findChild<QWidget*>(QStringLiteral("FrameOriginalTools%1").arg(tab));
    if (IsOriginalFaceShown() && page && !page->isHidden() && ui_->FrameVariationTools1->isHidden() &&
        ui_->FrameVariationTools2->isHidden())
        return;
    AktualisiereSelektionen();
    ui_->TabVariationTools->hide();
    ui_->TabOriginalTools->show();
    TabOriginalSelected();
    setWindowTitle(LoadText(5412));
}

void frmTools::ShowVariationFace() {
    AktualisiereSelektionen();
    ui_->TabOriginalTools->hide();
    ui_->TabVariationTools->show();
    TabVariationSelected();
}

bool frmTools::IsOriginalFaceShown() const { return !ui_->TabOriginalTools->isHidden(); }

void frmTools::EnableFrameGIFAnimation(bool enabled) {
    ui_->LabelAnimationImageNumber->setEnabled(enabled);
    ui_->TextAnimationImageNumber->setEnabled(enabled);
    ui_->VScrollAnimationImageNumber->setEnabled(enabled);
    ui_->commandAnimationPlay->setEnabled(enabled);
}

// --- Value pairs ---------------------------------------------------------------------------------

void frmTools::SetControl(QAbstractSlider* control, int& value) {
    // Scroll bars hold 16-bit values: a picture three times wider than 32767 pixels could not
    // be shown on one, so the value stops there instead of overflowing.
    if (qobject_cast<QScrollBar*>(control)) value = std::min(value, kScrollBarLimit);
    if (value > control->maximum()) control->setMaximum(value);
    if (value < control->minimum()) value = control->minimum();
    control->setValue(value);
}

void frmTools::TextToSlider(int keyAscii, QLineEdit* text, QAbstractSlider* slider, int scale) {
    if (keyAscii != kKeyEnter) return;
    double number = ReadNumber(text->text()) * scale;
    if (number > slider->maximum()) {
        number = slider->maximum();
        text->setText(FormatScaled(slider->maximum(), scale));
    } else if (number < slider->minimum()) {
        number = slider->minimum();
        text->setText(FormatScaled(slider->minimum(), scale));
    }
    int value = RoundHalfEven(number);
    SetControl(slider, value);
}

void frmTools::connectPairs() {
    Ui::frmTools& u = *ui_;
    struct Pair {
        QAbstractSlider* slider;
        QLineEdit* text;
        int scale;
    };
    const Pair pairs[] = {
        {u.SliderBrightness, u.TextBrightness, 1},   {u.SliderGammaCorrect, u.TextGammaCorrect, 100},
        {u.SliderContrast, u.TextContrast, 1},       {u.SliderHistoContrast, u.TextHistoContrast, 1},
        {u.SliderHue, u.TextHue, 1},                 {u.SliderSaturation, u.TextSaturation, 1},
        {u.SliderHalftoneAngle, u.TextHalftoneAngle, 1}, {u.SliderSharpen, u.TextSharpen, 1},
        {u.SliderPosterize, u.TextPosterize, 1},     {u.SliderMosaic, u.TextMosaic, 1},
        {u.SliderEmbossDepth, u.TextEmbossDepth, 1}, {u.SliderSoften, u.TextSoften, 1},
        {u.SliderOilify, u.TextOilify, 1},           {u.SliderReduceNoise, u.TextReduceNoise, 1},
        {u.SliderAddNoiseRange, u.TextAddNoiseRange, 10},
        {u.SliderIntensityDetectLow, u.TextIntensityDetectLow, 1},
        {u.SliderIntensityDetectHigh, u.TextIntensityDetectHigh, 1},
        {u.SliderRotate, u.TextRotate, 1},           {u.SliderShear, u.TextShear, 1},
        {u.HScrollResizeWidth, u.TextResizeWidth, 1}, {u.HScrollResizeHeight, u.TextResizeHeight, 1},
        {u.HScrollCropWidth, u.TextCropWidth, 1},    {u.HScrollCropHeight, u.TextCropHeight, 1},
    };
    for (const Pair& p : pairs) {
        QLineEdit* text = p.text;
        QAbstractSlider* slider = p.slider;
        const int scale = p.scale;
        connect(slider, &QAbstractSlider::valueChanged, this,
                [text, scale](int value) { text->setText(FormatScaled(value, scale)); });
        // Enter commits; leaving the box commits too (editingFinished covers both, once).
        connect(text, &QLineEdit::editingFinished, this, [this, text, slider, scale] {
            Guarded([&] { TextToSlider(kKeyEnter, text, slider, scale); });
        });
    }
    // The intensity range: the other end follows so that low never exceeds high.
    connect(u.SliderIntensityDetectLow, &QAbstractSlider::valueChanged, this, [this](int low) {
        if (ui_->SliderIntensityDetectHigh->value() < low) SetControl(ui_->SliderIntensityDetectHigh, low);
    });
    connect(u.SliderIntensityDetectHigh, &QAbstractSlider::valueChanged, this, [this](int high) {
        if (high < ui_->SliderIntensityDetectLow->value()) SetControl(ui_->SliderIntensityDetectLow, high);
    });
    connect(u.HScrollResizeWidth, &QAbstractSlider::valueChanged, this, [this] { resizePairChanged(true); });
    connect(u.HScrollResizeHeight, &QAbstractSlider::valueChanged, this, [this] { resizePairChanged(false); });
    connect(u.CheckProportional, &QCheckBox::clicked, this, [this] { Guarded([this] { AktualisiereProportionen(); }); });
}

void frmTools::resizePairChanged(bool widthChanged) {
    if (aspectRatio_ <= 0 || pairLock_) return;
    if (widthChanged) {
        int height = ProportionalSize(ui_->HScrollResizeWidth->value() / aspectRatio_);
        SetControl(ui_->HScrollResizeHeight, height);
    } else {
        int width = ProportionalSize(ui_->HScrollResizeHeight->value() * aspectRatio_);
        SetControl(ui_->HScrollResizeWidth, width);
    }
}

void frmTools::AktualisiereProportionen() {
    if (!ui_->CheckProportional->isChecked()) {
        aspectRatio_ = 0.0;
        return;
    }
    frmDocument* document = ActiveDocument();
    if (!document) return;
    const imaging::ImageControl& original = document->picOriginal();
    if (original.HasRgn() && original.RgnHeight() > 0)
        aspectRatio_ = static_cast<double>(original.RgnWidth()) / original.RgnHeight();
    else if (original.BitmapHeight() > 0)
        aspectRatio_ = static_cast<double>(original.BitmapWidth()) / original.BitmapHeight();
}

std::uint32_t frmTools::SwatchColor(const QFrame* swatch) {
    return swatch->property("BackColor").toUInt();
}

void frmTools::SetSwatchColor(QFrame* swatch, std::uint32_t color) {
    swatch->setProperty("BackColor", color & 0xFFFFFFu);
    QPalette palette = swatch->palette();
    palette.setColor(QPalette::Window, QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                                              static_cast<int>((color >> 16) & 0xFF)));
    swatch->setPalette(palette);
    swatch->setAutoFillBackground(true);
}

void frmTools::chooseColour(QFrame* swatch) {
    const std::uint32_t current = SwatchColor(swatch);
    std::int64_t chosen = -1;
    if (colorChooser()) {
        chosen = colorChooser()(current);
    } else {
        const QColor initial(static_cast<int>(current & 0xFF), static_cast<int>((current >> 8) & 0xFF),
                             static_cast<int>((current >> 16) & 0xFF));
        const QColor picked = QColorDialog::getColor(initial, this);
        if (picked.isValid())
            chosen = static_cast<std::int64_t>(picked.red()) | (picked.green() << 8) | (picked.blue() << 16);
    }
    if (chosen >= 0) SetSwatchColor(swatch, static_cast<std::uint32_t>(chosen));
}

void frmTools::connectOriginalButtons() {
    Ui::frmTools& u = *ui_;
    connect(u.CommandFillColor, &QPushButton::clicked, this, [this] { Guarded([this] { chooseColour(ui_->FrameFillColor); }); });
    connect(u.CommandRotateColor, &QPushButton::clicked, this,
            [this] { Guarded([this] { chooseColour(ui_->FrameRotateColor); }); });
    connect(u.CommandShearColor, &QPushButton::clicked, this,
            [this] { Guarded([this] { chooseColour(ui_->FrameShearColor); }); });
    connect(u.CommandCropSelection, &QPushButton::clicked, this, [this] {
        cropSelectionRequest_ = 1;
        CommandApply_Click();
        // An Apply that was refused (an animation, no document) did not honour the request;
        // left set, it would make the next plain Apply crop to a selection.
        cropSelectionRequest_ = 0;
    });
}

// --- Apply and Keenfit ---------------------------------------------------------------------

bool frmTools::autoApplyOn() const { return ProgramOptions().OptionsAutoApply == 1; }

void frmTools::requestApply() {
    if (filling_) return;
    applyPending_ = true;
}

void frmTools::finishHandler() {
    --handlerDepth_;
    if (handlerDepth_ > 0 || !applyPending_) return;
    applyPending_ = false;
    if (!filling_ && autoApplyOn()) CommandApply_Click();
}

void frmTools::CommandApply_Click() {
    if (!ApplyReady) return;
    Guarded([this] {
        frmDocument* document = ActiveDocument();
        if (!document) return;
        if (IsOriginalFaceShown()) {
            const imaging::ImageControl& original = document->picOriginal();
            if (IsAnimatedImage(original.InfoAnimation(), original.InfoPage(), original.InfoFormat())) {
                showMessage(5504);
                return;
            }
            if (undoHook_) undoHook_(*document);
            AusfuehrenOriginalAenderungen();
        } else {
            const int n = document->FindeSelektierteGrafik();
            if (n <= 0) return;
            lastNumColors_ = ui_->ComboNumColors->currentText();
            // What is applied now is what the face shows: no edit of it is pending any more.
            shownValues_ = ReadVariationTab();
            shownVariation_ = n;
            document->AusfuehrenVariationAenderungen(n);
        }
        document->OriginalResize();
    });
}

void frmTools::CommandKeenfit_Click() {
    Guarded([this] {
        frmDocument* document = ActiveDocument();
        if (!document) return;
        if (IsOriginalFaceShown()) {
            for (int i = 1; i <= kVariationCount; ++i) {
                document->SetGrafikInitialisiert(i, 0);
                document->AktualisiereVariation(i);
            }
        } else if (const int n = document->FindeSelektierteGrafik(); n > 0) {
            document->SetGrafikInitialisiert(n, 0);
            document->AktualisiereVariation(n);
        }
    });
}

bool frmTools::eventFilter(QObject* watched, QEvent* event) {
    // The quality slider applies when the mouse is released on it, not while it is dragged.
    if (watched == ui_->SliderQuality && event->type() == QEvent::MouseButtonRelease) {
        Guarded([this] {
            HandlerScope scope(*this);
            requestApply();
        });
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kalmira
