#include "platform/gdi/Dib.h"

#include <cstring>

namespace plat::gdi {
namespace {

constexpr uint64_t kMaxDibBytes = 1ull << 30;

void put16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
void put32(uint8_t* p, uint32_t v) { for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i)); }
uint16_t get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t get32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

}  // namespace

uint32_t dibStride(uint32_t width, uint32_t bitCount) {
    return uint32_t((uint64_t(width) * bitCount + 31) / 32 * 4);
}

uint32_t dibHeaderBytes(uint32_t bitCount) {
    return bitCount == 8 ? kDibHeaderSize + kDibPaletteSize : kDibHeaderSize;
}

std::vector<uint8_t> makeDib(uint32_t width, uint32_t height, uint32_t bitCount) {
    if (width == 0 || height == 0 || (bitCount != 8 && bitCount != 24)) return {};
    const uint64_t stride = (uint64_t(width) * bitCount + 31) / 32 * 4;
    const uint64_t bytes = dibHeaderBytes(bitCount) + stride * height;
    if (bytes > kMaxDibBytes || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return {};
    std::vector<uint8_t> block(bytes, 0);
    DibHeader h;
    h.width = int32_t(width);
    h.height = int32_t(height);
    h.bitCount = uint16_t(bitCount);
    h.imageSize = uint32_t(stride * height);
    writeDibHeader(block.data(), h);
    return block;
}

void writeDibHeader(uint8_t* block, const DibHeader& h) {
    put32(block + 0, h.size);
    put32(block + 4, uint32_t(h.width));
    put32(block + 8, uint32_t(h.height));
    put16(block + 12, h.planes);
    put16(block + 14, h.bitCount);
    put32(block + 16, h.compression);
    put32(block + 20, h.imageSize);
    put32(block + 24, uint32_t(h.xPelsPerMeter));
    put32(block + 28, uint32_t(h.yPelsPerMeter));
    put32(block + 32, h.colorsUsed);
    put32(block + 36, h.colorsImportant);
    if (h.bitCount == 8) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint8_t* e = block + kDibHeaderSize + 4 * i;
            e[0] = e[1] = e[2] = uint8_t(i);
            e[3] = 0;
        }
    }
}

bool readDibHeader(const uint8_t* block, std::size_t blockSize, DibHeader* out) {
    if (!block || blockSize < kDibHeaderSize) return false;
    DibHeader h;
    h.size = get32(block);
    h.width = int32_t(get32(block + 4));
    h.height = int32_t(get32(block + 8));
    h.planes = get16(block + 12);
    h.bitCount = get16(block + 14);
    h.compression = get32(block + 16);
    h.imageSize = get32(block + 20);
    h.xPelsPerMeter = int32_t(get32(block + 24));
    h.yPelsPerMeter = int32_t(get32(block + 28));
    h.colorsUsed = get32(block + 32);
    h.colorsImportant = get32(block + 36);
    if (h.size != kDibHeaderSize || h.compression != 0 || (h.bitCount != 8 && h.bitCount != 24)) return false;
    if (h.width <= 0 || h.height <= 0) return false;
    const uint64_t need = uint64_t(dibHeaderBytes(h.bitCount)) + uint64_t(dibStride(uint32_t(h.width), h.bitCount)) * uint32_t(h.height);
    if (need > blockSize) return false;
    *out = h;
    return true;
}

}  // namespace plat::gdi
