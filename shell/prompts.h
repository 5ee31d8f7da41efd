#pragma once
// The main window's message boxes and file dialogs go through these two functions so that a
// test can answer them without a window (no test may block on a modal dialog). The default
// implementations show a QMessageBox and a QFileDialog.

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace kalmira {

struct MessageRequest {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

using MessagePrompt = std::function<QMessageBox::StandardButton(const MessageRequest&)>;
// Replaces the message box; returns the previous prompt. nullptr restores the default.
MessagePrompt SetMessagePrompt(MessagePrompt prompt);
QMessageBox::StandardButton ShowMessage(QWidget* owner, const MessageRequest& request);

struct FileDialogRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    QString title;
    QString folder;        // initial folder (Open) or proposed file name (Save)
    QStringList filters;   // Qt name filters, e.g. "GIF (*.gif)"
    QString defaultSuffix; // Save only
};

// Returns the chosen file, or an empty string when the user cancelled.
using FileDialogPrompt = std::function<QString(const FileDialogRequest&)>;
FileDialogPrompt SetFileDialogPrompt(FileDialogPrompt prompt);
QString AskForFile(QWidget* owner, const FileDialogRequest& request);

}  // namespace kalmira
