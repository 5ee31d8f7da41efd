#pragma once
// A tagged photo's conversion into sRGB while it decodes: the reader hands over rows as it
// finishes them, and a helper thread converts them behind it, so opening the photo costs
// little more than decoding it. Where no core is free the rows are converted on the reader's
// thread, a band at a time while they are still in the cache.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "color/icc_transform.h"
#include "core/codec.h"

namespace imaging::embedded {

class ProfileRows final : public RowListener {
public:
    // Null when the file carries no profile that converts RGB rows.
    static std::unique_ptr<ProfileRows> forFile(ByteView file);
    ~ProfileRows() override;

    void rowsDone(Bitmap& bitmap, int end) override;
    void finished(Bitmap& bitmap) override;
    void abandon() override;

    // True once a reader has finished a picture through it: its pixels are in sRGB.
    bool complete() const { return complete_; }
    icc::Conversion result() const { return conversion_->result(); }

private:
    explicit ProfileRows(std::unique_ptr<icc::RowConversion> conversion);
    void work();

    std::unique_ptr<icc::RowConversion> conversion_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread helper_;
    Bitmap* bitmap_ = nullptr;
    int ready_ = 0;       // rows the reader has finished
    int converted_ = 0;   // rows converted or being converted
    bool ending_ = false; // no more rows come (finished or abandoned)
    bool abandoned_ = false;
    bool complete_ = false;
    bool helperTried_ = false;
};

}  // namespace imaging::embedded
