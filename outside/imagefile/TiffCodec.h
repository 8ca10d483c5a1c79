#pragma once
// TIFF through libtiff, read from memory and written to a path.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "outside/imagefile/Raster.h"

namespace jqfl {

struct TiffHeader {
    int width = 0;
    int height = 0;
    int depth = 1;
    int colorModel = 0;
    std::vector<uint8_t> iptc;  // raw IIM block of tag 33723
};

int32_t readTiffHeader(const uint8_t* data, size_t size, TiffHeader& header);
int32_t decodeTiff(const uint8_t* data, size_t size, Raster& out);

struct TiffTextTag {
    uint32_t tag;
    std::string text;
};

// Writes an uncompressed RGB or grey TIFF with the given text tags and IPTC block.
int32_t encodeTiff(const Raster& in, const std::string& path, const std::vector<TiffTextTag>& texts,
                   const std::vector<uint8_t>& iptc);

}  // namespace jqfl
