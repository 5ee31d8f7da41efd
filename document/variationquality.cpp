// The quality numbers of a Variation: how far what the user sees is from the Original.
#include <QLocale>

#include <atomic>
#include <cmath>

#include "core/error.h"
#include "quality/transparency.h"
#include "document/frmdocument.h"
#include "settings/qualityoptions.h"
#include "common/errortrap.h"
#include "common/texts.h"
#include <QGroupBox>

namespace kalmira {

namespace {
std::atomic<int> windowThreadMeasurements{0};
}  // namespace

int frmDocument::WindowThreadQualityMeasurements() { return windowThreadMeasurements; }

std::optional<imaging::QualityScore> frmDocument::VariationQuality(int index) {
    checkVariation(index);
    const std::size_t i = static_cast<std::size_t>(index);
    const VariationRecord& r = records_[i];
    const imaging::ImageControl& original = *pictures_[0];
    const imaging::ImageControl& variation = *pictures_[i];
    QualityMemo& memo = quality_[i];
    if (memo.valid && memo.original == original.ContentVersion() && memo.variation == variation.ContentVersion())
        return memo.score;
    memo = QualityMemo{true, original.ContentVersion(), variation.ContentVersion(), std::nullopt};
    // An animation has no one picture to compare.
    if (r.GIFAnimated || !variation.HasBitmap() || !original.HasBitmap()) return memo.score;
    // A still Variation of an animated Original shows frame ImageNumber.
    const imaging::Bitmap* source = &original.Bitmap();
    if (originalAnimated_ && r.ImageNumber >= 0 && r.ImageNumber < original.BitmapListCount())
        source = &original.BitmapList()[static_cast<std::size_t>(r.ImageNumber)].bitmap;
    const imaging::Bitmap& shown = variation.Bitmap();
    // After the Original was resized and before the Variation is encoded again.
    if (source->width() != shown.width() || source->height() != shown.height()) return memo.score;
    ++windowThreadMeasurements;
    memo.score = imaging::measureQuality(*source, shown);
    return memo.score;
}

void frmDocument::connectQualityOptions() {
    connect(&QualityOptionsNotifier::instance(), &QualityOptionsNotifier::changed, this, [this] {
        Guarded([this] {
            if (!QualityOptions().DifferenceView) SetDifferenceView(false);
            // The options dialog's download speed stands in the Original's caption too.
            if (pictures_[0]->HasBitmap()) AktualisiereMemInfo(0);
            for (int i = 1; i <= kVariationCount; ++i)
                if (frames_[static_cast<std::size_t>(i)]->isVisibleTo(this) && pictures_[static_cast<std::size_t>(i)]->HasBitmap())
                    AktualisiereMemInfo(i);
        });
    });
}

QString frmDocument::QualityCaptionPart(int index) {
    QString part;
    if (QualityOptions().QualityNumbers) {
        if (const std::optional<imaging::QualityScore> q = VariationQuality(index)) {
            const QLocale locale;
            const QString psnr = std::isinf(q->psnr) ? LoadText(6601) : LoadText(6600).arg(locale.toString(q->psnr, 'f', 1));
            part = QStringLiteral(", ") + psnr + QStringLiteral(", ") + LoadText(6602).arg(locale.toString(q->ssim, 'f', 3));
        }
    }
    // Transparency the Original has and the Variation dropped is said whether the numbers are
    // shown or not; the numbers themselves then count it (quality.cpp), never "lossless".
    checkVariation(index);
    const imaging::ImageControl& original = *pictures_[0];
    const imaging::ImageControl& variation = *pictures_[static_cast<std::size_t>(index)];
    if (original.HasBitmap() && variation.HasBitmap() && imaging::hasTransparency(original.Bitmap()) &&
        !imaging::hasTransparency(variation.Bitmap()))
        part += QStringLiteral(", ") + LoadText(6660);
    return part;
}

}  // namespace kalmira
