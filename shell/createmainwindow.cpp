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
    auto lastActivated = std::make_shared<QPointer<frmDocument>>();
    QObject::connect(main.MdiArea(), &QMdiArea::subWindowActivated, tools, [lastActivated](QMdiSubWindow* window) {
        auto* document = window ? qobject_cast<frmDocument*>(window->widget()) : nullptr;
        // A window still loading its picture is activated again once it holds one; coming back
        // from another top-level window is not a new activation.
        if (!document || !document->picOriginal().HasBitmap() || *lastActivated == document) return;
        *lastActivated = document;
        Guarded([document] { ActivateDocument(*document); });
    });
}

}  // namespace

std::unique_ptr<QMainWindow> createMainWindow(const QStringList& files) {
    auto window = std::make_unique<frmMain>();
    MainWindow = window.get();
    installToolsWindow(*window);
    installPaletteWindow(*window);
    window->Load(files);
    // A first start without a file shows the picture that comes with the program, so there is
    // something real to look at and compare.
    if (files.isEmpty() && OpenDocumentCount == 0) {
        window->Files().OpenSampleImage();
    }
    return window;
}

}  // namespace kalmira
