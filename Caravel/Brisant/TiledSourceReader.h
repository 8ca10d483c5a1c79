#pragma once
// A cursor over a source's tiles: keeps a short most-recently-used list of locked tiles, a pixel
// cursor and the free runs around it, so that a step inside a tile is a pointer move. Coordinates
// outside the source are folded back by a period (1: the nearest edge pixel).
#include "Caravel/Brisant/VeltraFilterBase.h"

#include <memory>

class TiledSourceReader {
public:
    TiledSourceReader(IVeltraDataSource* source, int32_t capacity, int32_t periodX, int32_t periodY);
    TiledSourceReader(const TiledSourceReader&) = delete;
    TiledSourceReader& operator=(const TiledSourceReader&) = delete;
    ~TiledSourceReader() { Release(); }

    // Leaves the cursor on source pixel (x, y); errors carry module 0.
    IVeltraError* Fetch(int32_t x, int32_t y);
    // Fetch, with a fast path when (x, y) lies inside the current tile.
    IVeltraError* MoveTo(int32_t x, int32_t y);
    IVeltraError* StepRight()
    {
        ++m_x;
        if (m_freeRight > 0) {
            m_cursor.IncX();
            --m_freeRight;
            ++m_freeLeft;
            return nullptr;
        }
        return Fetch(m_x, m_y);
    }
    IVeltraError* StepLeft()
    {
        --m_x;
        if (m_freeLeft > 0) {
            m_cursor.DecX();
            --m_freeLeft;
            ++m_freeRight;
            return nullptr;
        }
        return Fetch(m_x, m_y);
    }
    IVeltraError* StepDown()
    {
        ++m_y;
        if (m_freeDown > 0) {
            m_cursor.IncY();
            --m_freeDown;
            ++m_freeUp;
            return nullptr;
        }
        return Fetch(m_x, m_y);
    }
    IVeltraError* StepUp()
    {
        --m_y;
        if (m_freeUp > 0) {
            m_cursor.DecY();
            --m_freeUp;
            ++m_freeDown;
            return nullptr;
        }
        return Fetch(m_x, m_y);
    }
    // Unlocks every listed tile and frees the list; errors are discarded.
    void Release();

    const CVeltraFilterBase::CPixelPtr& Cursor() const { return m_cursor; }
    unsigned char* Pixel() const { return m_cursor.GetPtr(); }
    int32_t FreeLeft() const { return m_freeLeft; }
    int32_t FreeRight() const { return m_freeRight; }
    int32_t FreeUp() const { return m_freeUp; }
    int32_t FreeDown() const { return m_freeDown; }
    int32_t X() const { return m_x; }
    int32_t Y() const { return m_y; }
    bool FoldedX() const { return m_foldedX; }
    bool FoldedY() const { return m_foldedY; }

    // Asked from the source on the first fetch when left 0.
    int32_t colorSpace = 0;
    int32_t rowBytes = 0;
    int32_t tileSize = 0;
    int32_t width = 0;
    int32_t height = 0;

private:
    struct Entry {
        IVeltraTile* tile = nullptr;
        unsigned char* bits = nullptr;
        VeltraRect rect;  // the tile's picture part
        int32_t column = 0;
        int32_t row = 0;
        bool empty = true;
    };

    IVeltraError* Start();
    int32_t Fold(int32_t v, int32_t period, int32_t size, bool* folded) const;
    void Place(const Entry& e, int32_t fx, int32_t fy);

    IVeltraDataSource* m_source;
    int32_t m_capacity;
    int32_t m_periodX;
    int32_t m_periodY;
    std::unique_ptr<Entry[]> m_entries;
    int32_t m_used = 0;
    bool m_initialised = false;
    CVeltraFilterBase::CPixelPtr m_cursor;
    int32_t m_freeLeft = 0;
    int32_t m_freeUp = 0;
    int32_t m_freeRight = 0;
    int32_t m_freeDown = 0;
    int32_t m_x = 0;
    int32_t m_y = 0;
    bool m_foldedX = false;
    bool m_foldedY = false;
};
