#pragma once
// The options dialog's "Quality" tab: the switches of the quality additions. It edits a copy
// and commits on OK with the rest of the dialog.

#include <QWidget>

#include "settings/qualityoptions.h"

class QCheckBox;
class QTabWidget;

namespace kalmira {

class QualityOptionsTab : public QWidget {
    Q_OBJECT

public:
    // Adds itself as the last tab of `tabs`, filled from QualityOptions().
    explicit QualityOptionsTab(QTabWidget& tabs);
    // OK: the record takes the boxes, the store keeps them, the windows are told.
    void Apply();

private:
    QCheckBox* qualityNumbers_;
    QCheckBox* byteBudget_;
    QCheckBox* webpAvif_;
};

}  // namespace kalmira
