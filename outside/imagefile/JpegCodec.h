#pragma once
// JPEG through libjpeg-turbo: header, DCT-scaled decode, encode. Decoding never
// lets a malformed stream escape: a fatal error or a truncated stream is a result.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "outside/imagefile/Raster.h"

namespace jqfl {

struct JpegHeader {
    int width = 0;
    int height = 0;
    int components = 0;
    int colorModel = 0;                  // JQFL_MODEL_*
    std::vector<uint8_t> exif;           // APP1 payload after "Exif\0\0" (TIFF structure)
    std::vector<uint8_t> photoshop;      // APP13 payload after "Photoshop 3.0\0"
};

int32_t readJpegHeader(const uint8_t* data, size_t size, JpegHeader& header);

// The metadata segments of a JPEG header file (start, APPn segments, end; no
// picture), as a camera delivers a picture's header. False when it is not one.
bool readHeaderSegments(const uint8_t* data, size_t size, JpegHeader& header);

// Decodes at the smallest DCT scale (n/8) that still gives at least minWidth x
// minHeight; 0 asks for full size.
int32_t decodeJpeg(const uint8_t* data, size_t size, int minWidth, int minHeight, Raster& out);

// A marker segment: its marker (0xE0 + n) and payload.
struct JpegSegment {
    uint8_t marker = 0;
    std::vector<uint8_t> body;
};

// Encodes an 8-bit raster (1 or 3 channels); 16-bit rasters are reduced.
// Markers are written right after the start: APP1 Exif, then APP13, then `more`.
int32_t encodeJpeg(const Raster& in, int quality, const std::vector<uint8_t>& app1,
                   const std::vector<uint8_t>& app13, std::vector<uint8_t>& out,
                   const std::vector<JpegSegment>& more = {});

// The colour profile (APP2 "ICC_PROFILE" chunks, joined in order) and the XMP
// packet (APP1) of a JPEG stream; empty when absent.
void jpegProfileAndXmp(const uint8_t* data, size_t size, std::vector<uint8_t>* icc, std::string* xmp);
// The segments that carry a colour profile and an XMP packet in a JPEG file.
std::vector<JpegSegment> profileAndXmpSegments(const std::vector<uint8_t>& icc, const std::string& xmp);

}  // namespace jqfl
