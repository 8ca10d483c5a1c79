#include "Caravel/Brisant/TiledSourceReader.h"

#include <algorithm>
#include <new>

namespace {
constexpr int32_t kModule = 0;
}

TiledSourceReader::TiledSourceReader(IVeltraDataSource* source, int32_t capacity, int32_t periodX, int32_t periodY)
    : m_source(source), m_capacity(std::max<int32_t>(capacity, 1)), m_periodX(periodX), m_periodY(periodY)
{
}

IVeltraError* TiledSourceReader::Start()
{
    m_entries.reset(new (std::nothrow) Entry[static_cast<size_t>(m_capacity)]);
    if (!m_entries)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
    if (!m_source)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraNoSource);
    if (colorSpace == 0)
        if (IVeltraError* e = m_source->GetColorSpace(&colorSpace))
            return VELTRA_WRAP(kModule, e);
    if (tileSize == 0)
        if (IVeltraError* e = m_source->GetTileSize(&tileSize))
            return VELTRA_WRAP(kModule, e);
    if (rowBytes == 0)
        if (IVeltraError* e = m_source->GetRowBytes(&rowBytes))
            return VELTRA_WRAP(kModule, e);
    if (width == 0)
        if (IVeltraError* e = m_source->GetWidth(&width))
            return VELTRA_WRAP(kModule, e);
    if (height == 0)
        if (IVeltraError* e = m_source->GetHeight(&height))
            return VELTRA_WRAP(kModule, e);
    if (tileSize <= 0)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadState);
    m_cursor = CVeltraFilterBase::CPixelPtr(colorSpace, rowBytes);
    m_initialised = true;
    return nullptr;
}

int32_t TiledSourceReader::Fold(int32_t v, int32_t period, int32_t size, bool* folded) const
{
    *folded = false;
    if (period == 0 || (v >= 0 && v < size))
        return v;
    *folded = true;
    int64_t f = v;
    if (f < 0)
        f += ((-f + period - 1) / period) * period;
    else
        f -= ((f - size + 1 + period - 1) / period) * period;
    // a period wider than the source can still land outside: take the nearest edge pixel
    if (size > 0)
        f = std::clamp<int64_t>(f, 0, size - 1);
    return static_cast<int32_t>(f);
}

void TiledSourceReader::Place(const Entry& e, int32_t fx, int32_t fy)
{
    if (e.empty) {
        m_cursor.SetPtr(nullptr);
        m_freeLeft = m_freeRight = m_freeUp = m_freeDown = 0;
        return;
    }
    // a folded axis keeps no runs, so that every step on it fetches again
    if (m_foldedX) {
        m_freeLeft = m_freeRight = 0;
    } else {
        m_freeLeft = fx - e.rect.left;
        m_freeRight = e.rect.right - 1 - fx;
    }
    if (m_foldedY) {
        m_freeUp = m_freeDown = 0;
    } else {
        m_freeUp = fy - e.rect.top;
        m_freeDown = e.rect.bottom - 1 - fy;
    }
    const int32_t t = tileSize;
    m_cursor.SetPtr(e.bits + static_cast<ptrdiff_t>(fy - e.row * t) * rowBytes +
                    static_cast<ptrdiff_t>(fx - e.column * t) * m_cursor.GetBytesPerPixel());
}

IVeltraError* TiledSourceReader::Fetch(int32_t x, int32_t y)
{
    if (!m_initialised)
        if (IVeltraError* e = Start())
            return e;
    const int32_t fx = Fold(x, m_periodX, width, &m_foldedX);
    const int32_t fy = Fold(y, m_periodY, height, &m_foldedY);
    m_x = x;
    m_y = y;
    // already held: move it to the front
    for (int32_t i = 0; i < m_used; ++i) {
        Entry& e = m_entries[static_cast<size_t>(i)];
        if (!e.empty && fx >= e.rect.left && fx < e.rect.right && fy >= e.rect.top && fy < e.rect.bottom) {
            if (i > 0)
                std::rotate(m_entries.get(), m_entries.get() + i, m_entries.get() + i + 1);
            Place(m_entries[0], fx, fy);
            return nullptr;
        }
    }
    // make room: drop the least recently used tile
    if (m_used == m_capacity) {
        Entry& last = m_entries[static_cast<size_t>(m_used - 1)];
        if (!last.empty)
            if (IVeltraError* e = m_source->UnlockTile(last.column, last.row))
                e->Release();
        --m_used;
    }
    Entry fresh;
    if (fx >= 0 && fx < width && fy >= 0 && fy < height) {
        fresh.column = fx / tileSize;
        fresh.row = fy / tileSize;
        if (IVeltraError* e = m_source->GetTile(&fresh.tile, fresh.column, fresh.row)) {
            m_cursor.SetPtr(nullptr);
            return VELTRA_WRAP(kModule, e);
        }
        VeltraRect r;
        fresh.tile->GetRect(&r);
        fresh.rect = VeltraRect{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width),
                                std::min(r.bottom, height)};
        void* bits = nullptr;
        if (IVeltraError* e = m_source->LockTile(&bits, fresh.column, fresh.row, nullptr)) {
            m_cursor.SetPtr(nullptr);
            return VELTRA_WRAP(kModule, e);
        }
        fresh.bits = static_cast<unsigned char*>(bits);
        fresh.empty = false;
    } else {
        fresh.rect = VeltraRect{width, height, 0, 0};
    }
    std::move_backward(m_entries.get(), m_entries.get() + m_used, m_entries.get() + m_used + 1);
    m_entries[0] = fresh;
    ++m_used;
    Place(m_entries[0], fx, fy);
    return nullptr;
}

IVeltraError* TiledSourceReader::MoveTo(int32_t x, int32_t y)
{
    if (m_used > 0 && x >= 0 && y >= 0 && x < width && y < height) {
        const Entry& e = m_entries[0];
        if (!e.empty && x >= e.rect.left && x < e.rect.right && y >= e.rect.top && y < e.rect.bottom) {
            m_x = x;
            m_y = y;
            m_foldedX = m_foldedY = false;
            Place(e, x, y);
            return nullptr;
        }
    }
    return Fetch(x, y);
}

void TiledSourceReader::Release()
{
    for (int32_t i = 0; i < m_used; ++i) {
        Entry& e = m_entries[static_cast<size_t>(i)];
        if (!e.empty)
            if (IVeltraError* err = m_source->UnlockTile(e.column, e.row))
                err->Release();
    }
    m_used = 0;
    m_entries.reset();
    m_initialised = false;
    m_cursor.SetPtr(nullptr);
}
