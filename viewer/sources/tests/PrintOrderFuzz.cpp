// The print-order reader over any text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "viewer/sources/PrintOrderFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CPrintOrderFile f;
    if (f.Parse(std::string(reinterpret_cast<const char*>(data), size), 'E') == 0)
        for (int32_t i = 0; i <= f.GetCount(); ++i)
            (void)f.GetAt(i);
    return 0;
}
