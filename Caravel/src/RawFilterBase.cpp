#include "Caravel/src/RawFilterBase.h"

#include <cmath>
#include <mutex>

namespace {

uint32_t g_toneTable[CRawFilterBase::kToneEntries];
std::once_flag g_toneBuilt;  // two worker threads may construct filters at once

constexpr double kA = 1.09544411810287;
constexpr double kB = 0.0999994539712952;
constexpr double kK = 1.13043071047529;
constexpr double kD = 0.729738285485317;
constexpr double kG = 0.104660855527884;
constexpr double kSampleScale = 1800.0;

}  // namespace

void CRawFilterBase::BuildToneTable()
{
    const double full = kK * std::pow((kToneEntries - 1) / kSampleScale - kD, kG);
    for (int32_t i = 0; i < kToneEntries; ++i) {
        // the piece is chosen by the sample itself, so the joins fall exactly at 60 and 1620
        const double x = i / kSampleScale;
        double f;
        if (i < 60)
            f = 3.0 * x;
        else if (i < 1620)
            f = kA * std::sqrt(x) - kB;
        else
            f = kK * std::pow(x - kD, kG);
        g_toneTable[i] = static_cast<uint32_t>(f * kToneMax / full + 0.5);
    }
}

const uint32_t* CRawFilterBase::ToneTable()
{
    std::call_once(g_toneBuilt, BuildToneTable);
    return g_toneTable;
}

CRawFilterBase::CRawFilterBase(IVeltraManager* manager) : CVeltraFilterBase(manager, 1)
{
    ToneTable();
}

CRawFilterBase::~CRawFilterBase() = default;

// ---- coordinate mappings: a shift by the crop origin while enabled

IVeltraError* CRawFilterBase::FilterPoint(double* x, double* y, IVeltraDataSource**, int32_t)
{
    if (IsEnabled()) {
        *x -= static_cast<double>(m_cropLeft);
        *y -= static_cast<double>(m_cropTop);
    }
    return nullptr;
}

IVeltraError* CRawFilterBase::FilterPoint(int32_t* x, int32_t* y, IVeltraDataSource**, int32_t)
{
    if (IsEnabled()) {
        *x -= m_cropLeft;
        *y -= m_cropTop;
    }
    return nullptr;
}

IVeltraError* CRawFilterBase::FilterRect(VeltraDblRect* r, IVeltraDataSource**, int32_t)
{
    if (IsEnabled()) {
        r->left -= static_cast<double>(m_cropLeft);
        r->right -= static_cast<double>(m_cropLeft);
        r->top -= static_cast<double>(m_cropTop);
        r->bottom -= static_cast<double>(m_cropTop);
    }
    return nullptr;
}

IVeltraError* CRawFilterBase::FilterRect(VeltraRect* r, IVeltraDataSource**, int32_t)
{
    if (IsEnabled()) {
        r->left -= m_cropLeft;
        r->right -= m_cropLeft;
        r->top -= m_cropTop;
        r->bottom -= m_cropTop;
    }
    return nullptr;
}

IVeltraError* CRawFilterBase::DefilterPoint(double* x, double* y, IVeltraDataSource**, int32_t)
{
    if (IsEnabled()) {
        *x += static_cast<double>(m_cropLeft);
        *y += static_cast<double>(m_cropTop);
    }
    return nullptr;
}

IVeltraError* CRawFilterBase::DefilterPoint(int32_t* x, int32_t* y, IVeltraDataSource**, int32_t)
{
    if (IsEnabled()) {
        *x += m_cropLeft;
        *y += m_cropTop;
    }
    return nullptr;
}

IVeltraError* CRawFilterBase::DefilterRect(VeltraDblRect* r, IVeltraDataSource**, int32_t)
{
    if (IsEnabled()) {
        r->left += static_cast<double>(m_cropLeft);
        r->right += static_cast<double>(m_cropLeft);
        r->top += static_cast<double>(m_cropTop);
        r->bottom += static_cast<double>(m_cropTop);
    }
    return nullptr;
}

IVeltraError* CRawFilterBase::DefilterRect(VeltraRect* r, IVeltraDataSource**, int32_t)
{
    if (IsEnabled()) {
        r->left += m_cropLeft;
        r->right += m_cropLeft;
        r->top += m_cropTop;
        r->bottom += m_cropTop;
    }
    return nullptr;
}
