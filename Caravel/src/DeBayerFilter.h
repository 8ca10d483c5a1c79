#pragma once
// Turns the colour-filter-array samples of a camera raw picture into 16-bit red, green, blue:
// crops a fixed border, tone-maps the samples, interpolates green along the smoother direction
// and red and blue from colour differences.
#include "Caravel/src/RawFilterBase.h"

#include <vector>

class CDeBayerFilter : public CRawFilterBase {
public:
    static constexpr int32_t kCode = VeltraFourCC("db1s");
    static constexpr int32_t kInputColorSpace = 64;
    static constexpr int32_t kOutputColorSpace = 33;

    explicit CDeBayerFilter(IVeltraManager* manager);
    ~CDeBayerFilter() override;

    int32_t GetFilterCode() const override { return kCode; }
    const char* GetFilterDescription() const override
    {
        return "De-Bayer single resolution standard quality interpolation filter";
    }

protected:
    IVeltraError* GetFilteredSize(IVeltraDataSource** sources, int32_t count, int32_t* width,
                                  int32_t* height) override;
    IVeltraError* GetFilteredColorSpace(IVeltraDataSource** sources, int32_t count, int32_t* colorSpace) override;
    IVeltraError* FilterSize(IVeltraDataSource* source, IVeltraDataDestination::ChangeSize* change) override;
    IVeltraError* FilterColorSpace(IVeltraDataSource* source,
                                   IVeltraDataDestination::ChangeColorSpace* change) override;
    IVeltraError* ProcessTile(IVeltraTile* tile, CProcessInfo* info) override;

private:
    // A block of rows that rolls down by one row per step.
    struct RollingRows {
        std::vector<int32_t> values;
        int32_t width = 0;
        int32_t rows = 0;
        void Reset(int32_t r, int32_t w);
        int32_t* Row(int32_t r) { return values.data() + static_cast<size_t>(r) * width; }
        void Roll();
    };

    bool WindowFits(int32_t width, int32_t height) const;

    // Tuning values: nothing reads the flag or the last value.
    [[maybe_unused]] bool m_tuningFlag = true;
    int32_t m_thresholdNumerator = 2;
    int32_t m_thresholdDenominator = 5;
    int32_t m_noiseFactor = 10;
    [[maybe_unused]] int32_t m_tuningLast = 1;
    RollingRows m_green;    // 3 rows of green values
    RollingRows m_samples;  // 5 rows of tone-mapped samples
};
