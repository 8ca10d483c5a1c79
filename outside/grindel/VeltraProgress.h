#pragma once
// The stepping interface of a load or a save: each step does one band of rows.
#include <cstdint>

#include "outside/veltra/VeltraError.h"

class IVeltraProgress {
public:
    virtual IVeltraError* Step() = 0;
    virtual IVeltraError* IsDone(bool* done) = 0;
    // Rows done and rows in all.
    virtual IVeltraError* GetProgress(int32_t* done, int32_t* total) = 0;

protected:
    virtual ~IVeltraProgress() = default;
};
