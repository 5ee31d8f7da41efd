#pragma once
// The arithmetic of a conversion between two matrix-shaper RGB profiles, in integer tables:
// each channel's curve to linear light, a 3 x 3 matrix, sRGB's curve back to 8 bits. One row at
// a time, in place, over RGB or RGBA pixels (alpha left as it is).
//
// Two kernels give bit-identical results: a portable one, and a wide one for processors with
// 512-bit vectors and byte permutes that converts 32 pixels at a time without memory gathers
// (the curve tables live in registers, sRGB's curve is a binary search over its 255 thresholds).

#include <cstdint>
#include <vector>

namespace imaging::icc {

// Linear light runs over 0..kEncodeSteps; the matrix has kMatrixBits fraction bits.
inline constexpr int kEncodeSteps = 16384;
inline constexpr int kMatrixBits = 12;

struct KernelTables {
    std::int32_t linear[3][256];   // curve: 8-bit level -> linear 0..kEncodeSteps
    std::int32_t matrix[3][3];     // |entry| < 8 << kMatrixBits, so it fits 16 bits
    std::vector<std::uint8_t> encode;  // linear 0..kEncodeSteps -> sRGB level, non-decreasing

    // The wide kernel's form of the same tables (filled by prepareWide).
    alignas(64) std::int16_t linear16[3][256] = {};
    // Thresholds of the encoding: the least linear value of each level k, arranged by the binary
    // search's steps (step s looks at levels 2^(7-s) * (2i + 1)); 0x7FFF for a level never reached.
    alignas(64) std::int16_t search[7][128] = {};
    std::int16_t top = 0;          // the threshold of level 128 (the search's first step)
    bool wide = false;             // prepareWide succeeded
};

// Fills the wide kernel's tables; false (and the portable kernel serves) when `encode` is not
// non-decreasing or a matrix entry does not fit.
bool prepareWide(KernelTables& tables);

// Converts `width` pixels at `row` (`step` 3 or 4 bytes a pixel), with the wide kernel where the
// processor has it and the tables allow, else the portable one.
void convertRow(const KernelTables& tables, std::uint8_t* row, int width, int step);

// The portable kernel alone.
void convertRowPortable(const KernelTables& tables, std::uint8_t* row, int width, int step);

// Whether this processor runs the wide kernel; tests and benchmarks may turn it off to compare.
bool wideKernelAvailable();
void setWideKernelEnabled(bool enabled);

}  // namespace imaging::icc
