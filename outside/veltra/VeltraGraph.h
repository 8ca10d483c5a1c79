#pragma once
// The pull graph: the framework owns every link between sources and destinations.
#include "outside/veltra/VeltraDataDestination.h"
#include "outside/veltra/VeltraDataSource.h"

// Connect source to destination (appended after the destination's other sources). The checks of
// both sides are asked first; the link is listed before either side is told.
IVeltraError* VeltraConnect(IVeltraDataSource* source, IVeltraDataDestination* destination);
// Remove the link; it is gone before either side is told.
IVeltraError* VeltraDisconnect(IVeltraDataSource* source, IVeltraDataDestination* destination);

int32_t VeltraGetDataSourceCount(const IVeltraDataDestination* destination);
IVeltraError* VeltraGetDataSources(const IVeltraDataDestination* destination, IVeltraDataSource** sources,
                                   int32_t count);
IVeltraDataSource* VeltraGetDataSource(const IVeltraDataDestination* destination, int32_t index);
int32_t VeltraGetDataDestinationCount(const IVeltraDataSource* source);
IVeltraError* VeltraGetDataDestinations(const IVeltraDataSource* source, IVeltraDataDestination** destinations,
                                        int32_t count);
// Calls VeltraNotify on each destination of source, in link order; stops at the first error.
IVeltraError* VeltraSendDataNotification(IVeltraDataSource* source, int32_t code, void* data);

// Told when a node leaves the graph (the chain object uses it to forget destroyed members).
class IVeltraGraphObserver {
public:
    virtual ~IVeltraGraphObserver() = default;
    virtual void VeltraNodeGone(const void* node) = 0;
};
void VeltraAddGraphObserver(IVeltraGraphObserver* observer);
void VeltraRemoveGraphObserver(IVeltraGraphObserver* observer);

// Framework internals: drop every link of a node that is being destroyed.
void VeltraForgetSource(IVeltraDataSource* source);
void VeltraForgetDestination(IVeltraDataDestination* destination);
// A filter is both: every link of either role is dropped before the observers hear of it.
void VeltraForgetFilter(IVeltraDataSource* source, IVeltraDataDestination* destination);
