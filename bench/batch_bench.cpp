// kalmira-cli batch on one and on two jobs over the same photo-like inputs, whole processes and
// wall time: what a user waits for. The figure that matters is the ratio jobs 2 / jobs 1 on
// two free cores (0.5 would be perfect; files differ in size, so the last one runs alone).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "codecs/registry.h"
#include "photo_like.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 8;

const fs::path& inputs() {
    static const fs::path folder = [] {
        const fs::path f = fs::temp_directory_path() / ("kalmira-batch-bench-" + std::to_string(::getpid()));
        fs::create_directories(f / "in");
        for (int i = 0; i < kFiles; ++i) {
            imaging::SaveOptions save;
            save.format = imaging::format::Jpeg444;
            save.qualityFactor = 20;
            // Sizes vary as a real folder's do.
            imaging::saveFile(f / "in" / ("photo" + std::to_string(i) + ".jpg"),
                              imaging::Image::fromBitmap(kalmira_bench::photoLike(900 + 60 * i, 600 + 40 * i, i + 1)),
                              save);
        }
        return f;
    }();
    return folder;
}

void BM_Batch(benchmark::State& state) {
    const fs::path& folder = inputs();
    const std::string command = std::string(KALMIRA_CLI) + " batch --jobs " + std::to_string(state.range(0)) +
                                " --settings /nonexistent --out '" + (folder / "out").string() + "' '" +
                                (folder / "in").string() + "' >/dev/null";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) state.SkipWithError("kalmira-cli batch failed");
    }
    state.counters["files"] = kFiles;
}
BENCHMARK(BM_Batch)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(inputs());
    return 0;
}
