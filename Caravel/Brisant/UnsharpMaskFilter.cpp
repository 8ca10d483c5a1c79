#include "Caravel/Brisant/UnsharpMaskFilter.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <new>
#include <vector>

#define WRAP(e) VELTRA_WRAP(kCode, e)

namespace {

constexpr double kPi = 3.141592653589793;

// Found once per process; tests may pin it.
std::atomic<int> g_mmx{-1};

bool DetectMmxSupport()
{
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("mmx");
#else
    return false;
#endif
}

}  // namespace

// ---- per-sample rules

namespace unsharp {

bool HueBetween(int32_t x, int32_t lo, int32_t hi)
{
    if (lo > hi)
        hi += 65536;
    if (lo > x)
        x += 65536;
    return lo < x && x <= hi;
}

bool InHueRange(const UnsharpParams& p, int32_t hue)
{
    return p.fullRange || !p.hueGate || HueBetween(hue, p.gateLow, p.gateHigh);
}

double HueRangeWeight(const UnsharpParams& p, int32_t chroma, int32_t hue)
{
    if (p.fullRange || (p.core && HueBetween(hue, p.coreLow, p.coreHigh)))
        return 1.0;
    const double chromaFactor = chroma >= 16384 ? 1.0 : chroma / 16384.0;
    const bool inLow = HueBetween(hue, p.wL0, p.wL1), inHigh = HueBetween(hue, p.wH1, p.wH0);
    double up = 0, down = 0;
    if (inLow)
        up = ((hue < p.wL0 ? hue + 65536 : hue) - p.wL0) * p.lowReciprocal;
    if (inHigh)
        down = ((hue > p.wH0 ? p.wH0 + 65536 : p.wH0) - hue) * p.highReciprocal;
    double w = 0;
    if (inLow && inHigh)
        w = p.overlapMax ? std::max(up, down) : std::min(up, down);
    else if (inLow)
        w = up;
    else if (inHigh)
        w = down;
    return chromaFactor * w;
}

}  // namespace unsharp

// ---- parameters

CUnsharpMaskFilter::CUnsharpMaskFilter(IVeltraManager* manager) : CVeltraFilterBase(manager, 1)
{
    PrepareRange();
    m_params.noisePower = std::min(m_params.power, 1.0);
    m_params.scaledThreshold = 0.0;
    UpdatePassThrough();
    MmxSupported();
}

CUnsharpMaskFilter::~CUnsharpMaskFilter() = default;

bool CUnsharpMaskFilter::MmxSupported()
{
    int v = g_mmx.load(std::memory_order_relaxed);
    if (v < 0) {
        v = DetectMmxSupport() ? 1 : 0;
        int expected = -1;
        g_mmx.compare_exchange_strong(expected, v);
        v = g_mmx.load(std::memory_order_relaxed);
    }
    return v == 1;
}

void CUnsharpMaskFilter::SetMmxSupport(bool mmx)
{
    g_mmx.store(mmx ? 1 : 0);
}

void CUnsharpMaskFilter::UpdatePassThrough()
{
    m_passThrough = m_params.planeMask == 0 || (m_params.power >= -1e-10 && m_params.power <= 1e-10);
}

IVeltraError* CUnsharpMaskFilter::Changed(bool notify)
{
    m_changed = true;
    if (!notify || !IsEnabled() || !HasSource())
        return nullptr;
    int32_t w = 0, h = 0;
    if (IVeltraError* e = m_sources[0]->GetSize(&w, &h))
        return WRAP(e);
    VeltraRect all{0, 0, w, h};
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyData, &all));
}

IVeltraError* CUnsharpMaskFilter::SetPlaneMask(int32_t mask, bool notify)
{
    if (mask == m_params.planeMask)
        return nullptr;
    m_params.planeMask = mask;
    UpdatePassThrough();
    return Changed(notify);
}

IVeltraError* CUnsharpMaskFilter::SetRange(double a, double b, double c, double d, bool notify)
{
    if (a == m_lowEdge && b == m_lowWidth && c == m_highEdge && d == m_highWidth)
        return nullptr;
    m_lowEdge = a;
    m_lowWidth = b;
    m_highEdge = c;
    m_highWidth = d;
    PrepareRange();
    return Changed(notify);
}

void CUnsharpMaskFilter::GetRange(double* a, double* b, double* c, double* d) const
{
    if (a) *a = m_lowEdge;
    if (b) *b = m_lowWidth;
    if (c) *c = m_highEdge;
    if (d) *d = m_highWidth;
}

IVeltraError* CUnsharpMaskFilter::SetRadius(double radius, bool notify)
{
    // a radius of 0 divides by zero and a negative one gives a negative kernel size; past 250
    // pixels the kernel table alone would take hundreds of megabytes
    if (!(radius > 0.0) || radius > 250.0)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadArgument);
    if (radius == m_radius)
        return nullptr;
    m_radius = radius;
    m_params.kernelDirty = true;
    return Changed(notify);
}

IVeltraError* CUnsharpMaskFilter::SetPower(double power, bool notify)
{
    if (power == m_params.power)
        return nullptr;
    m_params.power = power;
    m_params.noisePower = std::min(power, 1.0);
    UpdatePassThrough();
    m_params.kernelDirty = true;
    return Changed(notify);
}

IVeltraError* CUnsharpMaskFilter::SetThreshold(double threshold, bool notify)
{
    if (threshold == m_threshold)
        return nullptr;
    m_threshold = threshold;
    m_params.scaledThreshold = threshold * 65535.0 / 255.0;
    return Changed(notify);
}

IVeltraError* CUnsharpMaskFilter::SetAffectNoise(bool affect, bool notify)
{
    if (affect == m_params.affectNoise)
        return nullptr;
    m_params.affectNoise = affect;
    return Changed(notify);
}

IVeltraError* CUnsharpMaskFilter::SetMaskMethod(int32_t method, bool notify)
{
    if (method == m_params.maskMethod)
        return nullptr;
    m_params.maskMethod = method;
    m_params.kernelDirty = true;
    return Changed(notify);
}

IVeltraError* CUnsharpMaskFilter::SetParabolicPower(double power, bool notify)
{
    // 0 gives a table of zero weights, a negative power an infinite centre weight
    if (!(power > 0.0) || !std::isfinite(power))
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadArgument);
    if (power == m_parabolicPower)
        return nullptr;
    m_parabolicPower = power;
    if (m_params.maskMethod != 5)
        return nullptr;
    m_params.kernelDirty = true;
    return Changed(notify);
}

void CUnsharpMaskFilter::PrepareRange()
{
    using unsharp::HueBetween;
    using unsharp::RoundToLong;
    UnsharpParams& p = m_params;
    const double a = m_lowEdge, b = m_lowWidth, c = m_highEdge, d = m_highWidth;
    p.fullRange = a == 0.0 && c == 1.0 && b == 0.0 && d == 0.0;
    if (p.fullRange)
        return;
    const int32_t A = RoundToLong(a * 65536.0), C = RoundToLong(c * 65536.0);
    const int32_t B = RoundToLong(b * 65536.0), D = RoundToLong(d * 65536.0);
    p.L0 = A - B / 2;
    p.L1 = p.L0 + B;
    p.H0 = C + D / 2;
    p.H1 = p.H0 - D;
    p.lowReciprocal = B != 0 ? 1.0 / B : 0.0;
    p.highReciprocal = D != 0 ? 1.0 / D : 0.0;
    auto wrap = [](int32_t x) { return (x + 65536) % 65536; };
    p.wL0 = wrap(p.L0);
    p.wL1 = wrap(p.L1);
    p.wH0 = wrap(p.H0);
    p.wH1 = wrap(p.H1);
    // hue flags
    const bool P = HueBetween(p.wH1, p.wL0, p.wL1), Q = HueBetween(p.wH0, p.wL0, p.wL1);
    const bool U = HueBetween(p.wL1, p.wH1, p.wH0), V = HueBetween(p.wL0, p.wH1, p.wH0);
    const bool whole = (A == 0 && C == 65536) || A == C;
    p.hueGate = true;
    p.core = true;
    p.gateHigh = p.wH0;
    p.gateLow = p.wL0;
    p.coreLow = p.wL1;
    p.coreHigh = p.wH1;
    auto overlapRule = [&]() {
        if ((HueBetween(A, p.wH1, C) || HueBetween(C, A, p.wL1)) && !whole) {
            p.core = false;
            p.overlapMax = false;
        } else {
            p.hueGate = false;
            p.overlapMax = true;
        }
    };
    if (U && V) {
        overlapRule();
    } else if (P && Q) {
        overlapRule();
    } else if (V || Q) {
        p.hueGate = false;
        p.overlapMax = true;
    } else if (U || P) {
        p.core = false;
        p.overlapMax = false;
    }
}

// ---- kernel

double CUnsharpMaskFilter::GetValue(double r) const
{
    const int32_t M = m_params.maskMethod;
    if (M == 1)
        return 1.0;
    if (M == 0) {
        const double x = r / m_radius;
        return std::exp(x * x / -2.0);
    }
    const double x = r / (m_radius + 1.0);
    if (x > 1.0)
        return 0.0;
    switch (M) {
    case 2: return 1.0 - x;
    case 3: return (std::cos(kPi * x) + 1.0) / 2.0;
    case 4: return std::sin((1.0 + x) * kPi / 2.0);
    case 5: return 1.0 - std::pow(x, m_parabolicPower);
    default: return 1.0;
    }
}

IVeltraError* CUnsharpMaskFilter::GenerateKernel()
{
    UnsharpParams& p = m_params;
    const int32_t M = p.maskMethod;
    // 1. size
    const int32_t h = static_cast<int32_t>(std::ceil(M == 0 ? m_radius * 3.0 : m_radius));
    const int32_t n = 2 * h + 1;
    // 2. table block: each row 4 zero words, the n weights, zeros up to the stride
    const int32_t stride = ((2 * n + 13) & ~7) / 2 + 4;
    m_kernelBlock.reset(new (std::nothrow) uint16_t[static_cast<size_t>(n) * stride]());
    if (!m_kernelBlock)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraOutOfMemory);
    p.halfWidth = h;
    p.kernelStride = stride;
    p.kernel = m_kernelBlock.get();
    p.sizeReciprocal = static_cast<uint32_t>((uint64_t{1} << 32) / static_cast<uint64_t>(n));
    // 3. box: nothing to weigh
    if (M == 1) {
        p.normalisation = 1.0 / (static_cast<double>(n) * n);
        p.maxWeight = 0;
        p.kernelDirty = false;
        return nullptr;
    }
    // 4. the shape on the grid
    std::vector<double> w;
    try {
        w.resize(static_cast<size_t>(n) * n);
    } catch (const std::bad_alloc&) {
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraOutOfMemory);
    }
    for (int32_t i = 0; i < n; ++i)
        for (int32_t j = 0; j < n; ++j)
            w[static_cast<size_t>(i) * n + j] =
                GetValue(std::sqrt(static_cast<double>((j - h) * (j - h)) + static_cast<double>((i - h) * (i - h))));
    // 5, 6. scale from the centre row
    double rowSum = 0;
    for (int32_t j = 0; j < n; ++j)
        rowSum += w[static_cast<size_t>(h) * n + j];
    const bool mmx = MmxSupported();
    const double top = mmx ? 131071.0 : 65535.0, q = mmx ? 4.0 : 1.0;
    const int32_t S = static_cast<int32_t>(top / std::max(q, rowSum)) & ~7;
    // 7, 8. integer weights
    uint32_t sum = 0, most = 0;
    for (int32_t i = 0; i < n; ++i)
        for (int32_t j = 0; j < n; ++j) {
            const auto k = static_cast<uint16_t>(static_cast<uint32_t>(S * w[static_cast<size_t>(i) * n + j]));
            m_kernelBlock[static_cast<size_t>(i) * stride + 4 + j] = k;
            sum += k;
            most = std::max<uint32_t>(most, k);
        }
    p.weightSum = sum;
    p.maxWeight = most;
    p.normalisation = sum ? static_cast<double>(n) / sum : 0.0;
    p.kernelDirty = false;
    return nullptr;
}

IVeltraError* CUnsharpMaskFilter::FilterData(IVeltraDataSource* source, VeltraRect* rect)
{
    if (!source || !rect)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadArgument);
    int32_t w = 0, h = 0;
    if (IVeltraError* e = source->GetSize(&w, &h))
        return WRAP(e);
    VeltraRect r = *rect;
    if (IsEnabled()) {
        // every output that reads a changed pixel changes too
        const int32_t e = static_cast<int32_t>(
            std::ceil(m_params.maskMethod == 0 ? (m_radius + 1.0) * 3.0 : m_radius));
        r.left = std::max(r.left - e, 0);
        r.top = std::max(r.top - e, 0);
        r.right = std::min(r.right + e, w);
        r.bottom = std::min(r.bottom + e, h);
    }
    return WRAP(CVeltraFilterBase::FilterData(source, &r));
}
