#include "settings/qualityoptionstab.h"

#include <QCheckBox>
#include <algorithm>
#include <QVBoxLayout>

#include "common/texts.h"

namespace kalmira {

QualityOptionsTab::QualityOptionsTab(QWidget& page) : QWidget(&page) {
    setObjectName(QStringLiteral("frameOptionsQuality"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    auto box = [&](const char* name, int textId, bool on) {
        auto* check = new QCheckBox(LoadText(textId), this);
        check->setObjectName(QString::fromLatin1(name));
        check->setChecked(on);
        layout->addWidget(check);
        return check;
    };
    const QualityOptionsRecord& current = QualityOptions();
    qualityNumbers_ = box("CheckQualityNumbers", 6631, current.QualityNumbers);
    byteBudget_ = box("CheckByteBudget", 6632, current.ByteBudget);
    webpAvif_ = box("CheckWebpAvif", 6633, current.WebpAvif);
    const int top = page.childrenRect().bottom() + 8;
    setGeometry(8, top, page.width() - 16, std::max(0, page.height() - top));
}

void QualityOptionsTab::Apply() {
    QualityOptionsRecord options;
    options.QualityNumbers = qualityNumbers_->isChecked();
    options.ByteBudget = byteBudget_->isChecked();
    options.WebpAvif = webpAvif_->isChecked();
    const bool changed = !(options == QualityOptions());
    QualityOptions() = options;
    SaveQualityOptions(options);
    if (changed) emit QualityOptionsNotifier::instance().changed();
}

}  // namespace kalmira
