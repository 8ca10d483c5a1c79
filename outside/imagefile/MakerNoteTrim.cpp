#include "outside/imagefile/MakerNoteTrim.h"

#include <cstring>
#include <optional>
#include <string_view>

namespace jqfl {
namespace {

constexpr uint16_t kMake = 0x010F;
constexpr uint16_t kExifIfd = 0x8769;
constexpr uint16_t kMakerNote = 0x927C;
constexpr uint16_t kSonyCipheredArray = 0x2010;
constexpr size_t kEntrySize = 12;
constexpr uint16_t kMostEntries = 1000;  // more is not an IFD but noise

// Reads a TIFF structure in its own byte order, every read checked against its end.
class TiffView {
public:
    TiffView(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool readHeader() {
        if (size_ < 8) return false;
        if (std::memcmp(data_, "II*\0", 4) == 0) little_ = true;
        else if (std::memcmp(data_, "MM\0*", 4) == 0) little_ = false;
        else return false;
        return true;
    }

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

    // The position of the entry with `tag` in the IFD at `ifd`, if the whole IFD
    // lies inside the structure.
    std::optional<size_t> findEntry(size_t ifd, uint16_t tag) const {
        const std::optional<uint16_t> count = u16(ifd);
        if (!count || *count == 0 || *count > kMostEntries) return std::nullopt;
        if (size_ - ifd - 2 < size_t{*count} * kEntrySize) return std::nullopt;
        for (size_t i = 0; i < *count; ++i) {
            const size_t entry = ifd + 2 + i * kEntrySize;
            if (u16(entry) == tag) return entry;
        }
        return std::nullopt;
    }

    // Where an entry's value lies: inside the entry when it fits in four bytes,
    // else at its offset; nothing when it does not lie inside the structure.
    std::optional<std::pair<size_t, size_t>> valueOf(size_t entry, size_t unit) const {
        const std::optional<uint32_t> count = u32(entry + 4);
        if (!count || *count > size_ / unit) return std::nullopt;
        const size_t bytes = size_t{*count} * unit;
        if (bytes <= 4) return std::pair{entry + 8, bytes};
        const std::optional<uint32_t> offset = u32(entry + 8);
        if (!offset || *offset > size_ || size_ - *offset < bytes) return std::nullopt;
        return std::pair{size_t{*offset}, bytes};
    }

    std::string_view text(size_t at, size_t bytes) const {
        return {reinterpret_cast<const char*>(data_ + at), bytes};
    }

    void putU16(uint8_t* copy, size_t at, uint16_t v) const {
        copy[at + (little_ ? 0 : 1)] = static_cast<uint8_t>(v);
        copy[at + (little_ ? 1 : 0)] = static_cast<uint8_t>(v >> 8);
    }

private:
    const uint8_t* data_;
    size_t size_;
    bool little_ = true;
};

// The position of a Sony maker note's IFD: after the "SONY DSC " or "SONY CAM "
// header, or at its start when a Sony camera wrote none; nothing for other
// makers and for Sony's other layouts.
std::optional<size_t> sonyMakerIfd(const TiffView& tiff, size_t ifd0, size_t exifIfd) {
    const auto make = tiff.findEntry(ifd0, kMake);
    if (!make) return std::nullopt;
    const auto makeText = tiff.valueOf(*make, 1);
    if (!makeText || tiff.text(makeText->first, makeText->second).substr(0, 4) != "SONY") return std::nullopt;
    const auto note = tiff.findEntry(exifIfd, kMakerNote);
    if (!note) return std::nullopt;
    const auto where = tiff.valueOf(*note, 1);
    if (!where || where->second < 14) return std::nullopt;
    const std::string_view head = tiff.text(where->first, 12);
    using namespace std::string_view_literals;
    if (head == "SONY DSC \0\0\0"sv || head == "SONY CAM \0\0\0"sv) return where->first + 12;
    if (head.substr(0, 4) == "SONY"sv || head.substr(0, 4) == "\0\0SO"sv) return std::nullopt;
    return where->first;
}

}  // namespace

std::vector<uint8_t> makerArraysHidden(const uint8_t* data, size_t size) {
    if (!data) return {};
    TiffView tiff(data, size);
    if (!tiff.readHeader()) return {};
    const auto ifd0 = tiff.u32(4);
    if (!ifd0) return {};
    const auto exifEntry = tiff.findEntry(*ifd0, kExifIfd);
    const auto exifIfd = exifEntry ? tiff.u32(*exifEntry + 8) : std::nullopt;
    if (!exifIfd) return {};
    const auto makerIfd = sonyMakerIfd(tiff, *ifd0, *exifIfd);
    if (!makerIfd) return {};
    const auto array = tiff.findEntry(*makerIfd, kSonyCipheredArray);
    if (!array) return {};
    std::vector<uint8_t> copy(data, data + size);
    tiff.putU16(copy.data(), *array, kHiddenMakerArrayTag);
    return copy;
}

}  // namespace jqfl
