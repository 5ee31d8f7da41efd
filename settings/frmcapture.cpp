#include "settings/frmcapture.h"

#include "ui_frmCapture.h"

#include "common/apperror.h"
#include "common/errortrap.h"
#include "common/texts.h"
#include "qt/capturecontrol.h"

#include <QApplication>
#include <QEventLoop>
#include <QPointer>
#include <QRadioButton>
#include <QTimer>

#include <array>
#include <vector>

namespace kalmira {

std::int16_t CaptureKind = 0;

namespace {

constexpr int kExeTab = 3;
constexpr int kAreaKind = 9;
constexpr int kResourceKind = 10;

// How long the desktop gets to take the hidden windows off the screen before a capture that
// does not wait for the hot key (a window manager may fade them out).
constexpr int kHideSettleMs = 150;

// The program's own windows (the main window, the tools and palette windows, a help window):
// hidden while capturing so that none is in the picture, and shown again in their places.
class HiddenWindows {
public:
    HiddenWindows() = default;
    HiddenWindows(const HiddenWindows&) = delete;
    HiddenWindows& operator=(const HiddenWindows&) = delete;
    ~HiddenWindows() { showAgain(); }

    void hideAll(const QWidget* except, bool settle) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window == except || !window->isVisible() || window->windowType() == Qt::Desktop) continue;
            hidden_.push_back({window, window->pos(), window->windowState()});
        }
        for (const Entry& entry : hidden_) entry.window->hide();
        QApplication::processEvents();
        if (settle && !hidden_.empty()) {
            QEventLoop pause;
            QTimer::singleShot(kHideSettleMs, &pause, &QEventLoop::quit);
            pause.exec();
        }
    }

    // In the order they were found, so the main window comes back before the windows it owns.
    void showAgain() {
        for (const Entry& entry : hidden_) {
            if (!entry.window) continue;
            entry.window->show();
            // A window manager may place a window anew when it is mapped again.
            if (entry.state == Qt::WindowNoState) entry.window->move(entry.position);
        }
        hidden_.clear();
    }

private:
    struct Entry {
        QPointer<QWidget> window;
        QPoint position;
        Qt::WindowStates state;
    };
    std::vector<Entry> hidden_;
};

}  // namespace

int frmCapture::KindOf(int tab, int option) {
    switch (tab) {
    case 0: return 1 + option;
    case 1: return 5 + option;
    case 2: return kAreaKind;
    case kExeTab: return kResourceKind;
    default: return 0;
    }
}

int frmCapture::AreaShapeOf(int areaChoice) {
    static constexpr std::array<int, 6> shapes = {2, 3, 1, 5, 4, 6};
    return areaChoice >= 0 && areaChoice < 6 ? shapes[static_cast<std::size_t>(areaChoice)] : 2;
}

frmCapture::frmCapture(imaging::CaptureControl& control, QWidget* mainWindow, bool screenAvailable)
    : QDialog(mainWindow), ui_(std::make_unique<Ui::frmCapture>()), control_(control), mainWindow_(mainWindow),
      screenAvailable_(screenAvailable) {
    ui_->setupUi(this);
    // Help names the capture page while the dialog is the active window.
    setProperty("HelpContextID", 1022);
    // Every tab caption whole, in either language, rather than behind scroll arrows.
    ui_->tabCapture->setUsesScrollButtons(false);
    ui_->optScreen0->setChecked(true);
    ResourceDialogChoice = 1;
    LocalizeForm(this);
    ui_->LabelUnavailable->setVisible(!screenAvailable);
    ui_->LabelUnavailable->setWordWrap(true);

    const std::array<QRadioButton*, 4> screens = {ui_->optScreen0, ui_->optScreen1, ui_->optScreen2, ui_->optScreen3};
    const std::array<QRadioButton*, 4> objects = {ui_->optObjects0, ui_->optObjects1, ui_->optObjects2,
                                                  ui_->optObjects3};
    const std::array<QRadioButton*, 6> areas = {ui_->optArea0, ui_->optArea1, ui_->optArea2,
                                                ui_->optArea3, ui_->optArea4, ui_->optArea5};
    const std::array<QRadioButton*, 3> resources = {ui_->optResources0, ui_->optResources1, ui_->optResources2};
    for (std::size_t i = 0; i < screens.size(); ++i)
        connect(screens[i], &QRadioButton::toggled, this, [this, i](bool on) { if (on) ScreenChoice = std::int16_t(i); });
    for (std::size_t i = 0; i < objects.size(); ++i)
        connect(objects[i], &QRadioButton::toggled, this, [this, i](bool on) { if (on) ObjectChoice = std::int16_t(i); });
    for (std::size_t i = 0; i < areas.size(); ++i)
        connect(areas[i], &QRadioButton::toggled, this, [this, i](bool on) { if (on) AreaChoice = std::int16_t(i); });
    for (std::size_t i = 0; i < resources.size(); ++i)
        connect(resources[i], &QRadioButton::toggled, this,
                [this, i](bool on) { if (on) ResourceDialogChoice = std::int16_t(i); });

    connect(ui_->tabCapture, &QTabWidget::currentChanged, this, [this](int index) { tabCapture_Click(index); });
    connect(ui_->cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(ui_->cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(ui_->cmdOptions, &QPushButton::clicked, this,
            [this] { optionDialog(&imaging::CaptureControl::ShowCaptureOptions); });
    connect(ui_->cmdAreaOptions, &QPushButton::clicked, this,
            [this] { optionDialog(&imaging::CaptureControl::ShowAreaOptions); });
    connect(ui_->cmdObjectOptions, &QPushButton::clicked, this,
            [this] { optionDialog(&imaging::CaptureControl::ShowObjectOptions); });
    tabCapture_Click(ui_->tabCapture->currentIndex());
}

frmCapture::~frmCapture() = default;

void frmCapture::tabCapture_Click(int index) {
    if (index == kExeTab) {
        ui_->checkHideApp->setChecked(false);
        ui_->checkHideApp->setEnabled(false);
    } else {
        ui_->checkHideApp->setEnabled(true);
    }
    // Without an X server only the pictures in program files can be captured.
    ui_->cmdOK->setEnabled(screenAvailable_ || index == kExeTab);
}

void frmCapture::optionDialog(int (imaging::CaptureControl::*show)(QWidget*)) {
    Guarded([&] {
        const int result = (control_.*show)(this);
        if (result != 0 && result != imaging::CaptureControl::kCaptureEnded)
            throw AppError(result, control_.LastErrorText());
    });
}

void frmCapture::cmdCancel_Click() { Unload(); }

void frmCapture::Unload() { done(QDialog::Rejected); }

int frmCapture::runCapture(int kind) {
    using imaging::CaptureControl;
    switch (kind) {
    case 1: return control_.CaptureFullScreen();
    case 2: return control_.CaptureWallpaper();
    case 3: return control_.CaptureActiveWindow();
    case 4: return control_.CaptureActiveClient();
    case 5: return control_.CaptureSelectedObject();
    case 6: return control_.CaptureMenuUnderCursor();
    case 7: return control_.CaptureMouseCursor();
    case 8: return control_.CaptureWindowUnderCursor();
    case kAreaKind: return control_.CaptureArea(static_cast<CaptureControl::AreaShape>(AreaShape));
    case kResourceKind:
        return control_.CaptureResources(mainWindow_, QString(), ResourceKinds,
                                         static_cast<CaptureControl::ResourceDialog>(ResourceDialogType));
    default: return 0;
    }
}

void frmCapture::cmdOK_Click() {
    HiddenWindows hidden;
    const auto showProgram = [&] {
        hidden.showAgain();
        if (mainWindow_) mainWindow_->show();
    };
    try {
        if (control_.Capturing()) control_.StopCapture();
        CaptureKind = 0;
        hide();
        const bool hiding = ui_->checkHideApp->isChecked();
        if (hiding) hidden.hideAll(this, control_.HotKey() == 0);
        const int tab = ui_->tabCapture->currentIndex();
        const int option = tab == 0 ? ScreenChoice : tab == 1 ? ObjectChoice : 0;
        const int kind = KindOf(tab, option);
        if (kind == kAreaKind) AreaShape = static_cast<std::int16_t>(AreaShapeOf(AreaChoice));
        if (kind == kResourceKind) {
            // "From Exe Function" keeps the type the other two choices set last.
            if (ResourceDialogChoice == 0) ResourceDialogType = 1;
            else if (ResourceDialogChoice == 1) ResourceDialogType = 0;
            ResourceKinds = 0;
            if (ui_->chkBitmaps->isChecked()) ResourceKinds |= 1;
            if (ui_->chkIcons->isChecked()) ResourceKinds |= 2;
            if (ui_->chkCursors->isChecked()) ResourceKinds |= 4;
        }
        CaptureKind = static_cast<std::int16_t>(kind);
        const auto checked = [this](int result) {
            if (result != 0 && result != imaging::CaptureControl::kCaptureEnded)
                throw AppError(result, control_.LastErrorText());
            return result;
        };
        if (control_.HotKey() != 0) {
            while (CaptureKind == kind) {
                if (control_.Capturing()) control_.StopCapture();
                const int result = checked(runCapture(kind));
                QApplication::processEvents();
                // The first captured picture's document brings the tools and palette windows:
                // they leave the screen too before the next capture.
                if (hiding) hidden.hideAll(this, false);
                if (result == imaging::CaptureControl::kCaptureEnded) CaptureKind = 0;
            }
        } else {
            checked(runCapture(kind));
            CaptureKind = 0;
        }
        showProgram();
        Unload();
    } catch (...) {
        CaptureKind = 0;
        // Back on the screen before the message, which would otherwise stand alone.
        showProgram();
        Unload();
        HandleCurrentError();
    }
}

}  // namespace kalmira
