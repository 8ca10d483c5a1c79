// Eighth-size decodes of progressive JPEGs come from their DC scans alone; the
// pixels must be those of a whole decode. A copy of the file with a byte after
// its end marker takes the whole decode (libjpeg stops at the marker), which
// makes it the reference.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "outside/imagefile/JpegCodec.h"
#include "outside/imagefile/JqFileLib.h"
#include "outside/imagefile/tests/TestPictures.h"

namespace fs = std::filesystem;

namespace {

// A progressive JPEG of generated pixels (grey or colour, 4:2:0 or 4:4:4).
std::vector<uint8_t> progressiveJpeg(int width, int height, int channels, bool subsampled) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* mem = nullptr;
    unsigned long memSize = 0;
    jpeg_mem_dest(&cinfo, &mem, &memSize);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = channels;
    cinfo.in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    if (channels == 3 && !subsampled)
        for (int c = 0; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(width * channels));
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                row[static_cast<size_t>(x * channels + c)] = static_cast<uint8_t>((x * 7 + y * 3 + c * 50 + (x * y) % 31) & 0xFF);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<uint8_t> out(mem, mem + memSize);
    jpeg_destroy_compress(&cinfo);
    free(mem);
    return out;
}

std::vector<std::vector<uint8_t>> progressiveFiles() {
    std::vector<std::vector<uint8_t>> files = {progressiveJpeg(333, 251, 3, true), progressiveJpeg(333, 251, 3, false),
                                               progressiveJpeg(200, 97, 1, false)};
    // Real photographs, where the machine has Debian's wallpapers.
    const fs::path wallpapers = "/usr/share/wallpapers";
    if (fs::is_directory(wallpapers))
        for (const auto& e : fs::recursive_directory_iterator(wallpapers))
            if (e.path().extension() == ".jpg" && files.size() < 12) {
                std::vector<uint8_t> bytes = jqfltest::readFile(e.path().string());
                // progressive: a start-of-frame marker FFC2
                for (size_t i = 0; i + 1 < bytes.size() && i < 65536; ++i)
                    if (bytes[i] == 0xFF && bytes[i + 1] == 0xC2) {
                        files.push_back(std::move(bytes));
                        break;
                    }
            }
    return files;
}

}  // namespace

TEST(JpegCodec, EighthSizeOfAProgressiveFileHasTheWholeDecodesPixels) {
    for (const std::vector<uint8_t>& file : progressiveFiles()) {
        jqfl::JpegHeader header;
        ASSERT_EQ(jqfl::readJpegHeader(file.data(), file.size(), header), JQFL_OK);
        // thumbnail sizes that give the eighth scale, and one that needs more
        for (const auto& [w, h] : {std::pair{16, 12}, std::pair{(header.width + 7) / 8, (header.height + 7) / 8},
                                  std::pair{header.width / 4, header.height / 4}}) {
            std::vector<uint8_t> padded = file;
            padded.push_back(0);
            jqfl::Raster fast, whole;
            ASSERT_EQ(jqfl::decodeJpeg(file.data(), file.size(), w, h, fast), JQFL_OK);
            ASSERT_EQ(jqfl::decodeJpeg(padded.data(), padded.size(), w, h, whole), JQFL_OK);
            EXPECT_EQ(fast.width, whole.width);
            EXPECT_EQ(fast.height, whole.height);
            size_t differ = 0, first = 0;
            for (size_t i = 0; i < std::min(fast.data.size(), whole.data.size()); ++i)
                if (fast.data[i] != whole.data[i] && differ++ == 0) first = i;
            EXPECT_EQ(differ, 0u) << header.width << "x" << header.height << " at " << w << "x" << h << " first " << first
                                 << " of " << fast.data.size() << " row bytes " << fast.rowBytes() << " " << int(fast.data[first]) << " vs " << int(whole.data[first]);
        }
    }
}

TEST(JpegCodec, ATruncatedProgressiveFileIsStillFoundDamaged) {
    const std::vector<uint8_t> file = progressiveJpeg(333, 251, 3, true);
    for (const size_t keep : {file.size() / 2, file.size() - 40}) {
        std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(keep));
        jqfl::Raster out;
        EXPECT_EQ(jqfl::decodeJpeg(cut.data(), cut.size(), 16, 12, out), JQFL_CORRUPT) << keep;
    }
}
