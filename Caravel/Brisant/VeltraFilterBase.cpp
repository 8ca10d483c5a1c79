#include "Caravel/Brisant/VeltraFilterBase.h"

#include "Caravel/Brisant/VeltraFilterWatcher.h"

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#define WRAP(e) VELTRA_WRAP(kModule, e)

namespace {
// Library-wide filter counter: every construction of any filter takes the next value.
int32_t g_nextFilterId = 1;
}  // namespace

CVeltraFilterBase::CVeltraFilterBase(IVeltraManager* manager, int32_t cacheUsage)
    : m_filterId(g_nextFilterId++), m_manager(manager), m_cacheUsage(cacheUsage)
{
}

CVeltraFilterBase::~CVeltraFilterBase()
{
    // runs left open by the owner are ended here, so that no grid or record leaks
    for (auto& [id, info] : m_runs)
        info->Destroy();
    m_runs.clear();
    // watchers must not keep a pointer to a filter that is gone
    for (auto& [watcher, count] : m_watchers)
        watcher->m_registeredWith.erase(this);
    m_watchers.clear();
    if (m_cacheImage)
        m_cacheImage->Destroy();
    std::free(m_sources);
    std::free(m_destinations);
}

// ---- identity and switches

IVeltraError* CVeltraFilterBase::SetCacheUsage(int32_t usage)
{
    if (usage == m_cacheUsage)
        return nullptr;
    m_cacheUsage = usage;
    m_changed = true;
    if (m_cacheImage)
        return WRAP(m_cacheImage->SetUsage(usage));
    return nullptr;
}

IVeltraError* CVeltraFilterBase::Enable(bool enable, bool notify)
{
    if (enable == m_enabled)
        return nullptr;
    m_enabled = enable;
    if (notify)
        return WRAP(VeltraSendDataNotification(this, kVeltraNotifyUpdateAll, nullptr));
    return nullptr;
}

// ---- sources and destinations: copies of the framework's lists, refreshed whole

IVeltraError* CVeltraFilterBase::RefreshSources()
{
    const IVeltraDataDestination* self = this;
    const int32_t n = VeltraGetDataSourceCount(self);
    if (n > m_sourceCapacity) {
        auto* grown = static_cast<IVeltraDataSource**>(std::calloc(static_cast<size_t>(n), sizeof(IVeltraDataSource*)));
        if (!grown)
            return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
        std::free(m_sources);
        m_sources = grown;
        m_sourceCapacity = n;
    }
    m_sourceCount = n;
    if (n > 0)
        return WRAP(VeltraGetDataSources(self, m_sources, n));
    return nullptr;
}

IVeltraError* CVeltraFilterBase::RefreshDestinations()
{
    const IVeltraDataSource* self = this;
    const int32_t n = VeltraGetDataDestinationCount(self);
    if (n > m_destinationCapacity) {
        auto* grown = static_cast<IVeltraDataDestination**>(
            std::calloc(static_cast<size_t>(n), sizeof(IVeltraDataDestination*)));
        if (!grown)
            return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
        std::free(m_destinations);
        m_destinations = grown;
        m_destinationCapacity = n;
    }
    m_destinationCount = n;
    if (n > 0)
        return WRAP(VeltraGetDataDestinations(self, m_destinations, n));
    return nullptr;
}

IVeltraError* CVeltraFilterBase::VeltraAddedDataSource(const IVeltraDataSource*)
{
    if (IVeltraError* e = RefreshSources())
        return e;
    m_changed = true;
    return nullptr;
}

IVeltraError* CVeltraFilterBase::VeltraRemovedDataSource(const IVeltraDataSource*)
{
    if (IVeltraError* e = RefreshSources())
        return e;
    m_changed = true;
    return nullptr;
}

IVeltraError* CVeltraFilterBase::VeltraAddedDataDestination(const IVeltraDataDestination*)
{
    return RefreshDestinations();
}

IVeltraError* CVeltraFilterBase::VeltraRemovedDataDestination(const IVeltraDataDestination*)
{
    return RefreshDestinations();
}

void CVeltraFilterBase::GetSources(IVeltraDataSource*** sources, int32_t* count) const
{
    if (sources)
        *sources = m_sources;
    if (count)
        *count = m_sourceCount;
}

IVeltraDataSource* CVeltraFilterBase::FirstSource() const
{
    return HasSource() ? m_sources[0] : nullptr;
}

IVeltraError* CVeltraFilterBase::NoSourceError(int32_t module, int32_t line) const
{
    return IVeltraError::Add(nullptr, module, line, 0, kVeltraNoSource);
}

void CVeltraFilterBase::SourcesFor(const CProcessInfo* info, IVeltraDataSource*** sources, int32_t* count) const
{
    if (info) {
        *sources = info->m_sources;
        *count = info->m_count;
    } else {
        *sources = m_sources;
        *count = m_sourceCount;
    }
}

void CVeltraFilterBase::SourcesOrOwn(IVeltraDataSource** given, int32_t givenCount, IVeltraDataSource*** sources,
                                     int32_t* count) const
{
    if (given && givenCount > 0) {
        *sources = given;
        *count = givenCount;
    } else {
        *sources = m_sources;
        *count = m_sourceCount;
    }
}

// ---- change notifications

IVeltraError* CVeltraFilterBase::VeltraNotify(IVeltraDataSource* source, int32_t code, void* data)
{
    IVeltraError* e = nullptr;
    if (code < 0)
        e = FilterUser(source, code, data);
    else
        switch (code) {
        case kVeltraNotifyData: e = FilterData(source, static_cast<VeltraRect*>(data)); break;
        case kVeltraNotifySize: e = FilterSize(source, static_cast<ChangeSize*>(data)); break;
        case kVeltraNotifyColorSpace: e = FilterColorSpace(source, static_cast<ChangeColorSpace*>(data)); break;
        case kVeltraNotifyResolution: e = FilterResolution(source, static_cast<ChangeResolution*>(data)); break;
        case kVeltraNotifyTransform: e = FilterTransform(source, static_cast<ChangeTransform*>(data)); break;
        case kVeltraNotifyPalette: e = FilterPalette(source, static_cast<ChangePalette*>(data)); break;
        case kVeltraNotifyDestroy: e = FilterDestroy(source); break;
        case kVeltraNotifyUpdateAll: e = FilterUpdateAll(source); break;
        default: break;
        }
    return WRAP(e);
}

IVeltraError* CVeltraFilterBase::FilterUser(IVeltraDataSource*, int32_t code, void* data)
{
    return WRAP(VeltraSendDataNotification(this, code, data));
}

IVeltraError* CVeltraFilterBase::FilterData(IVeltraDataSource* source, VeltraRect* rect)
{
    if (!rect)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    // map into output coordinates, as the notifying source sees them
    VeltraRect r = *rect;
    IVeltraDataSource* only[1] = {source};
    if (IVeltraError* e = FilterRect(&r, only, 1))
        return WRAP(e);
    int32_t w = 0, h = 0;
    if (IVeltraError* e = GetSize(&w, &h))
        return WRAP(e);
    // clamp to the output; the result is never empty
    if (r.left < 0) r.left = 0;
    if (r.left > w - 1) r.left = w - 1;
    if (r.top < 0) r.top = 0;
    if (r.top > h - 1) r.top = h - 1;
    r.right = r.right > r.left ? (r.right > w ? w : r.right) : r.left + 1;
    r.bottom = r.bottom > r.top ? (r.bottom > h ? h : r.bottom) : r.top + 1;
    if (IVeltraError* e = InvalidateCache(r))
        return WRAP(e);
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyData, &r));
}

IVeltraError* CVeltraFilterBase::FilterSize(IVeltraDataSource*, ChangeSize* change)
{
    m_changed = true;
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifySize, change));
}

IVeltraError* CVeltraFilterBase::FilterColorSpace(IVeltraDataSource*, ChangeColorSpace* change)
{
    m_changed = true;
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyColorSpace, change));
}

IVeltraError* CVeltraFilterBase::FilterResolution(IVeltraDataSource*, ChangeResolution* change)
{
    m_changed = true;
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyResolution, change));
}

IVeltraError* CVeltraFilterBase::FilterTransform(IVeltraDataSource*, ChangeTransform* change)
{
    m_changed = true;
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyTransform, change));
}

IVeltraError* CVeltraFilterBase::FilterPalette(IVeltraDataSource*, ChangePalette* change)
{
    m_changed = true;
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyPalette, change));
}

IVeltraError* CVeltraFilterBase::FilterDestroy(IVeltraDataSource*)
{
    m_changed = true;
    return nullptr;
}

IVeltraError* CVeltraFilterBase::FilterUpdateAll(IVeltraDataSource*)
{
    m_changed = true;
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyUpdateAll, nullptr));
}

// ---- default geometry: identity

IVeltraError* CVeltraFilterBase::FilterPoint(double*, double*, IVeltraDataSource**, int32_t) { return nullptr; }
IVeltraError* CVeltraFilterBase::FilterPoint(int32_t*, int32_t*, IVeltraDataSource**, int32_t) { return nullptr; }
IVeltraError* CVeltraFilterBase::FilterRect(VeltraDblRect*, IVeltraDataSource**, int32_t) { return nullptr; }
IVeltraError* CVeltraFilterBase::FilterRect(VeltraRect*, IVeltraDataSource**, int32_t) { return nullptr; }
IVeltraError* CVeltraFilterBase::DefilterPoint(double*, double*, IVeltraDataSource**, int32_t) { return nullptr; }
IVeltraError* CVeltraFilterBase::DefilterPoint(int32_t*, int32_t*, IVeltraDataSource**, int32_t) { return nullptr; }
IVeltraError* CVeltraFilterBase::DefilterRect(VeltraDblRect*, IVeltraDataSource**, int32_t) { return nullptr; }
IVeltraError* CVeltraFilterBase::DefilterRect(VeltraRect*, IVeltraDataSource**, int32_t) { return nullptr; }

// ---- default output description: the first source's

#define FIRST_OF(sources, count)                          \
    IVeltraDataSource** src_ = nullptr;                   \
    int32_t n_ = 0;                                       \
    SourcesOrOwn(sources, count, &src_, &n_);             \
    if (!src_ || n_ < 1 || !src_[0])                      \
        return NoSourceError(kModule, __LINE__);          \
    IVeltraDataSource* first = src_[0]

IVeltraError* CVeltraFilterBase::GetFilteredSize(IVeltraDataSource** sources, int32_t count, int32_t* width,
                                                 int32_t* height)
{
    FIRST_OF(sources, count);
    return WRAP(first->GetSize(width, height));
}

IVeltraError* CVeltraFilterBase::GetFilteredColorSpace(IVeltraDataSource** sources, int32_t count, int32_t* colorSpace)
{
    FIRST_OF(sources, count);
    return WRAP(first->GetColorSpace(colorSpace));
}

IVeltraError* CVeltraFilterBase::GetFilteredResolution(IVeltraDataSource** sources, int32_t count, double* resolution)
{
    FIRST_OF(sources, count);
    return WRAP(first->GetResolution(resolution));
}

IVeltraError* CVeltraFilterBase::GetFilteredTransform(IVeltraDataSource** sources, int32_t count, bool* flip,
                                                      double* rotation)
{
    FIRST_OF(sources, count);
    return WRAP(first->GetTransform(flip, rotation));
}

IVeltraError* CVeltraFilterBase::GetFilteredPalette(IVeltraDataSource** sources, int32_t count, VeltraPalette* palette)
{
    FIRST_OF(sources, count);
    return WRAP(first->GetPalette(palette));
}

// ---- data-source operations: forwarded while disabled or passing through, else from the cache

#define FORWARD_OR_CACHE(call)                                  \
    if (!m_enabled || m_passThrough) {                          \
        IVeltraDataSource* first = FirstSource();               \
        if (!first)                                             \
            return NoSourceError(kModule, __LINE__);            \
        return WRAP(first->call);                               \
    }                                                           \
    if (IVeltraError* e = CheckCache())                         \
        return WRAP(e);                                         \
    return WRAP(m_cacheImage->call)

IVeltraError* CVeltraFilterBase::GetWidth(int32_t* width) { FORWARD_OR_CACHE(GetWidth(width)); }
IVeltraError* CVeltraFilterBase::GetHeight(int32_t* height) { FORWARD_OR_CACHE(GetHeight(height)); }
IVeltraError* CVeltraFilterBase::GetColorSpace(int32_t* colorSpace) { FORWARD_OR_CACHE(GetColorSpace(colorSpace)); }
IVeltraError* CVeltraFilterBase::GetResolution(double* resolution) { FORWARD_OR_CACHE(GetResolution(resolution)); }
IVeltraError* CVeltraFilterBase::GetFlip(bool* flip) { FORWARD_OR_CACHE(GetFlip(flip)); }
IVeltraError* CVeltraFilterBase::GetRotation(double* rotation) { FORWARD_OR_CACHE(GetRotation(rotation)); }
IVeltraError* CVeltraFilterBase::GetTileSize(int32_t* tileSize) { FORWARD_OR_CACHE(GetTileSize(tileSize)); }
IVeltraError* CVeltraFilterBase::GetPalette(VeltraPalette* palette) { FORWARD_OR_CACHE(GetPalette(palette)); }
IVeltraError* CVeltraFilterBase::TileExists(bool* exists, const IVeltraTileID& id)
{
    FORWARD_OR_CACHE(TileExists(exists, id));
}
IVeltraError* CVeltraFilterBase::TileExists(bool* exists, int32_t column, int32_t row)
{
    FORWARD_OR_CACHE(TileExists(exists, column, row));
}
IVeltraError* CVeltraFilterBase::GetTile(IVeltraTile** tile, const IVeltraTileID& id) { FORWARD_OR_CACHE(GetTile(tile, id)); }
IVeltraError* CVeltraFilterBase::GetTile(IVeltraTile** tile, int32_t column, int32_t row)
{
    FORWARD_OR_CACHE(GetTile(tile, column, row));
}
IVeltraError* CVeltraFilterBase::UnlockTile(const IVeltraTileGrid& grid, int32_t column, int32_t row)
{
    FORWARD_OR_CACHE(UnlockTile(grid, column, row));
}
IVeltraError* CVeltraFilterBase::UnlockTile(const IVeltraTileID& id) { FORWARD_OR_CACHE(UnlockTile(id)); }
IVeltraError* CVeltraFilterBase::UnlockTile(int32_t column, int32_t row) { FORWARD_OR_CACHE(UnlockTile(column, row)); }
IVeltraError* CVeltraFilterBase::MapRect(IVeltraTileGrid** grid, const VeltraRect& rect) { FORWARD_OR_CACHE(MapRect(grid, rect)); }

#define FORWARD_ONLY(call)                                      \
    if (!m_enabled || m_passThrough) {                          \
        IVeltraDataSource* first = FirstSource();               \
        if (!first)                                             \
            return NoSourceError(kModule, __LINE__);            \
        return WRAP(first->call);                               \
    }                                                           \
    if (IVeltraError* e = CheckCache())                         \
        return WRAP(e)

IVeltraError* CVeltraFilterBase::LockTile(void** bits, int32_t column, int32_t row, VeltraBitmapHeader** header)
{
    FORWARD_ONLY(LockTile(bits, column, row, header));
    IVeltraTile* tile = nullptr;
    if (IVeltraError* e = m_cacheImage->GetTile(&tile, column, row))
        return WRAP(e);
    return WRAP(LockAndGenerate(bits, tile, header));
}

IVeltraError* CVeltraFilterBase::LockTile(void** bits, const IVeltraTileID& id, VeltraBitmapHeader** header)
{
    FORWARD_ONLY(LockTile(bits, id, header));
    IVeltraTile* tile = nullptr;
    if (IVeltraError* e = m_cacheImage->GetTile(&tile, id))
        return WRAP(e);
    return WRAP(LockAndGenerate(bits, tile, header));
}

IVeltraError* CVeltraFilterBase::LockTile(void** bits, VeltraRect* tileRect, VeltraRect* coveredRect, int32_t* rowBytes,
                                          const IVeltraTileGrid& grid, int32_t column, int32_t row,
                                          VeltraBitmapHeader** header)
{
    FORWARD_ONLY(LockTile(bits, tileRect, coveredRect, rowBytes, grid, column, row, header));
    IVeltraTile* tile = nullptr;
    if (IVeltraError* e = grid.GetTile(&tile, column, row))
        return WRAP(e);
    if (tileRect)
        tile->GetRect(tileRect);
    if (coveredRect)
        grid.GetCoveredRect(column, row, coveredRect);
    if (rowBytes)
        *rowBytes = tile->GetRowBytes();
    return WRAP(LockAndGenerate(bits, tile, header));
}

// ---- watchers

IVeltraError* CVeltraFilterBase::AddWatcher(CVeltraFilterWatcher* watcher)
{
    if (!watcher)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    const bool fresh = m_watchers.find(watcher) == m_watchers.end();
    ++m_watchers[watcher];
    ++watcher->m_registeredWith[this];
    if (!fresh)
        return nullptr;
    return SendWatcherList(true, watcher);
}

IVeltraError* CVeltraFilterBase::RemoveWatcher(CVeltraFilterWatcher* watcher)
{
    auto it = m_watchers.find(watcher);
    if (it == m_watchers.end())
        return nullptr;
    auto reg = watcher->m_registeredWith.find(this);
    if (reg != watcher->m_registeredWith.end() && --reg->second <= 0)
        watcher->m_registeredWith.erase(reg);
    if (--it->second > 0)
        return nullptr;
    m_watchers.erase(it);
    watcher->m_registeredWith.erase(this);
    return SendWatcherList(false, watcher);
}

IVeltraError* CVeltraFilterBase::SendWatcherList(bool added, CVeltraFilterWatcher* watcher)
{
    const size_t n = m_watchers.size();
    std::unique_ptr<CVeltraFilterWatcher*[]> list(new (std::nothrow) CVeltraFilterWatcher*[n ? n : 1]);
    if (!list)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
    size_t i = 0;
    for (auto& [w, count] : m_watchers)
        list[i++] = w;
    WatcherList record{added, watcher, static_cast<int32_t>(n), list.get()};
    return NotifyWatchers(0, &record);
}

IVeltraError* CVeltraFilterBase::NotifyWatchers(int32_t code, void* data)
{
    std::vector<CVeltraFilterWatcher*> watchers;
    for (auto& [w, count] : m_watchers)
        watchers.push_back(w);
    for (CVeltraFilterWatcher* w : watchers)
        if (IVeltraError* e = w->FilterNotify(this, code, data))
            return WRAP(e);
    return nullptr;
}

// ---- output tile of a ProcessTile call

bool CVeltraFilterBase::TileTarget::FindRegion()
{
    if (!m_tile->GetInvalidRect(&region))
        return false;
    m_tile->GetRect(&rect);
    rowBytes = m_tile->GetRowBytes();
    return true;
}

IVeltraError* CVeltraFilterBase::TileTarget::Lock()
{
    void* p = nullptr;
    if (IVeltraError* e = m_tile->LockBits(&p, nullptr))
        return e;
    bits = static_cast<unsigned char*>(p);
    rowBytes = m_tile->GetRowBytes();
    m_locked = true;
    return nullptr;
}

void CVeltraFilterBase::TileTarget::Unlock()
{
    if (!m_locked)
        return;
    m_locked = false;
    if (IVeltraError* e = m_tile->UnlockBits())
        e->Release();
}

IVeltraError* CVeltraFilterBase::TileTarget::Finish(bool done)
{
    IVeltraError* err = nullptr;
    if (m_locked) {
        m_locked = false;
        err = m_tile->UnlockBits();
    }
    if (done && !err)
        m_tile->Complete();
    return err;
}
