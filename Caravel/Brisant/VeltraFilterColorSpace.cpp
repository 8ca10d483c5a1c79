#include "Caravel/Brisant/VeltraFilterColorSpace.h"

#include <cstring>

#define WRAP(e) VELTRA_WRAP(kCode, e)

namespace {

// Index of the four codes the filter converts: 2, 3, 32, 33; -1 for any other.
int32_t CodeIndex(int32_t code)
{
    switch (code) {
    case 2: return 0;
    case 3: return 1;
    case 32: return 2;
    case 33: return 3;
    default: return -1;
    }
}

bool Convertible(int32_t code)
{
    return CodeIndex(code) >= 0;
}

inline uint16_t Load16(const unsigned char* p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline void Store16(unsigned char* p, uint32_t v)
{
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(p, &w, 2);
}

inline uint32_t Grey(uint32_t r, uint32_t g, uint32_t b)
{
    return (2 * r + 5 * g + b) >> 3;
}

// Converts n pixels of one row; case = source index x 4 + output index.
void ConvertRow(int32_t conversion, const unsigned char* s, unsigned char* d, int32_t n)
{
    switch (conversion) {
    case 0: std::memcpy(d, s, static_cast<size_t>(n)); break;                                      // 2 -> 2
    case 1: for (int32_t i = 0; i < n; ++i) Store16(d + 2 * i, s[i] * 257u); break;                // 2 -> 3
    case 2: for (int32_t i = 0; i < n; ++i) d[3 * i] = d[3 * i + 1] = d[3 * i + 2] = s[i]; break;  // 2 -> 32
    case 3:                                                                                        // 2 -> 33
        for (int32_t i = 0; i < n; ++i) {
            const uint32_t w = s[i] * 257u;
            Store16(d + 6 * i, w);
            Store16(d + 6 * i + 2, w);
            Store16(d + 6 * i + 4, w);
        }
        break;
    case 4: for (int32_t i = 0; i < n; ++i) d[i] = static_cast<unsigned char>(Load16(s + 2 * i) >> 8); break; // 3 -> 2
    case 5: std::memcpy(d, s, static_cast<size_t>(n) * 2); break;                                  // 3 -> 3
    case 6:                                                                                        // 3 -> 32
        for (int32_t i = 0; i < n; ++i)
            d[3 * i] = d[3 * i + 1] = d[3 * i + 2] = static_cast<unsigned char>(Load16(s + 2 * i) >> 8);
        break;
    case 7:                                                                                        // 3 -> 33
        for (int32_t i = 0; i < n; ++i) {
            std::memcpy(d + 6 * i, s + 2 * i, 2);
            std::memcpy(d + 6 * i + 2, s + 2 * i, 2);
            std::memcpy(d + 6 * i + 4, s + 2 * i, 2);
        }
        break;
    case 8:                                                                                        // 32 -> 2
        for (int32_t i = 0; i < n; ++i)
            d[i] = static_cast<unsigned char>(Grey(s[3 * i], s[3 * i + 1], s[3 * i + 2]));
        break;
    case 9:                                                                                        // 32 -> 3
        for (int32_t i = 0; i < n; ++i)
            Store16(d + 2 * i, Grey(s[3 * i] * 257u, s[3 * i + 1] * 257u, s[3 * i + 2] * 257u));
        break;
    case 10: std::memcpy(d, s, static_cast<size_t>(n) * 3); break;                                 // 32 -> 32
    case 11:                                                                                       // 32 -> 33
        for (int32_t i = 0; i < 3 * n; ++i)
            Store16(d + 2 * i, s[i] * 257u);
        break;
    case 12:                                                                                       // 33 -> 2
        for (int32_t i = 0; i < n; ++i)
            d[i] = static_cast<unsigned char>(Grey(Load16(s + 6 * i), Load16(s + 6 * i + 2), Load16(s + 6 * i + 4)) >> 8);
        break;
    case 13:                                                                                       // 33 -> 3
        for (int32_t i = 0; i < n; ++i)
            Store16(d + 2 * i, Grey(Load16(s + 6 * i), Load16(s + 6 * i + 2), Load16(s + 6 * i + 4)));
        break;
    case 14:                                                                                       // 33 -> 32
        for (int32_t i = 0; i < 3 * n; ++i)
            d[i] = static_cast<unsigned char>(Load16(s + 2 * i) >> 8);  // the high byte
        break;
    case 15: std::memcpy(d, s, static_cast<size_t>(n) * 6); break;                                 // 33 -> 33
    default: break;
    }
}

}  // namespace

CVeltraFilterColorSpace::CVeltraFilterColorSpace(IVeltraManager* manager) : CVeltraFilterBase(manager, 1)
{
    m_passThrough = true;  // nothing to convert yet
}

CVeltraFilterColorSpace::~CVeltraFilterColorSpace() = default;

int32_t CVeltraFilterColorSpace::DoColorSpaceFiltering(int32_t sourceCode) const
{
    int32_t planes = m_outputColorSpace;
    int32_t depth = m_outputBitDepth;
    if (planes == 0 || depth == 0) {
        int32_t p = 0, d = 0;
        switch (sourceCode) {
        case 2: p = 1; d = 1; break;
        case 3: p = 1; d = 2; break;
        case 32: p = 2; d = 1; break;
        case 33: p = 2; d = 2; break;
        default: break;
        }
        if (planes == 0)
            planes = p;
        if (depth == 0)
            depth = d;
    }
    if (planes == 1 && depth == 1) return 2;
    if (planes == 1 && depth == 2) return 3;
    if (planes == 2 && depth == 1) return 32;
    if (planes == 2 && depth == 2) return 33;
    return 0;
}

IVeltraError* CVeltraFilterColorSpace::GetFilteredColorSpace(IVeltraDataSource** sources, int32_t count,
                                                             int32_t* colorSpace)
{
    if (m_outputColorSpace != 0 && m_outputBitDepth != 0) {
        *colorSpace = DoColorSpaceFiltering(0);
        return nullptr;
    }
    IVeltraDataSource** list = nullptr;
    int32_t n = 0;
    SourcesOrOwn(sources, count, &list, &n);
    if (!list || n < 1 || !list[0])
        return NoSourceError(kCode, __LINE__);
    int32_t code = 0;
    if (IVeltraError* e = list[0]->GetColorSpace(&code))
        return WRAP(e);
    *colorSpace = DoColorSpaceFiltering(code);
    return nullptr;
}

IVeltraError* CVeltraFilterColorSpace::ApplyPassThroughRule()
{
    m_passThrough = m_outputColorSpace == 0 && m_outputBitDepth == 0;
    if (m_passThrough || !HasSource())
        return nullptr;
    int32_t code = 0;
    if (IVeltraError* e = m_sources[0]->GetColorSpace(&code))
        return WRAP(e);
    if (Convertible(code))
        m_passThrough = code == DoColorSpaceFiltering(code);
    return nullptr;
}

IVeltraError* CVeltraFilterColorSpace::SetOutputColorSpace(eOutputColorSpace colorSpace, eOutputBitDepth depth,
                                                           bool notify)
{
    if (colorSpace == m_outputColorSpace && depth == m_outputBitDepth)
        return nullptr;
    const bool connected = HasSource();
    IVeltraDataDestination::ChangeColorSpace change{0, 0};
    if (connected && notify && IsEnabled())
        if (IVeltraError* e = GetColorSpace(&change.oldColorSpace))
            return WRAP(e);
    m_outputColorSpace = colorSpace;
    m_outputBitDepth = depth;
    m_changed = true;
    if (IVeltraError* e = ApplyPassThroughRule())
        return e;
    if (!notify || !IsEnabled())
        return nullptr;
    if (connected)
        if (IVeltraError* e = GetColorSpace(&change.newColorSpace))
            return WRAP(e);
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyColorSpace, &change));
}

IVeltraError* CVeltraFilterColorSpace::VeltraAddedDataSource(const IVeltraDataSource* source)
{
    if (IVeltraError* e = CVeltraFilterBase::VeltraAddedDataSource(source))
        return WRAP(e);
    return ApplyPassThroughRule();
}

IVeltraError* CVeltraFilterColorSpace::VeltraRemovedDataSource(const IVeltraDataSource* source)
{
    if (IVeltraError* e = CVeltraFilterBase::VeltraRemovedDataSource(source))
        return WRAP(e);
    return ApplyPassThroughRule();
}

IVeltraError* CVeltraFilterColorSpace::FilterUpdateAll(IVeltraDataSource* source)
{
    if (IVeltraError* e = ApplyPassThroughRule())
        return e;
    return WRAP(CVeltraFilterBase::FilterUpdateAll(source));
}

IVeltraError* CVeltraFilterColorSpace::FilterColorSpace(IVeltraDataSource* source,
                                                        IVeltraDataDestination::ChangeColorSpace* change)
{
    if (!change)
        return WRAP(CVeltraFilterBase::FilterColorSpace(source, change));
    m_passThrough = m_outputColorSpace == 0 && m_outputBitDepth == 0;
    const bool connected = HasSource();
    const int32_t oldOut = DoColorSpaceFiltering(change->oldColorSpace);
    const int32_t newOut = DoColorSpaceFiltering(change->newColorSpace);
    if (!m_passThrough && connected)
        m_passThrough = change->newColorSpace == newOut;
    if (newOut != oldOut)
        return WRAP(CVeltraFilterBase::FilterColorSpace(source, change));
    // the output code stays: every pixel changed, the description did not
    m_changed = true;
    int32_t w = 0, h = 0;
    if (!connected)
        return nullptr;
    if (IVeltraError* e = m_sources[0]->GetSize(&w, &h))
        return WRAP(e);
    VeltraRect all{0, 0, w, h};
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyData, &all));
}

IVeltraError* CVeltraFilterColorSpace::ProcessTile(IVeltraTile* tile, CProcessInfo* info)
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

    // build: source and output layouts, the conversion case
    int32_t sourceCode = 0;
    if (IVeltraError* e = source->GetColorSpace(&sourceCode))
        return WRAP(e);
    const int32_t outputCode = DoColorSpaceFiltering(sourceCode);
    const int32_t sourceBytes = IVeltraDataSource::GetBitsPerPixel(sourceCode) / 8;
    const int32_t outputBytes = IVeltraDataSource::GetBitsPerPixel(outputCode) / 8;
    const int32_t sourceIndex = CodeIndex(sourceCode);
    if (sourceIndex < 0)
        return IVeltraError::Add(nullptr, kCode, __LINE__, "Bad source data color space");
    const int32_t outputIndex = CodeIndex(outputCode);
    if (outputIndex < 0)
        return IVeltraError::Add(nullptr, kCode, __LINE__, "Bad destination data color space");
    const int32_t conversion = sourceIndex * 4 + outputIndex;

    // generate: walk the source tiles over the region, converting each covered block row by row
    if (IVeltraError* e = out.Lock())
        return WRAP(e);
    IVeltraError* err = WalkSourceTiles(source, out.region, kCode, sourceBytes, [&](const SourceBlock& b) {
        const unsigned char* s = b.bits;
        unsigned char* d = out.At(b.covered.left, b.covered.top, outputBytes);
        const int32_t n = b.covered.right - b.covered.left;
        for (int32_t y = b.covered.top; y < b.covered.bottom; ++y, s += b.rowBytes, d += out.rowBytes)
            ConvertRow(conversion, s, d, n);
        return static_cast<IVeltraError*>(nullptr);
    });
    if (IVeltraError* e = out.Finish(err == nullptr))
        err = IVeltraError::AddWorker(&err, kCode, __LINE__, e);
    return WRAP(err);
}
