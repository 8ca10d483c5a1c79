#include "Caravel/Tintara/tests/ProfileBuilder.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace tintara::testing {

namespace {

void U8(Bytes& b, std::uint32_t v) { b.push_back(std::uint8_t(v)); }
void U16(Bytes& b, std::uint32_t v)
{
    U8(b, v >> 8);
    U8(b, v);
}
void U32(Bytes& b, std::uint32_t v)
{
    U16(b, v >> 16);
    U16(b, v);
}
void Fixed(Bytes& b, double v) { U32(b, std::uint32_t(std::int32_t(std::lround(v * 65536)))); }

Bytes TypeHeader(const char (&type)[5])
{
    Bytes b;
    U32(b, Sig(type));
    U32(b, 0);
    return b;
}

void Ramp(Bytes& b, int entries, bool wide)
{
    for (int i = 0; i < entries; ++i) {
        const double v = double(i) / (entries - 1);
        if (wide)
            U16(b, std::uint32_t(std::lround(v * 65535)));
        else
            U8(b, std::uint32_t(std::lround(v * 255)));
    }
}

Bytes LutTagBody(const LutSpec& s, bool wide)
{
    Bytes b = TypeHeader(wide ? "mft2" : "mft1");
    U8(b, std::uint32_t(s.inputs));
    U8(b, std::uint32_t(s.outputs));
    U8(b, std::uint32_t(s.grid));
    U8(b, 0);
    for (std::int32_t m : s.matrix)
        U32(b, std::uint32_t(m));
    const int inEntries = wide ? s.inputEntries : 256;
    const int outEntries = wide ? s.outputEntries : 256;
    if (wide) {
        U16(b, std::uint32_t(inEntries));
        U16(b, std::uint32_t(outEntries));
    }
    auto put = [&](std::uint16_t v) { wide ? U16(b, v) : U8(b, v); };
    if (s.inputTables.empty())
        for (int c = 0; c < s.inputs; ++c)
            Ramp(b, inEntries, wide);
    else
        for (auto v : s.inputTables)
            put(v);
    for (auto v : s.clut)
        put(v);
    if (s.outputTables.empty())
        for (int c = 0; c < s.outputs; ++c)
            Ramp(b, outEntries, wide);
    else
        for (auto v : s.outputTables)
            put(v);
    return b;
}

} // namespace

std::uint32_t Sig(const char (&s)[5])
{
    return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16) |
           (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}

void PutU32(Bytes& bytes, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        bytes[at + std::size_t(k)] = std::uint8_t(v >> (24 - 8 * k));
}

Bytes XyzTag(double x, double y, double z)
{
    Bytes b = TypeHeader("XYZ ");
    Fixed(b, x);
    Fixed(b, y);
    Fixed(b, z);
    return b;
}

Bytes CurvGamma(std::uint16_t u8Fixed8)
{
    Bytes b = TypeHeader("curv");
    U32(b, 1);
    U16(b, u8Fixed8);
    return b;
}

Bytes CurvTable(const std::vector<std::uint16_t>& entries)
{
    Bytes b = TypeHeader("curv");
    U32(b, std::uint32_t(entries.size()));
    for (auto e : entries)
        U16(b, e);
    return b;
}

Bytes ParaGamma(double gamma)
{
    Bytes b = TypeHeader("para");
    U16(b, 0);
    U16(b, 0);
    Fixed(b, gamma);
    return b;
}

Bytes Mft2Tag(const LutSpec& spec) { return LutTagBody(spec, true); }
Bytes Mft1Tag(const LutSpec& spec) { return LutTagBody(spec, false); }

ProfileBuilder::ProfileBuilder(const char (&colorSpace)[5], const char (&pcs)[5], const char (&deviceClass)[5])
    : colorSpace_(Sig(colorSpace)), pcs_(Sig(pcs)), deviceClass_(Sig(deviceClass))
{
}

ProfileBuilder& ProfileBuilder::Illuminant(double x, double y, double z)
{
    illuminant_[0] = x;
    illuminant_[1] = y;
    illuminant_[2] = z;
    return *this;
}

ProfileBuilder& ProfileBuilder::Version(std::uint32_t version)
{
    version_ = version;
    return *this;
}

ProfileBuilder& ProfileBuilder::Tag(const char (&signature)[5], Bytes body)
{
    tags_.emplace_back(Sig(signature), std::move(body));
    return *this;
}

Bytes ProfileBuilder::Build() const
{
    Bytes b;
    U32(b, 0); // size, patched below
    U32(b, 0);
    U32(b, version_);
    U32(b, deviceClass_);
    U32(b, colorSpace_);
    U32(b, pcs_);
    for (int i = 0; i < 6; ++i)
        U16(b, 0);
    U32(b, Sig("acsp"));
    while (b.size() < 64)
        U8(b, 0);
    U32(b, 0); // rendering intent
    for (double v : illuminant_)
        Fixed(b, v);
    while (b.size() < 128)
        U8(b, 0);
    U32(b, std::uint32_t(tags_.size()));
    std::size_t offset = 132 + 12 * tags_.size();
    for (const auto& [sig, body] : tags_) {
        U32(b, sig);
        U32(b, std::uint32_t(offset));
        U32(b, std::uint32_t(body.size()));
        offset += (body.size() + 3) / 4 * 4;
    }
    for (const auto& tag : tags_) {
        b.insert(b.end(), tag.second.begin(), tag.second.end());
        while (b.size() % 4)
            U8(b, 0);
    }
    PutU32(b, 0, std::uint32_t(b.size()));
    return b;
}

ProfileBuilder MatrixRgbProfile(std::uint16_t gammaU8Fixed8)
{
    ProfileBuilder p("RGB ", "XYZ ");
    p.Tag("wtpt", XyzTag(0.9642, 1.0, 0.8249))
        .Tag("rXYZ", XyzTag(0.4361, 0.2225, 0.0139))
        .Tag("gXYZ", XyzTag(0.3851, 0.7169, 0.0971))
        .Tag("bXYZ", XyzTag(0.1431, 0.0606, 0.7139))
        .Tag("rTRC", CurvGamma(gammaU8Fixed8))
        .Tag("gTRC", CurvGamma(gammaU8Fixed8))
        .Tag("bTRC", CurvGamma(gammaU8Fixed8));
    return p;
}

namespace {

// The model behind the generated profiles: sRGB-like D50 colorants.
const double kRgbToXyz[9] = {0.4361, 0.3851, 0.1431, 0.2225, 0.7169, 0.0606, 0.0139, 0.0971, 0.7139};
const double kD50[3] = {0.9642, 1.0, 0.8249};

double F(double t) { return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116; }
double FInverse(double f) { return f * f * f > 216.0 / 24389 ? f * f * f : (116 * f - 16) * 27 / 24389; }

void LinearRgbToLab16(const double* rgb, double* lab16)
{
    double xyz[3];
    for (int r = 0; r < 3; ++r)
        xyz[r] = kRgbToXyz[3 * r] * rgb[0] + kRgbToXyz[3 * r + 1] * rgb[1] + kRgbToXyz[3 * r + 2] * rgb[2];
    const double fx = F(xyz[0] / kD50[0]), fy = F(xyz[1] / kD50[1]), fz = F(xyz[2] / kD50[2]);
    const double lab[3] = {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
    lab16[0] = std::clamp(lab[0] * 652.8, 0.0, 65535.0);
    lab16[1] = std::clamp((lab[1] + 128) * 256, 0.0, 65535.0);
    lab16[2] = std::clamp((lab[2] + 128) * 256, 0.0, 65535.0);
}

void Lab16ToLinearRgb(const double* lab16, double* rgb)
{
    const double l = lab16[0] / 652.8, a = lab16[1] / 256 - 128, b = lab16[2] / 256 - 128;
    const double fy = (l + 16) / 116;
    const double xyz[3] = {FInverse(fy + a / 500) * kD50[0], FInverse(fy) * kD50[1], FInverse(fy - b / 200) * kD50[2]};
    // inverse of kRgbToXyz by cofactors
    const double* m = kRgbToXyz;
    const double c00 = m[4] * m[8] - m[5] * m[7], c01 = m[5] * m[6] - m[3] * m[8], c02 = m[3] * m[7] - m[4] * m[6];
    const double det = m[0] * c00 + m[1] * c01 + m[2] * c02;
    const double inv[9] = {c00 / det, (m[2] * m[7] - m[1] * m[8]) / det, (m[1] * m[5] - m[2] * m[4]) / det,
                           c01 / det, (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
                           c02 / det, (m[1] * m[6] - m[0] * m[7]) / det, (m[0] * m[4] - m[1] * m[3]) / det};
    for (int r = 0; r < 3; ++r)
        rgb[r] = std::clamp(inv[3 * r] * xyz[0] + inv[3 * r + 1] * xyz[1] + inv[3 * r + 2] * xyz[2], 0.0, 1.0);
}

std::uint16_t Quantise(double v, bool bytes)
{
    return bytes ? std::uint16_t(std::lround(std::clamp(v, 0.0, 1.0) * 255))
                 : std::uint16_t(std::lround(std::clamp(v, 0.0, 1.0) * 65535));
}

} // namespace

Bytes CmykProfile(bool byteTables, const double (&paperWhite)[3], int lastTable)
{
    LutSpec a2b;
    a2b.inputs = 4;
    a2b.grid = 9;
    for (int i = 0; i < 9 * 9 * 9 * 9; ++i) {
        const double c = (i / 729) / 8.0, m = (i / 81 % 9) / 8.0, y = (i / 9 % 9) / 8.0, k = (i % 9) / 8.0;
        const double rgb[3] = {std::pow((1 - c) * (1 - k), 2.2), std::pow((1 - m) * (1 - k), 2.2),
                               std::pow((1 - y) * (1 - k), 2.2)};
        double lab16[3];
        LinearRgbToLab16(rgb, lab16);
        for (double v : lab16)
            a2b.clut.push_back(std::uint16_t(std::lround(v)));
    }
    LutSpec b2a;
    b2a.outputs = 4;
    b2a.grid = 17;
    for (int i = 0; i < 17 * 17 * 17; ++i) {
        const double lab16[3] = {(i / 289) * 65535.0 / 16, (i / 17 % 17) * 65535.0 / 16, (i % 17) * 65535.0 / 16};
        double rgb[3];
        Lab16ToLinearRgb(lab16, rgb);
        for (double v : rgb)
            b2a.clut.push_back(Quantise(1 - std::pow(v, 1 / 2.2), byteTables));
        b2a.clut.push_back(0);
    }
    ProfileBuilder profile("CMYK", "Lab ", "prtr");
    profile.Tag("wtpt", XyzTag(paperWhite[0], paperWhite[1], paperWhite[2]));
    static const char kToPcs[3][5] = {"A2B0", "A2B1", "A2B2"};
    static const char kFromPcs[3][5] = {"B2A0", "B2A1", "B2A2"};
    for (int n = 0; n <= lastTable && n < 3; ++n) {
        profile.Tag(kToPcs[n], Mft2Tag(a2b));
        profile.Tag(kFromPcs[n], byteTables ? Mft1Tag(b2a) : Mft2Tag(b2a));
    }
    return profile.Build();
}

Bytes RgbLut8Profile()
{
    LutSpec a2b;
    a2b.grid = 17;
    for (int i = 0; i < 17 * 17 * 17; ++i) {
        const double rgb[3] = {std::pow((i / 289) / 16.0, 2.2), std::pow((i / 17 % 17) / 16.0, 2.2),
                               std::pow((i % 17) / 16.0, 2.2)};
        double lab16[3];
        LinearRgbToLab16(rgb, lab16);
        for (double v : lab16)
            a2b.clut.push_back(std::uint16_t(std::min(255L, std::lround(v / 256))));
    }
    return ProfileBuilder("RGB ", "Lab ", "scnr").Tag("wtpt", XyzTag(0.9642, 1.0, 0.8249)).Tag("A2B0", Mft1Tag(a2b)).Build();
}

Bytes XyzMatrixLutProfile()
{
    LutSpec b2a;
    b2a.grid = 17;
    for (auto& m : b2a.matrix)
        m = 0;
    b2a.matrix[0] = b2a.matrix[4] = b2a.matrix[8] = std::int32_t(1.8 * 65536);
    b2a.inputEntries = 256;
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 256; ++i)
            b2a.inputTables.push_back(std::uint16_t(std::lround(std::sqrt(i / 255.0) * 65535)));
    for (int i = 0; i < 17 * 17 * 17; ++i) {
        b2a.clut.push_back(std::uint16_t((i / 289) * 65535 / 16));
        b2a.clut.push_back(std::uint16_t((i / 17 % 17) * 65535 / 16));
        b2a.clut.push_back(std::uint16_t((i % 17) * 65535 / 16));
    }
    return ProfileBuilder("RGB ", "XYZ ", "mntr")
        .Tag("wtpt", XyzTag(0.9642, 1.0, 0.8249))
        .Tag("B2A0", Mft2Tag(b2a))
        .Tag("B2A1", Mft2Tag(b2a))
        .Build();
}

std::filesystem::path SystemProfile(const std::string& name)
{
    const std::filesystem::path path = std::filesystem::path("/usr/share/color/icc") / name;
    return std::filesystem::exists(path) ? path : std::filesystem::path();
}

Bytes ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace tintara::testing
