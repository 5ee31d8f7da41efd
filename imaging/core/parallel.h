#pragma once
// Work split over the machine's cores. Every caller divides its work into pieces whose number
// and bounds do not depend on how many threads run them, and combines the pieces' results in
// index order, so the output is the same byte for byte on one core and on many.

#include <cstddef>
#include <algorithm>
#include <functional>

namespace imaging {

// Threads the engine may use at once (at least 1). Defaults to the hardware's count, capped at 8.
int workerCount();

// Overrides workerCount(): 1 runs everything on the calling thread, 0 restores the default.
// Meant for tests and benchmarks that compare one core with several.
void setWorkerCount(int count);

// Counts the calling thread among the threads at work for as long as it lives: a thread that
// runs one of several pieces of work side by side (a Variation encoded beside others). The
// helpers parallelFor starts never bring the threads at work beyond workerCount(), so work
// split inside work that already keeps every core busy adds no threads to fight over them.
class WorkerThreadScope {
public:
    WorkerThreadScope();
    ~WorkerThreadScope();
    WorkerThreadScope(const WorkerThreadScope&) = delete;
    WorkerThreadScope& operator=(const WorkerThreadScope&) = delete;

private:
    bool counted_;
};

// Threads at work now: those inside a WorkerThreadScope or a parallelFor, and its helpers.
int threadsAtWork();

// Runs body(i) for every i in [0, count), spread over workerCount() threads (the caller's among
// them). Pieces run in no particular order; all have finished when it returns. If any piece
// throws, the others still finish (no half-done shared state is left behind by an early return)
// and the exception of the lowest-numbered failing piece is rethrown here.
// `stop`, when given, is polled before each piece starts; once it returns true the remaining
// pieces are skipped and Cancelled is thrown.
void parallelFor(std::size_t count, const std::function<void(std::size_t)>& body,
                 const std::function<bool()>& stop = {});

// Splits [0, total) into `pieces` contiguous ranges of nearly equal length; piece i is
// [rangeStart(total, pieces, i), rangeStart(total, pieces, i + 1)).
inline std::size_t rangeStart(std::size_t total, std::size_t pieces, std::size_t i) {
    return total / pieces * i + std::min(i, total % pieces);
}

}  // namespace imaging
