#pragma once
// Observer of filters: told when watchers come and go and of the filters' own events.
#include "outside/veltra/VeltraError.h"

#include <cstdint>
#include <map>

class CVeltraFilterBase;

class CVeltraFilterWatcher {
public:
    CVeltraFilterWatcher() = default;
    CVeltraFilterWatcher(const CVeltraFilterWatcher&) = delete;
    CVeltraFilterWatcher& operator=(const CVeltraFilterWatcher&) = delete;
    // Stops watching every filter it records and leaves every filter it is registered with,
    // so that no filter keeps a pointer to a watcher that is gone.
    virtual ~CVeltraFilterWatcher();
    virtual IVeltraError* FilterNotify(CVeltraFilterBase* filter, int32_t code, void* data) = 0;

    void VeltraFilterStartWatching(CVeltraFilterBase* filter);
    void VeltraFilterStopWatching(CVeltraFilterBase* filter);
    int32_t WatchCount(CVeltraFilterBase* filter) const;

protected:
    std::map<CVeltraFilterBase*, int32_t> m_filters;

private:
    friend class CVeltraFilterBase;
    // Filters this watcher is registered with (kept by the filters' AddWatcher/RemoveWatcher).
    std::map<CVeltraFilterBase*, int32_t> m_registeredWith;
};
