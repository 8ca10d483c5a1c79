#pragma once
// The framework manager: hands out images and chains.
#include "outside/veltra/VeltraManager.h"

#include <string>

class MemoryManager final : public IVeltraManager {
public:
    MemoryManager(const VeltraFile& pageFile, uint32_t memory, uint32_t factor);

    void Release() override { delete this; }
    IVeltraError* CreateImage(IVeltraImage** image, int32_t usage) override;
    IVeltraError* CreateChain(IVeltraChain** chain) override;
    void SetTileSize(int32_t tileSize) override;
    int32_t GetTileSize() const override { return m_tileSize; }

private:
    std::string m_pageFile;
    uint32_t m_memory;
    uint32_t m_factor;
    int32_t m_tileSize = kDefaultTileSize;
    int32_t m_nextImageId = 1;
};
