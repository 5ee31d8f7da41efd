#pragma once
// The main window as a document or the tools window sees it, without the window: it records
// what they ask of it and answers from fields the test sets.

#include <QMap>
#include <QString>
#include <QStringList>

#include "document/documenthost.h"

namespace kalmira::testing {

class FakeMainWindow : public MainWindowHost {
public:
    bool toggles[6] = {false, false, false, false, false, false};
    QMap<QString, QString> panels;  // status-bar panel texts by key
    int toolbarEnabled = -1;        // -1 never set, else 0 or 1
    int saveEnabled = -1;
    int lastClosed = 0;             // how often LastDocumentClosed ran
    int rectangleTool = 0;          // how often the rectangle region tool was selected
    int areaWidth = 0;
    int zoomShown = 0;
    QStringList commands;   // main-window commands run by name (the pop-up menu's)
    QStringList zoomTexts;  // zoom texts applied through the zoom box
    int pasteEnabled = -1;  // -1 never set, else 0 or 1
    int undoSteps = 0;      // how often an undo step was stored

    bool IsVariationTogglePressed(int v) const override { return toggles[v]; }
    void SetVariationToggle(int v, bool pressed) override { toggles[v] = pressed; }
    void SetStatusPanelText(const QString& key, const QString& text) override { panels[key] = text; }
    void SelectRectangleRegionTool() override { ++rectangleTool; }
    void ToolbarAktualisieren(bool enabled) override { toolbarEnabled = enabled ? 1 : 0; }
    void LastDocumentClosed() override { ++lastClosed; }
    void EnableSaveCommands(bool enabled) override { saveEnabled = enabled ? 1 : 0; }
    void ShowZoom(int percent) override { zoomShown = percent; }
    int DocumentAreaWidth() const override { return areaWidth; }
    void RunMainCommand(const QString& name) override { commands.append(name); }
    void EnablePaste(bool enabled) override { pasteEnabled = enabled ? 1 : 0; }
    void ApplyZoomText(const QString& text) override { zoomTexts.append(text); }
    void StoreUndoStep() override { ++undoSteps; }
};

}  // namespace kalmira::testing
