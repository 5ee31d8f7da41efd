#include "codecs/gif_writer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/error.h"
#include "core/parallel.h"

namespace imaging::gif {
namespace {

constexpr const char* kWhere = "GIF";
constexpr int kMaxCodes = 4096;  // 12-bit codes
// How one trial renews the table: the Watch policy compares windows of `window` pixels and
// clears once one costs `worse` times the best.
struct Trial {
    TablePolicy policy;
    int window;
    double worse;
};
// Found on the photographs, screenshots and flat graphic of the benchmarks: clearing at once
// wins on screenshots, a short window on photographs at many colours, a longer one at few,
// the longest on flat graphics. Never clearing, or a window of 1024 pixels, won by under 1.5 %
// where they won at all, and each trial costs a pass over the picture.
constexpr Trial kTrials[] = {{TablePolicy::ClearWhenFull, 0, 0},
                             {TablePolicy::Watch, 4096, 1.05},
                             {TablePolicy::Watch, 16384, 1.05},
                             {TablePolicy::Watch, 65536, 1.1}};

// A table that filled this often in the first round belongs to a photograph.
constexpr int kOftenFilled = 32;

constexpr int kPassStart[4] = {0, 4, 2, 1};
constexpr int kPassStep[4] = {8, 8, 4, 2};

// Codes packed least significant bit first, as GIF stores them, into a buffer that grows by
// doubling; whole 32-bit words go out at once.
class BitPacker {
public:
    BitPacker() : bytes_(1 << 16) {}
    void put(unsigned code, int width) {
        acc_ |= static_cast<std::uint64_t>(code) << count_;
        count_ += width;
        if (count_ >= 32) {
            if (size_ + 4 > bytes_.size()) bytes_.resize(bytes_.size() * 2);
            for (int k = 0; k < 4; ++k) bytes_[size_ + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(acc_ >> (8 * k));
            size_ += 4;
            acc_ >>= 32;
            count_ -= 32;
        }
    }
    std::vector<std::uint8_t> finish() {
        bytes_.resize(size_);
        for (; count_ > 0; count_ -= 8, acc_ >>= 8) bytes_.push_back(static_cast<std::uint8_t>(acc_));
        acc_ = 0, count_ = 0, size_ = 0;
        return std::move(bytes_);
    }
    std::uint64_t bits() const { return size_ * 8u + static_cast<unsigned>(count_); }

private:
    std::vector<std::uint8_t> bytes_;
    std::size_t size_ = 0;
    std::uint64_t acc_ = 0;
    int count_ = 0;
};

// The LZW coder. Strings are found in a small open-addressing table keyed by (prefix code,
// pixel), which a clear empties quickly, rather than in one of 4096 x 256 entries.
class LzwCoder {
public:
    LzwCoder(int minCodeSize, TablePolicy policy, int window, double worse)
        : min_(minCodeSize), clear_(1 << minCodeSize), policy_(policy), window_(window), worse_(worse), slots_(kSlots) {
        reset();
        out_.put(static_cast<unsigned>(clear_), width_);
    }

    void add(const std::uint8_t* pixels, std::size_t n) {
        std::size_t i = 0;
        if (prefix_ < 0 && n > 0) prefix_ = pixels[i++];
        // The state lives in locals while a row is coded: the compiler need not reload it
        // after every byte stored.
        std::uint32_t prefix = static_cast<std::uint32_t>(prefix_);
        std::uint32_t* const slots = slots_.data();
        for (; i < n; ++i) {
            const std::uint32_t p = pixels[i];
            if (next_ == kMaxCodes && policy_ == TablePolicy::Watch && ++windowPixels_ == window_) {
                prefix_ = static_cast<int>(prefix);
                watch();
                if (prefix_ < 0) {
                    prefix = p;
                    prefix_ = static_cast<int>(p);
                    return add(pixels + i + 1, n - i - 1);
                }
            }
            const std::uint32_t key = prefix << 8 | p;
            std::size_t h = ((key + 1) * 2654435761u) >> (32 - kSlotBits);
            while (slots[h] != kEmpty && (slots[h] >> 12) != key) h = (h + 1) & (kSlots - 1);
            if (slots[h] != kEmpty) {
                prefix = slots[h] & 0xFFF;
                continue;
            }
            out_.put(prefix, width_);
            if (next_ < kMaxCodes) {
                slots[h] = key << 12 | static_cast<std::uint32_t>(next_);
                grow();
                if (next_ == kMaxCodes) {
                    ++fills_;
                    windowPixels_ = 0;
                    windowStart_ = out_.bits();
                    bestRate_ = 1e30;
                    if (policy_ == TablePolicy::ClearWhenFull) {
                        out_.put(static_cast<unsigned>(clear_), width_);
                        reset();
                        prefix_ = static_cast<int>(p);
                        return add(pixels + i + 1, n - i - 1);
                    }
                }
            }
            prefix = p;
        }
        prefix_ = static_cast<int>(prefix);
    }

    // Code bits written so far.
    std::uint64_t bits() const { return out_.bits(); }
    // How many times the table has filled up.
    int fills() const { return fills_; }

    std::vector<std::uint8_t> finish() {
        if (prefix_ >= 0) {
            out_.put(static_cast<unsigned>(prefix_), width_);
            // The reader adds an entry after this code as after any other, and may widen its
            // codes before it reads the end code.
            if (next_ < kMaxCodes) grow();
        }
        out_.put(static_cast<unsigned>(clear_ + 1), width_);
        return out_.finish();
    }

private:
    // 8192 slots of 4 bytes (at most half of them full) stay in the processor's first cache.
    static constexpr int kSlotBits = 13;
    static constexpr std::size_t kSlots = std::size_t{1} << kSlotBits;
    // A slot holds (prefix << 8 | pixel) << 12 | code. All ones would be prefix 4095 extended,
    // which is never stored: code 4095 is the last the table takes.
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;

    // With a full table, the code bits per window of pixels; once a window costs clearly more
    // than the best since the table filled, the picture has moved on from what the table knows.
    void watch() {
        const double rate = static_cast<double>(out_.bits() - windowStart_);
        windowPixels_ = 0;
        windowStart_ = out_.bits();
        if (rate > bestRate_ * worse_) {
            if (prefix_ >= 0) {
                out_.put(static_cast<unsigned>(prefix_), width_);
                prefix_ = -1;
            }
            out_.put(static_cast<unsigned>(clear_), width_);
            reset();
        } else {
            bestRate_ = std::min(bestRate_, rate);
        }
    }

    void grow() {
        ++next_;
        if (next_ > (1 << width_) && width_ < 12) ++width_;
    }
    void reset() {
        std::fill(slots_.begin(), slots_.end(), kEmpty);
        next_ = clear_ + 2;
        width_ = min_ + 1;
    }

    int min_, clear_;
    TablePolicy policy_;
    int window_;
    double worse_;  // a window clearly worse than the best costs this many times as much
    int fills_ = 0;
    int windowPixels_ = 0;
    std::uint64_t windowStart_ = 0;
    double bestRate_ = 1e30;
    int next_ = 0, width_ = 0;
    int prefix_ = -1;
    std::vector<std::uint32_t> slots_;
    BitPacker out_;
};

// The rows in the order they are coded.
std::vector<int> rowOrder(int height, bool interlaced) {
    std::vector<int> rows;
    rows.reserve(static_cast<std::size_t>(height));
    if (interlaced) {
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kPassStart[pass]; y < height; y += kPassStep[pass]) rows.push_back(y);
    } else {
        for (int y = 0; y < height; ++y) rows.push_back(y);
    }
    return rows;
}

std::vector<std::uint8_t> lzwCodes(const Bitmap& bitmap, const std::vector<int>& rows, int minCodeSize,
                                   const Trial& trial, int* fills = nullptr) {
    LzwCoder coder(minCodeSize, trial.policy, trial.window, trial.worse);
    for (int y : rows) coder.add(bitmap.row(y), static_cast<std::size_t>(bitmap.width()));
    if (fills) *fills = coder.fills();
    return coder.finish();
}

void putLe16(Bytes& out, int v) {
    out.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

int log2Of(int entries) {
    int bits = 1;
    while ((1 << bits) < entries) ++bits;
    return bits;
}

void putTable(Bytes& out, const Bitmap& bitmap, int entries) {
    for (int i = 0; i < entries; ++i) {
        const Rgb c = static_cast<std::size_t>(i) < bitmap.palette().size() ? bitmap.palette()[i] : 0;
        out.push_back(static_cast<std::uint8_t>(redOf(c)));
        out.push_back(static_cast<std::uint8_t>(greenOf(c)));
        out.push_back(static_cast<std::uint8_t>(blueOf(c)));
    }
}

std::vector<Rgb> fullPalette(const Bitmap& bitmap, int bits) {
    std::vector<Rgb> p(std::size_t{1} << bits, 0);
    for (std::size_t i = 0; i < p.size() && i < bitmap.palette().size(); ++i) p[i] = bitmap.palette()[i] & 0xFFFFFF;
    return p;
}

void markUsed(const Bitmap& bitmap, std::vector<bool>& used) {
    std::uint8_t seen[256] = {};
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* row = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x) seen[row[x]] = 1;
    }
    for (std::size_t i = 0; i < used.size(); ++i) used[i] = used[i] || seen[i];
}

// The depth extension costs these bytes; a smaller table must save more than that.
constexpr int kDepthExtensionBytes = 3 + 11 + 2 + 1;

int worthwhileEntries(const std::vector<Rgb>& palette, int bits, const std::vector<bool>& used) {
    const int entries = tableEntries(palette, bits, used);
    return 3 * ((1 << bits) - entries) > kDepthExtensionBytes ? entries : 1 << bits;
}

}  // namespace

int tableEntries(const std::vector<Rgb>& palette, int bits, const std::vector<bool>& used) {
    const int full = 1 << bits;
    int highest = 0;
    for (int i = 0; i < full && static_cast<std::size_t>(i) < used.size(); ++i)
        if (used[i]) highest = i;
    int entries = 2;
    while (entries <= highest) entries <<= 1;
    if (entries >= full) return full;
    for (int i = entries; i < full; ++i)
        if (palette[static_cast<std::size_t>(i)] != palette[static_cast<std::size_t>(entries - 1)]) return full;
    return entries;
}

Bytes lzwImageData(const Bitmap& bitmap, int minCodeSize, bool interlaced, TablePolicy policy) {
    // Photographs fill the table many times over and gain from clearing it once the full table
    // codes a window of pixels clearly worse than the best window since it filled; flat
    // pictures repeat what the first table learnt and gain from keeping it longer. The trials
    // run side by side and the shortest wins (ties to the earlier, so the result does not
    // depend on the cores). Every code stands for at least one pixel, so a picture of fewer
    // pixels than the table has free codes never fills it and codes alike every way.
    const std::size_t pixels = static_cast<std::size_t>(bitmap.width()) * static_cast<std::size_t>(bitmap.height());
    std::vector<Trial> trials;
    if (policy != TablePolicy::Smallest) trials.push_back(policy == TablePolicy::Watch ? kTrials[1] : Trial{policy, 0, 0});
    else if (pixels <= static_cast<std::size_t>(kMaxCodes - (1 << minCodeSize) - 2)) trials.push_back(kTrials[0]);
    else trials.assign(std::begin(kTrials), std::end(kTrials));
    const std::vector<int> rows = rowOrder(bitmap.height(), interlaced);
    // Two rounds of two trials (one round on two cores each). A picture whose table filled
    // many times in the first round is a photograph: the longest window never won on one, and
    // the middle one only at few colours, so it skips what cannot win.
    std::vector<std::vector<std::uint8_t>> results(trials.size());
    std::vector<int> fills(trials.size(), 0);
    const std::size_t first = std::min<std::size_t>(2, trials.size());
    parallelFor(first, [&](std::size_t i) { results[i] = lzwCodes(bitmap, rows, minCodeSize, trials[i], &fills[i]); });
    std::vector<std::size_t> more;
    for (std::size_t i = first; i < trials.size(); ++i)
        if (fills[0] < kOftenFilled || (i == 2 && minCodeSize <= 4)) more.push_back(i);
    parallelFor(more.size(), [&](std::size_t k) { results[more[k]] = lzwCodes(bitmap, rows, minCodeSize, trials[more[k]]); });
    std::size_t best = 0;
    for (std::size_t i = 1; i < results.size(); ++i)
        if (!results[i].empty() && results[i].size() < results[best].size()) best = i;
    const std::vector<std::uint8_t>& codes = results[best];
    Bytes out;
    out.reserve(codes.size() + codes.size() / 255 + 3);
    out.push_back(static_cast<std::uint8_t>(minCodeSize));
    for (std::size_t pos = 0; pos < codes.size(); pos += 255) {
        const std::size_t n = std::min<std::size_t>(255, codes.size() - pos);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), codes.begin() + static_cast<std::ptrdiff_t>(pos),
                   codes.begin() + static_cast<std::ptrdiff_t>(pos + n));
    }
    out.push_back(0);
    return out;
}

Bytes writeFile(const FileInput& input) {
    if (input.frames.empty()) fail(ErrorCode::NoImage, kWhere, "there is no image to save");
    const std::size_t count = input.frames.size();

    // Frames with the first frame's palette at its depth share the global table, which then
    // holds every entry any of them uses.
    const FrameInput& first = input.frames.front();
    const std::vector<Rgb> globalPalette = fullPalette(*first.bitmap, first.bits);
    std::vector<bool> shares(count, false), globalUsed(static_cast<std::size_t>(1) << first.bits, false);
    for (std::size_t i = 0; i < count; ++i) {
        const FrameInput& f = input.frames[i];
        shares[i] = i == 0 || (f.bits == first.bits && fullPalette(*f.bitmap, f.bits) == globalPalette);
        if (!shares[i]) continue;
        markUsed(*f.bitmap, globalUsed);
        if (f.transparent >= 0) globalUsed[static_cast<std::size_t>(f.transparent)] = true;
    }
    if (input.animation) globalUsed[static_cast<std::size_t>(input.background)] = true;
    const int globalEntries = worthwhileEntries(globalPalette, first.bits, globalUsed);
    const int globalBits = log2Of(globalEntries);

    Bytes out;
    out.reserve(static_cast<std::size_t>(first.bitmap->width()) * first.bitmap->height() / 2 + 1024);
    auto checkLimit = [&] {
        if (input.sizeLimit > 0 && out.size() > input.sizeLimit)
            fail(ErrorCode::SizeLimit, kWhere, "the encoding grew beyond " + std::to_string(input.sizeLimit) + " bytes");
    };
    const char header[] = "GIF89a";
    out.insert(out.end(), header, header + 6);
    putLe16(out, input.screenWidth);
    putLe16(out, input.screenHeight);
    // Global table present; the colour resolution field carries the depth saved at.
    out.push_back(static_cast<std::uint8_t>(0x80 | ((first.bits - 1) << 4) | (globalBits - 1)));
    out.push_back(static_cast<std::uint8_t>(input.animation ? input.background : 0));
    out.push_back(0);
    putTable(out, *first.bitmap, globalEntries);

    if (input.animation) {
        const std::uint8_t loop[] = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1};
        out.insert(out.end(), loop, loop + sizeof loop);
        putLe16(out, input.loopCount & 0xFFFF);
        out.push_back(0);
    }

    for (std::size_t i = 0; i < count; ++i) {
        const FrameInput& f = input.frames[i];
        const Bitmap& bitmap = *f.bitmap;
        int entries = globalEntries;
        if (!shares[i]) {
            std::vector<bool> used(std::size_t{1} << f.bits, false);
            markUsed(bitmap, used);
            if (f.transparent >= 0) used[static_cast<std::size_t>(f.transparent)] = true;
            entries = worthwhileEntries(fullPalette(bitmap, f.bits), f.bits, used);
        }
        const int tableBits = log2Of(entries);
        if (entries < (1 << f.bits)) {
            out.push_back(0x21);
            out.push_back(0xFF);
            out.push_back(11);
            out.insert(out.end(), kDepthExtension, kDepthExtension + 11);
            out.push_back(1);
            out.push_back(static_cast<std::uint8_t>(f.bits));
            out.push_back(0);
        }
        if (input.animation || f.transparent >= 0) {
            const int delay = std::clamp(f.delay, 0, 65535);
            out.push_back(0x21);
            out.push_back(0xF9);
            out.push_back(4);
            out.push_back(static_cast<std::uint8_t>(((input.animation ? f.disposal & 7 : 0) << 2) |
                                                    (f.transparent >= 0 ? 1 : 0)));
            putLe16(out, delay);
            out.push_back(static_cast<std::uint8_t>(f.transparent >= 0 ? f.transparent : 0));
            out.push_back(0);
        }
        out.push_back(0x2C);
        putLe16(out, f.left);
        putLe16(out, f.top);
        putLe16(out, bitmap.width());
        putLe16(out, bitmap.height());
        const bool local = !shares[i];
        out.push_back(static_cast<std::uint8_t>((local ? 0x80 | (tableBits - 1) : 0) | (input.interlaced ? 0x40 : 0)));
        if (local) putTable(out, bitmap, entries);
        checkLimit();
        const Bytes data = lzwImageData(bitmap, std::max(2, tableBits), input.interlaced);
        out.insert(out.end(), data.begin(), data.end());
        checkLimit();
    }
    out.push_back(0x3B);
    checkLimit();
    return out;
}

}  // namespace imaging::gif
