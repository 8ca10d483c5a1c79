#pragma once
// Draws a measuring grid over an RGB picture: a solid centre cross, dashed major lines at a
// physical interval and dotted subdivisions, scaled from an assumed picture width.
#include "Caravel/Brisant/VeltraFilterBase.h"

class CVeltraFilterGrid : public CVeltraFilterBase {
public:
    static constexpr int32_t kCode = VeltraFourCC("grid");

    explicit CVeltraFilterGrid(IVeltraManager* manager);
    ~CVeltraFilterGrid() override;

    int32_t GetFilterCode() const override { return kCode; }
    const char* GetFilterDescription() const override { return "Show Grid"; }

    IVeltraError* SetGridColor(unsigned char c0, unsigned char c1, unsigned char c2, bool notify);
    IVeltraError* GetGridColor(unsigned char* c0, unsigned char* c1, unsigned char* c2) const;
    // unit: 0 pixels, 1 inches, 2 cm, 3 mm, 4 picas, 5 points
    IVeltraError* SetGridInterval(double interval, int32_t unit, int32_t subdivisions, bool notify);
    IVeltraError* GetGridInterval(double* interval, int32_t* unit, int32_t* subdivisions) const;
    IVeltraError* SetAssumedImageSize(int32_t width, int32_t height, double resolution, bool notify);
    IVeltraError* GetAssumedImageSize(int32_t* width, int32_t* height, double* resolution) const;

    static bool CheckGridColor(unsigned char, unsigned char, unsigned char) { return true; }
    static bool CheckGridInterval(double interval, int32_t unit, int32_t subdivisions);
    int32_t GetGridIntervalInPixels(double resolution) const;

protected:
    IVeltraError* ProcessTile(IVeltraTile* tile, CProcessInfo* info) override;

private:
    IVeltraError* NotifyAllPixels(bool notify);
    void Steps(int32_t width, int32_t* step, int32_t* sub) const;

    unsigned char m_color[3] = {0, 0, 0};
    double m_interval = 1.0;
    int32_t m_unit = 1;
    int32_t m_subdivisions = 3;
    int32_t m_assumedWidth = 0;
    int32_t m_assumedHeight = 0;
    double m_assumedResolution = 0.0;
};
