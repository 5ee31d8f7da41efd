#pragma once
// The help menu: the help pages (contents, licence, F1 for the window in use), the readme, the
// product's web pages and the about box.

#include <QObject>

class QAction;

namespace kalmira {

class frmMain;

class HelpCommands : public QObject {
    Q_OBJECT

public:
    explicit HelpCommands(frmMain& main);

    void Readme();
    // Opens the address held in the text with this id in the desktop's browser; a failure of
    // the desktop service is not reported.
    void OpenWebPage(int textId);
    // The help window at the page of a help context (1 contents, 1011 licence).
    void ShowHelp(int contextId);
    void About();

private:

    frmMain& main_;
};

}  // namespace kalmira
