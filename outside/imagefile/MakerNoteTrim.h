#pragma once
// A reading copy of an EXIF TIFF structure with the maker-note arrays that cost
// far more to decode than they give left out of sight.
//
// Sony cameras keep an enciphered array of several kilobytes under maker-note
// tag 0x2010. Exiv2 deciphers it and makes an entry of each of its bytes, some
// 6,500 entries that take a hundred times as long as the rest of the EXIF
// structure, for a few settings that are bare numbers (a lens number, the
// focal range) beside the words the rest of the maker note gives. The reading
// copy renames that entry to a tag Exiv2 does not know, so it stays one entry
// of raw bytes; the structure as the camera wrote it is what a save writes.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace jqfl {

// The tag a hidden array's entry carries in the reading copy.
inline constexpr uint16_t kHiddenMakerArrayTag = 0xA010;

// The reading copy of `tiff` (a TIFF header and its IFDs), or an empty vector
// when nothing in it needs hiding (or its layout is not one this reads).
std::vector<uint8_t> makerArraysHidden(const uint8_t* tiff, size_t size);

}  // namespace jqfl
