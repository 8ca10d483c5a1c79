#pragma once
// One process run of a filter: its sources, destination, grid and position.
#include "Caravel/Brisant/VeltraFilterBase.h"

class CVeltraFilterBase::CProcessInfo {
public:
    CProcessInfo() = default;
    CProcessInfo(IVeltraDataSource** sources, int32_t count, IVeltraImage* destination)
        : m_sources(sources), m_count(count), m_destination(destination)
    {
    }
    CProcessInfo(const CProcessInfo&) = delete;
    CProcessInfo& operator=(const CProcessInfo&) = delete;
    // Releases the grid when the record still holds it.
    virtual ~CProcessInfo();
    virtual void Destroy() { delete this; }

    IVeltraDataSource** m_sources = nullptr;
    int32_t m_count = 0;
    IVeltraImage* m_destination = nullptr;
    IVeltraTileGrid* m_grid = nullptr;
    int32_t m_row = 0;
    int32_t m_column = 0;
};
