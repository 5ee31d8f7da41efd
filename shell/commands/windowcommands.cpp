#include "shell/commands/windowcommands.h"

#include "ui_frmMain.h"

#include "shell/frmmain.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>

namespace kalmira {

WindowCommands::WindowCommands(frmMain& main) : QObject(&main), main_(main) {
    Ui::frmMain& u = main_.ui();
    connect(u.mnuWindowCascade, &QAction::triggered, this, [this] { Arrange(Arrangement::Cascade); });
    connect(u.mnuWindowTileHorizontal, &QAction::triggered, this, [this] { Arrange(Arrangement::TileHorizontal); });
    connect(u.mnuWindowTileVertical, &QAction::triggered, this, [this] { Arrange(Arrangement::TileVertical); });
    connect(u.mnuWindowArrangeIcons, &QAction::triggered, this, [this] { Arrange(Arrangement::ArrangeIcons); });
}

void WindowCommands::Arrange(Arrangement how) {
    QMdiArea* area = main_.MdiArea();
    QList<QMdiSubWindow*> windows = area->subWindowList(QMdiArea::CreationOrder);
    switch (how) {
    case Arrangement::Cascade:
        area->cascadeSubWindows();
        break;
    case Arrangement::ArrangeIcons:
        // QMdiArea tiles everything; only the minimised windows belong in the icon row.
        windows.erase(std::remove_if(windows.begin(), windows.end(),
                                     [](const QMdiSubWindow* w) { return !w->isMinimized(); }),
                      windows.end());
        {
            int left = 0;
            const int bottom = area->viewport()->height();
            for (QMdiSubWindow* window : windows) {
                const QSize size = window->size();
                window->move(left, bottom - size.height());
                left += size.width();
            }
        }
        break;
    case Arrangement::TileHorizontal:
    case Arrangement::TileVertical: {
        // Tile horizontally stacks the windows one above the other, full width; vertically
        // puts them side by side, full height.
        windows.erase(std::remove_if(windows.begin(), windows.end(),
                                     [](const QMdiSubWindow* w) { return w->isMinimized() || !w->isVisible(); }),
                      windows.end());
        if (windows.isEmpty()) {
            break;
        }
        const QRect room = area->viewport()->rect();
        const int count = static_cast<int>(windows.size());
        for (int i = 0; i < count; ++i) {
            QMdiSubWindow* window = windows.at(i);
            if (window->isMaximized()) {
                window->showNormal();
            }
            QRect cell;
            if (how == Arrangement::TileHorizontal) {
                const int h = room.height() / count;
                cell = QRect(0, i * h, room.width(), i == count - 1 ? room.height() - i * h : h);
            } else {
                const int w = room.width() / count;
                cell = QRect(i * w, 0, i == count - 1 ? room.width() - i * w : w, room.height());
            }
            window->setGeometry(cell);
        }
        break;
    }
    }
}

}  // namespace kalmira
