#include "Caravel/Tintara/ColorTransform.h"
#include "Caravel/Tintara/CurveTables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace tintara;

namespace {

void SetCurve(AlignedBuffer<std::uint16_t>& b, const std::vector<std::uint16_t>& v)
{
    ASSERT_EQ(b.Resize(v.size()), 0);
    for (std::size_t i = 0; i < v.size(); ++i)
        b[i] = v[i];
}

// A one-channel transform with identity profile curves.
struct OneChannel {
    ColorTransform t;
    UserLutRecord in[4], out[4];
    OneChannel()
    {
        t.inputChannels = t.outputChannels = 1;
        SetCurve(t.profileInputCurves[0], {0, 65535});
        SetCurve(t.profileOutputCurves[0], {0, 65535});
    }
    long Build(long inBits, long outBits) { return BuildCurveTables(t, inBits, outBits, in, out); }
};

void SetUser(UserLutRecord& r, long inBits, long outBits, long merge, const std::vector<std::uint16_t>& values)
{
    SetCurve(r.curve, values);
    r.inBits = inBits;
    r.outBits = outBits;
    r.merge = merge;
}

} // namespace

TEST(CurveTables, IdentityTablesAtEightBits)
{
    OneChannel c;
    ASSERT_EQ(c.Build(8, 8), 0);
    for (int s = 0; s < 256; ++s)
        ASSERT_EQ(c.t.inputTables[std::size_t(s)], s * 257) << s;
    for (int v = 0; v < 65536; ++v)
        ASSERT_EQ(c.t.outputTables[std::size_t(v)], std::lround(v * 255.0 / 65535)) << v;
}

TEST(CurveTables, SixteenBitInputHasAnEntryPerValue)
{
    OneChannel c;
    ASSERT_EQ(c.Build(16, 16), 0);
    EXPECT_EQ(c.t.inputTables.size(), 65536u);
    EXPECT_EQ(c.t.inputTables[40000], 40000);
    EXPECT_EQ(c.t.outputTables[40000], 40000);
}

TEST(CurveTables, UserCurves)
{
    std::vector<std::uint16_t> identity(256);
    for (int i = 0; i < 256; ++i)
        identity[std::size_t(i)] = std::uint16_t(i);
    {
        OneChannel c; // replacing with the identity gives s x 257
        SetUser(c.in[0], 8, 8, 0, identity);
        ASSERT_EQ(c.Build(8, 8), 0);
        for (int s = 0; s < 256; ++s)
            ASSERT_EQ(c.t.inputTables[std::size_t(s)], s * 257) << s;
    }
    {
        OneChannel c; // a merged falling output curve inverts the profile's output
        SetUser(c.out[0], 1, 16, 1, {65535, 0});
        ASSERT_EQ(c.Build(8, 8), 0);
        EXPECT_EQ(c.t.outputTables[0], 255);
        EXPECT_EQ(c.t.outputTables[65535], 0);
        EXPECT_EQ(c.t.outputTables[32768], 127);
    }
    {
        OneChannel c; // merged input: profile(user(s)) with a falling profile curve
        SetCurve(c.t.profileInputCurves[0], {65535, 0});
        SetUser(c.in[0], 8, 8, 1, identity);
        ASSERT_EQ(c.Build(8, 8), 0);
        EXPECT_EQ(c.t.inputTables[0], 65535);
        EXPECT_EQ(c.t.inputTables[255], 0);
        EXPECT_NEAR(c.t.inputTables[100], 65535 - 100 * 257, 1);
    }
}

TEST(CurveTables, CurveToTable)
{
    ProfileCurve identity;
    AlignedBuffer<std::uint16_t> table;
    ASSERT_EQ(CurveToTable(identity, table, CurveDirection::kOutput), 0);
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table[1], 65535);

    ProfileCurve gamma;
    gamma.kind = ProfileCurve::kGamma;
    gamma.gamma = 1.0;
    ASSERT_EQ(CurveToTable(gamma, table, CurveDirection::kInput), 0);
    ASSERT_EQ(table.size(), 4096u);
    for (int i = 0; i < 4096; ++i)
        ASSERT_EQ(table[std::size_t(i)], std::lround(i * 65535.0 / 4095)) << i;

    // an inverted table walks back to the position of each value
    ProfileCurve rising;
    rising.kind = ProfileCurve::kTable;
    SetCurve(rising.table, {0, 1000, 30000, 65535});
    ASSERT_EQ(CurveToTable(rising, table, CurveDirection::kOutput), 0);
    ASSERT_EQ(table.size(), 4096u);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[4095], 65535);
    const std::uint32_t y = std::uint32_t(1000u * 65535u / 4095u); // between 1000 and 30000
    EXPECT_EQ(table[1000], std::uint16_t((1 + (y - 1000.0) / 29000.0) * 65535 / 3));

    ProfileCurve falling;
    falling.kind = ProfileCurve::kTable;
    SetCurve(falling.table, {65535, 40000, 0});
    ASSERT_EQ(CurveToTable(falling, table, CurveDirection::kOutput), 0);
    EXPECT_EQ(table[0], 65535);
    EXPECT_EQ(table[4095], 0);
    for (int i = 1; i < 4096; ++i)
        ASSERT_LE(table[std::size_t(i)], table[std::size_t(i - 1)]);
}
