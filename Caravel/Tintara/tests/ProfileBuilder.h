#pragma once

// Test helpers: ICC version 2 profiles written byte by byte, and the profiles
// of the system's colour folder.
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tintara::testing {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Sig(const char (&s)[5]);

struct LutSpec {
    int inputs = 3;
    int outputs = 3;
    int grid = 2;
    std::int32_t matrix[9] = {65536, 0, 0, 0, 65536, 0, 0, 0, 65536};
    int inputEntries = 2;  // mft2 only; mft1 has 256
    int outputEntries = 2;
    std::vector<std::uint16_t> inputTables;  // inputs x entries; empty: identity ramps
    std::vector<std::uint16_t> clut;         // outputs x grid^inputs
    std::vector<std::uint16_t> outputTables; // outputs x entries; empty: identity ramps
};

// Tag bodies (type signature, reserved word, payload).
Bytes XyzTag(double x, double y, double z);
Bytes CurvGamma(std::uint16_t u8Fixed8);
Bytes CurvTable(const std::vector<std::uint16_t>& entries);
Bytes ParaGamma(double gamma);
Bytes Mft2Tag(const LutSpec& spec);
Bytes Mft1Tag(const LutSpec& spec); // values are bytes

class ProfileBuilder {
public:
    ProfileBuilder(const char (&colorSpace)[5], const char (&pcs)[5], const char (&deviceClass)[5] = "mntr");
    ProfileBuilder& Illuminant(double x, double y, double z);
    ProfileBuilder& Version(std::uint32_t version);
    ProfileBuilder& Tag(const char (&signature)[5], Bytes body);
    Bytes Build() const;

private:
    std::uint32_t colorSpace_, pcs_, deviceClass_;
    std::uint32_t version_ = 0x02100000;
    double illuminant_[3] = {0.9642, 1.0, 0.8249};
    std::vector<std::pair<std::uint32_t, Bytes>> tags_;
};

// A matrix/TRC RGB profile with sRGB-like D50 colorants and one gamma curve.
ProfileBuilder MatrixRgbProfile(std::uint16_t gammaU8Fixed8 = 0x0233);

// A printer profile of a simple CMYK model (no black generation), PCS Lab:
// A2Bn an mft2 4 -> 3 on a 9-point grid, B2An 3 -> 4 on a 17-point grid as mft2
// or, with byteTables, as mft1, for the intent tables n = 0..lastTable (the
// same tables each time). Media white = paperWhite.
Bytes CmykProfile(bool byteTables, const double (&paperWhite)[3], int lastTable = 1);
// An input-only RGB profile whose A2B0 is an mft1 3 -> 3 (17 points) into Lab,
// of the matrix profile's model with gamma 2.2.
Bytes RgbLut8Profile();

// An RGB output profile with PCS XYZ whose B2A0 (mft2) has a non-identity
// matrix followed by square-root input tables and an identity 17-point CLUT:
// the order of matrix and tables shows in its results.
Bytes XyzMatrixLutProfile();

// Byte offset of tag table entry i (its signature; offset at +4, size at +8).
inline std::size_t TagEntryOffset(std::size_t i) { return 132 + 12 * i; }
void PutU32(Bytes& bytes, std::size_t at, std::uint32_t v);

// Path of a profile of the system's colour folder; empty when it is not installed.
std::filesystem::path SystemProfile(const std::string& name);
Bytes ReadBytes(const std::filesystem::path& path);

} // namespace tintara::testing
