#include "batch.h"

#include <sched.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <cmath>
#include <cstring>
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
#include "batch_memory.h"
#include "batch_plan.h"
#include "budget/ssimtarget.h"
#include "codecs/registry.h"
#include "core/error.h"
#include "core/parallel.h"
#include "core/limits.h"
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
    bool skipped = false;
    std::string output, format, error;
    std::uint64_t bytesIn = 0, bytesOut = 0;
    double psnr = 0, ms = 0;
    bool keptTransparency = false;
};

// The name of the codec that reads `data`, for a message about a failure while reading it.
std::string readerName(const imaging::Bytes& data) {
    const imaging::Codec* codec = imaging::sniffCodec(data);
    return codec ? std::string(codec->name()) : std::string("load");
}

Outcome processOne(const BatchInput& input, const BatchPlan& plan, const OptimizeProfile& profile,
                   const BatchEncodeOptions& encoding, MemoryGate& memory) {
    Outcome o;
    const Clock::time_point start = Clock::now();
    if (!input.skipped.empty()) {
        o.skipped = true;
        o.error = input.skipped;
        return o;
    }
    try {
        if (!input.problem.empty()) throw std::runtime_error(input.problem);
        const imaging::Bytes data = imaging::readWholeFile(input.file);
        o.bytesIn = data.size();
        OptimisedFile result;
        {
            // Files start only while those in work fit the machine's memory together, so many
            // jobs never multiply one large picture past it.
            const MemoryGate::Share share(memory, estimatedWorkingBytes(data));
            try {
                result = optimiseFile(data, profile, encoding);
            } catch (const std::bad_alloc&) {
                // Named after the codec that was at work, never another's.
                imaging::fail(imaging::ErrorCode::OutOfMemory, readerName(data), "out of memory while converting this file");
            }
        }
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
    if (o.skipped) {
        line << ",\"skipped\":" << jsonString(o.error) << "}\n";
        return line.str();
    }
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

// The report, written line by line as files finish (so an interrupted batch keeps the lines of
// the files it did). A line that cannot be written (a full disk, /dev/full) is remembered with
// its reason: the batch then ends with an error instead of a silently empty report.
class ReportFile {
public:
    void open(const std::string& path) {
        path_ = path;
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0)
            imaging::fail(imaging::ErrorCode::WriteFailed, "batch",
                          "cannot write the report " + path + ": " + std::strerror(errno));
    }
    bool isOpen() const { return fd_ >= 0; }
    void write(const std::string& line) {
        if (fd_ < 0 || !error_.empty()) return;
        std::size_t done = 0;
        while (done < line.size()) {
            const ssize_t n = ::write(fd_, line.data() + done, line.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error_ = std::strerror(n < 0 ? errno : ENOSPC);
                return;
            }
            done += static_cast<std::size_t>(n);
        }
    }
    // Ends the report; the reason it could not be written whole, or empty.
    std::string close() {
        if (fd_ < 0) return error_;
        struct stat st {};
        if (error_.empty() && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && ::fsync(fd_) != 0) error_ = std::strerror(errno);
        if (::close(fd_) != 0 && error_.empty()) error_ = std::strerror(errno);
        fd_ = -1;
        return error_;
    }
    const std::string& path() const { return path_; }
    ~ReportFile() {
        if (fd_ >= 0) ::close(fd_);
    }

private:
    int fd_ = -1;
    std::string path_, error_;
};

// Temporary files of the atomic writer that a killed run left in the output folder: those
// older than this are removed by the next run (a younger one may belong to a run at work now).
constexpr auto kStaleTemporaryAge = std::chrono::minutes(10);

std::size_t removeStaleTemporaries(const fs::path& folder) {
    std::size_t removed = 0;
    std::error_code ec;
    const auto now = fs::file_time_type::clock::now();
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code e;
        if (!it->is_regular_file(e) || it->is_symlink(e) || !imaging::isAtomicWriteTemporary(it->path())) continue;
        const auto written = it->last_write_time(e);
        if (e || now - written < kStaleTemporaryAge) continue;
        if (fs::remove(it->path(), e)) ++removed;
    }
    return removed;
}

// Totals shared by the workers, the progress line and the summary.
struct Tally {
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t done = 0, failed = 0, skipped = 0;
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
    ReportFile report;
    if (a.has("report")) report.open(a.text("report"));
    if (const std::size_t stale = removeStaleTemporaries(outFolder); stale > 0)
        std::cerr << "kalmira-cli: removed " << stale << " temporary file" << (stale == 1 ? "" : "s")
                  << " left in " << outFolder.string() << " by an interrupted run\n";

    const BatchPlan plan = planBatch(a.positional, outFolder);
    const std::vector<std::size_t> mine = shardPositions(plan.inputs.size(), shardK, shardM);
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    catchInterrupts();

    Tally tally;
    MemoryGate memory(batchMemoryCapacity());
    std::atomic<std::size_t> next{0};
    std::atomic<int> running{0};
    const Clock::time_point start = Clock::now();
    auto work = [&] {
        // Each job counts among the engine's threads at work, so its inner parallel loops take
        // only the cores the other jobs leave free instead of starting helpers beside them.
        const imaging::WorkerThreadScope atWork;
        // A long read (a progressive JPEG of many scans) stops as soon as the batch is asked to.
        imaging::setStopFlag(&interrupted);
        while (!interrupted.load()) {
            const std::size_t n = next.fetch_add(1);
            if (n >= mine.size()) break;
            const BatchInput& input = plan.inputs[mine[n]];
            const Outcome o = processOne(input, plan, reading.profile, encoding, memory);
            const std::string line = reportLine(input, o);
            std::lock_guard lock(tally.mutex);
            if (o.skipped) {
                ++tally.skipped;
                std::cerr << (terminal ? "\r\033[K" : "") << "kalmira-cli: " << input.file.string() << ": skipped: " << o.error
                          << '\n';
            }
            ++tally.done;
            if (o.skipped) {
            } else if (o.ok) {
                // Before and after of the files written, so a failure does not count as saved.
                tally.bytesIn += o.bytesIn;
                tally.bytesOut += o.bytesOut;
            } else {
                ++tally.failed;
                std::cerr << (terminal ? "\r\033[K" : "") << "kalmira-cli: " << input.file.string() << ": " << o.error << '\n';
            }
            report.write(line);
            tally.changed.notify_all();
        }
        std::lock_guard lock(tally.mutex);
        --running;
        tally.changed.notify_all();
    };
    std::vector<std::thread> workers;
    const int threads = std::min<int>(jobs, static_cast<int>(std::max<std::size_t>(1, mine.size())));
    running = threads;
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
    // After Ctrl+C or TERM the files in work finish or stop; one that neither does within two
    // seconds (a reader that cannot be stopped) is abandoned: its output never appears, since
    // only a finished file is renamed into place.
    bool abandoned = false;
    if (interrupted.load()) {
        std::unique_lock lock(tally.mutex);
        abandoned = !tally.changed.wait_for(lock, std::chrono::seconds(2), [&] { return running.load() == 0; });
    }
    for (std::thread& t : workers) abandoned ? t.detach() : t.join();
    if (terminal) std::cerr << "\r\033[K";

    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double saving = tally.bytesIn > 0 ? 100.0 * (1.0 - static_cast<double>(tally.bytesOut) / static_cast<double>(tally.bytesIn)) : 0;
    std::lock_guard lock(tally.mutex);
    out << "files: " << mine.size() << '\n'
        << "written: " << tally.done - tally.failed - tally.skipped << '\n'
        << "failed: " << tally.failed << '\n'
        << "skipped: " << tally.skipped << '\n'
        << "bytes_in: " << tally.bytesIn << '\n'
        << "bytes_out: " << tally.bytesOut << '\n'
        << "saving: " << fixed(saving, 1) << "%\n"
        << "seconds: " << fixed(seconds, 1) << '\n';
    const std::string reportError = report.close();
    if (!reportError.empty())
        std::cerr << "kalmira-cli: cannot write the report " << report.path() << ": " << reportError << '\n';
    if (interrupted.load()) {
        out << "interrupted: " << mine.size() - tally.done << " files not started\n";
        if (abandoned) {
            // Workers still in a reader hold the engine; the process ends without waiting for them.
            out.flush();
            std::cout.flush();
            std::cerr.flush();
            std::_Exit(130);
        }
        return 130;
    }
    return tally.failed > 0 || !reportError.empty() ? 1 : 0;
}

}  // namespace kalmira::cli
