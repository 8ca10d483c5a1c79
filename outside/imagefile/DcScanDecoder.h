#pragma once
// The eighth-size picture of a progressive JPEG straight from its DC scans.
// At an eighth of the size every block of a full-resolution component is one
// pixel, its DC coefficient over eight; libjpeg gets there through a
// coefficient buffer for the whole picture (88 MB for 5120x2880 colour),
// zeroed, filled and read back. Here only the DC values are kept, and the
// pixels are computed as libjpeg computes them (the same rounding, range
// limit and colour conversion), so that the picture is the one libjpeg gives.
//
// Only the plain case is taken: 8-bit samples, Huffman coding, one grey
// component or three YCbCr ones all at full resolution, and a stream without
// anything libjpeg would warn about. Anything else answers false and the
// caller decodes through libjpeg, which gives its own verdict.
#include <cstddef>
#include <cstdint>

#include "outside/imagefile/Raster.h"

namespace jqfl {

// Where the entropy-coded data of a scan starting at `at` ends: the next
// marker that is neither a stuffed zero nor a restart marker (fill bytes
// before it passed over); `size` where there is none.
size_t endOfEntropyData(const uint8_t* data, size_t size, size_t at);

enum class DcColour { Grey, YCbCrToRgb };

// Decodes `data` (a whole progressive JPEG; scans of AC coefficients are
// passed over) into `out`, which holds ceil(width/8) x ceil(height/8) pixels of
// 1 (Grey) or 3 (RGB) bytes already. False, with `out` in any state, where the
// stream is not the plain case or holds anything out of the ordinary.
bool decodeDcScans(const uint8_t* data, size_t size, DcColour colour, Raster& out);

}  // namespace jqfl
