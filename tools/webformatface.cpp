#include "tools/webformatface.h"

#include <QEvent>

#include <algorithm>

#include "common/errortrap.h"
#include "ui_WebFormatFace.h"

namespace kalmira {

WebFormatFace::WebFormatFace(QWidget* parent, int formatCode, int maxEffort, std::function<void()> apply)
    : QFrame(parent), ui_(std::make_unique<Ui::WebFormatFace>()), apply_(std::move(apply)) {
    ui_->setupUi(this);
    setObjectName(QStringLiteral("FrameFormat%1").arg(formatCode));
    ui_->SliderWebEffort->setMaximum(maxEffort);
    auto changed = [this] {
        if (!filling_ && apply_) Guarded([this] { apply_(); });
    };
    connect(ui_->SliderWebQuality, &QAbstractSlider::valueChanged, this,
            [this](int v) { ui_->TextWebQuality->setText(QString::number(v)); });
    connect(ui_->SliderWebEffort, &QAbstractSlider::valueChanged, this,
            [this](int v) { ui_->TextWebEffort->setText(QString::number(v)); });
    // As with the JPEG quality, a slider applies when released, not while dragged; keys move
    // it and apply at once.
    connect(ui_->SliderWebQuality, &QAbstractSlider::sliderReleased, this, changed);
    connect(ui_->SliderWebEffort, &QAbstractSlider::sliderReleased, this, changed);
    ui_->SliderWebQuality->installEventFilter(this);
    ui_->SliderWebEffort->installEventFilter(this);
    connect(ui_->CheckWebLossless, &QAbstractButton::toggled, this, changed);
    connect(ui_->TextWebQuality, &QLineEdit::editingFinished, this, [this] { commitText(true); });
    connect(ui_->TextWebEffort, &QLineEdit::editingFinished, this, [this] { commitText(false); });
}

WebFormatFace::~WebFormatFace() = default;

bool WebFormatFace::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease && (watched == ui_->SliderWebQuality || watched == ui_->SliderWebEffort) &&
        !filling_ && apply_)
        Guarded([this] { apply_(); });
    return QFrame::eventFilter(watched, event);
}

void WebFormatFace::commitText(bool quality) {
    // A number is clamped into the slider's range; anything else counts as 0, as the other
    // number boxes of the window do it.
    QLineEdit* text = quality ? ui_->TextWebQuality : ui_->TextWebEffort;
    QSlider* slider = quality ? ui_->SliderWebQuality : ui_->SliderWebEffort;
    const int value = std::clamp(text->text().trimmed().toInt(), slider->minimum(), slider->maximum());
    const bool differs = value != slider->value();
    slider->setValue(value);
    text->setText(QString::number(value));
    if (differs && !filling_ && apply_) Guarded([this] { apply_(); });
}

void WebFormatFace::Fill(const VariationRecord& record) {
    filling_ = true;
    ui_->SliderWebQuality->setValue(std::clamp(record.WebQuality, 0, 100));
    ui_->TextWebQuality->setText(QString::number(ui_->SliderWebQuality->value()));
    ui_->CheckWebLossless->setChecked(record.WebLossless);
    ui_->SliderWebEffort->setValue(std::clamp(record.WebEffort, 0, ui_->SliderWebEffort->maximum()));
    ui_->TextWebEffort->setText(QString::number(ui_->SliderWebEffort->value()));
    filling_ = false;
}

void WebFormatFace::Read(VariationTabValues& values) const {
    values.WebQuality = Quality();
    values.WebLossless = Lossless();
    values.WebEffort = Effort();
}

int WebFormatFace::Quality() const { return ui_->SliderWebQuality->value(); }
bool WebFormatFace::Lossless() const { return ui_->CheckWebLossless->isChecked(); }
int WebFormatFace::Effort() const { return ui_->SliderWebEffort->value(); }

}  // namespace kalmira
