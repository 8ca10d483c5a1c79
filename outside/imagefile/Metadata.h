#pragma once
// Tags of a picture: read from its EXIF structure (Exiv2) and IPTC block, changed
// by the caller, and written back when the picture is saved.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace jqfl {

struct TagValue {
    uint32_t type = 0;
    uint32_t count = 0;
    std::vector<uint8_t> bytes;  // values in the machine's order
};

class Metadata {
public:
    Metadata();
    ~Metadata();
    Metadata(const Metadata&) = delete;
    Metadata& operator=(const Metadata&) = delete;

    // Reads an EXIF TIFF structure; a damaged structure leaves what could be read
    // (nothing at worst) and reports false.
    bool readExif(const uint8_t* data, size_t size);
    // Takes the IPTC block out of a Photoshop resource list (JPEG APP13).
    void readPhotoshop(const uint8_t* data, size_t size);
    // Takes a raw IPTC block (TIFF tag 33723); trailing padding is cut.
    void setIptc(const uint8_t* data, size_t size);

    const std::map<uint32_t, TagValue>& tags() const { return tags_; }
    const TagValue* find(uint32_t tag) const;

    // Sets or replaces a tag; false when the type is not one this library writes.
    bool set(uint32_t tag, uint32_t type, const uint8_t* data, size_t size);
    // Whether a tag of the EXIF structure (anything but the IPTC block) was set
    // since reading: a save that changes no pixels then keeps the EXIF bytes as
    // the camera wrote them, maker note and thumbnail included.
    bool exifChanged() const { return exifChanged_; }

    // The APP1 payload ("Exif\0\0" + TIFF) for a saved JPEG of width x height;
    // turned tells that the pixels were turned (orientation becomes 1). Empty when
    // the picture has no EXIF.
    std::vector<uint8_t> exifSegment(int width, int height, bool turned) const;
    // The APP13 payload ("Photoshop 3.0\0" + resources) with the IPTC block; empty
    // when there is none.
    std::vector<uint8_t> photoshopSegment() const;
    const std::vector<uint8_t>& iptc() const { return iptc_; }
    // The JPEG thumbnail kept in the EXIF structure; empty when there is none.
    std::vector<uint8_t> thumbnail() const;
    // The picture's size as the EXIF structure gives it (0 when absent).
    void exifDimensions(int* width, int* height) const;
    // Text tags of IFD0 for a TIFF save.
    std::vector<std::pair<uint32_t, std::string>> textTags() const;
    // The EXIF structure as a TIFF save of width x height carries it: every tag
    // still true of the new pixels (camera, exposure, position, colour profile,
    // XMP), none of the old picture's layout or thumbnail. Writes it into the
    // TIFF file at `path` with the colour profile and the (cleaned) XMP packet
    // given; false when that fails.
    bool writeIntoTiff(const std::string& path, int width, int height, bool turned, const std::vector<uint8_t>& icc,
                       const std::string& xmp) const;

    // An XMP packet with the values that describe the old pixels (orientation,
    // size) taken out, for a picture that was turned or scaled; empty when the
    // packet cannot be read.
    static std::string xmpForNewPixels(const std::string& packet);

private:
    struct Exif;
    std::unique_ptr<Exif> exif_;
    std::map<uint32_t, TagValue> tags_;
    std::vector<uint8_t> iptc_;
    std::vector<uint8_t> otherResources_;  // Photoshop resources other than IPTC, kept as they were
    std::vector<uint8_t> iptcDigest_;      // the resource holding the IPTC block's digest
    bool exifChanged_ = false;
    bool iptcChanged_ = false;             // the digest no longer matches: it is left out
    void refreshIptcTag();
};

// Length of the well-formed prefix of an IIM block (whole datasets only).
size_t iimLength(const uint8_t* data, size_t size);

}  // namespace jqfl
