// The program's entry: language, splash, start-up state, main window.
#include "common/errortrap.h"
#include "common/frmsplash.h"
#include "common/globals.h"
#include "shell/createmainwindow.h"

#include <QApplication>
#include <QMainWindow>

#include <cstdio>
#include <exception>

namespace {

int runProgram(QApplication& app) {
    using namespace kalmira;
    LanguageOffset = LanguageOffsetFromEnvironment();

    // Shown and painted at once, so it stands while the main window is built.
    auto splash = std::make_unique<frmSplash>();
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    InitApplication();

    std::unique_ptr<QMainWindow> mainWindow = createMainWindow(QApplication::arguments().mid(1));
    MainWindow = mainWindow.get();
    splash.reset();
    mainWindow->show();

    const int result = app.exec();
    MainWindow = nullptr;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // Whatever Qt titles by itself carries the program's name too.
    QApplication::setApplicationName(kalmira::ApplicationName());
    // Main has no error handler of its own (error trapping is still off when it starts): an error
    // that escapes it ends the program with a plain report.
    try {
        return runProgram(app);
    } catch (...) {
        const kalmira::ErrorInfo error = kalmira::DescribeException(std::current_exception());
        std::fprintf(stderr, "kalmira: cannot start: (%d) %s\n", error.number, qUtf8Printable(error.description));
        return 1;
    }
}
