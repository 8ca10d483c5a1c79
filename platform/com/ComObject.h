#pragma once
// An object served to other processes. Each method number's arguments and
// results are the interface's own (WireReader/WireWriter); the server calls one
// method at a time.
#include "platform/com/HResult.h"
#include "platform/com/WireReader.h"
#include "platform/com/WireWriter.h"

#include <cstdint>

namespace plat {

class ComObject {
public:
    virtual ~ComObject() = default;
    // Arguments that do not decode must give hr::InvalidArg, not a guess.
    virtual HResult call(uint32_t method, WireReader& in, WireWriter& out) = 0;
};

}  // namespace plat
