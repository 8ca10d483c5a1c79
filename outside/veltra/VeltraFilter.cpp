#include "outside/veltra/VeltraFilter.h"

#include "outside/veltra/VeltraGraph.h"

IVeltraFilter::~IVeltraFilter()
{
    VeltraForgetDestination(this);
    VeltraForgetSource(this);
}
