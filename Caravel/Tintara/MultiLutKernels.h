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

// 8-bit three-channel rows through a (32, 3) table with three outputs in the
// processor form, without the u16 rows between the steps: each 8-bit sample's
// input-table value resolved once into its cell offset, neighbour step and
// fraction, and each output table narrowed to the even values the kernel can
// give and to bytes. The result is the row path's to the bit.
struct ByteCells {
    std::uint32_t offset[3][256];        // node offset of the cell along the axis
    std::uint32_t step[3][256];          // to the next node along the axis; 0 with no fraction
    std::uint16_t twiceFraction[3][256]; // 2 f, as the processor form's step takes it
    std::uint8_t output[3][32768];       // output table at 2 r, narrowed to the sample
};

// False where the processor has no such kernel (cells then stay unset).
bool BuildByteCells(const std::uint16_t* inputTables, const std::uint16_t* outputTables, ByteCells& cells);
void ProcessorInterpolateBytes(const std::uint8_t* in, std::uint8_t* out, std::size_t count,
                               const std::uint16_t* table, const ByteCells& cells);

} // namespace tintara
