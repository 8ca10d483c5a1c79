// Process runs of CVeltraFilterBase: the whole output rendered into a caller's image.
#include "Caravel/Brisant/VeltraFilterBase.h"

#include <new>

#define WRAP(e) VELTRA_WRAP(kModule, e)

CVeltraFilterBase::CProcessInfo::~CProcessInfo()
{
    if (m_grid)
        m_grid->Destroy();
}

CVeltraFilterBase::CProcessInfo* CVeltraFilterBase::AllocateProcessInfo(int32_t, IVeltraDataSource** sources,
                                                                        int32_t count, IVeltraImage* destination)
{
    return new (std::nothrow) CProcessInfo(sources, count, destination);
}

IVeltraError* CVeltraFilterBase::OpenDestinationGrid(IVeltraDataSource** sources, int32_t count,
                                                     IVeltraImage* destination, IVeltraTileGrid** grid)
{
    if (!destination)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    int32_t w = 0, h = 0;
    if (IVeltraError* e = DescribeImage(sources, count, destination, true, &w, &h))
        return WRAP(e);
    return WRAP(destination->MapRect(grid, VeltraRect{0, 0, w, h}));
}

IVeltraError* CVeltraFilterBase::BeginProcess(int32_t* id, IVeltraDataSource** sources, int32_t count,
                                              IVeltraImage* destination)
{
    if (!id)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    IVeltraTileGrid* grid = nullptr;
    if (IVeltraError* e = OpenDestinationGrid(sources, count, destination, &grid))
        return WRAP(e);
    CProcessInfo* info = AllocateProcessInfo(m_nextRunId, sources, count, destination);
    if (!info) {
        if (grid)
            grid->Destroy();
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
    }
    // an empty output has no tile: the run is drained from the start
    if (grid && (grid->GetColumnCount() == 0 || grid->GetRowCount() == 0)) {
        grid->Destroy();
        grid = nullptr;
    }
    *id = m_nextRunId++;
    info->m_grid = grid;
    info->m_row = 0;
    info->m_column = 0;
    m_runs[*id] = info;
    return nullptr;
}

IVeltraError* CVeltraFilterBase::ExecuteProcess(int32_t id, int32_t* done, int32_t* total)
{
    auto it = m_runs.find(id);
    if (it == m_runs.end())
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraUnknownRun);
    CProcessInfo* info = it->second;
    auto report = [&](int32_t d, int32_t t) {
        if (done)
            *done = d;
        if (total)
            *total = t;
    };
    if (!info->m_grid) {
        report(0, 0);
        return nullptr;
    }
    const int32_t columns = info->m_grid->GetColumnCount();
    const int32_t rows = info->m_grid->GetRowCount();
    if (info->m_column == columns) {
        info->m_column = 0;
        info->m_row += 1;
    }
    if (info->m_row == rows) {
        info->m_grid->Destroy();
        info->m_grid = nullptr;
        report(0, 0);
        return nullptr;
    }
    IVeltraTile* tile = nullptr;
    if (IVeltraError* e = info->m_grid->GetTile(&tile, info->m_column, info->m_row))
        return WRAP(e);
    // the destination may hold pixels of an earlier run: produce the whole tile again
    tile->Invalidate();
    if (IVeltraError* e = ProcessTile(tile, info))
        return WRAP(e);
    tile->SetValid(true);
    info->m_column += 1;
    report(info->m_row * columns + info->m_column, rows * columns);
    return nullptr;
}

IVeltraError* CVeltraFilterBase::GetProcessInfo(int32_t id, IVeltraDataSource*** sources, int32_t* count,
                                                IVeltraImage** destination)
{
    auto it = m_runs.find(id);
    if (it == m_runs.end())
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraUnknownRun);
    *sources = it->second->m_sources;
    *count = it->second->m_count;
    *destination = it->second->m_destination;
    return nullptr;
}

IVeltraError* CVeltraFilterBase::EndProcess(int32_t id)
{
    auto it = m_runs.find(id);
    if (it == m_runs.end())
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraUnknownRun);
    it->second->Destroy();
    m_runs.erase(it);
    return nullptr;
}

IVeltraError* CVeltraFilterBase::Process(IVeltraDataSource** sources, int32_t count, IVeltraImage* destination)
{
    IVeltraTileGrid* grid = nullptr;
    if (IVeltraError* e = OpenDestinationGrid(sources, count, destination, &grid))
        return WRAP(e);
    if (!grid)
        return nullptr;
    IVeltraError* err = nullptr;
    for (int32_t row = 0; row < grid->GetRowCount() && !err; ++row) {
        for (int32_t col = 0; col < grid->GetColumnCount() && !err; ++col) {
            IVeltraTile* tile = nullptr;
            if ((err = grid->GetTile(&tile, col, row)))
                break;
            tile->Invalidate();
            err = GenerateTile(tile, sources, count);
        }
    }
    grid->Destroy();
    return WRAP(err);
}
