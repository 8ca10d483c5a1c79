#pragma once

#include "Caravel/Tintara/ResultCodes.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <type_traits>
#include <utility>

namespace tintara {

// The library's one growable buffer. A resize that stays within 100 elements
// below the capacity keeps the block, so per-row buffers stop allocating after
// the first call. Contents survive only such a reuse.
template <typename T>
class AlignedBuffer {
    static_assert(std::is_trivially_copyable_v<T>, "AlignedBuffer holds plain data");

public:
    AlignedBuffer() = default;
    ~AlignedBuffer() { std::free(block_); }
    AlignedBuffer(const AlignedBuffer&) = delete;
    AlignedBuffer& operator=(const AlignedBuffer&) = delete;
    AlignedBuffer(AlignedBuffer&& other) noexcept { swap(other); }
    AlignedBuffer& operator=(AlignedBuffer&& other) noexcept
    {
        AlignedBuffer gone(std::move(other));
        swap(gone);
        return *this;
    }

    long Resize(std::size_t n, std::size_t alignment = 1)
    {
        if (alignment == 0)
            alignment = 1;
        // reuse the block while n stays close below the capacity
        if (n > 0 && capacity_ > 0 && n + 100 > capacity_ && n <= capacity_ && alignment == alignment_) {
            size_ = n;
            return kOk;
        }
        Release();
        alignment_ = alignment;
        if (n == 0)
            return kOk;
        const std::size_t capacity = n <= 50 ? 100 : n + 50;
        if (capacity > (std::numeric_limits<std::size_t>::max() - alignment) / sizeof(T))
            return kNoMemory;
        block_ = static_cast<unsigned char*>(std::malloc(capacity * sizeof(T) + alignment - 1));
        if (!block_)
            return kNoMemory;
        const auto address = reinterpret_cast<std::uintptr_t>(block_);
        data_ = reinterpret_cast<T*>(block_ + (alignment - address % alignment) % alignment);
        capacity_ = capacity;
        size_ = n;
        return kOk;
    }

    T* data() { return data_; }
    const T* data() const { return data_; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    std::size_t alignment() const { return alignment_; }
    bool empty() const { return size_ == 0; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }

private:
    void Release()
    {
        std::free(block_);
        block_ = nullptr;
        data_ = nullptr;
        size_ = 0;
        capacity_ = 0;
    }
    void swap(AlignedBuffer& other) noexcept
    {
        std::swap(size_, other.size_);
        std::swap(capacity_, other.capacity_);
        std::swap(block_, other.block_);
        std::swap(alignment_, other.alignment_);
        std::swap(data_, other.data_);
    }

    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    unsigned char* block_ = nullptr;
    std::size_t alignment_ = 1;
    T* data_ = nullptr;
};

} // namespace tintara
