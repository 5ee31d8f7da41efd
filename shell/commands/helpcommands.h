#pragma once
// The help menu: the readme, the product's web pages, and the help file and about box that
// come later.

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

private:
    void notAvailable(QAction* command);

    frmMain& main_;
};

}  // namespace kalmira
