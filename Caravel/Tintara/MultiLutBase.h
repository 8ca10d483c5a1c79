#pragma once

#include "Caravel/Tintara/AlignedBuffer.h"

#include <cstddef>
#include <cstdint>

namespace tintara {

// A colour lookup table: G grid points on each of I input axes, O outputs per node.
class CMultiLutBase {
public:
    CMultiLutBase() = default;
    CMultiLutBase(long grid, long inputs, long outputs) : G(grid), I(inputs), O(outputs) {}
    virtual ~CMultiLutBase() = default;
    CMultiLutBase(const CMultiLutBase&) = delete;
    CMultiLutBase& operator=(const CMultiLutBase&) = delete;

    // Converts count pixels of I u16 each into pixels of NodeSize() u16 each.
    virtual void Process(const std::uint16_t* in, std::uint16_t* out, std::size_t count);

    // u16 per node of a work table: 1 for one output, 4 for three or four.
    long NodeSize() const { return O / 3 * 3 + 1; }

    AlignedBuffer<std::uint16_t> table;
    long G = 0;
    long I = 0;
    long O = 0;
};

} // namespace tintara
