#pragma once
// The about box: the product picture with the version, the platform this copy runs on (Qt
// version, window system, processor), the information, year and maker labels, OK and
// "System Info...", which opens the program's own system information window.

#include <QDialog>

#include <memory>

namespace Ui {
class frmAbout;
}

namespace kalmira {

class frmAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(QWidget* owner = nullptr);
    ~frmAbout() override;

    // Help > About: shown modally, owned by the main window.
    static void ShowAbout(QWidget* owner);

    void cmdOK_Click();
    void cmdSysInfo_Click();

    // "Qt 6.4.2, xcb, x86_64": what the platform label shows.
    static QString PlatformDetails();

private:
    std::unique_ptr<Ui::frmAbout> ui_;
};

}  // namespace kalmira
