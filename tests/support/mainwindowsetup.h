#pragma once
// The main window as the shell's tests start it, fresh for every test function: no settings
// file, the preferences loaded, and on request the tools window on the active document (each
// undo step it stores counted instead of kept) and the window shown. Header only: it needs the
// shell, which only the shell's tests link.

#include "document/frmdocument.h"
#include "settings/settingsstore.h"
#include "shell/frmmain.h"
#include "tools/frmtools.h"

#include <QFile>

#include <memory>

namespace kalmira::testing {

struct MainWindowSetUp {
    bool tools = false;            // a tools window working on the active document
    bool show = false;             // shown, for tests that need the window on screen
    int* undoSteps = nullptr;      // with tools: set to 0, then counts the undo steps stored
};

inline std::unique_ptr<frmMain> StartMainWindow(const MainWindowSetUp& setUp = {}) {
    QFile::remove(SettingsFilePath());
    auto window = std::make_unique<frmMain>();
    if (setUp.tools) {
        frmMain* main = window.get();
        auto* tools = new frmTools(main);
        tools->SetActiveDocumentProvider([main] { return main->ActiveDocument(); });
        if (int* steps = setUp.undoSteps) {
            *steps = 0;
            tools->SetUndoStepHook([steps](frmDocument&) { ++*steps; });
        }
        main->SetToolsWindow(tools);
    }
    window->Load({});
    if (setUp.show) window->show();
    return window;
}

}  // namespace kalmira::testing
