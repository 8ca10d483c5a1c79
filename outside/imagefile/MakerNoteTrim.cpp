#include "outside/imagefile/MakerNoteTrim.h"

#include <optional>
#include <string_view>

#include "outside/tiff/TiffBlock.h"

namespace jqfl {
namespace {

using tiffblock::TiffBlock;

constexpr uint16_t kMake = 0x010F;
constexpr uint16_t kExifIfd = 0x8769;
constexpr uint16_t kMakerNote = 0x927C;
constexpr uint16_t kSonyCipheredArray = 0x2010;

// The position of a Sony maker note's IFD: after the "SONY DSC " or "SONY CAM "
// header, or at its start when a Sony camera wrote none; nothing for other
// makers and for Sony's other layouts.
std::optional<size_t> sonyMakerIfd(const TiffBlock& tiff, size_t ifd0, size_t exifIfd) {
    using namespace std::string_view_literals;
    const auto make = tiff.find(ifd0, kMake);
    const auto makeText = make ? tiff.valueOf(*make, 1) : std::nullopt;
    if (!makeText || tiff.text(makeText->first, makeText->second).substr(0, 4) != "SONY"sv) return std::nullopt;
    const auto note = tiff.find(exifIfd, kMakerNote);
    const auto where = note ? tiff.valueOf(*note, 1) : std::nullopt;
    if (!where || where->second < 14) return std::nullopt;
    const std::string_view head = tiff.text(where->first, 12);
    if (head == "SONY DSC \0\0\0"sv || head == "SONY CAM \0\0\0"sv) return where->first + 12;
    if (head.substr(0, 4) == "SONY"sv || head.substr(0, 4) == "\0\0SO"sv) return std::nullopt;
    return where->first;
}

}  // namespace

std::vector<uint8_t> makerArraysHidden(const uint8_t* data, size_t size) {
    const TiffBlock tiff(data, size);
    const auto ifd0 = tiff.firstIfd();
    const auto exifEntry = ifd0 ? tiff.find(*ifd0, kExifIfd) : std::nullopt;
    if (!exifEntry) return {};
    const auto makerIfd = sonyMakerIfd(tiff, *ifd0, tiff.word(*exifEntry));
    const auto array = makerIfd ? tiff.find(*makerIfd, kSonyCipheredArray) : std::nullopt;
    if (!array) return {};
    std::vector<uint8_t> copy(data, data + size);
    tiff.put16(copy.data(), array->at, kHiddenMakerArrayTag);
    return copy;
}

}  // namespace jqfl
