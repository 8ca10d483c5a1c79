#pragma once
// Maps every component of every pixel through a per-plane lookup table. The caller's tables,
// of any index and value width, are resampled once into working tables of the source's depth.
#include "Caravel/Brisant/VeltraFilterBase.h"

#include <memory>

class CVeltraFilterLut : public CVeltraFilterBase {
public:
    static constexpr int32_t kCode = VeltraFourCC("Lut ");
    static constexpr int32_t kMaxTables = 4;

    explicit CVeltraFilterLut(IVeltraManager* manager);
    ~CVeltraFilterLut() override;

    int32_t GetFilterCode() const override { return kCode; }
    const char* GetFilterDescription() const override { return "Filter to apply LUTs"; }

    // count tables of 2^inputBits entries with values of outputBits bits; a null entry is the
    // identity; a null list or count 0 sets identity tables for four planes.
    IVeltraError* SetLUT(const uint16_t* const* tables, int32_t inputBits, int32_t outputBits, int32_t count,
                         bool notify);
    IVeltraError* GetLUTInfo(int32_t* inputBits, int32_t* outputBits, int32_t* count) const;
    IVeltraError* GetLUT(uint16_t* const* tables, int32_t inputBits, int32_t outputBits, int32_t count) const;

protected:
    IVeltraError* ProcessTile(IVeltraTile* tile, CProcessInfo* info) override;

private:
    int32_t TablesInUse() const;
    IVeltraError* RebuildWorkingTables(int32_t count, int32_t bits);
    void BuildWorkingTable(const uint16_t* user, uint16_t* working, int32_t bits) const;

    std::unique_ptr<uint16_t[]> m_user[kMaxTables];
    std::unique_ptr<uint16_t[]> m_working[kMaxTables];
    bool m_rebuild = true;
    int32_t m_inputBits = 0;
    int32_t m_outputBits = 0;
    int32_t m_workingBits = 0;
};
