#pragma once
// CIptcBlock: one IPTC-IIM block in memory (as stored in the picture's tag
// 33723); finds, replaces and adds datasets. A dataset is 0x1C, record, dataset
// number, a big-endian length (bit 15 set: the low bits give 1-4 further length
// bytes), then the data. Record and dataset form one tag (2:25 = 537).
// Sizes are 32-bit: blocks and datasets over 32,767 bytes are handled, and a
// dataset longer than 32,767 bytes is written with an extended length.
#include <cstddef>
#include <cstdint>
#include <vector>

class CIptcBlock {
public:
    static constexpr uint16_t kKeywords = 537;      // 2:25, may repeat
    static constexpr uint16_t kCaption = 632;       // 2:120
    static constexpr size_t kMaxBlock = 16u << 20;  // larger blocks are refused

    CIptcBlock() = default;
    virtual ~CIptcBlock() = default;

    // Takes a copy of a raw block; the cursor goes to its start. False (and the
    // object emptied) for a block too large to keep.
    bool SetData(const uint8_t* bytes, size_t size);
    // Copies the whole block; its size, or -1 when the buffer is null or too small.
    int32_t GetData(uint8_t* buffer, size_t capacity) const;
    // The size, or -1 when there is no block.
    int32_t GetSize() const;
    const std::vector<uint8_t>& Bytes() const { return block_; }

    // The first dataset with the tag: copies up to capacity bytes of its data into
    // the buffer (when given), leaves the cursor at its data and returns its data
    // length; -1 (cursor at the end) when there is no block or no such dataset.
    int32_t Find(uint16_t tag, uint8_t* buffer = nullptr, size_t capacity = 0);
    // The next dataset with the tag after the current one; copies nothing.
    int32_t FindNext(uint16_t tag);
    // The data at the cursor (null at the end).
    const uint8_t* Cursor() const;

    // Replaces the data of the first dataset with the tag; false when there is
    // none (or the result would be too large), leaving the block unchanged.
    bool Replace(uint16_t tag, const uint8_t* data, size_t length);
    // Appends a dataset. Keywords are always added; any other tag fails when a
    // dataset with it exists already.
    bool Add(uint16_t tag, const uint8_t* data, size_t length);

    static void SwapBytes(uint8_t* bytes, size_t count);

private:
    struct Dataset {
        size_t start = 0;   // offset of the 0x1C
        size_t data = 0;    // offset of the data
        size_t length = 0;  // data length
    };
    // The next well-formed dataset header at or after pos; false at the end.
    // The first dataset of tag from pos; without found, walks the whole block.
    // readToEnd: the walk reached the block's end (no damaged dataset stopped it).
    bool scan(size_t pos, uint16_t tag, Dataset* found, bool* readToEnd = nullptr) const;
    static void appendHeader(std::vector<uint8_t>& out, uint16_t tag, size_t length);

    std::vector<uint8_t> block_;
    bool hasBlock_ = false;
    size_t cursor_ = 0;
    size_t cursorLength_ = 0;
};
