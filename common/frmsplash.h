#pragma once
// The start-up window: the product picture with the product's labels over it. Main shows it
// while the program starts and removes it once the main window is built; it has no buttons.

#include <QWidget>
#include <memory>

class QLabel;

namespace Ui {
class frmSplash;
}

namespace kalmira {

// The program's version as every window shows it after its version label.
inline constexpr const char* kVersionText = "4.2";

// The product picture shared by the splash and the about box.
QPixmap ProductPicture();

// Gives `window` the size of `picture`'s pixmap and scales every other label of the window
// (geometry and font size) by picture width / window width, so a layout designed for one size
// fits the picture. The splash and the about box both use this rule.
void FitWindowToPicture(QWidget* window, QLabel* picture);

class frmSplash : public QWidget {
    Q_OBJECT

public:
    explicit frmSplash(QWidget* parent = nullptr);
    ~frmSplash() override;

private:
    std::unique_ptr<Ui::frmSplash> ui_;
};

}  // namespace kalmira
