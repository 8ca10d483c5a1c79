#pragma once
// The base of every image filter: a node of the pull graph that produces its output tiles on
// demand into a cache image, forwards reads while it is disabled or changes nothing, renders
// process runs into a caller's image, and passes change notifications downstream.
#include "outside/veltra/VeltraFilter.h"
#include "outside/veltra/VeltraGraph.h"
#include "outside/veltra/VeltraImage.h"
#include "outside/veltra/VeltraManager.h"
#include "outside/veltra/VeltraTile.h"
#include "outside/veltra/VeltraTileGrid.h"

#include <cstdint>
#include <map>

class CVeltraFilterWatcher;

class CVeltraFilterBase : public IVeltraFilter {
public:
    class CProcessInfo;
    class CPixelPtr;
    class CPixelBitPtr;
    class CIntermediateCache;

    // The base's module number in error chains.
    static constexpr int32_t kModule = 32;

    CVeltraFilterBase(IVeltraManager* manager, int32_t cacheUsage);
    ~CVeltraFilterBase() override;

    // IVeltraDataSource part
    IVeltraError* VeltraAddedDataDestination(const IVeltraDataDestination* destination) override;
    IVeltraError* VeltraRemovedDataDestination(const IVeltraDataDestination* destination) override;
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

    // IVeltraFilter part
    IVeltraError* Enable(bool enable, bool notify) override;
    bool IsEnabled() const override { return m_enabled; }
    IVeltraManager* GetManager() const override { return m_manager; }
    int32_t GetFilterID() const override { return m_filterId; }
    IVeltraError* FilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* FilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* DefilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* GenerateTile(IVeltraTile* tile, IVeltraDataSource** sources, int32_t count) override;
    IVeltraError* Process(IVeltraDataSource** sources, int32_t count, IVeltraImage* destination) override;
    IVeltraError* BeginProcess(int32_t* id, IVeltraDataSource** sources, int32_t count,
                               IVeltraImage* destination) override;
    IVeltraError* ExecuteProcess(int32_t id, int32_t* done, int32_t* total) override;
    IVeltraError* GetProcessInfo(int32_t id, IVeltraDataSource*** sources, int32_t* count,
                                 IVeltraImage** destination) override;
    IVeltraError* EndProcess(int32_t id) override;

    // the base's own
    virtual int32_t GetCacheUsage() const { return m_cacheUsage; }
    virtual IVeltraError* SetCacheUsage(int32_t usage);
    virtual IVeltraError* AddWatcher(CVeltraFilterWatcher* watcher);
    virtual IVeltraError* RemoveWatcher(CVeltraFilterWatcher* watcher);

    // IVeltraDataDestination part
    IVeltraError* VeltraNotify(IVeltraDataSource* source, int32_t code, void* data) override;
    IVeltraError* VeltraAddedDataSource(const IVeltraDataSource* source) override;
    IVeltraError* VeltraRemovedDataSource(const IVeltraDataSource* source) override;

    void GetSources(IVeltraDataSource*** sources, int32_t* count) const;
    bool IsChanged() const { return m_changed; }
    bool IsPassThrough() const { return m_passThrough; }
    IVeltraImage* GetCacheImage() const { return m_cacheImage; }

    // Watcher-list record (watcher notification code 0).
    struct WatcherList {
        bool added = false;
        CVeltraFilterWatcher* watcher = nullptr;
        int32_t count = 0;
        CVeltraFilterWatcher** watchers = nullptr;
    };

protected:
    virtual IVeltraError* NotifyWatchers(int32_t code, void* data);
    virtual IVeltraError* LockAndGenerate(void** bits, IVeltraTile* tile, VeltraBitmapHeader** header);
    virtual IVeltraError* CheckCache();
    virtual IVeltraError* InvalidateCache(const VeltraRect& rect);
    virtual IVeltraError* GetFilteredSize(IVeltraDataSource** sources, int32_t count, int32_t* width,
                                          int32_t* height);
    virtual IVeltraError* GetFilteredColorSpace(IVeltraDataSource** sources, int32_t count, int32_t* colorSpace);
    virtual IVeltraError* GetFilteredResolution(IVeltraDataSource** sources, int32_t count, double* resolution);
    virtual IVeltraError* GetFilteredTransform(IVeltraDataSource** sources, int32_t count, bool* flip,
                                               double* rotation);
    virtual IVeltraError* GetFilteredPalette(IVeltraDataSource** sources, int32_t count, VeltraPalette* palette);
    virtual IVeltraError* FilterUser(IVeltraDataSource* source, int32_t code, void* data);
    virtual IVeltraError* FilterData(IVeltraDataSource* source, VeltraRect* rect);
    virtual IVeltraError* FilterSize(IVeltraDataSource* source, IVeltraDataDestination::ChangeSize* change);
    virtual IVeltraError* FilterColorSpace(IVeltraDataSource* source,
                                           IVeltraDataDestination::ChangeColorSpace* change);
    virtual IVeltraError* FilterResolution(IVeltraDataSource* source,
                                           IVeltraDataDestination::ChangeResolution* change);
    virtual IVeltraError* FilterTransform(IVeltraDataSource* source,
                                          IVeltraDataDestination::ChangeTransform* change);
    virtual IVeltraError* FilterPalette(IVeltraDataSource* source, IVeltraDataDestination::ChangePalette* change);
    virtual IVeltraError* FilterDestroy(IVeltraDataSource* source);
    virtual IVeltraError* FilterUpdateAll(IVeltraDataSource* source);
    virtual IVeltraError* ProcessTile(IVeltraTile* tile, CProcessInfo* info) = 0;
    virtual CProcessInfo* AllocateProcessInfo(int32_t id, IVeltraDataSource** sources, int32_t count,
                                              IVeltraImage* destination);

    // Helpers shared by the filters' tile operations.
    // The sources a tile operation reads: the run's, else the filter's own.
    void SourcesFor(const CProcessInfo* info, IVeltraDataSource*** sources, int32_t* count) const;
    // The sources a GetFiltered operation computes from: the given ones, else the filter's own.
    void SourcesOrOwn(IVeltraDataSource** given, int32_t givenCount, IVeltraDataSource*** sources,
                      int32_t* count) const;
    // First source, or null when none is connected.
    IVeltraDataSource* FirstSource() const;
    bool HasSource() const { return m_sourceCount >= 1 && m_sources && m_sources[0]; }
    // Error for an operation that needs a source and has none.
    IVeltraError* NoSourceError(int32_t module, int32_t line) const;

    // The output tile of a ProcessTile call: its stale region, its square and its locked bits.
    class TileTarget {
    public:
        explicit TileTarget(IVeltraTile* tile) : m_tile(tile) {}
        TileTarget(const TileTarget&) = delete;
        TileTarget& operator=(const TileTarget&) = delete;
        ~TileTarget() { Unlock(); }
        // False when the tile has nothing left to produce.
        bool FindRegion();
        IVeltraError* Lock();
        // Unlocks (when locked) and, when done is true, tells the tile its pixels are produced.
        IVeltraError* Finish(bool done);
        void Unlock();
        // Address of output pixel (x, y) in picture coordinates.
        unsigned char* At(int32_t x, int32_t y, int32_t bytesPerPixel) const
        {
            return bits + static_cast<ptrdiff_t>(y - rect.top) * rowBytes +
                   static_cast<ptrdiff_t>(x - rect.left) * bytesPerPixel;
        }

        VeltraRect region;
        VeltraRect rect;
        int32_t rowBytes = 0;
        unsigned char* bits = nullptr;

    private:
        IVeltraTile* m_tile;
        bool m_locked = false;
    };

    // One locked source tile of a walk: pixels at the covered rectangle's top-left.
    struct SourceBlock {
        const unsigned char* bits = nullptr;
        int32_t rowBytes = 0;
        VeltraRect covered;
        VeltraRect tileRect;
    };

    // The walk over the source tiles that cover region, shared by the filters: each tile is
    // locked, handed to visit (which returns an error or null) and unlocked; the grid is released.
    template <class Visit>
    static IVeltraError* WalkSourceTiles(IVeltraDataSource* source, const VeltraRect& region, int32_t module,
                                         int32_t bytesPerPixel, Visit&& visit)
    {
        IVeltraTileGrid* grid = nullptr;
        if (IVeltraError* e = source->MapRect(&grid, region))
            return IVeltraError::AddWorker(nullptr, module, __LINE__, e);
        if (!grid)
            return nullptr;
        IVeltraError* err = nullptr;
        for (int32_t row = 0; row < grid->GetRowCount() && !err; ++row) {
            for (int32_t col = 0; col < grid->GetColumnCount() && !err; ++col) {
                void* bits = nullptr;
                SourceBlock block;
                if (IVeltraError* e = source->LockTile(&bits, &block.tileRect, &block.covered, &block.rowBytes,
                                                       *grid, col, row, nullptr)) {
                    err = IVeltraError::AddWorker(nullptr, module, __LINE__, e);
                    break;
                }
                block.bits = static_cast<const unsigned char*>(bits) +
                             static_cast<ptrdiff_t>(block.covered.top - block.tileRect.top) * block.rowBytes +
                             static_cast<ptrdiff_t>(block.covered.left - block.tileRect.left) * bytesPerPixel;
                if (block.covered.right > block.covered.left && block.covered.bottom > block.covered.top)
                    err = visit(block);
                if (IVeltraError* e = source->UnlockTile(*grid, col, row))
                    err = IVeltraError::AddWorker(&err, module, __LINE__, e);
            }
        }
        grid->Destroy();
        return err;
    }

    bool m_changed = true;
    bool m_passThrough = false;
    IVeltraDataSource** m_sources = nullptr;
    int32_t m_sourceCount = 0;

private:
    friend class CIntermediateCache;
    IVeltraError* RefreshSources();
    IVeltraError* RefreshDestinations();
    IVeltraError* DescribeImage(IVeltraDataSource** sources, int32_t count, IVeltraImage* image, bool always,
                                int32_t* width, int32_t* height);
    IVeltraError* InvalidateAllTiles(int32_t width, int32_t height);
    IVeltraError* SendWatcherList(bool added, CVeltraFilterWatcher* watcher);
    IVeltraError* OpenDestinationGrid(IVeltraDataSource** sources, int32_t count, IVeltraImage* destination,
                                      IVeltraTileGrid** grid);

    int32_t m_filterId;
    IVeltraManager* m_manager;
    IVeltraImage* m_cacheImage = nullptr;
    int32_t m_cacheUsage;
    int32_t m_sourceCapacity = 0;
    IVeltraDataDestination** m_destinations = nullptr;
    int32_t m_destinationCount = 0;
    int32_t m_destinationCapacity = 0;
    bool m_enabled = true;
    std::map<int32_t, CProcessInfo*> m_runs;
    int32_t m_nextRunId = 1;
    std::map<CVeltraFilterWatcher*, int32_t> m_watchers;
};

#include "Caravel/Brisant/IntermediateCache.h"
#include "Caravel/Brisant/PixelBitPtr.h"
#include "Caravel/Brisant/PixelPtr.h"
#include "Caravel/Brisant/ProcessInfo.h"
