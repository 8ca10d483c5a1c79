#pragma once
// Counts the values of its source's pixels while passing them on unchanged: every data-source
// call goes to the single source, and each source tile is counted once, the first time it is
// locked through this filter.
#include "Caravel/Brisant/VeltraFilterBase.h"

#include <vector>

class CVeltraFilterHistogram : public CVeltraFilterBase {
public:
    static constexpr int32_t kCode = VeltraFourCC("hsto");
    static constexpr int32_t kIncomplete = -2100;  // destination codes after each tile counted
    static constexpr int32_t kComplete = -2099;
    static constexpr int32_t kPlanes = 5;
    static constexpr int32_t kBins = 65536;

    explicit CVeltraFilterHistogram(IVeltraManager* manager);
    ~CVeltraFilterHistogram() override;

    int32_t GetFilterCode() const override { return kCode; }
    const char* GetFilterDescription() const override { return "Histogram Filter"; }

    // Plane 0 holds the combined value, planes 1-4 the components. counts receives
    // 2^min(bits, native bits) entries; returns the bits delivered (0 for a bad plane or nothing
    // counted yet).
    int32_t GetHistogram(int32_t plane, uint32_t* counts, int32_t bits) const;
    int32_t GetNativeBits() const { return m_nativeBits; }
    bool IsComplete() const;
    IVeltraError* SetCrop(const VeltraRect& crop);
    const VeltraRect& GetCrop() const { return m_crop; }
    // Counts tiles until the budget in milliseconds is spent or everything is counted.
    IVeltraError* SpendTime(uint32_t milliseconds);
    IVeltraError* ForceCompletion();

    IVeltraError* GetWidth(int32_t* width) override;
    IVeltraError* GetHeight(int32_t* height) override;
    IVeltraError* GetColorSpace(int32_t* colorSpace) override;
    IVeltraError* GetResolution(double* resolution) override;
    IVeltraError* GetFlip(bool* flip) override;
    IVeltraError* GetRotation(double* rotation) override;
    IVeltraError* GetTileSize(int32_t* tileSize) override;
    IVeltraError* GetPalette(VeltraPalette* palette) override;
    IVeltraError* TileExists(bool* exists, const IVeltraTileID& id) override;
    IVeltraError* TileExists(bool* exists, int32_t column, int32_t row) override;
    IVeltraError* GetTile(IVeltraTile** tile, const IVeltraTileID& id) override;
    IVeltraError* GetTile(IVeltraTile** tile, int32_t column, int32_t row) override;
    IVeltraError* LockTile(void** bits, VeltraRect* tileRect, VeltraRect* coveredRect, int32_t* rowBytes,
                           const IVeltraTileGrid& grid, int32_t column, int32_t row,
                           VeltraBitmapHeader** header) override;
    IVeltraError* LockTile(void** bits, const IVeltraTileID& id, VeltraBitmapHeader** header) override;
    IVeltraError* LockTile(void** bits, int32_t column, int32_t row, VeltraBitmapHeader** header) override;
    IVeltraError* UnlockTile(const IVeltraTileGrid& grid, int32_t column, int32_t row) override;
    IVeltraError* UnlockTile(const IVeltraTileID& id) override;
    IVeltraError* UnlockTile(int32_t column, int32_t row) override;
    IVeltraError* MapRect(IVeltraTileGrid** grid, const VeltraRect& rect) override;

    // Stores the flag only: counting stops or resumes, nothing is sent.
    IVeltraError* Enable(bool enable, bool notify) override;
    IVeltraError* GenerateTile(IVeltraTile* tile, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* Process(IVeltraDataSource** sources, int32_t count, IVeltraImage* destination) override;
    IVeltraError* BeginProcess(int32_t* id, IVeltraDataSource** sources, int32_t count,
                               IVeltraImage* destination) override;
    IVeltraError* ExecuteProcess(int32_t id, int32_t* done, int32_t* total) override;
    IVeltraError* GetProcessInfo(int32_t id, IVeltraDataSource*** sources, int32_t* count,
                                 IVeltraImage** destination) override;
    IVeltraError* EndProcess(int32_t id) override;

    IVeltraError* VeltraNotify(IVeltraDataSource* source, int32_t code, void* data) override;
    IVeltraError* VeltraAddedDataSource(const IVeltraDataSource* source) override;
    IVeltraError* VeltraRemovedDataSource(const IVeltraDataSource* source) override;

protected:
    IVeltraError* ProcessTile(IVeltraTile* tile, CProcessInfo* info) override;
    // Binds the single source when none is bound; nothing bound is not an error here.
    IVeltraError* GetSource();
    IVeltraError* Initialize();
    IVeltraError* CalculateTile(uint32_t index);
    IVeltraError* DoHistogram(void* pixels, const VeltraRect& tileRect, int32_t rowLength);

private:
    IVeltraError* Bound();
    void Forget();
    void Count(const unsigned char* first, const VeltraRect& area, int32_t rowLength);

    IVeltraDataSource* m_source = nullptr;
    std::vector<uint32_t> m_bins;
    VeltraRect m_crop;
    VeltraRect m_counted;
    std::vector<uint8_t> m_flags;
    int32_t m_tileColumns = 1;
    int32_t m_tileSize = 0;
    int32_t m_colorSpace = 0;
    int32_t m_nativeBits = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_firstColumn = 0;
    int32_t m_firstRow = 0;
    IVeltraImage* m_runImage = nullptr;
    IVeltraTileGrid* m_runGrid = nullptr;
    int32_t m_runColumn = 0;
    int32_t m_runRow = 0;
    IVeltraDataSource* m_runSources[1] = {nullptr};
};
