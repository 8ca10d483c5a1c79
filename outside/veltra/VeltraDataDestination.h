#pragma once
// A node that takes data sources and hears their change notifications.
#include "outside/veltra/VeltraError.h"
#include "outside/veltra/VeltraTypes.h"

class IVeltraDataSource;

class IVeltraDataDestination {
public:
    // Change records sent with notifications 1-5.
    struct ChangeSize {
        int32_t oldWidth = 0;
        int32_t oldHeight = 0;
        int32_t newWidth = 0;
        int32_t newHeight = 0;
    };
    struct ChangeColorSpace {
        int32_t oldColorSpace = 0;
        int32_t newColorSpace = 0;
    };
    struct ChangeResolution {
        double oldResolution = 0;
        double newResolution = 0;
    };
    struct ChangeTransform {
        bool oldFlip = false;
        double oldRotation = 0;
        bool newFlip = false;
        double newRotation = 0;
        int32_t flags = 0;  // non-zero: the pixels changed beyond what the transforms say
        int32_t oldWidth = 0;
        int32_t oldHeight = 0;
        int32_t newWidth = 0;
        int32_t newHeight = 0;
    };
    struct ChangePalette {
        const VeltraPalette* oldPalette = nullptr;
        const VeltraPalette* newPalette = nullptr;
    };

    IVeltraDataDestination() = default;
    IVeltraDataDestination(const IVeltraDataDestination&) = delete;
    IVeltraDataDestination& operator=(const IVeltraDataDestination&) = delete;
    // Disconnects the node from every source it still has, telling them.
    virtual ~IVeltraDataDestination();

    virtual IVeltraError* VeltraNotify(IVeltraDataSource* source, int32_t code, void* data) = 0;
    virtual IVeltraError* VeltraAddDataSourceCheck(const IVeltraDataSource* source);
    virtual IVeltraError* VeltraRemoveDataSourceCheck(const IVeltraDataSource* source);
    virtual IVeltraError* VeltraAddedDataSource(const IVeltraDataSource* source);
    virtual IVeltraError* VeltraRemovedDataSource(const IVeltraDataSource* source);
};
