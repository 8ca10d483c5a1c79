// Eighth-size decodes of progressive JPEGs come from their DC scans alone; the
// pixels must be those of a whole decode. A copy of the file with a byte after
// its end marker takes the whole decode (libjpeg stops at the marker), which
// makes it the reference.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "outside/imagefile/DcScanDecoder.h"
#include "outside/imagefile/JpegCodec.h"
#include "outside/imagefile/JqFileLib.h"
#include "outside/imagefile/tests/TestPictures.h"

namespace fs = std::filesystem;

namespace {

// How a generated progressive file is coded besides its size and colours.
struct Coding {
    unsigned restartInterval = 0;  // in blocks (MCUs)
    bool dcPerComponent = false;   // DC in one scan a component, without successive approximation
};

// A scan script whose DC values come a component at a time, whole; then the AC
// coefficients of each component in one scan.
void dcPerComponentScans(jpeg_compress_struct& cinfo) {
    static jpeg_scan_info scans[2 * MAX_COMPONENTS];
    int n = 0;
    for (int c = 0; c < cinfo.num_components; ++c) scans[n++] = {1, {c}, 0, 0, 0, 0};
    for (int c = 0; c < cinfo.num_components; ++c) scans[n++] = {1, {c}, 1, 63, 0, 0};
    cinfo.scan_info = scans;
    cinfo.num_scans = n;
}

// A progressive JPEG of generated pixels (grey or colour, 4:2:0 or 4:4:4).
std::vector<uint8_t> progressiveJpeg(int width, int height, int channels, bool subsampled, Coding coding = {}) {
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
    if (coding.dcPerComponent) dcPerComponentScans(cinfo);
    cinfo.restart_interval = coding.restartInterval;
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
    std::vector<std::vector<uint8_t>> files = {
        progressiveJpeg(333, 251, 3, true), progressiveJpeg(333, 251, 3, false), progressiveJpeg(200, 97, 1, false),
        // restart markers, one that falls inside a row of blocks
        progressiveJpeg(333, 251, 3, false, {7, false}), progressiveJpeg(200, 97, 1, false, {3, false}),
        // DC values a component at a time, whole at once; pictures smaller than a block
        progressiveJpeg(129, 65, 3, false, {0, true}), progressiveJpeg(5, 3, 3, false, {1, true}),
        progressiveJpeg(1, 1, 1, false)};
    // Real photographs, where the machine has Debian's wallpapers.
    const fs::path wallpapers = "/usr/share/wallpapers";
    if (fs::is_directory(wallpapers))
        for (const auto& e : fs::recursive_directory_iterator(wallpapers))
            if (e.path().extension() == ".jpg" && files.size() < 17) {
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

// Whether every component of the file is at full resolution (its frame's
// sampling factors all 1x1), the case the DC scans decoder takes.
bool everyComponentWhole(const std::vector<uint8_t>& file) {
    for (size_t i = 2; i + 10 < file.size();) {
        if (file[i] != 0xFF) return false;
        const size_t length = size_t{file[i + 2]} << 8 | file[i + 3];
        if (file[i + 1] == 0xC2) {
            for (int c = 0; c < file[i + 9]; ++c)
                if (file[i + 11 + 3 * static_cast<size_t>(c)] != 0x11) return false;
            return true;
        }
        i += 2 + length;
    }
    return false;
}

// libjpeg's whole decode at an eighth of the size, the reference.
int32_t wholeEighth(const std::vector<uint8_t>& file, jqfl::Raster& out) {
    std::vector<uint8_t> padded = file;
    padded.push_back(0);
    return jqfl::decodeJpeg(padded.data(), padded.size(), 1, 1, out);
}

size_t differingBytes(const jqfl::Raster& a, const jqfl::Raster& b) {
    size_t differ = a.data.size() == b.data.size() ? 0 : 1;
    for (size_t i = 0; i < std::min(a.data.size(), b.data.size()); ++i) differ += a.data[i] != b.data[i];
    return differ;
}

}  // namespace

// The DC scans alone give libjpeg's eighth-size pixels wherever every
// component is at full resolution, and are declined elsewhere.
TEST(JpegCodec, DcScansGiveLibjpegsEighthSizeOrAreDeclined) {
    int taken = 0;
    for (const std::vector<uint8_t>& file : progressiveFiles()) {
        jqfl::Raster whole;
        ASSERT_EQ(wholeEighth(file, whole), JQFL_OK);
        jqfl::Raster fast;
        ASSERT_TRUE(jqfl::allocateRaster(fast, whole.width, whole.height, whole.channels, 1));
        const jqfl::DcColour colour = whole.channels == 1 ? jqfl::DcColour::Grey : jqfl::DcColour::YCbCrToRgb;
        const bool decoded = jqfl::decodeDcScans(file.data(), file.size(), colour, fast);
        EXPECT_EQ(decoded, everyComponentWhole(file)) << whole.width << "x" << whole.height;
        if (!decoded) continue;
        ++taken;
        EXPECT_EQ(differingBytes(fast, whole), 0u) << whole.width << "x" << whole.height;
    }
    EXPECT_GE(taken, 6);
}

// Damage in the DC scans never makes the eighth size differ from the whole
// decode: both find the file damaged, or both decode the same pixels.
TEST(JpegCodec, DamagedDcScansGiveTheWholeDecodesVerdict) {
    const std::vector<std::vector<uint8_t>> files = {progressiveJpeg(333, 251, 3, false, {7, false}),
                                                     progressiveJpeg(129, 65, 3, false, {0, true}),
                                                     progressiveJpeg(200, 97, 1, false)};
    std::mt19937 random(7);
    int damaged = 0;
    for (const std::vector<uint8_t>& file : files) {
        // the first scan's data: after the first start-of-scan segment
        size_t scan = 0;
        for (size_t i = 2; i + 4 < file.size() && !scan; i += 2 + (size_t{file[i + 2]} << 8 | file[i + 3])) {
            if (file[i + 1] == 0xDA) scan = i + 2 + (size_t{file[i + 2]} << 8 | file[i + 3]);
        }
        ASSERT_GT(scan, 0u);
        for (int trial = 0; trial < 60; ++trial) {
            std::vector<uint8_t> bad = file;
            const size_t at = scan + random() % 200;
            bad[at] = trial % 3 == 0 ? 0xFF : static_cast<uint8_t>(random());
            jqfl::Raster fast, whole;
            const int32_t fastCode = jqfl::decodeJpeg(bad.data(), bad.size(), 1, 1, fast);
            const int32_t wholeCode = wholeEighth(bad, whole);
            ASSERT_EQ(fastCode, wholeCode) << "byte " << at << " trial " << trial;
            if (fastCode == JQFL_OK) {
                EXPECT_EQ(differingBytes(fast, whole), 0u) << "byte " << at;
            }
            damaged += fastCode != JQFL_OK;
        }
    }
    EXPECT_GT(damaged, 20);
}

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
