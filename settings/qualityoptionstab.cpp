#include "settings/qualityoptionstab.h"

#include <QCheckBox>
#include <algorithm>

#include "common/texts.h"

namespace kalmira {

QualityOptionsTab::QualityOptionsTab(QWidget& page, QWidget& displayPage) : QWidget(&page) {
    setObjectName(QStringLiteral("frameOptionsQuality"));
    // Placed like the rest of the dialog, at fixed positions under what the page holds: the
    // boxes have their full width before the dialog is ever shown.
    const int width = std::max(0, page.width() - 16);
    int y = 0;
    auto box = [&](const char* name, int textId, bool on) {
        auto* check = new QCheckBox(LoadText(textId), this);
        check->setObjectName(QString::fromLatin1(name));
        check->setChecked(on);
        const int height = check->sizeHint().height();
        check->setGeometry(0, y, width, height);
        y += height + 2;
        return check;
    };
    const QualityOptionsRecord& current = QualityOptions();
    qualityNumbers_ = box("CheckQualityNumbers", 6631, current.QualityNumbers);
    byteBudget_ = box("CheckByteBudget", 6632, current.ByteBudget);
    webpAvif_ = box("CheckWebpAvif", 6633, current.WebpAvif);
    // The JPEG encoder's switch shares the last row: the page, whose height the dialog's layout
    // fixes, has no room for a fourth.
    constexpr int kFirstColumn = 178;
    webpAvif_->resize(kFirstColumn - 4, webpAvif_->height());
    smallJpeg_ = new QCheckBox(LoadText(6640), this);
    smallJpeg_->setObjectName(QStringLiteral("CheckSmallJpeg"));
    smallJpeg_->setChecked(current.SmallJpeg);
    smallJpeg_->setGeometry(kFirstColumn, webpAvif_->y(), std::max(0, width - kFirstColumn), webpAvif_->height());
    const int top = page.childrenRect().bottom() + 8;
    setGeometry(8, top, width, std::max(y, page.height() - top));
    // The difference view is a matter of display, and the General tab has no room left.
    differenceView_ = new QCheckBox(LoadText(6709), &displayPage);
    differenceView_->setObjectName(QStringLiteral("CheckDifferenceView"));
    differenceView_->setChecked(current.DifferenceView);
    differenceView_->setGeometry(12, displayPage.childrenRect().bottom() + 4, std::max(0, displayPage.width() - 24),
                                 differenceView_->sizeHint().height());
}

void QualityOptionsTab::Apply() {
    QualityOptionsRecord options;
    options.QualityNumbers = qualityNumbers_->isChecked();
    options.ByteBudget = byteBudget_->isChecked();
    options.WebpAvif = webpAvif_->isChecked();
    options.DifferenceView = differenceView_->isChecked();
    options.SmallJpeg = smallJpeg_->isChecked();
    const bool changed = !(options == QualityOptions());
    QualityOptions() = options;
    SaveQualityOptions(options);
    if (changed) emit QualityOptionsNotifier::instance().changed();
}

}  // namespace kalmira
