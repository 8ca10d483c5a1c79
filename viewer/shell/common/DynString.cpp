#include "viewer/shell/common/DynString.h"

#include <cstring>
#include <string>

namespace {

// Byte-wise move; copies backwards when the target overlaps the source from
// above, so a string may be assigned from a part of itself.
void CopyBytes(char* to, const char* from, uint32_t n)
{
    if (to == from || n == 0)
        return;
    if (to > from && to < from + n) {
        for (uint32_t i = n; i > 0; --i)
            to[i - 1] = from[i - 1];
    } else {
        for (uint32_t i = 0; i < n; ++i)
            to[i] = from[i];
    }
}

uint32_t TextLength(const char* text)
{
    return text ? static_cast<uint32_t>(std::strlen(text)) : 0;
}

}  // namespace

CDynString::CDynString()
{
    Assign("");
}

CDynString::CDynString(const char* text)
{
    Assign("");
    Assign(text);
}

CDynString::CDynString(const CDynString& other)
{
    Assign("");
    Assign(other.Data());
}

CDynString::~CDynString()
{
    Free(data_);
}

CDynString& CDynString::operator=(const char* text)
{
    Assign(text);
    return *this;
}

CDynString& CDynString::operator=(const CDynString& other)
{
    Assign(other.Data());
    return *this;
}

CDynString& CDynString::operator+=(const char* text)
{
    Append(text);
    return *this;
}

void CDynString::Assign(const char* text)
{
    if (!text)
        text = "";
    const uint32_t n = TextLength(text);
    // A text inside our own block already fits it, so Reserve keeps the block.
    Reserve(n + 1);
    CopyBytes(data_, text, n + 1);
}

void CDynString::Append(const char* text)
{
    if (!text || *text == '\0')
        return;
    // Our own text would be freed by Reserve before it is copied: copy it first.
    std::string own;
    if (PointsIntoBlock(text)) {
        own = text;
        text = own.c_str();
    }
    const uint32_t len = Length();
    const uint32_t n = TextLength(text);
    Reserve(len + n + 1);
    CopyBytes(data_ + len, text, n + 1);
}

CDynString CDynString::Right(uint32_t n) const
{
    const uint32_t len = Length();
    const uint32_t take = n < len ? n : len;
    return CDynString(data_ + (len - take));
}

bool CDynString::IsEmpty() const
{
    return !data_ || data_[0] == '\0';
}

uint32_t CDynString::Length() const
{
    if (!data_)
        return 0;
    const void* zero = std::memchr(data_, 0, capacity_);
    return zero ? static_cast<uint32_t>(static_cast<const char*>(zero) - data_) : 0;
}

char* CDynString::Allocate(uint32_t n)
{
    const uint32_t size = n < 4 ? 4 : n;
    data_ = new char[size]();
    capacity_ = size;
    return data_;
}

void CDynString::Free(char* block)
{
    delete[] block;
}

void CDynString::Reserve(uint32_t n)
{
    if (data_ && capacity_ >= n)
        return;
    char* old = data_;
    const uint32_t oldCapacity = old ? capacity_ : 0;
    Allocate(n);
    if (old)
        CopyBytes(data_, old, oldCapacity);
    Free(old);
}

bool CDynString::PointsIntoBlock(const char* p) const
{
    return data_ && p >= data_ && p < data_ + capacity_;
}
