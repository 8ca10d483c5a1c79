#pragma once
// Passes on one rectangle of the source, with the rectangle's top-left corner as the output
// origin. Pixels of every size are copied unchanged, those under 8 bits bit by bit.
#include "Caravel/Brisant/VeltraFilterBase.h"

class CCropFilter : public CVeltraFilterBase {
public:
    static constexpr int32_t kCode = VeltraFourCC("Crop");

    explicit CCropFilter(IVeltraManager* manager);
    ~CCropFilter() override;

    int32_t GetFilterCode() const override { return kCode; }
    const char* GetFilterDescription() const override { return "Crop Filter"; }

    IVeltraError* SetCrop(const VeltraRect& crop, bool notify);
    const VeltraRect& GetCrop() const { return m_crop; }

    IVeltraError* FilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count) override;
    // Marks nothing valid itself: only a ProcessTile that succeeds marks the tile produced.
    IVeltraError* GenerateTile(IVeltraTile* tile, IVeltraDataSource** sources, int32_t count) override;

protected:
    IVeltraError* GetFilteredSize(IVeltraDataSource** sources, int32_t count, int32_t* width,
                                  int32_t* height) override;
    IVeltraError* FilterSize(IVeltraDataSource* source, IVeltraDataDestination::ChangeSize* change) override;
    IVeltraError* ProcessTile(IVeltraTile* tile, CProcessInfo* info) override;

private:
    bool Shifting() const { return IsEnabled() && !m_passThrough; }

    VeltraRect m_crop;
};
