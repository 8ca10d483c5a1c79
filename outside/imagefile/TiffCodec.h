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

// What a TIFF's own directory carries beside its pixels and stays true of new ones.
struct TiffExtras {
    std::vector<uint8_t> icc;   // colour profile
    std::string xmp;            // XMP packet
    double xResolution = 0;     // 0: none
    double yResolution = 0;
    uint16_t resolutionUnit = 0;
};

// Writes an uncompressed RGB or grey TIFF with the given text tags, IPTC block and extras.
int32_t encodeTiff(const Raster& in, const std::string& path, const std::vector<TiffTextTag>& texts,
                   const std::vector<uint8_t>& iptc, const TiffExtras& extras = {});

}  // namespace jqfl
