#include "viewer/sources/camera/tests/CameraFixture.h"

#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <fstream>

#include <jpeglib.h>

namespace camtest {

std::string MakeJpegBytes(uint32_t width, uint32_t height)
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 80, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(width * 3);
    while (info.next_scanline < info.image_height) {
        for (uint32_t x = 0; x < width; ++x) {
            row[x * 3] = static_cast<unsigned char>(x * 4);
            row[x * 3 + 1] = static_cast<unsigned char>(info.next_scanline * 4);
            row[x * 3 + 2] = 128;
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&info, &p, 1);
    }
    jpeg_finish_compress(&info);
    std::string bytes(reinterpret_cast<char*>(buffer), size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

CameraCard::CameraCard()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "camcardXXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    std::filesystem::create_directories(root() / "DCIM");
    std::filesystem::create_directories(dest());
}

CameraCard::~CameraCard()
{
    std::error_code ec;
    // Protected files lose their write bits; the folder can still be removed.
    std::filesystem::remove_all(dir_, ec);
}

void CameraCard::WriteConfig(const std::vector<std::string>& extra, const std::string& model) const
{
    std::ofstream out(config());
    out << "# test camera\nroot=card\nmodel=" << model << "\nidle_ms=50\nchunk_size=1024\n";
    for (const std::string& line : extra) out << line << "\n";
}

std::filesystem::path CameraCard::PathOf(const std::string& folder, const std::string& name) const
{
    return root() / "DCIM" / folder / name;
}

void CameraCard::AddFolder(const std::string& folder) const
{
    std::filesystem::create_directories(root() / "DCIM" / folder);
}

void CameraCard::AddFile(const std::string& folder, const std::string& name, const std::string& bytes) const
{
    AddFolder(folder);
    std::ofstream out(PathOf(folder, name), std::ios::binary);
    out << bytes;
}

void CameraCard::AddJpeg(const std::string& folder, const std::string& name, uint32_t width, uint32_t height) const
{
    AddFile(folder, name, MakeJpegBytes(width, height));
}

void CameraCard::AddJpegWithDate(const std::string& folder, const std::string& name, const std::string& date) const
{
    // IFD0 points at the EXIF IFD, which holds DateTimeOriginal (0x9003).
    std::string tiff = std::string("II*\0\x08\0\0\0", 8);
    tiff += std::string("\x01\0\x69\x87\x04\0\x01\0\0\0\x1a\0\0\0\0\0\0\0", 18);
    tiff += std::string("\x01\0\x03\x90\x02\0\x14\0\0\0\x2c\0\0\0\0\0\0\0", 18);
    tiff += date.substr(0, 19);
    tiff += std::string(20 - std::min<size_t>(date.size(), 19), '\0');
    const size_t length = tiff.size() + 8;
    std::string app1 = "\xFF\xE1";
    app1 += static_cast<char>(length >> 8);
    app1 += static_cast<char>(length & 0xFF);
    app1 += std::string("Exif\0\0", 6) + tiff;
    const std::string jpeg = MakeJpegBytes(32, 32);
    AddFile(folder, name, jpeg.substr(0, 2) + app1 + jpeg.substr(2));
}

void CameraCard::MakeStandard() const
{
    AddJpeg("100TEST", "IMG_0001.JPG", 64, 48);
    AddJpeg("100TEST", "IMG_0002.JPG", 200, 100);
    AddJpeg("100TEST", "IMG_0003.JPG", 32, 32);
    AddFile("100TEST", "NOTES.TXT", "hello");
    AddFile("100TEST", "IMG_0004.JPG", "");
    AddJpeg("101TEST", "IMG_0101.JPG", 40, 30);
    AddJpeg("101TEST", "IMG_0102.JPG", 40, 30);
}

}  // namespace camtest
