#include "Caravel/Tintara/ProfileDescription.h"

#include "Caravel/Tintara/ColorMath.h"
#include "Caravel/Tintara/CurveTables.h"

#include <algorithm>

namespace tintara {

namespace {

constexpr double kFixed = 65536.0;

// The LUT tag that an intent selects, or 0 for none.
std::uint32_t LutTagFor(long intent, ProfileDirection direction)
{
    const bool in = direction == ProfileDirection::kInput;
    switch (intent) {
    case 0: return in ? FourCc("A2B0") : FourCc("B2A0");
    case 1:
    case 2: return in ? FourCc("A2B1") : FourCc("B2A1");
    case 3: return in ? FourCc("A2B2") : FourCc("B2A2");
    default: return 0;
    }
}

long CopyTable(const AlignedBuffer<std::uint16_t>& from, AlignedBuffer<std::uint16_t>& to)
{
    if (long rc = to.Resize(from.size()); rc != kOk)
        return rc;
    std::copy(from.data(), from.data() + from.size(), to.data());
    return kOk;
}

bool IsIdentity(const std::int32_t* m)
{
    for (int i = 0; i < 9; ++i)
        if (m[i] != (i % 4 == 0 ? 65536 : 0))
            return false;
    return true;
}

// 1., 2. spaces, illuminant and media white
long ReadSpacesAndWhites(ProfileDescription& d, ProfileReader& reader, ProfileDirection direction)
{
    const bool in = direction == ProfileDirection::kInput;
    d.sourceSpace = in ? reader.colorSpace : reader.pcs;
    d.destinationSpace = in ? reader.pcs : reader.colorSpace;
    for (int k = 0; k < 3; ++k)
        d.illuminant[k] = d.mediaWhite[k] = reader.illuminant[k] / kFixed;
    const std::uint32_t wtpt = FourCc("wtpt");
    if (!reader.FindTag(wtpt))
        return kOk;
    std::uint32_t type = 0;
    if (long rc = reader.ReadTagType(wtpt, type); rc != kOk)
        return rc;
    if (type != kSigXyz)
        return kBadProfile;
    AlignedBuffer<XyzNumber> white;
    if (long rc = reader.ReadXYZTag(wtpt, white); rc != kOk)
        return rc;
    d.mediaWhite[0] = white[0].x / kFixed;
    d.mediaWhite[1] = white[0].y / kFixed;
    d.mediaWhite[2] = white[0].z / kFixed;
    return kOk;
}

// 3. gray: one tone curve
long DescribeGray(ProfileDescription& d, ProfileReader& reader, ProfileDirection direction)
{
    d.kind = ProfileDescription::kGray;
    d.inputChannels = d.outputChannels = 1;
    d.precision = 16;
    ProfileCurve curve;
    if (long rc = reader.ReadCurveTag(FourCc("kTRC"), curve); rc != kOk)
        return rc;
    return CurveToTable(curve, d.curves[0],
                        direction == ProfileDirection::kInput ? CurveDirection::kInput : CurveDirection::kOutput);
}

// 5. the intent's LUT tag; 9 means "treat as absent"
long DescribeLut(ProfileDescription& d, ProfileReader& reader, std::uint32_t tag, std::uint32_t type,
                 ProfileDirection direction)
{
    LutTag lut;
    const bool wide = type == kSigMft2;
    if (long rc = wide ? reader.ReadLut16Tag(tag, lut) : reader.ReadLut8Tag(tag, lut); rc != kOk)
        return rc;
    // the PCS side of the table carries three values
    const bool in = direction == ProfileDirection::kInput;
    if ((in ? lut.outputChannels : lut.inputChannels) != 3)
        return kBadProfile;
    d.kind = ProfileDescription::kLut;
    d.precision = wide ? 16 : 8;
    d.inputChannels = lut.inputChannels;
    d.outputChannels = lut.outputChannels;
    d.inputIndexScale = wide ? (lut.inputEntries - 1) / 65535.0 : 255 / 65535.0;
    d.inputValueScale = wide ? 1.0 : 257.0;
    d.outputIndexScale = wide ? (lut.outputEntries - 1) / 65535.0 : 255 / 65535.0;
    d.outputValueScale = wide ? 1.0 : 257.0;
    for (int i = 0; i < 9; ++i)
        d.matrix[i] = lut.matrix[i] / kFixed;
    d.matrixAheadOfTables = d.sourceSpace == kSigXyz && !IsIdentity(lut.matrix);
    for (long c = 0; c < d.inputChannels; ++c)
        if (long rc = CopyTable(lut.inputTables[c], d.lutInputTables[c]); rc != kOk)
            return rc;
    const bool pcsOutput =
        d.destinationSpace == kSigXyz || d.destinationSpace == kSigLab || d.destinationSpace == kSigLch;
    const long rc = wide ? d.lut.Setup16(lut.gridPoints, lut.inputChannels, lut.outputChannels, lut.clut.data())
                         : d.lut.Setup8(lut.gridPoints, lut.inputChannels, lut.outputChannels, lut.clut.data(),
                                        pcsOutput);
    if (rc != kOk)
        return rc;
    for (long c = 0; c < d.outputChannels; ++c)
        if (long rc2 = CopyTable(lut.outputTables[c], d.lutOutputTables[c]); rc2 != kOk)
            return rc2;
    return kOk;
}

// 7. matrix/TRC: three tone curves and the colorant matrix
long DescribeMatrix(ProfileDescription& d, ProfileReader& reader, ProfileDirection direction)
{
    d.kind = ProfileDescription::kMatrix;
    d.matrixAheadOfTables = false;
    d.inputChannels = d.outputChannels = 3;
    d.precision = 16;
    static const std::uint32_t kCurves[3] = {FourCc("rTRC"), FourCc("gTRC"), FourCc("bTRC")};
    static const std::uint32_t kColorants[3] = {FourCc("rXYZ"), FourCc("gXYZ"), FourCc("bXYZ")};
    const CurveDirection curveDirection =
        direction == ProfileDirection::kInput ? CurveDirection::kInput : CurveDirection::kOutput;
    for (int j = 0; j < 3; ++j) {
        ProfileCurve curve;
        if (long rc = reader.ReadCurveTag(kCurves[j], curve); rc != kOk)
            return rc;
        if (long rc = CurveToTable(curve, d.curves[j], curveDirection); rc != kOk)
            return rc;
        AlignedBuffer<XyzNumber> colorant;
        if (long rc = reader.ReadXYZTag(kColorants[j], colorant); rc != kOk)
            return rc;
        d.matrix[0 + j] = colorant[0].x / kFixed;
        d.matrix[3 + j] = colorant[0].y / kFixed;
        d.matrix[6 + j] = colorant[0].z / kFixed;
    }
    if (direction == ProfileDirection::kOutput)
        return InvertMatrix3x3(d.matrix);
    return kOk;
}

} // namespace

long BuildProfileDescription(ProfileDescription& description, ProfileReader& reader, long intent,
                             ProfileDirection direction)
{
    if (long rc = ReadSpacesAndWhites(description, reader, direction); rc != kOk)
        return rc;
    if (reader.colorSpace == kSigGray)
        return DescribeGray(description, reader, direction);
    // 4.-6. a LUT tag of the intent, when present and readable; a colorimetric or
    // saturation intent without tables of its own takes the perceptual ones, as
    // profiles that carry only those expect
    std::uint32_t tag = LutTagFor(intent, direction);
    if (tag != 0 && !reader.FindTag(tag))
        tag = LutTagFor(0, direction);
    if (tag != 0 && reader.FindTag(tag)) {
        std::uint32_t type = 0;
        if (reader.ReadTagType(tag, type) == kOk && (type == kSigMft1 || type == kSigMft2)) {
            const long rc = DescribeLut(description, reader, tag, type, direction);
            // only a malformed tag falls back; running out of memory ends the build
            if (rc != kBadProfile)
                return rc;
        }
    }
    return DescribeMatrix(description, reader, direction);
}

} // namespace tintara
