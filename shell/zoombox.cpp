#include "shell/zoombox.h"

#include "rules/conversions.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace kalmira {

double ZoomValue(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    const auto parsed = settings::LeadingNumber(std::string_view(utf8.constData(), utf8.size()));
    if (parsed.status == settings::ConversionStatus::Overflow) {
        // A number too large for a double is still a number above the limit, not "nothing".
        return kMaximumZoom + 1.0;
    }
    return parsed.ok() ? parsed.value : 0.0;
}

QString RepairZoomText(const QString& text, bool typed) {
    const double value = ZoomValue(text);
    if (!(value > 0.0)) {
        return QStringLiteral("100%");
    }
    if (value > kMaximumZoom) {
        return QStringLiteral("32000%");
    }
    if (typed) {
        return QString::number(value, 'g', 10) + QLatin1Char('%');
    }
    return text;
}

ZoomBox::ZoomBox(QComboBox* combo) : QObject(combo), combo_(combo) {
    // A typed number is taken as typed: the list's completion would turn "15" into "150%".
    combo_->setCompleter(nullptr);
    connect(combo_, &QComboBox::activated, this, [this](int) { Commit(false); });
    // Enter and Tab are taken before the combo box sees them: Enter would otherwise insert the
    // typed text as a new list item, and Tab would move the focus before the text is repaired.
    combo_->installEventFilter(this);
    if (combo_->lineEdit()) {
        combo_->lineEdit()->installEventFilter(this);
    }
}

void ZoomBox::Commit(bool typed) {
    const QString repaired = RepairZoomText(combo_->currentText(), typed);
    if (repaired != combo_->currentText()) {
        combo_->setEditText(repaired);
    }
    emit zoomChosen(ZoomValue(repaired));
}

bool ZoomBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Tab) {
            Commit(true);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace kalmira
