// Until the main window arrives: an empty frame with the program's caption.
#include "shell/createmainwindow.h"

#include "shell/common/globals.h"

#include <QMainWindow>

namespace kalmira {

std::unique_ptr<QMainWindow> createMainWindow(const QStringList& /*files*/) {
    auto window = std::make_unique<QMainWindow>();
    MainWindow = window.get();
    window->setWindowTitle(QStringLiteral("Kalmira 4.2"));
    window->resize(800, 600);
    return window;
}

}  // namespace kalmira
