#pragma once
// A loader: recognises a picture file by its content and fills a framework image from it.
#include <cstdint>

#include "outside/grindel/VeltraProgress.h"

class IVeltraFileStream;
class IVeltraImage;
class IVeltraTagControl;

// File formats a load reports.
enum GrindelFileFormat : int32_t {
    kGrindelTiff8 = 1,     // TIFF, 8-bit grey or RGB samples, loaded as they are
    kGrindelTiff16 = 2,    // TIFF, 16-bit grey or RGB samples, loaded as they are
    kGrindelTiffOther = 4, // any other TIFF libtiff can render: loaded as 8-bit RGB
    kGrindelJfif = 16,     // JPEG without EXIF
    kGrindelExifJpeg = 32, // JPEG with an EXIF block
};

class IVeltraLoad {
public:
    static IVeltraError* CreateLoad(IVeltraLoad** load);

    // Recognises and opens the stream's file; its tags go into tags (may be null).
    // bufferSize bounds the rows decoded per step; flags must be 0.
    virtual IVeltraError* Open(IVeltraFileStream* stream, IVeltraTagControl* tags, int32_t bufferSize,
                               int32_t flags) = 0;
    virtual IVeltraError* Close() = 0;
    virtual void Release() = 0;
    virtual IVeltraError* GetFileFormat(int32_t* format) = 0;
    // Sets the image's size, colour space and resolution; steps then fill its pixels.
    virtual IVeltraError* SetDestination(IVeltraImage* image) = 0;
    virtual IVeltraProgress* GetProgressInterface() = 0;

protected:
    virtual ~IVeltraLoad() = default;
};
