#include "shell/mainwindowhost.h"

#include "ui_frmMain.h"

#include "document/frmdocument.h"
#include "shell/commands/differencecommands.h"
#include "shell/commands/editcommands.h"
#include "shell/commands/viewcommands.h"
#include "shell/frmmain.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QStatusBar>

#include <algorithm>

namespace kalmira {

bool MainWindowDocumentHost::IsVariationTogglePressed(int variation) const {
    const QAction* button = main_.ToolbarButton(variation + 15);
    return button && button->isChecked();
}

void MainWindowDocumentHost::SetVariationToggle(int variation, bool pressed) {
    if (variation >= 1 && variation <= 5) {
        main_.View().SetVariationChecked(variation, pressed);
    }
}

void MainWindowDocumentHost::SetStatusPanelText(const QString& key, const QString& text) {
    main_.SetPanelText(key, text);
}

void MainWindowDocumentHost::SelectRectangleRegionTool() { main_.Edit().SelectRegionTool(1); }

void MainWindowDocumentHost::ToolbarAktualisieren(bool enabled) { main_.ToolbarAktualisieren(enabled); }

void MainWindowDocumentHost::FirstDocumentOpened() { main_.View().ShowFloatingWindows(); }

void MainWindowDocumentHost::LastDocumentClosed() { main_.View().HideFloatingWindows(); }

void MainWindowDocumentHost::EnableSaveCommands(bool enabled) {
    Ui::frmMain& u = main_.ui();
    u.mnuFileSave->setEnabled(enabled);
    u.mnuFileSaveAs->setEnabled(enabled);
    u.tbSave->setEnabled(enabled);
}

void MainWindowDocumentHost::ShowZoom(int percent) {
    main_.ComboZoom()->setEditText(QString::number(percent) + QLatin1Char('%'));
}

void MainWindowDocumentHost::EnableUndo(bool enabled) { main_.SetUndoAvailable(enabled); }

int MainWindowDocumentHost::DocumentAreaWidth() const { return main_.MdiArea()->viewport()->width(); }

bool MainWindowDocumentHost::IsToolsWindowChecked() const { return main_.ui().mnuViewTools->isChecked(); }

bool MainWindowDocumentHost::IsPaletteWindowChecked() const { return main_.ui().mnuViewPalette->isChecked(); }

void MainWindowDocumentHost::RunMainCommand(const QString& objectName) {
    if (QAction* command = main_.findChild<QAction*>(objectName); command && command->isEnabled()) {
        command->trigger();
    }
}

void MainWindowDocumentHost::EnablePaste(bool enabled) {
    main_.ui().mnuEditPaste->setEnabled(enabled);
    if (QAction* button = main_.ToolbarButton(8)) {
        button->setEnabled(enabled);
    }
}

void MainWindowDocumentHost::ApplyZoomText(const QString& text) {
    QComboBox* zoom = main_.ComboZoom();
    zoom->setEditText(text);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(zoom->lineEdit() ? static_cast<QObject*>(zoom->lineEdit()) : zoom, &enter);
}

void MainWindowDocumentHost::StoreUndoStep() { main_.UndoHinzufuegen(); }

void MainWindowDocumentHost::ShowDifferenceView(bool on) {
    if (auto* commands = main_.findChild<DifferenceCommands*>()) commands->ShowChecked(on);
}

void MainWindowDocumentHost::DifferenceViewSwitched(const frmDocument& document) {
    if (main_.ActiveDocument() == &document) ShowDifferenceView(document.DifferenceView());
}

void MainWindowDocumentHost::ShowProgress(const QString& text, int done, int total) {
    QStatusBar* bar = main_.ui().sbStatusBar;
    if (!progress_) {
        // Made when first needed, at the status bar's left beside the status panel; the text
        // stands inside the bar.
        progress_ = new QProgressBar(bar);
        progress_->setObjectName(QStringLiteral("ProgressUpdate"));
        progress_->setTextVisible(true);
        bar->insertWidget(0, progress_);
    }
    progress_->setFormat(text);
    progress_->setMinimumWidth(progress_->fontMetrics().horizontalAdvance(text) + 40);
    progress_->setRange(0, std::max(1, total));
    progress_->setValue(std::clamp(done, 0, std::max(1, total)));
    progress_->show();
}

void MainWindowDocumentHost::EndProgress() {
    if (progress_) progress_->hide();
}

}  // namespace kalmira
