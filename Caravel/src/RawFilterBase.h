#pragma once
// Base of the filters that read camera sensor data: a crop window whose top-left corner is the
// output origin, and the tone table that maps 12-bit sensor samples onto an 18-bit scale.
#include "Caravel/Brisant/VeltraFilterBase.h"

#include <cstdint>

class CRawFilterBase : public CVeltraFilterBase {
public:
    static constexpr int32_t kToneEntries = 4096;
    static constexpr uint32_t kToneMax = 262143;  // 2^18 - 1

    explicit CRawFilterBase(IVeltraManager* manager);
    ~CRawFilterBase() override;

    IVeltraError* FilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count) override;

    // The process-wide tone table, built by the first raw filter constructed.
    static const uint32_t* ToneTable();

    int32_t CropLeft() const { return m_cropLeft; }
    int32_t CropTop() const { return m_cropTop; }
    int32_t CropRight() const { return m_cropRight; }
    int32_t CropBottom() const { return m_cropBottom; }

protected:
    int32_t m_cropLeft = 0;
    int32_t m_cropTop = 0;
    int32_t m_cropRight = 0;
    int32_t m_cropBottom = 0;

private:
    static void BuildToneTable();
};
