#pragma once
// Bounded reads of a TIFF structure (the block inside an EXIF segment) in its
// own byte order. The bytes come from files and cameras, so every read is
// checked against the structure's end and answers nothing past it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

namespace tiffblock {

class TiffBlock {
public:
    static constexpr size_t kEntrySize = 12;

    // An IFD entry: where it stands, its type and its count of values.
    struct Entry {
        size_t at;
        uint16_t type;
        uint32_t count;
    };

    TiffBlock(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {
        if (size_ >= 8 && std::memcmp(data_, "II*\0", 4) == 0) valid_ = true, little_ = true;
        else if (size_ >= 8 && std::memcmp(data_, "MM\0*", 4) == 0) valid_ = true, little_ = false;
    }

    // Whether the structure starts with a TIFF header.
    bool valid() const { return valid_; }
    bool littleEndian() const { return little_; }
    size_t size() const { return size_; }

    std::optional<uint16_t> u16(size_t at) const {
        if (at > size_ || size_ - at < 2) return std::nullopt;
        const uint8_t* p = data_ + at;
        return static_cast<uint16_t>(little_ ? p[0] | p[1] << 8 : p[0] << 8 | p[1]);
    }

    std::optional<uint32_t> u32(size_t at) const {
        if (at > size_ || size_ - at < 4) return std::nullopt;
        const uint8_t* p = data_ + at;
        return little_ ? uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24
                       : uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
    }

    // The offset of IFD0.
    std::optional<uint32_t> firstIfd() const { return valid_ ? u32(4) : std::nullopt; }

    // The entry with `tag` in the IFD at `ifd`; entries are read up to it, each
    // whole inside the structure.
    std::optional<Entry> find(size_t ifd, uint16_t tag) const {
        const std::optional<uint16_t> count = u16(ifd);
        if (!count) return std::nullopt;
        for (size_t i = 0; i < *count; ++i) {
            const size_t at = ifd + 2 + i * kEntrySize;
            if (at > size_ || size_ - at < kEntrySize) return std::nullopt;
            if (*u16(at) == tag) return Entry{at, *u16(at + 2), *u32(at + 4)};
        }
        return std::nullopt;
    }

    // The 32-bit value or offset an entry holds.
    uint32_t word(const Entry& e) const { return *u32(e.at + 8); }

    // Where an entry's values lie, `unit` bytes each: inside the entry when
    // they fit in four bytes, else at its offset; nothing when they do not lie
    // inside the structure.
    std::optional<std::pair<size_t, size_t>> valueOf(const Entry& e, size_t unit) const {
        if (unit == 0 || e.count > size_ / unit) return std::nullopt;
        const size_t bytes = size_t{e.count} * unit;
        if (bytes <= 4) return std::pair{e.at + 8, bytes};
        const size_t offset = word(e);
        if (offset > size_ || size_ - offset < bytes) return std::nullopt;
        return std::pair{offset, bytes};
    }

    std::string_view text(size_t at, size_t bytes) const {
        if (at > size_) return {};
        return {reinterpret_cast<const char*>(data_ + at), std::min(bytes, size_ - at)};
    }

    // Writes a 16-bit value into `copy` (a copy of the structure) in its order.
    void put16(uint8_t* copy, size_t at, uint16_t v) const {
        copy[at + (little_ ? 0 : 1)] = static_cast<uint8_t>(v);
        copy[at + (little_ ? 1 : 0)] = static_cast<uint8_t>(v >> 8);
    }

private:
    const uint8_t* data_;
    size_t size_;
    bool valid_ = false;
    bool little_ = true;
};

}  // namespace tiffblock
