#pragma once
// A file stream of the load/save library: names the file a loader reads or a saver writes.
#include "outside/veltra/VeltraError.h"
#include "outside/veltra/VeltraTypes.h"

class IVeltraFileStream {
public:
    static IVeltraError* CreateFileStream(IVeltraFileStream** stream);

    virtual void Release() = 0;
    // The stream refers to that file from now on (read by a load, written by a save).
    virtual IVeltraError* Open(const VeltraFile& file) = 0;
    // The path, empty before Open.
    virtual const char* GetPath() const = 0;

protected:
    virtual ~IVeltraFileStream() = default;
};
