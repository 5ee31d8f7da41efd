#pragma once
// The Edit menu: undo, clipboard, duplicate, capture, 3D text and the region tools. The
// clipboard, duplicate and 3D text commands are PictureCommands'.

#include <QObject>

class QAction;

namespace kalmira {

class frmMain;
class PictureCommands;

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
    // Copy, Paste, Duplicate and 3D text live there.
    PictureCommands& Pictures() const { return *pictures_; }
    // Region tool 1 rectangle, 2 ellipse, 3 rounded rectangle, 4 freehand.
    void SelectRegionTool(int tool);

private:
    void notAvailable(QAction* command);

    frmMain& main_;
    PictureCommands* pictures_;  // owned by the main window (its QObject parent)
};

}  // namespace kalmira
