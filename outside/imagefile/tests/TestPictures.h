#pragma once
// Pictures made for the tests: generated pixels, written with the library's own
// encoders, tags added with exiftool (also the read-back oracle).
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
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

// Writes EXIF entries into a picture through Exiv2, each as "Exif.<group>.<tag>"
// and the value in Exiv2's text form. With Exif.Image.Make set to a camera
// maker, the entries of that maker's groups become a maker note laid out as
// the maker's cameras write it. True when the file was written.
bool writeExifEntries(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace jqfltest
