// Fitting a Variation into a byte budget: the engine searches with real encodes, the record
// takes the setting found, and the Variation is encoded once more through its usual path so
// that picture, caption and a later save all show that very encoding.
#include "budget/bytebudget.h"
#include "budget/ssimtarget.h"
#include "color/colorres.h"
#include "core/error.h"
#include "document/documentrules.h"
#include "document/frmdocument.h"
#include "common/globals.h"

namespace kalmira {

frmDocument::BudgetOutcome frmDocument::FitVariationToBudget(int index, std::int64_t bytes) {
    checkVariation(index);
    BudgetOutcome outcome;
    VariationRecord& r = records_[static_cast<std::size_t>(index)];
    if (bytes < 1 || r.GIFAnimated || !pictures_[0]->HasBitmap()) return outcome;
    const SaveOptions options = HoleSpeicherOptionen(index);
    imaging::SaveOptions base;
    base.format = options.FormatNumber;
    base.bits = options.BitsPerPixel;
    base.passes = pictures_[static_cast<std::size_t>(index)]->ProgressivePasses();
    base.interlaced = pictures_[static_cast<std::size_t>(index)]->Interlaced();
    base.fastJpeg = pictures_[static_cast<std::size_t>(index)]->FastJpeg();
    base.effort = r.WebEffort;
    const imaging::Bitmap& original = pictures_[0]->Bitmap();
    const auto budget = static_cast<std::size_t>(bytes);
    imaging::BudgetResult found;
    if (imaging::budgetByQuality(base.format) && !(r.WebLossless && (r.Format == save_format::Webp || r.Format == save_format::Avif))) {
        // The picture as the Variation's encoder receives it: the depth conversion alone.
        const imaging::Bitmap picture = imaging::colorRes(original, options.BitsPerPixel, 0, 0, 0);
        found = imaging::fitByQuality(picture, base, budget);
        if (r.Format == save_format::Jpeg)
            r.JPEGQFactor = found.options.qualityFactor;
        else
            r.WebQuality = found.options.quality;
        outcome.quality = r.Format == save_format::Jpeg ? 256 - r.JPEGQFactor : r.WebQuality;
    } else if (imaging::budgetByColours(base.format) && r.PixelDepth <= 8 && r.ColorPalette == 2) {
        found = imaging::fitByColours(original, base, budget, r.DitheringMethod);
        r.MaxColorsText = QString::number(found.colors);
        r.PixelDepth = found.options.bits;
        r.PalettePixelDepth = found.options.bits;
        r.DitheringMethod = found.ditherCode;
        outcome.colors = found.colors;
        outcome.dithered = found.ditherCode != 0;
    } else {
        return outcome;
    }
    outcome.applicable = true;
    outcome.fits = found.fits;
    outcome.encodes = found.encodes;
    AktualisiereVariation(index);
    outcome.bytes = pictures_[static_cast<std::size_t>(index)]->InfoFileSize();
    return outcome;
}

frmDocument::SsimOutcome frmDocument::FitVariationToSsim(int index, double target) {
    checkVariation(index);
    SsimOutcome outcome;
    VariationRecord& r = records_[static_cast<std::size_t>(index)];
    if (!imaging::validSsimTarget(target) || r.GIFAnimated || !pictures_[0]->HasBitmap()) return outcome;
    const SaveOptions options = HoleSpeicherOptionen(index);
    imaging::SaveOptions base;
    base.format = options.FormatNumber;
    base.bits = options.BitsPerPixel;
    base.passes = pictures_[static_cast<std::size_t>(index)]->ProgressivePasses();
    base.interlaced = pictures_[static_cast<std::size_t>(index)]->Interlaced();
    base.fastJpeg = pictures_[static_cast<std::size_t>(index)]->FastJpeg();
    base.effort = r.WebEffort;
    const imaging::Bitmap& original = pictures_[0]->Bitmap();
    imaging::SsimTargetResult found;
    if (imaging::budgetByQuality(base.format) && !(r.WebLossless && (r.Format == save_format::Webp || r.Format == save_format::Avif))) {
        const imaging::Bitmap picture = imaging::colorRes(original, options.BitsPerPixel, 0, 0, 0);
        found = imaging::fitQualityToSsim(original, picture, base, target);
        if (r.Format == save_format::Jpeg)
            r.JPEGQFactor = found.options.qualityFactor;
        else
            r.WebQuality = found.options.quality;
        outcome.quality = r.Format == save_format::Jpeg ? 256 - r.JPEGQFactor : r.WebQuality;
    } else if (imaging::budgetByColours(base.format) && r.PixelDepth <= 8 && r.ColorPalette == 2) {
        found = imaging::fitColoursToSsim(original, base, target, r.DitheringMethod);
        r.MaxColorsText = QString::number(found.colors);
        r.PixelDepth = found.options.bits;
        r.PalettePixelDepth = found.options.bits;
        outcome.colors = found.colors;
    } else {
        return outcome;
    }
    outcome.applicable = true;
    outcome.reached = found.reached;
    outcome.ssim = found.ssim;
    AktualisiereVariation(index);
    outcome.bytes = pictures_[static_cast<std::size_t>(index)]->InfoFileSize();
    return outcome;
}

}  // namespace kalmira
