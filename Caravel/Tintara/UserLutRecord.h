#pragma once

#include "Caravel/Tintara/AlignedBuffer.h"

#include <cstdint>

namespace tintara {

// One channel's user curve: 2^inBits entries ranging over 0..2^outBits - 1.
// An empty curve means the channel has none.
struct UserLutRecord {
    AlignedBuffer<std::uint16_t> curve;
    long inBits = 0;
    long outBits = 0;
    long merge = 0; // 0 replaces the profile curve, 1 is composed with it
};

} // namespace tintara
