#include "shell/commands/scancommands.h"

#include "ui_frmMain.h"

#include "common/texts.h"
#include "shell/commands/editcommands.h"
#include "shell/commands/picturecommands.h"
#include "shell/frmmain.h"
#include "shell/prompts.h"

#include "core/error.h"
#include "qt/acquiredialog.h"

#include <QAction>
#include <QInputDialog>

#include <memory>

namespace kalmira {

namespace {
constexpr int kTextDeviceNotReady = 5113;
constexpr int kTextNoDevices = 5114;
constexpr int kTextNoScanner = 6882;
}  // namespace

ScanCommands::ScanCommands(frmMain& main) : QObject(&main), main_(main), lister_([] { return imaging::scan::devices(); }) {}

void ScanCommands::showMessage(int textId, const QString& detail) {
    MessageRequest request;
    request.text = LoadText(textId);
    if (!detail.isEmpty()) request.text += QStringLiteral("\n\n") + detail;
    ShowMessage(&main_, request);
}

bool ScanCommands::CheckTwainAvailable() {
    if (!disabled_) {
        const bool started = imaging::scan::initialise() == 0;
        disabled_ = !started || lister_().empty();
    }
    Ui::frmMain& u = main_.ui();
    u.mnuFileAquire->setEnabled(!disabled_);
    u.mnuFileSelectSource->setEnabled(!disabled_);
    return !disabled_;
}

bool ScanCommands::scanningPossible() {
    if (CheckTwainAvailable()) return true;
    // Said when the user asks to scan: a command that greys itself without a word looks broken.
    showMessage(kTextNoScanner);
    return false;
}

void ScanCommands::SelectSource() {
    if (!scanningPossible()) return;
    QStringList names;
    for (const imaging::scan::Device& d : lister_()) names.append(QString::fromStdString(d.name));
    if (names.isEmpty()) {
        showMessage(kTextNoDevices);
        return;
    }
    QString chosen;
    if (chooser_) {
        chosen = chooser_(names, source_);
    } else {
        bool ok = false;
        chosen = QInputDialog::getItem(&main_, LoadText(6304), LoadText(6305), names,
                                       std::max(0, static_cast<int>(names.indexOf(source_))), false, &ok);
        if (!ok) chosen.clear();
    }
    if (!chosen.isEmpty()) source_ = chosen;
}

void ScanCommands::Acquire() {
    if (!scanningPossible()) return;
    QString device = source_;
    if (device.isEmpty()) {
        const auto found = lister_();
        if (!found.empty()) device = QString::fromStdString(found.front().name);
    }
    std::unique_ptr<imaging::scan::Scanner> scanner;
    try {
        scanner = std::make_unique<imaging::scan::Scanner>(device.toStdString());
    } catch (const imaging::Error& e) {
        showMessage(kTextDeviceNotReady, QString::fromStdString(e.what()));
        return;
    }
    imaging::Bitmap picture;
    {
        imaging::AcquireDialog dialog(*scanner, &main_);
        const bool ok = runner_ ? runner_(dialog) : dialog.exec() == QDialog::Accepted;
        if (!ok) return;
        picture = dialog.TakePicture();
    }
    // The acquired picture: a new document whose Variations are encoded from it at once.
    if (!picture.empty()) main_.Edit().Pictures().NewDocumentFromBitmap(std::move(picture));
}

}  // namespace kalmira
