#include "outside/grindel/TagControl.h"

#include <cstring>
#include <new>

#include "outside/grindel/Grindel.h"

IVeltraError* IVeltraTagControl::CreateTagControl(IVeltraTagControl** tags)
{
    if (!tags) return IVeltraError::Add(nullptr, kGrindelModule, __LINE__, 0, kVeltraBadArgument);
    *tags = new (std::nothrow) TagControl;
    if (!*tags) return IVeltraError::Add(nullptr, kGrindelModule, __LINE__, 0, kVeltraOutOfMemory);
    return nullptr;
}

namespace {

void muteExiv2Once()
{
    static const bool muted = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        return true;
    }();
    (void)muted;
}

// Tags that describe the stored layout of the source file, not the picture: a JPEG
// has its own, and a TIFF's would lie about it.
bool describesSourceLayout(const Exiv2::Exifdatum& d)
{
    if (d.groupName() == "Thumbnail") return true;
    if (d.groupName() != "Image") return false;
    static const char* const layout[] = {
        "NewSubfileType", "SubfileType", "ImageWidth", "ImageLength", "BitsPerSample",
        "Compression", "PhotometricInterpretation", "FillOrder", "StripOffsets",
        "SamplesPerPixel", "RowsPerStrip", "StripByteCounts", "PlanarConfiguration",
        "Predictor", "ColorMap", "TileWidth", "TileLength", "TileOffsets", "TileByteCounts",
        "SubIFDs", "ExtraSamples", "SampleFormat", "JPEGTables", "JPEGProc",
        "JPEGInterchangeFormat", "JPEGInterchangeFormatLength", "YCbCrCoefficients",
        "YCbCrSubSampling", "YCbCrPositioning", "XMLPacket", "IPTCNAA", "ImageResources",
        "InterColorProfile", "DNGPrivateData"};
    const std::string name = d.tagName();
    for (const char* n : layout)
        if (name == n) return true;
    return false;
}

Exiv2::ExifData withoutLayoutTags(const Exiv2::ExifData& in, bool small)
{
    Exiv2::ExifData out;
    for (const auto& d : in) {
        if (describesSourceLayout(d)) continue;
        // The small form keeps what fits one JPEG block for sure.
        if (small && (d.tagName() == "MakerNote" || d.size() > 1024)) continue;
        out.add(d);
    }
    return out;
}

}  // namespace

bool TagControl::GetTagText(const char* key, char* buffer, size_t size) const
{
    if (!key || !buffer || size == 0) return false;
    try {
        const auto it = m_exif.findKey(Exiv2::ExifKey(key));
        if (it == m_exif.end()) return false;
        const std::string text = it->toString();
        if (text.size() >= size) return false;
        std::memcpy(buffer, text.c_str(), text.size() + 1);
        return true;
    } catch (...) {
        return false;
    }
}

void TagControl::Clear()
{
    m_exif.clear();
    m_iptc.clear();
    m_xmp.clear();
    m_icc = Exiv2::DataBuf();
    m_hasIcc = false;
}

bool TagControl::ReadFrom(const std::string& path)
{
    muteExiv2Once();
    Clear();
    try {
        auto image = Exiv2::ImageFactory::open(path);
        if (!image.get()) return false;
        image->readMetadata();
        m_exif = image->exifData();
        m_iptc = image->iptcData();
        m_xmp = image->xmpData();
        if (image->iccProfileDefined()) {
            m_icc = Exiv2::DataBuf(image->iccProfile()->pData_, image->iccProfile()->size_);
            m_hasIcc = true;
        }
        return true;
    } catch (...) {
        Clear();
        return false;
    }
}

bool TagControl::WriteInto(const std::string& jpegPath, int32_t width, int32_t height) const
{
    muteExiv2Once();
    // Full tags first; then without maker notes and long values; then the picture bare.
    for (int attempt = 0; attempt < 3; ++attempt) {
        try {
            auto image = Exiv2::ImageFactory::open(jpegPath);
            if (!image.get()) return false;
            if (attempt < 2) {
                Exiv2::ExifData exif = withoutLayoutTags(m_exif, attempt == 1);
                if (!exif.empty()) {
                    exif["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(width);
                    exif["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(height);
                }
                image->setExifData(exif);
                image->setIptcData(m_iptc);
                image->setXmpData(m_xmp);
                if (m_hasIcc) {
                    Exiv2::DataBuf icc(m_icc.pData_, m_icc.size_);
                    image->setIccProfile(icc, false);
                }
            } else {
                image->clearMetadata();
            }
            image->writeMetadata();
            return true;
        } catch (...) {
        }
    }
    return false;
}
