#pragma once
// One square tile of an image: its pixels, its state and its locks.
#include "outside/veltra/VeltraDataSource.h"

class IVeltraImage;

class IVeltraTile {
public:
    virtual ~IVeltraTile() = default;
    virtual IVeltraTileID GetID() const = 0;
    // The tile's full square in image coordinates (it may reach past the picture).
    virtual void GetRect(VeltraRect* rect) const = 0;
    virtual int32_t GetRowBytes() const = 0;
    // True while the tile has never been filled.
    virtual bool NeedsData() const = 0;
    // True when part of the tile is stale; rect gets that part (clipped to the picture).
    virtual bool GetInvalidRect(VeltraRect* rect) const = 0;
    virtual void Invalidate() = 0;
    virtual void InvalidateRect(const VeltraRect& rect) = 0;
    virtual void SetValid(bool valid) = 0;
    virtual IVeltraImage* GetImage() const = 0;
    // Locks nest; the bits stay where they are until the last unlock.
    virtual IVeltraError* LockBits(void** bits, VeltraBitmapHeader** header) = 0;
    virtual IVeltraError* UnlockBits() = 0;
    // The tile's pixels have been produced.
    virtual void Complete() = 0;
};
