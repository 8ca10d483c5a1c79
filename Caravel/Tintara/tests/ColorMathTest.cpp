#include "Caravel/Tintara/ColorMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

using namespace tintara;

TEST(ColorMath, Encodings)
{
    EXPECT_DOUBLE_EQ(EncodeLightness(50), 32640);
    EXPECT_DOUBLE_EQ(EncodeLightness(100), 65280); // L* 100 is 0xFF00, no jump below it
    EXPECT_DOUBLE_EQ(EncodeLightness(101), 65535);
    EXPECT_DOUBLE_EQ(EncodeLightness(-3), 0);
    EXPECT_DOUBLE_EQ(EncodeAb(0), 32768);
    EXPECT_DOUBLE_EQ(EncodeAb(-200), 0);
    EXPECT_DOUBLE_EQ(EncodeAb(128), 65535);
    EXPECT_DOUBLE_EQ(EncodeXyz(1.0), 32768);
    EXPECT_DOUBLE_EQ(EncodeXyz(2.0), 65535);
    EXPECT_DOUBLE_EQ(EncodeChroma(256), 65535);
    EXPECT_NEAR(EncodeHue(-M_PI / 2), 49152, 1e-6);
    EXPECT_NEAR(DecodeHue(49152), -M_PI / 2, 1e-12);
    EXPECT_DOUBLE_EQ(EncodeLightness(std::nan("")), 0);
}

TEST(ColorMath, LabAndXyzRoundTrip)
{
    const double white[3] = {0.9642, 1.0, 0.8249};
    const double labs[][3] = {{50, 20, -30}, {5, 1, 1}, {100, 0, 0}, {0.5, -2, 3}};
    for (const auto& lab : labs) {
        double xyz[3], back[3];
        LabToXyz(lab, white, xyz);
        XyzToLab(xyz, white, back);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(back[k], lab[k], 2e-3) << lab[0] << " " << k;
    }
    double xyz[3];
    const double lab100[3] = {100, 0, 0};
    LabToXyz(lab100, white, xyz);
    EXPECT_NEAR(xyz[0], white[0], 1e-12);
    EXPECT_NEAR(xyz[2], white[2], 1e-12);
}

TEST(ColorMath, InvertMatrix)
{
    double m[9] = {2, 0, 0, 0, 4, 0, 1, 0, 1};
    ASSERT_EQ(InvertMatrix3x3(m), 0);
    EXPECT_DOUBLE_EQ(m[0], 0.5);
    EXPECT_DOUBLE_EQ(m[4], 0.25);
    EXPECT_DOUBLE_EQ(m[6], -0.5);
    double singular[9] = {1, 2, 3, 2, 4, 6, 0, 1, 1}; // dependent columns
    const double copy[9] = {1, 2, 3, 2, 4, 6, 0, 1, 1};
    EXPECT_EQ(InvertMatrix3x3(singular), 9);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(singular[i], copy[i]);
}

TEST(ColorMath, LabRowToLch)
{
    struct Case {
        int a, b;
        std::uint16_t chroma, hue;
    };
    const Case cases[] = {
        {1000, 0, 1000, 0},      {0, 1000, 1000, 16384},   {-1000, 0, 1000, 32768}, {0, -1000, 1000, 49152},
        {0, 0, 0, 0},            {1000, 1000, 1414, 8192}, {-32768, -32768, 46340, 40960},
        {1000, -1, 1000, 65526}, {32767, -1, 32767, 0}, // 65536 - t with t = 0 wraps to 0
    };
    for (const Case& c : cases) {
        std::uint16_t px[4] = {1234, std::uint16_t(32768 + c.a), std::uint16_t(32768 + c.b), 77};
        ASSERT_EQ(ConvertLabRowToLch(px, 1), 0);
        EXPECT_EQ(px[0], 1234);
        EXPECT_EQ(px[1], c.chroma) << c.a << "," << c.b;
        EXPECT_EQ(px[2], c.hue) << c.a << "," << c.b;
        EXPECT_EQ(px[3], 77);
    }
}
