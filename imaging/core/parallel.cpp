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

}  // namespace

int workerCount() {
    const int forced = overrideCount.load(std::memory_order_relaxed);
    if (forced > 0) return forced;
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware == 0 ? 1 : static_cast<int>(std::min(hardware, 8u));
}

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
    const std::size_t helpers = std::min<std::size_t>(static_cast<std::size_t>(workerCount()), count) - 1;
    std::vector<std::thread> threads;
    threads.reserve(helpers);
    try {
        for (std::size_t t = 0; t < helpers; ++t) threads.emplace_back(work);
    } catch (const std::system_error&) {
        // No thread to be had: the caller's thread does all the pieces.
    }
    work();
    for (auto& t : threads) t.join();
    for (auto& e : errors)
        if (e) std::rethrow_exception(e);
    if (stopped.load()) fail(ErrorCode::Cancelled, "work", "stopped before it was finished");
}

}  // namespace imaging
