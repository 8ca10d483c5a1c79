#pragma once

#include "Caravel/Tintara/AlignedBuffer.h"
#include "Caravel/Tintara/MultiLutInit.h"
#include "Caravel/Tintara/ProfileReader.h"

#include <cstdint>

namespace tintara {

enum class ProfileDirection { kInput, kOutput };

// One profile reduced to what the device link needs, in the direction it is used.
struct ProfileDescription {
    enum Kind : long { kGray = 0, kLut = 1, kMatrix = 2 };

    double illuminant[3] = {};
    double mediaWhite[3] = {};
    long kind = kGray;
    std::uint32_t sourceSpace = 0;
    std::uint32_t destinationSpace = 0;
    long inputChannels = 0;
    long outputChannels = 0;
    long precision = 16;
    AlignedBuffer<std::uint16_t> lutInputTables[4];
    double inputIndexScale = 0;
    double inputValueScale = 1;
    CMultiLutInit lut;
    AlignedBuffer<std::uint16_t> lutOutputTables[4];
    double outputIndexScale = 0;
    double outputValueScale = 1;
    AlignedBuffer<std::uint16_t> curves[3];
    double matrix[9] = {};
    // An XYZ-data LUT whose matrix is not the identity: the evaluator applies the
    // matrix ahead of the LUT input tables, as ICC processing orders them.
    bool matrixAheadOfTables = false;
};

long BuildProfileDescription(ProfileDescription& description, ProfileReader& reader, long intent,
                             ProfileDirection direction);

} // namespace tintara
