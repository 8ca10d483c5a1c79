#pragma once
// Where a thumbnail sits in the browser's grid. Cells are S + 21 pixels across
// and S + 36 down; the first cell's rectangle starts at (15, 30).
#include <cstdint>

struct GridCell {
    int32_t row = 1;      // from 1
    int32_t column = 1;   // from 1
    int32_t left = 0;     // the cell's corner in pane coordinates
    int32_t top = 0;
};

struct GridRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Columns of a pane paneWidth wide; never fewer than one, so that a pane
// narrower than a cell still places its items one under the other.
int32_t GridColumns(int32_t paneWidth, int32_t thumbSize);
// The cell of the item at index (from 0).
GridCell CellForIndex(int32_t index, int32_t paneWidth, int32_t thumbSize);
// The thumbnail's corner: centred in the S x S square at (left + 3, top + 3).
void CentreThumbnail(const GridCell& cell, int32_t thumbSize, int32_t bitmapWidth, int32_t bitmapHeight,
                     int32_t* x, int32_t* y);
// The item's full rectangle, name line and frame included.
GridRect ItemRect(int32_t left, int32_t top, int32_t thumbSize);
// Content height the pane needs for count items before they are placed.
int32_t ContentHeightForCount(int32_t count, int32_t perItem);
