// Flip and rotate filter: one output tile, by copy paths for the identity and the quarter turns
// and by the nearest source pixel for any other angle.
#include "Caravel/Brisant/TiledSourceReader.h"
#include "Caravel/Brisant/VeltraFilterTransform.h"

#include <cstring>

#define WRAP(e) VELTRA_WRAP(kCode, e)

namespace {

enum class AngleClass { kIdentity, k90, k180, k270, kGeneral };

AngleClass Classify(double r)
{
    if ((r >= 0 && r <= 1e-10) || (r >= 359.9999999999 && r < 360))
        return AngleClass::kIdentity;
    if (r >= 89.9999999999 && r <= 90.0000000001)
        return AngleClass::k90;
    if (r >= 179.9999999999 && r <= 180.0000000001)
        return AngleClass::k180;
    if (r >= 269.9999999999 && r <= 270.0000000001)
        return AngleClass::k270;
    return AngleClass::kGeneral;
}

enum class Step { kRight, kLeft, kUp, kDown };

// Per copy path: the reader's step per output pixel and how the row's source point moves.
struct CopyPath {
    Step step;
    int32_t rowDx;
    int32_t rowDy;
};

CopyPath PathFor(AngleClass a, bool flip)
{
    switch (a) {
    case AngleClass::k90: return flip ? CopyPath{Step::kUp, -1, 0} : CopyPath{Step::kUp, 1, 0};
    case AngleClass::k180: return flip ? CopyPath{Step::kRight, 0, -1} : CopyPath{Step::kLeft, 0, -1};
    case AngleClass::k270: return flip ? CopyPath{Step::kDown, 1, 0} : CopyPath{Step::kDown, -1, 0};
    default: return flip ? CopyPath{Step::kLeft, 0, 1} : CopyPath{Step::kRight, 0, 1};
    }
}

IVeltraError* TakeStep(TiledSourceReader& reader, Step step)
{
    switch (step) {
    case Step::kRight: return reader.StepRight();
    case Step::kLeft: return reader.StepLeft();
    case Step::kUp: return reader.StepUp();
    default: return reader.StepDown();
    }
}

}  // namespace

IVeltraError* CVeltraFilterTransform::ProcessTile(IVeltraTile* tile, CProcessInfo* info)
{
    IVeltraDataSource** sources = nullptr;
    int32_t count = 0;
    SourcesFor(info, &sources, &count);

    // 1. preparation
    TileTarget out(tile);
    if (!out.FindRegion())
        return nullptr;
    if (!sources || count < 1 || !sources[0])
        return NoSourceError(kCode, __LINE__);
    int32_t colorSpace = 0;
    if (IVeltraError* e = GetFilteredColorSpace(sources, count, &colorSpace))
        return WRAP(e);
    const int32_t bytes = IVeltraDataSource::GetBitsPerPixel(colorSpace) / 8;
    if (bytes <= 0)
        return IVeltraError::Add(nullptr, kCode, __LINE__, "Bad source data color space");
    bool flip = false;
    double rotation = 0;
    if (IVeltraError* e = GetRelativeTransform(&flip, &rotation, sources, count))
        return WRAP(e);
    int32_t sx = out.region.left, sy = out.region.top;
    if (IVeltraError* e = DefilterPoint(&sx, &sy, sources, count))
        return WRAP(e);
    TiledSourceReader reader(sources[0], 2, 1, 1);
    if (IVeltraError* e = reader.MoveTo(sx, sy))
        return WRAP(e);
    if (IVeltraError* e = out.Lock())
        return WRAP(e);

    IVeltraError* err = nullptr;
    const AngleClass angle = Classify(rotation);
    if (angle != AngleClass::kGeneral) {
        // 2. copy paths: one reader step per output pixel; a failed step stops the tile
        const CopyPath path = PathFor(angle, flip);
        for (int32_t y = out.region.top; y < out.region.bottom && !err; ++y) {
            if ((err = reader.MoveTo(sx, sy)))
                break;
            unsigned char* dst = out.At(out.region.left, y, bytes);
            for (int32_t x = out.region.left; x < out.region.right; ++x, dst += bytes) {
                CPixelPtr::CopyOne(dst, reader.Pixel(), bytes);
                if ((err = TakeStep(reader, path.step)))
                    break;
            }
            sx += path.rowDx;
            sy += path.rowDy;
        }
    } else {
        // 3. any other angle: the nearest source pixel of each output pixel, zero outside
        int32_t w = 0, h = 0;
        err = sources[0]->GetSize(&w, &h);
        const SourceMapping mapping(w, h, flip, rotation);
        for (int32_t y = out.region.top; y < out.region.bottom && !err; ++y) {
            unsigned char* dst = out.At(out.region.left, y, bytes);
            for (int32_t x = out.region.left; x < out.region.right; ++x, dst += bytes) {
                int32_t px = x, py = y;
                mapping.Map(&px, &py);
                if (px < 0 || py < 0 || px >= w || py >= h) {
                    std::memset(dst, 0, static_cast<size_t>(bytes));
                    continue;
                }
                if ((err = reader.MoveTo(px, py)))
                    break;
                CPixelPtr::CopyOne(dst, reader.Pixel(), bytes);
            }
        }
    }
    if (IVeltraError* e = out.Finish(err == nullptr))
        err = IVeltraError::AddWorker(&err, kCode, __LINE__, e);
    return WRAP(err);
}
