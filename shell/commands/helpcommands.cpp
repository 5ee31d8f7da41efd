#include "shell/commands/helpcommands.h"

#include "ui_frmMain.h"

#include "common/programfiles.h"
#include "common/texts.h"
#include "shell/frmmain.h"
#include "common/errortrap.h"
#include "shell/frmabout.h"
#include "shell/helpviewer.h"

#include <QDesktopServices>
#include <QDir>
#include <QShortcut>
#include <QUrl>

namespace kalmira {

namespace {
constexpr int kTextReadmeFile = 5115;   // "readme.txt"
constexpr int kTextReadmeTitle = 5116;  // "Readme"
constexpr int kTextHomePage = 5119;
constexpr int kTextSupportPage = 5118;
constexpr int kTextDownloadPage = 5112;
}  // namespace

HelpCommands::HelpCommands(frmMain& main) : QObject(&main), main_(main) {
    Ui::frmMain& u = main_.ui();
    connect(u.mnuHelpRegistering, &QAction::triggered, this, [this] { Readme(); });
    connect(u.mnuBrenvoHomepage, &QAction::triggered, this, [this] { OpenWebPage(kTextHomePage); });
    connect(u.mnuOnlineSupport, &QAction::triggered, this, [this] { OpenWebPage(kTextSupportPage); });
    connect(u.mnuDownloadUpdates, &QAction::triggered, this, [this] { OpenWebPage(kTextDownloadPage); });
    connect(u.mnuHelpContents, &QAction::triggered, this, [this] { Guarded([this] { ShowHelp(HelpViewer::kContents); }); });
    connect(u.mnuHelpLegalAgreement, &QAction::triggered, this,
            [this] { Guarded([this] { ShowHelp(HelpViewer::kLicense); }); });
    connect(u.mnuHelpAbout, &QAction::triggered, this, [this] { Guarded([this] { About(); }); });
    // F1 anywhere in the program: the page of the window the user works in.
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), &main_);
    f1->setContext(Qt::ApplicationShortcut);
    connect(f1, &QShortcut::activated, this,
            [this] { Guarded([this] { ShowHelp(HelpViewer::CurrentHelpContext()); }); });
}

void HelpCommands::ShowHelp(int contextId) { HelpViewer::ShowHelp(&main_, contextId); }

void HelpCommands::About() { frmAbout::ShowAbout(&main_); }

void HelpCommands::Readme() {
    const QString path = FindProgramFile(LoadText(kTextReadmeFile));
    main_.LadenDateiInForm(path, LoadText(kTextReadmeTitle));
}

void HelpCommands::OpenWebPage(int textId) {
    const QUrl address(LoadText(textId), QUrl::StrictMode);
    if (address.isValid() && !address.scheme().isEmpty()) {
        QDesktopServices::openUrl(address);
    }
}

}  // namespace kalmira
