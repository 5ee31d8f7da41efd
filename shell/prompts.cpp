#include "shell/prompts.h"

#include "common/globals.h"

#include <QFileDialog>
#include <QPushButton>

#include <utility>

namespace kalmira {

namespace {

MessagePrompt& messagePrompt() {
    static MessagePrompt prompt;
    return prompt;
}

FileDialogPrompt& fileDialogPrompt() {
    static FileDialogPrompt prompt;
    return prompt;
}

}  // namespace

MessagePrompt SetMessagePrompt(MessagePrompt prompt) {
    return std::exchange(messagePrompt(), std::move(prompt));
}

QMessageBox::StandardButton ShowMessage(QWidget* owner, const MessageRequest& given) {
    // A box without a title of its own carries the program's name, never the file name of
    // the executable the platform would put there.
    MessageRequest request = given;
    if (request.title.isEmpty()) {
        request.title = ApplicationName();
    }
    if (messagePrompt()) {
        return messagePrompt()(request);
    }
    QMessageBox box(request.icon, request.title, request.text, request.buttons, owner);
    if (request.defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(request.defaultButton);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

FileDialogPrompt SetFileDialogPrompt(FileDialogPrompt prompt) {
    return std::exchange(fileDialogPrompt(), std::move(prompt));
}

QString AskForFile(QWidget* owner, const FileDialogRequest& request) {
    if (fileDialogPrompt()) {
        return fileDialogPrompt()(request);
    }
    QFileDialog dialog(owner, request.title);
    dialog.setNameFilters(request.filters);
    if (request.mode == FileDialogRequest::Mode::Open) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setDirectory(request.folder);
    } else {
        // Overwrite prompt on, as the original flags asked; the folder must exist.
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(request.defaultSuffix);
        dialog.selectFile(request.folder);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

}  // namespace kalmira
