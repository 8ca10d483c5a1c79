#pragma once
// The resizing filter: presents its first source at another size, given as a size in pixels
// (size mode) or as a pair of factors (scale mode).
#include "Caravel/Brisant/VeltraFilterBase.h"

#include <vector>

class CVeltraFilterScale : public CVeltraFilterBase {
public:
    static constexpr int32_t kCode = VeltraFourCC("scal");

    CVeltraFilterScale(IVeltraManager* manager, int32_t method);
    ~CVeltraFilterScale() override;

    int32_t GetFilterCode() const override { return kCode; }
    const char* GetFilterDescription() const override { return "Scale"; }

    IVeltraError* SetMethod(int32_t method, bool notify);
    int32_t GetMethod() const { return m_method; }
    IVeltraError* SetSize(int32_t width, int32_t height, bool notify);
    IVeltraError* SetScale(double scale, bool notify);
    IVeltraError* SetScale(double scaleX, double scaleY, bool notify);
    double GetScale() const { return (m_scaleX + m_scaleY) / 2; }
    void GetScale(double* x, double* y) const;
    bool IsScaleMode() const { return m_scaleX > 0 && m_scaleY > 0; }

    // Coordinate mappings between a source of sw x sh and an output of dw x dh, or by factors.
    static void FilterPoint(int32_t* x, int32_t* y, int32_t sw, int32_t sh, int32_t dw, int32_t dh);
    static void FilterPoint(double* x, double* y, int32_t sw, int32_t sh, int32_t dw, int32_t dh);
    static void FilterPoint(int32_t* x, int32_t* y, double factor);
    static void FilterPoint(int32_t* x, int32_t* y, double fx, double fy);
    static void FilterPoint(double* x, double* y, double factor);
    static void FilterPoint(double* x, double* y, double fx, double fy);
    static void DefilterPoint(int32_t* x, int32_t* y, int32_t sw, int32_t sh, int32_t dw, int32_t dh);
    static void DefilterPoint(double* x, double* y, int32_t sw, int32_t sh, int32_t dw, int32_t dh);
    static void DefilterPoint(int32_t* x, int32_t* y, double factor);
    static void DefilterPoint(int32_t* x, int32_t* y, double fx, double fy);
    static void DefilterPoint(double* x, double* y, double factor);
    static void DefilterPoint(double* x, double* y, double fx, double fy);
    static void FilterRect(VeltraRect* rect, int32_t sw, int32_t sh, int32_t dw, int32_t dh);
    static void FilterRect(VeltraRect* rect, double factor);
    static void FilterRect(VeltraRect* rect, double fx, double fy);
    static void FilterRect(VeltraDblRect* rect, int32_t sw, int32_t sh, int32_t dw, int32_t dh);
    static void FilterRect(VeltraDblRect* rect, double factor);
    static void FilterRect(VeltraDblRect* rect, double fx, double fy);
    static void DefilterRect(VeltraRect* rect, int32_t sw, int32_t sh, int32_t dw, int32_t dh);
    static void DefilterRect(VeltraRect* rect, double factor);
    static void DefilterRect(VeltraRect* rect, double fx, double fy);
    static void DefilterRect(VeltraDblRect* rect, int32_t sw, int32_t sh, int32_t dw, int32_t dh);
    static void DefilterRect(VeltraDblRect* rect, double factor);
    static void DefilterRect(VeltraDblRect* rect, double fx, double fy);

    IVeltraError* FilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count) override;

protected:
    IVeltraError* GetFilteredSize(IVeltraDataSource** sources, int32_t count, int32_t* width,
                                  int32_t* height) override;
    IVeltraError* FilterSize(IVeltraDataSource* source, IVeltraDataDestination::ChangeSize* change) override;
    IVeltraError* FilterData(IVeltraDataSource* source, VeltraRect* rect) override;
    IVeltraError* ProcessTile(IVeltraTile* tile, CProcessInfo* info) override;

private:
    // How a virtual mapping applies: unchanged, by factors, or by sizes.
    enum class Mapping { kIdentity, kFactor, kSize };
    IVeltraError* MappingFor(IVeltraDataSource** sources, int32_t count, Mapping* mapping, int32_t* sw,
                             int32_t* sh);
    IVeltraError* SendSizeChange(int32_t oldWidth, int32_t oldHeight);

    struct Region;
    IVeltraError* Nearest(TileTarget& out, IVeltraDataSource* source, const Region& g);
    IVeltraError* Resample(TileTarget& out, IVeltraDataSource* source, const Region& g);

    int32_t m_method;
    int32_t m_width = 0;
    int32_t m_height = 0;
    double m_scaleX = 1.0;
    double m_scaleY = 1.0;

public:
    // One output column's horizontal weights (scratch of the tile operation).
    struct ColumnWeight {
        int32_t index = 0;       // first source column read
        int32_t weights[4] = {}; // area: first, last, whole count; bilinear: w0, w1; bicubic: w0..w3
    };

private:
    std::vector<ColumnWeight> m_columnWeights;
    std::vector<uint16_t> m_ring;
    int32_t m_ringLength = 0;
    int32_t m_ringRows = 0;
};
