#pragma once
// The View menu: the toolbar and status bar, the floating tools and palette windows, the
// display of each Variation, and the options dialog.

#include <QObject>

class QAction;

namespace kalmira {

class frmMain;

class ViewCommands : public QObject {
    Q_OBJECT

public:
    explicit ViewCommands(frmMain& main);

    // Each toggle takes the state the menu item had before the user chose it.
    void ToggleToolbar(bool wasChecked);
    void ToggleStatusBar(bool wasChecked);
    void ToggleTools(bool wasChecked);
    void TogglePalette(bool wasChecked);
    void ToggleVariation(int n, bool wasChecked);
    void Options();

    // Check marks and pressed buttons as stored, without showing or hiding anything.
    void SetToolsChecked(bool checked);
    void SetPaletteChecked(bool checked);
    // Presses or releases Variation n's toolbar button and checks its menu item.
    void SetVariationChecked(int n, bool checked);
    bool IsVariationChecked(int n) const;

    // Shows or hides the floating windows as their menu items say (first document opened),
    // or hides both (last document closed).
    void ShowFloatingWindows();
    void HideFloatingWindows();

    QAction* VariationMenuItem(int n) const;

private:
    frmMain& main_;
};

}  // namespace kalmira
