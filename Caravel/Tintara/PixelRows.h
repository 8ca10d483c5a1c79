#pragma once

#include <cstddef>
#include <cstdint>

namespace tintara {

struct ColorTransform;

// Convert height rows of width pixels through a built transform. Strides are in
// bytes and already defaulted. Returns 0, or 2 when a row buffer cannot be had.
long ProcessInterleavedRows(ColorTransform& transform, const void* src, void* dst, long width, long height,
                            long srcRowBytes, long dstRowBytes);
long ProcessPlanarRows(ColorTransform& transform, const void* src, void* dst, long width, long height,
                       long srcRowBytes, long dstRowBytes, long srcPlaneBytes, long dstPlaneBytes);

} // namespace tintara
