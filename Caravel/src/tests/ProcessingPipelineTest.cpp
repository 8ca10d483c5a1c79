// Processing pipeline: output sizes, the memory factor, the error text, and real pictures
// converted from TIFF files to JPEG files through the chain.
#include "Caravel/src/ProcessingPipeline.h"
#include "Caravel/src/RunFlags.h"

#include "platform/testing/TempRoot.h"
#include "platform/thread/PhysicalMemory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <jpeglib.h>
#include <tiffio.h>
#include <vector>

using namespace caravel;
namespace fs = std::filesystem;

TEST(ProcessingPipeline, OutputSizeCoversTheBox)
{
    const struct {
        int32_t size, w, h, ow, oh;
    } cases[] = {
        {1, 3008, 2000, 3008, 2000}, {2, 3008, 2000, 721, 480},  {2, 2000, 3008, 640, 962},
        {2, 640, 480, 640, 480},     {4, 1000, 1000, 1220, 1220}, {3, 1000, 1000, 1024, 1024},
        {3, 2000, 1500, 1024, 768},  {4, 1220, 960, 1220, 960},
    };
    for (const auto& c : cases) {
        int32_t ow = 0, oh = 0;
        OutputSize(c.size, c.w, c.h, &ow, &oh);
        EXPECT_EQ(ow, c.ow) << c.size << ": " << c.w << "x" << c.h;
        EXPECT_EQ(oh, c.oh) << c.size << ": " << c.w << "x" << c.h;
    }
}

TEST(ProcessingPipeline, ManagerFactorGrowsWithMemory)
{
    const uint32_t mib = 1024 * 1024;
    const std::pair<uint32_t, uint32_t> cases[] = {
        {64 * mib, 2}, {64 * mib + 1, 4}, {16 * mib, 1}, {16 * mib + 1, 2}, {0, 1}, {0x7FFFFFFF, 4}};
    for (auto [half, factor] : cases)
        EXPECT_EQ(ManagerFactor(half), factor) << half;
}

TEST(ProcessingPipeline, ErrorTextNamesEachLink)
{
    EXPECT_FALSE(FormatVeltraError(nullptr));
    IVeltraError* e = IVeltraError::Add(nullptr, VeltraFourCC("db1s"), 10, "Bad source data color space");
    e = IVeltraError::AddWorker(nullptr, 0, 20, e);
    std::string text;
    ASSERT_TRUE(FormatVeltraError(e, &text));
    EXPECT_NE(text.find("Error \"Bad source data color space\""), std::string::npos) << text;
    IVeltraError* coded = IVeltraError::Add(nullptr, 0x01020304, 1, 0, 5);
    ASSERT_TRUE(FormatVeltraError(coded, &text));
    EXPECT_NE(text.find("Error 5 from 01020304 (____)"), std::string::npos) << text;
}

namespace {

void WriteTiff(const std::string& path, int w, int h, int samples, int bits)
{
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bits);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_MAKE, "Vorel");
    std::vector<uint8_t> row(static_cast<size_t>(w) * samples * bits / 8);
    for (int y = 0; y < h; ++y) {
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = static_cast<uint8_t>(i * 3 + y * 5);
        TIFFWriteScanline(t, row.data(), static_cast<uint32_t>(y), 0);
    }
    TIFFClose(t);
}

struct JpegInfo {
    int width = 0, height = 0, components = 0;
};

bool ReadJpegHeader(const std::string& path, JpegInfo* info)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_stdio_src(&d, f);
    const bool ok = jpeg_read_header(&d, TRUE) == JPEG_HEADER_OK;
    info->width = static_cast<int>(d.image_width);
    info->height = static_cast<int>(d.image_height);
    info->components = d.num_components;
    jpeg_destroy_decompress(&d);
    std::fclose(f);
    return ok;
}

class Pictures : public testing::Test {
protected:
    plat::testing::TempRoot root;
    fs::path dir = root.path() / "pics";
    void SetUp() override
    {
        fs::create_directories(dir);
        CancelFlag() = 0;
    }
};

}  // namespace

TEST_F(Pictures, TiffsBecomeEightBitJpegsOfTheChosenSize)
{
    const struct {
        const char* name;
        int samples, bits, imageSize, w, h, ow, oh;
    } cases[] = {
        {"rgb8.tif", 3, 8, 1, 90, 60, 90, 60},
        {"grey16.tif", 1, 16, 1, 40, 30, 40, 30},
        {"rgb16.tif", 3, 16, 2, 300, 200, 720, 480},
        {"grey8.tif", 1, 8, 2, 200, 300, 640, 960},
    };
    ProcessingPipeline pipeline;
    ASSERT_TRUE(pipeline.SetUpPipeline());
    for (const auto& c : cases) {
        const std::string src = (dir / c.name).string(), out = (dir / (std::string(c.name) + ".jpg")).string();
        WriteTiff(src, c.w, c.h, c.samples, c.bits);
        bool passThrough = true;
        ASSERT_TRUE(pipeline.LoadImageFile(src, &passThrough)) << c.name;
        EXPECT_FALSE(passThrough);
        ASSERT_TRUE(pipeline.TransformAndSave(out, c.imageSize, 0)) << c.name;
        JpegInfo info;
        ASSERT_TRUE(ReadJpegHeader(out, &info)) << c.name;
        EXPECT_EQ(info.width, c.ow) << c.name;
        EXPECT_EQ(info.height, c.oh) << c.name;
        EXPECT_EQ(info.components, c.samples) << c.name;

        // the JPEG just written needs no conversion
        passThrough = false;
        EXPECT_FALSE(pipeline.LoadImageFile(out, &passThrough));
        EXPECT_TRUE(passThrough) << c.name;
    }
    pipeline.TearDownPipeline();
}

TEST_F(Pictures, UnknownFilesAndCancelFail)
{
    ProcessingPipeline pipeline;
    ASSERT_TRUE(pipeline.SetUpPipeline());
    const std::string text = (dir / "note.tif").string();
    std::FILE* f = std::fopen(text.c_str(), "w");
    std::fputs("not a picture", f);
    std::fclose(f);
    bool passThrough = true;
    EXPECT_FALSE(pipeline.LoadImageFile(text, &passThrough));
    EXPECT_FALSE(passThrough);
    EXPECT_FALSE(pipeline.LoadImageFile((dir / "missing.tif").string(), &passThrough));

    const std::string src = (dir / "a.tif").string(), out = (dir / "a.jpg").string();
    WriteTiff(src, 50, 40, 3, 8);
    ASSERT_TRUE(pipeline.LoadImageFile(src, &passThrough));
    CancelFlag() = 1;
    EXPECT_FALSE(pipeline.TransformAndSave(out, 1, 0));
    EXPECT_FALSE(pipeline.LoadImageFile(src, &passThrough));
    CancelFlag() = 0;
}

TEST(ProcessingPipelineMemory, BuildsWithAnyMemoryFigure)
{
    plat::testing::TempRoot root;
    for (uint64_t bytes : {uint64_t{0}, uint64_t{64} << 20, uint64_t{16} << 30}) {
        plat::setPhysicalMemorySource([bytes] { return bytes; });
        ProcessingPipeline p;
        EXPECT_TRUE(p.SetUpPipeline()) << bytes;
    }
    plat::setPhysicalMemorySource({});
}
