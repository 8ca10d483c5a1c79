#pragma once
// Builds a tone curve from a histogram: a piecewise-linear contrast stretch whose breakpoints
// lie where the bins cross a threshold.
#include <cstdint>

// histogram: 2^histogramBits counts; lut: 2^lutIndexBits values below 2^lutValueBits.
// positions and levels are work arrays of 2^histogramBits entries each, or null to have them
// allocated for the call. Returns true only when a work array could not be allocated.
bool VorelEnhance(uint32_t percent, const uint32_t* histogram, uint32_t histogramBits, uint16_t* lut,
                  int32_t lutIndexBits, int32_t lutValueBits, uint32_t* positions, uint32_t* levels);
