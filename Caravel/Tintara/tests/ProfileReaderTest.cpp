#include "Caravel/Tintara/ProfileReader.h"
#include "Caravel/Tintara/tests/ProfileBuilder.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <functional>

using namespace tintara;
using namespace tintara::testing;

namespace {

long ReadHeader(const Bytes& b)
{
    ProfileReader r;
    return r.ReadProfileHeader(b.data(), b.size());
}

Bytes Mft2Rgb(int grid)
{
    LutSpec s;
    s.grid = grid;
    s.clut.assign(std::size_t(3 * grid * grid * grid), 0x8000);
    return Mft2Tag(s);
}

} // namespace

TEST(ProfileReader, HeaderChecks)
{
    struct Case {
        const char* name;
        std::function<Bytes()> make;
        long expected;
    };
    const Case cases[] = {
        {"131 bytes", [] { auto b = ProfileBuilder("RGB ", "XYZ ").Build(); b.resize(131); return b; }, 9},
        {"132 bytes, no tags", [] { return ProfileBuilder("RGB ", "XYZ ").Build(); }, 0},
        {"PCS Lch", [] { return ProfileBuilder("RGB ", "Lch ").Build(); }, 0},
        {"PCS RGB", [] { return ProfileBuilder("RGB ", "RGB ").Build(); }, 9},
        {"no acsp", [] { auto b = ProfileBuilder("RGB ", "Lab ").Build(); b[36] = 'x'; return b; }, 9},
        {"huge tag count", [] { auto b = ProfileBuilder("RGB ", "Lab ").Build(); PutU32(b, 128, 0xFFFFFFFFu); return b; }, 9},
        {"tag size 7", [] {
             auto b = MatrixRgbProfile().Build();
             PutU32(b, TagEntryOffset(3) + 8, 7);
             return b;
         }, 9},
        {"tag ends at the end", [] {
             auto b = ProfileBuilder("GRAY", "XYZ ").Tag("kTRC", CurvGamma(0x0100)).Build();
             b.resize(b.size() - 2); // drop the padding
             PutU32(b, TagEntryOffset(0) + 8, std::uint32_t(b.size() - 144));
             return b;
         }, 0},
        {"tag ends one past the end", [] {
             auto b = ProfileBuilder("GRAY", "XYZ ").Tag("kTRC", CurvGamma(0x0100)).Build();
             PutU32(b, TagEntryOffset(0) + 8, std::uint32_t(b.size() - 144 + 1));
             return b;
         }, 9},
        {"offset plus size overflows", [] {
             auto b = ProfileBuilder("GRAY", "XYZ ").Tag("kTRC", CurvGamma(0x0100)).Build();
             PutU32(b, TagEntryOffset(0) + 4, 0xFFFFFFF0u);
             PutU32(b, TagEntryOffset(0) + 8, 0x20);
             return b;
         }, 9},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadHeader(c.make()), c.expected) << c.name;
}

TEST(ProfileReader, FindsTheLastOfDuplicateTags)
{
    const Bytes b = ProfileBuilder("RGB ", "XYZ ").Tag("wtpt", XyzTag(0.5, 0.5, 0.5)).Tag("wtpt", XyzTag(0.25, 1, 0.75)).Build();
    ProfileReader r;
    ASSERT_EQ(r.ReadProfileHeader(b.data(), b.size()), 0);
    AlignedBuffer<XyzNumber> xyz;
    ASSERT_EQ(r.ReadXYZTag(Sig("wtpt"), xyz), 0);
    EXPECT_EQ(xyz[0].x, 0x4000);
    EXPECT_EQ(xyz[0].y, 0x10000);
}

TEST(ProfileReader, TagReadResults)
{
    const Bytes b = ProfileBuilder("RGB ", "XYZ ")
                        .Tag("rTRC", CurvGamma(0x01CD))
                        .Tag("gTRC", CurvTable({0, 1000, 65535}))
                        .Tag("bTRC", CurvTable({}))
                        .Tag("empt", Bytes{'X', 'Y', 'Z', ' ', 0, 0, 0, 0}) // XYZ with no triple
                        .Tag("long", [] { auto t = CurvTable({1, 2}); t[11] = 200; return t; }())
                        .Tag("A2B0", Mft2Rgb(2))
                        .Build();
    ProfileReader r;
    ASSERT_EQ(r.ReadProfileHeader(b.data(), b.size()), 0);

    ProfileCurve curve;
    ASSERT_EQ(r.ReadCurveTag(Sig("rTRC"), curve), 0);
    EXPECT_EQ(curve.kind, ProfileCurve::kGamma);
    EXPECT_DOUBLE_EQ(curve.gamma, 1.80078125);
    ASSERT_EQ(r.ReadCurveTag(Sig("gTRC"), curve), 0);
    ASSERT_EQ(curve.kind, ProfileCurve::kTable);
    ASSERT_EQ(curve.table.size(), 3u);
    EXPECT_EQ(curve.table[1], 1000);
    ASSERT_EQ(r.ReadCurveTag(Sig("bTRC"), curve), 0);
    EXPECT_EQ(curve.kind, ProfileCurve::kIdentity);

    AlignedBuffer<XyzNumber> xyz;
    EXPECT_EQ(r.ReadXYZTag(Sig("rTRC"), xyz), 9) << "XYZ asked of a curv tag";
    EXPECT_EQ(r.ReadXYZTag(Sig("rXYZ"), xyz), 10) << "absent tag";
    EXPECT_EQ(r.ReadXYZTag(Sig("empt"), xyz), 9) << "XYZ tag without a triple";
    EXPECT_EQ(r.ReadCurveTag(Sig("long"), curve), 9) << "entry count past the tag";
    LutTag lut;
    EXPECT_EQ(r.ReadLut8Tag(Sig("A2B0"), lut), 9) << "mft1 asked of an mft2 tag";
    ASSERT_EQ(r.ReadLut16Tag(Sig("A2B0"), lut), 0);
    EXPECT_EQ(lut.gridPoints, 2);
    EXPECT_EQ(lut.clut.size(), 24u);
    // a failed read leaves the reader usable
    EXPECT_EQ(r.ReadCurveTag(Sig("gTRC"), curve), 0);
}

TEST(ProfileReader, RefusesLutTagsBeyondItsLimits)
{
    struct Case {
        const char* name;
        std::function<void(Bytes&)> spoil; // patches the mft2 tag body
    };
    // body layout: 0 type, 8 inputs, 9 outputs, 10 grid, 48 input entries, 50 output entries
    const Case cases[] = {
        {"five inputs", [](Bytes& t) { t[8] = 5; }},
        {"zero outputs", [](Bytes& t) { t[9] = 0; }},
        {"grid of one point", [](Bytes& t) { t[10] = 1; }},
        {"one input entry", [](Bytes& t) { t[49] = 1; }},
        {"sizes that overflow 32 bits", [](Bytes& t) { t[8] = 4; t[9] = 4; t[10] = 255; t[48] = 0xFF; t[49] = 0xFF; }},
        {"truncated table", [](Bytes& t) { t.resize(t.size() - 2); }},
    };
    for (const Case& c : cases) {
        Bytes tag = Mft2Rgb(3);
        c.spoil(tag);
        const Bytes b = ProfileBuilder("RGB ", "Lab ").Tag("A2B0", tag).Build();
        ProfileReader r;
        ASSERT_EQ(r.ReadProfileHeader(b.data(), b.size()), 0) << c.name;
        LutTag lut;
        EXPECT_EQ(r.ReadLut16Tag(Sig("A2B0"), lut), 9) << c.name;
    }
}

// The numbers of a real profile are those LittleCMS reads.
TEST(ProfileReader, AgreesWithLittleCmsOnRealProfile)
{
    const auto path = SystemProfile("sRGB.icc");
    if (path.empty())
        GTEST_SKIP() << "icc-profiles-free is not installed";
    const Bytes bytes = ReadBytes(path);
    ProfileReader r;
    ASSERT_EQ(r.ReadProfileHeader(bytes.data(), bytes.size()), 0);
    cmsHPROFILE lcms = cmsOpenProfileFromMem(bytes.data(), cmsUInt32Number(bytes.size()));
    ASSERT_NE(lcms, nullptr);
    const char* colorants[] = {"rXYZ", "gXYZ", "bXYZ"};
    const cmsTagSignature lcmsColorants[] = {cmsSigRedColorantTag, cmsSigGreenColorantTag, cmsSigBlueColorantTag};
    for (int j = 0; j < 3; ++j) {
        AlignedBuffer<XyzNumber> xyz;
        ASSERT_EQ(r.ReadXYZTag(Sig(reinterpret_cast<const char(&)[5]>(*colorants[j])), xyz), 0);
        const auto* expected = static_cast<const cmsCIEXYZ*>(cmsReadTag(lcms, lcmsColorants[j]));
        ASSERT_NE(expected, nullptr);
        EXPECT_DOUBLE_EQ(xyz[0].x / 65536.0, expected->X);
        EXPECT_DOUBLE_EQ(xyz[0].y / 65536.0, expected->Y);
        EXPECT_DOUBLE_EQ(xyz[0].z / 65536.0, expected->Z);
    }
    ProfileCurve curve;
    ASSERT_EQ(r.ReadCurveTag(Sig("rTRC"), curve), 0);
    ASSERT_EQ(curve.kind, ProfileCurve::kTable);
    const auto* trc = static_cast<const cmsToneCurve*>(cmsReadTag(lcms, cmsSigRedTRCTag));
    ASSERT_NE(trc, nullptr);
    ASSERT_EQ(cmsGetToneCurveEstimatedTableEntries(trc), curve.table.size());
    const cmsUInt16Number* table = cmsGetToneCurveEstimatedTable(trc);
    for (std::size_t i = 0; i < curve.table.size(); ++i)
        ASSERT_EQ(curve.table[i], table[i]) << i;
    cmsCloseProfile(lcms);
}
