#include "Caravel/Brisant/VeltraFilterWatcher.h"

#include "Caravel/Brisant/VeltraFilterBase.h"

CVeltraFilterWatcher::~CVeltraFilterWatcher()
{
    while (!m_filters.empty())
        VeltraFilterStopWatching(m_filters.begin()->first);
    while (!m_registeredWith.empty()) {
        CVeltraFilterBase* filter = m_registeredWith.begin()->first;
        const int32_t before = m_registeredWith.begin()->second;
        if (IVeltraError* e = filter->RemoveWatcher(this))
            e->Release();
        auto it = m_registeredWith.find(filter);
        if (it != m_registeredWith.end() && it->second == before)
            m_registeredWith.erase(it);  // the filter did not take it out: never loop forever
    }
}

void CVeltraFilterWatcher::VeltraFilterStartWatching(CVeltraFilterBase* filter)
{
    ++m_filters[filter];
}

void CVeltraFilterWatcher::VeltraFilterStopWatching(CVeltraFilterBase* filter)
{
    auto it = m_filters.find(filter);
    if (it == m_filters.end())
        return;
    if (--it->second <= 0)
        m_filters.erase(it);
}

int32_t CVeltraFilterWatcher::WatchCount(CVeltraFilterBase* filter) const
{
    auto it = m_filters.find(filter);
    return it == m_filters.end() ? 0 : it->second;
}
