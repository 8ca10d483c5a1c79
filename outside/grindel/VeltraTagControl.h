#pragma once
// Carries a picture's tags (EXIF, IPTC, XMP, colour profile) from a load to a save.
#include <cstddef>
#include <cstdint>

#include "outside/veltra/VeltraError.h"

class IVeltraTagControl {
public:
    static IVeltraError* CreateTagControl(IVeltraTagControl** tags);

    virtual void Release() = 0;
    // Number of EXIF tags held.
    virtual int32_t GetTagCount() const = 0;
    // The text of an EXIF tag by its key ("Exif.Image.Make"); false when absent or too long.
    virtual bool GetTagText(const char* key, char* buffer, size_t size) const = 0;
    virtual void Clear() = 0;

protected:
    virtual ~IVeltraTagControl() = default;
};
