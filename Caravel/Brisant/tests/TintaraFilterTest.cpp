// Colour-management filter and engine: tiled output against whole-picture conversions through
// the library, LittleCMS on the same profiles, curves per filter on a shared engine, and the
// engine's bookkeeping.
#include "Caravel/Brisant/VeltraFilterTintara.h"
#include "Caravel/Brisant/tests/FilterTestSupport.h"
#include "Caravel/Tintara/Tintara.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cerrno>
#include <cstring>
#include <tuple>

using namespace brisant_test;
using Engine = CVeltraFilterTintaraEngine;

namespace {

const char kSrgb[] = "/usr/share/color/icc/sRGB.icc";
const char kAdobe[] = "/usr/share/color/icc/compatibleWithAdobeRGB1998.icc";

VeltraFile File(const std::string& path)
{
    VeltraFile f;
    std::strncpy(f.path, path.c_str(), sizeof(f.path) - 1);
    return f;
}

bool ProfilesPresent()
{
    return ::access(kSrgb, R_OK) == 0 && ::access(kAdobe, R_OK) == 0;
}

// The whole picture through one handle of the library, no tiles.
Picture Convert(const Picture& src, const char* in, const char* out, int32_t bits, int32_t outCode,
                const uint16_t* outCurve = nullptr, int32_t curveBits = 0)
{
    Picture dst = MakePicture(src.width, src.height, outCode);
    long h = 0;
    EXPECT_EQ(JQCMCreate(&h), 0);
    EXPECT_EQ(JQCMSetInputProfile(h, in), 0);
    EXPECT_EQ(JQCMSetOutputProfile(h, out), 0);
    EXPECT_EQ(JQCMSetInputBitSize(h, bits), 0);
    EXPECT_EQ(JQCMSetOutputBitSize(h, bits), 0);
    EXPECT_EQ(JQCMSetIntent(h, 0), 0);
    EXPECT_EQ(JQCMSetProofMode(h, 1), 0);
    EXPECT_EQ(JQCMMergeInputLUT(h, 0, 0, 15, nullptr, nullptr, nullptr, nullptr), 0);
    if (outCurve)
        EXPECT_EQ(JQCMMergeOutputLUT(h, curveBits, curveBits, 15, outCurve, outCurve, outCurve, nullptr), 0);
    else
        EXPECT_EQ(JQCMMergeOutputLUT(h, 0, 0, 15, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(JQCMProcessInterleavedData(h, src.width, src.height, src.bytes.data(), dst.bytes.data(), src.RowBytes(),
                                         dst.RowBytes()),
              0);
    JQCMDestroy(h);
    return dst;
}

struct Chain : FilterChain<CVeltraFilterTintara> {
    Chain(int32_t tile, const Picture& p, Engine* engine) : FilterChain(tile, p)
    {
        EXPECT_FALSE(VeltraErrorPtr(filter->SetTintaraEngine(engine, true)));
    }
};

std::unique_ptr<Engine> MakeEngine(const char* in, const char* out, int32_t bits)
{
    auto e = std::make_unique<Engine>();
    EXPECT_FALSE(VeltraErrorPtr(e->SetProfiles(File(in), File(out))));
    e->SetBitsPerComponent(false, bits);
    e->SetBitsPerComponent(true, bits);
    return e;
}

using Spy = NotificationSpy;

}  // namespace

class TintaraTiles : public testing::TestWithParam<std::tuple<int32_t, int32_t>> {};

TEST_P(TintaraTiles, TiledOutputEqualsTheWholePictureConversion)
{
    if (!ProfilesPresent())
        GTEST_SKIP() << "free ICC profiles are not installed";
    const auto [code, tile] = GetParam();
    const int32_t bits = code == 33 ? 16 : 8;
    const Picture src = NoisePicture(tile == 1 ? 9 : 37, tile == 1 ? 6 : 23, code, 8);
    auto engine = MakeEngine(kSrgb, kAdobe, bits);
    Chain c(tile, src, engine.get());
    const Picture out = ReadAll(c.filter.get());
    ASSERT_EQ(out.colorSpace, code);
    EXPECT_EQ(out.bytes, Convert(src, kSrgb, kAdobe, bits, code).bytes);
    c.filter.reset();
}

INSTANTIATE_TEST_SUITE_P(CodesAndTiles, TintaraTiles, testing::Combine(testing::Values(32, 33), testing::Values(1, 7, 64)));

TEST(Tintara, CloseToLittleCms)
{
    if (!ProfilesPresent())
        GTEST_SKIP() << "free ICC profiles are not installed";
    const Picture src = NoisePicture(61, 41, 32, 3);
    auto engine = MakeEngine(kSrgb, kAdobe, 8);
    Chain c(16, src, engine.get());
    const Picture out = ReadAll(c.filter.get());
    cmsHPROFILE in = cmsOpenProfileFromFile(kSrgb, "r"), to = cmsOpenProfileFromFile(kAdobe, "r");
    ASSERT_TRUE(in && to);
    cmsHTRANSFORM x = cmsCreateTransform(in, TYPE_RGB_8, to, TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
    ASSERT_TRUE(x);
    std::vector<uint8_t> expect(src.bytes.size());
    cmsDoTransform(x, src.bytes.data(), expect.data(), static_cast<cmsUInt32Number>(src.width * src.height));
    cmsDeleteTransform(x);
    cmsCloseProfile(in);
    cmsCloseProfile(to);
    int worst = 0;
    for (size_t i = 0; i < expect.size(); ++i)
        worst = std::max(worst, std::abs(int(out.bytes[i]) - int(expect[i])));
    EXPECT_LE(worst, 3);
}

TEST(Tintara, FiltersSharingAnEngineKeepTheirOwnCurves)
{
    if (!ProfilesPresent())
        GTEST_SKIP() << "free ICC profiles are not installed";
    const Picture src = NoisePicture(23, 17, 32, 5);
    auto engine = MakeEngine(kSrgb, kAdobe, 8);
    std::vector<uint16_t> invert(256);
    for (size_t i = 0; i < invert.size(); ++i)
        invert[i] = static_cast<uint16_t>(255 - i);
    Chain plain(7, src, engine.get()), inverted(7, src, engine.get());
    const uint16_t* curves[] = {invert.data(), invert.data(), invert.data()};
    ASSERT_FALSE(VeltraErrorPtr(inverted.filter->SetLUT(true, true, curves, 8, 8, 3, true)));
    const Picture expectPlain = Convert(src, kSrgb, kAdobe, 8, 32);
    const Picture expectInverted = Convert(src, kSrgb, kAdobe, 8, 32, invert.data(), 8);
    EXPECT_NE(expectPlain.bytes, expectInverted.bytes);
    // alternate tiles between the two filters
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(ReadAll(plain.filter.get()).bytes, expectPlain.bytes);
        EXPECT_EQ(ReadAll(inverted.filter.get()).bytes, expectInverted.bytes);
        ASSERT_FALSE(VeltraErrorPtr(plain.filter->Enable(false, true)));
        ASSERT_FALSE(VeltraErrorPtr(plain.filter->Enable(true, true)));  // its cache is made again
    }
    EXPECT_EQ(engine->GetUserCount(), 2);
    plain.filter.reset();
    inverted.filter.reset();
    EXPECT_EQ(engine->GetUserCount(), 0);
}

TEST(Tintara, LayoutsThatDoNotMatchTheTransformAreRefused)
{
    if (!ProfilesPresent())
        GTEST_SKIP() << "free ICC profiles are not installed";
    // 8-bit pixels through a 16-bit input would be read past the source tile
    auto wide = MakeEngine(kSrgb, kAdobe, 16);
    Chain a(8, NoisePicture(9, 9, 32, 1), wide.get());
    void* bits = nullptr;
    VeltraErrorPtr e1(a.filter->LockTile(&bits, 0, 0, nullptr));
    ASSERT_TRUE(e1);
    EXPECT_STREQ(e1->Root()->GetText(), "Bad source data color space");
    // grey pixels through an RGB input profile
    auto rgb = MakeEngine(kSrgb, kAdobe, 8);
    Chain b(8, NoisePicture(9, 9, 2, 1), rgb.get());
    EXPECT_TRUE(VeltraErrorPtr(b.filter->LockTile(&bits, 0, 0, nullptr)));
    // no engine: colour space 0 and nothing converted
    Chain none(8, NoisePicture(9, 9, 32, 1), nullptr);
    int32_t code = -1;
    EXPECT_FALSE(VeltraErrorPtr(none.filter->GetColorSpace(&code)));
    EXPECT_EQ(code, 0);
    a.filter.reset();
    b.filter.reset();
}

TEST(Tintara, OutputColourSpaceFollowsTheOutputProfile)
{
    if (!ProfilesPresent())
        GTEST_SKIP() << "free ICC profiles are not installed";
    const std::string cmyk = TempPath("cmyk.icc");
    {
        // only the header signature matters here
        std::vector<char> header(128, 0);
        std::memcpy(header.data() + 16, "CMYK", 4);
        std::ofstream(cmyk, std::ios::binary).write(header.data(), static_cast<std::streamsize>(header.size()));
    }
    struct Case {
        std::string out;
        int32_t bits, code;
    } cases[] = {{kAdobe, 8, 32}, {kAdobe, 16, 33}, {cmyk, 8, 34}, {cmyk, 16, 0},
                 {"/usr/share/color/icc/Gray.icc", 8, 2}, {kAdobe, 12, 0}};
    for (const Case& k : cases) {
        Engine engine;
        ASSERT_FALSE(VeltraErrorPtr(engine.SetProfiles(File(kSrgb), File(k.out))));
        engine.SetBitsPerComponent(true, k.bits);
        Chain c(8, NoisePicture(4, 4, 32, 1), &engine);
        int32_t code = -1;
        EXPECT_FALSE(VeltraErrorPtr(c.filter->GetColorSpace(&code)));
        EXPECT_EQ(code, k.code) << k.out << " " << k.bits;
        c.filter.reset();
    }
    std::remove(cmyk.c_str());
}

TEST(Tintara, ProfileInfoAndSetters)
{
    const std::string xyz = TempPath("xyz.icc");
    {
        std::vector<char> header(20, 0);
        std::memcpy(header.data() + 16, "XYZ ", 4);
        std::ofstream(xyz, std::ios::binary).write(header.data(), static_cast<std::streamsize>(header.size()));
    }
    char s[4];
    int32_t n = -1;
    EXPECT_FALSE(VeltraErrorPtr(Engine::ReadProfileInfo(File(xyz), s, &n)));
    EXPECT_EQ(n, 0);
    VeltraErrorPtr missing(Engine::ReadProfileInfo(File("/nonexistent/p.icc"), s, &n));
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->Root()->GetDomain(), Engine::kErrnoDomain);
    EXPECT_EQ(missing->Root()->GetCode(), ENOENT);
    std::remove(xyz.c_str());

    if (!ProfilesPresent())
        return;
    Engine e;
    ASSERT_FALSE(VeltraErrorPtr(e.SetProfiles(File(kSrgb), File(kAdobe))));
    const int32_t after = e.GetChangeCounter();
    // the same files written another way change nothing
    ASSERT_FALSE(VeltraErrorPtr(e.SetProfiles(File("/usr/share/color/./icc/../icc/sRGB.icc"), File(kAdobe))));
    EXPECT_EQ(e.GetChangeCounter(), after);
    e.SetRenderingIntent(1);
    e.SetRenderingIntent(1);
    EXPECT_EQ(e.GetChangeCounter(), after + 1);
    e.SetRenderingIntent(0x10002);
    EXPECT_EQ(e.GetRenderingIntent(), 2);
}

TEST(Tintara, BitsNeverSetFailTheFirstSetupAndTryAgain)
{
    if (!ProfilesPresent())
        GTEST_SKIP() << "free ICC profiles are not installed";
    Engine engine;
    ASSERT_FALSE(VeltraErrorPtr(engine.SetProfiles(File(kSrgb), File(kAdobe))));
    engine.SetBitsPerComponent(true, 8);
    Chain c(8, NoisePicture(4, 4, 32, 1), &engine);
    void* bits = nullptr;
    VeltraErrorPtr e(c.filter->LockTile(&bits, 0, 0, nullptr));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Root()->GetModule(), Engine::kModule);
    EXPECT_EQ(e->Root()->GetDomain(), Engine::kLibraryDomain);
    engine.SetBitsPerComponent(false, 8);
    ASSERT_FALSE(VeltraErrorPtr(c.filter->LockTile(&bits, 0, 0, nullptr)));
    ASSERT_FALSE(VeltraErrorPtr(c.filter->UnlockTile(0, 0)));
    c.filter.reset();
}

TEST(Tintara, MarkedOutputProfileTakesAnyCurveWidth)
{
    if (!ProfilesPresent())
        GTEST_SKIP() << "free ICC profiles are not installed";
    const std::string marked = TempPath("%_adobe.icc");
    {
        std::ifstream in(kAdobe, std::ios::binary);
        std::ofstream out(marked, std::ios::binary);
        out << in.rdbuf();
    }
    std::vector<uint16_t> curve(65536);
    for (size_t i = 0; i < curve.size(); ++i)
        curve[i] = static_cast<uint16_t>(i >> 8);
    for (int32_t curveBits : {16, 8}) {
        auto engine = MakeEngine(kSrgb, TempPath("%_adobe.icc").c_str(), 8);
        Chain c(8, NoisePicture(13, 9, 32, 2), engine.get());
        const uint16_t* curves[] = {curve.data(), curve.data(), curve.data()};
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetLUT(true, false, curves, curveBits, 8, 3, true)));
        const Picture out = ReadAll(c.filter.get());  // the 4096-entry tables are read as such
        EXPECT_EQ(out.width, 13);
        c.filter.reset();
    }
    std::remove(marked.c_str());
}

TEST(Tintara, CurvesNotificationsAndEngineLife)
{
    if (!ProfilesPresent())
        GTEST_SKIP() << "free ICC profiles are not installed";
    auto* engine = MakeEngine(kSrgb, kAdobe, 8).release();
    engine->SetAutoDeleteThreshold(0);
    {
        Chain c(8, NoisePicture(6, 5, 32, 1), engine);
        Spy spy;
        ASSERT_FALSE(VeltraErrorPtr(VeltraConnect(c.filter.get(), &spy)));
        std::vector<uint16_t> id(256);
        const uint16_t* one[] = {id.data()};
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetLUT(false, true, one, 8, 8, 1, true)));
        int32_t count = -1, inBits = -1;
        c.filter->GetLUTInfo(false, nullptr, &inBits, nullptr, &count);
        EXPECT_EQ(count, 1);
        ASSERT_FALSE(VeltraErrorPtr(c.filter->SetLUT(false, true, nullptr, 8, 8, 1, true)));
        c.filter->GetLUTInfo(false, nullptr, &inBits, nullptr, &count);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(inBits, 0);
        EXPECT_TRUE(VeltraErrorPtr(c.filter->SetLUT(false, true, one, 17, 8, 1, true)));
        EXPECT_TRUE(VeltraErrorPtr(c.filter->SetLUT(false, true, one, 8, 8, 5, true)));
        // a new input code reaches the destinations as a change of every pixel
        spy.codes.clear();
        IVeltraDataDestination::ChangeColorSpace change{32, 33};
        ASSERT_FALSE(VeltraErrorPtr(c.filter->VeltraNotify(c.image.get(), kVeltraNotifyColorSpace, &change)));
        ASSERT_EQ(spy.codes, std::vector<int32_t>{kVeltraNotifyData});
        EXPECT_EQ(spy.rect.right, 6);
        EXPECT_EQ(spy.rect.bottom, 5);
    }
    // the last reference went with the filter, and the engine with it (the leak check sees it)
}
