#pragma once
// Makes images and chains; one per pipeline run.
#include "outside/veltra/VeltraError.h"
#include "outside/veltra/VeltraTypes.h"

class IVeltraChain;
class IVeltraImage;

class IVeltraManager {
public:
    // The page file and memory arguments are accepted and kept; every tile lives in memory.
    static IVeltraError* CreateManager(IVeltraManager** manager, const VeltraFile& pageFile, uint32_t memory,
                                       uint32_t factor, int32_t flags);
    static constexpr int32_t kDefaultTileSize = 256;

    virtual void Release() = 0;
    virtual IVeltraError* CreateImage(IVeltraImage** image, int32_t usage) = 0;
    virtual IVeltraError* CreateChain(IVeltraChain** chain) = 0;
    // Side of the square tiles of the images made from now on.
    virtual void SetTileSize(int32_t tileSize) = 0;
    virtual int32_t GetTileSize() const = 0;

protected:
    virtual ~IVeltraManager() = default;
};
