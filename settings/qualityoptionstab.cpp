#include "settings/qualityoptionstab.h"

#include <QCheckBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "common/texts.h"

namespace kalmira {

QualityOptionsTab::QualityOptionsTab(QTabWidget& tabs) : QWidget(&tabs) {
    setObjectName(QStringLiteral("frameOptionsQuality"));
    auto* layout = new QVBoxLayout(this);
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
    layout->addStretch(1);
    tabs.addTab(this, LoadText(6630));
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
