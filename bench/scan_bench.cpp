// Scanning an A4 page at 300 dpi in grey from SANE's test backend, through our scanner (the
// same calls the scan dialog's worker makes) and through scanimage doing the same scan in the
// same run, written to /dev/null. The ratio of the two is the figure that matters.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "scan/scanner.h"

namespace {

void configure() {
    static const bool done = [] {
        setenv("SANE_CONFIG_DIR", KALMIRA_SANE_CONFIG, 1);
        return imaging::scan::initialise() == 0;
    }();
    (void)done;
}

void BM_ScanA4Grey300(benchmark::State& state) {
    configure();
    for (auto _ : state) {
        imaging::scan::Scanner scanner("test:0");
        scanner.setText("mode", "Gray");
        scanner.setNumber("resolution", 300);
        scanner.setNumber("br-x", 210);
        scanner.setNumber("br-y", 297);
        std::atomic<bool> cancel{false};
        const imaging::Bitmap page = scanner.scan(cancel);
        benchmark::DoNotOptimize(page.data().data());
        state.counters["pixels"] = static_cast<double>(page.width()) * page.height();
    }
}

void BM_ScanimageA4Grey300(benchmark::State& state) {
    const std::string command = std::string("SANE_CONFIG_DIR=") + KALMIRA_SANE_CONFIG +
                                " scanimage -d test:0 --mode Gray --resolution 300 -x 210 -y 297 > /dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("scanimage failed");
    }
}

}  // namespace

BENCHMARK(BM_ScanA4Grey300)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ScanimageA4Grey300)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
