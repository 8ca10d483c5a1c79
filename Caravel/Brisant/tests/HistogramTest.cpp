// Histogram filter: counts gathered while a reader pulls tiles through it equal a whole-picture
// count, crops, counting on request, notifications, its own process run and its errors.
#include "Caravel/Brisant/VeltraFilterHistogram.h"
#include "Caravel/Brisant/tests/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace brisant_test;
using Hist = CVeltraFilterHistogram;

namespace {

using Chain = FilterChain<Hist>;

// Five planes of 65536 bins counted straight from the picture.
std::vector<uint32_t> Reference(const Picture& p, const VeltraRect& r)
{
    std::vector<uint32_t> bins(5 * 65536, 0);
    const int32_t planes = p.Components();
    const bool combined = !(p.colorSpace == 35 || p.colorSpace == 36 || p.colorSpace == 37);
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x) {
            if (planes == 1) {
                ++bins[p.At(x, y, 0)];
                continue;
            }
            uint32_t sum = 0;
            for (int32_t k = 0; k < planes; ++k) {
                sum += p.At(x, y, k);
                ++bins[static_cast<size_t>(k + 1) * 65536 + p.At(x, y, k)];
            }
            if (combined)
                ++bins[sum / static_cast<uint32_t>(planes)];
        }
    return bins;
}

std::vector<uint32_t> Counted(const Hist& h)
{
    std::vector<uint32_t> bins(5 * 65536, 0);
    for (int32_t plane = 0; plane < 5; ++plane)
        h.GetHistogram(plane, bins.data() + static_cast<size_t>(plane) * 65536, 16);
    if (h.GetNativeBits() == 8) {
        // 8-bit data delivers 256 entries per plane: spread them back to their places
        std::vector<uint32_t> spread(5 * 65536, 0);
        for (int32_t plane = 0; plane < 5; ++plane)
            for (int32_t i = 0; i < 256; ++i)
                spread[static_cast<size_t>(plane) * 65536 + i] = bins[static_cast<size_t>(plane) * 65536 + i];
        return spread;
    }
    return bins;
}

using Spy = NotificationSpy;

}  // namespace

class HistogramTiles : public testing::TestWithParam<std::tuple<int32_t, int32_t>> {};

TEST_P(HistogramTiles, CountsWhileReadEqualTheWholePictureCount)
{
    const auto [code, tile] = GetParam();
    const Picture src = NoisePicture(tile == 1 ? 9 : 37, tile == 1 ? 6 : 23, code, 19);
    {
        Chain c(tile, src);
        const Picture through = ReadAll(c.filter.get());
        EXPECT_EQ(through.bytes, src.bytes);  // pixels pass unchanged
        EXPECT_TRUE(c.filter->IsComplete());
        EXPECT_EQ(Counted(*c.filter), Reference(src, {0, 0, src.width, src.height}));
        // reading again counts nothing twice
        ReadAll(c.filter.get());
        EXPECT_EQ(Counted(*c.filter), Reference(src, {0, 0, src.width, src.height}));
    }
    Chain c(tile, src);
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetCrop({src.width - 2, 1, 3, src.height - 1})));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->ForceCompletion()));
    EXPECT_TRUE(c.filter->IsComplete());
    EXPECT_EQ(Counted(*c.filter), Reference(src, {3, 1, src.width - 2, src.height - 1}));
}

INSTANTIATE_TEST_SUITE_P(CodesAndTiles, HistogramTiles,
                         testing::Combine(testing::Values(2, 3, 32, 33, 34, 36), testing::Values(1, 7, 64)));

TEST(Histogram, KnownPixels)
{
    Picture rgb = MakePicture(1, 1, 32);
    rgb.Set(0, 0, 0, 10);
    rgb.Set(0, 0, 1, 20);
    rgb.Set(0, 0, 2, 31);
    Chain c(8, rgb);
    ASSERT_FALSE(VeltraErrorPtr(c.filter->ForceCompletion()));
    std::vector<uint32_t> counts(256);
    EXPECT_EQ(c.filter->GetHistogram(0, counts.data(), 8), 8);
    EXPECT_EQ(counts[20], 1u);
    c.filter->GetHistogram(3, counts.data(), 8);
    EXPECT_EQ(counts[31], 1u);
    Picture cmyk = MakePicture(1, 1, 34);
    for (int32_t k = 0; k < 4; ++k)
        cmyk.Set(0, 0, k, static_cast<uint32_t>(10 * (k + 1)));
    Chain d(8, cmyk);
    ASSERT_FALSE(VeltraErrorPtr(d.filter->ForceCompletion()));
    d.filter->GetHistogram(0, counts.data(), 8);
    EXPECT_EQ(counts[25], 1u);
}

TEST(Histogram, FewerBitsSumNeighbouringBins)
{
    const Picture src = NoisePicture(20, 10, 33, 2);
    Chain c(8, src);
    ASSERT_FALSE(VeltraErrorPtr(c.filter->ForceCompletion()));
    std::vector<uint32_t> full(65536), coarse(256);
    c.filter->GetHistogram(1, full.data(), 16);
    EXPECT_EQ(c.filter->GetHistogram(1, coarse.data(), 8), 8);
    for (size_t i = 0; i < 256; ++i) {
        uint32_t s = 0;
        for (size_t j = 0; j < 256; ++j)
            s += full[256 * i + j];
        ASSERT_EQ(coarse[i], s);
    }
    EXPECT_EQ(c.filter->GetHistogram(5, coarse.data(), 8), 0);  // no such plane
}

TEST(Histogram, OneTileCropCompletesWithItsFirstRead)
{
    Chain c(256, NoisePicture(300, 40, 2, 1));
    Spy spy;
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(c.filter.get(), &spy)));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetCrop({10, 10, 20, 20})));
    void* bits = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(c.filter->LockTile(&bits, 0, 0, nullptr)));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->UnlockTile(0, 0)));
    EXPECT_TRUE(c.filter->IsComplete());
    EXPECT_EQ(spy.codes, std::vector<int32_t>{Hist::kComplete});
    std::vector<uint32_t> counts(256);
    c.filter->GetHistogram(0, counts.data(), 8);
    uint32_t total = 0;
    for (uint32_t v : counts)
        total += v;
    EXPECT_EQ(total, 100u);
}

TEST(Histogram, CountingOnRequest)
{
    Chain c(8, NoisePicture(40, 30, 2, 3));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SpendTime(0)));
    EXPECT_FALSE(c.filter->IsComplete());
    ASSERT_FALSE(VeltraErrorPtr(c.filter->Enable(false, true)));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SpendTime(20)));  // spends the budget, counts nothing
    EXPECT_FALSE(c.filter->IsComplete());
    ASSERT_FALSE(VeltraErrorPtr(c.filter->Enable(true, true)));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SpendTime(60000)));
    EXPECT_TRUE(c.filter->IsComplete());
    // a resolution change passes and keeps the counts; a pixel change starts again
    IVeltraDataDestination::ChangeResolution res{72, 96};
    ASSERT_FALSE(VeltraErrorPtr(c.filter->VeltraNotify(c.image.get(), kVeltraNotifyResolution, &res)));
    EXPECT_TRUE(c.filter->IsComplete());
    VeltraRect r{0, 0, 1, 1};
    ASSERT_FALSE(VeltraErrorPtr(c.filter->VeltraNotify(c.image.get(), kVeltraNotifyData, &r)));
    EXPECT_FALSE(c.filter->IsComplete());
}

TEST(Histogram, ProcessRunAndErrors)
{
    const Picture src = NoisePicture(30, 20, 32, 4);
    ManagerPtr m = MakeManager(8);
    ImagePtr image = MakeImage(m.get(), src);
    Hist h(m.get());
    IVeltraImage* raw = nullptr;
    ASSERT_FALSE(VeltraErrorPtr(m->CreateImage(&raw, 0)));
    ImagePtr copy(raw);
    IVeltraDataSource* sources[] = {image.get()};
    ASSERT_FALSE(VeltraErrorPtr(h.Process(sources, 1, copy.get())));
    EXPECT_EQ(ReadAll(copy.get()).bytes, src.bytes);
    std::vector<uint32_t> counts(256);
    h.GetHistogram(1, counts.data(), 8);
    uint32_t total = 0;
    for (uint32_t v : counts)
        total += v;
    EXPECT_EQ(total, 600u);

    int32_t id = 0;
    ASSERT_FALSE(VeltraErrorPtr(h.BeginProcess(&id, sources, 1, nullptr)));
    VeltraErrorPtr twice(h.BeginProcess(&id, sources, 1, nullptr));
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->Root()->GetCode(), kVeltraRunOpen);
    int32_t done = 0, all = 0;
    VeltraErrorPtr unknown(h.ExecuteProcess(2, &done, &all));
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->Root()->GetCode(), kVeltraUnknownRun);
    ASSERT_FALSE(VeltraErrorPtr(h.EndProcess(1)));
    VeltraErrorPtr empty(h.BeginProcess(&id, nullptr, 0, nullptr));
    EXPECT_TRUE(empty);

    // with two sources nothing is bound
    ImagePtr second = MakeImage(m.get(), src);
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(image.get(), &h)));
    ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(second.get(), &h)));
    int32_t w = 0;
    VeltraErrorPtr none(h.GetWidth(&w));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->Root()->GetCode(), kVeltraNoSource);
}

// The image a run copies into may cut its tiles otherwise than the source: the copy still
// lands pixel for pixel, inside the image's own tiles.
TEST(Histogram, ARunCopiesIntoAnImageOfAnotherTileSize)
{
    const Picture src = NoisePicture(40, 30, 32, 9);
    for (const auto& [sourceTile, imageTile] : {std::pair{16, 8}, std::pair{8, 16}, std::pair{7, 64}}) {
        SCOPED_TRACE(std::to_string(sourceTile) + " into " + std::to_string(imageTile));
        ManagerPtr sm = MakeManager(sourceTile), im = MakeManager(imageTile);
        ImagePtr image = MakeImage(sm.get(), src);
        IVeltraImage* raw = nullptr;
        ASSERT_FALSE(VeltraErrorPtr(im->CreateImage(&raw, 0)));
        ImagePtr copy(raw);
        Hist h(sm.get());
        IVeltraDataSource* sources[] = {image.get()};
        ASSERT_FALSE(VeltraErrorPtr(h.Process(sources, 1, copy.get())));
        EXPECT_EQ(ReadAll(copy.get()).bytes, src.bytes);
        std::vector<uint32_t> counts(256);
        h.GetHistogram(2, counts.data(), 8);
        uint32_t total = 0;
        for (uint32_t v : counts)
            total += v;
        EXPECT_EQ(total, 1200u);
    }
}

TEST(Histogram, ComponentPlanesMatchVipsHistFind)
{
    if (!ToolAvailable("vips"))
        GTEST_SKIP() << "vips is not installed";
    const Picture src = NoisePicture(53, 31, 32, 23);
    Chain c(16, src);
    ReadAll(c.filter.get());
    ASSERT_TRUE(c.filter->IsComplete());
    const std::string in = TempPath("hist_in.pnm"), band = TempPath("hist_band.v"), csv = TempPath("hist.csv");
    WritePnm(in, src);
    for (int32_t k = 0; k < 3; ++k) {
        ASSERT_TRUE(RunTool("vips extract_band " + in + " " + band + " " + std::to_string(k)));
        ASSERT_TRUE(RunTool("vips hist_find " + band + " " + csv));
        std::ifstream f(csv);
        std::vector<uint32_t> expect;
        uint32_t v = 0;
        while (f >> v)
            expect.push_back(v);
        ASSERT_EQ(expect.size(), 256u);
        std::vector<uint32_t> got(256);
        ASSERT_EQ(c.filter->GetHistogram(k + 1, got.data(), 8), 8);
        EXPECT_EQ(got, expect) << "plane " << k + 1;
    }
    for (const std::string& p : {in, band, csv})
        std::remove(p.c_str());
}
