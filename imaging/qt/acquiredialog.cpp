#include "qt/acquiredialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include "core/error.h"
#include "qt/dialogtexts.h"

namespace imaging {

namespace {

QString unitSuffix(scan::Option::Unit unit) {
    switch (unit) {
    case scan::Option::Unit::Pixel: return QStringLiteral(" px");
    case scan::Option::Unit::Bit: return QStringLiteral(" bit");
    case scan::Option::Unit::Millimetre: return QStringLiteral(" mm");
    case scan::Option::Unit::Dpi: return QStringLiteral(" dpi");
    case scan::Option::Unit::Percent: return QStringLiteral(" %");
    case scan::Option::Unit::Microsecond: return QStringLiteral(" µs");
    default: return {};
    }
}

}  // namespace

AcquireDialog::AcquireDialog(scan::Scanner& scanner, QWidget* owner)
    : QDialog(owner),
      scanner_(scanner),
      // The program's language, as the name of a catalogue folder.
      saneTexts_(MessageCatalog::load("sane-backends", DialogText(6101, "en").toStdString())) {
    setObjectName(QStringLiteral("AcquireDialog"));
    setWindowTitle(DialogText(6300, "Scan from %1").arg(QString::fromStdString(scanner.name())));
    auto* layout = new QVBoxLayout(this);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setMinimumSize(420, 320);
    optionsBox_ = new QWidget;
    form_ = new QFormLayout(optionsBox_);
    scroll->setWidget(optionsBox_);
    layout->addWidget(scroll);
    progress_ = new QProgressBar;
    progress_->setObjectName(QStringLiteral("ProgressScan"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    layout->addWidget(progress_);
    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("LabelStatus"));
    status_->setWordWrap(true);
    layout->addWidget(status_);
    auto* buttons = new QDialogButtonBox;
    scanButton_ = buttons->addButton(DialogText(6301, "&Scan"), QDialogButtonBox::ActionRole);
    scanButton_->setObjectName(QStringLiteral("cmdScan"));
    scanButton_->setDefault(true);
    QPushButton* cancel = buttons->addButton(DialogText(6229, "Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(scanButton_, &QPushButton::clicked, this, [this] { StartScan(); });
    connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
    layout->addWidget(buttons);
    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(30);
    connect(pollTimer_, &QTimer::timeout, this, [this] { poll(); });
    buildOptions();
}

AcquireDialog::~AcquireDialog() {
    if (worker_.joinable()) {
        cancel_ = true;
        worker_.join();
    }
}

QString AcquireDialog::saneText(const std::string& text) const {
    return QString::fromStdString(saneTexts_.translate(text));
}

void AcquireDialog::buildOptions() {
    while (form_->rowCount() > 0) form_->removeRow(0);
    // Each change is handed to the device at once, and the form is built again: a device
    // switches options on and off and changes ranges as others change (colour needs no depth...).
    const auto applied = [this](const std::function<void()>& set) {
        try {
            set();
            status_->clear();
        } catch (const Error& e) {
            status_->setText(QString::fromStdString(e.what()));
        }
        QTimer::singleShot(0, this, [this] { buildOptions(); });
    };
    for (const scan::Option& o : scanner_.options()) {
        const QString title = o.title.empty() ? QString::fromStdString(o.name) : saneText(o.title);
        if (o.type == scan::Option::Type::Group) {
            auto* heading = new QLabel(QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped()));
            form_->addRow(heading);
            continue;
        }
        if (!o.active || o.type == scan::Option::Type::Button || o.count != 1) continue;
        const std::string name = o.name;
        QWidget* editor = nullptr;
        if (o.type == scan::Option::Type::String && !o.texts.empty()) {
            auto* box = new QComboBox;
            // Shown in the program's language; the device is told its own word.
            for (const std::string& t : o.texts) box->addItem(saneText(t), QString::fromStdString(t));
            box->setCurrentIndex(std::max(0, box->findData(QString::fromStdString(o.text))));
            connect(box, &QComboBox::activated, this, [this, applied, name, box](int i) {
                applied([&] { scanner_.setText(name, box->itemData(i).toString().toStdString()); });
            });
            editor = box;
        } else if (o.type == scan::Option::Type::Bool) {
            auto* box = new QCheckBox;
            box->setChecked(o.number != 0);
            connect(box, &QCheckBox::clicked, this,
                    [this, applied, name](bool on) { applied([&] { scanner_.setNumber(name, on ? 1 : 0); }); });
            editor = box;
        } else if (!o.numbers.empty()) {
            auto* box = new QComboBox;
            for (double v : o.numbers) box->addItem(QString::number(v) + unitSuffix(o.unit), v);
            box->setCurrentIndex(std::max(0, box->findData(o.number)));
            connect(box, &QComboBox::activated, this, [this, applied, name, box](int i) {
                applied([&] { scanner_.setNumber(name, box->itemData(i).toDouble()); });
            });
            editor = box;
        } else if (o.type == scan::Option::Type::Int || o.type == scan::Option::Type::Fixed) {
            auto* box = new QDoubleSpinBox;
            box->setDecimals(o.type == scan::Option::Type::Fixed ? 1 : 0);
            box->setRange(o.hasRange ? o.minimum : -1e9, o.hasRange ? o.maximum : 1e9);
            if (o.hasRange && o.step > 0) box->setSingleStep(o.step);
            box->setValue(o.number);
            box->setSuffix(unitSuffix(o.unit));
            box->setKeyboardTracking(false);
            connect(box, &QDoubleSpinBox::valueChanged, this,
                    [this, applied, name](double v) { applied([&] { scanner_.setNumber(name, v); }); });
            editor = box;
        } else {
            continue;
        }
        editor->setObjectName(QString::fromStdString(name));
        editor->setToolTip(saneText(o.description));
        editor->setEnabled(o.settable);
        form_->addRow(title, editor);
    }
}

void AcquireDialog::StartScan() {
    if (worker_.joinable()) return;
    cancel_ = false;
    done_ = false;
    percent_ = 0;
    lastError_.clear();
    workerError_.clear();
    scanned_ = Bitmap();
    optionsBox_->setEnabled(false);
    scanButton_->setEnabled(false);
    status_->setText(DialogText(6302, "Scanning..."));
    worker_ = std::thread([this] {
        try {
            scanned_ = scanner_.scan(cancel_, [this](int p) { percent_ = p; });
        } catch (const Error& e) {
            workerError_ = e.code() == ErrorCode::Cancelled ? DialogText(6303, "The scan was cancelled.")
                                                            : QString::fromStdString(e.what());
        } catch (const std::bad_alloc&) {
            workerError_ = QStringLiteral("out of memory");
        }
        done_ = true;
    });
    pollTimer_->start();
}

void AcquireDialog::poll() {
    // A device that does not say how long the picture is gives no share: the bar just moves.
    const int percent = percent_.load();
    if (percent < 0) {
        progress_->setRange(0, 0);
    } else {
        progress_->setRange(0, 100);
        progress_->setValue(percent);
    }
    if (done_.load()) finishScan();
}

void AcquireDialog::finishScan() {
    pollTimer_->stop();
    worker_.join();
    optionsBox_->setEnabled(true);
    scanButton_->setEnabled(true);
    lastError_ = workerError_;
    if (lastError_.isEmpty() && !scanned_.empty()) {
        picture_ = std::move(scanned_);
        emit scanEnded(true);
        accept();
        return;
    }
    progress_->setRange(0, 100);
    progress_->setValue(0);
    status_->setText(lastError_);
    emit scanEnded(false);
}

void AcquireDialog::CancelScan() { cancel_ = true; }

void AcquireDialog::reject() {
    if (worker_.joinable()) {
        // Cancel stops a running scan first; the dialog stays for another try.
        CancelScan();
        return;
    }
    QDialog::reject();
}

}  // namespace imaging
