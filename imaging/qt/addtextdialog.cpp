#include "qt/addtextdialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/error.h"
#include "qt/dialogtexts.h"
#include "qt/qimagebridge.h"

namespace imaging {

namespace {

constexpr int kPreviewSide = 300;
constexpr int kMargin = 5;

QLabel* label(int id, const char* english, QWidget* buddy) {
    auto* l = new QLabel(DialogText(id, english));
    l->setBuddy(buddy);
    return l;
}

QCheckBox* check(const char* name, int id, const char* english, bool on) {
    auto* box = new QCheckBox(DialogText(id, english));
    box->setObjectName(QLatin1String(name));
    box->setChecked(on);
    return box;
}

QSpinBox* spin(const char* name, int low, int high, int value) {
    auto* box = new QSpinBox;
    box->setObjectName(QLatin1String(name));
    box->setRange(low, high);
    box->setValue(value);
    return box;
}

}  // namespace

QRectF previewTextRect(int width, int height) {
    if (width > kMargin && height > kMargin) return QRectF(kMargin, kMargin, width - kMargin, height - kMargin);
    return QRectF(0, 0, width, height);
}

AddTextDialog::AddTextDialog(const Bitmap* picture, const AddTextSettings& start, QWidget* owner)
    : QDialog(owner), picture_(picture), values_(start) {
    setObjectName(QStringLiteral("AddTextDialog"));
    setWindowTitle(DialogText(6200, "Add Text"));
    setModal(true);
    build();
    refreshPreview();
}

AddTextDialog::~AddTextDialog() = default;

void AddTextDialog::showSwatch(QPushButton* swatch, Rgb color) {
    QPixmap chip(16, 16);
    chip.fill(QColor(redOf(color), greenOf(color), blueOf(color)));
    swatch->setIcon(QIcon(chip));
}

void AddTextDialog::build() {
    auto* all = new QHBoxLayout(this);
    auto* form = new QVBoxLayout;
    all->addLayout(form);

    text_ = new QPlainTextEdit(values_.text);
    text_->setObjectName(QStringLiteral("TextText"));
    text_->setMinimumWidth(260);
    text_->setMaximumHeight(70);
    form->addWidget(label(6201, "&Text:", text_));
    form->addWidget(text_);

    auto* fontBox = new QGroupBox(DialogText(6202, "Font"));
    auto* fontGrid = new QGridLayout(fontBox);
    fontName_ = new QFontComboBox;
    fontName_->setObjectName(QStringLiteral("ComboFont"));
    fontName_->setCurrentFont(values_.font);
    const int size = values_.font.pointSize() > 0 ? values_.font.pointSize() : 24;
    fontSize_ = spin("TextFontSize", 4, 400, size);
    fontGrid->addWidget(fontName_, 0, 0, 1, 3);
    fontGrid->addWidget(label(6203, "Si&ze:", fontSize_), 0, 3);
    fontGrid->addWidget(fontSize_, 0, 4);
    bold_ = check("CheckBold", 6204, "&Bold", values_.font.bold());
    italic_ = check("CheckItalic", 6205, "&Italic", values_.font.italic());
    underline_ = check("CheckUnderline", 6206, "&Underline", values_.font.underline());
    strikeout_ = check("CheckStrikethrough", 6207, "Stri&kethrough", values_.font.strikeOut());
    fontGrid->addWidget(bold_, 1, 0);
    fontGrid->addWidget(italic_, 1, 1);
    fontGrid->addWidget(underline_, 1, 2);
    fontGrid->addWidget(strikeout_, 1, 3, 1, 2);
    form->addWidget(fontBox);

    auto* lookBox = new QGroupBox(DialogText(6216, "Look"));
    auto* grid = new QGridLayout(lookBox);
    style_ = new QComboBox;
    style_->setObjectName(QStringLiteral("ComboStyle"));
    style_->addItems({DialogText(6217, "Flat"), DialogText(6218, "Raised"), DialogText(6219, "Inset"),
                      DialogText(6220, "Shadowed"), DialogText(6221, "Outlined")});
    style_->setCurrentIndex(std::clamp(values_.style, 0, 4));
    alignment_ = new QComboBox;
    alignment_->setObjectName(QStringLiteral("ComboAlignment"));
    alignment_->addItems({DialogText(6212, "Left"), DialogText(6213, "Right"), DialogText(6214, "Centred")});
    alignment_->setCurrentIndex(std::clamp(values_.alignment, 0, 2));
    angle_ = spin("TextAngle", -360, 360, values_.angle);
    shadowX_ = spin("TextShadowX", -50, 50, values_.shadowXDepth);
    shadowY_ = spin("TextShadowY", -50, 50, values_.shadowYDepth);
    textColor_ = new QPushButton(DialogText(6208, "Te&xt colour..."));
    textColor_->setObjectName(QStringLiteral("cmdTextColor"));
    highlightColor_ = new QPushButton(DialogText(6209, "&Highlight colour..."));
    highlightColor_->setObjectName(QStringLiteral("cmdHighlightColor"));
    shadowColor_ = new QPushButton(DialogText(6210, "Sha&dow colour..."));
    shadowColor_->setObjectName(QStringLiteral("cmdShadowColor"));
    grid->addWidget(label(6222, "&Style:", style_), 0, 0);
    grid->addWidget(style_, 0, 1);
    grid->addWidget(label(6211, "&Alignment:", alignment_), 0, 2);
    grid->addWidget(alignment_, 0, 3);
    grid->addWidget(label(6215, "An&gle:", angle_), 1, 0);
    grid->addWidget(angle_, 1, 1);
    grid->addWidget(label(6223, "Shadow &X, Y:", shadowX_), 1, 2);
    auto* depths = new QHBoxLayout;
    depths->addWidget(shadowX_);
    depths->addWidget(shadowY_);
    grid->addLayout(depths, 1, 3);
    grid->addWidget(textColor_, 2, 0, 1, 2);
    grid->addWidget(highlightColor_, 2, 2, 1, 2);
    grid->addWidget(shadowColor_, 3, 0, 1, 2);
    form->addWidget(lookBox);

    wordWrap_ = check("CheckWordWrap", 6224, "&Word wrap", values_.wordWrap);
    form->addWidget(wordWrap_);
    auto* fillRow = new QHBoxLayout;
    foreground_ = check("CheckForeground", 6225, "Fill the letters with an &image", values_.useForeground);
    foreground_->setEnabled(!values_.foreground.empty());
    chooseForeground_ = new QPushButton(DialogText(6226, "&Choose image..."));
    chooseForeground_->setObjectName(QStringLiteral("cmdForeground"));
    fillRow->addWidget(foreground_);
    fillRow->addWidget(chooseForeground_);
    form->addLayout(fillRow);
    form->addStretch();

    auto* right = new QVBoxLayout;
    all->addLayout(right);
    auto* previewBox = new QGroupBox(DialogText(6227, "Preview"));
    auto* previewLayout = new QVBoxLayout(previewBox);
    previewLabel_ = new QLabel;
    previewLabel_->setObjectName(QStringLiteral("picPreview"));
    previewLabel_->setFixedSize(kPreviewSide, kPreviewSide);
    previewLabel_->setAlignment(Qt::AlignCenter);
    previewLayout->addWidget(previewLabel_);
    right->addWidget(previewBox);
    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(DialogText(6228, "OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(DialogText(6229, "Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    right->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    showSwatch(textColor_, values_.textColor);
    showSwatch(highlightColor_, values_.highlightColor);
    showSwatch(shadowColor_, values_.shadowColor);
    connect(textColor_, &QPushButton::clicked, this, [this] { pickColor(values_.textColor, textColor_); });
    connect(highlightColor_, &QPushButton::clicked, this,
            [this] { pickColor(values_.highlightColor, highlightColor_); });
    connect(shadowColor_, &QPushButton::clicked, this, [this] { pickColor(values_.shadowColor, shadowColor_); });
    connect(chooseForeground_, &QPushButton::clicked, this, [this] { pickForeground(); });

    const auto refresh = [this] { refreshPreview(); };
    connect(text_, &QPlainTextEdit::textChanged, this, refresh);
    connect(fontName_, &QFontComboBox::currentFontChanged, this, refresh);
    for (QSpinBox* box : {fontSize_, angle_, shadowX_, shadowY_})
        connect(box, &QSpinBox::valueChanged, this, refresh);
    for (QCheckBox* box : {bold_, italic_, underline_, strikeout_, wordWrap_, foreground_})
        connect(box, &QCheckBox::toggled, this, refresh);
    for (QComboBox* box : {style_, static_cast<QComboBox*>(alignment_)})
        connect(box, &QComboBox::currentIndexChanged, this, refresh);
}

AddTextSettings AddTextDialog::Settings() const {
    AddTextSettings s = values_;
    s.text = text_->toPlainText();
    s.font = fontName_->currentFont();
    s.font.setPointSize(fontSize_->value());
    s.font.setBold(bold_->isChecked());
    s.font.setItalic(italic_->isChecked());
    s.font.setUnderline(underline_->isChecked());
    s.font.setStrikeOut(strikeout_->isChecked());
    s.alignment = alignment_->currentIndex();
    s.angle = angle_->value();
    s.style = style_->currentIndex();
    s.shadowXDepth = shadowX_->value();
    s.shadowYDepth = shadowY_->value();
    s.wordWrap = wordWrap_->isChecked();
    s.useForeground = foreground_->isChecked() && !values_.foreground.empty();
    return s;
}

void AddTextDialog::pickColor(Rgb& color, QPushButton* swatch) {
    Rgb chosen = color;
    bool ok = false;
    if (colorPicker_) {
        ok = colorPicker_(chosen);
    } else {
        const QColor c = QColorDialog::getColor(QColor(redOf(color), greenOf(color), blueOf(color)), this);
        ok = c.isValid();
        if (ok) chosen = makeRgb(c.red(), c.green(), c.blue());
    }
    if (!ok) return;
    color = chosen;
    showSwatch(swatch, color);
    refreshPreview();
}

void AddTextDialog::pickForeground() {
    Bitmap image;
    if (!imagePicker_ || !imagePicker_(image) || image.empty()) return;
    values_.foreground = std::move(image);
    foreground_->setEnabled(true);
    foreground_->setChecked(true);
    refreshPreview();
}

void AddTextDialog::refreshPreview() {
    if (!picture_ || picture_->empty()) {
        previewLabel_->clear();
        return;
    }
    const AddTextSettings s = Settings();
    TextDrawing state;
    state.DrawFont = s.font;
    state.DrawFontColor = s.textColor;
    const QRectF box = previewTextRect(picture_->width(), picture_->height());
    state.TextLeft = box.left();
    state.TextTop = box.top();
    state.TextWidth = box.width();
    state.TextHeight = box.height();
    state.TextAlign = s.alignment;
    state.TextAngle = s.angle;
    state.TextHiliteColor = s.highlightColor;
    state.TextStyle = s.style;
    state.ShadowColor = s.shadowColor;
    state.ShadowXDepth = s.shadowXDepth;
    state.ShadowYDepth = s.shadowYDepth;
    state.TextWordWrap = s.wordWrap;
    Bitmap drawn = *picture_;
    try {
        drawText(drawn, state, s.text, s.useForeground ? &values_.foreground : nullptr);
    } catch (const Error&) {
        // The preview shows the picture as it is when the text cannot be laid out.
    }
    preview_ = toQImage(drawn).scaled(kPreviewSide, kPreviewSide, Qt::KeepAspectRatio,
                                      drawn.width() > kPreviewSide || drawn.height() > kPreviewSide
                                          ? Qt::SmoothTransformation
                                          : Qt::FastTransformation);
    previewLabel_->setPixmap(QPixmap::fromImage(preview_));
}

}  // namespace imaging
