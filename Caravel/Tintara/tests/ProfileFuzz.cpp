// Fuzz target for the profile reader, through the exported functions: the bytes
// are used as the input and as the output profile, and one pixel is converted,
// so the header, tag table and every tag reader the build needs see them.
#include "Caravel/Tintara/Tintara.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    long handle = 0;
    if (JQCMCreate(&handle) != 0)
        return 0;
    JQCMSetInputProfile(handle, data, static_cast<unsigned long>(size));
    JQCMSetOutputProfile(handle, data, static_cast<unsigned long>(size));
    std::uint16_t src[4] = {0x1234, 0x8000, 0xFFFF, 0x0042};
    std::uint16_t dst[4] = {};
    // intent 0 reads the LUT tags, intent 4 the matrix and tone curve tags
    for (long intent : {0L, 4L}) {
        JQCMSetIntent(handle, intent);
        JQCMSetInputBitSize(handle, 16);
        JQCMSetOutputBitSize(handle, 16);
        JQCMProcessInterleavedData(handle, 1, 1, src, dst, 0, 0);
    }
    JQCMDestroy(handle);
    return 0;
}
