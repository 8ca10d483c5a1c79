#pragma once

#include "Caravel/Tintara/AlignedBuffer.h"
#include "Caravel/Tintara/ProfileReader.h"
#include "Caravel/Tintara/UserLutRecord.h"

#include <cstdint>

namespace tintara {

struct ColorTransform;

enum class CurveDirection { kInput, kOutput };

// Fixed-point products on 64-bit unsigned values.
inline std::uint64_t roundMul16(std::uint64_t a, std::uint64_t b)
{
    const std::uint64_t p = a * b;
    return (p >> 16) + ((p >> 15) & 1);
}
inline std::uint64_t roundMul32(std::uint64_t a, std::uint64_t b)
{
    const std::uint64_t p = a * b;
    return (p >> 32) + ((p >> 31) & 1);
}
inline std::uint64_t highMul32(std::uint64_t a, std::uint64_t b)
{
    return (a * b) >> 32;
}

// An ICC curve as a u16 table, forwards or inverted.
long CurveToTable(const ProfileCurve& curve, AlignedBuffer<std::uint16_t>& table, CurveDirection direction);

// Stores the bit sizes, then builds the input and output tables from the
// transform's profile curves and the user curves (four of each).
long BuildCurveTables(ColorTransform& transform, long inputBits, long outputBits, const UserLutRecord* inputCurves,
                      const UserLutRecord* outputCurves);

} // namespace tintara
