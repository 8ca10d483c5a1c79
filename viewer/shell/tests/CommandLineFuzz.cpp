#include "viewer/shell/CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string raw(reinterpret_cast<const char*>(data), size);
    for (int code : {8, 9}) {
        const CommandLineTarget t = ClassifyCommandLine(raw, code, "/root/Common Files");
        if (t.mode == 2 || t.mode == 3) {
            // Every record that comes out is terminated and names a valid index.
            if (::strnlen(t.record.Name, sizeof t.record.Name) >= sizeof t.record.Name ||
                ::strnlen(t.record.Capability, sizeof t.record.Capability) >= sizeof t.record.Capability ||
                t.index < 0 || t.index > 26)
                __builtin_trap();
        }
    }
    return 0;
}
