#pragma once

#include "Caravel/Tintara/AlignedBuffer.h"
#include "Caravel/Tintara/MultiLutKernels.h"
#include "Caravel/Tintara/MultiLutWorkBase.h"
#include "Caravel/Tintara/UserLutRecord.h"

#include <cstdint>
#include <memory>

namespace tintara {

// The device link held by a handle: input tables, one multi-dimensional table,
// output tables, and the row buffers used while converting.
struct ColorTransform {
    long intent = 0;
    long proofMode = 0;
    AlignedBuffer<std::uint16_t> profileInputCurves[4];
    AlignedBuffer<std::uint16_t> profileOutputCurves[4];
    std::uint32_t inputColorSpace = 0;
    std::uint32_t outputColorSpace = 0;
    long inputChannels = 0;
    long outputChannels = 0;
    long inputBits = 0;
    long outputBits = 0;
    AlignedBuffer<std::uint16_t> inputTables;
    std::unique_ptr<CMultiLutWorkBase> lut;
    AlignedBuffer<std::uint16_t> outputTables;
    // Set where 8-bit three-channel rows can skip the u16 rows (see ByteCells).
    std::unique_ptr<ByteCells> byteCells;
    AlignedBuffer<std::uint16_t> inputRow;
    AlignedBuffer<std::uint16_t> outputRow;
};

// Builds the link from two profile images (Part of the handle's full rebuild).
long BuildTransform(ColorTransform& transform, const std::uint8_t* inputImage, std::size_t inputLength,
                    const std::uint8_t* outputImage, std::size_t outputLength, long intent, long proofMode,
                    long inputBits, long outputBits, const UserLutRecord* inputCurves,
                    const UserLutRecord* outputCurves);

} // namespace tintara
