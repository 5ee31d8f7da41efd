#include "shell/notavailable.h"

#include "common/texts.h"
#include "shell/prompts.h"

#include <QWidget>

namespace kalmira {

void ShowCommandNotAvailable(QWidget* owner, const QString& commandName, const QString& caption) {
    QString shown = caption;
    shown.remove(QLatin1Char('&'));
    if (shown.endsWith(QStringLiteral("..."))) {
        shown.chop(3);
    }
    MessageRequest request;
    request.icon = QMessageBox::Information;
    request.title = owner ? owner->windowTitle() : QString();
    request.text = LoadText(kTextCommandNotAvailable) + (shown.isEmpty() ? commandName : shown);
    ShowMessage(owner, request);
}

}  // namespace kalmira
