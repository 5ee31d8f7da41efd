#include "settings/gifjpegrules.h"

#include "common/apperror.h"

#include <QAbstractButton>
#include <QWidget>

namespace kalmira {

namespace {

constexpr int kNoSuchControlError = 340;

template <class T = QWidget>
T* control(QWidget* form, const QString& name) {
    T* found = form ? form->findChild<T*>(name) : nullptr;
    if (!found) throw AppError(kNoSuchControlError, QStringLiteral("Control '%1' does not exist").arg(name));
    return found;
}

QAbstractButton* paletteButton(QWidget* form, std::int16_t kind) {
    return control<QAbstractButton>(form, QStringLiteral("optPalette%1").arg(kind));
}

}  // namespace

void ApplyPixelDepthRules(QWidget* form, std::int16_t depth) {
    QWidget* dithering = control(form, QStringLiteral("ComboDithering"));
    QWidget* colourCount = control(form, QStringLiteral("ComboNumColors"));
    QAbstractButton* fixed = paletteButton(form, kPaletteFixed);
    QAbstractButton* optimized = paletteButton(form, kPaletteOptimized);
    QAbstractButton* windows = paletteButton(form, kPaletteWindows);
    QAbstractButton* netscape = paletteButton(form, kPaletteNetscape);
    if (depth < 9) {
        dithering->setEnabled(true);
        fixed->setEnabled(true);
        optimized->setEnabled(true);
        windows->setEnabled(true);
        if (depth == 8) {
            netscape->setEnabled(true);
        } else {
            netscape->setEnabled(false);
            // The Netscape palette has more colours than these depths can hold.
            if (netscape->isChecked()) fixed->setChecked(true);
        }
        colourCount->setEnabled(optimized->isChecked());
    } else {
        dithering->setEnabled(false);
        fixed->setEnabled(false);
        optimized->setEnabled(false);
        windows->setEnabled(false);
        netscape->setEnabled(false);
        colourCount->setEnabled(false);
    }
}

void ApplyPaletteKindRules(QWidget* form, std::int16_t kind) {
    control(form, QStringLiteral("ComboNumColors"))->setEnabled(kind == kPaletteOptimized);
    control(form, QStringLiteral("cmdDefinePalette"))->setEnabled(kind == kPaletteCustom);
}

}  // namespace kalmira
