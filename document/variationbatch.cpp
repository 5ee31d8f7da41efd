// Updating several Variations at once: their encodings run side by side on worker threads while
// the window waits, and the window's thread takes each outcome in, in Variation order, as the
// one-at-a-time update would have left it.
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/parallel.h"
#include "document/documenthost.h"
#include "document/documentrules.h"
#include "document/frmdocument.h"
#include "document/repaintpause.h"
#include "common/errortrap.h"
#include "common/globals.h"
#include "common/texts.h"

namespace kalmira {

namespace {

constexpr int kProgressDelayMs = 333;  // an update shorter than this shows no progress
constexpr auto kWaitSlice = std::chrono::milliseconds(15);
constexpr int kTextEncodingProgress = 6750;

std::atomic<bool> parallelUpdates{true};
std::atomic<int> updateEncodings{0};

bool takesPart(const VariationRecord& r, int index) {
    if (MainWindowHost* host = mainWindowHost()) return host->IsVariationTogglePressed(index);
    return r.Displayed;
}

frmDocument::UpdateStepFunction& updateStepFunction() {
    static frmDocument::UpdateStepFunction function;
    return function;
}

// One encoding on a worker thread. The work owns everything it reads, so nothing of the
// document is touched off the window's thread, and a stopped update can leave it behind.
struct Job {
    imaging::RoundTripWork work;
    std::shared_ptr<imaging::Rgb> chosenColour = std::make_shared<imaging::Rgb>(0);
    std::shared_ptr<frmDocument::MeasuredQuality> quality = std::make_shared<frmDocument::MeasuredQuality>();
    SaveOptions options;
    std::exception_ptr escaped;
    bool started = false;
    bool done = false;  // guarded by Shared::mutex
    std::thread thread;
};

struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<bool> stop{false};
};

// While an update waits, input does not reach the program (as while it encoded on the window's
// thread), except a modal message box's and the document window's own frame, whose close
// button stops the update.
class InputGate : public QObject {
public:
    explicit InputGate(QWidget* frame) : frame_(frame) { qApp->installEventFilter(this); }
    ~InputGate() override { qApp->removeEventFilter(this); }
    InputGate(const InputGate&) = delete;
    InputGate& operator=(const InputGate&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!isInput(event->type())) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget) {
            // Window-level events reach the widgets as events of their own; shortcuts do not.
            return event->type() == QEvent::Shortcut || event->type() == QEvent::ShortcutOverride
                       ? !QApplication::activeModalWidget()
                       : false;
        }
        if (QWidget* modal = QApplication::activeModalWidget(); modal && (modal == widget || modal->isAncestorOf(widget)))
            return false;
        if (frame_ && widget == frame_) return false;
        return true;
    }

private:
    static bool isInput(QEvent::Type type) {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
        case QEvent::Drop:
        case QEvent::DragEnter:
        case QEvent::DragMove: return true;
        default: return false;
        }
    }
    QPointer<QWidget> frame_;
};

// The document window's frame in the main window's area asks the document before it closes.
class CloseGate : public QObject {
public:
    CloseGate(QWidget* frame, frmDocument& document) : frame_(frame), document_(document) {
        if (frame_) frame_->installEventFilter(this);
    }
    ~CloseGate() override {
        if (frame_) frame_->removeEventFilter(this);
    }
    CloseGate(const CloseGate&) = delete;
    CloseGate& operator=(const CloseGate&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != frame_ || event->type() != QEvent::Close) return false;
        // The document refuses while it updates and closes its frame itself afterwards.
        QCloseEvent asked;
        QCoreApplication::sendEvent(&document_, &asked);
        if (asked.isAccepted()) return false;
        event->ignore();
        return true;
    }

private:
    QPointer<QWidget> frame_;
    frmDocument& document_;
};

}  // namespace

struct frmDocument::UpdateBatch {
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    // Every thread is joined however the update ends; one that is stopped ends at its next step.
    ~UpdateBatch() {
        shared->stop = true;
        for (auto& job : jobs)
            if (job && job->thread.joinable()) job->thread.join();
    }
    std::vector<std::shared_ptr<Job>> jobs;
};

void frmDocument::SetParallelUpdates(bool on) { parallelUpdates = on; }
bool frmDocument::ParallelUpdates() { return parallelUpdates; }
void frmDocument::SetUpdateEncodings(int count) { updateEncodings = std::max(0, count); }

frmDocument::UpdateStepFunction frmDocument::SetUpdateStepFunction(UpdateStepFunction function) {
    UpdateStepFunction previous = std::move(updateStepFunction());
    updateStepFunction() = std::move(function);
    return previous;
}

void frmDocument::closeEvent(QCloseEvent* event) {
    if (batch_) {
        batch_->shared->stop = true;
        closeWhenIdle_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void frmDocument::AktualisiereVariationen(const std::vector<int>& variations) {
    if (closeWhenIdle_) return;
    if (!parallelUpdates || batch_) {
        for (int i : variations) AktualisiereVariation(i);
        return;
    }
    runUpdateBatch(variations);
    if (closeWhenIdle_) {
        // The close that came meanwhile, now that nothing of the update runs any more.
        QTimer::singleShot(0, this, [this] {
            closeWhenIdle_ = false;
            if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
                frame->close();
            else
                close();
        });
    }
}

void frmDocument::runUpdateBatch(const std::vector<int>& variations) {
    // AktualisiereVariation's first steps, for every Variation: which ones take part.
    std::vector<int> taking;
    for (int i : variations) {
        if (!ApplyReady || i <= 0) continue;
        Guarded([&] {
            checkVariation(i);
            QGroupBox* frame = frames_[static_cast<std::size_t>(i)];
            if (!takesPart(records_[static_cast<std::size_t>(i)], i)) {
                frame->hide();
                return;
            }
            frame->show();
            if (!UpdateBusy) taking.push_back(i);
        });
    }
    if (taking.empty()) return;

    UpdateBatch batch;
    batch_ = &batch;
    UpdateBusy = true;
    struct Reset {
        frmDocument& document;
        ~Reset() {
            UpdateBusy = false;
            document.batch_ = nullptr;
            document.deferFormatChoice_ = false;
        }
    } reset{*this};
    auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget());
    InputGate inputGate(frame);
    CloseGate closeGate(frame, *this);

    // Per Variation: its encodings in the order the one-at-a-time update makes them (the JPEG
    // trial before the GIF trial of a format comparison), none when it is encoded on the
    // window's thread (an animation, through a file).
    struct Step {
        int variation = 0;
        bool initialised = false;
        bool failed = false;
        bool choice = false;
        bool onWindowThread = false;
        int gifDepth = 0;
        std::vector<std::shared_ptr<Job>> jobs;
        std::unique_ptr<RepaintPause> pause;
    };
    std::vector<Step> steps;
    for (int i : taking) {
        steps.emplace_back();
        steps.back().variation = i;
    }

    const std::size_t workerSlots =
        static_cast<std::size_t>(updateEncodings > 0 ? updateEncodings.load() : std::max(1, imaging::workerCount()));
    // Encodings started and not yet finished.
    const auto running = [&] {
        const std::lock_guard<std::mutex> lock(batch.shared->mutex);
        std::size_t count = 0;
        for (const auto& job : batch.jobs)
            if (job->started && !job->done) ++count;
        return count;
    };
    std::size_t nextStep = 0;  // the first Variation not yet taken in
    std::size_t prepareStep = 0;
    QElapsedTimer clock;
    clock.start();
    bool progressShown = false;
    struct ProgressEnd {
        const bool& shown;
        ~ProgressEnd() {
            if (MainWindowHost* host = mainWindowHost(); host && shown) host->EndProgress();
        }
    } progressEnd{progressShown};
    std::size_t progressStep = 0;
    const auto showProgress = [&] {
        if (nextStep >= steps.size() || (progressShown && progressStep == nextStep)) return;
        if (clock.elapsed() < kProgressDelayMs) return;
        MainWindowHost* host = mainWindowHost();
        if (!host) return;
        progressStep = nextStep;
        const int shown = static_cast<int>(std::min(nextStep + 1, steps.size()));
        host->ShowProgress(LoadText(kTextEncodingProgress).arg(shown).arg(steps.size()), static_cast<int>(nextStep),
                           static_cast<int>(steps.size()));
        progressShown = true;
    };

    const auto start = [&](const std::shared_ptr<Job>& job) {
        const std::shared_ptr<Shared> shared = batch.shared;
        job->started = true;
        const auto run = [job, shared] {
            try {
                const imaging::WorkerThreadScope atWork;
                job->work.Run([&shared] { return shared->stop.load(); });
            } catch (...) {
                job->escaped = std::current_exception();
            }
            {
                const std::lock_guard<std::mutex> lock(shared->mutex);
                job->done = true;
            }
            shared->changed.notify_all();
        };
        try {
            job->thread = std::thread(run);
        } catch (const std::system_error&) {
            run();  // no thread to be had: the window's thread encodes it
        }
    };

    // Sets up Variation `s` and detaches its encodings: InitialisiereVariation and the first
    // half of SpeichernLadenVariation, on the window's thread.
    const auto prepare = [&](Step& s) {
        s.initialised = true;
        const int i = s.variation;
        VariationRecord& r = records_[static_cast<std::size_t>(i)];
        const bool ok = Guarded([&] {
            formatChoicePending_[static_cast<std::size_t>(i)] = false;
            deferFormatChoice_ = true;
            InitialisiereVariation(i);
            deferFormatChoice_ = false;
            s.pause = std::make_unique<RepaintPause>(*pictures_[static_cast<std::size_t>(i)]);
            s.choice = formatChoicePending_[static_cast<std::size_t>(i)];
            formatChoicePending_[static_cast<std::size_t>(i)] = false;
            if (s.choice) {
                // The record as chooseSmallestFormat sets it for each trial.
                s.gifDepth = r.PixelDepth;
                for (const bool jpeg : {true, false}) {
                    r.Format = jpeg ? save_format::Jpeg : save_format::Gif;
                    r.PixelDepth = jpeg ? 24 : s.gifDepth;
                    r.PalettePixelDepth = r.PixelDepth;
                    if (!jpeg) r.GIFAnimated = false;
                    // Only the winner is measured, on the window's thread as before.
                    auto job = std::make_shared<Job>();
                    job->work = detachEncoding(i, job->options, job->chosenColour, nullptr);
                    s.jobs.push_back(std::move(job));
                }
            } else if (freshlyEncoded_ == i || r.GIFAnimated) {
                s.onWindowThread = true;
            } else {
                auto job = std::make_shared<Job>();
                job->work = detachEncoding(i, job->options, job->chosenColour, job->quality);
                s.jobs.push_back(std::move(job));
            }
        });
        deferFormatChoice_ = false;
        if (!ok) s.failed = true;
        for (const auto& job : s.jobs) batch.jobs.push_back(job);
    };

    // The rest of AktualisiereVariation once the encodings of step `s` are done.
    const auto takeIn = [&](Step& s) {
        const int i = s.variation;
        VariationRecord& r = records_[static_cast<std::size_t>(i)];
        imaging::ImageControl& target = *pictures_[static_cast<std::size_t>(i)];
        Guarded([&] {
            for (const auto& job : s.jobs)
                if (job->escaped) std::rethrow_exception(job->escaped);
            if (s.choice) {
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
                takeEncodingIn(i, gifJob.options, gifJob.work, gifJob.chosenColour.get(), nullptr);
                const std::int64_t gifSize = target.InfoFileSize();
                if (SmallerFormat(gifSize, jpegSize) == save_format::Jpeg) {
                    r.Format = save_format::Jpeg;
                    r.MemHandle = std::move(jpegBlock);
                    r.MemFileSize = jpegBytes;
                    r.GIFAnimated = false;
                    target.SetBitmap(std::move(jpegBitmap));
                    target.SetInfo(jpegInfo);
                    encodedWith_[static_cast<std::size_t>(i)] = jpegWith;
                    encodedWith_[static_cast<std::size_t>(i)].shown = target.ContentVersion();
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
            } else {
                Job& job = *s.jobs[0];
                takeEncodingIn(i, job.options, job.work, job.chosenColour.get(), job.quality.get());
            }
            s.pause.reset();
            if (isFrameSelected(frames_[static_cast<std::size_t>(i)]))
                FuelleReiterVariation(i);
            else
                AktualisiereMemInfo(i);
            target.ForceRepaint();
            if (PaletteHost* palette = paletteHost(); palette && isFrameSelected(frames_[static_cast<std::size_t>(i)]))
                palette->DisplayPalette(target);
        });
        s.pause.reset();
        // The outcome is in the picture now; the work's leftovers go at once.
        for (auto& job : s.jobs) {
            if (job->thread.joinable()) job->thread.join();
            job->work = imaging::RoundTripWork();
        }
    };

    const auto finished = [&](const Step& s) {
        const std::lock_guard<std::mutex> lock(batch.shared->mutex);
        for (const auto& job : s.jobs)
            if (!job->done) return false;
        return true;
    };

    while (nextStep < steps.size() && !batch.shared->stop) {
        // Detach encodings while there are free workers, in Variation order.
        while (prepareStep < steps.size() && !batch.shared->stop) {
            Step& s = steps[prepareStep];
            if (!s.initialised) {
                if (running() >= workerSlots && prepareStep > nextStep) break;
                prepare(s);
            }
            bool waiting = false;
            for (const auto& job : s.jobs) {
                if (job->started) continue;
                if (running() >= workerSlots) {
                    waiting = true;
                    break;
                }
                start(job);
            }
            if (waiting) break;
            ++prepareStep;
        }
        // Take in what is finished, in order.
        bool tookIn = false;
        while (nextStep < steps.size() && !batch.shared->stop) {
            Step& s = steps[nextStep];
            if (!s.initialised || !finished(s)) break;
            if (!s.failed) takeIn(s);
            ++nextStep;
            tookIn = true;
            if (const UpdateStepFunction& step = updateStepFunction()) step(*this, s.variation);
            showProgress();
        }
        if (nextStep >= steps.size() || batch.shared->stop) break;
        if (!tookIn) {
            std::unique_lock<std::mutex> lock(batch.shared->mutex);
            batch.shared->changed.wait_for(lock, kWaitSlice);
        }
        showProgress();
        // The window stays drawn, and a close reaches the document.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
}

}  // namespace kalmira
