// The exported functions, through the shared library.
#include "Caravel/Tintara/Tintara.h"
#include "Caravel/Tintara/tests/ProfileBuilder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <dlfcn.h>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace tintara::testing;
namespace fs = std::filesystem;

namespace {

class Handle {
public:
    Handle() { EXPECT_EQ(JQCMCreate(&h_), 0); }
    ~Handle() { JQCMDestroy(h_); }
    operator long() const { return h_; }

private:
    long h_ = 0;
};

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "tintara-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path_); }
    fs::path Write(const std::string& name, const Bytes& bytes) const
    {
        const fs::path p = path_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return p;
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::vector<std::uint8_t> Ramp(std::size_t n)
{
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = std::uint8_t(i * 37 + 11);
    return v;
}

} // namespace

TEST(JqcmApi, ArgumentChecks)
{
    EXPECT_EQ(JQCMCreate(nullptr), 1);
    unsigned short curve[256] = {};
    const char byte = 0;
    struct Case {
        const char* name;
        long result;
        long expected;
    };
    Handle h;
    const Case cases[] = {
        {"destroy 0", JQCMDestroy(0), 1},
        {"path, handle 0", JQCMSetInputProfile(0, "x"), 1},
        {"path null", JQCMSetInputProfile(h, static_cast<const char*>(nullptr)), 1},
        {"image size 0", JQCMSetOutputProfile(h, &byte, 0), 1},
        {"image null", JQCMSetOutputProfile(h, nullptr, 4), 1},
        {"bits 7", JQCMSetInputBitSize(h, 7), 1},
        {"bits 17", JQCMSetOutputBitSize(h, 17), 1},
        {"bits 8", JQCMSetInputBitSize(h, 8), 0},
        {"bits 16", JQCMSetOutputBitSize(h, 16), 0},
        {"intent 5", JQCMSetIntent(h, 5), 1},
        {"intent 4", JQCMSetIntent(h, 4), 0},
        {"proof, handle 0", JQCMSetProofMode(0, 1), 1},
        {"proof any value", JQCMSetProofMode(h, -7), 0},
        {"mask 0", JQCMSetInputLUT(h, 8, 8, 0, curve, nullptr, nullptr, nullptr), 1},
        {"mask 16", JQCMMergeOutputLUT(h, 8, 8, 16, curve, nullptr, nullptr, nullptr), 1},
        {"inBits 17", JQCMSetOutputLUT(h, 17, 8, 1, curve, nullptr, nullptr, nullptr), 1},
        {"outBits -1", JQCMMergeInputLUT(h, 8, -1, 1, curve, nullptr, nullptr, nullptr), 1},
        {"zero-bit user curve", JQCMSetInputLUT(h, 0, 8, 1, curve, nullptr, nullptr, nullptr), 1},
        {"zero-bit range", JQCMSetInputLUT(h, 8, 0, 1, curve, nullptr, nullptr, nullptr), 1},
        {"zero bits, no curve", JQCMSetInputLUT(h, 0, 0, 1, nullptr, nullptr, nullptr, nullptr), 0},
        {"remove channel 0", JQCMSetInputLUT(h, 8, 8, 1, nullptr, nullptr, nullptr, nullptr), 0},
        {"curves, handle 0", JQCMSetInputLUT(0, 8, 8, 1, curve, nullptr, nullptr, nullptr), 1},
        {"negative width", JQCMProcessInterleavedData(h, -1, 1, &byte, curve, 0, 0), 1},
        {"null source", JQCMProcessInterleavedData(h, 1, 1, nullptr, curve, 0, 0), 1},
        {"null destination", JQCMProcessPlanarData(h, 1, 1, &byte, nullptr, 0, 0, 0, 0), 1},
        {"process, handle 0", JQCMProcessInterleavedData(0, 0, 0, nullptr, nullptr, 0, 0), 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.result, c.expected) << c.name;
}

TEST(JqcmApi, EmptyCallStillPreparesAndReportsFileErrors)
{
    Handle h;
    ASSERT_EQ(JQCMSetInputProfile(h, "/nonexistent/profile.icc"), 0);
    const Bytes p = MatrixRgbProfile().Build();
    ASSERT_EQ(JQCMSetOutputProfile(h, p.data(), p.size()), 0);
    EXPECT_EQ(JQCMProcessInterleavedData(h, 0, 5, nullptr, nullptr, 0, 0), ENOENT);
    // neither image nor path
    Handle bare;
    EXPECT_NE(JQCMProcessInterleavedData(bare, 0, 0, nullptr, nullptr, 0, 0), 0);
}

TEST(JqcmApi, BadProfileFiles)
{
    TempFolder dir;
    const Bytes good = MatrixRgbProfile().Build();
    Bytes shortTag = good;
    PutU32(shortTag, TagEntryOffset(2) + 8, 7);
    LutSpec overflow;
    overflow.clut.assign(24, 0);
    Bytes lutTag = Mft2Tag(overflow);
    lutTag[8] = 4; // 4 inputs, 4 outputs, 255 points: sizes beyond 32 bits
    lutTag[9] = 4;
    lutTag[10] = 255;
    const Bytes overflowing = ProfileBuilder("RGB ", "Lab ").Tag("A2B0", lutTag).Build();
    const Bytes v4 = ProfileBuilder("RGB ", "XYZ ")
                         .Version(0x04200000)
                         .Tag("rXYZ", XyzTag(0.4361, 0.2225, 0.0139))
                         .Tag("gXYZ", XyzTag(0.3851, 0.7169, 0.0971))
                         .Tag("bXYZ", XyzTag(0.1431, 0.0606, 0.7139))
                         .Tag("rTRC", ParaGamma(2.2))
                         .Tag("gTRC", ParaGamma(2.2))
                         .Tag("bTRC", ParaGamma(2.2))
                         .Build();
    struct Case {
        const char* name;
        fs::path path;
        long expected;
    };
    const Case cases[] = {
        {"short tag", dir.Write("short.icc", shortTag), 9},
        {"truncated file", dir.Write("truncated.icc", Bytes(good.begin(), good.begin() + 200)), 9},
        {"empty file", dir.Write("empty.icc", Bytes()), 9},
        {"LUT sizes that overflow, no matrix tags", dir.Write("overflow.icc", overflowing), 10},
        {"version 4 parametric curves", dir.Write("v4.icc", v4), 9},
        {"a folder", dir.path(), EISDIR},
        {"missing", dir.path() / "missing.icc", ENOENT},
    };
    for (const Case& c : cases) {
        Handle h;
        ASSERT_EQ(JQCMSetInputProfile(h, c.path.c_str()), 0);
        ASSERT_EQ(JQCMSetOutputProfile(h, good.data(), good.size()), 0);
        std::uint8_t px[3] = {1, 2, 3};
        EXPECT_EQ(JQCMProcessInterleavedData(h, 1, 1, px, px, 0, 0), c.expected) << c.name;
    }
}

TEST(JqcmApi, ImageAndPathPrecedence)
{
    TempFolder dir;
    const Bytes p = MatrixRgbProfile().Build();
    std::uint8_t px[3] = {10, 20, 30};
    {
        Handle h; // image, then a path: the path wins
        JQCMSetOutputProfile(h, p.data(), p.size());
        JQCMSetInputProfile(h, p.data(), p.size());
        JQCMSetInputProfile(h, (dir.path() / "missing.icc").c_str());
        EXPECT_EQ(JQCMProcessInterleavedData(h, 1, 1, px, px, 0, 0), ENOENT);
    }
    {
        Handle h; // path, then an image: the image wins
        JQCMSetOutputProfile(h, p.data(), p.size());
        JQCMSetInputProfile(h, (dir.path() / "missing.icc").c_str());
        JQCMSetInputProfile(h, p.data(), p.size());
        EXPECT_EQ(JQCMProcessInterleavedData(h, 1, 1, px, px, 0, 0), 0);
    }
}

TEST(JqcmApi, BitSizeChangeRebuildsOnlyTheCurves)
{
    TempFolder dir;
    const fs::path in = dir.Write("in.icc", MatrixRgbProfile().Build());
    const fs::path out = dir.Write("out.icc", MatrixRgbProfile(0x0100).Build());
    Handle h;
    ASSERT_EQ(JQCMSetInputProfile(h, in.c_str()), 0);
    ASSERT_EQ(JQCMSetOutputProfile(h, out.c_str()), 0);
    const std::vector<std::uint8_t> src = {0, 0, 0, 255, 255, 255, 128, 64, 32};
    std::vector<std::uint8_t> eight(9);
    ASSERT_EQ(JQCMProcessInterleavedData(h, 3, 1, src.data(), eight.data(), 0, 0), 0);
    EXPECT_EQ(eight[3], 255);

    fs::remove(in); // no longer readable: a curve-only rebuild does not need it
    ASSERT_EQ(JQCMSetOutputBitSize(h, 16), 0);
    std::vector<std::uint16_t> sixteen(9);
    ASSERT_EQ(JQCMProcessInterleavedData(h, 3, 1, src.data(), sixteen.data(), 0, 0), 0);
    EXPECT_GE(sixteen[3], 65533); // the processor form gives even values
    EXPECT_NEAR(sixteen[6] / 257.0, eight[6], 1.0);

    ASSERT_EQ(JQCMSetIntent(h, 0), 0); // same intent: still a full rebuild
    EXPECT_EQ(JQCMProcessInterleavedData(h, 3, 1, src.data(), sixteen.data(), 0, 0), ENOENT);
    EXPECT_EQ(JQCMProcessInterleavedData(h, 3, 1, src.data(), sixteen.data(), 0, 0), ENOENT) << "retried";
    dir.Write("in.icc", MatrixRgbProfile().Build());
    EXPECT_EQ(JQCMProcessInterleavedData(h, 3, 1, src.data(), sixteen.data(), 0, 0), 0);
}

TEST(JqcmApi, PlanarAndInPlaceMatchInterleaved)
{
    const Bytes in = MatrixRgbProfile().Build();
    const Bytes out = MatrixRgbProfile(0x0180).Build();
    Handle h;
    JQCMSetInputProfile(h, in.data(), in.size());
    JQCMSetOutputProfile(h, out.data(), out.size());
    const long width = 5, height = 2;
    const std::vector<std::uint8_t> src = Ramp(std::size_t(width * height * 3));
    std::vector<std::uint8_t> interleaved(src.size());
    ASSERT_EQ(JQCMProcessInterleavedData(h, width, height, src.data(), interleaved.data(), 0, 0), 0);

    // default planar layout: plane c of a row starts c x width bytes after the row
    std::vector<std::uint8_t> planar(src.size()), planarOut(src.size());
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x)
            for (long c = 0; c < 3; ++c)
                planar[std::size_t(y * width * 3 + c * width + x)] = src[std::size_t((y * width + x) * 3 + c)];
    ASSERT_EQ(JQCMProcessPlanarData(h, width, height, planar.data(), planarOut.data(), 0, 0, 0, 0), 0);
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x)
            for (long c = 0; c < 3; ++c)
                ASSERT_EQ(planarOut[std::size_t(y * width * 3 + c * width + x)],
                          interleaved[std::size_t((y * width + x) * 3 + c)]);

    std::vector<std::uint8_t> inPlace = src;
    ASSERT_EQ(JQCMProcessInterleavedData(h, width, height, inPlace.data(), inPlace.data(), 0, 0), 0);
    EXPECT_EQ(inPlace, interleaved);
}

TEST(JqcmApi, UserCurves)
{
    // linear tone curves, so a replacing output curve acts on the sample values
    const Bytes p = MatrixRgbProfile(0x0100).Build();
    Handle h;
    JQCMSetInputProfile(h, p.data(), p.size());
    JQCMSetOutputProfile(h, p.data(), p.size());
    unsigned short inverted[256];
    for (int i = 0; i < 256; ++i)
        inverted[i] = static_cast<unsigned short>(255 - i);
    // mask 5: channel 0 from c0, channel 2 from c1
    ASSERT_EQ(JQCMSetOutputLUT(h, 8, 8, 5, inverted, inverted, nullptr, nullptr), 0);
    const std::uint8_t src[6] = {0, 100, 200, 255, 255, 255};
    std::uint8_t dst[6];
    ASSERT_EQ(JQCMProcessInterleavedData(h, 2, 1, src, dst, 0, 0), 0);
    EXPECT_NEAR(dst[0], 255, 1);
    EXPECT_NEAR(dst[1], 100, 1);
    EXPECT_NEAR(dst[2], 55, 1);
    EXPECT_NEAR(dst[3], 0, 1);
    // removing them gives the plain conversion back
    ASSERT_EQ(JQCMSetOutputLUT(h, 8, 8, 5, nullptr, nullptr, nullptr, nullptr), 0);
    ASSERT_EQ(JQCMProcessInterleavedData(h, 2, 1, src, dst, 0, 0), 0);
    EXPECT_NEAR(dst[0], 0, 1);
    EXPECT_NEAR(dst[2], 200, 1);
}

// An output profile whose data space is LCh: its table (Lab to LCh) is
// interpolated as Lab and the rows are turned into LCh at the end, interleaved
// and planar alike.
TEST(JqcmApi, LchOutputRows)
{
    LutSpec b2a; // two-point grid: the LCh encodings of the Lab corners
    for (int i = 0; i < 8; ++i) {
        const double l = (i & 4) ? 65535 / 652.8 : 0;
        const double a = (i & 2) ? 65535 / 256.0 - 128 : -128;
        const double b = (i & 1) ? 65535 / 256.0 - 128 : -128;
        const double h = std::atan2(b, a);
        b2a.clut.push_back(std::uint16_t(std::lround(l * 652.8)));
        b2a.clut.push_back(std::uint16_t(std::lround(std::hypot(a, b) * 256)));
        b2a.clut.push_back(std::uint16_t(std::lround(std::fmod(h + 2 * M_PI, 2 * M_PI) * 65536 / (2 * M_PI)) & 0xFFFF));
    }
    LutSpec a2b = b2a;
    const Bytes lch = ProfileBuilder("Lch ", "Lab ", "spac").Tag("B2A0", Mft2Tag(b2a)).Tag("A2B0", Mft2Tag(a2b)).Build();
    const Bytes lab = ProfileBuilder("Lab ", "Lab ", "spac").Tag("A2B0", Mft2Tag(LutSpec{3, 3, 2, {65536, 0, 0, 0, 65536, 0, 0, 0, 65536}, 2, 2, {}, {0, 0, 0, 0, 0, 65535, 0, 65535, 0, 0, 65535, 65535, 65535, 0, 0, 65535, 0, 65535, 65535, 65535, 0, 65535, 65535, 65535}, {}})).Build();
    Handle h;
    ASSERT_EQ(JQCMSetInputProfile(h, lab.data(), lab.size()), 0);
    ASSERT_EQ(JQCMSetOutputProfile(h, lch.data(), lch.size()), 0);
    JQCMSetInputBitSize(h, 16);
    JQCMSetOutputBitSize(h, 16);
    const std::uint16_t src[6] = {32640, 32768 + 1000, 32768, 50000, 32768, 32768 - 2000};
    std::uint16_t dst[6] = {};
    ASSERT_EQ(JQCMProcessInterleavedData(h, 2, 1, src, dst, 0, 0), 0);
    EXPECT_NEAR(dst[0], 32640, 4);
    EXPECT_NEAR(dst[1], 1000, 4); // chroma
    EXPECT_TRUE(dst[2] < 40 || dst[2] > 65496) << dst[2]; // hue 0
    EXPECT_NEAR(dst[4], 2000, 4);
    EXPECT_NEAR(dst[5], 49152, 40); // hue 270 degrees

    std::uint16_t planarSrc[6] = {src[0], src[3], src[1], src[4], src[2], src[5]};
    std::uint16_t planarDst[6] = {};
    ASSERT_EQ(JQCMProcessPlanarData(h, 2, 1, planarSrc, planarDst, 0, 0, 0, 0), 0);
    EXPECT_EQ(planarDst[2], dst[1]);
    EXPECT_EQ(planarDst[5], dst[5]);
}

// Samples at or above 2^(input bits) are clamped to the largest sample.
TEST(JqcmApi, SamplesBeyondTheBitSizeAreClamped)
{
    const Bytes p = MatrixRgbProfile().Build();
    Handle h;
    JQCMSetInputProfile(h, p.data(), p.size());
    JQCMSetOutputProfile(h, p.data(), p.size());
    JQCMSetInputBitSize(h, 12);
    JQCMSetOutputBitSize(h, 12);
    const std::uint16_t src[6] = {4095, 2048, 100, 65535, 2048, 100};
    std::uint16_t dst[6] = {};
    ASSERT_EQ(JQCMProcessInterleavedData(h, 2, 1, src, dst, 0, 0), 0);
    EXPECT_EQ(dst[0], dst[3]);
    EXPECT_LE(dst[3], 4095);
}

// The library exports the JQCM functions and nothing of its insides.
TEST(JqcmApi, ExportsOnlyTheJqcmFunctions)
{
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(&JQCMDestroy), &info), 0);
    void* library = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr) << info.dli_fname;
    EXPECT_NE(dlsym(library, "_Z10JQCMCreatePl"), nullptr);
    EXPECT_NE(dlsym(library, "_Z19JQCMSetInputProfilelPKvm"), nullptr);
    EXPECT_EQ(dlsym(library, "_ZN7tintara17DetectCpuFeaturesEv"), nullptr);
    EXPECT_EQ(dlsym(library, "_ZN7tintara14BuildTransformERNS_14ColorTransformEPKhmS3_mllllPKNS_13UserLutRecordES6_"), nullptr);
    dlclose(library);
}

// Separate handles may be built and used on separate threads at once; every
// build also asks for the processor's features. Under ThreadSanitizer (the
// build/tsan check) this shows any shared state the builds write.
TEST(JqcmApi, HandlesOnSeparateThreadsConvertAlike)
{
    const Bytes in = MatrixRgbProfile().Build();
    const Bytes out = MatrixRgbProfile(0x0180).Build();
    const std::vector<std::uint8_t> src = Ramp(3 * 64);
    std::vector<std::uint8_t> expected(src.size());
    {
        Handle h;
        JQCMSetInputProfile(h, in.data(), in.size());
        JQCMSetOutputProfile(h, out.data(), out.size());
        ASSERT_EQ(JQCMProcessInterleavedData(h, 64, 1, src.data(), expected.data(), 0, 0), 0);
    }
    std::vector<std::vector<std::uint8_t>> results(4);
    std::vector<std::thread> threads;
    for (auto& result : results)
        threads.emplace_back([&, r = &result] {
            for (int round = 0; round < 10; ++round) {
                Handle h;
                JQCMSetInputProfile(h, in.data(), in.size());
                JQCMSetOutputProfile(h, out.data(), out.size());
                r->assign(src.size(), 0);
                if (JQCMProcessInterleavedData(h, 64, 1, src.data(), r->data(), 0, 0) != 0)
                    r->clear();
            }
        });
    for (std::thread& t : threads)
        t.join();
    for (const auto& result : results)
        EXPECT_EQ(result, expected);
}
