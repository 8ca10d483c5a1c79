#include "viewer/shell/common/ViewTables.h"

#include <array>

namespace {

constexpr std::array<int, 5> kThumbSizes = {64, 96, 128, 192, 256};
constexpr std::array<int, 13> kZoomSteps = {12, 16, 25, 33, 50, 66, 100, 150, 200, 300, 400, 600, 800};
// Frame bitmaps per thumbnail size: {flag 0 normal, flag 0 selected, flag 1 normal, flag 1 selected}.
constexpr std::array<std::array<int, 4>, 5> kFrameBitmaps = {{
    {429, 431, 430, 432},
    {433, 435, 434, 436},
    {437, 439, 438, 440},
    {441, 443, 442, 444},
    {445, 447, 446, 448},
}};
constexpr int kMinSide = 4;

int ThumbSizeIndex(int size)
{
    for (std::size_t i = 0; i < kThumbSizes.size(); ++i)
        if (kThumbSizes[i] == size)
            return static_cast<int>(i);
    return -1;
}

int32_t RoundDownTo4(int64_t v)
{
    const int64_t r = v & ~int64_t{3};
    return static_cast<int32_t>(r < kMinSide ? kMinSide : r);
}

}  // namespace

int ThumbIndexToSize(int index)
{
    return index >= 0 && index < static_cast<int>(kThumbSizes.size()) ? kThumbSizes[static_cast<std::size_t>(index)] : 0;
}

int ThumbSizeToCellSize(int size)
{
    return ThumbSizeIndex(size) >= 0 ? size + 6 : 0;
}

PixelSize ThumbSizeToImageSize(int size)
{
    if (ThumbSizeIndex(size) < 0)
        return {size, size};
    return {size, size * 3 / 4};
}

BitmapIdPair GetThumbFrameBitmapIds(int size, int flag)
{
    const int i = ThumbSizeIndex(size);
    if (i < 0)
        return {};
    const auto& row = kFrameBitmaps[static_cast<std::size_t>(i)];
    return flag ? BitmapIdPair{row[2], row[3]} : BitmapIdPair{row[0], row[1]};
}

int ThumbSizeToSizeIndex(int size)
{
    const int i = ThumbSizeIndex(size);
    return 13 + (i < 0 ? 0 : i);
}

int CountToBitmapId(int count)
{
    return count >= 1 && count <= 9 ? 385 + count : 386;
}

int ImageSizeButtonSet(int kind, int languageIndex)
{
    switch (kind) {
    case 1:
        return 23;
    case 2:
        return 24;
    case 3:
        return 25;
    default:
        return 18 + languageIndex;
    }
}

int RotationToOrientation(int quarterTurns)
{
    switch (quarterTurns) {
    case 1:
        return 8;
    case 2:
        return 3;
    case 3:
        return 6;
    default:
        return 1;
    }
}

int GetZoomStep(int current, bool up)
{
    for (std::size_t i = 0; i < kZoomSteps.size(); ++i) {
        if (kZoomSteps[i] != current)
            continue;
        if (up)
            return i + 1 < kZoomSteps.size() ? kZoomSteps[i + 1] : 0;
        return i > 0 ? kZoomSteps[i - 1] : 0;
    }
    return 100;
}

PixelSize FitToLongSide(int32_t width, int32_t height, int32_t limit)
{
    if (width <= 0 || height <= 0)
        return {};
    const int32_t side = RoundDownTo4(limit);
    const bool heightLonger = height >= width;
    const int64_t longer = heightLonger ? height : width;
    const int64_t other = heightLonger ? width : height;
    // ceil(other / longer x side), in integers
    const int32_t share = RoundDownTo4((other * side + longer - 1) / longer);
    return heightLonger ? PixelSize{share, side} : PixelSize{side, share};
}
