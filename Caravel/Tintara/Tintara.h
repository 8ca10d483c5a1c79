#pragma once

// Tintara: converts pixel rows from the colour space of one ICC version 2
// profile to that of another. Every function returns a result code:
// 0 success, 1 bad argument, 2 memory exhausted, 9 profile unusable or
// unsupported, 10 a needed tag is missing, any other value the C runtime's
// error number of a failed profile file read.
//
// Setters only store values; the first Process call after a change reads the
// profiles and builds the transform.

#if defined(TINTARA_BUILDING)
#define TINTARA_EXPORT __attribute__((visibility("default")))
#else
#define TINTARA_EXPORT
#endif

TINTARA_EXPORT long JQCMCreate(long* handle);
TINTARA_EXPORT long JQCMDestroy(long handle);

TINTARA_EXPORT long JQCMSetInputProfile(long handle, const char* path);
TINTARA_EXPORT long JQCMSetInputProfile(long handle, const void* data, unsigned long size);
TINTARA_EXPORT long JQCMSetOutputProfile(long handle, const char* path);
TINTARA_EXPORT long JQCMSetOutputProfile(long handle, const void* data, unsigned long size);

TINTARA_EXPORT long JQCMSetInputBitSize(long handle, long bits);
TINTARA_EXPORT long JQCMSetOutputBitSize(long handle, long bits);
// 0 perceptual, 1 relative colorimetric, 2 absolute colorimetric, 3 saturation,
// 4 matrix and tone curves only.
TINTARA_EXPORT long JQCMSetIntent(long handle, long intent);
TINTARA_EXPORT long JQCMSetProofMode(long handle, long flag);

// User curves per channel (mask bits 0..3; the set bits take c0, c1, ... in
// rising order; a null pointer removes that channel's curve). Each curve holds
// 2^inBits entries ranging over 0..2^outBits - 1. Set replaces the profile's
// curve of the channel, Merge composes with it.
TINTARA_EXPORT long JQCMSetInputLUT(long handle, long inBits, long outBits, long mask, const unsigned short* c0,
                                    const unsigned short* c1, const unsigned short* c2, const unsigned short* c3);
TINTARA_EXPORT long JQCMSetOutputLUT(long handle, long inBits, long outBits, long mask, const unsigned short* c0,
                                     const unsigned short* c1, const unsigned short* c2, const unsigned short* c3);
TINTARA_EXPORT long JQCMMergeInputLUT(long handle, long inBits, long outBits, long mask, const unsigned short* c0,
                                      const unsigned short* c1, const unsigned short* c2, const unsigned short* c3);
TINTARA_EXPORT long JQCMMergeOutputLUT(long handle, long inBits, long outBits, long mask, const unsigned short* c0,
                                       const unsigned short* c1, const unsigned short* c2, const unsigned short* c3);

// Strides in bytes; 0 selects the default (rows packed, planes of one row one
// after another).
TINTARA_EXPORT long JQCMProcessInterleavedData(long handle, long width, long height, const void* src, void* dst,
                                               long srcRowBytes, long dstRowBytes);
TINTARA_EXPORT long JQCMProcessPlanarData(long handle, long width, long height, const void* src, void* dst,
                                          long srcRowBytes, long dstRowBytes, long srcPlaneBytes,
                                          long dstPlaneBytes);
