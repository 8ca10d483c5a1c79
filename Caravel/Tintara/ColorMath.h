#pragma once

#include <cstddef>
#include <cstdint>

namespace tintara {

// 16-bit PCS encodings, as doubles (callers that store them add 0.5 and truncate).
// Lightness uses 652.8 per unit, so L* 100 is 65280; only values above
// 65535 / 652.8 are clamped (no jump at L* 100).
double DecodeLightness(double v);
double EncodeLightness(double l);
double DecodeAb(double v);
double EncodeAb(double x);
double DecodeChroma(double v);
double EncodeChroma(double c);
double DecodeHue(double v);
double EncodeHue(double h);
double DecodeXyz(double v);
double EncodeXyz(double x);

void XyzToLab(const double* xyz, const double* white, double* lab);
void LabToXyz(const double* lab, const double* white, double* xyz);
void LabToLch(const double* lab, double* lch);
void LchToLab(const double* lch, double* lab);

// Replaces the row-major 3 x 3 matrix m by its inverse; 9 (unchanged) when singular.
long InvertMatrix3x3(double* m);

// Turns width pixels of 4 u16 (L, a, b, unused) from Lab into LCh encoding with
// integer arithmetic: chroma in the a slot, hue (65536 per turn) in the b slot.
long ConvertLabRowToLch(std::uint16_t* row, std::size_t width);

} // namespace tintara
