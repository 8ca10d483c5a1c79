#include "outside/veltra/VeltraGraph.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

struct GraphLink {
    IVeltraDataSource* source;
    IVeltraDataDestination* destination;
};

// The link table is shared by every graph of the process; each graph is used by one thread,
// the table itself is guarded so that separate graphs on separate threads stay apart.
struct Graph {
    std::mutex mutex;
    std::vector<GraphLink> links;
    std::vector<IVeltraGraphObserver*> observers;
};

Graph& TheGraph()
{
    static Graph graph;
    return graph;
}

constexpr int32_t kGraphModule = 0;

std::vector<IVeltraDataSource*> SourcesOf(const IVeltraDataDestination* destination)
{
    Graph& g = TheGraph();
    std::lock_guard lock(g.mutex);
    std::vector<IVeltraDataSource*> out;
    for (const GraphLink& l : g.links)
        if (l.destination == destination)
            out.push_back(l.source);
    return out;
}

std::vector<IVeltraDataDestination*> DestinationsOf(const IVeltraDataSource* source)
{
    Graph& g = TheGraph();
    std::lock_guard lock(g.mutex);
    std::vector<IVeltraDataDestination*> out;
    for (const GraphLink& l : g.links)
        if (l.source == source)
            out.push_back(l.destination);
    return out;
}

void TellObservers(const void* node)
{
    std::vector<IVeltraGraphObserver*> observers;
    {
        Graph& g = TheGraph();
        std::lock_guard lock(g.mutex);
        observers = g.observers;
    }
    for (IVeltraGraphObserver* o : observers)
        o->VeltraNodeGone(node);
}

}  // namespace

IVeltraError* VeltraConnect(IVeltraDataSource* source, IVeltraDataDestination* destination)
{
    if (!source || !destination)
        return IVeltraError::Add(nullptr, kGraphModule, __LINE__, 0, kVeltraBadArgument);
    // ask both sides
    if (IVeltraError* e = destination->VeltraAddDataSourceCheck(source))
        return VELTRA_WRAP(kGraphModule, e);
    if (IVeltraError* e = source->VeltraAddDataDestinationCheck(destination))
        return VELTRA_WRAP(kGraphModule, e);
    // list the link, then tell both sides
    {
        Graph& g = TheGraph();
        std::lock_guard lock(g.mutex);
        g.links.push_back({source, destination});
    }
    IVeltraError* err = destination->VeltraAddedDataSource(source);
    if (IVeltraError* e = source->VeltraAddedDataDestination(destination))
        err = IVeltraError::AddWorker(&err, kGraphModule, __LINE__, e);
    return err ? VELTRA_WRAP(kGraphModule, err) : nullptr;
}

IVeltraError* VeltraDisconnect(IVeltraDataSource* source, IVeltraDataDestination* destination)
{
    {
        Graph& g = TheGraph();
        std::lock_guard lock(g.mutex);
        auto it = std::find_if(g.links.begin(), g.links.end(), [&](const GraphLink& l) {
            return l.source == source && l.destination == destination;
        });
        if (it == g.links.end())
            return IVeltraError::Add(nullptr, kGraphModule, __LINE__, 0, kVeltraBadArgument);
    }
    if (IVeltraError* e = destination->VeltraRemoveDataSourceCheck(source))
        return VELTRA_WRAP(kGraphModule, e);
    if (IVeltraError* e = source->VeltraRemoveDataDestinationCheck(destination))
        return VELTRA_WRAP(kGraphModule, e);
    {
        Graph& g = TheGraph();
        std::lock_guard lock(g.mutex);
        auto it = std::find_if(g.links.begin(), g.links.end(), [&](const GraphLink& l) {
            return l.source == source && l.destination == destination;
        });
        if (it != g.links.end())
            g.links.erase(it);
    }
    IVeltraError* err = destination->VeltraRemovedDataSource(source);
    if (IVeltraError* e = source->VeltraRemovedDataDestination(destination))
        err = IVeltraError::AddWorker(&err, kGraphModule, __LINE__, e);
    return err ? VELTRA_WRAP(kGraphModule, err) : nullptr;
}

int32_t VeltraGetDataSourceCount(const IVeltraDataDestination* destination)
{
    return static_cast<int32_t>(SourcesOf(destination).size());
}

IVeltraError* VeltraGetDataSources(const IVeltraDataDestination* destination, IVeltraDataSource** sources,
                                   int32_t count)
{
    if (!sources && count > 0)
        return IVeltraError::Add(nullptr, kGraphModule, __LINE__, 0, kVeltraBadArgument);
    std::vector<IVeltraDataSource*> all = SourcesOf(destination);
    for (int32_t i = 0; i < count && i < static_cast<int32_t>(all.size()); ++i)
        sources[i] = all[static_cast<size_t>(i)];
    return nullptr;
}

IVeltraDataSource* VeltraGetDataSource(const IVeltraDataDestination* destination, int32_t index)
{
    std::vector<IVeltraDataSource*> all = SourcesOf(destination);
    if (index < 0 || index >= static_cast<int32_t>(all.size()))
        return nullptr;
    return all[static_cast<size_t>(index)];
}

int32_t VeltraGetDataDestinationCount(const IVeltraDataSource* source)
{
    return static_cast<int32_t>(DestinationsOf(source).size());
}

IVeltraError* VeltraGetDataDestinations(const IVeltraDataSource* source, IVeltraDataDestination** destinations,
                                        int32_t count)
{
    if (!destinations && count > 0)
        return IVeltraError::Add(nullptr, kGraphModule, __LINE__, 0, kVeltraBadArgument);
    std::vector<IVeltraDataDestination*> all = DestinationsOf(source);
    for (int32_t i = 0; i < count && i < static_cast<int32_t>(all.size()); ++i)
        destinations[i] = all[static_cast<size_t>(i)];
    return nullptr;
}

IVeltraError* VeltraSendDataNotification(IVeltraDataSource* source, int32_t code, void* data)
{
    for (IVeltraDataDestination* d : DestinationsOf(source))
        if (IVeltraError* e = d->VeltraNotify(source, code, data))
            return VELTRA_WRAP(kGraphModule, e);
    return nullptr;
}

void VeltraAddGraphObserver(IVeltraGraphObserver* observer)
{
    Graph& g = TheGraph();
    std::lock_guard lock(g.mutex);
    g.observers.push_back(observer);
}

void VeltraRemoveGraphObserver(IVeltraGraphObserver* observer)
{
    Graph& g = TheGraph();
    std::lock_guard lock(g.mutex);
    g.observers.erase(std::remove(g.observers.begin(), g.observers.end(), observer), g.observers.end());
}

namespace {

// Drops every link of the node's source role and tells the far ends; observers are told separately.
void UnlinkSource(IVeltraDataSource* source)
{
    std::vector<IVeltraDataDestination*> gone;
    {
        Graph& g = TheGraph();
        std::lock_guard lock(g.mutex);
        for (const GraphLink& l : g.links)
            if (l.source == source)
                gone.push_back(l.destination);
        g.links.erase(std::remove_if(g.links.begin(), g.links.end(),
                                     [&](const GraphLink& l) { return l.source == source; }),
                      g.links.end());
    }
    for (IVeltraDataDestination* d : gone)
        if (IVeltraError* e = d->VeltraRemovedDataSource(source))
            e->Release();  // a node that is going away cannot report to anyone
}

void UnlinkDestination(IVeltraDataDestination* destination)
{
    std::vector<IVeltraDataSource*> gone;
    {
        Graph& g = TheGraph();
        std::lock_guard lock(g.mutex);
        for (const GraphLink& l : g.links)
            if (l.destination == destination)
                gone.push_back(l.source);
        g.links.erase(std::remove_if(g.links.begin(), g.links.end(),
                                     [&](const GraphLink& l) { return l.destination == destination; }),
                      g.links.end());
    }
    for (IVeltraDataSource* s : gone)
        if (IVeltraError* e = s->VeltraRemovedDataDestination(destination))
            e->Release();
}

}  // namespace

void VeltraForgetSource(IVeltraDataSource* source)
{
    UnlinkSource(source);
    TellObservers(source);
}

void VeltraForgetDestination(IVeltraDataDestination* destination)
{
    UnlinkDestination(destination);
    TellObservers(destination);
}

void VeltraForgetFilter(IVeltraDataSource* source, IVeltraDataDestination* destination)
{
    // Both roles go before anyone is told: a chain that joins the neighbours of a dying
    // member must not find the member still listed as the next filter's source.
    UnlinkSource(source);
    UnlinkDestination(destination);
    TellObservers(source);
    TellObservers(destination);
}
