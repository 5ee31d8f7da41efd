// The tools window's target field: a byte budget for the selected Variation ("bytes at most")
// or a quality it must reach ("SSIM at least"). Enter searches the best setting that fits, or
// the smallest file that reaches the SSIM; the result line says what was achieved, and the
// Variation face then shows the setting chosen.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>

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
    comboTargetMode_ = new QComboBox(this);
    comboTargetMode_->setObjectName(QStringLiteral("ComboTargetMode"));
    comboTargetMode_->addItems({LoadText(6641), LoadText(6642)});
    comboTargetMode_->setGeometry(16, top, 170, 24);
    textTargetSize_ = new QLineEdit(this);
    textTargetSize_->setObjectName(QStringLiteral("TextTargetSize"));
    textTargetSize_->setGeometry(190, top, 110, 24);
    labelTargetSizeResult_ = new QLabel(this);
    labelTargetSizeResult_->setObjectName(QStringLiteral("LabelTargetSizeResult"));
    labelTargetSizeResult_->setGeometry(16, top + 28, width() - 24, 22);
    connect(textTargetSize_, &QLineEdit::returnPressed, this, [this] { TextTargetSize_Commit(); });
    // A result says what the other mode found; it goes when the mode changes.
    connect(comboTargetMode_, &QComboBox::currentIndexChanged, this, [this] { labelTargetSizeResult_->clear(); });
    // Hidden until the switch shows them, which also makes room for them.
    for (QWidget* w : std::initializer_list<QWidget*>{comboTargetMode_, textTargetSize_, labelTargetSizeResult_})
        w->setVisible(false);
    applyQualityOptions();
    connect(&QualityOptionsNotifier::instance(), &QualityOptionsNotifier::changed, this,
            [this] { Guarded([this] { applyQualityOptions(); }); });
}

void frmTools::ShowByteBudgetField(bool on) {
    if (!textTargetSize_ || textTargetSize_->isVisibleTo(this) == on) return;
    for (QWidget* w : std::initializer_list<QWidget*>{comboTargetMode_, textTargetSize_, labelTargetSizeResult_})
        w->setVisible(on);
    constexpr int kRowsHeight = 56;
    resize(width(), height() + (on ? kRowsHeight : -kRowsHeight));
}

void frmTools::commitSsimTarget(frmDocument& document, int n, QString text) {
    // Either decimal sign: a German user types 0,95.
    bool ok = false;
    const double target = text.replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    if (!ok || !(target > 0.0 && target <= 1.0)) {
        showMessage(6646);
        return;
    }
    // The search runs off the window's thread, as the byte budget's does.
    labelTargetSizeResult_->clear();
    document.FitVariationToSsim(n, target, [this, target, n, doc = QPointer<frmDocument>(&document)](const frmDocument::SsimOutcome& outcome) {
        Guarded([&] {
            if (outcome.superseded) return;
            if (!outcome.applicable) {
                showMessage(6625);
                return;
            }
            if (doc && doc->FindeSelektierteGrafik() == n) FuelleReiterVariation(*doc, n);
            // Four decimals, as the caption shows SSIM in its own locale-free form.
            const QString reached = QString::number(outcome.ssim, 'f', 4);
            const QString bytes = FormatWholeNumber(outcome.bytes);
            QString result;
            if (!outcome.reached)
                result = LoadText(6645).arg(QString::number(target, 'f', 4), reached, bytes);
            else if (outcome.colors > 0)
                result = LoadText(6644).arg(bytes, reached).arg(outcome.colors);
            else
                result = LoadText(6643).arg(bytes, reached).arg(outcome.quality);
            labelTargetSizeResult_->setText(result);
        });
    });
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
        if (comboTargetMode_->currentIndex() == 1) {
            commitSsimTarget(*document, n, text);
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
        document->FitVariationToBudget(n, bytes, [this, bytes, n, doc = QPointer<frmDocument>(document)](const frmDocument::BudgetOutcome& outcome) {
            Guarded([&] {
                if (outcome.superseded) return;
                if (!outcome.applicable) {
                    showMessage(6625);
                    return;
                }
                // The face shows the setting found, even over edits not applied: the search
                // was asked for after them.
                if (doc && doc->FindeSelektierteGrafik() == n) FuelleReiterVariation(*doc, n);
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
