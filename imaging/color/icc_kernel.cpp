#include "color/icc_kernel.h"

#include <algorithm>
#include <atomic>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KALMIRA_WIDE_KERNEL 1
#endif

namespace imaging::icc {

namespace {
std::atomic<bool> wideEnabled{true};
}  // namespace

void convertRowPortable(const KernelTables& f, std::uint8_t* p, int width, int step) {
    const std::uint8_t* encode = f.encode.data();
    auto level = [encode](std::int32_t v) {
        v = (v + (1 << (kMatrixBits - 1))) >> kMatrixBits;
        return encode[std::min(std::max(v, 0), kEncodeSteps)];
    };
    for (int x = 0; x < width; ++x, p += step) {
        const std::int32_t r = f.linear[0][p[0]], g = f.linear[1][p[1]], b = f.linear[2][p[2]];
        p[0] = level(f.matrix[0][0] * r + f.matrix[0][1] * g + f.matrix[0][2] * b);
        p[1] = level(f.matrix[1][0] * r + f.matrix[1][1] * g + f.matrix[1][2] * b);
        p[2] = level(f.matrix[2][0] * r + f.matrix[2][1] * g + f.matrix[2][2] * b);
    }
}

bool prepareWide(KernelTables& f) {
    f.wide = false;
    if (f.encode.size() != static_cast<std::size_t>(kEncodeSteps) + 1) return false;
    for (int i = 1; i <= kEncodeSteps; ++i)
        if (f.encode[static_cast<std::size_t>(i)] < f.encode[static_cast<std::size_t>(i - 1)]) return false;
    for (const auto& row : f.matrix)
        for (std::int32_t m : row)
            if (m < -32767 || m > 32767) return false;
    for (int c = 0; c < 3; ++c)
        for (int v = 0; v < 256; ++v) {
            if (f.linear[c][v] < 0 || f.linear[c][v] > kEncodeSteps) return false;
            f.linear16[c][v] = static_cast<std::int16_t>(f.linear[c][v]);
        }
    // threshold[k]: the least linear value whose level is at least k. Since the encoding never
    // falls, level(v) = the largest k with threshold[k] <= v, which the search finds.
    std::int16_t threshold[256];
    threshold[0] = 0;
    for (int k = 1; k < 256; ++k) {
        const auto first = std::lower_bound(f.encode.begin(), f.encode.end(), static_cast<std::uint8_t>(k));
        threshold[k] = first == f.encode.end() ? std::int16_t{0x7FFF} : static_cast<std::int16_t>(first - f.encode.begin());
    }
    f.top = threshold[128];
    // Step s (0..6) adds bit b = 64 >> s to a level that is a multiple of 2b; its candidates
    // are 2b * i + b, looked up by i = level / 2b.
    for (int s = 0; s < 7; ++s) {
        const int bit = 64 >> s;
        for (int i = 0; i < 128; ++i) {
            const int k = 2 * bit * i + bit;
            f.search[s][i] = k < 256 ? threshold[k] : std::int16_t{0x7FFF};
        }
    }
    f.wide = true;
    return true;
}

#ifdef KALMIRA_WIDE_KERNEL
namespace {

#define KALMIRA_WIDE __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// Byte-permute patterns: words of one channel out of 32 interleaved pixels, and back.
struct Patterns {
    alignas(64) std::uint8_t in3[3][64];   // RGB: channel c of pixel k to word k's low byte
    alignas(64) std::uint8_t in4[3][64];   // RGBA
    alignas(64) std::uint8_t out3[2][64];  // RGB bytes 0..63 and 64..95 from (RG words, B words)
    alignas(64) std::uint8_t out4[64];     // RGBA, 16 pixels of one half
    Patterns() {
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 32; ++k) {
                in3[c][2 * k] = static_cast<std::uint8_t>(3 * k + c), in3[c][2 * k + 1] = 0;
                in4[c][2 * k] = static_cast<std::uint8_t>(4 * k + c), in4[c][2 * k + 1] = 0;
            }
        // Source bytes: 0..63 the words R | G << 8, 64..127 the words B.
        auto source = [](int k, int c) { return static_cast<std::uint8_t>(c == 2 ? 64 + 2 * k : 2 * k + c); };
        for (int half = 0; half < 2; ++half)
            for (int j = 0; j < 64; ++j) {
                const int byte = 64 * half + j;
                out3[half][j] = byte < 96 ? source(byte / 3, byte % 3) : 0;
            }
        for (int j = 0; j < 64; ++j) out4[j] = (j & 3) == 3 ? 0 : source(j / 4, j & 3);
    }
};

const Patterns& patterns() {
    static const Patterns p;
    return p;
}

// A 256-entry table of words, indexed by words 0..255: four 64-entry permutes, chosen by bits 6 and 7.
KALMIRA_WIDE inline __m512i lookup256(__m512i index, const std::int16_t* table) {
    const __m512i a = _mm512_permutex2var_epi16(_mm512_load_si512(table), index, _mm512_load_si512(table + 32));
    const __m512i b = _mm512_permutex2var_epi16(_mm512_load_si512(table + 64), index, _mm512_load_si512(table + 96));
    const __m512i c = _mm512_permutex2var_epi16(_mm512_load_si512(table + 128), index, _mm512_load_si512(table + 160));
    const __m512i d = _mm512_permutex2var_epi16(_mm512_load_si512(table + 192), index, _mm512_load_si512(table + 224));
    const __mmask32 bit6 = _mm512_test_epi16_mask(index, _mm512_set1_epi16(64));
    const __mmask32 bit7 = _mm512_test_epi16_mask(index, _mm512_set1_epi16(128));
    const __m512i low = _mm512_mask_mov_epi16(a, bit6, b);
    const __m512i high = _mm512_mask_mov_epi16(c, bit6, d);
    return _mm512_mask_mov_epi16(low, bit7, high);
}

// Linear words 0..kEncodeSteps to sRGB levels 0..255 in words, by binary search.
KALMIRA_WIDE inline __m512i encode(__m512i v, const KernelTables& f) {
    __m512i level = _mm512_maskz_mov_epi16(_mm512_cmpge_epi16_mask(v, _mm512_set1_epi16(f.top)), _mm512_set1_epi16(128));
    // Steps of 64 .. 4: at most 32 candidates, one permute.
    for (int s = 0; s < 5; ++s) {
        const int bit = 64 >> s;
        const __m512i index = _mm512_srl_epi16(level, _mm_cvtsi32_si128(__builtin_ctz(2 * bit)));
        const __m512i t = _mm512_permutexvar_epi16(index, _mm512_load_si512(f.search[s]));
        level = _mm512_mask_add_epi16(level, _mm512_cmpge_epi16_mask(v, t), level, _mm512_set1_epi16(static_cast<short>(bit)));
    }
    {  // Step of 2: 64 candidates.
        const __m512i index = _mm512_srli_epi16(level, 2);
        const __m512i t = _mm512_permutex2var_epi16(_mm512_load_si512(f.search[5]), index, _mm512_load_si512(f.search[5] + 32));
        level = _mm512_mask_add_epi16(level, _mm512_cmpge_epi16_mask(v, t), level, _mm512_set1_epi16(2));
    }
    {  // Step of 1: 128 candidates.
        const __m512i index = _mm512_srli_epi16(level, 1);
        const std::int16_t* s6 = f.search[6];
        const __m512i low = _mm512_permutex2var_epi16(_mm512_load_si512(s6), index, _mm512_load_si512(s6 + 32));
        const __m512i high = _mm512_permutex2var_epi16(_mm512_load_si512(s6 + 64), index, _mm512_load_si512(s6 + 96));
        const __m512i t = _mm512_mask_mov_epi16(low, _mm512_test_epi16_mask(index, _mm512_set1_epi16(64)), high);
        level = _mm512_mask_add_epi16(level, _mm512_cmpge_epi16_mask(v, t), level, _mm512_set1_epi16(1));
    }
    return level;
}

// One output channel: (m0 r + m1 g + m2 b + rounding) >> bits, held to 0..kEncodeSteps, as words.
KALMIRA_WIDE inline __m512i mix(__m512i rgLow, __m512i rgHigh, __m512i b1Low, __m512i b1High, const std::int32_t* m) {
    const __m512i rg = _mm512_set1_epi32(static_cast<int>((static_cast<std::uint32_t>(m[1]) << 16) | (static_cast<std::uint32_t>(m[0]) & 0xFFFF)));
    const __m512i b1 = _mm512_set1_epi32(static_cast<int>((std::uint32_t{1} << (kMatrixBits - 1) << 16) | (static_cast<std::uint32_t>(m[2]) & 0xFFFF)));
    const __m512i zero = _mm512_setzero_si512(), most = _mm512_set1_epi32(kEncodeSteps);
    __m512i low = _mm512_add_epi32(_mm512_madd_epi16(rgLow, rg), _mm512_madd_epi16(b1Low, b1));
    __m512i high = _mm512_add_epi32(_mm512_madd_epi16(rgHigh, rg), _mm512_madd_epi16(b1High, b1));
    low = _mm512_min_epi32(_mm512_max_epi32(_mm512_srai_epi32(low, kMatrixBits), zero), most);
    high = _mm512_min_epi32(_mm512_max_epi32(_mm512_srai_epi32(high, kMatrixBits), zero), most);
    return _mm512_packs_epi32(low, high);  // both halves in lane order: the pixels' order again
}

// 32 pixels at p.
KALMIRA_WIDE void convert32(const KernelTables& f, std::uint8_t* p, int step) {
    const Patterns& pat = patterns();
    const __m512i first = _mm512_loadu_si512(p);
    const __m512i second = step == 3 ? _mm512_maskz_loadu_epi8(0xFFFFFFFFULL, p + 64) : _mm512_loadu_si512(p + 64);
    const __mmask64 even = 0x5555555555555555ULL;
    __m512i linear[3];
    for (int c = 0; c < 3; ++c) {
        const __m512i pattern = _mm512_load_si512(step == 3 ? pat.in3[c] : pat.in4[c]);
        linear[c] = lookup256(_mm512_maskz_permutex2var_epi8(even, first, pattern, second), f.linear16[c]);
    }
    const __m512i ones = _mm512_set1_epi16(1);
    const __m512i rgLow = _mm512_unpacklo_epi16(linear[0], linear[1]), rgHigh = _mm512_unpackhi_epi16(linear[0], linear[1]);
    const __m512i b1Low = _mm512_unpacklo_epi16(linear[2], ones), b1High = _mm512_unpackhi_epi16(linear[2], ones);
    __m512i level[3];
    for (int c = 0; c < 3; ++c) level[c] = encode(mix(rgLow, rgHigh, b1Low, b1High, f.matrix[c]), f);
    const __m512i rg = _mm512_or_si512(level[0], _mm512_slli_epi16(level[1], 8));
    if (step == 3) {
        _mm512_storeu_si512(p, _mm512_permutex2var_epi8(rg, _mm512_load_si512(pat.out3[0]), level[2]));
        _mm512_mask_storeu_epi8(p + 64, 0xFFFFFFFFULL, _mm512_permutex2var_epi8(rg, _mm512_load_si512(pat.out3[1]), level[2]));
        return;
    }
    // RGBA: the same pattern serves both halves once the second half's words are moved down.
    const __mmask64 colour = 0x7777777777777777ULL;  // every byte but alpha
    const __m512i pattern = _mm512_load_si512(pat.out4);
    _mm512_mask_storeu_epi8(p, colour, _mm512_permutex2var_epi8(rg, pattern, level[2]));
    const __m512i down = _mm512_set_epi64(3, 2, 1, 0, 7, 6, 5, 4);  // 256-bit halves swapped
    _mm512_mask_storeu_epi8(p + 64, colour,
                            _mm512_permutex2var_epi8(_mm512_permutexvar_epi64(down, rg), pattern, _mm512_permutexvar_epi64(down, level[2])));
}

bool processorHasWide() {
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vbmi");
    return has;
}

}  // namespace

bool wideKernelAvailable() { return processorHasWide(); }

void convertRow(const KernelTables& f, std::uint8_t* p, int width, int step) {
    int x = 0;
    if (f.wide && wideEnabled.load(std::memory_order_relaxed) && processorHasWide())
        for (; x + 32 <= width; x += 32) convert32(f, p + static_cast<std::ptrdiff_t>(x) * step, step);
    convertRowPortable(f, p + static_cast<std::ptrdiff_t>(x) * step, width - x, step);
}

#else

bool wideKernelAvailable() { return false; }

void convertRow(const KernelTables& f, std::uint8_t* p, int width, int step) { convertRowPortable(f, p, width, step); }

#endif

void setWideKernelEnabled(bool enabled) { wideEnabled.store(enabled, std::memory_order_relaxed); }

}  // namespace imaging::icc
