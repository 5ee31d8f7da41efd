#pragma once
// How much memory the files of a batch in work may take together: a file starts only while its
// share fits beside the shares of those in work, so --jobs never multiplies a large picture past
// the machine's memory (a batch of such pictures simply runs fewer of them at once).

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "core/codec.h"

namespace kalmira::cli {

class MemoryGate {
public:
    explicit MemoryGate(std::uint64_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}

    // Holds `bytes` of the capacity while it lives; waits until they fit beside the shares
    // held. A share larger than the whole capacity waits until no other is held, then runs
    // alone (the reader's own limits decide whether it can be read at all).
    class Share {
    public:
        Share(MemoryGate& gate, std::uint64_t bytes);
        ~Share();
        Share(const Share&) = delete;
        Share& operator=(const Share&) = delete;

    private:
        MemoryGate& gate_;
        std::uint64_t bytes_;
    };

    std::uint64_t capacity() const { return capacity_; }
    std::uint64_t inUse() const;
    // The most ever held at once, for tests and the curious.
    std::uint64_t peak() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable freed_;
    const std::uint64_t capacity_;
    std::uint64_t used_ = 0, peak_ = 0;
};

// What converting the picture in `data` costs at most in memory (from its header: size and, for
// an animation, frames); a small amount when the header cannot be read (the file then fails
// before anything large is made).
std::uint64_t estimatedWorkingBytes(const imaging::Bytes& data);

// The capacity for a batch: three quarters of the memory the machine has available now.
std::uint64_t batchMemoryCapacity();

}  // namespace kalmira::cli
