#pragma once
// The Edit menu: undo, clipboard, duplicate, capture, 3D text and the region tools. Only the
// region tools work on the document yet; the rest come with the undo history, clipboard and
// capture work and say so when chosen.

#include <QObject>

class QAction;

namespace kalmira {

class frmMain;

class EditCommands : public QObject {
    Q_OBJECT

public:
    explicit EditCommands(frmMain& main);

    void Undo();
    void Copy();
    void Paste();
    void Duplicate();
    void Capture();
    void Insert3DText();
    // Region tool 1 rectangle, 2 ellipse, 3 rounded rectangle, 4 freehand.
    void SelectRegionTool(int tool);

private:
    void notAvailable(QAction* command);

    frmMain& main_;
};

}  // namespace kalmira
