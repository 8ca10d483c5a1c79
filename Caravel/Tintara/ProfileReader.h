#pragma once

#include "Caravel/Tintara/AlignedBuffer.h"

#include <cstddef>
#include <cstdint>

namespace tintara {

// Four-character codes as numbers, first character in the most significant byte.
constexpr std::uint32_t FourCc(const char (&s)[5])
{
    return (std::uint32_t(std::uint8_t(s[0])) << 24) | (std::uint32_t(std::uint8_t(s[1])) << 16) |
           (std::uint32_t(std::uint8_t(s[2])) << 8) | std::uint32_t(std::uint8_t(s[3]));
}

inline constexpr std::uint32_t kSigXyz = FourCc("XYZ ");
inline constexpr std::uint32_t kSigLab = FourCc("Lab ");
inline constexpr std::uint32_t kSigLch = FourCc("Lch ");
inline constexpr std::uint32_t kSigGray = FourCc("GRAY");
inline constexpr std::uint32_t kSigAcsp = FourCc("acsp");
inline constexpr std::uint32_t kSigCurv = FourCc("curv");
inline constexpr std::uint32_t kSigMft1 = FourCc("mft1");
inline constexpr std::uint32_t kSigMft2 = FourCc("mft2");

// One element of an XYZType tag: 15.16 fixed-point numbers.
struct XyzNumber {
    std::int32_t x;
    std::int32_t y;
    std::int32_t z;
};
static_assert(sizeof(XyzNumber) == 12);

struct TagEntry {
    std::uint32_t signature;
    std::uint32_t offset;
    std::uint32_t size;
};
static_assert(sizeof(TagEntry) == 12);

struct ProfileCurve {
    enum Kind : long { kIdentity = 0, kGamma = 1, kTable = 2 };
    long kind = kIdentity;
    double gamma = 1.0;
    AlignedBuffer<std::uint16_t> table;
};

// A decoded mft1 or mft2 tag; mft1 tables are widened to u16 holding 0..255.
struct LutTag {
    static constexpr int kMaxChannels = 4;
    std::uint8_t inputChannels = 0;
    std::uint8_t outputChannels = 0;
    std::uint8_t gridPoints = 0;
    std::int32_t matrix[9] = {};
    std::uint16_t inputEntries = 0;
    std::uint16_t outputEntries = 0;
    AlignedBuffer<std::uint16_t> inputTables[kMaxChannels];
    AlignedBuffer<std::uint16_t> clut;
    AlignedBuffer<std::uint16_t> outputTables[kMaxChannels];
};

// Reads one ICC version 2 profile held whole in memory. Keeps a pointer to the
// caller's bytes, which must outlive it. Every number is assembled big-endian.
class ProfileReader {
public:
    long ReadProfileHeader(const std::uint8_t* bytes, std::size_t length);
    bool FindTag(std::uint32_t signature);
    long ReadTagType(std::uint32_t signature, std::uint32_t& type);
    long ReadXYZTag(std::uint32_t signature, AlignedBuffer<XyzNumber>& list);
    long ReadCurveTag(std::uint32_t signature, ProfileCurve& curve);
    long ReadLut16Tag(std::uint32_t signature, LutTag& lut);
    long ReadLut8Tag(std::uint32_t signature, LutTag& lut);

    std::uint32_t profileSize = 0;
    std::uint32_t cmmType = 0;
    std::uint32_t version = 0;
    std::uint32_t deviceClass = 0;
    std::uint32_t colorSpace = 0;
    std::uint32_t pcs = 0;
    std::uint16_t dateTime[6] = {};
    std::uint32_t signature = 0;
    std::uint32_t platform = 0;
    std::uint32_t flags = 0;
    std::uint32_t manufacturer = 0;
    std::uint32_t model = 0;
    std::uint32_t attributes[2] = {};
    std::uint32_t renderingIntent = 0;
    std::int32_t illuminant[3] = {};
    std::uint32_t creator = 0;
    AlignedBuffer<TagEntry> tagTable;

private:
    long StartTag(std::uint32_t signature, std::uint32_t expectedType);
    bool FitsInTag(std::uint64_t bytes) const;
    std::uint8_t ReadU8();
    std::uint16_t ReadU16();
    std::uint32_t ReadU32();
    long ReadLutTag(std::uint32_t signature, LutTag& lut, bool wide);

    bool lastFound_ = false;
    std::uint32_t lastIndex_ = 0;
    const std::uint8_t* bytes_ = nullptr;
    std::size_t length_ = 0;
    std::uint64_t cursor_ = 0;
    std::uint64_t tagEnd_ = 0;
};

} // namespace tintara
