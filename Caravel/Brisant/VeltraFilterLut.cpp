#include "Caravel/Brisant/VeltraFilterLut.h"

#include <cstring>
#include <new>

#define WRAP(e) VELTRA_WRAP(kCode, e)

namespace {

// Planes and bits per component of the codes the filter maps; false for any other. Palette
// indexes and the blue-first byte order are not mapped, nor are bit pictures.
bool Layout(int32_t code, int32_t* planes, int32_t* bits)
{
    if (code == 19 || code == 38)
        return false;
    return IVeltraDataSource::GetSampleLayout(code, planes, bits) && *bits >= 8;
}

// A value of outputBits bits on a scale of b bits.
inline uint32_t Rescale(uint32_t v, int32_t outputBits, int32_t b)
{
    if (outputBits < b) {
        if (2 * outputBits >= b)
            return (v << (b - outputBits)) | (v >> (2 * outputBits - b));  // the bits repeated
        const uint32_t dMax = (1u << b) - 1, outMax = (1u << outputBits) - 1;
        return static_cast<uint32_t>(static_cast<uint64_t>(v) * dMax / outMax);
    }
    if (outputBits > b)
        return v >> (outputBits - b);
    return v;
}

template <class T>
void MapRow(const unsigned char* s, unsigned char* d, int32_t samples, int32_t planes, uint16_t* const* w)
{
    const T* in = reinterpret_cast<const T*>(s);
    T* out = reinterpret_cast<T*>(d);
    for (int32_t i = 0; i < samples; i += planes)
        for (int32_t p = 0; p < planes; ++p) {
            T v;
            std::memcpy(&v, in + i + p, sizeof(T));
            const T m = static_cast<T>(w[p][v]);
            std::memcpy(out + i + p, &m, sizeof(T));
        }
}

}  // namespace

CVeltraFilterLut::CVeltraFilterLut(IVeltraManager* manager) : CVeltraFilterBase(manager, 2) {}

CVeltraFilterLut::~CVeltraFilterLut() = default;

int32_t CVeltraFilterLut::TablesInUse() const
{
    if (m_inputBits == 0)
        return 0;
    int32_t n = 0;
    while (n < kMaxTables && m_user[n])
        ++n;
    return n;
}

IVeltraError* CVeltraFilterLut::SetLUT(const uint16_t* const* tables, int32_t inputBits, int32_t outputBits,
                                       int32_t count, bool notify)
{
    // the default: identity tables {0, 1} for four planes
    if (!tables || count == 0) {
        tables = nullptr;
        inputBits = outputBits = 1;
        count = kMaxTables;
    }
    // widths past 16 bits or more tables than planes would overrun the tables
    if (inputBits < 1 || inputBits > 16 || outputBits < 1 || outputBits > 16 || count < 0 || count > kMaxTables)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadArgument);
    m_changed = true;
    const size_t entries = size_t{1} << inputBits;
    for (int32_t i = 0; i < count; ++i) {
        if (m_inputBits < inputBits)
            m_user[i].reset();  // too small for the new tables
        if (!m_user[i]) {
            m_user[i].reset(new (std::nothrow) uint16_t[entries]);
            if (!m_user[i])
                return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraOutOfMemory);
        }
        const uint16_t* given = tables ? tables[i] : nullptr;
        if (given) {
            std::memcpy(m_user[i].get(), given, entries * sizeof(uint16_t));
        } else {
            for (size_t j = 0; j < entries; ++j)
                m_user[i][j] = static_cast<uint16_t>((j << outputBits) >> inputBits);
        }
    }
    for (int32_t i = count; i < kMaxTables; ++i)
        m_user[i].reset();
    m_rebuild = true;
    m_inputBits = inputBits;
    m_outputBits = outputBits;
    if (!notify || !IsEnabled() || !HasSource())
        return nullptr;
    int32_t w = 0, h = 0;
    if (IVeltraError* e = m_sources[0]->GetSize(&w, &h))
        return WRAP(e);
    VeltraRect all{0, 0, w, h};
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyData, &all));
}

IVeltraError* CVeltraFilterLut::GetLUTInfo(int32_t* inputBits, int32_t* outputBits, int32_t* count) const
{
    if (inputBits)
        *inputBits = m_inputBits;
    if (outputBits)
        *outputBits = m_outputBits;
    if (count)
        *count = TablesInUse();
    return nullptr;
}

IVeltraError* CVeltraFilterLut::GetLUT(uint16_t* const* tables, int32_t inputBits, int32_t, int32_t count) const
{
    // never more than is stored
    if (!tables || inputBits < 0 || inputBits > m_inputBits || count < 0 || count > TablesInUse())
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadArgument);
    for (int32_t i = 0; i < count; ++i)
        if (tables[i])
            std::memcpy(tables[i], m_user[i].get(), (size_t{1} << inputBits) * sizeof(uint16_t));
    return nullptr;
}

void CVeltraFilterLut::BuildWorkingTable(const uint16_t* t, uint16_t* working, int32_t b) const
{
    const uint32_t n = 1u << m_inputBits, m = 1u << b;
    const uint32_t inMax = n - 1, dMax = m - 1;
    if (inMax < dMax) {
        // enlarged: linear interpolation, the product exact
        uint32_t i = 0, f = 0;
        for (uint32_t j = 0; j < m; ++j) {
            const int64_t a = Rescale(t[i], m_outputBits, b);
            int64_t v = a;
            if (f != 0) {
                const int64_t next = Rescale(t[i + 1], m_outputBits, b);
                v = a + (next - a) * static_cast<int64_t>(f) / static_cast<int64_t>(dMax);
            }
            working[j] = static_cast<uint16_t>(v);
            f += inMax;
            if (f >= dMax) {
                f -= dMax;
                ++i;
            }
        }
    } else {
        // reduced (nearest lower entry) or the same length
        for (uint32_t j = 0; j < m; ++j) {
            const uint32_t i = static_cast<uint32_t>(static_cast<uint64_t>(j) * inMax / dMax);
            working[j] = static_cast<uint16_t>(Rescale(t[i], m_outputBits, b));
        }
    }
}

IVeltraError* CVeltraFilterLut::RebuildWorkingTables(int32_t count, int32_t bits)
{
    const size_t entries = size_t{1} << bits;
    for (int32_t i = 0; i < count; ++i) {
        if (bits != m_workingBits)
            m_working[i].reset();
        if (!m_working[i]) {
            m_working[i].reset(new (std::nothrow) uint16_t[entries]);
            if (!m_working[i])
                return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraOutOfMemory);
        }
        BuildWorkingTable(m_user[i].get(), m_working[i].get(), bits);
    }
    for (int32_t i = count; i < kMaxTables; ++i)
        m_working[i].reset();
    m_rebuild = false;
    m_workingBits = bits;
    return nullptr;
}

IVeltraError* CVeltraFilterLut::ProcessTile(IVeltraTile* tile, CProcessInfo* info)
{
    IVeltraDataSource** sources = nullptr;
    int32_t count = 0;
    SourcesFor(info, &sources, &count);
    TileTarget out(tile);
    if (!out.FindRegion())
        return nullptr;
    if (!sources || count < 1 || !sources[0])
        return NoSourceError(kCode, __LINE__);
    IVeltraDataSource* source = sources[0];

    // build: layout, enough tables, working tables of the source's depth
    int32_t code = 0;
    if (IVeltraError* e = source->GetColorSpace(&code))
        return WRAP(e);
    int32_t planes = 0, bits = 0;
    if (!Layout(code, &planes, &bits))
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadState);
    const int32_t n = TablesInUse();
    if (n < planes)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadArgument);
    if (m_rebuild || bits != m_workingBits)
        if (IVeltraError* e = RebuildWorkingTables(n, bits))
            return e;
    uint16_t* working[kMaxTables] = {m_working[0].get(), m_working[1].get(), m_working[2].get(), m_working[3].get()};
    const int32_t bytesPerPixel = planes * bits / 8;

    // generate
    if (IVeltraError* e = out.Lock())
        return WRAP(e);
    IVeltraError* err = WalkSourceTiles(source, out.region, kCode, bytesPerPixel, [&](const SourceBlock& b) {
        const unsigned char* s = b.bits;
        unsigned char* d = out.At(b.covered.left, b.covered.top, bytesPerPixel);
        const int32_t samples = (b.covered.right - b.covered.left) * planes;
        for (int32_t y = b.covered.top; y < b.covered.bottom; ++y, s += b.rowBytes, d += out.rowBytes) {
            if (bits == 8)
                MapRow<uint8_t>(s, d, samples, planes, working);
            else
                MapRow<uint16_t>(s, d, samples, planes, working);
        }
        return static_cast<IVeltraError*>(nullptr);
    });
    if (IVeltraError* e = out.Finish(err == nullptr))
        err = IVeltraError::AddWorker(&err, kCode, __LINE__, e);
    return WRAP(err);
}
