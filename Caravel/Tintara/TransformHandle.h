#pragma once

#include "Caravel/Tintara/AlignedBuffer.h"
#include "Caravel/Tintara/ColorTransform.h"
#include "Caravel/Tintara/UserLutRecord.h"

#include <cstdint>

namespace tintara {

// The object behind a JQCM handle.
struct TransformHandle {
    AlignedBuffer<std::uint8_t> inputProfileImage;
    AlignedBuffer<std::uint8_t> outputProfileImage;
    AlignedBuffer<std::uint8_t> inputProfilePath;  // with its terminating zero
    AlignedBuffer<std::uint8_t> outputProfilePath;
    long inputBits = 8;
    long outputBits = 8;
    long intent = 0;
    long proofMode = 1;
    UserLutRecord inputCurves[4];
    UserLutRecord outputCurves[4];
    bool profilesChanged = true;
    bool curvesChanged = false;
    ColorTransform transform;
};

// Reads a whole profile file. Returns 0, 2, or an error number (never 0 after
// a failed step: a short read gives EIO, a non-regular file EISDIR or EINVAL).
long ReadProfileFile(const char* path, AlignedBuffer<std::uint8_t>& image);

// Brings the transform up to date with what the setters changed.
long PrepareTransform(TransformHandle& handle);

// Applies one of the four user-curve calls (merge 0 replaces, 1 composes).
long SetUserCurves(UserLutRecord* records, long inBits, long outBits, long mask, const unsigned short* const* curves,
                   long merge);

} // namespace tintara
