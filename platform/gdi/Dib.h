#pragma once
// Packed device-independent bitmaps as the viewer keeps them: a 40-byte header,
// for 8-bit pictures 256 grey palette entries, then the rows bottom-up, each
// padded to a multiple of 4 bytes; 24-bit pixels are stored B,G,R.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace plat::gdi {

inline constexpr uint32_t kDibHeaderSize = 40;
inline constexpr uint32_t kDibPaletteSize = 256 * 4;

struct DibHeader {
    uint32_t size = kDibHeaderSize;
    int32_t width = 0;
    int32_t height = 0;       // positive: rows bottom-up
    uint16_t planes = 1;
    uint16_t bitCount = 24;   // 8 or 24
    uint32_t compression = 0;
    uint32_t imageSize = 0;   // height x stride
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t colorsUsed = 0;
    uint32_t colorsImportant = 0;
};

// Bytes of one row: whole 32-bit words.
uint32_t dibStride(uint32_t width, uint32_t bitCount);
// Header size with the palette: 40, or 1064 for 8-bit pictures.
uint32_t dibHeaderBytes(uint32_t bitCount);

// A zero-filled block holding the header (and grey palette) of a width x height
// picture and room for its rows. Empty when the size is unusable (sides of 0,
// bit count other than 8 or 24, or a block above 1 GiB).
std::vector<uint8_t> makeDib(uint32_t width, uint32_t height, uint32_t bitCount);

// Writes the header (and for 8 bits the grey ramp) at the start of block.
void writeDibHeader(uint8_t* block, const DibHeader& header);
// Reads and checks the header of a packed DIB of blockSize bytes: false when the
// block is too small for what its header says, or the layout is not one of ours.
bool readDibHeader(const uint8_t* block, std::size_t blockSize, DibHeader* header);

// Offset of the rows in a block with this header.
inline uint32_t dibBitsOffset(const DibHeader& h) { return dibHeaderBytes(h.bitCount); }

}  // namespace plat::gdi
