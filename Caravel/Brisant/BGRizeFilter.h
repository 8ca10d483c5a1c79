#pragma once
// Turns grey or RGB pixels of 8 or 16 bits into 8-bit blue, green, red, and fills each tile's
// bitmap header so the tile can be drawn as it stands.
#include "Caravel/Brisant/VeltraFilterBase.h"

class CBGRizeFilter : public CVeltraFilterBase {
public:
    static constexpr int32_t kCode = VeltraFourCC("BGRz");
    static constexpr int32_t kOutputCode = 38;

    explicit CBGRizeFilter(IVeltraManager* manager);
    ~CBGRizeFilter() override;

    int32_t GetFilterCode() const override { return kCode; }
    const char* GetFilterDescription() const override
    {
        return "Filter to convert images to Windows native BGR format";
    }

protected:
    IVeltraError* GetFilteredColorSpace(IVeltraDataSource** sources, int32_t count, int32_t* colorSpace) override;
    IVeltraError* FilterColorSpace(IVeltraDataSource* source,
                                   IVeltraDataDestination::ChangeColorSpace* change) override;
    IVeltraError* ProcessTile(IVeltraTile* tile, CProcessInfo* info) override;
};
