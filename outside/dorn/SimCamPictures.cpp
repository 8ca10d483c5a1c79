#include "outside/dorn/SimCamPictures.h"

#include "outside/tiff/TiffBlock.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <iterator>

#include <jpeglib.h>

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
};

void OnJpegError(j_common_ptr info)
{
    longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

SimThumbnail GreyField()
{
    SimThumbnail t;
    t.width = 8;
    t.height = 8;
    t.rowBytes = 24;
    t.pixels.assign(static_cast<size_t>(t.rowBytes) * t.height, 0x80);
    return t;
}

std::vector<uint8_t> ReadAll(const std::string& path, size_t limit)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::vector<uint8_t> bytes(limit);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(limit));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

// Decodes into t; false on any failure. Kept apart from the longjmp target's
// caller so that no object with a destructor lives across setjmp.
bool Decode(FILE* file, SimThumbnail* t)
{
    jpeg_decompress_struct info;
    ErrorManager error;
    info.err = jpeg_std_error(&error.base);
    error.base.error_exit = OnJpegError;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    info.scale_num = 1;
    info.scale_denom = 1;
    while (info.scale_denom < 8 && info.image_width / info.scale_denom > 160) info.scale_denom *= 2;
    jpeg_start_decompress(&info);
    t->width = info.output_width;
    t->height = info.output_height;
    t->rowBytes = (t->width * 3 + 3) & ~3u;
    t->pixels.assign(static_cast<size_t>(t->rowBytes) * t->height, 0);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = t->pixels.data() + static_cast<size_t>(info.output_scanline) * t->rowBytes;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

}  // namespace

SimThumbnail MakeThumbnail(const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return GreyField();
    SimThumbnail t;
    const bool ok = Decode(file, &t);
    std::fclose(file);
    return ok && t.width > 0 && t.height > 0 ? t : GreyField();
}

std::vector<uint8_t> ReadHeader(const std::string& path)
{
    return HeaderOf(ReadAll(path, 256u << 10));  // APP segments are at most 64 KiB each
}

std::vector<uint8_t> HeaderOf(std::vector<uint8_t> bytes)
{
    if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) {
        if (bytes.size() > 65536) bytes.resize(65536);
        return bytes;
    }
    size_t at = 2;
    // APP segments, and the comments that editors put between them (EXIF may follow one).
    auto metadata = [](uint8_t marker) { return (marker >= 0xE0 && marker <= 0xEF) || marker == 0xFE; };
    while (at + 4 <= bytes.size() && bytes[at] == 0xFF && metadata(bytes[at + 1])) {
        const size_t length = (static_cast<size_t>(bytes[at + 2]) << 8) | bytes[at + 3];
        if (length < 2 || at + 2 + length > bytes.size()) break;
        at += 2 + length;
    }
    std::vector<uint8_t> header(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    header.push_back(0xFF);
    header.push_back(0xD9);
    return header;
}

bool ExifDateOf(const std::vector<uint8_t>& header, uint16_t date[6])
{
    // Find the APP1 segment that holds "Exif\0\0".
    size_t at = 2;
    while (at + 4 <= header.size() && header[at] == 0xFF && header[at + 1] >= 0xE0 && header[at + 1] <= 0xEF) {
        const size_t length = (size_t(header[at + 2]) << 8) | header[at + 3];
        if (length < 2 || at + 2 + length > header.size()) return false;
        if (header[at + 1] == 0xE1 && length >= 8 && std::memcmp(&header[at + 4], "Exif\0\0", 6) == 0) {
            const tiffblock::TiffBlock r(&header[at + 10], length - 8);
            const auto ifd0 = r.firstIfd();
            const auto exifEntry = ifd0 ? r.find(*ifd0, 0x8769) : std::nullopt;
            const auto taken = exifEntry ? r.find(r.word(*exifEntry), 0x9003) : std::nullopt;
            if (!taken || taken->type != 2 || taken->count < 19) return false;
            const auto where = r.valueOf(*taken, 1);
            if (!where) return false;
            const std::string_view text = r.text(where->first, 19);
            unsigned v[6] = {};
            if (std::sscanf(std::string(text).c_str(), "%4u:%2u:%2u %2u:%2u:%2u", &v[0], &v[1], &v[2], &v[3],
                            &v[4], &v[5]) != 6)
                return false;
            if (v[0] < 1900 || v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31 || v[3] > 23 || v[4] > 59 || v[5] > 60)
                return false;
            for (int i = 0; i < 6; ++i) date[i] = static_cast<uint16_t>(v[i]);
            return true;
        }
        at += 2 + length;
    }
    return false;
}
