#include "outside/veltra/MemoryManager.h"

#include "outside/veltra/MemoryChain.h"
#include "outside/veltra/MemoryImage.h"

#include <new>

namespace {
constexpr int32_t kModule = 0;
}

IVeltraError* IVeltraManager::CreateManager(IVeltraManager** manager, const VeltraFile& pageFile, uint32_t memory,
                                            uint32_t factor, int32_t)
{
    if (!manager)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    *manager = new (std::nothrow) MemoryManager(pageFile, memory, factor);
    if (!*manager)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
    return nullptr;
}

MemoryManager::MemoryManager(const VeltraFile& pageFile, uint32_t memory, uint32_t factor)
    : m_pageFile(pageFile.path), m_memory(memory), m_factor(factor)
{
}

IVeltraError* MemoryManager::CreateImage(IVeltraImage** image, int32_t usage)
{
    if (!image)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    *image = new (std::nothrow) MemoryImage(this, m_nextImageId++, usage, m_tileSize);
    if (!*image)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
    return nullptr;
}

IVeltraError* MemoryManager::CreateChain(IVeltraChain** chain)
{
    if (!chain)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    *chain = new (std::nothrow) MemoryChain;
    if (!*chain)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
    return nullptr;
}

void MemoryManager::SetTileSize(int32_t tileSize)
{
    if (tileSize > 0)
        m_tileSize = tileSize;
}
