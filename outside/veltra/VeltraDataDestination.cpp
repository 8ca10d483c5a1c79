#include "outside/veltra/VeltraDataDestination.h"

#include "outside/veltra/VeltraGraph.h"

IVeltraDataDestination::~IVeltraDataDestination()
{
    VeltraForgetDestination(this);
}

IVeltraError* IVeltraDataDestination::VeltraAddDataSourceCheck(const IVeltraDataSource*) { return nullptr; }
IVeltraError* IVeltraDataDestination::VeltraRemoveDataSourceCheck(const IVeltraDataSource*) { return nullptr; }
IVeltraError* IVeltraDataDestination::VeltraAddedDataSource(const IVeltraDataSource*) { return nullptr; }
IVeltraError* IVeltraDataDestination::VeltraRemovedDataSource(const IVeltraDataSource*) { return nullptr; }
