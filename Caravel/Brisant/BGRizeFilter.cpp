#include "Caravel/Brisant/BGRizeFilter.h"

#include <cstring>

#define WRAP(e) VELTRA_WRAP(kCode, e)

namespace {

bool Accepted(int32_t code)
{
    return code == 2 || code == 3 || code == 32 || code == 33;
}

inline unsigned char High(const unsigned char* p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return static_cast<unsigned char>(v >> 8);
}

// n pixels of one row into B, G, R bytes.
void ConvertRow(int32_t code, const unsigned char* s, unsigned char* d, int32_t n)
{
    switch (code) {
    case 2:
        for (int32_t i = 0; i < n; ++i, d += 3)
            d[0] = d[1] = d[2] = s[i];
        break;
    case 3:
        for (int32_t i = 0; i < n; ++i, d += 3)
            d[0] = d[1] = d[2] = High(s + 2 * i);
        break;
    case 32:
        for (int32_t i = 0; i < n; ++i, d += 3, s += 3) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
        }
        break;
    case 33:
        for (int32_t i = 0; i < n; ++i, d += 3, s += 6) {
            d[0] = High(s + 4);
            d[1] = High(s + 2);
            d[2] = High(s);
        }
        break;
    default: break;
    }
}

void FillHeader(VeltraBitmapHeader* h, int32_t t, int32_t rowBytes)
{
    h->biSize = 40;
    h->biWidth = t;
    h->biHeight = -t;  // rows run top-down
    h->biPlanes = 1;
    h->biBitCount = 24;
    h->biCompression = 0;
    h->biSizeImage = static_cast<uint32_t>(rowBytes) * static_cast<uint32_t>(t);
    h->biXPelsPerMeter = 3880;
    h->biYPelsPerMeter = 3880;
    h->biClrUsed = 0;
    h->biClrImportant = 0;
}

}  // namespace

CBGRizeFilter::CBGRizeFilter(IVeltraManager* manager) : CVeltraFilterBase(manager, 1) {}

CBGRizeFilter::~CBGRizeFilter() = default;

IVeltraError* CBGRizeFilter::GetFilteredColorSpace(IVeltraDataSource** sources, int32_t count, int32_t* colorSpace)
{
    IVeltraDataSource** list = nullptr;
    int32_t n = 0;
    SourcesOrOwn(sources, count, &list, &n);
    if (!list || n < 1 || !list[0])
        return NoSourceError(kCode, __LINE__);
    int32_t code = 0;
    if (IVeltraError* e = list[0]->GetColorSpace(&code))
        return WRAP(e);
    if (!Accepted(code))
        return IVeltraError::Add(nullptr, kCode, __LINE__, "Bad source data color space");
    *colorSpace = kOutputCode;
    return nullptr;
}

IVeltraError* CBGRizeFilter::FilterColorSpace(IVeltraDataSource*, IVeltraDataDestination::ChangeColorSpace*)
{
    // the output code stays 38, but every pixel may have changed: say so downstream
    m_changed = true;
    if (!HasSource())
        return nullptr;
    int32_t w = 0, h = 0;
    if (IVeltraError* e = m_sources[0]->GetSize(&w, &h))
        return WRAP(e);
    VeltraRect all{0, 0, w, h};
    return WRAP(VeltraSendDataNotification(this, kVeltraNotifyData, &all));
}

IVeltraError* CBGRizeFilter::ProcessTile(IVeltraTile* tile, CProcessInfo* info)
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

    // build: the source layout and the tile side for the header
    int32_t code = 0;
    if (IVeltraError* e = source->GetColorSpace(&code))
        return WRAP(e);
    if (!Accepted(code))
        return IVeltraError::Add(nullptr, kCode, __LINE__, "Bad source data color space");
    const int32_t sourceBytes = IVeltraDataSource::GetBitsPerPixel(code) / 8;
    IVeltraImage* holder = tile->GetImage();
    int32_t t = 0;
    if (!holder)
        return IVeltraError::Add(nullptr, kCode, __LINE__, 0, kVeltraBadState);
    if (IVeltraError* e = holder->GetTileSize(&t))
        return WRAP(e);

    // lock with the header and describe the tile as a top-down 24-bit bitmap
    void* p = nullptr;
    VeltraBitmapHeader* header = nullptr;
    if (IVeltraError* e = tile->LockBits(&p, &header))
        return WRAP(e);
    if (header)
        FillHeader(header, t, tile->GetRowBytes());
    if (IVeltraError* e = tile->UnlockBits())  // the target below holds its own lock
        return WRAP(e);
    if (IVeltraError* e = out.Lock())
        return WRAP(e);

    // generate
    IVeltraError* err = WalkSourceTiles(source, out.region, kCode, sourceBytes, [&](const SourceBlock& b) {
        const unsigned char* s = b.bits;
        unsigned char* d = out.At(b.covered.left, b.covered.top, 3);
        const int32_t n = b.covered.right - b.covered.left;
        for (int32_t y = b.covered.top; y < b.covered.bottom; ++y, s += b.rowBytes, d += out.rowBytes)
            ConvertRow(code, s, d, n);
        return static_cast<IVeltraError*>(nullptr);
    });
    if (IVeltraError* e = out.Finish(err == nullptr))
        err = IVeltraError::AddWorker(&err, kCode, __LINE__, e);
    return WRAP(err);
}
