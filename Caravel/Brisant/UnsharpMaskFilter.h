#pragma once
// Sharpens by moving each selected sample away from a weighted mean of its neighbourhood, after a
// threshold, limited and weighted by a tonal (or hue) range with soft edges.
#include "Caravel/Brisant/VeltraFilterBase.h"

#include <algorithm>
#include <cstdint>
#include <memory>

// The working record the tile kernels read.
struct UnsharpParams {
    int32_t planeMask = -1;
    int32_t maskMethod = 0;
    double power = 1.0;
    bool affectNoise = true;
    double scaledThreshold = 0.0;
    int32_t halfWidth = 0;
    double normalisation = 0.0;
    double noisePower = 1.0;
    uint32_t sizeReciprocal = 0;
    const uint16_t* kernel = nullptr;  // n rows of stride words: 4 zeros, the n weights, zeros
    int32_t kernelStride = 0;
    int32_t L0 = 0, H0 = 0, L1 = 0, H1 = 0;
    int32_t wL0 = 0, wH0 = 0, wL1 = 0, wH1 = 0;
    double lowReciprocal = 0.0, highReciprocal = 0.0;
    bool overlapMax = false;
    bool fullRange = true;
    bool hueGate = true;
    int32_t gateHigh = 0, gateLow = 0;
    bool core = true;
    int32_t coreLow = 0, coreHigh = 0;
    bool kernelDirty = true;
    uint32_t weightSum = 0;
    uint32_t maxWeight = 0;
};

class CUnsharpMaskFilter : public CVeltraFilterBase {
public:
    static constexpr int32_t kCode = VeltraFourCC("usm ");

    explicit CUnsharpMaskFilter(IVeltraManager* manager);
    ~CUnsharpMaskFilter() override;

    int32_t GetFilterCode() const override { return kCode; }
    const char* GetFilterDescription() const override { return "Unsharp Mask"; }

    IVeltraError* SetPlaneMask(int32_t mask, bool notify);
    int32_t GetPlaneMask() const { return m_params.planeMask; }
    IVeltraError* SetRange(double lowEdge, double lowWidth, double highEdge, double highWidth, bool notify);
    void GetRange(double* lowEdge, double* lowWidth, double* highEdge, double* highWidth) const;
    // The radius must lie in (0, 250] and the parabolic power be positive: others are refused.
    IVeltraError* SetRadius(double radius, bool notify);
    double GetRadius() const { return m_radius; }
    IVeltraError* SetPower(double power, bool notify);
    double GetPower() const { return m_params.power; }
    IVeltraError* SetThreshold(double threshold, bool notify);
    double GetThreshold() const { return m_threshold; }
    IVeltraError* SetAffectNoise(bool affect, bool notify);
    bool GetAffectNoise() const { return m_params.affectNoise; }
    IVeltraError* SetMaskMethod(int32_t method, bool notify);
    int32_t GetMaskMethod() const { return m_params.maskMethod; }
    IVeltraError* SetParabolicPower(double power, bool notify);
    double GetParabolicPower() const { return m_parabolicPower; }

    // Whether the halved-sample (packed SIMD) arithmetic is used; found once per process.
    static bool MmxSupported();
    // Pins the arithmetic form, so both forms can be checked on one machine.
    static void SetMmxSupport(bool mmx);

protected:
    double GetValue(double distance) const;
    IVeltraError* GenerateKernel();
    IVeltraError* FilterData(IVeltraDataSource* source, VeltraRect* rect) override;
    IVeltraError* ProcessTile(IVeltraTile* tile, CProcessInfo* info) override;

    UnsharpParams m_params;

private:
    IVeltraError* Changed(bool notify);
    void PrepareRange();
    void UpdatePassThrough();

    double m_lowEdge = 0.0;
    double m_lowWidth = 0.0;
    double m_highEdge = 1.0;
    double m_highWidth = 0.0;
    double m_radius = 1.0;
    double m_threshold = 0.0;
    double m_parabolicPower = 2.0;
    std::unique_ptr<uint16_t[]> m_kernelBlock;
};

// The per-sample rules, shared by the tile kernels. The ones run for every sample are
// defined here, so the tile loops have them inline.
namespace unsharp {
bool HueBetween(int32_t x, int32_t lo, int32_t hi);
bool InHueRange(const UnsharpParams& p, int32_t hue);
double HueRangeWeight(const UnsharpParams& p, int32_t chroma, int32_t hue);

inline int32_t RoundToLong(double x)
{
    // half away from zero; the conversion truncates, and values past 32 bits saturate.
    // The half is chosen, not the sum, so the sign (which is as likely either way)
    // costs no branch.
    const double half = x >= 0 ? 0.5 : -0.5;
    const double r = x + half;
    if (!(r > -2147483648.0))
        return INT32_MIN;
    if (r >= 2147483647.0)
        return INT32_MAX;
    return static_cast<int32_t>(r);
}

inline bool InRange(const UnsharpParams& p, int32_t x)
{
    return p.fullRange || (p.L0 <= x && x <= p.H0);
}

inline double RangeWeight(const UnsharpParams& p, int32_t x)
{
    if (p.fullRange)
        return 1.0;
    if (x < p.L1) {
        const double up = (x - p.L0) * p.lowReciprocal;
        if (x <= p.H1)
            return up;
        return std::min(up, (p.H0 - x) * p.highReciprocal);
    }
    return x <= p.H1 ? 1.0 : (p.H0 - x) * p.highReciprocal;
}

// The sharpened value of v (16-bit scale) against its blurred mean m; rangeOk and weight come
// from the range tests of the colour space.
inline int32_t Sharpen(const UnsharpParams& p, int32_t v, double m, bool rangeOk, double weight)
{
    if (!rangeOk)
        return v;
    double d = v - m;
    double g = p.power;
    const double T = p.scaledThreshold;
    if (T > 0) {
        double t = 0;
        if (d < 0) {
            d += T;
            if (p.affectNoise) {
                if (d > 0)
                    g = p.noisePower;
                t = T - d;
            }
            d = std::min(d, t);
        } else {
            d -= T;
            if (p.affectNoise) {
                if (d < 0)
                    g = p.noisePower;
                t = -T - d;
            }
            d = std::max(d, t);
        }
    }
    const int64_t out = static_cast<int64_t>(v) + RoundToLong(d * g * weight);
    return static_cast<int32_t>(std::clamp<int64_t>(out, 0, 65535));
}
}  // namespace unsharp
