#pragma once
// The main window as the document windows see it (document/documenthost.h). frmMain creates
// one and registers it while it exists.

#include <QPointer>
#include <QProgressBar>

#include "document/documenthost.h"

namespace kalmira {

class frmMain;

class MainWindowDocumentHost : public MainWindowHost {
public:
    explicit MainWindowDocumentHost(frmMain& main) : main_(main) {}

    bool IsVariationTogglePressed(int variation) const override;
    void SetVariationToggle(int variation, bool pressed) override;
    void SetStatusPanelText(const QString& key, const QString& text) override;
    void SelectRectangleRegionTool() override;
    void ToolbarAktualisieren(bool enabled) override;
    void FirstDocumentOpened() override;
    void LastDocumentClosed() override;
    void EnableSaveCommands(bool enabled) override;
    void ShowZoom(int percent) override;
    void EnableUndo(bool enabled) override;
    int DocumentAreaWidth() const override;
    bool IsToolsWindowChecked() const override;
    bool IsPaletteWindowChecked() const override;
    void RunMainCommand(const QString& objectName) override;
    void EnablePaste(bool enabled) override;
    void ApplyZoomText(const QString& text) override;
    void StoreUndoStep() override;
    void ShowDifferenceView(bool on) override;
    void DifferenceViewSwitched(const frmDocument& document) override;
    void ShowProgress(const QString& text, int done, int total) override;
    void EndProgress() override;

private:
    frmMain& main_;
    QPointer<QProgressBar> progress_;
};

}  // namespace kalmira
