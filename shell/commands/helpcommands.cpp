#include "shell/commands/helpcommands.h"

#include "ui_frmMain.h"

#include "common/programfiles.h"
#include "common/texts.h"
#include "shell/frmmain.h"
#include "shell/notavailable.h"

#include <QDesktopServices>
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
    // The help file and the about box arrive with the help and about work.
    for (QAction* later : {u.mnuHelpContents, u.mnuHelpLegalAgreement, u.mnuHelpAbout}) {
        connect(later, &QAction::triggered, this, [this, later] { notAvailable(later); });
    }
}

void HelpCommands::notAvailable(QAction* command) {
    ShowCommandNotAvailable(&main_, command->objectName(), command->text());
}

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
