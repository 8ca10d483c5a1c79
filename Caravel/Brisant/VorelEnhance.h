#pragma once
// Builds a tone curve from a histogram: a piecewise-linear contrast stretch whose breakpoints
// lie where the bins cross a threshold.
#include <cstdint>

// histogram: 2^histogramBits counts; lut: 2^lutIndexBits values below 2^lutValueBits.
// positions and levels are work arrays of 2^histogramBits entries each, or null to have them
// allocated for the call. Returns false on success; true when the table was not written:
// a work array could not be allocated, or an argument is refused (a null histogram or table,
// histogramBits above 24, lutIndexBits outside 0..24, lutValueBits outside 1..16).
bool VorelEnhance(uint32_t percent, const uint32_t* histogram, uint32_t histogramBits, uint16_t* lut,
                  int32_t lutIndexBits, int32_t lutValueBits, uint32_t* positions, uint32_t* levels);
