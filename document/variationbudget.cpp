// Fitting a Variation into a byte budget: the engine searches with real encodes on a worker
// thread, the record takes the setting found, and the Variation is encoded once more through
// its usual update, so that picture, caption and a later save all show that very encoding.
#include <QEventLoop>

#include <memory>
#include <optional>

#include "budget/bytebudget.h"
#include "budget/ssimtarget.h"
#include "color/colorres.h"
#include "core/error.h"
#include "document/documentrules.h"
#include "document/frmdocument.h"
#include "common/errortrap.h"
#include "common/globals.h"

namespace kalmira {

namespace {

// The engine's save options a search starts from: the Variation's format and depth, and what
// its picture keeps between encodings (scans, interlacing, the JPEG encoder, WebP effort).
imaging::SaveOptions searchBase(const VariationRecord& r, const imaging::ImageControl& picture, const SaveOptions& options) {
    imaging::SaveOptions base;
    base.format = options.FormatNumber;
    base.bits = options.BitsPerPixel;
    base.passes = picture.ProgressivePasses();
    base.interlaced = picture.Interlaced();
    base.fastJpeg = picture.FastJpeg();
    base.effort = r.WebEffort;
    return base;
}

// What a byte-budget or SSIM search of a Variation works with: its save options, whether it
// searches the quality (JPEG, WebP, AVIF) or the colours (a palette made for the picture), and
// a copy of the Original for the worker.
struct SearchPlan {
    imaging::SaveOptions base;
    bool byQuality = false;
    int ditherCode = 0;
    int bits = 0;
    std::shared_ptr<const imaging::Bitmap> source;
};

std::optional<SearchPlan> planSearch(const VariationRecord& r, const imaging::ImageControl& picture,
                                     const SaveOptions& options, const imaging::Bitmap& original) {
    SearchPlan plan;
    plan.base = searchBase(r, picture, options);
    plan.byQuality = imaging::budgetByQuality(plan.base.format) &&
                     !(r.WebLossless && (r.Format == save_format::Webp || r.Format == save_format::Avif));
    const bool byColours =
        !plan.byQuality && imaging::budgetByColours(plan.base.format) && r.PixelDepth <= 8 && r.ColorPalette == 2;
    if (!plan.byQuality && !byColours) return std::nullopt;
    plan.ditherCode = r.DitheringMethod;
    plan.bits = options.BitsPerPixel;
    plan.source = std::make_shared<const imaging::Bitmap>(original);
    return plan;
}

// The record takes a quality search's setting; returns the quality as the slider shows it.
int takeQuality(VariationRecord& rec, const imaging::SaveOptions& found) {
    if (rec.Format == save_format::Jpeg)
        rec.JPEGQFactor = found.qualityFactor;
    else
        rec.WebQuality = found.quality;
    return rec.Format == save_format::Jpeg ? 256 - rec.JPEGQFactor : rec.WebQuality;
}

// The record takes a colour search's count and depth.
void takeColours(VariationRecord& rec, int colors, int bits) {
    rec.MaxColorsText = QString::number(colors);
    rec.PixelDepth = bits;
    rec.PalettePixelDepth = bits;
}

}  // namespace

void frmDocument::runSearch(int index, std::function<void()> work, std::function<void(bool current)> then) {
    SearchSlot& slot = searches_[static_cast<std::size_t>(index)];
    const std::uint64_t generation = ++slot.generation;
    auto start = [this, index, generation, work = std::move(work), then = std::move(then)](bool run) mutable {
        if (!run) {
            then(false);
            return;
        }
        searches_[static_cast<std::size_t>(index)].running = true;
        runOffWindowThread(std::move(work), [this, index, generation, then = std::move(then)] {
            SearchSlot& s = searches_[static_cast<std::size_t>(index)];
            s.running = false;
            // The next search starts before this outcome is taken in, which may run events.
            std::function<void(bool)> next = std::move(s.waiting);
            s.waiting = nullptr;
            if (next) next(true);
            then(generation == searches_[static_cast<std::size_t>(index)].generation);
        });
    };
    if (!slot.running) {
        start(true);
        return;
    }
    // The engine's search cannot be stopped: the new one waits for it, and replaces any
    // search that was waiting.
    std::function<void(bool)> dropped = std::move(slot.waiting);
    slot.waiting = std::move(start);
    if (dropped) dropped(false);
}

void frmDocument::FitVariationToBudget(int index, std::int64_t bytes, std::function<void(const BudgetOutcome&)> done) {
    checkVariation(index);
    VariationRecord& r = records_[static_cast<std::size_t>(index)];
    if (bytes < 1 || r.GIFAnimated || !pictures_[0]->HasBitmap()) {
        done(BudgetOutcome{});
        return;
    }
    const std::optional<SearchPlan> plan =
        planSearch(r, *pictures_[static_cast<std::size_t>(index)], HoleSpeicherOptionen(index), pictures_[0]->Bitmap());
    if (!plan) {
        done(BudgetOutcome{});
        return;
    }
    const auto budget = static_cast<std::size_t>(bytes);
    auto found = std::make_shared<imaging::BudgetResult>();
    auto failure = std::make_shared<std::exception_ptr>();
    runSearch(
        index,
        [plan = *plan, found, failure, budget] {
            try {
                if (plan.byQuality) {
                    // The picture as the Variation's encoder receives it: the depth conversion alone.
                    const imaging::Bitmap picture = imaging::colorRes(*plan.source, plan.bits, 0, 0, 0);
                    *found = imaging::fitByQuality(picture, plan.base, budget);
                } else {
                    *found = imaging::fitByColours(*plan.source, plan.base, budget, plan.ditherCode);
                }
            } catch (...) {
                *failure = std::current_exception();
            }
        },
        [this, index, found, failure, byQuality = plan->byQuality, done](bool current) {
            BudgetOutcome outcome;
            if (!current) {
                outcome.superseded = true;
                done(outcome);
                return;
            }
            const bool ok = Guarded([&] {
                if (*failure) std::rethrow_exception(*failure);
                VariationRecord& rec = records_[static_cast<std::size_t>(index)];
                if (byQuality) {
                    outcome.quality = takeQuality(rec, found->options);
                } else {
                    takeColours(rec, found->colors, found->options.bits);
                    rec.DitheringMethod = found->ditherCode;
                    outcome.colors = found->colors;
                    outcome.dithered = found->ditherCode != 0;
                }
                outcome.applicable = true;
                outcome.fits = found->fits;
                outcome.encodes = found->encodes;
            });
            if (!ok) {
                done(BudgetOutcome{});
                return;
            }
            AktualisiereVariation(index);
            WhenTakenIn(index, [this, index, outcome, done]() mutable {
                outcome.bytes = pictures_[static_cast<std::size_t>(index)]->InfoFileSize();
                done(outcome);
            });
        });
}

namespace {

// Runs `start(done)` and the event loop until `done` has been called or `owner` has gone.
template <class Outcome>
Outcome waitFor(QObject* owner, const std::function<void(std::function<void(const Outcome&)>)>& start) {
    Outcome outcome;
    bool finished = false;
    QEventLoop loop;
    start([&](const Outcome& o) {
        outcome = o;
        finished = true;
        loop.quit();
    });
    if (!finished) {
        const QMetaObject::Connection gone = QObject::connect(owner, &QObject::destroyed, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(gone);
    }
    return outcome;
}

}  // namespace

frmDocument::BudgetOutcome frmDocument::FitVariationToBudget(int index, std::int64_t bytes) {
    return waitFor<BudgetOutcome>(this, [&](std::function<void(const BudgetOutcome&)> done) {
        FitVariationToBudget(index, bytes, std::move(done));
    });
}

frmDocument::SsimOutcome frmDocument::FitVariationToSsim(int index, double target) {
    return waitFor<SsimOutcome>(this, [&](std::function<void(const SsimOutcome&)> done) {
        FitVariationToSsim(index, target, std::move(done));
    });
}

void frmDocument::FitVariationToSsim(int index, double target, std::function<void(const SsimOutcome&)> done) {
    checkVariation(index);
    VariationRecord& r = records_[static_cast<std::size_t>(index)];
    if (!imaging::validSsimTarget(target) || r.GIFAnimated || !pictures_[0]->HasBitmap()) {
        done(SsimOutcome{});
        return;
    }
    const std::optional<SearchPlan> plan =
        planSearch(r, *pictures_[static_cast<std::size_t>(index)], HoleSpeicherOptionen(index), pictures_[0]->Bitmap());
    if (!plan) {
        done(SsimOutcome{});
        return;
    }
    auto found = std::make_shared<imaging::SsimTargetResult>();
    auto failure = std::make_shared<std::exception_ptr>();
    runSearch(
        index,
        [plan = *plan, found, failure, target] {
            try {
                if (plan.byQuality) {
                    const imaging::Bitmap picture = imaging::colorRes(*plan.source, plan.bits, 0, 0, 0);
                    *found = imaging::fitQualityToSsim(*plan.source, picture, plan.base, target);
                } else {
                    *found = imaging::fitColoursToSsim(*plan.source, plan.base, target, plan.ditherCode);
                }
            } catch (...) {
                *failure = std::current_exception();
            }
        },
        [this, index, found, failure, byQuality = plan->byQuality, done](bool current) {
            SsimOutcome outcome;
            if (!current) {
                outcome.superseded = true;
                done(outcome);
                return;
            }
            const bool ok = Guarded([&] {
                if (*failure) std::rethrow_exception(*failure);
                VariationRecord& rec = records_[static_cast<std::size_t>(index)];
                if (byQuality) {
                    outcome.quality = takeQuality(rec, found->options);
                } else {
                    takeColours(rec, found->colors, found->options.bits);
                    outcome.colors = found->colors;
                }
                outcome.applicable = true;
                outcome.reached = found->reached;
                outcome.ssim = found->ssim;
            });
            if (!ok) {
                done(SsimOutcome{});
                return;
            }
            AktualisiereVariation(index);
            WhenTakenIn(index, [this, index, outcome, done]() mutable {
                outcome.bytes = pictures_[static_cast<std::size_t>(index)]->InfoFileSize();
                done(outcome);
            });
        });
}

}  // namespace kalmira
