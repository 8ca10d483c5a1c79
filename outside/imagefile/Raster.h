#pragma once
// Pixel grids inside the library: rows top-down, tightly packed, 1 or 3
// channels, 1 or 2 bytes per sample.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace jqfl {

// Upper bound of one decoded picture in bytes; larger pictures are refused
// before anything is allocated.
constexpr uint64_t kMaxRasterBytes = 512ull << 20;

// Bytes that are not zeroed when the buffer grows: a decoder overwrites every
// pixel anyway, and zeroing tens of megabytes first costs as much as a fast decode.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U>;
    };
    UninitialisedAllocator() = default;
    template <typename U>
    UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using PixelBytes = std::vector<uint8_t, UninitialisedAllocator<uint8_t>>;

struct Raster {
    int width = 0;
    int height = 0;
    int channels = 0;
    int depth = 1;  // bytes per sample
    PixelBytes data;

    size_t pixelBytes() const { return static_cast<size_t>(channels) * depth; }
    size_t rowBytes() const { return pixelBytes() * static_cast<size_t>(width); }
    bool empty() const { return data.empty(); }
};

// Bytes of a w x h grid, or 0 when it is empty or too large.
uint64_t rasterBytes(int width, int height, int channels, int depth);

// Makes a zero-filled raster; false when it is too large or memory runs out.
bool allocateRaster(Raster& r, int width, int height, int channels, int depth);
// The same with the bytes left as they are, for a writer of every byte.
bool allocateRasterForOverwrite(Raster& r, int width, int height, int channels, int depth);

// Resamples to width x height (area average down, linear up).
bool resampleRaster(const Raster& in, Raster& out, int width, int height);

// Turns clockwise by quarter turns (0..3).
bool turnRaster(const Raster& in, Raster& out, int quarterTurns);

// Quarter turns of an orientation code 1, 8, 3, 6; -1 for any other code.
int quarterTurnsOfOrientation(int orientation);
// Clockwise quarter turns that show a picture upright by its EXIF orientation
// tag (6: turned a quarter clockwise, 3: half, 8: three quarters). Mirrored
// codes keep their turn and are shown unmirrored; unknown codes give 0.
int uprightTurnsOfExifOrientation(int exifOrientation);

}  // namespace jqfl
