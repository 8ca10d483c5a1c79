#include "Caravel/Tintara/ProfileReader.h"

namespace tintara {

namespace {

constexpr std::size_t kHeaderBytes = 128;
constexpr std::size_t kMinimumBytes = 132;

bool IsPcs(std::uint32_t space)
{
    return space == kSigLab || space == kSigXyz || space == kSigLch;
}

} // namespace

std::uint8_t ProfileReader::ReadU8()
{
    return bytes_[cursor_++];
}

std::uint16_t ProfileReader::ReadU16()
{
    const std::uint16_t hi = ReadU8();
    return std::uint16_t((hi << 8) | ReadU8());
}

std::uint32_t ProfileReader::ReadU32()
{
    const std::uint32_t hi = ReadU16();
    return (hi << 16) | ReadU16();
}

long ProfileReader::ReadProfileHeader(const std::uint8_t* bytes, std::size_t length)
{
    bytes_ = bytes;
    length_ = bytes ? length : 0;
    cursor_ = 0;
    lastFound_ = false;
    tagTable.Resize(0);
    // 1. room for the header and the tag count
    if (length_ < kMinimumBytes)
        return kBadProfile;
    // 2. the header fields in file order
    profileSize = ReadU32();
    cmmType = ReadU32();
    version = ReadU32();
    deviceClass = ReadU32();
    colorSpace = ReadU32();
    pcs = ReadU32();
    for (auto& part : dateTime)
        part = ReadU16();
    signature = ReadU32();
    platform = ReadU32();
    flags = ReadU32();
    manufacturer = ReadU32();
    model = ReadU32();
    attributes[0] = ReadU32();
    attributes[1] = ReadU32();
    renderingIntent = ReadU32();
    for (auto& part : illuminant)
        part = std::int32_t(ReadU32());
    creator = ReadU32();
    // 3., 4. connection space and file signature
    if (!IsPcs(pcs))
        return kBadProfile;
    if (signature != kSigAcsp)
        return kBadProfile;
    // 5. the tag table must fit, counted without overflow
    cursor_ = kHeaderBytes;
    const std::uint32_t count = ReadU32();
    if (std::uint64_t(count) > (length_ - kMinimumBytes) / 12)
        return kBadProfile;
    // 6. read the entries
    if (long rc = tagTable.Resize(count); rc != kOk)
        return rc;
    for (std::uint32_t i = 0; i < count; ++i) {
        TagEntry& entry = tagTable[i];
        entry.signature = ReadU32();
        entry.offset = ReadU32();
        entry.size = ReadU32();
        // 7. each tag lies inside the buffer
        if (entry.size < 8 || std::uint64_t(entry.offset) + entry.size > length_)
            return kBadProfile;
    }
    return kOk;
}

bool ProfileReader::FindTag(std::uint32_t wanted)
{
    lastFound_ = false;
    for (std::size_t i = tagTable.size(); i-- > 0;) {
        if (tagTable[i].signature == wanted) {
            lastFound_ = true;
            lastIndex_ = std::uint32_t(i);
            break;
        }
    }
    return lastFound_;
}

// Finds the tag (reusing the last lookup), checks its type and leaves the cursor
// on the payload after the type and the reserved word.
long ProfileReader::StartTag(std::uint32_t wanted, std::uint32_t expectedType)
{
    const bool reuse = lastFound_ && lastIndex_ < tagTable.size() && tagTable[lastIndex_].signature == wanted;
    if (!reuse && !FindTag(wanted))
        return kMissingTag;
    const TagEntry& entry = tagTable[lastIndex_];
    cursor_ = entry.offset;
    tagEnd_ = std::uint64_t(entry.offset) + entry.size;
    if (ReadU32() != expectedType)
        return kBadProfile;
    cursor_ += 4;
    return kOk;
}

bool ProfileReader::FitsInTag(std::uint64_t bytes) const
{
    return cursor_ + bytes <= length_ && cursor_ + bytes <= tagEnd_;
}

long ProfileReader::ReadTagType(std::uint32_t wanted, std::uint32_t& type)
{
    const bool reuse = lastFound_ && lastIndex_ < tagTable.size() && tagTable[lastIndex_].signature == wanted;
    if (!reuse && !FindTag(wanted))
        return kMissingTag;
    cursor_ = tagTable[lastIndex_].offset;
    type = ReadU32();
    return kOk;
}

long ProfileReader::ReadXYZTag(std::uint32_t wanted, AlignedBuffer<XyzNumber>& list)
{
    if (long rc = StartTag(wanted, kSigXyz); rc != kOk)
        return rc;
    const std::uint64_t count = (tagEnd_ - cursor_) / 12;
    // a tag without a single triple is unusable: callers take its first one
    if (count == 0)
        return kBadProfile;
    if (long rc = list.Resize(count); rc != kOk)
        return rc;
    for (std::uint64_t i = 0; i < count; ++i) {
        list[i].x = std::int32_t(ReadU32());
        list[i].y = std::int32_t(ReadU32());
        list[i].z = std::int32_t(ReadU32());
    }
    return kOk;
}

long ProfileReader::ReadCurveTag(std::uint32_t wanted, ProfileCurve& curve)
{
    if (long rc = StartTag(wanted, kSigCurv); rc != kOk)
        return rc;
    if (!FitsInTag(4))
        return kBadProfile;
    const std::uint32_t count = ReadU32();
    if (!FitsInTag(std::uint64_t(count) * 2))
        return kBadProfile;
    curve.table.Resize(0);
    if (count == 0) {
        curve.kind = ProfileCurve::kIdentity;
        return kOk;
    }
    if (count == 1) {
        curve.kind = ProfileCurve::kGamma;
        curve.gamma = ReadU16() / 256.0;
        return kOk;
    }
    curve.kind = ProfileCurve::kTable;
    if (long rc = curve.table.Resize(count); rc != kOk)
        return rc;
    for (std::uint32_t i = 0; i < count; ++i)
        curve.table[i] = ReadU16();
    return kOk;
}

long ProfileReader::ReadLut16Tag(std::uint32_t wanted, LutTag& lut)
{
    return ReadLutTag(wanted, lut, true);
}

long ProfileReader::ReadLut8Tag(std::uint32_t wanted, LutTag& lut)
{
    return ReadLutTag(wanted, lut, false);
}

long ProfileReader::ReadLutTag(std::uint32_t wanted, LutTag& lut, bool wide)
{
    if (long rc = StartTag(wanted, wide ? kSigMft2 : kSigMft1); rc != kOk)
        return rc;
    // fixed fields: channel counts, grid, padding, matrix and (mft2) entry counts
    if (!FitsInTag(wide ? 44 : 40))
        return kBadProfile;
    lut.inputChannels = ReadU8();
    lut.outputChannels = ReadU8();
    lut.gridPoints = ReadU8();
    cursor_ += 1;
    for (auto& e : lut.matrix)
        e = std::int32_t(ReadU32());
    lut.inputEntries = wide ? ReadU16() : 256;
    lut.outputEntries = wide ? ReadU16() : 256;
    // refuse what the tables cannot hold before any size is computed
    const unsigned in = lut.inputChannels;
    const unsigned out = lut.outputChannels;
    if (in < 1 || in > LutTag::kMaxChannels || out < 1 || out > LutTag::kMaxChannels || lut.gridPoints < 2 ||
        lut.inputEntries < 2 || lut.outputEntries < 2)
        return kBadProfile;
    std::uint64_t nodes = 1;
    for (unsigned k = 0; k < in; ++k)
        nodes *= lut.gridPoints;
    const std::uint64_t clutValues = nodes * out;
    const std::uint64_t values = std::uint64_t(in) * lut.inputEntries + clutValues + std::uint64_t(out) * lut.outputEntries;
    if (!FitsInTag(values * (wide ? 2 : 1)))
        return kBadProfile;
    auto readTable = [&](AlignedBuffer<std::uint16_t>& table, std::uint64_t n) -> long {
        if (long rc = table.Resize(n); rc != kOk)
            return rc;
        for (std::uint64_t i = 0; i < n; ++i)
            table[i] = wide ? ReadU16() : ReadU8();
        return kOk;
    };
    for (unsigned c = 0; c < LutTag::kMaxChannels; ++c) {
        lut.inputTables[c].Resize(0);
        lut.outputTables[c].Resize(0);
    }
    for (unsigned c = 0; c < in; ++c)
        if (long rc = readTable(lut.inputTables[c], lut.inputEntries); rc != kOk)
            return rc;
    if (long rc = readTable(lut.clut, clutValues); rc != kOk)
        return rc;
    for (unsigned c = 0; c < out; ++c)
        if (long rc = readTable(lut.outputTables[c], lut.outputEntries); rc != kOk)
            return rc;
    return kOk;
}

} // namespace tintara
