#pragma once
// Pictures made for the tests: generated pixels, written with the library's own
// encoders, tags added with exiftool (also the read-back oracle).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace jqfltest {

struct Rgb {
    uint8_t r, g, b;
};

using PixelFn = std::function<Rgb(int x, int y)>;

// Writes a JPEG (quality 95) or an 8-bit TIFF of the given size.
void writeJpeg(const std::string& path, int width, int height, const PixelFn& fn, bool grey = false);
void writeTiff(const std::string& path, int width, int height, const PixelFn& fn, int depth = 1);

// Runs exiftool with the arguments on the file (overwriting it); true on success.
bool exiftool(const std::string& args, const std::string& path);
// One tag value as exiftool prints it (-s3); empty when missing.
std::string exiftoolRead(const std::string& tag, const std::string& path);

std::vector<uint8_t> readFile(const std::string& path);

}  // namespace jqfltest
