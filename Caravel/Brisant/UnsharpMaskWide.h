#pragma once

// The unsharp mask's two hot loops in the wide vector form (AVX2), for processors
// that have it (brisant::WideVectors). Each gives exactly the integers and doubles
// of the plain loops in UnsharpMaskTiles.cpp; the columns they leave over are done
// there.
#include <cstdint>

namespace unsharp {

// The halved-sample blur of one output row of one plane: for each column x, the
// 64-bit total over kernel rows of each row's 32-bit (wrapping) sum of
// weight * (sample >> 1), scaled by twice the 32-bit reciprocal of n, as a double.
// halvedRows[r] holds the window row r, each sample already halved, from the
// output column's left neighbour h; the weights must all be below 32768 and n at
// least 3. Fills out[0..done) and returns
// done, a multiple of 16 not above width.
int32_t WideHalvedSums(uint16_t* const* halvedRows, const uint16_t* kernel, int32_t kernelStride, int32_t n, int32_t width,
                       uint32_t sizeReciprocal, double* out);

// The plain sharpening rule, four samples at a time (see SharpenPlainPairs). Fills
// out[0..done) and returns done, a multiple of 4 not above count.
int32_t WideSharpenPlain(const uint16_t* centre, const double* sums, double normalisation, double power, int32_t count,
                         int32_t* out);

}  // namespace unsharp
