#pragma once
// Table lookups shared by the browser, the built-in viewer and the transfer:
// thumbnail sizes, frame and count bitmaps, picture-size buttons, orientation,
// zoom steps and the long-side fit.
#include <cstdint>

struct BitmapIdPair {
    int normal = 0;
    int selected = 0;
};

struct PixelSize {
    int32_t width = 0;
    int32_t height = 0;
};

// Index 0-4 to 64, 96, 128, 192, 256; 0 otherwise.
int ThumbIndexToSize(int index);
// Thumbnail size to its cell edge (size + 6); 0 for a size not in the table.
int ThumbSizeToCellSize(int size);
// The 4:3 picture box of a thumbnail size; other sizes come back unchanged (size x size).
PixelSize ThumbSizeToImageSize(int size);
// Frame bitmaps (normal, selected) of a thumbnail size; flag 1 gives the active-pane set.
BitmapIdPair GetThumbFrameBitmapIds(int size, int flag);
// Bitmap set of the size button: 13-17, 13 for a size not in the table.
int ThumbSizeToSizeIndex(int size);
// Busy-animation bitmap of a frame count 1-9 (386-394); 386 otherwise.
int CountToBitmapId(int count);
// Bitmap set of the picture-size button for ImageSize 0-3: 18 + language index, 23, 24, 25.
int ImageSizeButtonSet(int kind, int languageIndex);
// Quarter turns 0-3 to the TIFF/EXIF orientation 1, 8, 3, 6; 1 otherwise.
int RotationToOrientation(int quarterTurns);
// Next zoom step up or down; 0 past either end; 100 for a value not in the table.
int GetZoomStep(int current, bool up);
// The longer side (height when equal) becomes the limit rounded down to a
// multiple of 4, the other its proportional share rounded down to a multiple of
// 4. Neither side ever falls below 4. Sides that are not positive give 0 x 0.
PixelSize FitToLongSide(int32_t width, int32_t height, int32_t limit);
