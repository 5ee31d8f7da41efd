#include "batch.h"

#include <sched.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include "arguments.h"
#include "batch_encode.h"
#include "batch_plan.h"
#include "budget/ssimtarget.h"
#include "codecs/registry.h"
#include "core/error.h"
#include "core/parallel.h"
#include "rules/profilefile.h"

namespace kalmira::cli {

namespace fs = std::filesystem;

const char* const kBatchUsage =
    "       kalmira-cli batch --out DIR [--profile N] [--settings FILE] [--jobs J] [--shard K/M]\n"
    "                   [--report FILE] FILES-OR-FOLDERS...\n"
    "  --out DIR        where the results go (see Names below)\n"
    "  --profile N      optimisation profile 1-6 of the settings (default 6, the batch profile)\n"
    "  --settings FILE  the settings file to take the profile from (default the user's own)\n"
    "  --jobs J         files worked on at once (default: the number of cores)\n"
    "  --shard K/M      only the K-th of M shares of the sorted input list (for several machines)\n"
    "  --report FILE    one JSON line per file: input, output, format, bytes_in, bytes_out, psnr (dB, a\n"
    "                   number; null with \"lossless\":true when the pixels are exact), ms; or error\n"
    "  --fast-jpeg      JPEG: libjpeg's plain encoder, faster and larger than the default\n"
    "  --target-ssim S  each file the smallest of its format whose SSIM is at least S (0 < S <= 1):\n"
    "                   the JPEG quality, or the colours of an optimised palette\n"
    "  Names: each result is DIR/ + the input's path below the folder named on the command line (its\n"
    "  file name alone for a file named there), with the chosen format's extension in place of its\n"
    "  own: photos/trip/a.png -> DIR/trip/a.jpg. Inputs of one folder that differ only in their\n"
    "  extension keep it, so neither replaces the other: a.png -> a.png.jpg, a.tif -> a.tif.jpg. A\n"
    "  result that would replace an input, or a name that two named files share, is listed as failed.\n";

namespace {

using Clock = std::chrono::steady_clock;

constexpr OptionDef kBatchOptions[] = {
    {"out", true}, {"profile", true}, {"settings", true}, {"jobs", true}, {"shard", true}, {"report", true},
    {"fast-jpeg", false}, {"target-ssim", true},
};

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) { interrupted.store(true); }

// Ctrl+C or a job runner's TERM lets the files in work finish (their outputs appear whole) and
// starts no further one; the temporary files of an atomic save never stay behind. A second one
// ends the program at once.
void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int coreCount() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

std::string jsonString(const std::string& text) {
    std::string s = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            s += buf;
        } else {
            s += static_cast<char>(c);
        }
    }
    return s + '"';
}

std::string fixed(double v, int decimals) {
    std::ostringstream s;
    s << std::fixed << std::setprecision(decimals) << v;
    return s.str();
}

std::string megabytes(std::uint64_t bytes) { return fixed(static_cast<double>(bytes) / 1e6, 1) + " MB"; }

std::string clock(double seconds) {
    const long s = std::lround(std::max(0.0, seconds));
    std::ostringstream t;
    t << s / 60 << ':' << std::setw(2) << std::setfill('0') << s % 60;
    return t.str();
}

struct Outcome {
    bool ok = false;
    std::string output, format, error;
    std::uint64_t bytesIn = 0, bytesOut = 0;
    double psnr = 0, ms = 0;
    bool keptTransparency = false;
};

Outcome processOne(const BatchInput& input, const BatchPlan& plan, const OptimizeProfile& profile,
                   const BatchEncodeOptions& encoding) {
    Outcome o;
    const Clock::time_point start = Clock::now();
    try {
        if (!input.problem.empty()) throw std::runtime_error(input.problem);
        const imaging::Bytes data = imaging::readWholeFile(input.file);
        o.bytesIn = data.size();
        const OptimisedFile result = optimiseFile(data, profile, encoding);
        std::string problem;
        const fs::path out = outputPathFor(input, result.extension, plan, problem);
        if (out.empty()) throw std::runtime_error(problem);
        std::error_code ec;
        fs::create_directories(out.parent_path(), ec);
        if (ec) throw std::runtime_error("cannot create the folder " + out.parent_path().string() + ": " + ec.message());
        imaging::writeFileAtomically(out, result.encoded);
        o.ok = true;
        o.output = out.string();
        o.format = result.formatName;
        o.bytesOut = result.encoded.size();
        o.psnr = result.psnr;
        o.keptTransparency = result.keptTransparency;
    } catch (const imaging::Error& e) {
        o.error = e.what();
    } catch (const std::bad_alloc&) {
        o.error = "out of memory";
    } catch (const std::exception& e) {
        o.error = e.what();
    }
    o.ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return o;
}

std::string reportLine(const BatchInput& input, const Outcome& o) {
    std::ostringstream line;
    line << "{\"input\":" << jsonString(input.file.string());
    if (o.ok) {
        line << ",\"output\":" << jsonString(o.output) << ",\"format\":" << jsonString(o.format)
             << ",\"bytes_in\":" << o.bytesIn << ",\"bytes_out\":" << o.bytesOut << ",\"psnr\":";
        // JSON has no infinity: an exact result says so in a field of its own, and a reader
        // that sums or compares the PSNR gets a number or null, never a string.
        if (std::isnan(o.psnr))
            line << "null";
        else if (std::isinf(o.psnr))
            line << "null,\"lossless\":true";
        else
            line << fixed(o.psnr, 3) << ",\"lossless\":false";
        // The profile's format would have dropped the transparency: say which format kept it.
        if (o.keptTransparency) line << ",\"transparency_kept_as\":" << jsonString(o.format);
    } else {
        line << ",\"error\":" << jsonString(o.error) << ",\"bytes_in\":" << o.bytesIn;
    }
    line << ",\"ms\":" << fixed(o.ms, 1) << "}\n";
    return line.str();
}

// Totals shared by the workers, the progress line and the summary.
struct Tally {
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t done = 0, failed = 0;
    std::uint64_t bytesIn = 0, bytesOut = 0;
};

}  // namespace

int runBatch(const std::vector<std::string>& args, std::ostream& out) {
    const ParsedArgs a = parseArguments(args, kBatchOptions);
    if (!a.has("out")) throw UsageError("batch needs --out DIR");
    if (a.positional.empty()) throw UsageError("batch needs files or folders");
    const int slot = a.integer("profile", kBatchProfileSlot, kFirstProfileSlot, kLastProfileSlot);
    const int jobs = a.integer("jobs", coreCount(), 1, 1024);
    const auto [shardK, shardM] = a.has("shard") ? parseShard(a.text("shard")) : std::pair<int, int>{1, 1};
    const fs::path outFolder = a.text("out");
    BatchEncodeOptions encoding;
    encoding.fastJpeg = a.has("fast-jpeg");
    if (a.has("target-ssim")) {
        const std::string text = a.text("target-ssim");
        char* end = nullptr;
        encoding.targetSsim = std::strtod(text.c_str(), &end);
        if (text.empty() || *end != '\0' || !imaging::validSsimTarget(encoding.targetSsim))
            throw UsageError("--target-ssim needs an SSIM above 0 and at most 1, not \"" + text + "\"");
    }

    ProfileReading reading;
    try {
        reading = ReadProfileFromFile(a.has("settings") ? fs::path(a.text("settings")) : UserSettingsFile(), slot);
    } catch (const std::runtime_error& e) {
        imaging::fail(imaging::ErrorCode::ReadFailed, "batch", e.what());
    }
    for (const std::string& problem : reading.problems) std::cerr << "kalmira-cli: warning: " << problem << '\n';

    std::error_code ec;
    fs::create_directories(outFolder, ec);
    if (ec || !fs::is_directory(outFolder))
        imaging::fail(imaging::ErrorCode::WriteFailed, "batch",
                      "cannot use the output folder " + outFolder.string() + ": " +
                          (ec ? ec.message() : std::string("it is not a folder")));
    std::ofstream report;
    if (a.has("report")) {
        report.open(a.text("report"), std::ios::trunc);
        if (!report) imaging::fail(imaging::ErrorCode::WriteFailed, "batch", "cannot write the report " + a.text("report"));
    }

    const BatchPlan plan = planBatch(a.positional, outFolder);
    const std::vector<std::size_t> mine = shardPositions(plan.inputs.size(), shardK, shardM);
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    catchInterrupts();

    Tally tally;
    std::atomic<std::size_t> next{0};
    const Clock::time_point start = Clock::now();
    auto work = [&] {
        // Each job counts among the engine's threads at work, so its inner parallel loops take
        // only the cores the other jobs leave free instead of starting helpers beside them.
        const imaging::WorkerThreadScope atWork;
        while (!interrupted.load()) {
            const std::size_t n = next.fetch_add(1);
            if (n >= mine.size()) break;
            const BatchInput& input = plan.inputs[mine[n]];
            const Outcome o = processOne(input, plan, reading.profile, encoding);
            const std::string line = reportLine(input, o);
            std::lock_guard lock(tally.mutex);
            ++tally.done;
            if (o.ok) {
                // Before and after of the files written, so a failure does not count as saved.
                tally.bytesIn += o.bytesIn;
                tally.bytesOut += o.bytesOut;
            } else {
                ++tally.failed;
                std::cerr << (terminal ? "\r\033[K" : "") << "kalmira-cli: " << input.file.string() << ": " << o.error << '\n';
            }
            if (report.is_open()) report << line << std::flush;
            tally.changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    const int threads = std::min<int>(jobs, static_cast<int>(std::max<std::size_t>(1, mine.size())));
    for (int i = 0; i < threads; ++i) workers.emplace_back(work);

    {
        std::unique_lock lock(tally.mutex);
        while (tally.done < mine.size() && !interrupted.load()) {
            tally.changed.wait_for(lock, std::chrono::milliseconds(250));
            if (!terminal) continue;
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            const double rate = seconds > 0 ? static_cast<double>(tally.done) / seconds : 0;
            std::cerr << "\r\033[K" << tally.done << '/' << mine.size() << " files, " << megabytes(tally.bytesIn) << " -> "
                      << megabytes(tally.bytesOut) << ", " << fixed(rate, 1) << " files/s, "
                      << (rate > 0 ? clock(static_cast<double>(mine.size() - tally.done) / rate) : std::string("-:--"))
                      << " left" << std::flush;
        }
    }
    for (std::thread& t : workers) t.join();
    if (terminal) std::cerr << "\r\033[K";

    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double saving = tally.bytesIn > 0 ? 100.0 * (1.0 - static_cast<double>(tally.bytesOut) / static_cast<double>(tally.bytesIn)) : 0;
    out << "files: " << mine.size() << '\n'
        << "written: " << tally.done - tally.failed << '\n'
        << "failed: " << tally.failed << '\n'
        << "bytes_in: " << tally.bytesIn << '\n'
        << "bytes_out: " << tally.bytesOut << '\n'
        << "saving: " << fixed(saving, 1) << "%\n"
        << "seconds: " << fixed(seconds, 1) << '\n';
    if (interrupted.load()) {
        out << "interrupted: " << mine.size() - tally.done << " files not started\n";
        return 130;
    }
    return tally.failed > 0 ? 1 : 0;
}

}  // namespace kalmira::cli
