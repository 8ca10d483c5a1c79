#include "outside/veltra/VeltraDataSource.h"

#include "outside/veltra/VeltraGraph.h"
#include "outside/veltra/VeltraTile.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr int32_t kModule = 0;

}  // namespace

IVeltraDataSource::~IVeltraDataSource()
{
    VeltraForgetSource(this);
}

IVeltraError* IVeltraDataSource::VeltraAddDataDestinationCheck(const IVeltraDataDestination*) { return nullptr; }
IVeltraError* IVeltraDataSource::VeltraRemoveDataDestinationCheck(const IVeltraDataDestination*) { return nullptr; }
IVeltraError* IVeltraDataSource::VeltraAddedDataDestination(const IVeltraDataDestination*) { return nullptr; }
IVeltraError* IVeltraDataSource::VeltraRemovedDataDestination(const IVeltraDataDestination*) { return nullptr; }

IVeltraError* IVeltraDataSource::GetPixel(VeltraPixel* pixel, int32_t x, int32_t y)
{
    if (!pixel)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    int32_t w = 0, h = 0, t = 0, cs = 0;
    if (IVeltraError* e = GetSize(&w, &h))
        return VELTRA_WRAP(kModule, e);
    if (x < 0 || y < 0 || x >= w || y >= h)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadArgument);
    if (IVeltraError* e = GetTileSize(&t))
        return VELTRA_WRAP(kModule, e);
    if (IVeltraError* e = GetColorSpace(&cs))
        return VELTRA_WRAP(kModule, e);
    int32_t rowBytes = RowBytesFor(t, cs);
    void* bits = nullptr;
    if (IVeltraError* e = LockTile(&bits, x / t, y / t, nullptr))
        return VELTRA_WRAP(kModule, e);
    const int32_t bpp = GetBitsPerPixel(cs);
    int32_t planes = 0, sampleBits = 0;
    GetSampleLayout(cs, &planes, &sampleBits);
    const unsigned char* row = static_cast<const unsigned char*>(bits) + static_cast<size_t>(y % t) * rowBytes;
    *pixel = VeltraPixel{};
    if (sampleBits == 1) {
        pixel->components = 1;
        const int32_t bit = (x % t) * bpp;
        pixel->value[0] = static_cast<uint16_t>((row[bit / 8] >> (7 - bit % 8)) & 1);
    } else {
        pixel->components = std::min(planes, 4);
        const unsigned char* p = row + static_cast<size_t>(x % t) * (bpp / 8);
        for (int32_t c = 0; c < pixel->components; ++c) {
            if (sampleBits == 16) {
                uint16_t v;
                std::memcpy(&v, p + 2 * c, 2);
                pixel->value[c] = v;
            } else {
                pixel->value[c] = p[c];
            }
        }
    }
    return VELTRA_WRAP(kModule, UnlockTile(x / t, y / t));
}

IVeltraError* IVeltraDataSource::GetSize(int32_t* width, int32_t* height)
{
    if (IVeltraError* e = GetWidth(width))
        return e;
    return GetHeight(height);
}

IVeltraError* IVeltraDataSource::GetTransform(bool* flip, double* rotation)
{
    if (IVeltraError* e = GetFlip(flip))
        return e;
    return GetRotation(rotation);
}

IVeltraError* IVeltraDataSource::GetRowBytes(int32_t* rowBytes)
{
    int32_t t = 0, cs = 0;
    if (IVeltraError* e = GetTileSize(&t))
        return e;
    if (IVeltraError* e = GetColorSpace(&cs))
        return e;
    *rowBytes = RowBytesFor(t, cs);
    return nullptr;
}

int32_t IVeltraDataSource::GetBitsPerPixel(int32_t colorSpace)
{
    if (colorSpace & 0x10000)
        return (colorSpace & 0xFFFF) * 8;
    switch (colorSpace) {
    case 1: case 16: case 17: case 18:
        return 1;
    case 2: case 19:
        return 8;
    case 3: case 64: case 65:
        return 16;
    case 32: case 38: case 39:
        return 24;
    case 34:
        return 32;
    case 33: case 35: case 36: case 37:
        return 48;
    default:
        return 0;
    }
}

bool IVeltraDataSource::GetSampleLayout(int32_t colorSpace, int32_t* planes, int32_t* bitsPerSample)
{
    int32_t p = 0, b = 0;
    switch (colorSpace) {
    case 1: case 16: case 17: case 18: p = 1; b = 1; break;
    case 2: case 19: p = 1; b = 8; break;
    case 3: case 64: case 65: p = 1; b = 16; break;
    case 32: case 38: case 39: p = 3; b = 8; break;
    case 34: p = 4; b = 8; break;
    case 33: case 35: case 36: case 37: p = 3; b = 16; break;
    default: return false;
    }
    if (planes)
        *planes = p;
    if (bitsPerSample)
        *bitsPerSample = b;
    return true;
}

int32_t IVeltraDataSource::RowBytesFor(int32_t pixels, int32_t colorSpace)
{
    const int64_t bits = static_cast<int64_t>(pixels) * GetBitsPerPixel(colorSpace);
    return static_cast<int32_t>(((bits + 31) / 32) * 4);
}
