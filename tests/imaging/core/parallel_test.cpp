// The threads parallelFor starts: never more at work than workerCount(), counting the threads
// that already run pieces of work side by side.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "core/error.h"
#include "core/parallel.h"

namespace {

// The distinct threads that ran the pieces of one parallelFor. Each piece waits (up to a
// second) until `expected` threads have shown up, so a helper that starts late still gets one,
// and a count above `expected` would still show.
std::size_t threadsUsed(std::size_t pieces, std::size_t expected) {
    std::mutex mutex;
    std::set<std::thread::id> ids;
    imaging::parallelFor(pieces, [&](std::size_t) {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            ids.insert(std::this_thread::get_id());
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        for (;;) {
            {
                const std::lock_guard<std::mutex> lock(mutex);
                if (ids.size() >= expected) break;
            }
            if (std::chrono::steady_clock::now() > until) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    });
    return ids.size();
}

struct WorkerCount {
    explicit WorkerCount(int n) { imaging::setWorkerCount(n); }
    ~WorkerCount() { imaging::setWorkerCount(0); }
};

}  // namespace

TEST(ParallelFor, HelpersFillTheWorkersLeftBesideThreadsAtWork) {
    const WorkerCount four(4);
    EXPECT_EQ(imaging::threadsAtWork(), 0);
    EXPECT_EQ(threadsUsed(8, 4), 4u);
    EXPECT_EQ(threadsUsed(2, 2), 2u);
    EXPECT_EQ(imaging::threadsAtWork(), 0);

    // Two other threads at work: this one and one helper.
    std::atomic<bool> release{false};
    std::atomic<int> ready{0};
    const auto busy = [&] {
        const imaging::WorkerThreadScope atWork;
        ++ready;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    std::thread a(busy), b(busy);
    while (ready < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(imaging::threadsAtWork(), 2);
    EXPECT_EQ(threadsUsed(8, 2), 2u);
    // Inside a scope of its own the caller counts once, not twice.
    {
        const imaging::WorkerThreadScope atWork;
        const imaging::WorkerThreadScope again;
        EXPECT_EQ(imaging::threadsAtWork(), 3);
        EXPECT_EQ(threadsUsed(8, 2), 2u);
    }
    release = true;
    a.join();
    b.join();
    EXPECT_EQ(imaging::threadsAtWork(), 0);
}

TEST(ParallelFor, EveryWorkerBusyRunsAllPiecesOnTheCaller) {
    const WorkerCount two(2);
    const imaging::WorkerThreadScope mine;
    std::atomic<bool> release{false};
    std::atomic<bool> ready{false};
    std::thread other([&] {
        const imaging::WorkerThreadScope atWork;
        ready = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    while (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::atomic<int> ran{0};
    std::set<std::thread::id> ids;
    imaging::parallelFor(6, [&](std::size_t) {
        ++ran;
        ids.insert(std::this_thread::get_id());  // one thread only: no lock needed
    });
    EXPECT_EQ(ran, 6);
    EXPECT_EQ(ids, std::set<std::thread::id>{std::this_thread::get_id()});
    // A stop and an error still come through when the caller works alone.
    EXPECT_THROW(imaging::parallelFor(3, [](std::size_t) {}, [] { return true; }), imaging::Error);
    release = true;
    other.join();
    EXPECT_EQ(imaging::threadsAtWork(), 1);
}
