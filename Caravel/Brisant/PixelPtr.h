#pragma once
// A cursor over locked tile memory for pixels a whole number of bytes wide.
#include "Caravel/Brisant/VeltraFilterBase.h"

#include <cstring>

class CVeltraFilterBase::CPixelPtr {
public:
    CPixelPtr() = default;
    CPixelPtr(unsigned char* pointer, int32_t colorSpace, int32_t rowBytes)
        : m_pointer(pointer),
          m_bitsPerPixel(IVeltraDataSource::GetBitsPerPixel(colorSpace)),
          m_bytesPerPixel(m_bitsPerPixel / 8),
          m_rowBytes(rowBytes)
    {
    }
    CPixelPtr(unsigned char* pointer, int32_t /*bit*/, int32_t colorSpace, int32_t rowBytes)
        : CPixelPtr(pointer, colorSpace, rowBytes)
    {
    }
    CPixelPtr(int32_t colorSpace, int32_t rowBytes) : CPixelPtr(nullptr, colorSpace, rowBytes) {}

    unsigned char* GetPtr() const { return m_pointer; }
    void SetPtr(unsigned char* pointer) { m_pointer = pointer; }
    int32_t GetBitsPerPixel() const { return m_bitsPerPixel; }
    int32_t GetBytesPerPixel() const { return m_bytesPerPixel; }
    int32_t GetRowBytes() const { return m_rowBytes; }

    CPixelPtr& IncX() { m_pointer += m_bytesPerPixel; return *this; }
    CPixelPtr& DecX() { m_pointer -= m_bytesPerPixel; return *this; }
    CPixelPtr& IncY() { m_pointer += m_rowBytes; return *this; }
    CPixelPtr& DecY() { m_pointer -= m_rowBytes; return *this; }
    CPixelPtr& MoveX(int32_t n) { m_pointer += static_cast<ptrdiff_t>(n) * m_bytesPerPixel; return *this; }
    CPixelPtr& MoveY(int32_t n) { m_pointer += static_cast<ptrdiff_t>(n) * m_rowBytes; return *this; }
    CPixelPtr& Move(int32_t x, int32_t y) { return MoveX(x).MoveY(y); }
    CPixelPtr OffsetX(int32_t n) const { CPixelPtr p(*this); return p.MoveX(n); }
    CPixelPtr OffsetY(int32_t n) const { CPixelPtr p(*this); return p.MoveY(n); }
    CPixelPtr Offset(int32_t x, int32_t y) const { CPixelPtr p(*this); return p.Move(x, y); }

    bool operator==(const CPixelPtr& o) const { return Address() == o.Address(); }
    bool operator!=(const CPixelPtr& o) const { return Address() != o.Address(); }
    bool operator<(const CPixelPtr& o) const { return Address() < o.Address(); }
    bool operator>(const CPixelPtr& o) const { return Address() > o.Address(); }
    bool operator<=(const CPixelPtr& o) const { return Address() <= o.Address(); }
    bool operator>=(const CPixelPtr& o) const { return Address() >= o.Address(); }

    // One pixel; the size is this cursor's (or the source cursor's when both are cursors).
    void CopyPixelTo(unsigned char* destination) const { CopyOne(destination, m_pointer, m_bytesPerPixel); }
    void CopyPixelTo(const CPixelPtr& destination) const { CopyOne(destination.m_pointer, m_pointer, m_bytesPerPixel); }
    void CopyPixelFrom(const unsigned char* source) { CopyOne(m_pointer, source, m_bytesPerPixel); }
    void CopyPixelFrom(const CPixelPtr& source) { CopyOne(m_pointer, source.m_pointer, source.m_bytesPerPixel); }
    // n consecutive pixels of one row, as one block.
    void CopyPixelsTo(unsigned char* destination, int32_t n) const { CopyRun(destination, m_pointer, n, m_bytesPerPixel); }
    void CopyPixelsTo(const CPixelPtr& destination, int32_t n) const
    {
        CopyRun(destination.m_pointer, m_pointer, n, m_bytesPerPixel);
    }
    void CopyPixelsFrom(const unsigned char* source, int32_t n) { CopyRun(m_pointer, source, n, m_bytesPerPixel); }
    void CopyPixelsFrom(const CPixelPtr& source, int32_t n)
    {
        CopyRun(m_pointer, source.m_pointer, n, source.m_bytesPerPixel);
    }

    // Fixed-size moves for the common pixel sizes.
    static void CopyOne(unsigned char* to, const unsigned char* from, int32_t bytes)
    {
        switch (bytes) {
        case 1: *to = *from; break;
        case 2: std::memcpy(to, from, 2); break;
        case 3: std::memcpy(to, from, 3); break;
        case 4: std::memcpy(to, from, 4); break;
        case 6: std::memcpy(to, from, 6); break;
        default: if (bytes > 0) std::memcpy(to, from, static_cast<size_t>(bytes)); break;
        }
    }

private:
    uintptr_t Address() const { return reinterpret_cast<uintptr_t>(m_pointer); }
    static void CopyRun(unsigned char* to, const unsigned char* from, int32_t n, int32_t bytes)
    {
        if (n > 0 && bytes > 0)
            std::memmove(to, from, static_cast<size_t>(n) * static_cast<size_t>(bytes));
    }

    unsigned char* m_pointer = nullptr;
    int32_t m_bitsPerPixel = 0;
    int32_t m_bytesPerPixel = 0;
    int32_t m_rowBytes = 0;
};
