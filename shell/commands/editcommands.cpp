#include "shell/commands/editcommands.h"

#include "ui_frmMain.h"

#include "common/errortrap.h"
#include "shell/frmmain.h"
#include "shell/notavailable.h"
#include "shell/commands/picturecommands.h"

#include "document/frmdocument.h"

namespace kalmira {

EditCommands::EditCommands(frmMain& main) : QObject(&main), main_(main), pictures_(new PictureCommands(main)) {
    Ui::frmMain& u = main_.ui();
    connect(u.mnuEditUndo, &QAction::triggered, this, [this] { Undo(); });
    connect(u.mnuEditCopy, &QAction::triggered, this, [this] { Copy(); });
    connect(u.mnuEditPaste, &QAction::triggered, this, [this] { Paste(); });
    connect(u.mnuEditDuplicate, &QAction::triggered, this, [this] { Duplicate(); });
    connect(u.mnuEditCapture, &QAction::triggered, this, [this] { Capture(); });
    connect(u.mnuEdit3DText, &QAction::triggered, this, [this] { Insert3DText(); });
    const QAction* tools[] = {u.mnuEditSelectRectangle, u.mnuEditSelectEllipse, u.mnuEditSelectRoundedRectangle,
                              u.mnuEditSelectFreehand};
    for (int tool = 1; tool <= 4; ++tool) {
        connect(tools[tool - 1], &QAction::triggered, this,
                [this, tool] { Guarded([this, tool] { SelectRegionTool(tool); }); });
    }
}

void EditCommands::notAvailable(QAction* command) {
    ShowCommandNotAvailable(&main_, command->objectName(), command->text());
}

void EditCommands::Undo() {
    Guarded([this] { main_.UndoZurueckholen(); });
}

void EditCommands::Copy() { Guarded([this] { pictures_->Copy(); }); }

void EditCommands::Paste() { Guarded([this] { pictures_->Paste(); }); }

void EditCommands::Duplicate() { Guarded([this] { pictures_->Duplicate(); }); }

void EditCommands::Capture() { Guarded([this] { pictures_->Capture(); }); }

void EditCommands::Insert3DText() { Guarded([this] { pictures_->Insert3DText(); }); }

void EditCommands::SelectRegionTool(int tool) {
    Ui::frmMain& u = main_.ui();
    QAction* items[] = {u.mnuEditSelectRectangle, u.mnuEditSelectEllipse, u.mnuEditSelectRoundedRectangle,
                        u.mnuEditSelectFreehand};
    if (tool < 1 || tool > 4) {
        return;
    }
    main_.DeselektiereAlleRegions();
    items[tool - 1]->setChecked(true);
    if (frmDocument* document = main_.ActiveDocument()) {
        document->SetRegionTool(tool);
    }
}

}  // namespace kalmira
