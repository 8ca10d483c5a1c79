#include "Caravel/Tintara/ColorMath.h"

#include "Caravel/Tintara/ResultCodes.h"

#include <array>
#include <cmath>
#include <numbers>

namespace tintara {

namespace {

constexpr double kLightnessScale = 652.8;
constexpr double kHueScale = 10430.378350470453; // 65536 per turn
constexpr double kPi = std::numbers::pi;

double LabF(double t)
{
    return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116.0;
}

double LabInverseF(double f)
{
    return f > 0.2068927064827586 ? f * f * f : (f - 16.0 / 116.0) / 7.787;
}

// atan2(i, 8192) in units of 8192 per 45 degrees
const std::array<std::uint16_t, 8193>& HueTable()
{
    static const std::array<std::uint16_t, 8193> table = [] {
        std::array<std::uint16_t, 8193> t{};
        for (int i = 0; i < 8192; ++i)
            t[std::size_t(i)] = std::uint16_t(std::atan2(double(i), 8192.0) * 8192.0 / (kPi / 4) + 0.5);
        t[8192] = 8192;
        return t;
    }();
    return table;
}

std::uint32_t IntegerSquareRoot(std::uint32_t n)
{
    auto r = std::uint32_t(std::sqrt(double(n)));
    while (std::uint64_t(r) * r > n)
        --r;
    while (std::uint64_t(r + 1) * (r + 1) <= n)
        ++r;
    return r;
}

std::uint32_t Hue(std::int32_t a, std::int32_t b)
{
    if (a == 0 && b == 0)
        return 0;
    if (a == 0)
        return b > 0 ? 16384 : 49152;
    if (b == 0)
        return a > 0 ? 0 : 32768;
    const auto& table = HueTable();
    const std::uint32_t absA = std::uint32_t(a < 0 ? -a : a);
    const std::uint32_t absB = std::uint32_t(b < 0 ? -b : b);
    if (absA > absB) {
        const std::uint32_t t = table[absB * 8192 / absA];
        if (a > 0)
            return b > 0 ? t : 65536 - t;
        return b > 0 ? 32768 - t : 32768 + t;
    }
    const std::uint32_t t = table[absA * 8192 / absB];
    if (b > 0)
        return a > 0 ? 16384 - t : 16384 + t;
    return a < 0 ? 49152 - t : 49152 + t;
}

} // namespace

double DecodeLightness(double v) { return v / kLightnessScale; }
double EncodeLightness(double l)
{
    if (!(l > 0))
        return 0;
    if (l >= 65535.0 / kLightnessScale)
        return 65535;
    return l * kLightnessScale;
}

double DecodeAb(double v) { return v / 256.0 - 128.0; }
double EncodeAb(double x)
{
    if (!(x > -128))
        return 0;
    if (x >= 128)
        return 65535;
    return (x + 128) * 256;
}

double DecodeChroma(double v) { return v / 256.0; }
double EncodeChroma(double c)
{
    if (!(c > 0))
        return 0;
    if (c >= 255.99609375)
        return 65535;
    return c * 256;
}

double DecodeHue(double v)
{
    const double h = v / kHueScale;
    return std::fmod(h + kPi, 2 * kPi) - kPi;
}
double EncodeHue(double h)
{
    return std::fmod(std::fmod(h, 2 * kPi) + 4 * kPi, 2 * kPi) * kHueScale;
}

double DecodeXyz(double v) { return v / 32768.0; }
double EncodeXyz(double x)
{
    if (!(x > 0))
        return 0;
    if (x >= 1.999969482421875)
        return 65535;
    return x * 32768;
}

void XyzToLab(const double* xyz, const double* white, double* lab)
{
    const double x = xyz[0] / white[0];
    const double y = xyz[1] / white[1];
    const double z = xyz[2] / white[2];
    const double fy = LabF(y);
    lab[0] = y > 0.008856 ? 116 * fy - 16 : 903.3 * y;
    lab[1] = 500 * (LabF(x) - fy);
    lab[2] = 200 * (fy - LabF(z));
}

void LabToXyz(const double* lab, const double* white, double* xyz)
{
    double fy, y;
    if (lab[0] <= 7.9996248) {
        y = lab[0] / 903.3;
        fy = 7.787 * y + 16.0 / 116.0;
    } else {
        fy = (lab[0] + 16) / 116;
        y = fy * fy * fy;
    }
    const double fx = fy + lab[1] / 500;
    const double fz = fy - lab[2] / 200;
    xyz[0] = LabInverseF(fx) * white[0];
    xyz[1] = y * white[1];
    xyz[2] = LabInverseF(fz) * white[2];
}

void LabToLch(const double* lab, double* lch)
{
    lch[0] = lab[0];
    lch[1] = std::sqrt(lab[1] * lab[1] + lab[2] * lab[2]);
    lch[2] = std::atan2(lab[2], lab[1]);
}

void LchToLab(const double* lch, double* lab)
{
    lab[0] = lch[0];
    lab[1] = lch[1] * std::cos(lch[2]);
    lab[2] = lch[1] * std::sin(lch[2]);
}

long InvertMatrix3x3(double* m)
{
    const double c00 = m[4] * m[8] - m[5] * m[7];
    const double c01 = m[5] * m[6] - m[3] * m[8];
    const double c02 = m[3] * m[7] - m[4] * m[6];
    const double det = m[0] * c00 + m[1] * c01 + m[2] * c02;
    if (!std::isfinite(det) || std::trunc(det * 65536) == 0)
        return kBadProfile;
    const double inverse[9] = {
        c00 / det, (m[2] * m[7] - m[1] * m[8]) / det, (m[1] * m[5] - m[2] * m[4]) / det,
        c01 / det, (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
        c02 / det, (m[1] * m[6] - m[0] * m[7]) / det, (m[0] * m[4] - m[1] * m[3]) / det,
    };
    for (int i = 0; i < 9; ++i)
        m[i] = inverse[i];
    return kOk;
}

long ConvertLabRowToLch(std::uint16_t* row, std::size_t width)
{
    for (std::size_t x = 0; x < width; ++x, row += 4) {
        const std::int32_t a = std::int32_t(row[1]) - 32768;
        const std::int32_t b = std::int32_t(row[2]) - 32768;
        // at most 2^31: unsigned arithmetic keeps it defined
        const std::uint32_t sum = std::uint32_t(a * a) + std::uint32_t(b * b);
        row[1] = std::uint16_t(IntegerSquareRoot(sum));
        row[2] = std::uint16_t(Hue(a, b) & 0xFFFF);
    }
    return kOk;
}

} // namespace tintara
