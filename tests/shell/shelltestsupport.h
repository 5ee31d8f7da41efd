#pragma once
// Answers every message box and file dialog of the main window, the document and the error
// report, and remembers what was asked, so no test blocks on a modal window.

#include "document/frmdocument.h"
#include "common/errortrap.h"
#include "shell/prompts.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

namespace kalmira::testing {

struct Prompts {
    QList<MessageRequest> messages;
    QList<FileDialogRequest> fileDialogs;
    QStringList errors;            // ReportError texts
    QStringList documentMessages;  // the document's own message boxes
    // Answers in order; when empty, OK for messages and Cancel (empty name) for file dialogs.
    QQueue<QMessageBox::StandardButton> messageAnswers;
    QQueue<QString> fileAnswers;

    void install() {
        SetMessagePrompt([this](const MessageRequest& request) {
            messages.append(request);
            return messageAnswers.isEmpty() ? QMessageBox::Ok : messageAnswers.dequeue();
        });
        SetFileDialogPrompt([this](const FileDialogRequest& request) {
            fileDialogs.append(request);
            return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
        });
        SetReportPrompt([this](const QString&, const QString& message) {
            errors.append(message);
            return ReportAnswer::Ok;
        });
        frmDocument::SetMessageFunction(
            [this](const QString& text, bool) { documentMessages.append(text); });
    }

    void clear() {
        messages.clear();
        fileDialogs.clear();
        errors.clear();
        documentMessages.clear();
        messageAnswers.clear();
        fileAnswers.clear();
    }

    QStringList messageTexts() const {
        QStringList texts;
        for (const MessageRequest& request : messages) {
            texts.append(request.text);
        }
        return texts;
    }
};

}  // namespace kalmira::testing
