// Opening a 13-megapixel photograph in a document (no window shown) with the built-in profiles:
// its Variations encoded side by side on worker threads while the window's event loop runs,
// beside the same document encoding them one after another on the window's thread. The photograph is a real one from bench/pictures
// (dune.jpg, 1680 x 1050) enlarged by the engine's resampling to 4560 x 2850 and stored as a
// JPEG of quality 90, as a camera would hand it over.
//
// Counters: variations; bytes (the encodings' total, equal both ways); peak_x24, the growth of
// the process's peak resident memory while the document opens, over the Original's 24-bit size
// (glibc may keep freed memory, so this is the figure an outside observer sees); late_p99_ms
// and late_max_ms, how late a 5 ms timer of the window's thread fires meanwhile (one after
// another, the whole update is one wait).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <algorithm>
#include <vector>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "bench_documents.h"
#include "codecs/registry.h"
#include "document/frmdocument.h"
#include "ops/operation_table.h"
#include "settings/programoptions.h"
#include "common/globals.h"

namespace {

constexpr int kWidth = 4560;
constexpr int kHeight = 2850;  // 13.0 megapixels
constexpr double kTickMs = 5;

const QString& photoFile() {
    static const QString path = [] {
        imaging::SaveOptions options;
        options.format = imaging::format::Jpeg444;
        options.qualityFactor = 256 - 229;  // quality 90
        // Made once and kept in the temporary folder, so that timing the whole program
        // from outside times the document alone.
        return kalmira_bench::temporaryPicture(
            QStringLiteral("kalmira_largephoto_bench.jpg"),
            [] {
                imaging::Image image = imaging::loadFile(KALMIRA_BENCH_PICTURES "/dune.jpg");
                imaging::ops::applyNamedOperation(image.first(), "Size", {kWidth, kHeight});
                return image;
            },
            options, true);
    }();
    return path;
}

// A line of /proc/self/status in kB.
double statusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0) return std::stod(line.substr(prefix.size()));
    return 0;
}

// Starts the peak resident size afresh at the present size.
void resetPeak() {
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

void openLargePhoto(benchmark::State& state) {
    const bool parallel = state.range(0) != 0;
    kalmira::frmDocument::SetUpdateEncodings(static_cast<int>(state.range(0)));
    const int variations = static_cast<int>(state.range(1));
    const QString path = photoFile();
    kalmira::ProgramOptions() = kalmira::DefaultProgramOptions();
    kalmira::ProgramOptions().FitToWindow = 0;
    kalmira::ProgramOptions().InitialOpenVariations = static_cast<std::int16_t>(variations);
    kalmira::frmDocument::SetParallelUpdates(parallel);
    kalmira::frmDocument::SetWaitForUpdates(false);
    double peakGrowth = 0;
    double latenessP99 = 0;
    double latenessMax = 0;
    double bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const double before = statusKb("VmRSS");
        resetPeak();
        state.ResumeTiming();

        auto doc = kalmira_bench::documentFromFile(path);
        // The window's thread from the moment the Variations are asked for until the last is
        // in: how late a timer that should fire every few milliseconds comes (the time the
        // asking itself takes counts as one such wait).
        QElapsedTimer asked;
        asked.start();
        doc->InitialisiereGrafik(true);
        doc->picOriginalAendern();
        std::vector<double> late{static_cast<double>(asked.nsecsElapsed()) / 1e6};
        if (doc->UpdateRunning()) {
            QEventLoop loop;
            QObject::connect(doc.get(), &kalmira::frmDocument::UpdatesFinished, &loop, &QEventLoop::quit);
            QTimer tick;
            tick.setTimerType(Qt::PreciseTimer);
            QElapsedTimer sinceTick;
            sinceTick.start();
            QObject::connect(&tick, &QTimer::timeout, [&] {
                late.push_back(std::max(0.0, static_cast<double>(sinceTick.nsecsElapsed()) / 1e6 - kTickMs));
                sinceTick.restart();
            });
            tick.start(static_cast<int>(kTickMs));
            if (doc->UpdateRunning()) loop.exec();
        }
        std::sort(late.begin(), late.end());
        latenessP99 = std::max(latenessP99, late[std::min(late.size() - 1, late.size() * 99 / 100)]);
        latenessMax = std::max(latenessMax, late.back());

        state.PauseTiming();
        peakGrowth = std::max(peakGrowth, statusKb("VmHWM") - before);
        bytes = 0;
        for (int i = 1; i <= variations; ++i) bytes += static_cast<double>(doc->record(i).MemFileSize);
        doc.reset();
        state.ResumeTiming();
    }
    kalmira::frmDocument::SetParallelUpdates(true);
    kalmira::frmDocument::SetUpdateEncodings(0);
    state.counters["variations"] = variations;
    state.counters["bytes"] = bytes;
    state.counters["peak_x24"] = peakGrowth * 1024.0 / (3.0 * kWidth * kHeight);
    // The window's event loop while the Variations are encoded, worst iteration: the 99th
    // percentile and the longest wait, in milliseconds.
    state.counters["late_p99_ms"] = latenessP99;
    state.counters["late_max_ms"] = latenessMax;
}

}  // namespace

// Arguments: encodings running at once (0: one after another on the window's thread), number
// of Variations.
BENCHMARK(openLargePhoto)
    ->ArgNames({"parallel", "variations"})
    ->Args({0, 3})
    ->Args({1, 3})
    ->Args({2, 3})
    ->Args({0, 5})
    ->Args({1, 5})
    ->Args({2, 5})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("KALMIRA_LANGUAGE", "en");
    QApplication app(argc, argv);
    kalmira::InitApplication();
    kalmira::ErrorTrapping = false;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
