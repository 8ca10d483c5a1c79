// The simulated camera's header reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "outside/dorn/SimCamPictures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> header = HeaderOf(std::vector<uint8_t>(data, data + size));
    if (header.size() > size + 2) __builtin_trap();
    uint16_t date[6];
    ExifDateOf(std::vector<uint8_t>(data, data + size), date);
    return 0;
}
