#include "viewer/browser/view/ThumbGrid.h"

int32_t GridColumns(int32_t paneWidth, int32_t thumbSize) {
    const int32_t pitch = thumbSize + 21;
    const int32_t c = pitch > 0 ? paneWidth / pitch : 0;
    return c < 1 ? 1 : c;
}

GridCell CellForIndex(int32_t index, int32_t paneWidth, int32_t thumbSize) {
    const int32_t n = index + 1;
    const int32_t c = GridColumns(paneWidth, thumbSize);
    GridCell cell;
    if (n < c)
        cell.row = 1;
    else
        cell.row = n / c + (n % c != 0 ? 1 : 0);
    cell.column = n % c != 0 ? n % c : c;
    cell.left = cell.column * (thumbSize + 21) - thumbSize - 6;
    cell.top = cell.row * (thumbSize + 36) - thumbSize - 6;
    return cell;
}

void CentreThumbnail(const GridCell& cell, int32_t thumbSize, int32_t bitmapWidth, int32_t bitmapHeight,
                     int32_t* x, int32_t* y) {
    *x = cell.left + 3;
    *y = cell.top + 3;
    if (bitmapHeight <= bitmapWidth)
        *y += (thumbSize - bitmapHeight) / 2;
    else
        *x += (thumbSize - bitmapWidth) / 2;
}

GridRect ItemRect(int32_t left, int32_t top, int32_t thumbSize) {
    return GridRect{left, top - 15, left + thumbSize + 6, top + thumbSize + 30};
}

int32_t ContentHeightForCount(int32_t count, int32_t perItem) { return perItem * count + 30; }
