// The asynchronous update of a document's Variations: the window's thread prepares each
// encoding and takes its outcome in, in the order asked for, as the one-at-a-time update would
// have left it; the encodings run on worker threads meanwhile and the window goes on. Nothing
// on the window's thread ever waits for a worker: a worker that ends posts the next step.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <deque>
#include <mutex>

#include "core/error.h"
#include "core/parallel.h"
#include "document/documenthost.h"
#include "document/documentrules.h"
#include "document/frmdocument.h"
#include "document/repaintpause.h"
#include "document/variationanimation.h"
#include "common/errortrap.h"
#include "common/globals.h"
#include "common/texts.h"

namespace kalmira {

namespace {

constexpr int kProgressDelayMs = 333;  // a round of updates shorter than this shows no progress
constexpr int kTextEncodingProgress = 6750;
constexpr int kTextBeingEncoded = 6751;

std::atomic<bool> parallelUpdates{true};
std::atomic<int> updateEncodings{0};
// -1 until first asked: the environment is read then, after every static set-up has run.
std::atomic<int> waitForUpdates{-1};

bool waitsForUpdates() {
    if (waitForUpdates < 0) waitForUpdates = qEnvironmentVariableIntValue("KALMIRA_WAIT_FOR_UPDATES") != 0 ? 1 : 0;
    return waitForUpdates > 0;
}

bool takesPart(const VariationRecord& r, int index) {
    if (MainWindowHost* host = mainWindowHost()) return host->IsVariationTogglePressed(index);
    return r.Displayed;
}

frmDocument::UpdateStepFunction& updateStepFunction() {
    static frmDocument::UpdateStepFunction function;
    return function;
}

// The threads every document's encodings share. The application waits for them as it ends,
// so no encoding outlives the engine it runs on.
QThreadPool& encodingPool() {
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool();
        p->setMaxThreadCount(std::max(1, imaging::workerCount()));
        qAddPostRoutine([] {
            encodingPool().waitForDone();
            delete &encodingPool();
        });
        return p;
    }();
    return *pool;
}

int encodingSlots() { return updateEncodings > 0 ? updateEncodings.load() : std::max(1, imaging::workerCount()); }

// What a document's workers share with it: the document to tell while it lives, and the flag
// that stops them all. The workers hold it, so it outlives a closed document.
struct Shared {
    std::mutex mutex;
    frmDocument* receiver = nullptr;  // guarded by mutex; cleared when the document goes
    std::atomic<bool> stop{false};
    std::atomic<int> running{0};
};

// One encoding on a worker thread. The work owns everything it reads (the Original's picture
// is shared and never changed), so nothing of the document is touched off the window's thread,
// and a stopped encoding can run on to its next step on its own.
struct Job {
    imaging::RoundTripWork work;
    std::shared_ptr<AnimationWork> animation;  // an animated Variation's work instead
    std::shared_ptr<imaging::Rgb> chosenColour = std::make_shared<imaging::Rgb>(0);
    std::shared_ptr<frmDocument::MeasuredQuality> quality = std::make_shared<frmDocument::MeasuredQuality>();
    SaveOptions options;
    std::exception_ptr escaped;
    std::atomic<bool> stop{false};
    std::atomic<bool> done{false};
    bool started = false;  // handed to a worker (window's thread only)
};

}  // namespace

struct frmDocument::UpdateQueue {
    // One Variation asked for and not yet taken in. Its encodings are those the one-at-a-time
    // update makes, in its order (the JPEG trial before the GIF trial of a format comparison),
    // none when the format choice has left the Variation encoded already.
    struct Step {
        int variation = 0;
        bool prepared = false;
        bool failed = false;
        bool choice = false;
        bool onWindowThread = false;
        bool dropped = false;  // hidden before it was taken in
        int gifDepth = 0;
        std::uint64_t fromVersion = 0;  // the Original's content version when prepared
        std::vector<std::shared_ptr<Job>> jobs;
        // Encodings of an earlier request that were stopped and have not ended yet: the next
        // ones start when they have, so a Variation never has two at work.
        std::vector<std::shared_ptr<Job>> retired;
        // Called once the Variation is taken in (a byte budget's outcome).
        std::vector<std::function<void()>> then;
    };

    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    std::deque<Step> steps;
    // The Original's picture the workers copy and measure against, and its content version.
    std::shared_ptr<const imaging::Bitmap> original;
    std::uint64_t originalVersion = 0;
    // The Original's frames the workers of animated Variations start from, and their version.
    std::shared_ptr<const std::vector<imaging::Frame>> originalFrames;
    std::uint64_t originalFramesVersion = 0;
    // The Original's content version whose colours a worker is counting (+1; 0: none).
    std::uint64_t countingVersion = 0;
    bool pumping = false;
    bool pumpPosted = false;
    bool pumpAgain = false;  // something ended while a step ran
    bool closing = false;    // the document closed during a step: the queue goes after it
    // Progress of the present round (from idle to idle).
    QElapsedTimer clock;
    int roundTotal = 0;
    int roundDone = 0;
    bool progressShown = false;
    int progressAt = -1;

    ~UpdateQueue() {
        {
            const std::lock_guard<std::mutex> lock(shared->mutex);
            shared->receiver = nullptr;
        }
        shared->stop = true;
        for (Step& s : steps) {
            for (auto& job : s.jobs) job->stop = true;
            for (auto& job : s.retired) job->stop = true;
        }
    }

    Step* find(int variation) {
        for (Step& s : steps)
            if (s.variation == variation && !s.dropped) return &s;
        return nullptr;
    }
};

void frmDocument::UpdateQueueDeleter::operator()(UpdateQueue* queue) const { delete queue; }

void frmDocument::SetParallelUpdates(bool on) { parallelUpdates = on; }
bool frmDocument::ParallelUpdates() { return parallelUpdates; }
void frmDocument::SetUpdateEncodings(int count) {
    updateEncodings = std::max(0, count);
    encodingPool().setMaxThreadCount(encodingSlots());
}
void frmDocument::SetWaitForUpdates(bool on) { waitForUpdates = on ? 1 : 0; }
bool frmDocument::WaitsForUpdates() { return waitsForUpdates(); }

frmDocument::UpdateStepFunction frmDocument::SetUpdateStepFunction(UpdateStepFunction function) {
    UpdateStepFunction previous = std::move(updateStepFunction());
    updateStepFunction() = std::move(function);
    return previous;
}

bool frmDocument::UpdateRunning() const { return updates_ && !updates_->closing && !updates_->steps.empty(); }

bool frmDocument::UpdatePending(int index) const {
    if (!updates_ || updates_->closing) return false;
    for (const UpdateQueue::Step& s : updates_->steps)
        if (s.variation == index && !s.dropped) return true;
    return false;
}

int frmDocument::EncodingsRunning() const { return updates_ ? updates_->shared->running.load() : 0; }

void frmDocument::WaitForUpdates() {
    if (!UpdateRunning()) return;
    QEventLoop loop;
    const QMetaObject::Connection finished = connect(this, &frmDocument::UpdatesFinished, &loop, &QEventLoop::quit);
    const QMetaObject::Connection gone = connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
    disconnect(finished);
    disconnect(gone);
}

void frmDocument::AktualisiereVariationen(const std::vector<int>& variations) {
    if (!parallelUpdates) {
        for (int i : variations) updateOnWindowThread(i);
        return;
    }
    for (int i : variations) {
        if (!ApplyReady || i <= 0) continue;
        Guarded([&] {
            checkVariation(i);
            QGroupBox* frame = frames_[static_cast<std::size_t>(i)];
            if (!takesPart(records_[static_cast<std::size_t>(i)], i)) {
                frame->hide();
                if (UpdateQueue::Step* s = updates_ ? updates_->find(i) : nullptr) {
                    // An encoding asked for before it was hidden is no longer wanted; the step
                    // leaves the queue when the queue next moves on.
                    for (auto& job : s->jobs) job->stop = true;
                    s->dropped = true;
                    std::vector<std::function<void()>> then = std::move(s->then);
                    for (auto& f : then) f();
                }
                // The others may have been compared with it.
                RefreshDifference(i);
                return;
            }
            frame->show();
            requestUpdate(i);
        });
    }
    if (!updates_) return;
    if (updates_->pumping) {
        // Asked from within a step: the present step goes on and the next one follows.
        if (!updates_->pumpPosted) {
            updates_->pumpPosted = true;
            QMetaObject::invokeMethod(this, [this] { pumpUpdates(); }, Qt::QueuedConnection);
        }
        return;
    }
    pumpUpdates();
    if (waitsForUpdates()) WaitForUpdates();
}

void frmDocument::WhenTakenIn(int index, std::function<void()> then) {
    if (updates_)
        if (UpdateQueue::Step* s = updates_->find(index)) {
            s->then.push_back(std::move(then));
            return;
        }
    then();
}

void frmDocument::runOffWindowThread(std::function<void()> work, std::function<void()> then) {
    if (!updates_) {
        updates_.reset(new UpdateQueue);
        const std::lock_guard<std::mutex> lock(updates_->shared->mutex);
        updates_->shared->receiver = this;
    }
    const std::shared_ptr<Shared> shared = updates_->shared;
    ++shared->running;
    encodingPool().start([shared, work = std::move(work), then = std::move(then)]() mutable {
        {
            const imaging::WorkerThreadScope atWork;
            if (!shared->stop) work();
        }
        // The work counts as running until the window's thread has its outcome, so the next
        // step it starts follows without a moment where nothing seems at work.
        const std::lock_guard<std::mutex> lock(shared->mutex);
        if (frmDocument* document = shared->receiver)
            QMetaObject::invokeMethod(
                document,
                [shared, then = std::move(then)]() mutable {
                    --shared->running;
                    then();
                },
                Qt::QueuedConnection);
        else
            --shared->running;
    });
}

void frmDocument::requestUpdate(int index) {
    if (!updates_) {
        updates_.reset(new UpdateQueue);
        const std::lock_guard<std::mutex> lock(updates_->shared->mutex);
        updates_->shared->receiver = this;
    }
    UpdateQueue& q = *updates_;
    if (q.steps.empty()) {
        q.clock.start();
        q.roundTotal = 0;
        q.roundDone = 0;
        q.progressAt = -1;
        // The progress shows even while nothing is taken in.
        QTimer::singleShot(kProgressDelayMs + 10, this, [this] {
            if (updates_ && !updates_->pumping) pumpUpdates();
        });
    }
    if (UpdateQueue::Step* s = q.find(index)) {
        if (!s->prepared) return;
        // Asked again while encoding: what runs is stale; the record as it is now counts.
        for (auto& job : s->jobs) {
            job->stop = true;
            if (job->started && !job->done) s->retired.push_back(job);
        }
        s->jobs.clear();
        s->prepared = false;
        s->failed = false;
        s->onWindowThread = false;
        if (s->choice) {
            // The format comparison had not been decided: it is made again.
            if (formatChoicePending_[static_cast<std::size_t>(index)]) records_[static_cast<std::size_t>(index)].Initialised = 0;
            s->choice = false;
        }
        return;
    }
    UpdateQueue::Step s;
    s.variation = index;
    q.steps.push_back(std::move(s));
    ++q.roundTotal;
    // A picture with nothing to show yet says why until its encoding comes in.
    if (!pictures_[static_cast<std::size_t>(index)]->HasBitmap()) labels_[static_cast<std::size_t>(index)]->setText(LoadText(kTextBeingEncoded));
}

void frmDocument::stopUpdates() {
    if (!updates_) return;
    if (updates_->pumping) {
        // A step is running: everything stops now, and the queue goes once the step is over.
        UpdateQueue& q = *updates_;
        q.closing = true;
        q.shared->stop = true;
        for (auto& s : q.steps)
            for (auto& job : s.jobs) job->stop = true;
    } else {
        updates_.reset();
    }
    // Whoever waits for the update waits no longer.
    emit UpdatesFinished();
}

void frmDocument::closeEvent(QCloseEvent* event) {
    // The status bar's progress of this document's update goes with it (a destructor that
    // runs without a close, at the program's end, leaves the main window alone).
    if (updates_ && updates_->progressShown) {
        updates_->progressShown = false;
        if (MainWindowHost* host = mainWindowHost()) host->EndProgress();
    }
    stopUpdates();
    QWidget::closeEvent(event);
}

bool frmDocument::updateAskedFromCurrentOriginal(int index) const {
    if (!updates_) return false;
    for (const UpdateQueue::Step& s : updates_->steps)
        if (s.variation == index && !s.dropped) return !s.prepared || s.fromVersion == pictures_[0]->ContentVersion();
    return false;
}

void frmDocument::pumpUpdates() {
    if (!updates_) return;
    UpdateQueue& q = *updates_;
    if (q.pumping) {
        q.pumpAgain = true;
        return;
    }
    q.pumping = true;
    q.pumpPosted = false;
    do {
        q.pumpAgain = false;
        pumpOnce();
    } while (q.pumpAgain && !q.closing);
    q.pumping = false;
    if (q.closing) updates_.reset();
}

void frmDocument::pumpOnce() {
    UpdateQueue& q = *updates_;
    const std::shared_ptr<Shared> shared = q.shared;

    const auto start = [&](const std::shared_ptr<Job>& job) {
        job->started = true;
        ++shared->running;
        encodingPool().start([job, shared] {
            try {
                const imaging::WorkerThreadScope atWork;
                const auto stop = [&] { return shared->stop.load() || job->stop.load(); };
                if (job->animation)
                    job->animation->Run(stop);
                else
                    job->work.Run(stop);
            } catch (...) {
                job->escaped = std::current_exception();
            }
            // A stopped encoding's leftovers go now, not when the window gets round to it.
            if (job->stop) {
                job->work = imaging::RoundTripWork();
                job->animation.reset();
            }
            job->done = true;
            --shared->running;
            const std::lock_guard<std::mutex> lock(shared->mutex);
            if (frmDocument* document = shared->receiver)
                QMetaObject::invokeMethod(document, [document] { document->pumpUpdates(); }, Qt::QueuedConnection);
        });
    };

    // The Original as the workers see it: one copy for every encoding of this version.
    const auto originalPicture = [&]() -> std::shared_ptr<const imaging::Bitmap> {
        const imaging::ImageControl& original = *pictures_[0];
        if (!q.original || q.originalVersion != original.ContentVersion()) {
            q.original = std::make_shared<const imaging::Bitmap>(original.Bitmap());
            q.originalVersion = original.ContentVersion();
        }
        return q.original;
    };
    const auto originalFrames = [&]() -> std::shared_ptr<const std::vector<imaging::Frame>> {
        const imaging::ImageControl& original = *pictures_[0];
        if (!q.originalFrames || q.originalFramesVersion != original.ContentVersion()) {
            q.originalFrames = std::make_shared<const std::vector<imaging::Frame>>(original.BitmapList());
            q.originalFramesVersion = original.ContentVersion();
        }
        return q.originalFrames;
    };

    // InitialisiereVariation and the first half of SpeichernLadenVariation, on the window's
    // thread, with the record as it is now.
    const auto prepare = [&](UpdateQueue::Step& s) {
        s.prepared = true;
        s.retired.clear();
        const int i = s.variation;
        VariationRecord& r = records_[static_cast<std::size_t>(i)];
        const bool ok = Guarded([&] {
            formatChoicePending_[static_cast<std::size_t>(i)] = false;
            deferFormatChoice_ = true;
            InitialisiereVariation(i);
            deferFormatChoice_ = false;
            s.choice = formatChoicePending_[static_cast<std::size_t>(i)];
            if (s.choice) {
                // The record as chooseSmallestFormat sets it for each trial.
                s.gifDepth = r.PixelDepth;
                for (const bool jpeg : {true, false}) {
                    r.Format = jpeg ? save_format::Jpeg : save_format::Gif;
                    r.PixelDepth = jpeg ? 24 : s.gifDepth;
                    r.PalettePixelDepth = r.PixelDepth;
                    if (!jpeg) r.GIFAnimated = false;
                    // Both trials are measured on their workers; the winner's numbers are kept.
                    auto job = std::make_shared<Job>();
                    job->work = detachEncoding(i, job->options, originalPicture(), job->chosenColour, job->quality);
                    s.jobs.push_back(std::move(job));
                }
            } else if (freshlyEncoded_ == i || (r.GIFAnimated && pictures_[0]->BitmapListCount() == 0)) {
                // Encoded already, or an animated Variation of an Original without frames.
                s.onWindowThread = true;
            } else if (r.GIFAnimated) {
                auto job = std::make_shared<Job>();
                job->animation = detachAnimation(i, originalFrames());
                s.jobs.push_back(std::move(job));
            } else {
                auto job = std::make_shared<Job>();
                job->work = detachEncoding(i, job->options, originalPicture(), job->chosenColour, job->quality);
                s.jobs.push_back(std::move(job));
            }
        });
        deferFormatChoice_ = false;
        if (!ok) {
            s.failed = true;
            s.jobs.clear();
        }
        s.fromVersion = pictures_[0]->ContentVersion();
        // A comparison's GIF trial waits for the JPEG trial, whose size it then must beat: it
        // stops as soon as it outgrows it, as the one-at-a-time comparison does.
        if (!s.jobs.empty()) start(s.jobs.front());
        if (!s.choice)
            for (auto& job : s.jobs)
                if (!job->started) start(job);
    };

    // The rest of AktualisiereVariation once the encodings of step `s` are done.
    const auto takeIn = [&](UpdateQueue::Step& s) {
        const int i = s.variation;
        VariationRecord& r = records_[static_cast<std::size_t>(i)];
        imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(i)];
        UpdateBusy = true;
        struct BusyReset {
            ~BusyReset() { UpdateBusy = false; }
        } busyReset;
        Guarded([&] {
            RepaintPause pause(target);
            for (const auto& job : s.jobs)
                if (job->escaped) std::rethrow_exception(job->escaped);
            if (s.choice) {
                formatChoicePending_[static_cast<std::size_t>(i)] = false;
                // chooseSmallestFormat's comparison on the two finished trials.
                Job& jpegJob = *s.jobs[0];
                Job& gifJob = *s.jobs[1];
                r.Format = save_format::Jpeg;
                r.PixelDepth = 24;
                r.PalettePixelDepth = 24;
                takeEncodingIn(i, jpegJob.options, jpegJob.work, nullptr, nullptr);
                const std::int64_t jpegSize = target.InfoFileSize();
                std::unique_ptr<imaging::MemoryBlock> jpegBlock = std::move(r.MemHandle);
                const std::int64_t jpegBytes = r.MemFileSize;
                const imaging::ImageInfo jpegInfo = target.Info();
                const EncodedWith jpegWith = encodedWith_[static_cast<std::size_t>(i)];
                imaging::Bitmap jpegBitmap = target.TakeBitmap();
                r.Format = save_format::Gif;
                r.PixelDepth = s.gifDepth;
                r.PalettePixelDepth = s.gifDepth;
                r.GIFAnimated = false;
                const bool gifOutgrew = gifJob.work.saveResult == static_cast<int>(imaging::ErrorCode::SizeLimit);
                std::int64_t gifSize = 0;
                if (gifOutgrew) {
                    // Its transparent entry was chosen all the same.
                    if (gifJob.work.reduceResult == 0 && !gifJob.work.afterReductionError)
                        r.GIFTransparentColor = *gifJob.chosenColour;
                } else {
                    takeEncodingIn(i, gifJob.options, gifJob.work, gifJob.chosenColour.get(), gifJob.quality.get());
                    gifSize = target.InfoFileSize();
                }
                if (gifOutgrew || SmallerFormat(gifSize, jpegSize) == save_format::Jpeg) {
                    r.Format = save_format::Jpeg;
                    r.MemHandle = std::move(jpegBlock);
                    r.MemFileSize = jpegBytes;
                    r.GIFAnimated = false;
                    target.SetBitmap(std::move(jpegBitmap));
                    target.SetInfo(jpegInfo);
                    encodedWith_[static_cast<std::size_t>(i)] = jpegWith;
                    encodedWith_[static_cast<std::size_t>(i)].shown = target.ContentVersion();
                    const MeasuredQuality& measured = *jpegJob.quality;
                    const imaging::ImageControl& original = *pictures_[0];
                    if (measured.measured && measured.originalVersion == original.ContentVersion() && original.HasBitmap())
                        quality_[static_cast<std::size_t>(i)] =
                            QualityMemo{true, original.ContentVersion(), target.ContentVersion(), measured.score};
                }
                // InitialisiereVariation's last word on the winner.
                if (r.Format != save_format::Gif) {
                    r.PixelDepth = 24;
                    r.PalettePixelDepth = 24;
                }
            } else if (s.onWindowThread) {
                if (freshlyEncoded_ == i)
                    freshlyEncoded_ = 0;
                else
                    SpeichernLadenVariation(i);
            } else if (Job& job = *s.jobs[0]; job.animation) {
                takeAnimationIn(i, *job.animation);
            } else {
                takeEncodingIn(i, job.options, job.work, job.chosenColour.get(), job.quality.get());
            }
        });
        // The outcome is in the picture now; the work's leftovers go at once.
        for (auto& job : s.jobs) {
            job->work = imaging::RoundTripWork();
            job->animation.reset();
        }
        Guarded([&] {
            if (isFrameSelected(frames_[static_cast<std::size_t>(i)])) {
                // As FuelleReiterVariation, but edits in the tools window not yet applied stay.
                if (MainWindowHost* host = mainWindowHost()) host->EnableSaveCommands(true);
                if (ToolsHost* tools = toolsHost()) tools->VariationTakenIn(*this, i);
            }
            AktualisiereMemInfo(i);
            target.ForceRepaint();
            if (PaletteHost* palette = paletteHost(); palette && isFrameSelected(frames_[static_cast<std::size_t>(i)]))
                palette->DisplayPalette(target);
        });
    };

    const auto allDone = [](const std::vector<std::shared_ptr<Job>>& jobs) {
        for (const auto& job : jobs)
            if (!job->done) return false;
        return true;
    };

    const auto showProgress = [&] {
        if (q.steps.empty() || q.clock.elapsed() < kProgressDelayMs || q.progressAt == q.roundDone) return;
        MainWindowHost* host = mainWindowHost();
        if (!host) return;
        q.progressAt = q.roundDone;
        const int total = std::max(q.roundTotal, q.roundDone + 1);
        host->ShowProgress(LoadText(kTextEncodingProgress).arg(q.roundDone + 1).arg(total), q.roundDone, total);
        q.progressShown = true;
    };

    // Start what can start, in the order asked for. By index: a message a step shows lets
    // events run, which may ask for more (the queue grows at its end meanwhile).
    // A Variation set up afresh may need the Original's colour count: a worker counts them (on
    // the copy the encodings share) and the steps from there on wait for it.
    const auto countFirst = [&](const UpdateQueue::Step& s) {
        if (!needsColourCount(s.variation)) return false;
        const std::uint64_t version = pictures_[0]->ContentVersion();
        if (q.countingVersion != version + 1) {
            q.countingVersion = version + 1;
            auto picture = originalPicture();
            auto count = std::make_shared<int>(0);
            runOffWindowThread([picture, count] { *count = picture->uniqueColorCount(); },
                               [this, count, version] {
                                   setColourCount(*count, version);
                                   if (updates_ && updates_->countingVersion == version + 1) updates_->countingVersion = 0;
                                   pumpUpdates();
                               });
        }
        return true;
    };
    const auto prepareWaiting = [&] {
        for (std::size_t k = 0; k < q.steps.size() && !q.closing; ++k) {
            UpdateQueue::Step& s = q.steps[k];
            if (s.prepared || s.dropped || !allDone(s.retired)) continue;
            if (countFirst(s)) break;
            prepare(s);
        }
    };
    // GIF trials whose JPEG trial has ended start now, limited to its size.
    const auto startGifTrials = [&] {
        for (UpdateQueue::Step& s : q.steps) {
            if (!s.choice || !s.prepared || s.dropped || s.jobs.size() != 2 || s.jobs[1]->started || !s.jobs[0]->done) continue;
            const Job& jpeg = *s.jobs[0];
            if (!jpeg.escaped && jpeg.work.reduceResult == 0 && !jpeg.work.afterReductionError && jpeg.work.saveResult == 0)
                s.jobs[1]->work.options.sizeLimit = jpeg.work.encoded.size();
            start(s.jobs[1]);
        }
    };
    prepareWaiting();
    startGifTrials();
    // Once every encoding asked for has started, each holds the Original's picture as long as
    // it needs it; the queue's own hold would keep it until the round's end.
    if (std::all_of(q.steps.begin(), q.steps.end(), [](const UpdateQueue::Step& s) { return s.prepared || s.dropped; })) {
        q.original.reset();
        q.originalFrames.reset();
    }

    // Take in what is finished, in order.
    while (!q.steps.empty() && !shared->stop && !q.closing) {
        UpdateQueue::Step& s = q.steps.front();
        if (s.dropped) {
            q.steps.pop_front();
            continue;
        }
        if (!s.prepared || !allDone(s.jobs)) break;
        UpdateQueue::Step step = std::move(s);
        q.steps.pop_front();
        if (!step.failed)
            takeIn(step);
        else if (labels_[static_cast<std::size_t>(step.variation)]->text() == LoadText(kTextBeingEncoded))
            labels_[static_cast<std::size_t>(step.variation)]->clear();
        ++q.roundDone;
        if (const UpdateStepFunction& hook = updateStepFunction()) hook(*this, step.variation);
        for (auto& then : step.then)
            if (!q.closing) then();
        // The hook, or what a take-in showed, may have asked for more: prepare it now.
        prepareWaiting();
        showProgress();
    }
    if (q.closing) return;
    showProgress();
    if (q.steps.empty()) {
        // The round is over: the Original's shared copy goes (a worker still holding it, a
        // stopped one, lets it go when it ends).
        q.original.reset();
        q.originalFrames.reset();
        if (q.progressShown) {
            q.progressShown = false;
            if (MainWindowHost* host = mainWindowHost()) host->EndProgress();
        }
        if (q.roundTotal > 0) {
            q.roundTotal = 0;
            // The captions laid out while the encodings came ("Being encoded…", or the last
            // ones) may be shorter than those now in: a caption that needs more lines than it
            // has would be cut by its picture, so the pictures are laid out again.
            bool cut = false;
            for (QLabel* label : labels_)
                if (label && label->isVisibleTo(this) && !label->text().isEmpty() &&
                    label->heightForWidth(label->width()) > label->height())
                    cut = true;
            if (cut) Guarded([&] { OriginalResize(); });
            emit UpdatesFinished();
        }
    }
}

}  // namespace kalmira
