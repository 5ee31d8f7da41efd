#pragma once
// The Window menu: arranging the document windows.

#include <QObject>

namespace kalmira {

class frmMain;

class WindowCommands : public QObject {
    Q_OBJECT

public:
    enum class Arrangement { Cascade = 0, TileHorizontal = 1, TileVertical = 2, ArrangeIcons = 3 };

    explicit WindowCommands(frmMain& main);

    void Arrange(Arrangement how);

private:
    frmMain& main_;
};

}  // namespace kalmira
