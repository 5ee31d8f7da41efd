#include "shell/frmabout.h"

#include "common/errortrap.h"
#include "common/frmsplash.h"
#include "common/texts.h"
#include "shell/frmsysinfo.h"

#include "ui_frmAbout.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QSysInfo>

#include <cmath>

namespace kalmira {

namespace {
constexpr const char* kProductName = "Kalmira";
}  // namespace

QString frmAbout::PlatformDetails() {
    return QStringLiteral("Qt %1, %2, %3")
        .arg(QLatin1String(qVersion()), QGuiApplication::platformName(), QSysInfo::currentCpuArchitecture());
}

frmAbout::frmAbout(QWidget* owner) : QDialog(owner), ui_(new Ui::frmAbout) {
    ui_->setupUi(this);
    LocalizeForm(this);
    setWindowTitle(windowTitle() + QLatin1Char(' ') + QLatin1String(kProductName));
    ui_->lblVersion->setText(ui_->lblVersion->text() + QLatin1Char(' ') + QLatin1String(kVersionText));
    ui_->lblPlatformDetails->setText(PlatformDetails());
    ui_->imgBrenvo->setPixmap(ProductPicture());
    // The buttons follow the picture's scale as the labels do (the labels' rule is the splash's).
    const QSize picture = ui_->imgBrenvo->pixmap().size();
    if (!picture.isEmpty() && width() > 0) {
        const double factor = double(picture.width()) / width();
        for (QPushButton* button : {ui_->cmdOK, ui_->cmdSysInfo}) {
            const QRect r = button->geometry();
            button->setGeometry(int(std::lround(r.left() * factor)), int(std::lround(r.top() * factor)),
                                int(std::lround(r.width() * factor)), int(std::lround(r.height() * factor)));
        }
    }
    FitWindowToPicture(this, ui_->imgBrenvo);
    connect(ui_->cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(ui_->cmdSysInfo, &QPushButton::clicked, this, [this] { Guarded([this] { cmdSysInfo_Click(); }); });
}

frmAbout::~frmAbout() = default;

void frmAbout::ShowAbout(QWidget* owner) {
    frmAbout about(owner);
    about.exec();
}

void frmAbout::cmdOK_Click() { accept(); }

void frmAbout::cmdSysInfo_Click() { frmSysInfo::ShowSystemInformation(this); }

}  // namespace kalmira
