#include "shell/commands/differencecommands.h"

#include "ui_frmMain.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>

#include "common/errortrap.h"
#include "document/frmdocument.h"
#include "settings/qualityoptions.h"
#include "shell/frmmain.h"
#include "shell/toolbaricons.h"

namespace kalmira {

DifferenceCommands::DifferenceCommands(frmMain& main) : QObject(&main), main_(main) {
    setObjectName(QStringLiteral("DifferenceCommands"));
    Ui::frmMain& u = main_.ui();
    // Texts are ids until the window is localised with the rest of its actions.
    menuItem_ = new QAction(QStringLiteral("6700"), &main_);
    menuItem_->setObjectName(QStringLiteral("mnuViewDifference"));
    menuItem_->setCheckable(true);
    u.mnuView->insertAction(u.mnuViewBar2, menuItem_);

    button_ = new QAction(QStringLiteral("Difference"), &main_);
    button_->setObjectName(QStringLiteral("tbDifference"));
    button_->setCheckable(true);
    button_->setToolTip(QStringLiteral("6701"));
    button_->setProperty("Key", QStringLiteral("Difference"));
    button_->setIcon(ToolbarIcon(QStringLiteral("Difference"), main_.style()));
    // After the Variation toggles, before the zoom box.
    const QList<QAction*> actions = u.tbToolBar->actions();
    const qsizetype after = actions.indexOf(u.tbVariation5);
    QAction* before = after >= 0 && after + 1 < actions.size() ? actions[after + 1] : nullptr;
    u.tbToolBar->insertSeparator(before)->setObjectName(QStringLiteral("tbSeparatorDifference"));
    u.tbToolBar->insertAction(before, button_);

    connect(menuItem_, &QAction::triggered, this, [this](bool on) { toggle(on); });
    connect(button_, &QAction::triggered, this, [this](bool on) { toggle(on); });
    connect(&QualityOptionsNotifier::instance(), &QualityOptionsNotifier::changed, this, [this] { followOptions(); });
    Enable(false);
    followOptions();
}

void DifferenceCommands::ShowChecked(bool on) {
    menuItem_->setChecked(on);
    button_->setChecked(on);
}

void DifferenceCommands::Enable(bool enabled) {
    menuItem_->setEnabled(enabled);
    button_->setEnabled(enabled);
    if (!enabled) ShowChecked(false);
}

void DifferenceCommands::toggle(bool on) {
    Guarded([this, on] {
        frmDocument* document = main_.ActiveDocument();
        if (!document) {
            ShowChecked(false);
            return;
        }
        document->SetDifferenceView(on);
        ShowChecked(document->DifferenceView());
    });
}

void DifferenceCommands::followOptions() {
    const bool offered = QualityOptions().DifferenceView;
    menuItem_->setVisible(offered);
    button_->setVisible(offered);
    if (!offered) ShowChecked(false);
}

}  // namespace kalmira
