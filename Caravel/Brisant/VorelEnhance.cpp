#include "Caravel/Brisant/VorelEnhance.h"

#include <algorithm>
#include <memory>
#include <new>

namespace {

// Finds the breakpoints; returns the final level. The list holds *count entries, the last one
// the closing (n, L). Crossings stop one short of the arrays' end so the closing entry fits.
uint32_t FindBreakpoints(uint32_t percent, const uint32_t* histogram, uint32_t n, uint32_t* positions,
                         uint32_t* levels, uint32_t* count)
{
    uint32_t peak = 0;
    for (uint32_t i = 0; i < n; ++i)
        peak = std::max(peak, histogram[i]);
    // 64-bit so large pictures keep a meaningful threshold
    const uint64_t threshold = static_cast<uint64_t>(peak) * percent / 100;
    uint64_t sum = 0;
    uint32_t level = 0, k = 0;
    bool above = false;
    for (uint32_t i = 0; i < n; ++i) {
        sum += histogram[i];
        if (sum > threshold) {
            ++level;
            sum = 0;
        }
        const bool cross = above ? histogram[i] < threshold : histogram[i] > threshold;
        if (cross && k + 1 < n) {
            positions[k] = i;
            levels[k] = level;
            ++k;
            above = !above;
        }
    }
    positions[k] = n;
    levels[k] = level;
    *count = k + 1;
    return level;
}

void FillTable(const uint32_t* positions, const uint32_t* levels, uint32_t count, uint16_t* lut, uint32_t size,
               uint32_t top)
{
    uint32_t j = 0;
    uint64_t p0 = 0, l0 = 0;  // below the first breakpoint the segment starts at (0, 0)
    for (uint32_t x = 0; x < size; ++x) {
        while (j < count && positions[j] <= x) {
            p0 = positions[j];
            l0 = levels[j];
            ++j;
        }
        uint64_t v = l0;
        if (j < count && positions[j] > p0)
            v = l0 + (x - p0) * (levels[j] - l0) / (positions[j] - p0);
        lut[x] = static_cast<uint16_t>(std::min<uint64_t>(v, top - 1));
    }
}

}  // namespace

bool VorelEnhance(uint32_t percent, const uint32_t* histogram, uint32_t histogramBits, uint16_t* lut,
                  int32_t lutIndexBits, int32_t lutValueBits, uint32_t* positions, uint32_t* levels)
{
    if (!histogram || !lut || histogramBits > 24 || lutIndexBits < 0 || lutIndexBits > 24 || lutValueBits < 1 ||
        lutValueBits > 16)
        return true;  // nothing sensible to build: the table is not written, and the caller must know
    const uint32_t n = 1u << histogramBits;
    std::unique_ptr<uint32_t[]> ownPositions, ownLevels;
    if (!positions) {
        ownPositions.reset(new (std::nothrow) uint32_t[n]);
        if (!ownPositions)
            return true;
        positions = ownPositions.get();
    }
    if (!levels) {
        ownLevels.reset(new (std::nothrow) uint32_t[n]);
        if (!ownLevels)
            return true;
        levels = ownLevels.get();
    }
    uint32_t count = 0;
    const uint32_t finalLevel = FindBreakpoints(percent, histogram, n, positions, levels, &count);
    const uint32_t size = 1u << lutIndexBits;
    const uint32_t top = 1u << lutValueBits;
    if (finalLevel == 0) {
        // nothing crossed the threshold: an identity ramp instead of a division by zero
        for (uint32_t x = 0; x < size; ++x)
            lut[x] = static_cast<uint16_t>((static_cast<uint64_t>(x) << lutValueBits) >> lutIndexBits);
        return false;
    }
    for (uint32_t j = 0; j < count; ++j) {
        positions[j] = static_cast<uint32_t>((static_cast<uint64_t>(positions[j]) << lutIndexBits) >> histogramBits);
        levels[j] = static_cast<uint32_t>((static_cast<uint64_t>(levels[j]) << lutValueBits) / finalLevel);
    }
    FillTable(positions, levels, count, lut, size, top);
    return false;
}
