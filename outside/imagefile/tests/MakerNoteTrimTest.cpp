#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <exiv2/exiv2.hpp>

#include "outside/imagefile/MakerNoteTrim.h"
#include "outside/imagefile/MakerTags.h"
#include "outside/imagefile/Metadata.h"

namespace {

// A little-endian TIFF structure as a Sony NEX-3N writes it: Make and Model, an
// EXIF IFD whose maker note ("SONY DSC " header) holds the quality, the lens and
// the enciphered 0x2010 array.
class SonyExif {
public:
    static constexpr uint32_t kArrayBytes = 6512;

    SonyExif() {
        bytes_ = {'I', 'I', 42, 0};
        u32(8);
        // IFD0: Make, Model, EXIF IFD
        start(3);
        const size_t make = entry(0x010F, 2, 5), model = entry(0x0110, 2, 7), exif = entry(0x8769, 4, 1);
        end();
        // EXIF IFD: the maker note
        patch(exif, here());
        start(1);
        const size_t note = entry(0x927C, 7, 0);
        end();
        patch(make, here());
        text("SONY");
        patch(model, here());
        text("NEX-3N");
        // the maker note: header, IFD (offsets from the TIFF header, as Sony's are)
        const size_t noteStart = here();
        patch(note, noteStart);
        for (char c : std::string("SONY DSC \0\0\0", 12)) bytes_.push_back(static_cast<uint8_t>(c));
        start(3);
        entry(0x0102, 4, 1, 2);      // quality: fine
        entry(0x2010, 7, kArrayBytes);
        const size_t array = bytes_.size() - 4;
        entry(0xB027, 4, 1, 2);      // lens: a Minolta AF 28-70mm F2.8 G
        end();
        patch(array, here());
        for (uint32_t i = 0; i < kArrayBytes; ++i) bytes_.push_back(static_cast<uint8_t>(i * 37 + 11));
        put32(note - 4, static_cast<uint32_t>(here() - noteStart));  // the maker note's size
    }

    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<uint8_t> bytes_;
    size_t here() const { return bytes_.size(); }
    void u16(uint16_t v) { bytes_.insert(bytes_.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void put32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    size_t start(uint16_t count) {
        const size_t at = here();
        u16(count);
        return at;
    }
    // An entry; returns the position of its value field.
    size_t entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value = 0) {
        u16(tag);
        u16(type);
        u32(count);
        u32(value);
        return here() - 4;
    }
    void end() { u32(0); }
    void patch(size_t valueField, size_t offset) { put32(valueField, static_cast<uint32_t>(offset)); }
    void text(const std::string& s) {
        bytes_.insert(bytes_.end(), s.begin(), s.end());
        bytes_.push_back(0);
        if (here() & 1) bytes_.push_back(0);
    }
};

// The entries Exiv2 decodes from an EXIF structure, of one group.
std::vector<std::string> entriesOf(const uint8_t* data, size_t size, const std::string& group) {
    Exiv2::ExifData d;
    Exiv2::ExifParser::decode(d, data, static_cast<uint32_t>(size));
    std::vector<std::string> out;
    for (const Exiv2::Exifdatum& e : d)
        if (e.groupName() == group) out.push_back(e.key() + "=" + e.toString());
    return out;
}

std::vector<uint8_t> tiffOf(const std::vector<uint8_t>& segment) {
    EXPECT_GE(segment.size(), 6u);
    return {segment.begin() + 6, segment.end()};
}

}  // namespace

// The enciphered array is hidden from reading, kept in what a save writes, and
// the camera settings come from the rest of the maker note.
TEST(MakerNoteTrim, SonyArrayIsReadAsOneEntryAndSavedWhole) {
    const SonyExif sony;
    const std::vector<uint8_t>& tiff = sony.bytes();
    const auto spelled = entriesOf(tiff.data(), tiff.size(), "Sony2010e");
    ASSERT_GT(spelled.size(), 1000u) << "the fixture is not one Exiv2 spells out";

    const std::vector<uint8_t> reading = jqfl::makerArraysHidden(tiff.data(), tiff.size());
    ASSERT_EQ(reading.size(), tiff.size());
    EXPECT_TRUE(entriesOf(reading.data(), reading.size(), "Sony2010e").empty());

    jqfl::Metadata meta;
    ASSERT_TRUE(meta.readExif(tiff.data(), tiff.size()));
    const jqfl::TagValue* quality = meta.find(jqfl::maker::kQuality);
    ASSERT_NE(quality, nullptr);
    int32_t code = -1;
    std::memcpy(&code, quality->bytes.data(), 4);
    EXPECT_EQ(code, 0);
    const jqfl::TagValue* lens = meta.find(jqfl::maker::kLensName);
    ASSERT_NE(lens, nullptr);
    EXPECT_STREQ(reinterpret_cast<const char*>(lens->bytes.data()), "Minolta AF 28-70mm F2.8 G");

    // a save as it stands, and one after a tag was changed, keep the array
    const auto saved = tiffOf(meta.exifSegment(640, 480, false));
    EXPECT_EQ(entriesOf(saved.data(), saved.size(), "Sony2010e"), spelled);
    const uint16_t rating = 3;
    ASSERT_TRUE(meta.set(0x4746, 3, reinterpret_cast<const uint8_t*>(&rating), 2));
    const auto changed = tiffOf(meta.exifSegment(640, 480, false));
    EXPECT_EQ(entriesOf(changed.data(), changed.size(), "Sony2010e"), spelled);
    EXPECT_EQ(entriesOf(changed.data(), changed.size(), "Image").size(),
              entriesOf(saved.data(), saved.size(), "Image").size() + 1);
}

// Structures that are not a Sony maker note with the array, or that end early,
// are read as they stand.
TEST(MakerNoteTrim, OtherAndDamagedStructuresAreLeftAlone) {
    const std::vector<uint8_t> whole = SonyExif().bytes();
    using namespace std::string_literals;
    auto replaced = [](std::vector<uint8_t> b, const std::string& from, const std::string& to) {
        for (size_t i = 0; i + from.size() <= b.size(); ++i)
            if (std::memcmp(b.data() + i, from.data(), from.size()) == 0) std::memcpy(b.data() + i, to.data(), to.size());
        return b;
    };
    // another maker's camera; Sony's layout without the DSC header
    for (const auto& other : {replaced(whole, "SONY\0"s, "CANO\0"s), replaced(whole, "SONY DSC"s, "SONY PIC"s)})
        EXPECT_TRUE(jqfl::makerArraysHidden(other.data(), other.size()).empty());
    for (size_t cut : {0u, 7u, 30u, 60u, 120u, 140u})
        EXPECT_TRUE(jqfl::makerArraysHidden(whole.data(), cut).empty()) << cut;
    EXPECT_TRUE(jqfl::makerArraysHidden(nullptr, 100).empty());
}
