#include "Caravel/Tintara/ColorTransform.h"
#include "Caravel/Tintara/CpuFeatures.h"
#include "Caravel/Tintara/CurveTables.h"
#include "Caravel/Tintara/MultiLutAsm.h"
#include "Caravel/Tintara/PixelRows.h"
#include "Caravel/Tintara/tests/ProfileBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <typeinfo>
#include <vector>

using namespace tintara;
using namespace tintara::testing;

namespace {

struct Built {
    ColorTransform t;
    UserLutRecord in[4], out[4];
    long Build(const Bytes& input, const Bytes& output, long intent = 0)
    {
        return BuildTransform(t, input.data(), input.size(), output.data(), output.size(), intent, 1, 8, 8, in, out);
    }
};

Bytes System(const char* name)
{
    const auto path = SystemProfile(name);
    return path.empty() ? Bytes() : ReadBytes(path);
}

} // namespace

TEST(TransformBuild, MatrixProfilesMakeA32PointLink)
{
    const Bytes srgb = System("sRGB.icc"), adobe = System("compatibleWithAdobeRGB1998.icc");
    if (srgb.empty() || adobe.empty())
        GTEST_SKIP() << "icc-profiles-free is not installed";
    for (KernelForm form : {KernelForm::kPortable, KernelForm::kProcessorSpecific}) {
        SetKernelFormOverride(form);
        Built b;
        ASSERT_EQ(b.Build(srgb, adobe), 0);
        EXPECT_EQ(b.t.inputChannels, 3);
        EXPECT_EQ(b.t.outputChannels, 3);
        ASSERT_TRUE(b.t.lut);
        EXPECT_EQ(b.t.lut->G, 32);
        EXPECT_EQ(dynamic_cast<CMultiLutAsm*>(b.t.lut.get()) != nullptr, form == KernelForm::kProcessorSpecific);
    }
    SetKernelFormOverride(KernelForm::kDetected);
}

TEST(TransformBuild, SameMatrixProfileGivesNodesAtTheirCoordinates)
{
    const Bytes p = MatrixRgbProfile().Build();
    Built b;
    ASSERT_EQ(b.Build(p, p), 0);
    const auto& table = b.t.lut->table;
    for (int node = 0; node < 32 * 32 * 32; node += 97) {
        const int idx[3] = {node / 1024, node / 32 % 32, node % 32};
        for (int c = 0; c < 3; ++c)
            ASSERT_NEAR(table[std::size_t(node) * 4 + std::size_t(c)], idx[c] * 65535.0 / 31, 2) << node;
    }
}

TEST(TransformBuild, ProfileProblemsGiveTheirCodes)
{
    const Bytes matrix = MatrixRgbProfile().Build();
    struct Case {
        const char* name;
        Bytes input, output;
        long intent;
        long expected;
    };
    auto dependent = ProfileBuilder("RGB ", "XYZ ")
                         .Tag("rXYZ", XyzTag(0.4, 0.2, 0.1))
                         .Tag("gXYZ", XyzTag(0.8, 0.4, 0.2))
                         .Tag("bXYZ", XyzTag(0.1, 0.1, 0.7))
                         .Tag("rTRC", CurvGamma(0x0100))
                         .Tag("gTRC", CurvGamma(0x0100))
                         .Tag("bTRC", CurvGamma(0x0100))
                         .Build();
    auto wtptCurv = MatrixRgbProfile().Tag("wtpt", CurvGamma(0x0100)).Build();
    auto v4 = ProfileBuilder("RGB ", "XYZ ")
                  .Version(0x04300000)
                  .Tag("rXYZ", XyzTag(0.4361, 0.2225, 0.0139))
                  .Tag("gXYZ", XyzTag(0.3851, 0.7169, 0.0971))
                  .Tag("bXYZ", XyzTag(0.1431, 0.0606, 0.7139))
                  .Tag("rTRC", ParaGamma(2.2))
                  .Tag("gTRC", ParaGamma(2.2))
                  .Tag("bTRC", ParaGamma(2.2))
                  .Build();
    auto emptyColorant = ProfileBuilder("RGB ", "XYZ ")
                             .Tag("rXYZ", Bytes{'X', 'Y', 'Z', ' ', 0, 0, 0, 0})
                             .Tag("rTRC", CurvGamma(0x0100))
                             .Build();
    const double paper[3] = {0.9642, 1.0, 0.8249};
    const Case cases[] = {
        {"gray without kTRC", ProfileBuilder("GRAY", "XYZ ").Build(), matrix, 0, 10},
        {"dependent colorants as output", matrix, dependent, 0, 9},
        {"wtpt of type curv", wtptCurv, matrix, 0, 9},
        {"v4 parametric curves", v4, matrix, 0, 9},
        {"XYZ tag without a triple", emptyColorant, matrix, 0, 9},
        {"LUT-only output with intent 4", matrix, CmykProfile(false, paper), 4, 10},
        {"truncated header", Bytes(matrix.begin(), matrix.begin() + 100), matrix, 0, 9},
        {"empty image", Bytes(), matrix, 0, 9},
    };
    for (const Case& c : cases) {
        Built b;
        EXPECT_EQ(b.Build(c.input, c.output, c.intent), c.expected) << c.name;
    }
    const Bytes lab = System("LCMSLABI.ICM");
    if (!lab.empty()) {
        Built b;
        EXPECT_EQ(b.Build(lab, lab, 4), 10) << "Lab identity has no colorants";
        Built ok;
        EXPECT_EQ(ok.Build(lab, lab, 0), 0);
    }
}

TEST(TransformBuild, UnreadableLutTagFallsBackToMatrix)
{
    LutSpec spec;
    spec.clut.assign(3 * 8, 0);
    Bytes broken = Mft2Tag(spec);
    broken[10] = 1; // a one-point grid
    const Bytes withBrokenLut = MatrixRgbProfile().Tag("A2B0", broken).Build();
    const Bytes plain = MatrixRgbProfile().Build();
    Built a, b;
    ASSERT_EQ(a.Build(withBrokenLut, plain), 0);
    ASSERT_EQ(b.Build(plain, plain), 0);
    ASSERT_EQ(a.t.lut->table.size(), b.t.lut->table.size());
    for (std::size_t i = 0; i < a.t.lut->table.size(); ++i)
        ASSERT_EQ(a.t.lut->table[i], b.t.lut->table[i]) << i;
}

TEST(TransformBuild, CmykLinks)
{
    const double paper[3] = {0.9642, 1.0, 0.8249};
    const Bytes srgb = MatrixRgbProfile().Build();
    Built in;
    ASSERT_EQ(in.Build(CmykProfile(false, paper), srgb), 0);
    EXPECT_EQ(in.t.inputChannels, 4);
    EXPECT_EQ(in.t.lut->G, 16);
    Built out;
    ASSERT_EQ(out.Build(srgb, CmykProfile(true, paper)), 0);
    EXPECT_EQ(out.t.outputChannels, 4);
    EXPECT_EQ(out.t.lut->G, 32);
}

// A profile may carry tables for the perceptual intent only; the other
// colorimetric intents then use those, as they would their own.
TEST(TransformBuild, IntentsWithoutTablesOfTheirOwnUseThePerceptualTables)
{
    const double paper[3] = {0.9642, 1.0, 0.8249};
    const Bytes srgb = MatrixRgbProfile().Build();
    const Bytes perceptualOnly = CmykProfile(false, paper, 0);
    const Bytes everyIntent = CmykProfile(false, paper, 2);
    for (long intent : {1L, 2L, 3L}) {
        for (bool cmykIsInput : {true, false}) {
            Built only, all;
            const long rc = cmykIsInput ? only.Build(perceptualOnly, srgb, intent)
                                        : only.Build(srgb, perceptualOnly, intent);
            ASSERT_EQ(rc, 0) << "intent " << intent << (cmykIsInput ? " input" : " output");
            ASSERT_EQ(cmykIsInput ? all.Build(everyIntent, srgb, intent) : all.Build(srgb, everyIntent, intent), 0);
            const auto& a = only.t.lut->table;
            const auto& b = all.t.lut->table;
            ASSERT_EQ(a.size(), b.size());
            EXPECT_TRUE(std::equal(a.data(), a.data() + a.size(), b.data())) << "intent " << intent;
        }
    }
    Built matrixOnly;
    EXPECT_EQ(matrixOnly.Build(perceptualOnly, srgb, 4), 10) << "intent 4 never takes the tables";
}

namespace {

// Every 13th 8-bit RGB colour, blue fastest: each channel still takes each of
// its 256 values with many partners (13 and 256 have no common factor).
std::vector<std::uint8_t> ManyColours(long width)
{
    const std::size_t count = ((std::size_t(1) << 24) / 13) / std::size_t(width) * std::size_t(width);
    std::vector<std::uint8_t> v(3 * count);
    for (std::size_t n = 0; n < count; ++n) {
        const std::size_t i = 13 * n;
        v[3 * n] = std::uint8_t(i >> 16);
        v[3 * n + 1] = std::uint8_t(i >> 8);
        v[3 * n + 2] = std::uint8_t(i);
    }
    return v;
}

// The same pixels through the whole-row path: planar rows never take the byte cells.
std::vector<std::uint8_t> ThroughPlanarRows(ColorTransform& t, const std::vector<std::uint8_t>& interleaved, long width)
{
    const long height = long(interleaved.size() / 3) / width;
    std::vector<std::uint8_t> planar(interleaved.size()), out(interleaved.size()), back(interleaved.size());
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x)
            for (long c = 0; c < 3; ++c)
                planar[std::size_t((y * 3 + c) * width + x)] = interleaved[std::size_t((y * width + x) * 3 + c)];
    EXPECT_EQ(ProcessPlanarRows(t, planar.data(), out.data(), width, height, width * 3, width * 3, width, width), 0);
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x)
            for (long c = 0; c < 3; ++c)
                back[std::size_t((y * width + x) * 3 + c)] = out[std::size_t((y * 3 + c) * width + x)];
    return back;
}

} // namespace

// 8-bit RGB rows go straight from bytes to bytes through the processor form's
// table; each colour must come out as the whole-row path gives it, with the
// profile curves, with user curves, and in place.
TEST(TransformBuild, EightBitRowsGiveTheWholeRowPathsBytes)
{
    SetKernelFormOverride(KernelForm::kProcessorSpecific);
    const long width = 4096;
    const std::vector<std::uint8_t> colours = ManyColours(width);
    const long height = long(colours.size() / 3) / width;
    struct Case {
        const char* name;
        Bytes in, out;
        bool invertedOutputCurve;
    };
    std::vector<Case> cases = {
        {"gamma matrix profiles", MatrixRgbProfile().Build(), MatrixRgbProfile(0x0180).Build(), false},
        {"with a user output curve", MatrixRgbProfile(0x0100).Build(), MatrixRgbProfile(0x0233).Build(), true},
    };
    const Bytes srgb = System("sRGB.icc"), adobe = System("compatibleWithAdobeRGB1998.icc");
    if (!srgb.empty() && !adobe.empty())
        cases.push_back({"sRGB to Adobe-compatible", srgb, adobe, false});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Built b;
        if (c.invertedOutputCurve) {
            b.out[1].curve.Resize(256);
            for (int i = 0; i < 256; ++i)
                b.out[1].curve[std::size_t(i)] = std::uint16_t(255 - i);
            b.out[1].inBits = b.out[1].outBits = 8;
        }
        ASSERT_EQ(b.Build(c.in, c.out), 0);
        ASSERT_TRUE(b.t.byteCells);
        const std::vector<std::uint8_t> whole = ThroughPlanarRows(b.t, colours, width);
        // both vector widths (the wide one where the processor has it), rows of
        // an even and of an odd number of pixels, apart and in place
        for (VectorWidth form : {VectorWidth::kNarrow, VectorWidth::kWide}) {
            SetVectorWidthOverride(form);
            SCOPED_TRACE(form == VectorWidth::kWide ? "wide" : "narrow");
            std::vector<std::uint8_t> fast(colours.size());
            ASSERT_EQ(ProcessInterleavedRows(b.t, colours.data(), fast.data(), width, height, width * 3, width * 3), 0);
            ASSERT_TRUE(fast == whole);
            std::vector<std::uint8_t> inPlace = colours;
            ASSERT_EQ(ProcessInterleavedRows(b.t, inPlace.data(), inPlace.data(), width, height, width * 3, width * 3),
                      0);
            ASSERT_TRUE(inPlace == whole);
            const long odd = width - 1;
            std::vector<std::uint8_t> oddRows(colours.size());
            ASSERT_EQ(ProcessInterleavedRows(b.t, colours.data(), oddRows.data(), odd, height, width * 3, width * 3), 0);
            for (long y = 0; y < height; ++y) {
                const std::size_t row = std::size_t(y * width * 3);
                ASSERT_TRUE(std::equal(oddRows.begin() + long(row), oddRows.begin() + long(row + odd * 3),
                                       whole.begin() + long(row)));
                ASSERT_EQ(oddRows[row + std::size_t(odd * 3)], 0) << "a pixel past the row's end was written";
            }
        }
        SetVectorWidthOverride(VectorWidth::kDetected);
    }
    SetKernelFormOverride(KernelForm::kDetected);
}

// Where the byte cells would not give the same bytes they are never made.
TEST(TransformBuild, ByteCellsOnlyForEightBitRgbInTheProcessorForm)
{
    const Bytes p = MatrixRgbProfile().Build();
    SetKernelFormOverride(KernelForm::kPortable);
    {
        Built b;
        ASSERT_EQ(b.Build(p, p), 0);
        EXPECT_FALSE(b.t.byteCells);
    }
    SetKernelFormOverride(KernelForm::kProcessorSpecific);
    {
        Built b;
        ASSERT_EQ(BuildTransform(b.t, p.data(), p.size(), p.data(), p.size(), 0, 1, 16, 8, b.in, b.out), 0);
        EXPECT_FALSE(b.t.byteCells);
        ASSERT_EQ(BuildCurveTables(b.t, 8, 8, b.in, b.out), 0);
        EXPECT_TRUE(b.t.byteCells) << "made again when the bit sizes change";
        ASSERT_EQ(BuildCurveTables(b.t, 8, 16, b.in, b.out), 0);
        EXPECT_FALSE(b.t.byteCells);
    }
    SetKernelFormOverride(KernelForm::kDetected);
}

// Rows that partly overlap are converted whole before they are written, as before.
TEST(TransformBuild, PartlyOverlappingRowsKeepTheWholeRowPath)
{
    SetKernelFormOverride(KernelForm::kProcessorSpecific);
    const Bytes in = MatrixRgbProfile().Build(), out = MatrixRgbProfile(0x0180).Build();
    Built fast, whole;
    ASSERT_EQ(fast.Build(in, out), 0);
    ASSERT_EQ(whole.Build(in, out), 0);
    whole.t.byteCells.reset();
    std::vector<std::uint8_t> a(3 * 64), b;
    for (std::size_t i = 0; i < a.size(); ++i)
        a[i] = std::uint8_t(i * 41 + 7);
    b = a;
    // the output row starts one pixel into its input row
    ASSERT_EQ(ProcessInterleavedRows(fast.t, a.data() + 3, a.data(), 60, 1, 180, 180), 0);
    ASSERT_EQ(ProcessInterleavedRows(whole.t, b.data() + 3, b.data(), 60, 1, 180, 180), 0);
    EXPECT_EQ(a, b);
    SetKernelFormOverride(KernelForm::kDetected);
}
