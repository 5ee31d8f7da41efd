// The capture control's interactive parts: drawing an area, choosing a picture stored in a
// program file, and the three option dialogs.
#include "qt/x11capturecontrol.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>

#include "core/error.h"
#include "qt/areaselector.h"
#include "qt/dialogtexts.h"
#include "qt/resourcepicker.h"

namespace imaging {

namespace {

// A small modal dialog of check boxes and one number; OK gives 0, Cancel kCaptureEnded.
class OptionsDialog : public QDialog {
public:
    OptionsDialog(QWidget* owner, const QString& title) : QDialog(owner), form_(new QFormLayout) {
        setObjectName(QStringLiteral("CaptureOptionsDialog"));
        setWindowTitle(title);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form_);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        buttons->button(QDialogButtonBox::Ok)->setText(DialogText(6228, "OK"));
        buttons->button(QDialogButtonBox::Cancel)->setText(DialogText(6229, "Cancel"));
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);
    }
    QCheckBox* check(const char* name, const QString& text, bool on) {
        auto* box = new QCheckBox(text);
        box->setObjectName(QLatin1String(name));
        box->setChecked(on);
        form_->addRow(box);
        return box;
    }
    QSpinBox* number(const char* name, const QString& text, int low, int high, int value) {
        auto* box = new QSpinBox;
        box->setObjectName(QLatin1String(name));
        box->setRange(low, high);
        box->setValue(value);
        form_->addRow(text, box);
        return box;
    }

private:
    QFormLayout* form_;
};

}  // namespace

int X11CaptureControl::CaptureArea(AreaShape shape) {
    return capture([this, shape] {
        QScreen* screen = QGuiApplication::primaryScreen();
        const QImage still = screen->grabWindow(0).toImage();
        AreaSelector selector(still, shape);
        if (!selector.run()) fail(ErrorCode::Cancelled, "capture", "no area was drawn");
        return cutArea(still, selector.Shape(), AreaKeepsOutside);
    });
}

int X11CaptureControl::CaptureResources(QWidget* owner, const QString& programFile, int resourceKinds,
                                        ResourceDialog dialog) {
    QString file = programFile;
    if (file.isEmpty()) {
        file = fileChooser_ ? fileChooser_(owner)
                            : QFileDialog::getOpenFileName(owner, DialogText(6264, "Program file"), QString(),
                                                           DialogText(6265, "Programs and libraries") +
                                                               QStringLiteral(" (*.exe *.dll *.icl *.cpl *.ocx *.scr)"));
        if (file.isEmpty()) return kCaptureEnded;
    }
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        lastError_ = DialogText(6266, "The file cannot be read: %1").arg(file);
        return static_cast<int>(ErrorCode::FileNotFound);
    }
    const QByteArray raw = in.readAll();
    const Bytes data(raw.begin(), raw.end());
    try {
        const std::vector<pe::ResourceEntry> entries = pe::listResources(data, resourceKinds);
        if (entries.empty()) {
            lastError_ = DialogText(6267, "The file holds no pictures of the kinds chosen.");
            return static_cast<int>(ErrorCode::NoImage);
        }
        int chosen = -1;
        if (resourceChooser_) {
            chosen = resourceChooser_(owner, file, data, entries, dialog);
        } else {
            ResourcePicker picker(file, data, entries, dialog, owner);
            if (picker.exec() == QDialog::Accepted) chosen = picker.Chosen();
        }
        if (chosen < 0 || chosen >= static_cast<int>(entries.size())) return kCaptureEnded;
        Bitmap picture = pe::loadResource(data, entries[static_cast<std::size_t>(chosen)]);
        if (handler_) handler_(std::move(picture));
        return 0;
    } catch (const Error& e) {
        lastError_ = QString::fromStdString(e.what());
        return e.number();
    }
}

int X11CaptureControl::ShowCaptureOptions(QWidget* owner) {
    OptionsDialog dialog(owner, DialogText(6270, "Capture Options"));
    QSpinBox* delay = dialog.number("TextDelay", DialogText(6271, "&Wait before capturing (seconds):"), 0, 60, DelaySeconds);
    QCheckBox* pointer = dialog.check("CheckPointer", DialogText(6272, "Include the mouse &pointer"), IncludePointer);
    if (dialog.exec() != QDialog::Accepted) return kCaptureEnded;
    DelaySeconds = delay->value();
    IncludePointer = pointer->isChecked();
    return 0;
}

int X11CaptureControl::ShowAreaOptions(QWidget* owner) {
    OptionsDialog dialog(owner, DialogText(6273, "Area Options"));
    QCheckBox* keep = dialog.check("CheckKeepOutside", DialogText(6274, "&Keep the whole box around the shape"),
                                   AreaKeepsOutside);
    if (dialog.exec() != QDialog::Accepted) return kCaptureEnded;
    AreaKeepsOutside = keep->isChecked();
    return 0;
}

int X11CaptureControl::ShowObjectOptions(QWidget* owner) {
    OptionsDialog dialog(owner, DialogText(6275, "Object Options"));
    QCheckBox* frame = dialog.check("CheckFrame", DialogText(6276, "Take windows with their &frame"), WindowWithFrame);
    if (dialog.exec() != QDialog::Accepted) return kCaptureEnded;
    WindowWithFrame = frame->isChecked();
    return 0;
}

}  // namespace imaging
