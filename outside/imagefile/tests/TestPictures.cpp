#include "outside/imagefile/tests/TestPictures.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include <exiv2/exiv2.hpp>

#include "outside/imagefile/JpegCodec.h"
#include "outside/imagefile/TiffCodec.h"

namespace jqfltest {

namespace {

jqfl::Raster makeRaster(int width, int height, const PixelFn& fn, bool grey, int depth) {
    jqfl::Raster r;
    jqfl::allocateRaster(r, width, height, grey ? 1 : 3, depth);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb c = fn(x, y);
            const uint8_t v[3] = {c.r, c.g, c.b};
            for (int k = 0; k < r.channels; ++k) {
                const size_t i = (static_cast<size_t>(y) * width + x) * r.channels + k;
                if (depth == 2)
                    reinterpret_cast<uint16_t*>(r.data.data())[i] = static_cast<uint16_t>(v[k] * 257);
                else
                    r.data[i] = v[k];
            }
        }
    return r;
}

}  // namespace

void writeJpeg(const std::string& path, int width, int height, const PixelFn& fn, bool grey) {
    std::vector<uint8_t> bytes;
    jqfl::encodeJpeg(makeRaster(width, height, fn, grey, 1), 95, {}, {}, bytes);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
}

void writeTiff(const std::string& path, int width, int height, const PixelFn& fn, int depth) {
    jqfl::encodeTiff(makeRaster(width, height, fn, false, depth), path, {}, {});
}

bool exiftool(const std::string& args, const std::string& path) {
    const std::string cmd = "exiftool -q -q -overwrite_original " + args + " '" + path + "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

std::string exiftoolRead(const std::string& tag, const std::string& path) {
    const std::string cmd = "exiftool -s3 -" + tag + " '" + path + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), pclose);
    std::string out;
    std::array<char, 256> buf{};
    while (p && fgets(buf.data(), buf.size(), p.get())) out += buf.data();
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool writeExifEntries(const std::string& path, const std::vector<std::pair<std::string, std::string>>& entries) {
    try {
        auto image = Exiv2::ImageFactory::open(path);
        image->readMetadata();
        Exiv2::ExifData& data = image->exifData();
        for (const auto& [key, value] : entries) data[key] = value;
        image->writeMetadata();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace jqfltest
