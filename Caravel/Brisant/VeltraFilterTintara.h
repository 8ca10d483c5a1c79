#pragma once
// Converts pictures between ICC colour spaces through a shared engine; the geometry is the
// source's, the output colour space the engine's output profile at its bit depth.
#include "Caravel/Brisant/VeltraFilterBase.h"
#include "Caravel/Brisant/VeltraFilterTintaraEngine.h"

#include <memory>

class CVeltraFilterTintara : public CVeltraFilterBase {
public:
    static constexpr int32_t kCode = VeltraFourCC("tnt ");

    explicit CVeltraFilterTintara(IVeltraManager* manager);
    ~CVeltraFilterTintara() override;

    int32_t GetFilterCode() const override { return kCode; }
    const char* GetFilterDescription() const override { return "Vorel Tintara"; }

    IVeltraError* SetTintaraEngine(CVeltraFilterTintaraEngine* engine, bool notify);
    CVeltraFilterTintaraEngine* GetTintaraEngine() const { return m_engine.Get(); }
    // User curves of the input or output side: count tables of 2^inBits entries.
    IVeltraError* SetLUT(bool output, bool merge, const uint16_t* const* tables, int32_t inBits, int32_t outBits,
                         int32_t count, bool notify);
    IVeltraError* GetLUTInfo(bool output, bool* merge, int32_t* inBits, int32_t* outBits, int32_t* count) const;
    IVeltraError* GetLUT(bool output, uint16_t* const* tables, int32_t inBits, int32_t outBits, int32_t count) const;

protected:
    IVeltraError* CheckCache() override;
    IVeltraError* GetFilteredColorSpace(IVeltraDataSource** sources, int32_t count, int32_t* colorSpace) override;
    IVeltraError* FilterColorSpace(IVeltraDataSource* source,
                                   IVeltraDataDestination::ChangeColorSpace* change) override;
    IVeltraError* ProcessTile(IVeltraTile* tile, CProcessInfo* info) override;
    IVeltraError* CheckTintara(IVeltraDataSource** sources, int32_t count);
    static int32_t GetBitsPerComponent(int32_t colorSpace);

private:
    using Curves = CVeltraFilterTintaraEngine::Curves;
    int32_t OutputColorSpace() const;
    IVeltraError* NotifyAllPixels(int32_t module);

    int32_t m_seenEngineChange = 0;
    int32_t m_changeCounter = 0;
    Curves m_input;
    Curves m_output;
    CVeltraFilterTintaraEngine::Pointer m_engine;
};
