// The tools window's target-size field: a byte budget for the selected Variation. Enter (or
// leaving the field) searches the best setting that fits; the result line says what was
// achieved, and the Variation face then shows the setting chosen.
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include "common/errortrap.h"
#include "common/texts.h"
#include "document/documentrules.h"
#include "document/frmdocument.h"
#include "settings/qualityoptions.h"
#include "tools/frmtools.h"

namespace kalmira {

void frmTools::createByteBudgetField() {
    // A row of its own below the buttons, so no face of the Part's layout moves.
    const int top = height() + 2;
    labelTargetSize_ = new QLabel(LoadText(6620), this);
    labelTargetSize_->setObjectName(QStringLiteral("LabelTargetSize"));
    labelTargetSize_->setGeometry(16, top + 2, 170, 22);
    textTargetSize_ = new QLineEdit(this);
    textTargetSize_->setObjectName(QStringLiteral("TextTargetSize"));
    textTargetSize_->setGeometry(190, top, 110, 24);
    labelTargetSizeResult_ = new QLabel(this);
    labelTargetSizeResult_->setObjectName(QStringLiteral("LabelTargetSizeResult"));
    labelTargetSizeResult_->setGeometry(16, top + 28, width() - 24, 22);
    connect(textTargetSize_, &QLineEdit::returnPressed, this, [this] { TextTargetSize_Commit(); });
    // Hidden until the switch shows them, which also makes room for them.
    for (QWidget* w : std::initializer_list<QWidget*>{labelTargetSize_, textTargetSize_, labelTargetSizeResult_})
        w->setVisible(false);
    applyQualityOptions();
    connect(&QualityOptionsNotifier::instance(), &QualityOptionsNotifier::changed, this,
            [this] { Guarded([this] { applyQualityOptions(); }); });
}

void frmTools::ShowByteBudgetField(bool on) {
    if (!textTargetSize_ || textTargetSize_->isVisibleTo(this) == on) return;
    for (QWidget* w : std::initializer_list<QWidget*>{labelTargetSize_, textTargetSize_, labelTargetSizeResult_})
        w->setVisible(on);
    constexpr int kRowsHeight = 56;
    resize(width(), height() + (on ? kRowsHeight : -kRowsHeight));
}

void frmTools::TextTargetSize_Commit() {
    Guarded([this] {
        frmDocument* document = ActiveDocument();
        const int n = document ? document->FindeSelektierteGrafik() : 0;
        if (n <= 0) return;
        const QString text = textTargetSize_->text().trimmed();
        if (text.isEmpty()) {
            labelTargetSizeResult_->clear();
            return;
        }
        bool ok = false;
        const qlonglong bytes = text.toLongLong(&ok);
        if (!ok || bytes < 1) {
            showMessage(6626);
            return;
        }
        // The search runs off the window's thread; the row shows its outcome once the
        // Variation shows the encoding found.
        labelTargetSizeResult_->clear();
        document->FitVariationToBudget(n, bytes, [this, bytes](const frmDocument::BudgetOutcome& outcome) {
            Guarded([&] {
                if (!outcome.applicable) {
                    showMessage(6625);
                    return;
                }
                QString result;
                if (!outcome.fits)
                    result = LoadText(6624).arg(FormatWholeNumber(bytes), FormatWholeNumber(outcome.bytes));
                else if (outcome.colors > 0)
                    result = LoadText(outcome.dithered ? 6623 : 6622).arg(FormatWholeNumber(outcome.bytes)).arg(outcome.colors);
                else
                    result = LoadText(6621).arg(FormatWholeNumber(outcome.bytes)).arg(outcome.quality);
                labelTargetSizeResult_->setText(result);
            });
        });
    });
}

}  // namespace kalmira
