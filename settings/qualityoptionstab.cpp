#include "settings/qualityoptionstab.h"

#include <QCheckBox>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

#include "common/texts.h"

namespace kalmira {

QualityOptionsTab::QualityOptionsTab(QWidget& page, QWidget& displayPage) : QWidget(&page) {
    setObjectName(QStringLiteral("frameOptionsQuality"));
    // Placed like the rest of the dialog, at fixed positions under what the page holds: the
    // boxes have their full width before the dialog is ever shown.
    const int width = std::max(0, page.width() - 16);
    // The boxes stand in a scrolling area: the page has room for three rows under its own
    // controls, and the dialog's size is fixed.
    auto* area = new QScrollArea(this);
    area->setObjectName(QStringLiteral("scrollOptionsQuality"));
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget;
    const int boxWidth = std::max(0, width - area->verticalScrollBar()->sizeHint().width());
    int y = 0;
    auto box = [&](const char* name, int textId, bool on) {
        auto* check = new QCheckBox(LoadText(textId), content);
        check->setObjectName(QString::fromLatin1(name));
        check->setChecked(on);
        const int height = check->sizeHint().height();
        check->setGeometry(0, y, boxWidth, height);
        y += height + 2;
        return check;
    };
    const QualityOptionsRecord& current = QualityOptions();
    qualityNumbers_ = box("CheckQualityNumbers", 6631, current.QualityNumbers);
    byteBudget_ = box("CheckByteBudget", 6632, current.ByteBudget);
    webpAvif_ = box("CheckWebpAvif", 6633, current.WebpAvif);
    smallJpeg_ = box("CheckSmallJpeg", 6640, current.SmallJpeg);
    keepProfile_ = box("CheckKeepProfile", 6860, current.KeepProfile);
    keepAuthor_ = box("CheckKeepAuthor", 6861, current.KeepAuthor);
    content->resize(boxWidth, y);
    area->setWidget(content);
    const int top = page.childrenRect().bottom() + 8;
    const int height = std::max(0, page.height() - top - 4);
    setGeometry(8, top, width, height);
    area->setGeometry(0, 0, width, height);
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
    options.KeepProfile = keepProfile_->isChecked();
    options.KeepAuthor = keepAuthor_->isChecked();
    const bool changed = !(options == QualityOptions());
    QualityOptions() = options;
    SaveQualityOptions(options);
    if (changed) emit QualityOptionsNotifier::instance().changed();
}

}  // namespace kalmira
