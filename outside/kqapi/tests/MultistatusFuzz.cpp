// Fuzz target: the multistatus reader takes any bytes a server sends.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "outside/kqapi/DavXml.h"
#include "outside/kqapi/UrlText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<kq::DavEntry> entries;
    if (kq::parseMultistatus(std::string_view(reinterpret_cast<const char*>(data), size), &entries)) {
        for (const kq::DavEntry& e : entries) (void)kq::lastSegment(kq::hrefPath(e.href));
    }
    return 0;
}
