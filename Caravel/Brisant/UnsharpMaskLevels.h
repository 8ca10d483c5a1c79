#pragma once

// The blur sums of wide kernels by their weights' changes. Along a kernel row the
// weights fall off from the centre in steps: at large radii a row of 1,501 taps
// holds some hundred distinct weights. With w_D the weight at distance D from the
// row's centre (w_(h+1) = 0), the row's sum at a column is
//     sum over D of (w_D - w_(D+1)) * (the 2D + 1 samples around the column),
// and each such box is a difference of two prefix sums of the row. Modulo 2^32,
// where the taps' 32-bit row sums live, it is the same number, with one term per
// change instead of one per tap: the cost grows with the radius, not its square.
#include <cstdint>
#include <vector>

namespace unsharp {

struct LevelPlan {
    bool cheaper = false;             // at most half as many terms as taps: the sums take this form
    std::vector<uint32_t> rowStart;   // row r's terms are rowStart[r] .. rowStart[r + 1] - 1
    std::vector<int32_t> distance;    // a term's D
    std::vector<uint32_t> change;     // its w_D - w_(D+1), modulo 2^32
};

// The terms of the kernel's n rows (row r: 4 zero words, then n weights, read as
// the taps read them: the weight left of the centre for both sides).
void PlanLevels(const uint16_t* kernel, int32_t kernelStride, int32_t n, LevelPlan& plan);

// The prefix sums of a window row of `length` samples, each taken >> shift:
// prefix[i] is the sum of the first i (length + 1 words).
void PrefixSums(const uint16_t* row, int32_t length, int shift, uint32_t* prefix);

// Kernel row r over the window row whose prefix sums are given (n - 1 + width
// samples): rowSum[x] for x in 0 .. width - 1, the same 32-bit (wrapping) sums as
// the taps give.
void LevelRowSums(const uint32_t* prefix, const LevelPlan& plan, int32_t r, int32_t n, int32_t width,
                  uint32_t* rowSum);

}  // namespace unsharp
