#pragma once
// An image of the framework: pixels kept in square tiles, described by size, colour space,
// resolution, transform and palette.
#include "outside/veltra/VeltraDataSource.h"

class IVeltraManager;

class IVeltraImage : public IVeltraDataSource {
public:
    // Disconnects the image and frees it.
    virtual void Destroy() = 0;
    virtual IVeltraManager* GetManager() const = 0;
    virtual int32_t GetID() const = 0;
    virtual int32_t GetUsage() const = 0;
    virtual IVeltraError* SetUsage(int32_t usage) = 0;
    virtual IVeltraError* SetSize(int32_t width, int32_t height) = 0;
    virtual IVeltraError* SetColorSpace(int32_t colorSpace) = 0;
    virtual IVeltraError* SetResolution(double resolution) = 0;
    // relative: compose with the transform the image carries (mirror first, then turn).
    virtual IVeltraError* SetTransform(bool flip, double rotation, bool relative) = 0;
    virtual IVeltraError* SetPalette(const VeltraPalette& palette) = 0;
    virtual int32_t GetDataSize(int32_t width, int32_t height, int32_t* size) = 0;
    // Copy pixels of rect out to / in from a caller's buffer with the given row length.
    virtual IVeltraError* GetData(void* buffer, int32_t rowBytes, const VeltraRect& rect) = 0;
    virtual IVeltraError* SetPixel(const VeltraPixel& pixel, int32_t x, int32_t y) = 0;
    virtual IVeltraError* SetData(void* buffer, int32_t rowBytes, bool scaled, double factor,
                                  const VeltraRect& rect) = 0;
    virtual IVeltraError* SetData(void* buffer, int32_t rowBytes, const VeltraRect& rect) = 0;
};
