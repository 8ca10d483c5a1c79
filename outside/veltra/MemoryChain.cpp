#include "outside/veltra/MemoryChain.h"

#include "outside/veltra/VeltraFilter.h"

namespace {
constexpr int32_t kModule = 0;

IVeltraError* NoSource(int32_t line)
{
    return IVeltraError::Add(nullptr, kModule, line, 0, kVeltraNoSource);
}

// Disconnect a link the chain made, if it is still there.
void DropLink(IVeltraDataSource* source, IVeltraDataDestination* destination)
{
    if (!source || !destination)
        return;
    if (IVeltraError* e = VeltraDisconnect(source, destination))
        e->Release();
}
}  // namespace

MemoryChain::MemoryChain()
{
    VeltraAddGraphObserver(this);
}

MemoryChain::~MemoryChain()
{
    VeltraRemoveGraphObserver(this);
}

void MemoryChain::Release()
{
    for (size_t i = 0; i < m_filters.size(); ++i)
        DropLink(Before(i), m_filters[i]);
    m_filters.clear();
    m_source = nullptr;
    delete this;
}

IVeltraFilter* MemoryChain::GetFilter(int32_t index) const
{
    if (index < 0 || index >= GetFilterCount())
        return nullptr;
    return m_filters[static_cast<size_t>(index)];
}

IVeltraDataSource* MemoryChain::Before(size_t index) const
{
    return index == 0 ? m_source : static_cast<IVeltraDataSource*>(m_filters[index - 1]);
}

IVeltraDataSource* MemoryChain::Last() const
{
    return m_filters.empty() ? m_source : static_cast<IVeltraDataSource*>(m_filters.back());
}

IVeltraError* MemoryChain::SetSource(IVeltraDataSource* source, int32_t)
{
    if (!m_filters.empty())
        DropLink(m_source, m_filters.front());
    m_source = source;
    if (source && !m_filters.empty())
        return VELTRA_WRAP(kModule, VeltraConnect(source, m_filters.front()));
    return nullptr;
}

IVeltraError* MemoryChain::AppendFilter(IVeltraFilter* filter, int32_t position)
{
    if (!filter)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    size_t at = m_filters.size();
    if (position >= 0 && static_cast<size_t>(position) < m_filters.size())
        at = static_cast<size_t>(position);
    IVeltraDataSource* before = Before(at);
    IVeltraFilter* after = at < m_filters.size() ? m_filters[at] : nullptr;
    if (before && after)
        DropLink(before, after);
    m_filters.insert(m_filters.begin() + static_cast<ptrdiff_t>(at), filter);
    IVeltraError* err = nullptr;
    if (before)
        err = VeltraConnect(before, filter);
    if (after)
        if (IVeltraError* e = VeltraConnect(filter, after))
            err = IVeltraError::AddWorker(&err, kModule, __LINE__, e);
    return err ? VELTRA_WRAP(kModule, err) : nullptr;
}

void MemoryChain::VeltraNodeGone(const void* node)
{
    if (node == m_source)
        m_source = nullptr;
    for (size_t i = 0; i < m_filters.size(); ++i) {
        IVeltraFilter* f = m_filters[i];
        if (node != static_cast<const void*>(static_cast<IVeltraDataSource*>(f)) &&
            node != static_cast<const void*>(static_cast<IVeltraDataDestination*>(f)))
            continue;
        // keep the chain whole: join the neighbours of the member that went away
        IVeltraDataSource* before = Before(i);
        m_filters.erase(m_filters.begin() + static_cast<ptrdiff_t>(i));
        if (before && i < m_filters.size())
            if (IVeltraError* e = VeltraConnect(before, m_filters[i]))
                e->Release();
        return;
    }
}

#define CHAIN_FORWARD(call)                            \
    IVeltraDataSource* last = Last();                  \
    if (!last)                                         \
        return NoSource(__LINE__);                     \
    return VELTRA_WRAP(kModule, last->call)

IVeltraError* MemoryChain::GetWidth(int32_t* width) { CHAIN_FORWARD(GetWidth(width)); }
IVeltraError* MemoryChain::GetHeight(int32_t* height) { CHAIN_FORWARD(GetHeight(height)); }
IVeltraError* MemoryChain::GetColorSpace(int32_t* colorSpace) { CHAIN_FORWARD(GetColorSpace(colorSpace)); }
IVeltraError* MemoryChain::GetResolution(double* resolution) { CHAIN_FORWARD(GetResolution(resolution)); }
IVeltraError* MemoryChain::GetFlip(bool* flip) { CHAIN_FORWARD(GetFlip(flip)); }
IVeltraError* MemoryChain::GetRotation(double* rotation) { CHAIN_FORWARD(GetRotation(rotation)); }
IVeltraError* MemoryChain::GetTileSize(int32_t* tileSize) { CHAIN_FORWARD(GetTileSize(tileSize)); }
IVeltraError* MemoryChain::GetPalette(VeltraPalette* palette) { CHAIN_FORWARD(GetPalette(palette)); }
IVeltraError* MemoryChain::TileExists(bool* exists, const IVeltraTileID& id) { CHAIN_FORWARD(TileExists(exists, id)); }
IVeltraError* MemoryChain::TileExists(bool* exists, int32_t column, int32_t row)
{
    CHAIN_FORWARD(TileExists(exists, column, row));
}
IVeltraError* MemoryChain::GetTile(IVeltraTile** tile, const IVeltraTileID& id) { CHAIN_FORWARD(GetTile(tile, id)); }
IVeltraError* MemoryChain::GetTile(IVeltraTile** tile, int32_t column, int32_t row)
{
    CHAIN_FORWARD(GetTile(tile, column, row));
}
IVeltraError* MemoryChain::LockTile(void** bits, VeltraRect* tileRect, VeltraRect* coveredRect, int32_t* rowBytes,
                                    const IVeltraTileGrid& grid, int32_t column, int32_t row,
                                    VeltraBitmapHeader** header)
{
    CHAIN_FORWARD(LockTile(bits, tileRect, coveredRect, rowBytes, grid, column, row, header));
}
IVeltraError* MemoryChain::LockTile(void** bits, const IVeltraTileID& id, VeltraBitmapHeader** header)
{
    CHAIN_FORWARD(LockTile(bits, id, header));
}
IVeltraError* MemoryChain::LockTile(void** bits, int32_t column, int32_t row, VeltraBitmapHeader** header)
{
    CHAIN_FORWARD(LockTile(bits, column, row, header));
}
IVeltraError* MemoryChain::UnlockTile(const IVeltraTileGrid& grid, int32_t column, int32_t row)
{
    CHAIN_FORWARD(UnlockTile(grid, column, row));
}
IVeltraError* MemoryChain::UnlockTile(const IVeltraTileID& id) { CHAIN_FORWARD(UnlockTile(id)); }
IVeltraError* MemoryChain::UnlockTile(int32_t column, int32_t row) { CHAIN_FORWARD(UnlockTile(column, row)); }
IVeltraError* MemoryChain::MapRect(IVeltraTileGrid** grid, const VeltraRect& rect) { CHAIN_FORWARD(MapRect(grid, rect)); }
