#pragma once
// Dithering: the error-diffusion kernels with their published weights, the buffer that
// carries the error forward, and the ordered (Bayer) threshold matrix.

#include <span>
#include <vector>

namespace imaging::color {

// One share of a pixel's error: `dx` columns ahead in the direction of travel (negative =
// behind), `dy` rows down, `weight` / divisor of the error.
struct DiffusionTap {
    int dx, dy, weight;
};
struct DiffusionKernel {
    std::span<const DiffusionTap> taps;
    int divisor;
    int rows() const;    // 1 + the largest dy
    int reach() const;   // the largest |dx|
};

// The kernel of an error-diffusion dither code (1..6), nullptr for any other code.
const DiffusionKernel* diffusionKernel(int ditherCode);

// Error waiting for the pixels of the current row and the rows below it, per channel.
// Rows are walked in serpentine order; `direction` (+1 or -1) mirrors the kernel so the error
// always flows ahead of the scan and no row drifts in one direction.
class ErrorBuffer {
public:
    ErrorBuffer(int width, const DiffusionKernel& kernel);
    // Error accumulated so far for pixel x of the current row (3 channels).
    const float* current(int x) const { return row(0) + 3 * (x + pad_); }
    // Spreads `error` (3 channels) of pixel x of the current row onto its neighbours.
    void spread(int x, int direction, const float* error);
    // Error queued for pixel x, `dy` rows below the current one (0 = current row).
    const float* pending(int x, int dy) const { return row(dy) + 3 * (x + pad_); }
    // Moves on to the next row.
    void advance();

private:
    const float* row(int dy) const { return rows_.data() + rowIndex(dy) * rowSize_; }
    float* row(int dy) { return rows_.data() + rowIndex(dy) * rowSize_; }
    std::size_t rowIndex(int dy) const { return static_cast<std::size_t>((first_ + dy) % rowCount_); }

    const DiffusionKernel& kernel_;
    int pad_;
    int rowCount_;
    std::size_t rowSize_;
    int first_ = 0;
    std::vector<float> rows_;
    std::vector<float> weights_;  // weight / divisor per tap
};

// The 8 x 8 Bayer matrix: values 0..63, each threshold level visited once, neighbours far
// apart in value so that flat areas turn into fine even patterns.
int bayer8(int x, int y);

}  // namespace imaging::color
