#include "Caravel/Tintara/CurveTables.h"

#include "Caravel/Tintara/ColorTransform.h"
#include "Caravel/Tintara/MultiLutAsm.h"
#include "Caravel/Tintara/ProfileReader.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace tintara {

namespace {

constexpr std::uint32_t kInvertedEntries = 4096;

// Reads a table of n entries at positions i (n - 1) / M for i = 0..M with integer
// arithmetic only: an entry index k and a remainder r compared with M.
class ResamplingWalk {
public:
    ResamplingWalk(const std::uint16_t* table, std::uint32_t n, std::uint32_t m)
        : t_(table), n_(n), m_(m), reciprocal_((std::uint64_t(1) << 32) / m)
    {
        Load();
    }

    // The value at the current position in 16.16.
    std::uint64_t Fixed() const
    {
        const std::int64_t delta = std::int64_t(roundMul16(slope_ * r_, reciprocal_));
        const std::int64_t v = std::int64_t(t_[k_]) * 65536 + (falling_ ? -delta : delta);
        return std::uint64_t(std::clamp<std::int64_t>(v, 0, std::int64_t(65535) << 16));
    }

    // The value at the current position as an integer.
    std::uint32_t Integer() const
    {
        const std::int64_t delta = std::int64_t(roundMul32(slope_ * r_, reciprocal_));
        const std::int64_t v = std::int64_t(t_[k_]) + (falling_ ? -delta : delta);
        return std::uint32_t(std::clamp<std::int64_t>(v, 0, 65535));
    }

    void Advance()
    {
        r_ += n_ - 1;
        if (r_ >= m_) {
            const std::uint64_t q = highMul32(r_, reciprocal_);
            r_ -= q * m_;
            k_ = std::uint32_t(std::min<std::uint64_t>(k_ + q, n_ - 1));
            Load();
        }
    }

private:
    void Load()
    {
        if (k_ < n_ - 1) {
            const std::int32_t d = std::int32_t(t_[k_ + 1]) - std::int32_t(t_[k_]);
            falling_ = d < 0;
            slope_ = std::uint64_t(falling_ ? -d : d);
        }
    }

    const std::uint16_t* t_;
    std::uint32_t n_;
    std::uint64_t m_;
    std::uint64_t reciprocal_;
    std::uint32_t k_ = 0;
    std::uint64_t r_ = 0;
    std::uint64_t slope_ = 0;
    bool falling_ = false;
};

// Linear read of a table at a 16.16 position, clamped to its last entry.
std::uint32_t ReadAt(const std::uint16_t* table, std::uint32_t n, std::uint64_t position)
{
    const std::uint64_t last = std::uint64_t(n - 1) << 16;
    position = std::min(position, last);
    const auto index = std::uint32_t(position >> 16);
    if (index >= n - 1)
        return table[n - 1];
    const std::int64_t d = std::int64_t(table[index + 1]) - std::int64_t(table[index]);
    const std::int64_t v = table[index] + ((d * std::int64_t(position & 0xFFFF) + 32768) >> 16);
    return std::uint32_t(std::clamp<std::int64_t>(v, 0, 65535));
}

long GammaTable(double gamma, AlignedBuffer<std::uint16_t>& table, CurveDirection direction)
{
    if (long rc = table.Resize(kInvertedEntries); rc != kOk)
        return rc;
    const double e = direction == CurveDirection::kInput ? gamma : 1.0 / gamma;
    for (std::uint32_t i = 0; i < kInvertedEntries; ++i) {
        const double v = std::pow(i / 4095.0, e) * 65535 + 0.5;
        table[i] = std::uint16_t(std::clamp(v, 0.0, 65535.0));
    }
    return kOk;
}

std::uint16_t ClampedEntry(double v)
{
    return std::uint16_t(std::clamp(v, 0.0, 65535.0));
}

long InvertedTable(const AlignedBuffer<std::uint16_t>& source, AlignedBuffer<std::uint16_t>& table)
{
    const std::uint16_t* t = source.data();
    const std::uint32_t n = std::uint32_t(source.size());
    if (long rc = table.Resize(kInvertedEntries); rc != kOk)
        return rc;
    const double scale = 65535.0 / (n - 1);
    if (t[0] < t[n - 1]) {
        std::uint32_t j = 0;
        for (std::uint32_t i = 0; i < kInvertedEntries; ++i) {
            const std::uint32_t y = std::uint32_t(std::uint64_t(i) * 65535 / 4095);
            if (y <= t[0]) {
                table[i] = 0;
                j = 0;
            } else if (y >= t[n - 1]) {
                for (; i < kInvertedEntries; ++i)
                    table[i] = 65535;
                break;
            } else {
                while (!(y <= t[j + 1]))
                    if (++j >= n - 1)
                        j = 0;
                const double span = double(t[j + 1]) - t[j];
                const double x = span > 0 ? j + (y - double(t[j])) / span : j;
                table[i] = ClampedEntry(x * scale);
            }
        }
    } else {
        std::uint32_t j = n - 1;
        for (std::uint32_t i = 0; i < kInvertedEntries; ++i) {
            const std::uint32_t y = std::uint32_t(std::uint64_t(i) * 65535 / 4095);
            if (y <= t[n - 1]) {
                table[i] = 65535;
                j = n - 1;
            } else if (y >= t[0]) {
                for (; i < kInvertedEntries; ++i)
                    table[i] = 0;
                break;
            } else {
                while (!(y <= t[j - 1]))
                    if (--j < 1)
                        j = n - 1;
                const double span = double(t[j - 1]) - t[j];
                const double x = span > 0 ? j - (y - double(t[j])) / span : j;
                table[i] = ClampedEntry(x * scale);
            }
        }
    }
    return kOk;
}

// A user curve needs two entries and a non-zero maximum; the handle refuses others.
bool Usable(const UserLutRecord& user)
{
    return user.curve.size() >= 2 && user.outBits >= 1 && user.outBits <= 16;
}

std::uint64_t Reciprocal(std::uint64_t m)
{
    return (std::uint64_t(1) << 32) / m;
}

void BuildInputTable(std::uint16_t* out, std::uint32_t maxIn, const AlignedBuffer<std::uint16_t>& profile,
                     const UserLutRecord& user)
{
    const std::uint16_t* p = profile.data();
    const auto n = std::uint32_t(profile.size());
    if (!Usable(user)) {
        ResamplingWalk walk(p, n, maxIn);
        for (std::uint32_t i = 0; i <= maxIn; ++i, walk.Advance())
            out[i] = std::uint16_t(walk.Integer());
        return;
    }
    const auto userEntries = std::uint32_t(user.curve.size());
    const std::uint64_t userScale = Reciprocal((std::uint64_t(1) << user.outBits) - 1);
    ResamplingWalk walk(user.curve.data(), userEntries, maxIn);
    for (std::uint32_t i = 0; i <= maxIn; ++i, walk.Advance()) {
        const std::uint64_t v = walk.Fixed();
        if (!user.merge) {
            out[i] = std::uint16_t(std::min<std::uint64_t>(roundMul32(roundMul16(v, 65535), userScale), 65535));
        } else {
            const std::uint64_t position = roundMul16(roundMul16(v, n - 1), userScale);
            out[i] = std::uint16_t(ReadAt(p, n, position));
        }
    }
}

void BuildOutputTable(std::uint16_t* out, std::uint64_t maxOut, const AlignedBuffer<std::uint16_t>& profile,
                      const UserLutRecord& user)
{
    const std::uint16_t* p = profile.data();
    const auto n = std::uint32_t(profile.size());
    auto store = [&](std::uint32_t i, std::uint64_t v) { out[i] = std::uint16_t(std::min(v, maxOut)); };
    if (!Usable(user)) {
        ResamplingWalk walk(p, n, 65535);
        for (std::uint32_t i = 0; i <= 65535; ++i, walk.Advance())
            store(i, roundMul32(roundMul16(walk.Fixed(), maxOut), 65537));
        return;
    }
    const auto userEntries = std::uint32_t(user.curve.size());
    const std::uint64_t userScale = Reciprocal((std::uint64_t(1) << user.outBits) - 1);
    if (!user.merge) {
        ResamplingWalk walk(user.curve.data(), userEntries, 65535);
        for (std::uint32_t i = 0; i <= 65535; ++i, walk.Advance())
            store(i, roundMul32(roundMul16(walk.Fixed(), maxOut), userScale));
        return;
    }
    const std::uint16_t* u = user.curve.data();
    ResamplingWalk walk(p, n, 65535);
    for (std::uint32_t i = 0; i <= 65535; ++i, walk.Advance()) {
        const std::uint64_t position =
            std::min<std::uint64_t>(roundMul16(roundMul16(walk.Fixed(), userEntries - 1), 65537),
                                    std::uint64_t(userEntries - 1) << 16);
        const auto index = std::uint32_t(position >> 16);
        std::int64_t value = std::int64_t(u[index]) * 65536;
        if (index < userEntries - 1)
            value += (std::int64_t(u[index + 1]) - u[index]) * std::int64_t(position & 0xFFFF);
        store(i, roundMul32(roundMul16(std::uint64_t(std::max<std::int64_t>(value, 0)), maxOut), userScale));
    }
}

// Profile curves always hold at least two entries; an empty one (never built)
// reads as the identity.
const AlignedBuffer<std::uint16_t>& CurveOrIdentity(const AlignedBuffer<std::uint16_t>& curve)
{
    static const AlignedBuffer<std::uint16_t> identity = [] {
        AlignedBuffer<std::uint16_t> b;
        if (b.Resize(2) == kOk) {
            b[0] = 0;
            b[1] = 65535;
        }
        return b;
    }();
    return curve.size() >= 2 ? curve : identity;
}

} // namespace

long CurveToTable(const ProfileCurve& curve, AlignedBuffer<std::uint16_t>& table, CurveDirection direction)
{
    switch (curve.kind) {
    case ProfileCurve::kGamma:
        return GammaTable(curve.gamma, table, direction);
    case ProfileCurve::kTable:
        if (curve.table.size() >= 2) {
            if (direction == CurveDirection::kOutput)
                return InvertedTable(curve.table, table);
            if (long rc = table.Resize(curve.table.size()); rc != kOk)
                return rc;
            std::copy(curve.table.data(), curve.table.data() + curve.table.size(), table.data());
            return kOk;
        }
        break;
    default:
        break;
    }
    if (long rc = table.Resize(2); rc != kOk)
        return rc;
    table[0] = 0;
    table[1] = 65535;
    return kOk;
}

namespace {

// The shortcut for 8-bit RGB rows through the processor form's (32, 3) table.
// Left unset (rows then take the general path) wherever it would not give the same bytes.
void PrepareByteCells(ColorTransform& t)
{
    const auto* lut = dynamic_cast<const CMultiLutAsm*>(t.lut.get());
    if (!lut || !lut->HasKernel() || lut->G != 32 || lut->I != 3 || lut->O != 3)
        return;
    if (t.inputBits != 8 || t.outputBits != 8 || t.inputChannels != 3 || t.outputChannels != 3 ||
        t.outputColorSpace == kSigLch)
        return;
    auto cells = std::unique_ptr<ByteCells>(new (std::nothrow) ByteCells);
    if (cells && BuildByteCells(t.inputTables.data(), t.outputTables.data(), *cells))
        t.byteCells = std::move(cells);
}

} // namespace

long BuildCurveTables(ColorTransform& transform, long inputBits, long outputBits, const UserLutRecord* inputCurves,
                      const UserLutRecord* outputCurves)
{
    transform.byteCells.reset();
    transform.inputBits = inputBits;
    transform.outputBits = outputBits;
    const std::uint32_t inEntries = std::uint32_t(1) << inputBits;
    const std::uint32_t maxIn = inEntries - 1;
    const std::uint64_t maxOut = (std::uint64_t(1) << outputBits) - 1;
    const long inChannels = std::clamp(transform.inputChannels, 0L, 4L);
    const long outChannels = std::clamp(transform.outputChannels, 0L, 4L);
    if (long rc = transform.inputTables.Resize(std::size_t(inChannels) * inEntries); rc != kOk)
        return rc;
    if (long rc = transform.outputTables.Resize(std::size_t(outChannels) * 65536); rc != kOk)
        return rc;
    for (long c = inChannels - 1; c >= 0; --c)
        BuildInputTable(transform.inputTables.data() + std::size_t(c) * inEntries, maxIn,
                        CurveOrIdentity(transform.profileInputCurves[c]), inputCurves[c]);
    for (long c = outChannels - 1; c >= 0; --c)
        BuildOutputTable(transform.outputTables.data() + std::size_t(c) * 65536, maxOut,
                         CurveOrIdentity(transform.profileOutputCurves[c]), outputCurves[c]);
    PrepareByteCells(transform);
    return kOk;
}

} // namespace tintara
