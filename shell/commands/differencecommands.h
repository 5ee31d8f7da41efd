#pragma once
// View > Difference View and its toolbar button: the active document's difference view on or
// off. The check mark and the button show the active document's own state; with the option
// switched off on the options dialog both are hidden.

#include <QObject>

class QAction;

namespace kalmira {

class frmMain;

class DifferenceCommands : public QObject {
    Q_OBJECT

public:
    explicit DifferenceCommands(frmMain& main);

    QAction* MenuItem() const { return menuItem_; }
    QAction* Button() const { return button_; }
    // Checks or unchecks both without running the command.
    void ShowChecked(bool on);
    // With a document open or not: the command needs one.
    void Enable(bool enabled);

private:
    void toggle(bool on);
    void followOptions();

    frmMain& main_;
    QAction* menuItem_;
    QAction* button_;
};

}  // namespace kalmira
