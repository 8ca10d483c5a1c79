#pragma once
// The tag control holds Exiv2's metadata of the loaded file.
#include <exiv2/exiv2.hpp>

#include <string>

#include "outside/grindel/VeltraTagControl.h"

class TagControl final : public IVeltraTagControl {
public:
    void Release() override { delete this; }
    int32_t GetTagCount() const override { return static_cast<int32_t>(m_exif.count()); }
    bool GetTagText(const char* key, char* buffer, size_t size) const override;
    void Clear() override;

    // Reads the tags of a picture file; false (and nothing held) when it has none readable.
    bool ReadFrom(const std::string& path);
    // Writes the held tags into a finished JPEG file, describing a width x height picture.
    bool WriteInto(const std::string& jpegPath, int32_t width, int32_t height) const;

private:
    Exiv2::ExifData m_exif;
    Exiv2::IptcData m_iptc;
    Exiv2::XmpData m_xmp;
    Exiv2::DataBuf m_icc;
    bool m_hasIcc = false;
};
