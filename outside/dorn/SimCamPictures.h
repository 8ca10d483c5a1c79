#pragma once
// What the simulated camera makes of a picture file: its thumbnail pixels and
// its header bytes.
#include <cstdint>
#include <string>
#include <vector>

struct SimThumbnail {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t rowBytes = 0;        // a multiple of 4
    std::vector<uint8_t> pixels;  // rows top-down, R,G,B
};

// A reduced decode of a JPEG (at most 160 pixels wide), or a small grey field
// for anything that is not a readable JPEG.
SimThumbnail MakeThumbnail(const std::string& path);

// A JPEG's start: SOI, every APPn (and comment) segment, then EOI; for other files their
// first 64 KiB. Empty when the file cannot be read.
std::vector<uint8_t> ReadHeader(const std::string& path);

// The same for bytes already read.
std::vector<uint8_t> HeaderOf(std::vector<uint8_t> bytes);

// The EXIF DateTimeOriginal of a JPEG's header bytes as year, month, day, hour,
// minute, second; false when there is none that reads as a date.
bool ExifDateOf(const std::vector<uint8_t>& header, uint16_t date[6]);
