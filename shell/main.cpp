// The program's entry: language, splash, start-up state, main window.
#include "common/errortrap.h"
#include "common/frmsplash.h"
#include "common/globals.h"
#include "shell/createmainwindow.h"

#include <QApplication>
#include <QIcon>
#include <QMainWindow>

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

const char* const kUsage =
    "usage: kalmira [FILE...]\n"
    "       kalmira --help | --version\n"
    "Opens each FILE as a document: the Original beside its Variations, each encoded and measured.\n"
    "Arguments after \"--\" are files even when they begin with \"-\".\n"
    "KALMIRA_LANGUAGE=en gives English texts (German is the default).\n"
    "Batch optimisation on the command line: kalmira-cli batch --help\n";

// Answered before any window system is asked for, so both work without a display.
bool answeredAndDone(int argc, char** argv, int& status) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            status = 0;
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("kalmira " KALMIRA_VERSION);
            status = 0;
            return true;
        }
    }
    return false;
}

// Drawn for every size the desktop asks for, so no size is an enlargement.
QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512})
        icon.addFile(QStringLiteral(":/kalmira/icons/kalmira-%1.png").arg(size), QSize(size, size));
    return icon;
}

int runProgram(QApplication& app) {
    using namespace kalmira;
    LanguageOffset = LanguageOffsetFromEnvironment();

    // Shown and painted at once, so it stands while the main window is built.
    auto splash = std::make_unique<frmSplash>();
    splash->show();
    splash->repaint();
    QApplication::processEvents();

    InitApplication();

    QStringList files = QApplication::arguments().mid(1);
    files.removeOne(QStringLiteral("--"));  // what follows it is files, whatever their names
    std::unique_ptr<QMainWindow> mainWindow = createMainWindow(files);
    MainWindow = mainWindow.get();
    splash.reset();
    mainWindow->show();

    const int result = app.exec();
    MainWindow = nullptr;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (int status = 0; answeredAndDone(argc, argv, status)) return status;
    QApplication app(argc, argv);
    // The desktop entry's name: a desktop then shows the entry's icon for the windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("kalmira"));
    QApplication::setWindowIcon(programIcon());
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
