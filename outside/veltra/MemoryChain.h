#pragma once
// The chain object: source image -> filter 1 -> ... -> filter n.
#include "outside/veltra/VeltraChain.h"
#include "outside/veltra/VeltraGraph.h"

#include <vector>

class MemoryChain final : public IVeltraChain, private IVeltraGraphObserver {
public:
    MemoryChain();
    ~MemoryChain() override;

    void Release() override;
    IVeltraError* SetSource(IVeltraDataSource* source, int32_t flags) override;
    IVeltraError* AppendFilter(IVeltraFilter* filter, int32_t position) override;
    int32_t GetFilterCount() const override { return static_cast<int32_t>(m_filters.size()); }
    IVeltraFilter* GetFilter(int32_t index) const override;

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

private:
    void VeltraNodeGone(const void* node) override;
    IVeltraDataSource* Before(size_t index) const;
    IVeltraDataSource* Last() const;

    IVeltraDataSource* m_source = nullptr;
    std::vector<IVeltraFilter*> m_filters;
};
