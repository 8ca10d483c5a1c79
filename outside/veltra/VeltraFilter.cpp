#include "outside/veltra/VeltraFilter.h"

#include "outside/veltra/VeltraGraph.h"

IVeltraFilter::~IVeltraFilter()
{
    VeltraForgetFilter(this, this);
}
