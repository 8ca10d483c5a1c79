#pragma once
// A cursor over locked tile memory that also addresses pixels of 1, 2 or 4 bits packed from the
// most significant bit of each byte.
#include "Caravel/Brisant/VeltraFilterBase.h"

class CVeltraFilterBase::CPixelBitPtr {
public:
    CPixelBitPtr() = default;
    CPixelBitPtr(unsigned char* pointer, int32_t bit, int32_t colorSpace, int32_t rowBytes);
    CPixelBitPtr(int32_t colorSpace, int32_t rowBytes) : CPixelBitPtr(nullptr, 0, colorSpace, rowBytes) {}

    unsigned char* GetPtr() const { return m_pointer; }
    void SetPtr(unsigned char* pointer) { m_pointer = pointer; }
    int32_t GetBit() const { return m_bit; }
    void SetBit(int32_t bit);
    int32_t GetBitsPerPixel() const { return m_bitsPerPixel; }
    int32_t GetBytesPerPixel() const { return m_bytesPerPixel; }
    int32_t GetRowBytes() const { return m_rowBytes; }
    unsigned char GetPixel() const;
    void SetPixel(unsigned char value);

    CPixelBitPtr& IncX() { return MoveX(1); }
    CPixelBitPtr& DecX() { return MoveX(-1); }
    CPixelBitPtr& IncY() { m_pointer += m_rowBytes; return *this; }
    CPixelBitPtr& DecY() { m_pointer -= m_rowBytes; return *this; }
    CPixelBitPtr& MoveX(int32_t n);
    CPixelBitPtr& MoveY(int32_t n) { m_pointer += static_cast<ptrdiff_t>(n) * m_rowBytes; return *this; }
    CPixelBitPtr& Move(int32_t x, int32_t y) { return MoveX(x).MoveY(y); }
    CPixelBitPtr OffsetX(int32_t n) const { CPixelBitPtr p(*this); return p.MoveX(n); }
    CPixelBitPtr OffsetY(int32_t n) const { CPixelBitPtr p(*this); return p.MoveY(n); }
    CPixelBitPtr Offset(int32_t x, int32_t y) const { CPixelBitPtr p(*this); return p.Move(x, y); }

    bool operator==(const CPixelBitPtr& o) const { return Compare(o) == 0; }
    bool operator!=(const CPixelBitPtr& o) const { return Compare(o) != 0; }
    bool operator<(const CPixelBitPtr& o) const { return Compare(o) < 0; }
    bool operator>(const CPixelBitPtr& o) const { return Compare(o) > 0; }
    bool operator<=(const CPixelBitPtr& o) const { return Compare(o) <= 0; }
    bool operator>=(const CPixelBitPtr& o) const { return Compare(o) >= 0; }

    void CopyPixelTo(unsigned char* destination) const;
    void CopyPixelTo(CPixelBitPtr& destination) const;
    void CopyPixelFrom(const unsigned char* source);
    void CopyPixelFrom(const CPixelBitPtr& source);
    void CopyPixelsTo(unsigned char* destination, int32_t n) const;
    void CopyPixelsTo(CPixelBitPtr& destination, int32_t n) const;
    void CopyPixelsFrom(const unsigned char* source, int32_t n);
    void CopyPixelsFrom(const CPixelBitPtr& source, int32_t n);

    // Copies nbits bits from (source, sourceBit) to (destination, destinationBit), reading only
    // bytes that hold copied bits and keeping every destination bit outside the range.
    static void CopyBits(const unsigned char* source, int32_t sourceBit, unsigned char* destination,
                         int32_t destinationBit, int64_t nbits);

private:
    int Compare(const CPixelBitPtr& o) const;
    void Derive();
    bool SubByte() const { return m_bitsPerPixel > 0 && m_bitsPerPixel < 8; }

    unsigned char* m_pointer = nullptr;
    int32_t m_bit = 0;
    int32_t m_bitsPerPixel = 0;
    int32_t m_bytesPerPixel = 0;
    unsigned char m_mask = 0;
    int32_t m_rowBytes = 0;
    int32_t m_shift = 0;
};
