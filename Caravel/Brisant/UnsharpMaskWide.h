#pragma once

// The unsharp mask's two hot loops in the wide vector form (AVX2), for processors
// that have it (brisant::WideVectors). Each gives exactly the integers and doubles
// of the plain loops in UnsharpMaskTiles.cpp; the columns they leave over are done
// there.
#include <cstdint>
#include <vector>

namespace unsharp {

// How the wide blur sums take the kernel's rows, worked out once per kernel
// (PlanRows). Rows are taken as units: an outer row with its mirror row (row r
// with row n - 1 - r) where the two have the same weights and their halved
// samples times the weights stay below 2^32 together, else one row alone. Units
// follow one another in chunks, each summed in 32 bits and then added to the
// 64-bit totals: a chunk of several units only while its largest sum stays below
// 2^32, so that it is the exact total of its rows. A row alone in its chunk keeps
// its own 32-bit (wrapping) sum. Rows nearer the centre weigh more, so the pairs
// that fit are the outermost.
struct RowPlan {
    int32_t pairs = 0;              // units 0 .. pairs - 1 are rows r and n - 1 - r
    int32_t units = 0;              // then rows pairs .. n - 1 - pairs, one unit each
    std::vector<uint8_t> chunkEnd;  // chunkEnd[u]: unit u is the last of its chunk
};

void PlanRows(const uint16_t* kernel, int32_t kernelStride, int32_t n, RowPlan& plan);

// The halved-sample blur of one output row of one plane: for each column x, the
// 64-bit total over kernel rows of each row's 32-bit (wrapping) sum of
// weight * (sample >> 1), scaled by twice the 32-bit reciprocal of n, as a double.
// halvedRows[r] holds the window row r, each sample already halved, from the
// output column's left neighbour h; plan is PlanRows' for the kernel; the weights
// must all be below 32768 and n at least 3. Fills out[0..done) and returns done,
// a multiple of 16 not above width.
int32_t WideHalvedSums(uint16_t* const* halvedRows, const uint16_t* kernel, int32_t kernelStride, int32_t n,
                       const RowPlan& plan, int32_t width, uint32_t sizeReciprocal, double* out);

// The plain sharpening rule, four samples at a time (see SharpenPlainPairs). Fills
// out[0..done) and returns done, a multiple of 4 not above count.
int32_t WideSharpenPlain(const uint16_t* centre, const double* sums, double normalisation, double power, int32_t count,
                         int32_t* out);

}  // namespace unsharp
