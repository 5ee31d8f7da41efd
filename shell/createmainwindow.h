#pragma once
// The one place Main gets its main window from. The window is created and loaded here: its load
// step (texts, stored settings, recent files, tool bar) runs before this returns, and it opens
// the image files named on the command line. The load may reach the main window through
// kalmira::MainWindow, so the implementation sets that as soon as the window exists; Main sets
// it again with the result and clears it when the window is gone.

#include <QStringList>
#include <memory>

class QMainWindow;

namespace kalmira {

// files: the command-line words after the program name, each opened as an image file.
std::unique_ptr<QMainWindow> createMainWindow(const QStringList& files);

}  // namespace kalmira
