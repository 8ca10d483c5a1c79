#pragma once
// CImageBuffer: cuts a decoded picture into tiles, each one packed
// device-independent bitmap (40-byte header, 256 grey palette entries for 8-bit
// pictures, rows bottom-up padded to 4 bytes, pixels B,G,R) in its own
// zero-filled block. Full pictures use square tiles of at most 216 pixels;
// thumbnails are one tile. Also the loader that reads a picture through the
// image-file library into such a record, and the freeing of records.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "viewer/sources/PictureRecords.h"

// What the image-file library says of a picture.
struct ImageDescription {
    int32_t width = 0;
    int32_t height = 0;
    int32_t depth = 1;       // bytes per sample
    int32_t colorModel = 0;  // 2: one channel
};

class CImageBuffer {
public:
    static constexpr uint32_t kMaxTile = 216;
    static constexpr uint32_t kHeaderSize = 40;
    static constexpr uint32_t kPaletteHeaderSize = 1064;

    CImageBuffer() = default;
    virtual ~CImageBuffer() = default;
    virtual uint32_t RowBits(uint32_t width) const { return bitsPerPixel * width; }
    // Bytes of one DIB row: whole 32-bit words.
    virtual uint32_t RowStride24(uint32_t width) const { return (width * 3 + 3) / 4 * 4; }

    std::vector<BitmapRecord> tiles;
    std::vector<uint8_t> header;
    uint32_t headerSize = 0;
    uint32_t depth = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPixel = 0;
    uint32_t tileWidth = 0;
    uint32_t tileHeight = 0;
    uint32_t tileCount = 0;
    uint32_t tilesAcross = 0;
    uint32_t tilesDown = 0;
    uint32_t fullStride = 0;
    uint32_t fullRowBits = 0;
    uint32_t lastColumnWidth = 0;
    uint32_t lastRowHeight = 0;
    uint32_t lastColumnStride = 0;
    uint32_t lastColumnRowBits = 0;
    int32_t widthRemainder = 0;

    uint32_t Stride(uint32_t pixels) const;  // row bytes at this buffer's depth
};

// Result codes of the loader.
enum : int32_t {
    kLoadOk = 0,
    kLoadNoMemory = 1,
    kLoadNoLibrary = 6,
    kLoadCannotShow = 107,
};

// Reads the picture at path turned clockwise by quarterTurns into a new record of
// tiles of at most 216 pixels. 0, 6 (no library), 107 (colour model 4 or 34, or a
// side under 72 pixels), 1 (memory) or the library's own result.
int32_t LoadImageBuffer(CImageBuffer& buffer, const std::string& path, std::unique_ptr<PictureRecord>& out,
                        int32_t quarterTurns);

// Makes a record with the file name of path and builds its tiles; 1 on success
// (the record stored in out), 0 on failure (nothing left allocated).
int32_t MakePictureRecord(CImageBuffer& buffer, bool singleTile, const std::string& path,
                          const ImageDescription& description, uint64_t dataSize, const uint8_t* pixels,
                          std::unique_ptr<PictureRecord>& out);

// Builds the tiles of pixels (rows top-down, R,G,B or grey, depth bytes per
// sample) into the record; 1 on success, 0 on failure (the record unchanged).
int32_t BuildPictureTiles(CImageBuffer& buffer, bool singleTile, const ImageDescription& description,
                          uint64_t dataSize, const uint8_t* pixels, PictureRecord& record);

// Frees the tiles, and with withRecord the whole record.
void FreeImageBuffer(std::unique_ptr<PictureRecord>& record, bool withRecord);
