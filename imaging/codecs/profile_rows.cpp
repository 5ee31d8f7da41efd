#include "codecs/profile_rows.h"

#include "codecs/embedded.h"

#include <algorithm>
#include "core/parallel.h"

namespace imaging::embedded {

namespace {
// Rows converted at once: large enough that waking the helper costs nothing beside them,
// small enough that the last band after the decoder's end is short.
constexpr int kBand = 32;
// Rows waiting for the helper beyond which the reader's thread converts a band itself.
constexpr int kBacklog = 3 * kBand;
}  // namespace

std::unique_ptr<ProfileRows> ProfileRows::forFile(ByteView file) {
    Found found = scan(file);
    if (found.iccProfile.empty() || found.iccTooLarge || found.iccDamaged) return nullptr;
    std::unique_ptr<icc::RowConversion> conversion = icc::RowConversion::forRgb(found.iccProfile);
    if (!conversion) return nullptr;
    return std::unique_ptr<ProfileRows>(new ProfileRows(std::move(conversion)));
}

ProfileRows::ProfileRows(std::unique_ptr<icc::RowConversion> conversion) : conversion_(std::move(conversion)) {}

ProfileRows::~ProfileRows() { abandon(); }

void ProfileRows::abandon() {
    {
        std::lock_guard lock(mutex_);
        ending_ = abandoned_ = true;
    }
    wake_.notify_all();
    if (helper_.joinable()) helper_.join();
}

void ProfileRows::rowsDone(Bitmap& bitmap, int end) {
    if (bitmap.bits() != 24 || bitmap.transparent()) return;  // finished() leaves it to the whole-picture path
    std::unique_lock lock(mutex_);
    bitmap_ = &bitmap;
    ready_ = end;
    if (!helperTried_) {
        helperTried_ = true;
        // A helper only where a core is free: inside a batch job or beside other encodings,
        // the reader's own thread converts.
        if (workerCount() > 1 && threadsAtWork() < workerCount()) {
            try {
                helper_ = std::thread([this] { work(); });
            } catch (const std::system_error&) {
                // No thread to be had: the reader's thread converts.
            }
        }
    }
    if (helper_.joinable()) {
        // A conversion slower than the decoder leaves the helper behind: the reader's thread
        // takes a band of the backlog now and then, so both end at about the same time.
        const bool behind = ready_ - converted_ > kBacklog;
        const int first = converted_, last = std::min(ready_, converted_ + kBand);
        if (behind) converted_ = last;
        lock.unlock();
        wake_.notify_one();
        if (behind) conversion_->convert(bitmap, first, last);
        return;
    }
    if (ready_ - converted_ < kBand) return;
    const int first = converted_;
    converted_ = ready_;
    lock.unlock();
    conversion_->convert(bitmap, first, end);
}

void ProfileRows::work() {
    WorkerThreadScope counted;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return ending_ || ready_ - converted_ >= kBand; });
        if (abandoned_ || ready_ == converted_) {
            if (ending_) return;
            continue;
        }
        // One band at a time, so that at the end the reader's thread can share what is left.
        const int first = converted_, end = std::min(ready_, converted_ + kBand);
        converted_ = end;
        Bitmap* bitmap = bitmap_;
        lock.unlock();
        conversion_->convert(*bitmap, first, end);
        lock.lock();
    }
}

void ProfileRows::finished(Bitmap& bitmap) {
    if (bitmap.bits() != 24 || bitmap.transparent() || bitmap.empty()) return;
    {
        std::lock_guard lock(mutex_);
        bitmap_ = &bitmap;
        ready_ = bitmap.height();
        ending_ = true;
    }
    wake_.notify_all();
    // The rows still waiting, shared band by band with the helper (all of them without one).
    for (;;) {
        std::unique_lock lock(mutex_);
        if (converted_ >= ready_) break;
        const int first = converted_, end = std::min(ready_, converted_ + kBand);
        converted_ = end;
        lock.unlock();
        conversion_->convert(bitmap, first, end);
    }
    if (helper_.joinable()) helper_.join();
    complete_ = true;
}

}  // namespace imaging::embedded
