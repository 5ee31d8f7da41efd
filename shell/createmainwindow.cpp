#include "shell/createmainwindow.h"

#include "shell/commands/filecommands.h"
#include "shell/common/globals.h"
#include "shell/frmmain.h"

namespace kalmira {

std::unique_ptr<QMainWindow> createMainWindow(const QStringList& files) {
    auto window = std::make_unique<frmMain>();
    MainWindow = window.get();
    window->Load(files);
    // A first start without a file shows the picture that comes with the program, so there is
    // something real to look at and compare.
    if (files.isEmpty() && OpenDocumentCount == 0) {
        window->Files().OpenSampleImage();
    }
    return window;
}

}  // namespace kalmira
