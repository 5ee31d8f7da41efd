#include "shell/createmainwindow.h"

#include "shell/commands/filecommands.h"
#include "common/globals.h"
#include "shell/frmmain.h"
#include "shell/palettewindowhost.h"

#include "document/documentlayout.h"
#include "document/frmdocument.h"
#include "shell/commands/viewcommands.h"
#include "common/errortrap.h"
#include "tools/frmtools.h"
#include "tools/previews.h"
#include "ui_frmMain.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include <memory>

namespace kalmira {

namespace {

// The floating tools window belongs to the main window and always works on its active
// document; activating another document window lays it out and refills the tools window.
void installToolsWindow(frmMain& main) {
    auto* tools = new frmTools(&main);
    new FilterPreviews(*tools);
    tools->SetActiveDocumentProvider([&main] { return main.ActiveDocument(); });
    tools->SetUndoStepHook([&main](frmDocument&) { main.UndoHinzufuegen(); });
    tools->SetHideRequest([&main] { main.View().ToggleTools(true); });
    tools->SetUnloadNotice([&main] { main.View().SetToolsChecked(false); });
    tools->SetPaletteEditorRequest([&main] {
        if (!main.ui().mnuViewPalette->isChecked()) main.View().TogglePalette(false);
        if (QWidget* palette = main.PaletteWindow()) palette->setFocus();
    });
    main.SetToolsWindow(tools);
    // The document the main window and the tools window show. Coming back from another
    // top-level window is not a new activation; a window still loading its picture is activated
    // once it holds one (documentReady), so this always names what is shown.
    auto shown = std::make_shared<QPointer<frmDocument>>();
    const auto activate = [shown](frmDocument* document) {
        if (!document || !document->picOriginal().HasBitmap() || *shown == document) return;
        *shown = document;
        Guarded([document] { ActivateDocument(*document); });
    };
    QObject::connect(main.MdiArea(), &QMdiArea::subWindowActivated, tools, [activate](QMdiSubWindow* window) {
        activate(window ? qobject_cast<frmDocument*>(window->widget()) : nullptr);
    });
    QObject::connect(&main, &frmMain::documentReady, tools, [activate, &main](frmDocument* document) {
        if (main.ActiveDocument() == document) activate(document);
    });
    QObject::connect(&main, &frmMain::documentDiscarded, tools, [activate, shown, &main] {
        *shown = nullptr;
        activate(main.ActiveDocument());
    });
}

}  // namespace

std::unique_ptr<QMainWindow> createMainWindow(const QStringList& files) {
    auto window = std::make_unique<frmMain>();
    MainWindow = window.get();
    installToolsWindow(*window);
    installPaletteWindow(*window);
    // Only the files named on the command line open; a start without files shows no document.
    window->Load(files);
    return window;
}

}  // namespace kalmira
