#pragma once

#include <cstddef>
#include <cstdint>

namespace tintara {

// Interpolation of one row through a device-link table. Both forms read a
// neighbour only along axes whose fraction is non-zero, so no read leaves the grid.
//
// Portable form: {index, fraction} from the position map; each axis step is
// a + ((b - a) * f) / 32768, truncating toward zero.
template <int G, int I, int O>
void PortableInterpolate(const std::uint16_t* in, std::uint16_t* out, const std::uint16_t* table,
                         const std::uint16_t* positionMap, std::size_t count);

// Processor-specific form: index and fraction from v * (G - 1) * 65537 + 65536;
// node values halved, each step a + (((b - a) * f) >> 15) rounding down, result doubled.
using ProcessorKernel = void (*)(const std::uint16_t* in, std::uint16_t* out, const std::uint16_t* table,
                                 std::size_t count);
// Kernels exist for (256, 1), (32, 3), (16, 4) inputs and 1, 3 or 4 outputs.
ProcessorKernel FindProcessorKernel(long grid, long inputs, long outputs);

} // namespace tintara
