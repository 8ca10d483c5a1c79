#include "outside/veltra/MemoryTile.h"

#include "outside/veltra/MemoryImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {
constexpr int32_t kModule = 0;

VeltraRect Intersect(const VeltraRect& a, const VeltraRect& b)
{
    VeltraRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                 std::min(a.bottom, b.bottom)};
    if (r.right < r.left)
        r.right = r.left;
    if (r.bottom < r.top)
        r.bottom = r.top;
    return r;
}

bool Empty(const VeltraRect& r) { return r.right <= r.left || r.bottom <= r.top; }
}  // namespace

MemoryTile::MemoryTile(MemoryImage* image, int32_t column, int32_t row)
    : m_image(image), m_column(column), m_row(row)
{
}

IVeltraTileID MemoryTile::GetID() const
{
    return IVeltraTileID{m_image, m_column, m_row};
}

void MemoryTile::GetRect(VeltraRect* rect) const
{
    const int32_t t = m_image->TileSide();
    *rect = VeltraRect{m_column * t, m_row * t, (m_column + 1) * t, (m_row + 1) * t};
}

VeltraRect MemoryTile::ClippedRect() const
{
    VeltraRect r;
    GetRect(&r);
    return Intersect(r, VeltraRect{0, 0, m_image->Width(), m_image->Height()});
}

bool MemoryTile::GetInvalidRect(VeltraRect* rect) const
{
    if (!m_hasInvalid)
        return false;
    const VeltraRect r = Intersect(m_invalid, ClippedRect());
    if (Empty(r))
        return false;
    if (rect)
        *rect = r;
    return true;
}

void MemoryTile::Invalidate()
{
    m_invalid = ClippedRect();
    m_hasInvalid = !Empty(m_invalid);
}

void MemoryTile::InvalidateRect(const VeltraRect& rect)
{
    const VeltraRect r = Intersect(rect, ClippedRect());
    if (Empty(r))
        return;
    if (!m_hasInvalid) {
        m_invalid = r;
        m_hasInvalid = true;
        return;
    }
    m_invalid = VeltraRect{std::min(m_invalid.left, r.left), std::min(m_invalid.top, r.top),
                           std::max(m_invalid.right, r.right), std::max(m_invalid.bottom, r.bottom)};
}

void MemoryTile::SetValid(bool valid)
{
    if (!valid) {
        Invalidate();
        return;
    }
    m_hasInvalid = false;
    m_filled = true;
}

void MemoryTile::Complete()
{
    SetValid(true);
}

IVeltraImage* MemoryTile::GetImage() const
{
    return m_image;
}

IVeltraError* MemoryTile::LockBits(void** bits, VeltraBitmapHeader** header)
{
    // a tile left in an old layout by a change it could not follow takes the new one now
    if (!m_bits || m_stale)
        if (IVeltraError* e = Reshape())
            return e;
    ++m_locks;
    if (bits)
        *bits = m_bits.get();
    if (header)
        *header = &m_header;
    return nullptr;
}

IVeltraError* MemoryTile::UnlockBits()
{
    if (m_locks <= 0)
        return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadState);
    --m_locks;
    return nullptr;
}

IVeltraError* MemoryTile::Reshape(bool zeroNewMemory)
{
    const int32_t t = m_image->TileSide();
    const int32_t cs = m_image->ColorSpace();
    const int32_t rowBytes = IVeltraDataSource::RowBytesFor(t, cs);
    const size_t need = std::max<size_t>(static_cast<size_t>(rowBytes) * static_cast<size_t>(t), 1);
    if (need > m_capacity || !m_bits) {
        if (m_locks > 0) {
            // The holder keeps the old buffer; nobody may fill it in the new layout, so
            // the tile stays out of date and is reshaped by the first lock after it is free.
            m_stale = true;
            m_filled = false;
            Invalidate();
            return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraBadState);
        }
        std::unique_ptr<unsigned char[]> bits(zeroNewMemory ? new (std::nothrow) unsigned char[need]()
                                                            : new (std::nothrow) unsigned char[need]);
        if (!bits)
            return IVeltraError::Add(nullptr, kModule, __LINE__, 0, kVeltraOutOfMemory);
        m_bits = std::move(bits);
        m_capacity = need;
    }
    m_stale = false;
    m_rowBytes = rowBytes;
    m_header = VeltraBitmapHeader{};
    m_header.biWidth = t;
    m_header.biHeight = -t;
    m_header.biBitCount = static_cast<uint16_t>(IVeltraDataSource::GetBitsPerPixel(cs));
    m_header.biSizeImage = static_cast<uint32_t>(rowBytes) * static_cast<uint32_t>(t);
    const int32_t perMeter = static_cast<int32_t>(std::lround(m_image->Resolution() / 0.0254));
    m_header.biXPelsPerMeter = perMeter;
    m_header.biYPelsPerMeter = perMeter;
    m_filled = false;
    Invalidate();
    return nullptr;
}
