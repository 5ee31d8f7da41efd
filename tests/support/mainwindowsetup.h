#pragma once
// The main window as the shell's tests start it, fresh for every test function: no settings
// file (unless the test wrote the one it wants), the preferences loaded, the files given
// opened, and on request the tools window on the active document (each undo step it stores
// counted instead of kept) and the window shown. StartProgramWindow gives the window as the
// program builds it, with every window it owns. Header only: it needs the shell, which only
// the shell's tests link.

#include "document/frmdocument.h"
#include "settings/settingsstore.h"
#include "shell/createmainwindow.h"
#include "shell/frmmain.h"
#include "tools/frmtools.h"

#include <QFile>
#include <QStringList>

#include <memory>

namespace kalmira::testing {

struct MainWindowSetUp {
    bool tools = false;            // a tools window working on the active document
    bool show = false;             // shown, for tests that need the window on screen
    int* undoSteps = nullptr;      // with tools: set to 0, then counts the undo steps stored
    QStringList files = {};        // opened as the command line's
    bool keepSettings = false;     // the settings file the test wrote is read, not removed
};

inline std::unique_ptr<frmMain> StartMainWindow(const MainWindowSetUp& setUp = {}) {
    if (!setUp.keepSettings) QFile::remove(SettingsFilePath());
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
    window->Load(setUp.files);
    if (setUp.show) window->show();
    return window;
}

// The main window as the program makes it (tools window with its previews, palette window),
// opening `files`, with the settings file as the test left it.
inline std::unique_ptr<frmMain> StartProgramWindow(const QStringList& files = {}) {
    std::unique_ptr<QMainWindow> window = createMainWindow(files);
    return std::unique_ptr<frmMain>(static_cast<frmMain*>(window.release()));
}

}  // namespace kalmira::testing
