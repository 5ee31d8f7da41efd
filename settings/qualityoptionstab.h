#pragma once
// The switches of the quality additions on the options dialog's General tab, below its own
// controls (a fourth tab would not fit the dialog's width), and the difference view's on the
// Display tab. They commit on OK with the rest of the dialog.

#include <QWidget>

#include "settings/qualityoptions.h"

class QCheckBox;

namespace kalmira {

class QualityOptionsTab : public QWidget {
    Q_OBJECT

public:
    // Places itself in `page` below what the page holds, and the difference view's box below
    // what `displayPage` holds, filled from QualityOptions().
    QualityOptionsTab(QWidget& page, QWidget& displayPage);
    // OK: the record takes the boxes, the store keeps them, the windows are told.
    void Apply();

private:
    QCheckBox* qualityNumbers_;
    QCheckBox* byteBudget_;
    QCheckBox* webpAvif_;
    QCheckBox* differenceView_;
    QCheckBox* smallJpeg_;
    QCheckBox* keepProfile_;
    QCheckBox* keepAuthor_;
};

}  // namespace kalmira
