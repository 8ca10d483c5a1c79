#pragma once
// Converts between grey and RGB and between 8 and 16 bits per component with fixed integer
// formulas (no colour management).
#include "Caravel/Brisant/VeltraFilterBase.h"

class CVeltraFilterColorSpace : public CVeltraFilterBase {
public:
    static constexpr int32_t kCode = VeltraFourCC("CSpc");

    enum eOutputColorSpace : int32_t {
        eOutputColorSpaceSource = 0,
        eOutputColorSpaceGray = 1,
        eOutputColorSpaceRGB = 2,
    };
    enum eOutputBitDepth : int32_t {
        eOutputBitDepthSource = 0,
        eOutputBitDepth8 = 1,
        eOutputBitDepth16 = 2,
    };

    explicit CVeltraFilterColorSpace(IVeltraManager* manager);
    ~CVeltraFilterColorSpace() override;

    int32_t GetFilterCode() const override { return kCode; }
    const char* GetFilterDescription() const override { return "No-CMS ColorSpace Filter"; }

    IVeltraError* SetOutputColorSpace(eOutputColorSpace colorSpace, eOutputBitDepth depth, bool notify);
    eOutputColorSpace GetOutputColorSpace() const { return m_outputColorSpace; }
    eOutputBitDepth GetOutputBitDepth() const { return m_outputBitDepth; }

    IVeltraError* VeltraAddedDataSource(const IVeltraDataSource* source) override;
    IVeltraError* VeltraRemovedDataSource(const IVeltraDataSource* source) override;

    // The output code for a source code.
    int32_t DoColorSpaceFiltering(int32_t sourceCode) const;

protected:
    IVeltraError* GetFilteredColorSpace(IVeltraDataSource** sources, int32_t count, int32_t* colorSpace) override;
    IVeltraError* FilterColorSpace(IVeltraDataSource* source,
                                   IVeltraDataDestination::ChangeColorSpace* change) override;
    IVeltraError* FilterUpdateAll(IVeltraDataSource* source) override;
    IVeltraError* ProcessTile(IVeltraTile* tile, CProcessInfo* info) override;

private:
    IVeltraError* ApplyPassThroughRule();

    eOutputColorSpace m_outputColorSpace = eOutputColorSpaceSource;
    eOutputBitDepth m_outputBitDepth = eOutputBitDepthSource;
};
