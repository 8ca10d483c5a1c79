#pragma once
// A node that hands out pixels in square tiles: images, filters, the chain.
#include "outside/veltra/VeltraError.h"
#include "outside/veltra/VeltraTypes.h"

class IVeltraDataDestination;
class IVeltraDataSource;
class IVeltraTile;
class IVeltraTileGrid;

// Names one tile of one source.
struct IVeltraTileID {
    const IVeltraDataSource* source = nullptr;
    int32_t column = 0;
    int32_t row = 0;
};

class IVeltraDataSource {
public:
    IVeltraDataSource() = default;
    IVeltraDataSource(const IVeltraDataSource&) = delete;
    IVeltraDataSource& operator=(const IVeltraDataSource&) = delete;
    // Disconnects the node from every link it still has, telling the neighbours.
    virtual ~IVeltraDataSource();

    virtual IVeltraError* VeltraAddDataDestinationCheck(const IVeltraDataDestination* destination);
    virtual IVeltraError* VeltraRemoveDataDestinationCheck(const IVeltraDataDestination* destination);
    virtual IVeltraError* VeltraAddedDataDestination(const IVeltraDataDestination* destination);
    virtual IVeltraError* VeltraRemovedDataDestination(const IVeltraDataDestination* destination);
    virtual IVeltraError* GetWidth(int32_t* width) = 0;
    virtual IVeltraError* GetHeight(int32_t* height) = 0;
    virtual IVeltraError* GetColorSpace(int32_t* colorSpace) = 0;
    virtual IVeltraError* GetResolution(double* resolution) = 0;
    virtual IVeltraError* GetFlip(bool* flip) = 0;
    virtual IVeltraError* GetRotation(double* rotation) = 0;
    virtual IVeltraError* GetTileSize(int32_t* tileSize) = 0;
    virtual IVeltraError* GetPalette(VeltraPalette* palette) = 0;
    virtual IVeltraError* TileExists(bool* exists, const IVeltraTileID& id) = 0;
    virtual IVeltraError* TileExists(bool* exists, int32_t column, int32_t row) = 0;
    virtual IVeltraError* GetTile(IVeltraTile** tile, const IVeltraTileID& id) = 0;
    virtual IVeltraError* GetTile(IVeltraTile** tile, int32_t column, int32_t row) = 0;
    virtual IVeltraError* LockTile(void** bits, VeltraRect* tileRect, VeltraRect* coveredRect, int32_t* rowBytes,
                                   const IVeltraTileGrid& grid, int32_t column, int32_t row,
                                   VeltraBitmapHeader** header) = 0;
    virtual IVeltraError* LockTile(void** bits, const IVeltraTileID& id, VeltraBitmapHeader** header) = 0;
    virtual IVeltraError* LockTile(void** bits, int32_t column, int32_t row, VeltraBitmapHeader** header) = 0;
    virtual IVeltraError* UnlockTile(const IVeltraTileGrid& grid, int32_t column, int32_t row) = 0;
    virtual IVeltraError* UnlockTile(const IVeltraTileID& id) = 0;
    virtual IVeltraError* UnlockTile(int32_t column, int32_t row) = 0;
    // One pixel, read through the tile that holds it.
    virtual IVeltraError* GetPixel(VeltraPixel* pixel, int32_t x, int32_t y);
    virtual IVeltraError* MapRect(IVeltraTileGrid** grid, const VeltraRect& rect) = 0;

    IVeltraError* GetSize(int32_t* width, int32_t* height);
    IVeltraError* GetTransform(bool* flip, double* rotation);
    // Row length of every tile of this source: tile side x bits per pixel, in 4-byte units.
    IVeltraError* GetRowBytes(int32_t* rowBytes);
    static int32_t GetBitsPerPixel(int32_t colorSpace);
    // Planes (components) and bits per component of a colour-space code; false for a code
    // whose layout is not a fixed number of equal samples (unknown codes and plain byte
    // counts). planes x bits is GetBitsPerPixel for every code it answers.
    static bool GetSampleLayout(int32_t colorSpace, int32_t* planes, int32_t* bitsPerSample);
    static int32_t RowBytesFor(int32_t pixels, int32_t colorSpace);
};
