#include "shell/commands/viewcommands.h"

#include "ui_frmMain.h"

#include "common/errortrap.h"
#include "shell/frmmain.h"
#include "shell/notavailable.h"

#include "document/documenthost.h"
#include "document/frmdocument.h"
#include "settings/frmoptions.h"

#include <QStatusBar>
#include <QToolBar>

#include <array>

namespace kalmira {

ViewCommands::ViewCommands(frmMain& main) : QObject(&main), main_(main) {
    Ui::frmMain& u = main_.ui();
    // The menu items are checkable, so Qt has flipped them when triggered reports; the
    // commands want the state from before the click.
    connect(u.mnuViewToolbar, &QAction::triggered, this, [this](bool now) { ToggleToolbar(!now); });
    connect(u.mnuViewStatusBar, &QAction::triggered, this, [this](bool now) { ToggleStatusBar(!now); });
    connect(u.mnuViewTools, &QAction::triggered, this,
            [this](bool now) { Guarded([this, now] { ToggleTools(!now); }); });
    connect(u.mnuViewPalette, &QAction::triggered, this,
            [this](bool now) { Guarded([this, now] { TogglePalette(!now); }); });
    for (int n = 1; n <= 5; ++n) {
        connect(VariationMenuItem(n), &QAction::triggered, this,
                [this, n](bool now) { Guarded([this, n, now] { ToggleVariation(n, !now); }); });
    }
    connect(u.mnuViewOptions, &QAction::triggered, this, [this] { Guarded([this] { Options(); }); });
}

QAction* ViewCommands::VariationMenuItem(int n) const {
    Ui::frmMain& u = main_.ui();
    const std::array<QAction*, 5> items = {u.mnuViewVariation1, u.mnuViewVariation2, u.mnuViewVariation3,
                                           u.mnuViewVariation4, u.mnuViewVariation5};
    return n >= 1 && n <= 5 ? items[static_cast<std::size_t>(n - 1)] : nullptr;
}

void ViewCommands::ToggleToolbar(bool wasChecked) {
    main_.ui().tbToolBar->setVisible(!wasChecked);
    main_.ui().mnuViewToolbar->setChecked(!wasChecked);
}

void ViewCommands::ToggleStatusBar(bool wasChecked) {
    main_.ui().sbStatusBar->setVisible(!wasChecked);
    main_.ui().mnuViewStatusBar->setChecked(!wasChecked);
}

void ViewCommands::SetToolsChecked(bool checked) {
    main_.ui().mnuViewTools->setChecked(checked);
    main_.ui().tbToolbox->setChecked(checked);
}

void ViewCommands::SetPaletteChecked(bool checked) {
    main_.ui().mnuViewPalette->setChecked(checked);
    main_.ui().tbPalette->setChecked(checked);
}

void ViewCommands::ToggleTools(bool wasChecked) {
    QWidget* tools = main_.ToolsWindow();
    if (!tools && !wasChecked) {
        SetToolsChecked(false);
        ShowCommandNotAvailable(&main_, main_.ui().mnuViewTools->objectName(), main_.ui().mnuViewTools->text());
        return;
    }
    if (wasChecked) {
        if (tools) {
            tools->hide();
        }
        SetToolsChecked(false);
    } else {
        if (tools) {
            tools->show();
            tools->raise();
        }
        SetToolsChecked(true);
    }
}

void ViewCommands::TogglePalette(bool wasChecked) {
    QWidget* palette = main_.PaletteWindow();
    if (!palette && !wasChecked) {
        SetPaletteChecked(false);
        ShowCommandNotAvailable(&main_, main_.ui().mnuViewPalette->objectName(), main_.ui().mnuViewPalette->text());
        return;
    }
    if (wasChecked) {
        if (palette) {
            palette->hide();
        }
        SetPaletteChecked(false);
        return;
    }
    if (palette) {
        palette->show();
        frmDocument* document = main_.ActiveDocument();
        if (PaletteHost* host = paletteHost(); host && document) {
            const int n = document->FindeSelektierteGrafik();
            host->DisplayPalette(n == 0 ? document->picOriginal() : document->picCompress(n));
        }
        palette->raise();
    }
    SetPaletteChecked(true);
}

void ViewCommands::SetVariationChecked(int n, bool checked) {
    VariationMenuItem(n)->setChecked(checked);
    main_.ToolbarButton(n + 15)->setChecked(checked);
}

bool ViewCommands::IsVariationChecked(int n) const {
    const QAction* item = VariationMenuItem(n);
    return item && item->isChecked();
}

void ViewCommands::ToggleVariation(int n, bool wasChecked) {
    SetVariationChecked(n, !wasChecked);
    frmDocument* document = main_.ActiveDocument();
    if (!document) {
        return;
    }
    document->SetGrafikAnzeigen(n, !wasChecked);
    document->AktualisiereVariation(n);
    document->OriginalResize();
}

void ViewCommands::Options() { frmOptions::ShowOptionsDialog(&main_); }

void ViewCommands::ShowFloatingWindows() {
    if (QWidget* tools = main_.ToolsWindow()) {
        tools->setVisible(main_.ui().mnuViewTools->isChecked());
    }
    if (QWidget* palette = main_.PaletteWindow()) {
        palette->setVisible(main_.ui().mnuViewPalette->isChecked());
    }
}

void ViewCommands::HideFloatingWindows() {
    for (QWidget* floating : {main_.ToolsWindow(), main_.PaletteWindow()}) {
        if (floating) {
            floating->hide();
        }
    }
}

}  // namespace kalmira
