#pragma once
// A saver: writes a data source's pixels to the stream's file, with the tags it carries.
#include <cstdint>

#include "outside/grindel/VeltraProgress.h"

class IVeltraDataSource;
class IVeltraFileStream;
class IVeltraTagControl;

// Formats a save writes, and the options of each.
enum GrindelSaveFormat : int32_t {
    kGrindelSaveJpeg = 16,
};
// JPEG options: 1 low (quality 50), 2 medium (75), 3 high (90), 4 best (95).

class IVeltraSave {
public:
    static IVeltraError* CreateSave(IVeltraSave** save);

    // Prepares a file of the format with the option; tags (may be null) are written with it.
    virtual IVeltraError* Open(IVeltraFileStream* stream, IVeltraTagControl* tags, int32_t format,
                               int32_t option) = 0;
    // Ends the save. The file appears only when every row was written; an unfinished
    // save leaves the file as it was.
    virtual IVeltraError* Close() = 0;
    virtual void Release() = 0;
    // The pixels come from source (flags and reserved must be 0).
    virtual IVeltraError* SetSource(IVeltraDataSource* source, int32_t flags, int32_t reserved) = 0;
    virtual IVeltraProgress* GetProgressInterface() = 0;

protected:
    virtual ~IVeltraSave() = default;
};
