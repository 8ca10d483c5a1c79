#include "viewer/browser/PictureDrawing.h"

#include "platform/gdi/Dib.h"

#include <cmath>

namespace {

// Real pixels of the last tile column (the stored column is padded to 4).
uint32_t RealLastColumn(const PictureRecord& r) {
    if (r.tilesAcross == 0 || r.tileWidth == 0) return 0;
    const uint32_t rest = r.width - (r.tilesAcross - 1) * r.tileWidth;
    return rest == r.tileWidth ? 0 : rest;
}

int32_t Scale(uint32_t v, double zoom) { return int32_t(std::trunc(double(v) * zoom)); }

}  // namespace

ScaledTiles ScaleTiles(const PictureRecord& r, double zoom) {
    ScaledTiles s;
    s.tileWidth = Scale(r.tileWidth, zoom);
    s.tileHeight = Scale(r.tileHeight, zoom);
    const uint32_t lastColumn = r.lastColumnWidth ? RealLastColumn(r) : 0;
    s.lastColumnWidth = lastColumn ? Scale(lastColumn, zoom) : s.tileWidth;
    s.lastRowHeight = r.lastRowHeight ? Scale(r.lastRowHeight, zoom) : s.tileHeight;
    if (r.tilesDown > 0) s.totalHeight = s.lastRowHeight + int32_t(r.tilesDown - 1) * s.tileHeight;
    if (r.tilesAcross > 0) s.totalWidth = s.lastColumnWidth + int32_t(r.tilesAcross - 1) * s.tileWidth;
    return s;
}

int32_t DrawPictureTiles(plat::gdi::Surface& dc, const PictureRecord& r, const std::atomic<bool>& keepDrawing,
                         const DrawRect& clip, double zoom, int32_t scrollX, int32_t scrollY) {
    if (r.blocks.empty() || r.blocks.size() < size_t(r.tilesAcross) * r.tilesDown) return 1;
    const ScaledTiles s = ScaleTiles(r, zoom);
    const uint32_t realLast = RealLastColumn(r);
    int32_t y = s.totalHeight;
    for (uint32_t row = 0; row < r.tilesDown; ++row) {
        const int32_t h = row + 1 == r.tilesDown ? s.lastRowHeight : s.tileHeight;
        y -= h;
        int32_t x = 0;
        for (uint32_t col = 0; col < r.tilesAcross; ++col) {
            const bool last = col + 1 == r.tilesAcross;
            const int32_t w = last ? s.lastColumnWidth : s.tileWidth;
            const BitmapRecord& tile = r.blocks[size_t(row) * r.tilesAcross + col];
            const DrawRect dest{x, y, x + w, y + h};
            if (!keepDrawing.load()) return 1;
            if (dest.Intersects(clip)) {
                const int32_t sourceWidth = last && realLast ? int32_t(realLast) : int32_t(tile.width);
                dc.stretchDibPart(x - scrollX, y - scrollY, w, h, 0, 0, sourceWidth, int32_t(tile.height),
                                  tile.block.data(), tile.block.size());
            }
            x += w;
        }
    }
    return 1;
}

bool RotateThumbnailTile(PictureRecord& record, int32_t direction) {
    if (record.blocks.empty()) return true;
    BitmapRecord& tile = record.blocks.front();
    plat::gdi::DibHeader h;
    if (!plat::gdi::readDibHeader(tile.block.data(), tile.block.size(), &h)) return false;
    const uint32_t w = uint32_t(h.width), ht = uint32_t(h.height), bpp = h.bitCount / 8u;
    std::vector<uint8_t> turned = plat::gdi::makeDib(ht, w, h.bitCount);
    if (turned.empty()) return false;
    const uint32_t oldStride = plat::gdi::dibStride(w, h.bitCount);
    const uint32_t newStride = plat::gdi::dibStride(ht, h.bitCount);
    const uint8_t* src = tile.block.data() + plat::gdi::dibBitsOffset(h);
    uint8_t* dst = turned.data() + plat::gdi::dibBitsOffset(h);
    // Coordinates from the top left; rows are stored bottom-up.
    for (uint32_t ny = 0; ny < w; ++ny) {
        for (uint32_t nx = 0; nx < ht; ++nx) {
            const uint32_t sx = direction == 1 ? ny : w - 1 - ny;
            const uint32_t sy = direction == 1 ? ht - 1 - nx : nx;
            const uint8_t* s = src + size_t(ht - 1 - sy) * oldStride + sx * bpp;
            uint8_t* d = dst + size_t(w - 1 - ny) * newStride + nx * bpp;
            for (uint32_t k = 0; k < bpp; ++k) d[k] = s[k];
        }
    }
    tile.block = std::move(turned);
    tile.size = uint32_t(tile.block.size());
    tile.headerSize = plat::gdi::dibBitsOffset(h);
    std::swap(tile.width, tile.height);
    std::swap(record.width, record.height);
    std::swap(record.tileWidth, record.tileHeight);
    record.lastColumnWidth = 0;
    record.lastRowHeight = 0;
    return true;
}

int32_t RotateSelectedThumbnails(BrowserItemList& items, int32_t direction) {
    for (BrowserItem& item : items) {
        if (!item.selected || !item.record || item.record->movie) continue;
        if (!RotateThumbnailTile(*item.record, direction)) return 0;
        int32_t& turns = item.record->rotation;
        turns = direction == 1 ? (turns + 1) % 4 : (turns + 3) % 4;
    }
    return 1;
}

void CentreThumbInCell(int32_t thumbWidth, int32_t thumbHeight, int32_t cellX, int32_t cellY, int32_t thumbSize,
                       int32_t* x, int32_t* y) {
    if (thumbHeight <= thumbWidth) {
        *x = cellX + 3;
        *y = cellY + 3 + (thumbSize - thumbHeight) / 2;
    } else {
        *x = cellX + 3 + (thumbSize - thumbWidth) / 2;
        *y = cellY + 3;
    }
}
