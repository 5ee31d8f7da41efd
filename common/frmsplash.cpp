#include "common/frmsplash.h"

#include "resources/kalmiraresources.h"
#include "common/texts.h"
#include "ui_frmSplash.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

#include <cmath>

namespace kalmira {

QPixmap ProductPicture() {
    InitKalmiraResources();
    return QPixmap(QStringLiteral(":/kalmira/images/brenvo.png"));
}

void FitWindowToPicture(QWidget* window, QLabel* picture) {
    const QSize size = picture->pixmap().size();
    if (size.isEmpty() || window->width() <= 0) {
        return;
    }
    const double factor = double(size.width()) / window->width();
    const auto scaled = [factor](int value) { return int(std::lround(value * factor)); };
    window->setFixedSize(size);
    picture->setGeometry(0, 0, size.width(), size.height());
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (label == picture) {
            continue;
        }
        const QRect r = label->geometry();
        label->setGeometry(scaled(r.left()), scaled(r.top()), scaled(r.width()), scaled(r.height()));
        QFont font = label->font();
        if (font.pointSizeF() > 0) {
            font.setPointSizeF(font.pointSizeF() * factor);
        } else if (font.pixelSize() > 0) {
            font.setPixelSize(scaled(font.pixelSize()));
        }
        label->setFont(font);
    }
}

frmSplash::frmSplash(QWidget* parent) : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), ui_(new Ui::frmSplash) {
    ui_->setupUi(this);
    LocalizeForm(this);
    ui_->lblVersion->setText(ui_->lblVersion->text() + QLatin1Char(' ') + QLatin1String(kVersionText));
    ui_->imgBrenvo->setPixmap(ProductPicture());
    FitWindowToPicture(this, ui_->imgBrenvo);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

frmSplash::~frmSplash() = default;

}  // namespace kalmira
