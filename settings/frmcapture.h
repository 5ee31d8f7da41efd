#pragma once
// The "Capture" dialog: what to capture (part of the screen, an object, a drawn area or the
// pictures in a program file), whether to hide the program meanwhile, and the capture itself,
// repeated on the hot key until the capture control ends it. Each captured picture reaches the
// main window through the capture control's handler, which makes a new document of it.

#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>

namespace Ui {
class frmCapture;
}

namespace imaging {
class CaptureControl;
}

namespace kalmira {

// What runs: 0 none, else the code of the running capture (1..10); process-wide.
extern std::int16_t CaptureKind;

class frmCapture : public QDialog {
    Q_OBJECT

public:
    // `mainWindow` is hidden while capturing when "Hide" is checked; not owned.
    frmCapture(imaging::CaptureControl& control, QWidget* mainWindow, bool screenAvailable);
    ~frmCapture() override;

    // The capture code of a tab (0 Screen, 1 Objects, 2 Area, 3 Exe File) and option index.
    static int KindOf(int tab, int option);
    // Engine shape code of an area choice 0..5.
    static int AreaShapeOf(int areaChoice);

    // Dialog members.
    std::int16_t ScreenChoice = 0;
    std::int16_t ObjectChoice = 0;
    std::int16_t AreaChoice = 0;
    std::int16_t AreaShape = 0;
    std::int16_t ResourceDialogChoice = 1;
    std::int16_t ResourceDialogType = 0;
    std::int16_t ResourceKinds = 0;

    void tabCapture_Click(int index);
    void cmdOK_Click();
    void cmdCancel_Click();
    // Unloads the dialog; a capture that repeats on the hot key goes on until it ends.
    void Unload();

private:
    int runCapture(int kind);
    void optionDialog(int (imaging::CaptureControl::*show)(QWidget*));

    std::unique_ptr<Ui::frmCapture> ui_;
    imaging::CaptureControl& control_;
    QWidget* mainWindow_;
    bool screenAvailable_;
};

}  // namespace kalmira
