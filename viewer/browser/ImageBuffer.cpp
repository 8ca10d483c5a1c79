#include "viewer/browser/ImageBuffer.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "viewer/sources/JqFileLib.h"

namespace {

constexpr int32_t kGreyModel = 2;
constexpr uint32_t kMinSide = 72;

void put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

// The DIB header of the whole picture (with a grey palette for 8 bits).
bool makeHeader(CImageBuffer& b) {
    b.headerSize = b.bitsPerPixel == 8 ? CImageBuffer::kPaletteHeaderSize : CImageBuffer::kHeaderSize;
    try {
        b.header.assign(b.headerSize, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    uint8_t* h = b.header.data();
    put32(h, CImageBuffer::kHeaderSize);
    put32(h + 4, b.width);
    put32(h + 8, b.height);
    put16(h + 12, 1);
    put16(h + 14, static_cast<uint16_t>(b.bitsPerPixel));
    if (b.bitsPerPixel == 8)
        for (uint32_t i = 0; i < 256; ++i) {
            uint8_t* e = h + CImageBuffer::kHeaderSize + i * 4;
            e[0] = e[1] = e[2] = static_cast<uint8_t>(i);
        }
    return true;
}

// 1: geometry
bool geometry(CImageBuffer& b, bool singleTile, const ImageDescription& d) {
    if (d.width <= 0 || d.height <= 0 || (d.depth != 1 && d.depth != 2))
        return false;
    b.width = static_cast<uint32_t>(d.width);
    b.height = static_cast<uint32_t>(d.height);
    b.depth = static_cast<uint32_t>(d.depth);
    b.bitsPerPixel = d.colorModel == kGreyModel ? 8 : 24;
    if (singleTile) {
        b.tileWidth = b.width;
        b.tileHeight = b.height;
    } else {
        const uint32_t side = std::min({b.width, b.height, CImageBuffer::kMaxTile}) / 4 * 4;
        if (side == 0)
            return false;
        b.tileWidth = b.tileHeight = side;
    }
    return true;
}

// 3: layout
void layout(CImageBuffer& b) {
    const uint32_t rest = b.width % b.tileWidth;
    b.lastColumnWidth = rest == 0 ? 0 : (rest + 3) / 4 * 4;
    b.lastRowHeight = b.height % b.tileHeight;
    b.tilesAcross = (b.width + b.tileWidth - 1) / b.tileWidth;
    b.tilesDown = (b.height + b.tileHeight - 1) / b.tileHeight;
    b.tileCount = b.tilesAcross * b.tilesDown;
    b.fullStride = b.Stride(b.tileWidth);
    b.fullRowBits = b.RowBits(b.tileWidth);
    b.lastColumnStride = b.Stride(b.lastColumnWidth);
    b.lastColumnRowBits = b.RowBits(b.lastColumnWidth);
    b.widthRemainder = static_cast<int32_t>(b.width % 4);
}

// 4: one zero-filled block per tile with its own copy of the header
bool makeTiles(CImageBuffer& b) {
    try {
        b.tiles.clear();
        b.tiles.reserve(b.tileCount);
        uint32_t rowsLeft = b.height;
        for (uint32_t row = 0; row < b.tilesDown; ++row) {
            const uint32_t h = rowsLeft >= b.tileHeight ? b.tileHeight : b.lastRowHeight;
            rowsLeft -= h;
            uint32_t colsLeft = b.width;
            for (uint32_t col = 0; col < b.tilesAcross; ++col) {
                const bool last = colsLeft < b.tileWidth;
                const uint32_t w = last ? b.lastColumnWidth : b.tileWidth;
                const uint32_t stride = last ? b.lastColumnStride : b.fullStride;
                colsLeft -= std::min(colsLeft, b.tileWidth);
                BitmapRecord t;
                t.headerSize = b.headerSize;
                t.size = b.headerSize + h * stride;
                t.width = w;
                t.height = h;
                t.block.assign(t.size, 0);
                std::memcpy(t.block.data(), b.header.data(), b.headerSize);
                put32(t.block.data() + 4, w);
                put32(t.block.data() + 8, h);
                put32(t.block.data() + 20, h * stride);
                b.tiles.push_back(std::move(t));
            }
        }
    } catch (const std::bad_alloc&) {
        b.tiles.clear();
        return false;
    }
    return true;
}

// One source row into DIB order: B,G,R or grey, 16-bit samples reduced to their high byte.
void convertRow(const CImageBuffer& b, const uint8_t* src, uint8_t* dst) {
    const uint32_t channels = b.bitsPerPixel == 8 ? 1 : 3;
    for (uint32_t x = 0; x < b.width; ++x) {
        for (uint32_t k = 0; k < channels; ++k) {
            const uint32_t from = channels == 3 ? 2 - k : k;
            const size_t i = (static_cast<size_t>(x) * channels + from) * b.depth;
            uint8_t v;
            if (b.depth == 2) {
                uint16_t s;
                std::memcpy(&s, src + i, 2);
                v = static_cast<uint8_t>(s >> 8);
            } else {
                v = src[i];
            }
            dst[x * channels + k] = v;
        }
    }
}

// 5: fill, bottom source row first
bool fill(CImageBuffer& b, const uint8_t* pixels) {
    const uint32_t channels = b.bitsPerPixel == 8 ? 1 : 3;
    const uint32_t pad = b.widthRemainder ? 4 - static_cast<uint32_t>(b.widthRemainder) : 0;
    std::vector<uint8_t> row;
    try {
        row.assign((static_cast<size_t>(b.width) + pad + b.tileWidth) * channels, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const size_t srcRow = static_cast<size_t>(b.width) * channels * b.depth;
    for (uint32_t line = 0; line < b.height; ++line) {
        const uint8_t* src = pixels + static_cast<size_t>(b.height - 1 - line) * srcRow;
        convertRow(b, src, row.data());
        const uint32_t tileRow = line / b.tileHeight;
        if (tileRow >= b.tilesDown)
            return false;
        const uint32_t y = line % b.tileHeight;
        size_t offset = 0;
        for (uint32_t col = 0; col < b.tilesAcross; ++col) {
            BitmapRecord& t = b.tiles[tileRow * b.tilesAcross + col];
            const size_t stride = b.Stride(t.width);
            const size_t take = std::min<size_t>(static_cast<size_t>(t.width) * channels, row.size() - offset);
            std::memcpy(t.bits() + y * stride, row.data() + offset, take);
            offset += static_cast<size_t>(t.width) * channels;
        }
    }
    return true;
}

std::string fileNameOf(const std::string& path) {
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

uint32_t CImageBuffer::Stride(uint32_t pixels) const {
    return bitsPerPixel == 8 ? (pixels + 3) / 4 * 4 : RowStride24(pixels);
}

int32_t BuildPictureTiles(CImageBuffer& buffer, bool singleTile, const ImageDescription& d, uint64_t dataSize,
                          const uint8_t* pixels, PictureRecord& record) {
    if (!pixels || !geometry(buffer, singleTile, d))
        return 0;
    const uint64_t need = uint64_t{buffer.width} * buffer.height * (buffer.bitsPerPixel == 8 ? 1 : 3) * buffer.depth;
    if (dataSize < need)
        return 0;  // never read past what the caller has
    if (!makeHeader(buffer))
        return 0;
    layout(buffer);
    const bool ok = makeTiles(buffer) && fill(buffer, pixels);
    buffer.header.clear();  // the picture's header never outlives the build
    if (!ok) {
        buffer.tiles.clear();
        return 0;
    }
    record.blocks = std::move(buffer.tiles);
    buffer.tiles.clear();
    record.tileWidth = buffer.tileWidth;
    record.tileHeight = buffer.tileHeight;
    record.lastColumnWidth = buffer.lastColumnWidth;
    record.lastRowHeight = buffer.lastRowHeight;
    record.width = buffer.width;
    record.height = buffer.height;
    record.tilesAcross = buffer.tilesAcross;
    record.tilesDown = buffer.tilesDown;
    record.depth = buffer.depth;
    return 1;
}

int32_t MakePictureRecord(CImageBuffer& buffer, bool singleTile, const std::string& path,
                          const ImageDescription& d, uint64_t dataSize, const uint8_t* pixels,
                          std::unique_ptr<PictureRecord>& out) {
    std::unique_ptr<PictureRecord> record;
    try {
        record = std::make_unique<PictureRecord>();
        record->name = fileNameOf(path);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    if (!BuildPictureTiles(buffer, singleTile, d, dataSize, pixels, *record))
        return 0;
    out = std::move(record);
    return 1;
}

void FreeImageBuffer(std::unique_ptr<PictureRecord>& record, bool withRecord) {
    FreePictureRecord(record, withRecord);
}

int32_t LoadImageBuffer(CImageBuffer& buffer, const std::string& path, std::unique_ptr<PictureRecord>& out,
                        int32_t quarterTurns) {
    // 1
    CJqFileLib lib(path);
    if (!lib.IsLoaded())
        return kLoadNoLibrary;
    // 2
    int32_t rc = lib.Initialize();
    if (rc != 0)
        return rc;
    struct Ender {
        CJqFileLib& lib;
        bool open = false;
        ~Ender() {
            if (open) lib.CloseFile();
            lib.Terminate();
        }
    } ender{lib};
    if ((rc = lib.OpenFile()) != 0)
        return rc;
    ender.open = true;
    if ((rc = lib.GetFileType()) != 0)
        return rc;
    ImageDescription d;
    if ((rc = lib.GetImageInfo(&d.width, &d.height, &d.depth, &d.colorModel)) != 0)
        return rc;
    // 3
    if (d.colorModel == 4 || d.colorModel == 34)
        return kLoadCannotShow;
    // 4: turned as asked; the size is read again
    static const int32_t kOrientation[4] = {1, 8, 3, 6};
    const int32_t orientation = kOrientation[((quarterTurns % 4) + 4) % 4];
    if ((rc = lib.SetImageInfo(d.width, d.height, d.depth, d.colorModel, orientation)) != 0)
        return rc;
    if ((rc = lib.GetImageInfo(&d.width, &d.height, &d.depth, &d.colorModel)) != 0)
        return rc;
    // 5
    if (d.width < static_cast<int32_t>(kMinSide) || d.height < static_cast<int32_t>(kMinSide))
        return kLoadCannotShow;
    // 6: sizes in 64 bits; a picture too large for one read is refused
    const uint64_t channels = d.colorModel == kGreyModel ? 1 : 3;
    const uint64_t bytes = channels * static_cast<uint64_t>(d.depth) * static_cast<uint64_t>(d.width) *
                           static_cast<uint64_t>(d.height);
    if (d.depth < 1 || d.depth > 2 || bytes > 0x7FFFFFFFull)
        return kLoadNoMemory;
    std::vector<uint8_t> pixels;
    try {
        pixels.resize(static_cast<size_t>(bytes));
    } catch (const std::bad_alloc&) {
        return kLoadNoMemory;
    }
    // 7
    if ((rc = lib.ReadImage(0, 0, d.width, d.height, static_cast<uint32_t>(bytes), pixels.data())) != 0)
        return rc;
    std::unique_ptr<PictureRecord> record;
    if (!MakePictureRecord(buffer, false, path, d, bytes, pixels.data(), record))
        return kLoadNoMemory;
    out = std::move(record);
    return kLoadOk;
}
