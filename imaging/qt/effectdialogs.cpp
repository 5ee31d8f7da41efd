#include "qt/effectdialogs.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "core/error.h"
#include "ops/preview.h"

namespace imaging {

namespace {

// Text ids of the dialogs' labels, and the English texts used without a text source.
const std::map<int, const char*>& englishTexts() {
    static const std::map<int, const char*> texts = {
        {6430, "Before"}, {6431, "After"}, {6432, "&Value:"}, {6433, "&Gamma (1/100):"}, {6434, "&Depth:"},
        {6435, "Direction"}, {6436, "N"}, {6437, "NE"}, {6438, "E"}, {6439, "SE"}, {6440, "S"}, {6441, "SW"},
        {6442, "W"}, {6443, "NW"}, {6444, "&Range:"}, {6445, "Channel"}, {6446, "&All"}, {6447, "&Red"},
        {6448, "&Green"}, {6449, "&Blue"}, {6450, "&Low:"}, {6451, "&High:"}, {6452, "&Filter:"},
        {6453, "Sobel, horizontal"}, {6454, "Sobel, vertical"}, {6455, "Prewitt, horizontal"},
        {6456, "Prewitt, vertical"}, {6457, "Horizontal lines"}, {6458, "Vertical lines"},
        {6459, "Diagonal, left to right"}, {6460, "Diagonal, right to left"}, {6461, "&Angle (degrees):"},
        {6462, "&Fill color..."}, {6463, "&Enlarge to fit"}, {6464, "&Horizontal"}, {6465, "OK"}, {6466, "Cancel"},
        {2800, "Brightness"}, {2801, "Gamma Correction"}, {2802, "Contrast"}, {2803, "Histogram Contrast"},
        {2806, "Hue"}, {2807, "Saturation"}, {3150, "Halftone"}, {3151, "Blur / Sharpen"}, {3152, "Posterize"},
        {3153, "Mosaic"}, {3154, "Emboss"}, {3155, "Soften"}, {3156, "Oil Painting"}, {3157, "Reduce noise"},
        {3158, "Add noise"}, {3159, "Intensity detect"}, {3160, "Edge detect"}, {3161, "Line Detect"},
        {3250, "Rotate"}, {3251, "Parallelogram"},
    };
    return texts;
}

struct EffectRange {
    int minimum;
    int maximum;
    int nameId;
};

// The values each effect takes, as the tools window's sliders hold them in engine units.
EffectRange effectRange(std::uint32_t flag) {
    switch (flag) {
    case ImageDialogs::Sharpen: return {-1000, 1000, 3151};
    case ImageDialogs::Brightness: return {-1000, 1000, 2800};
    case ImageDialogs::Contrast: return {-1000, 1000, 2802};
    case ImageDialogs::Saturation: return {-1000, 1000, 2807};
    case ImageDialogs::HistoContrast: return {-1000, 1000, 2803};
    case ImageDialogs::Hue: return {-180, 180, 2806};
    case ImageDialogs::Halftone: return {-180, 180, 3150};
    case ImageDialogs::Posterize: return {2, 64, 3152};
    case ImageDialogs::Mosaic: return {2, 100, 3153};
    case ImageDialogs::Soften: return {2, 100, 3155};
    case ImageDialogs::ReduceNoise: return {2, 100, 3157};
    case ImageDialogs::Oilify: return {2, 100, 3156};
    default: return {0, 0, 0};
    }
}

EffectDialogs::ShowHook& showHook() {
    static EffectDialogs::ShowHook hook;
    return hook;
}

QImage toImage(const Bitmap& rgb) {
    QImage image(rgb.width(), rgb.height(), QImage::Format_RGB888);
    for (int y = 0; y < rgb.height(); ++y)
        std::copy_n(rgb.row(y), static_cast<std::size_t>(rgb.width()) * 3, image.scanLine(y));
    return image;
}

QString colorStyle(Rgb c) {
    return QStringLiteral("background: rgb(%1, %2, %3);").arg(redOf(c)).arg(greenOf(c)).arg(blueOf(c));
}

// A slider with a number box beside it, both showing one value.
QSlider* addPair(QFormLayout* form, const QString& label, const QString& name, int minimum, int maximum, int value) {
    auto* slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(QStringLiteral("Slider") + name);
    slider->setRange(minimum, maximum);
    auto* box = new QSpinBox;
    box->setObjectName(QStringLiteral("Text") + name);
    box->setRange(minimum, maximum);
    slider->setValue(value);
    box->setValue(slider->value());
    QObject::connect(slider, &QSlider::valueChanged, box, &QSpinBox::setValue);
    QObject::connect(box, &QSpinBox::valueChanged, slider, &QSlider::setValue);
    auto* row = new QHBoxLayout;
    row->addWidget(slider, 1);
    row->addWidget(box);
    auto* caption = new QLabel(label);
    caption->setBuddy(slider);
    form->addRow(caption, row);
    return slider;
}

// Radio buttons in a group box; returns them in order.
std::vector<QAbstractButton*> addChoices(QVBoxLayout* layout, const QString& title, const QString& prefix,
                                         const QStringList& captions, int columns, int checked) {
    auto* group = new QGroupBox(title);
    group->setObjectName(QStringLiteral("Frame") + prefix);
    auto* grid = new QGridLayout(group);
    std::vector<QAbstractButton*> buttons;
    for (int i = 0; i < captions.size(); ++i) {
        auto* option = new QRadioButton(captions[i]);
        option->setObjectName(QStringLiteral("Option%1%2").arg(prefix).arg(i));
        option->setChecked(i == checked);
        grid->addWidget(option, i / columns, i % columns);
        buttons.push_back(option);
    }
    layout->addWidget(group);
    return buttons;
}

int checkedIndex(const std::vector<QAbstractButton*>& buttons) {
    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (buttons[i]->isChecked()) return static_cast<int>(i);
    return 0;
}

}  // namespace

EffectDialogs::ShowHook EffectDialogs::SetShowHook(ShowHook hook) { return std::exchange(showHook(), std::move(hook)); }

EffectDialogs::Operation EffectDialogs::EffectOperation(std::uint32_t flag, int value, double scale) {
    // Window and tile sizes are lengths in pixels: on a smaller view they shrink with it.
    const auto size = [scale](long v) { return std::max(1L, static_cast<long>(std::lround(v * scale))); };
    switch (flag) {
    case Sharpen: return {"Sharpen", {value}};
    case Brightness: return {"Intensity", {value}};
    case Contrast: return {"Contrast", {value}};
    case Saturation: return {"Saturation", {value}};
    case HistoContrast: return {"HistoContrast", {value}};
    case Hue: return {"Hue", {value}};
    case Halftone: return {"Halftone", {1, value * 100L}};
    case Posterize: return {"Posterize", {value}};
    case Mosaic: return {"Mosaic", {size(value)}};
    case Soften: return {"Average", {size(value)}};
    case ReduceNoise: return {"Median", {size(value)}};
    case Oilify: return {"Oilify", {size(value)}};
    default: fail(ErrorCode::InvalidArgument, "effect dialog", "unknown effect flag " + std::to_string(flag));
    }
}

QString EffectDialogs::text(int id) const {
    if (texts_) {
        const QString found = texts_(id);
        if (!found.isEmpty()) return found;
    }
    const auto english = englishTexts().find(id);
    return english != englishTexts().end() ? QString::fromUtf8(english->second) : QString();
}

int EffectDialogs::ShowOpenFile(QWidget* owner) {
    QStringList filters;
    const QStringList parts = filter_.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters.append(QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '))));
    const QString chosen = QFileDialog::getOpenFileName(owner, title_, folder_.isEmpty() ? fileName_ : folder_,
                                                        filters.join(QStringLiteral(";;")));
    if (chosen.isEmpty()) return kDialogCancelled;
    fileName_ = chosen;
    return 0;
}

int EffectDialogs::ShowEffect(QWidget* owner) { return show(Kind::Effect, owner); }
int EffectDialogs::ShowGamma(QWidget* owner) { return show(Kind::Gamma, owner); }
int EffectDialogs::ShowEmboss(QWidget* owner) { return show(Kind::Emboss, owner); }
int EffectDialogs::ShowAddNoise(QWidget* owner) { return show(Kind::AddNoise, owner); }
int EffectDialogs::ShowIntensityDetect(QWidget* owner) { return show(Kind::IntensityDetect, owner); }
int EffectDialogs::ShowSpatialFilter(QWidget* owner) { return show(Kind::SpatialFilter, owner); }
int EffectDialogs::ShowRotateShear(QWidget* owner) { return show(Kind::RotateShear, owner); }

int EffectDialogs::show(Kind kind, QWidget* owner) {
    if (!bitmap_ || bitmap_->empty()) return static_cast<int>(ErrorCode::NoImage);
    const std::uint32_t flag = flags_ & ~kEffectDialogFlags;
    if (kind == Kind::Effect && effectRange(flag).nameId == 0) return static_cast<int>(ErrorCode::InvalidArgument);

    QDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("EffectDialog"));
    const ops::PreviewImage preview(*bitmap_, kPreviewWidth, kPreviewHeight);
    const double scale = preview.scale();

    auto* layout = new QVBoxLayout(&dialog);
    auto* views = new QHBoxLayout;
    const auto addView = [&](const QString& caption, const QString& name) {
        auto* column = new QVBoxLayout;
        auto* label = new QLabel(caption);
        auto* image = new QLabel;
        image->setObjectName(name);
        image->setFixedSize(kPreviewWidth, kPreviewHeight);
        image->setAlignment(Qt::AlignCenter);
        image->setFrameShape(QFrame::StyledPanel);
        column->addWidget(label);
        column->addWidget(image);
        views->addLayout(column);
        return image;
    };
    QLabel* before = addView(text(6430), QStringLiteral("imgBefore"));
    QLabel* after = addView(text(6431), QStringLiteral("imgAfter"));
    before->setPixmap(QPixmap::fromImage(toImage(preview.before())));
    layout->addLayout(views);
    auto* form = new QFormLayout;
    layout->addLayout(form);

    // Each kind builds its controls and says how to read them: the operation previewed for the
    // present values, and what OK writes back.
    std::function<Operation()> operation;
    std::function<void()> commit;
    std::vector<QObject*> changers;
    QString ownTitle;
    switch (kind) {
    case Kind::Effect: {
        const EffectRange range = effectRange(flag);
        ownTitle = text(range.nameId);
        QSlider* value = addPair(form, text(6432), QStringLiteral("Value"), range.minimum, range.maximum, effectValue_);
        changers = {value};
        operation = [flag, value, scale] { return EffectOperation(flag, value->value(), scale); };
        commit = [this, value] { effectValue_ = value->value(); };
        break;
    }
    case Kind::Gamma: {
        ownTitle = text(2801);
        QSlider* value = addPair(form, text(6433), QStringLiteral("Gamma"), 0, 300, gamma_);
        changers = {value};
        operation = [value] { return Operation{"GammaCorrect", {value->value()}}; };
        commit = [this, value] { gamma_ = value->value(); };
        break;
    }
    case Kind::Emboss: {
        ownTitle = text(3154);
        QSlider* depth = addPair(form, text(6434), QStringLiteral("Depth"), 0, 1000, embossDepth_);
        QStringList names;
        for (int id = 6436; id <= 6443; ++id) names.append(text(id));
        const auto directions = addChoices(layout, text(6435), QStringLiteral("Direction"), names, 4, embossDirection_);
        changers = {depth};
        for (QAbstractButton* b : directions) changers.push_back(b);
        operation = [depth, directions] { return Operation{"Emboss", {checkedIndex(directions), depth->value()}}; };
        commit = [this, depth, directions] {
            embossDepth_ = depth->value();
            embossDirection_ = checkedIndex(directions);
        };
        break;
    }
    case Kind::AddNoise: {
        ownTitle = text(3158);
        QSlider* range = addPair(form, text(6444), QStringLiteral("Range"), 0, 1000, noiseRange_);
        const auto channels = addChoices(layout, text(6445), QStringLiteral("Channel"),
                                         {text(6446), text(6447), text(6448), text(6449)}, 4, noiseChannel_);
        changers = {range};
        for (QAbstractButton* b : channels) changers.push_back(b);
        operation = [range, channels] { return Operation{"AddNoise", {range->value(), checkedIndex(channels)}}; };
        commit = [this, range, channels] {
            noiseRange_ = range->value();
            noiseChannel_ = checkedIndex(channels);
        };
        break;
    }
    case Kind::IntensityDetect: {
        ownTitle = text(3159);
        QSlider* low = addPair(form, text(6450), QStringLiteral("Low"), 0, 255, intensityLow_);
        QSlider* high = addPair(form, text(6451), QStringLiteral("High"), 0, 255, intensityHigh_);
        changers = {low, high};
        operation = [low, high] { return Operation{"IntensityDetect", {low->value(), high->value()}}; };
        commit = [this, low, high] {
            intensityLow_ = low->value();
            intensityHigh_ = high->value();
        };
        break;
    }
    case Kind::SpatialFilter: {
        const bool lines = (flag & Lines) != 0;
        ownTitle = text(lines ? 3161 : 3160);
        const int first = lines ? 29 : 22;
        auto* combo = new QComboBox;
        combo->setObjectName(QStringLiteral("ComboFilterKind"));
        for (int k = 0; k < 4; ++k) combo->addItem(text((lines ? 6457 : 6453) + k), first + k);
        int start = spatialKind_ >= first && spatialKind_ < first + 4 ? spatialKind_ - first : 0;
        if (!lines && spatialKind_ == 0 && (flag & PrewittEdges)) start = 2;
        combo->setCurrentIndex(start);
        form->addRow(text(6452), combo);
        changers = {combo};
        operation = [combo] { return Operation{"SpatialFilter", {combo->currentData().toInt()}}; };
        commit = [this, combo] { spatialKind_ = combo->currentData().toInt(); };
        break;
    }
    case Kind::RotateShear: {
        const bool shear = flag == ShearDialog;
        ownTitle = text(shear ? 3251 : 3250);
        auto* angle = new QDoubleSpinBox;
        angle->setObjectName(QStringLiteral("SpinAngle"));
        angle->setDecimals(2);
        // The program's sliders hold a shear of -45..45 degrees; a wider range here would
        // preview an angle the Apply that follows cannot take.
        angle->setRange(shear ? -45.0 : -360.0, shear ? 45.0 : 360.0);
        angle->setValue(angle_ / 100.0);
        form->addRow(text(6461), angle);
        auto* fill = new QPushButton(text(6462));
        fill->setObjectName(QStringLiteral("cmdFillColor"));
        auto* swatch = new QLabel;
        swatch->setObjectName(QStringLiteral("FrameFillColor"));
        swatch->setFixedSize(40, 22);
        swatch->setFrameShape(QFrame::Box);
        auto fillColor = std::make_shared<Rgb>(fillColor_ & 0xFFFFFF);
        swatch->setStyleSheet(colorStyle(*fillColor));
        auto* row = new QHBoxLayout;
        row->addWidget(swatch);
        row->addWidget(fill);
        row->addStretch();
        form->addRow(row);
        auto* flagBox = new QCheckBox(text(shear ? 6464 : 6463));
        flagBox->setObjectName(QStringLiteral("CheckSwitch"));
        flagBox->setChecked(geometrySwitch_);
        form->addRow(flagBox);
        changers = {angle, flagBox};
        const auto hundredths = [angle] { return static_cast<long>(std::lround(angle->value() * 100.0)); };
        operation = [=] {
            return Operation{shear ? "Shear" : "Rotate",
                             {hundredths(), flagBox->isChecked() ? 1 : 0, static_cast<long>(*fillColor)}};
        };
        commit = [=, this] {
            angle_ = static_cast<int>(hundredths());
            fillColor_ = *fillColor;
            geometrySwitch_ = flagBox->isChecked();
        };
        QObject::connect(fill, &QPushButton::clicked, &dialog, [&dialog, swatch, fillColor, angle] {
            const Rgb c = *fillColor;
            const QColor chosen = QColorDialog::getColor(QColor(redOf(c), greenOf(c), blueOf(c)), &dialog);
            if (!chosen.isValid()) return;
            *fillColor = makeRgb(chosen.red(), chosen.green(), chosen.blue());
            swatch->setStyleSheet(colorStyle(*fillColor));
            // The preview follows the colour too.
            emit angle->valueChanged(angle->value());
        });
        break;
    }
    }
    dialog.setWindowTitle(title_.isEmpty() ? ownTitle : title_);

    // A slider that moves fast asks for many refreshes; they are gathered into one per turn of
    // the event loop, so the view never falls behind the slider.
    auto* refresh = new QTimer(&dialog);
    refresh->setSingleShot(true);
    refresh->setInterval(0);
    QObject::connect(refresh, &QTimer::timeout, &dialog, [&] {
        try {
            const Operation op = operation();
            after->setPixmap(QPixmap::fromImage(toImage(preview.render(op.name, op.args))));
            after->setToolTip(QString());
        } catch (const std::exception& error) {
            // Values the operation refuses (a low above the high intensity) show the picture
            // unchanged and say why; OK then leaves the decision to the operation itself.
            after->setPixmap(before->pixmap());
            after->setToolTip(QString::fromUtf8(error.what()));
        }
    });
    for (QObject* changer : changers) {
        if (auto* slider = qobject_cast<QSlider*>(changer))
            QObject::connect(slider, &QSlider::valueChanged, refresh, qOverload<>(&QTimer::start));
        else if (auto* button = qobject_cast<QAbstractButton*>(changer))
            QObject::connect(button, &QAbstractButton::toggled, refresh, qOverload<>(&QTimer::start));
        else if (auto* combo = qobject_cast<QComboBox*>(changer))
            QObject::connect(combo, &QComboBox::currentIndexChanged, refresh, qOverload<>(&QTimer::start));
        else if (auto* spin = qobject_cast<QDoubleSpinBox*>(changer))
            QObject::connect(spin, &QDoubleSpinBox::valueChanged, refresh, qOverload<>(&QTimer::start));
    }
    refresh->start();

    auto* buttons = new QDialogButtonBox;
    buttons->setObjectName(QStringLiteral("buttons"));
    QPushButton* ok = buttons->addButton(text(6465), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(text(6466), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);

    bool decided = false;
    QObject::connect(&dialog, &QDialog::finished, &dialog, [&decided] { decided = true; });
    if (showHook()) showHook()(dialog);
    const int result = decided ? dialog.result() : dialog.exec();
    if (result != QDialog::Accepted) return kDialogCancelled;
    commit();
    return 0;
}

}  // namespace imaging
