#include "core/parallel.h"

#include <atomic>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

#include "core/error.h"

namespace imaging {
namespace {

std::atomic<int> overrideCount{0};
std::atomic<int> atWork{0};
thread_local bool countedHere = false;

// Reserves up to `wanted` threads beyond those at work, within workerCount().
int reserveHelpers(int wanted) {
    const int limit = workerCount();
    int current = atWork.load(std::memory_order_relaxed);
    for (;;) {
        const int granted = std::min(wanted, limit - current);
        if (granted <= 0) return 0;
        if (atWork.compare_exchange_weak(current, current + granted, std::memory_order_relaxed)) return granted;
    }
}

}  // namespace

int workerCount() {
    const int forced = overrideCount.load(std::memory_order_relaxed);
    if (forced > 0) return forced;
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : static_cast<int>(std::min(hardware, 8u));
}

WorkerThreadScope::WorkerThreadScope() : counted_(!countedHere) {
    if (!counted_) return;
    countedHere = true;
    atWork.fetch_add(1, std::memory_order_relaxed);
}

WorkerThreadScope::~WorkerThreadScope() {
    if (!counted_) return;
    countedHere = false;
    atWork.fetch_sub(1, std::memory_order_relaxed);
}

int threadsAtWork() { return atWork.load(std::memory_order_relaxed); }

void setWorkerCount(int count) { overrideCount.store(count < 0 ? 0 : count, std::memory_order_relaxed); }

void parallelFor(std::size_t count, const std::function<void(std::size_t)>& body, const std::function<bool()>& stop) {
    if (count == 0) return;
    std::vector<std::exception_ptr> errors(count);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stopped{false};
    auto work = [&] {
        for (;;) {
            const std::size_t i = next.fetch_add(1, std::memory_order_relaxed);
            if (i >= count) return;
            if (stopped.load(std::memory_order_relaxed) || (stop && stop())) {
                stopped.store(true, std::memory_order_relaxed);
                continue;
            }
            try {
                body(i);
            } catch (...) {
                errors[i] = std::current_exception();
            }
        }
    };
    // The caller is one of the threads at work while it takes part; helpers are started only
    // as far as workerCount() leaves room beside every thread already at work.
    const WorkerThreadScope caller;
    const int wanted = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(workerCount()), count)) - 1;
    const int reserved = wanted > 0 ? reserveHelpers(wanted) : 0;
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(reserved));
    try {
        for (int t = 0; t < reserved; ++t) threads.emplace_back(work);
    } catch (const std::system_error&) {
        // No thread to be had: the threads started so far (or the caller alone) do the pieces.
    }
    atWork.fetch_sub(reserved - static_cast<int>(threads.size()), std::memory_order_relaxed);
    work();
    for (auto& t : threads) t.join();
    atWork.fetch_sub(static_cast<int>(threads.size()), std::memory_order_relaxed);
    for (auto& e : errors)
        if (e) std::rethrow_exception(e);
    if (stopped.load()) fail(ErrorCode::Cancelled, "work", "stopped before it was finished");
}

}  // namespace imaging
