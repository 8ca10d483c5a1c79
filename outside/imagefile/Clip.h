#pragma once
// The first picture of a clip (the cameras' ".MOV" and ".MP4": H.264, HEVC or
// motion JPEG in a QuickTime or MPEG-4 file), decoded through FFmpeg's libraries.
// The file is read as the demuxer needs it, never whole: only the decoded frame
// counts against the picture limits.
#include <cstddef>
#include <cstdint>
#include <string>

#include "outside/imagefile/Raster.h"

namespace jqfl {

// True when the first bytes are those of a QuickTime or MPEG-4 file (an atom
// type at offset 4).
bool isClip(const uint8_t* head, size_t size);

// The first video frame as 8-bit RGB; 0 or a library result (JQFL_UNSUPPORTED
// for a file without a frame the libraries can decode).
int32_t firstClipFrame(const std::string& path, Raster& out);
int32_t firstClipFrame(const uint8_t* data, size_t size, Raster& out);

}  // namespace jqfl
