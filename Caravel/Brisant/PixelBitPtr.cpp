#include "Caravel/Brisant/PixelBitPtr.h"

#include <algorithm>
#include <cstring>

namespace {
int64_t FloorDiv8(int64_t v)
{
    return v >= 0 ? v / 8 : -((-v + 7) / 8);
}
}  // namespace

CVeltraFilterBase::CPixelBitPtr::CPixelBitPtr(unsigned char* pointer, int32_t bit, int32_t colorSpace, int32_t rowBytes)
    : m_pointer(pointer),
      m_bitsPerPixel(IVeltraDataSource::GetBitsPerPixel(colorSpace)),
      m_bytesPerPixel(m_bitsPerPixel / 8),
      m_rowBytes(rowBytes)
{
    // align the bit to the pixel size within the byte
    m_bit = bit & (8 - m_bitsPerPixel);
    Derive();
}

void CVeltraFilterBase::CPixelBitPtr::Derive()
{
    m_mask = SubByte() ? static_cast<unsigned char>((1u << m_bitsPerPixel) - 1) : 0;
    m_shift = 8 - m_bitsPerPixel - m_bit;
}

void CVeltraFilterBase::CPixelBitPtr::SetBit(int32_t bit)
{
    m_bit = bit;
    Derive();
}

unsigned char CVeltraFilterBase::CPixelBitPtr::GetPixel() const
{
    if (!SubByte())
        return 0;
    return static_cast<unsigned char>((*m_pointer >> m_shift) & m_mask);
}

void CVeltraFilterBase::CPixelBitPtr::SetPixel(unsigned char value)
{
    if (!SubByte())
        return;
    const unsigned char place = static_cast<unsigned char>(m_mask << m_shift);
    *m_pointer = static_cast<unsigned char>((*m_pointer & ~place) | ((value & m_mask) << m_shift));
}

CVeltraFilterBase::CPixelBitPtr& CVeltraFilterBase::CPixelBitPtr::MoveX(int32_t n)
{
    if (!SubByte()) {
        m_pointer += static_cast<ptrdiff_t>(n) * m_bytesPerPixel;
        return *this;
    }
    const int64_t total = static_cast<int64_t>(m_bit) + static_cast<int64_t>(n) * m_bitsPerPixel;
    const int64_t bytes = FloorDiv8(total);
    m_pointer += bytes;
    m_bit = static_cast<int32_t>(total - bytes * 8);
    Derive();
    return *this;
}

int CVeltraFilterBase::CPixelBitPtr::Compare(const CPixelBitPtr& o) const
{
    const uintptr_t a = reinterpret_cast<uintptr_t>(m_pointer);
    const uintptr_t b = reinterpret_cast<uintptr_t>(o.m_pointer);
    if (a != b)
        return a < b ? -1 : 1;
    if (m_bit != o.m_bit)
        return m_bit < o.m_bit ? -1 : 1;
    return 0;
}

void CVeltraFilterBase::CPixelBitPtr::CopyPixelTo(unsigned char* destination) const
{
    if (SubByte())
        *destination = GetPixel();
    else
        CPixelPtr::CopyOne(destination, m_pointer, m_bytesPerPixel);
}

void CVeltraFilterBase::CPixelBitPtr::CopyPixelTo(CPixelBitPtr& destination) const
{
    if (SubByte())
        destination.SetPixel(GetPixel());
    else
        CPixelPtr::CopyOne(destination.m_pointer, m_pointer, m_bytesPerPixel);
}

void CVeltraFilterBase::CPixelBitPtr::CopyPixelFrom(const unsigned char* source)
{
    if (SubByte())
        SetPixel(*source);
    else
        CPixelPtr::CopyOne(m_pointer, source, m_bytesPerPixel);
}

void CVeltraFilterBase::CPixelBitPtr::CopyPixelFrom(const CPixelBitPtr& source)
{
    if (source.SubByte())
        SetPixel(source.GetPixel());
    else
        CPixelPtr::CopyOne(m_pointer, source.m_pointer, source.m_bytesPerPixel);
}

void CVeltraFilterBase::CPixelBitPtr::CopyPixelsTo(unsigned char* destination, int32_t n) const
{
    if (n <= 0)
        return;
    if (SubByte())
        CopyBits(m_pointer, m_bit, destination, 0, static_cast<int64_t>(n) * m_bitsPerPixel);
    else
        std::memmove(destination, m_pointer, static_cast<size_t>(n) * static_cast<size_t>(m_bytesPerPixel));
}

void CVeltraFilterBase::CPixelBitPtr::CopyPixelsTo(CPixelBitPtr& destination, int32_t n) const
{
    if (n <= 0)
        return;
    if (SubByte())
        CopyBits(m_pointer, m_bit, destination.m_pointer, destination.m_bit, static_cast<int64_t>(n) * m_bitsPerPixel);
    else
        std::memmove(destination.m_pointer, m_pointer, static_cast<size_t>(n) * static_cast<size_t>(m_bytesPerPixel));
}

void CVeltraFilterBase::CPixelBitPtr::CopyPixelsFrom(const unsigned char* source, int32_t n)
{
    if (n <= 0)
        return;
    if (SubByte())
        CopyBits(source, 0, m_pointer, m_bit, static_cast<int64_t>(n) * m_bitsPerPixel);
    else
        std::memmove(m_pointer, source, static_cast<size_t>(n) * static_cast<size_t>(m_bytesPerPixel));
}

void CVeltraFilterBase::CPixelBitPtr::CopyPixelsFrom(const CPixelBitPtr& source, int32_t n)
{
    if (n <= 0)
        return;
    if (source.SubByte())
        CopyBits(source.m_pointer, source.m_bit, m_pointer, m_bit, static_cast<int64_t>(n) * source.m_bitsPerPixel);
    else
        std::memmove(m_pointer, source.m_pointer, static_cast<size_t>(n) * static_cast<size_t>(source.m_bytesPerPixel));
}

void CVeltraFilterBase::CPixelBitPtr::CopyBits(const unsigned char* source, int32_t sourceBit,
                                               unsigned char* destination, int32_t destinationBit, int64_t nbits)
{
    if (nbits <= 0)
        return;
    if (sourceBit == destinationBit) {
        // same phase: partial first byte, whole bytes as a block, partial last byte
        int32_t bit = sourceBit;
        if (bit != 0) {
            const int64_t take = std::min<int64_t>(8 - bit, nbits);
            const unsigned char mask =
                static_cast<unsigned char>(((1u << take) - 1) << (8 - bit - take));
            *destination = static_cast<unsigned char>((*destination & ~mask) | (*source & mask));
            ++source;
            ++destination;
            nbits -= take;
        }
        const int64_t whole = nbits / 8;
        if (whole > 0)
            std::memmove(destination, source, static_cast<size_t>(whole));
        source += whole;
        destination += whole;
        nbits -= whole * 8;
        if (nbits > 0) {
            const unsigned char mask = static_cast<unsigned char>(0xFFu << (8 - nbits));
            *destination = static_cast<unsigned char>((*destination & ~mask) | (*source & mask));
        }
        return;
    }
    // different phase: fill one destination byte at a time from at most two source bytes
    int32_t s = sourceBit;
    int32_t d = destinationBit;
    while (nbits > 0) {
        const int32_t take = static_cast<int32_t>(std::min<int64_t>(8 - d, nbits));
        uint32_t v;
        if (s + take <= 8) {
            v = (static_cast<uint32_t>(source[0]) >> (8 - s - take)) & ((1u << take) - 1);
        } else {
            const int32_t first = 8 - s;
            const int32_t second = take - first;
            v = ((static_cast<uint32_t>(source[0]) & ((1u << first) - 1)) << second) |
                (static_cast<uint32_t>(source[1]) >> (8 - second));
        }
        const unsigned char mask = static_cast<unsigned char>(((1u << take) - 1) << (8 - d - take));
        *destination = static_cast<unsigned char>((*destination & ~mask) | ((v << (8 - d - take)) & mask));
        s += take;
        source += s / 8;
        s %= 8;
        d += take;
        destination += d / 8;
        d %= 8;
        nbits -= take;
    }
}
