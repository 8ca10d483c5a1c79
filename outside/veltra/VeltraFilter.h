#pragma once
// A filter node: a data source towards its readers, a data destination towards its inputs.
#include "outside/veltra/VeltraDataDestination.h"
#include "outside/veltra/VeltraDataSource.h"

class IVeltraImage;
class IVeltraManager;
class IVeltraTile;

class IVeltraFilter : public IVeltraDataSource, public IVeltraDataDestination {
public:
    // Leaves the graph in both roles before any part of the object is gone.
    ~IVeltraFilter() override;

    virtual IVeltraError* Enable(bool enable, bool notify) = 0;
    virtual bool IsEnabled() const = 0;
    virtual IVeltraManager* GetManager() const = 0;
    virtual int32_t GetFilterID() const = 0;
    virtual int32_t GetFilterCode() const = 0;
    virtual const char* GetFilterDescription() const = 0;
    virtual IVeltraError* FilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count) = 0;
    virtual IVeltraError* FilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count) = 0;
    virtual IVeltraError* FilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count) = 0;
    virtual IVeltraError* FilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count) = 0;
    virtual IVeltraError* DefilterPoint(double* x, double* y, IVeltraDataSource** sources, int32_t count) = 0;
    virtual IVeltraError* DefilterPoint(int32_t* x, int32_t* y, IVeltraDataSource** sources, int32_t count) = 0;
    virtual IVeltraError* DefilterRect(VeltraDblRect* rect, IVeltraDataSource** sources, int32_t count) = 0;
    virtual IVeltraError* DefilterRect(VeltraRect* rect, IVeltraDataSource** sources, int32_t count) = 0;
    virtual IVeltraError* GenerateTile(IVeltraTile* tile, IVeltraDataSource** sources, int32_t count) = 0;
    virtual IVeltraError* Process(IVeltraDataSource** sources, int32_t count, IVeltraImage* destination) = 0;
    virtual IVeltraError* BeginProcess(int32_t* id, IVeltraDataSource** sources, int32_t count,
                                       IVeltraImage* destination) = 0;
    virtual IVeltraError* ExecuteProcess(int32_t id, int32_t* done, int32_t* total) = 0;
    virtual IVeltraError* GetProcessInfo(int32_t id, IVeltraDataSource*** sources, int32_t* count,
                                         IVeltraImage** destination) = 0;
    virtual IVeltraError* EndProcess(int32_t id) = 0;
};
