// Lookup-table filter: table resampling and rescaling per sample against a reference written
// from the rules, at several tile sizes, and its errors.
#include "Caravel/Brisant/VeltraFilterLut.h"
#include "Caravel/Brisant/tests/FilterTestSupport.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace brisant_test;

namespace {

using Chain = FilterChain<CVeltraFilterLut>;

int32_t Depth(int32_t code)
{
    return (code == 2 || code == 32 || code == 34 || code == 39) ? 8 : 16;
}

uint32_t RescaleRef(uint64_t v, int32_t ob, int32_t b)
{
    if (ob < b)
        return 2 * ob >= b ? static_cast<uint32_t>((v << (b - ob)) | (v >> (2 * ob - b)))
                           : static_cast<uint32_t>(v * ((1u << b) - 1) / ((1u << ob) - 1));
    return static_cast<uint32_t>(v >> (ob - b));
}

// The working value for sample s, straight from the rule (no incremental walk).
uint32_t MapRef(const std::vector<uint16_t>& t, int32_t ib, int32_t ob, int32_t b, uint32_t s)
{
    const int64_t inMax = (int64_t{1} << ib) - 1, dMax = (int64_t{1} << b) - 1;
    const int64_t i = s * inMax / dMax, f = s * inMax % dMax;
    if (inMax >= dMax || f == 0)
        return RescaleRef(t[static_cast<size_t>(i)], ob, b);
    const int64_t a = RescaleRef(t[static_cast<size_t>(i)], ob, b), c = RescaleRef(t[static_cast<size_t>(i + 1)], ob, b);
    return static_cast<uint32_t>(a + (c - a) * f / dMax);
}

std::vector<uint16_t> Curve(int32_t ib, int32_t ob, uint32_t seed)
{
    std::vector<uint16_t> t(size_t{1} << ib);
    const double top = static_cast<double>((1u << ob) - 1);
    for (size_t j = 0; j < t.size(); ++j) {
        const double x = static_cast<double>(j) / static_cast<double>(t.size() - 1);
        const double y = (seed % 2) ? x * x : 1.0 - x;  // rising and falling shapes
        t[j] = static_cast<uint16_t>(y * top + 0.5);
    }
    return t;
}

}  // namespace

class LutTiles : public testing::TestWithParam<std::tuple<int32_t, int32_t>> {};

TEST_P(LutTiles, EveryTableWidthEqualsTheReference)
{
    const auto [code, tile] = GetParam();
    const Picture src = NoisePicture(tile == 1 ? 9 : 37, tile == 1 ? 6 : 23, code, 7);
    const int32_t b = Depth(code);
    const std::pair<int32_t, int32_t> widths[] = {{1, 1}, {4, 4}, {8, 8}, {12, 12}, {16, 16}, {10, 2}, {6, 16}};
    for (const auto& [ib, ob] : widths) {
        const int32_t planes = src.Components();
        std::vector<std::vector<uint16_t>> curves;
        for (int32_t p = 0; p < planes; ++p)
            curves.push_back(Curve(ib, ob, static_cast<uint32_t>(p)));
        std::vector<const uint16_t*> ptrs;
        for (auto& c : curves)
            ptrs.push_back(c.data());
        Chain c(tile, src);
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetLUT(ptrs.data(), ib, ob, planes, true)));
        const Picture out = ReadAll(c.filter.get());
        Picture expect = MakePicture(src.width, src.height, code);
        for (int32_t y = 0; y < src.height; ++y)
            for (int32_t x = 0; x < src.width; ++x)
                for (int32_t p = 0; p < planes; ++p)
                    expect.Set(x, y, p, MapRef(curves[static_cast<size_t>(p)], ib, ob, b, src.At(x, y, p)));
        EXPECT_EQ(out.bytes, expect.bytes) << "code " << code << " bits " << ib << "/" << ob << " tile " << tile;
    }
}

INSTANTIATE_TEST_SUITE_P(CodesAndTiles, LutTiles,
                         testing::Combine(testing::Values(2, 3, 32, 33, 34, 36), testing::Values(1, 7, 64)));

TEST(Lut, DefaultTablesAreTheIdentityAtBothDepths)
{
    for (int32_t code : {32, 33}) {
        const Picture src = NoisePicture(19, 11, code, 2);
        Chain c(8, src);
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetLUT(nullptr, 0, 0, 0, true)));
        EXPECT_EQ(ReadAll(c.filter.get()).bytes, src.bytes) << code;
    }
}

TEST(Lut, KnownRescales)
{
    // output bits 4 on an 8-bit source: the nibble repeated; 2 bits on 16: v x 65535 / 3
    EXPECT_EQ(MapRef({0, 5, 10, 15}, 2, 4, 8, 255), (15u << 4) | 15u);
    EXPECT_EQ(MapRef({0, 1, 2, 3}, 2, 2, 16, 65535), 65535u);
    // a 16-bit table on an 8-bit source takes entry j x 65535 / 255, high byte
    std::vector<uint16_t> t(65536);
    for (size_t j = 0; j < t.size(); ++j)
        t[j] = static_cast<uint16_t>(65535 - j);
    Picture src = MakePicture(256, 1, 2);
    for (int32_t x = 0; x < 256; ++x)
        src.Set(x, 0, 0, static_cast<uint32_t>(x));
    Chain c(64, src);
    const uint16_t* ptr = t.data();
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetLUT(&ptr, 16, 16, 1, true)));
    const Picture out = ReadAll(c.filter.get());
    for (uint32_t j = 0; j < 256; ++j)
        ASSERT_EQ(out.At(static_cast<int32_t>(j), 0, 0), static_cast<uint32_t>(t[j * 65535 / 255] >> 8)) << j;
}

TEST(Lut, ErrorsAndInfo)
{
    int32_t ib = -1, ob = -1, n = -1;
    {
        Chain c(8, NoisePicture(5, 5, 34, 1));
        c.filter->GetLUTInfo(&ib, &ob, &n);
        EXPECT_EQ(n, 0);
        void* bits = nullptr;
        VeltraErrorPtr none(c.filter->LockTile(&bits, 0, 0, nullptr));
        ASSERT_TRUE(none);
        EXPECT_EQ(none->Root()->GetCode(), kVeltraBadArgument);
        std::vector<uint16_t> id(256);
        for (size_t j = 0; j < id.size(); ++j)
            id[j] = static_cast<uint16_t>(j);
        const uint16_t* three[] = {id.data(), id.data(), id.data()};
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetLUT(three, 8, 8, 3, true)));
        VeltraErrorPtr few(c.filter->LockTile(&bits, 0, 0, nullptr));
        ASSERT_TRUE(few);
        EXPECT_EQ(few->Root()->GetCode(), kVeltraBadArgument);  // four planes, three tables
        // a null second table becomes the identity and counts
        const uint16_t* two[] = {id.data(), nullptr};
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetLUT(two, 8, 8, 2, false)));
        c.filter->GetLUTInfo(&ib, &ob, &n);
        EXPECT_EQ(n, 2);
        EXPECT_EQ(ib, 8);
        std::vector<uint16_t> back0(256), back1(256);
        uint16_t* backs[] = {back0.data(), back1.data()};
        ASSERT_FALSE(VeltraErrorPtr(c.filter->GetLUT(backs, 8, 8, 2)));
        EXPECT_EQ(back1, id);
        // widths and counts past the table slots are refused
        EXPECT_TRUE(VeltraErrorPtr(c.filter->SetLUT(two, 17, 8, 2, false)));
        EXPECT_TRUE(VeltraErrorPtr(c.filter->SetLUT(two, 8, 8, 5, false)));
        EXPECT_TRUE(VeltraErrorPtr(c.filter->SetLUT(two, -1, 8, 2, false)));
    }
    Chain c(8, NoisePicture(5, 5, 38, 1));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->SetLUT(nullptr, 0, 0, 0, false)));
    void* bits = nullptr;
    VeltraErrorPtr e(c.filter->LockTile(&bits, 0, 0, nullptr));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Root()->GetCode(), kVeltraBadState);
}

TEST(Lut, MatchesVipsMaplut)
{
    if (!ToolAvailable("vips"))
        GTEST_SKIP() << "vips is not installed";
    const Picture src = NoisePicture(37, 23, 32, 31);
    std::vector<uint16_t> table(256);
    std::vector<uint8_t> lutBytes(256);
    for (size_t i = 0; i < table.size(); ++i) {
        table[i] = static_cast<uint16_t>((255 - i) / 2 + (i % 7));
        lutBytes[i] = static_cast<uint8_t>(table[i]);
    }
    const std::string in = TempPath("lut_in.pnm"), lut = TempPath("lut_table.pgm"), out = TempPath("lut_out.pnm");
    WritePnm(in, src);
    {
        std::ofstream f(lut, std::ios::binary);
        f << "P5\n256 1\n255\n";
        f.write(reinterpret_cast<const char*>(lutBytes.data()), 256);
    }
    ASSERT_TRUE(RunTool("vips maplut " + in + " " + out + " " + lut));
    Picture expect;
    ASSERT_TRUE(ReadPnm(out, &expect));
    for (const std::string& p : {in, lut, out})
        std::remove(p.c_str());
    for (int32_t tile : {7, 64}) {
        Chain c(tile, src);
        const uint16_t* tables[] = {table.data(), table.data(), table.data()};
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetLUT(tables, 8, 8, 3, true)));
        EXPECT_EQ(ReadAll(c.filter.get()).bytes, expect.bytes) << "tile " << tile;
    }
}
