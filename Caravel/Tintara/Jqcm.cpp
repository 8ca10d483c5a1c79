// The exported JQCM functions: argument checks, then the handle's state.
#include "Caravel/Tintara/Tintara.h"

#include "Caravel/Tintara/PixelRows.h"
#include "Caravel/Tintara/TransformHandle.h"

#include <cstring>
#include <memory>
#include <new>

using tintara::kBadArgument;
using tintara::kOk;
using tintara::TransformHandle;

namespace {

TransformHandle* FromHandle(long handle)
{
    return reinterpret_cast<TransformHandle*>(handle);
}

long StoreImage(tintara::AlignedBuffer<std::uint8_t>& image, const void* data, unsigned long size)
{
    if (long rc = image.Resize(size); rc != kOk)
        return rc;
    std::memcpy(image.data(), data, size);
    return kOk;
}

long SetProfileImage(long handle, const void* data, unsigned long size, bool input)
{
    if (!handle || !data || size == 0)
        return kBadArgument;
    TransformHandle& h = *FromHandle(handle);
    h.profilesChanged = true;
    return StoreImage(input ? h.inputProfileImage : h.outputProfileImage, data, size);
}

long SetProfilePath(long handle, const char* path, bool input)
{
    if (!handle || !path)
        return kBadArgument;
    TransformHandle& h = *FromHandle(handle);
    (input ? h.inputProfileImage : h.outputProfileImage).Resize(0);
    h.profilesChanged = true;
    return StoreImage(input ? h.inputProfilePath : h.outputProfilePath, path, std::strlen(path) + 1);
}

long SetBits(long handle, long bits, bool input)
{
    if (!handle || bits < 8 || bits > 16)
        return kBadArgument;
    TransformHandle& h = *FromHandle(handle);
    (input ? h.inputBits : h.outputBits) = bits;
    h.curvesChanged = true;
    return kOk;
}

long SetCurves(long handle, long inBits, long outBits, long mask, const unsigned short* c0, const unsigned short* c1,
               const unsigned short* c2, const unsigned short* c3, bool input, long merge)
{
    if (!handle)
        return kBadArgument;
    TransformHandle& h = *FromHandle(handle);
    const unsigned short* curves[4] = {c0, c1, c2, c3};
    const long rc = tintara::SetUserCurves(input ? h.inputCurves : h.outputCurves, inBits, outBits, mask, curves, merge);
    if (rc != kBadArgument)
        h.curvesChanged = true;
    return rc;
}

long BytesPerSample(long bits)
{
    return (bits + 7) / 8;
}

// Argument checks and the prepare step shared by both Process calls.
long BeginProcess(long handle, long width, long height, const void* src, void* dst)
{
    if (!handle || width < 0 || height < 0)
        return kBadArgument;
    if (width >= 1 && height >= 1 && (!src || !dst))
        return kBadArgument;
    return tintara::PrepareTransform(*FromHandle(handle));
}

} // namespace

long JQCMCreate(long* handle)
{
    if (!handle)
        return kBadArgument;
    *handle = 0;
    auto* h = new (std::nothrow) TransformHandle();
    if (!h)
        return tintara::kNoMemory;
    *handle = reinterpret_cast<long>(h);
    return kOk;
}

long JQCMDestroy(long handle)
{
    if (!handle)
        return kBadArgument;
    delete FromHandle(handle);
    return kOk;
}

long JQCMSetInputProfile(long handle, const char* path) { return SetProfilePath(handle, path, true); }
long JQCMSetInputProfile(long handle, const void* data, unsigned long size) { return SetProfileImage(handle, data, size, true); }
long JQCMSetOutputProfile(long handle, const char* path) { return SetProfilePath(handle, path, false); }
long JQCMSetOutputProfile(long handle, const void* data, unsigned long size) { return SetProfileImage(handle, data, size, false); }

long JQCMSetInputBitSize(long handle, long bits) { return SetBits(handle, bits, true); }
long JQCMSetOutputBitSize(long handle, long bits) { return SetBits(handle, bits, false); }

long JQCMSetIntent(long handle, long intent)
{
    if (!handle || intent < 0 || intent > 4)
        return kBadArgument;
    TransformHandle& h = *FromHandle(handle);
    h.intent = intent;
    h.profilesChanged = true;
    return kOk;
}

long JQCMSetProofMode(long handle, long flag)
{
    if (!handle)
        return kBadArgument;
    TransformHandle& h = *FromHandle(handle);
    h.proofMode = flag;
    h.profilesChanged = true;
    return kOk;
}

long JQCMSetInputLUT(long handle, long inBits, long outBits, long mask, const unsigned short* c0,
                     const unsigned short* c1, const unsigned short* c2, const unsigned short* c3)
{
    return SetCurves(handle, inBits, outBits, mask, c0, c1, c2, c3, true, 0);
}

long JQCMSetOutputLUT(long handle, long inBits, long outBits, long mask, const unsigned short* c0,
                      const unsigned short* c1, const unsigned short* c2, const unsigned short* c3)
{
    return SetCurves(handle, inBits, outBits, mask, c0, c1, c2, c3, false, 0);
}

long JQCMMergeInputLUT(long handle, long inBits, long outBits, long mask, const unsigned short* c0,
                       const unsigned short* c1, const unsigned short* c2, const unsigned short* c3)
{
    return SetCurves(handle, inBits, outBits, mask, c0, c1, c2, c3, true, 1);
}

long JQCMMergeOutputLUT(long handle, long inBits, long outBits, long mask, const unsigned short* c0,
                        const unsigned short* c1, const unsigned short* c2, const unsigned short* c3)
{
    return SetCurves(handle, inBits, outBits, mask, c0, c1, c2, c3, false, 1);
}

long JQCMProcessInterleavedData(long handle, long width, long height, const void* src, void* dst, long srcRowBytes,
                                long dstRowBytes)
{
    if (long rc = BeginProcess(handle, width, height, src, dst); rc != kOk)
        return rc;
    if (width == 0 || height == 0)
        return kOk;
    auto& t = FromHandle(handle)->transform;
    if (srcRowBytes == 0)
        srcRowBytes = BytesPerSample(t.inputBits) * width * t.inputChannels;
    if (dstRowBytes == 0)
        dstRowBytes = BytesPerSample(t.outputBits) * width * t.outputChannels;
    return tintara::ProcessInterleavedRows(t, src, dst, width, height, srcRowBytes, dstRowBytes);
}

long JQCMProcessPlanarData(long handle, long width, long height, const void* src, void* dst, long srcRowBytes,
                           long dstRowBytes, long srcPlaneBytes, long dstPlaneBytes)
{
    if (long rc = BeginProcess(handle, width, height, src, dst); rc != kOk)
        return rc;
    if (width == 0 || height == 0)
        return kOk;
    auto& t = FromHandle(handle)->transform;
    if (srcRowBytes == 0)
        srcRowBytes = BytesPerSample(t.inputBits) * width * t.inputChannels;
    if (dstRowBytes == 0)
        dstRowBytes = BytesPerSample(t.outputBits) * width * t.outputChannels;
    if (srcPlaneBytes == 0)
        srcPlaneBytes = BytesPerSample(t.inputBits) * width;
    if (dstPlaneBytes == 0)
        dstPlaneBytes = BytesPerSample(t.outputBits) * width;
    return tintara::ProcessPlanarRows(t, src, dst, width, height, srcRowBytes, dstRowBytes, srcPlaneBytes,
                                      dstPlaneBytes);
}
