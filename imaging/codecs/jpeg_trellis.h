#pragma once
// The parts of the size-optimising JPEG writer that decide the coefficients: the quantisation
// tables and the rate-distortion (trellis) choice of each block's AC coefficients.
//
// Trellis quantisation: a coefficient rounded to m may be coded as m - 1 or, where the
// Huffman codes make it worth it, as 0; ending a block early (an end-of-block code instead of
// the last few small coefficients, down to all 63) is one more choice. For each block a dynamic
// programme over the zig-zag positions finds the choice with the least distortion + lambda x
// bits, where bits come from the code lengths the picture's own symbol statistics give and the
// distortion of a coefficient is measured in quantiser steps, so the table's weighting of the
// frequencies carries over to the error the trellis accepts.

#include <cstdint>

namespace imaging::jpeg {

// Natural (row-major) index of zig-zag position k.
extern const int kZigzag[64];

// The encoder's choices, fixed by measurement (bench/jpeg_tuning.cpp: bytes at equal SSIM against
// libjpeg's plain encoder at quality 75 and 90 on the photographs of bench/pictures, halved so
// their earlier JPEG grid does not line up). Table set 3 (the eye's sensitivity at 60 pixels
// per degree, steps inversely proportional to it) with lambda 0.07-0.10 was the best or near
// it on all three pictures (0.85-0.95x). Sets for closer viewing (30 and 45 pixels per degree)
// won more on sand and grass (0.80x) but lost on a smooth sky (1.0-1.1x); the standard tables
// with trellis alone won on the sky (0.88x) but gave only 0.94-0.98x elsewhere. PSNR over RGB
// at equal SSIM stays within -0.9..+0.6 dB of the plain encoder's, so colour is not what pays
// for the bytes.
struct EncoderTuning {
    int tableSet = 3;        // 0 the example tables of the JPEG standard, 1 and up ours (see baseTable)
    float lambda = 0.08f;    // distortion in squared quantiser steps one bit is worth
    int trellisRounds = 1;   // 0 = plain rounding as libjpeg does it
    bool chooseScanSplit = true;
};

// The 64 entries (natural order) of quantisation table `which` (0 luminance, 1 chrominance)
// of table set `set` at quality 50; libjpeg's quality scaling takes them to any quality.
const unsigned int* baseTable(int set, int which);
int tableSetCount();

// Code lengths of the baseline Huffman symbols (run << 4 | size) of one component class, as
// the picture's statistics give them.
struct RateModel {
    float acBits[256];
};

// Counts the AC symbols of one quantised block (natural order) into `counts`.
void countSymbols(const std::int16_t* block, std::uint32_t (&counts)[256]);
// -log2 of each symbol's share, bounded to the lengths a Huffman table can give.
RateModel rateFromCounts(const std::uint32_t (&counts)[256]);

// Replaces the AC coefficients of `out` (natural order; out[0] is left alone), which hold the
// plainly rounded quantisation of the raw transform output `raw` (scaled by 8, natural order),
// with the trellis choice; `inverseStep[i]` is 1 / (8 x quantiser step i). A coefficient that
// rounds to zero stays zero.
void trellisBlock(const std::int16_t* raw, std::int16_t* out, const float* inverseStep, const RateModel& rate,
                  float lambda);

}  // namespace imaging::jpeg
