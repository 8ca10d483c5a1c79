#pragma once
// The first frame of a motion-JPEG QuickTime clip (the cameras' ".MOV"): found
// through the movie's atoms (moov/trak/mdia/minf/stbl: sample description,
// chunk offsets, sample sizes), every size and offset checked against the file.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace jqfl {

bool isQuickTime(const uint8_t* data, size_t size);
// The JPEG bytes of the first video frame; false when there is none.
bool firstMotionJpegFrame(const uint8_t* data, size_t size, std::vector<uint8_t>& jpeg);

}  // namespace jqfl
