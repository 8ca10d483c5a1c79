#pragma once
// Decoders behind the loader: a picture file read row by row into the framework's
// pixel layout (components interleaved; 16-bit samples in host order).
#include <cstdint>
#include <memory>
#include <string>

class PictureReader {
public:
    virtual ~PictureReader() = default;
    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    int32_t ColorSpace() const { return m_colorSpace; }
    int32_t Format() const { return m_format; }
    double Resolution() const { return m_resolution; }  // pixels per inch, 0 when unknown
    // Decodes the next rows into out (rowBytes apart); false with a reason on failure.
    virtual bool ReadRows(unsigned char* out, int32_t rowBytes, int32_t rows, std::string* error) = 0;

protected:
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_colorSpace = 0;
    int32_t m_format = 0;
    double m_resolution = 0;
};

// Format of a file by its first bytes: a GrindelFileFormat, or 0 when not known.
int32_t DetectFileFormat(const std::string& path);

// Opens a reader for a file of a known format; null with a reason when it cannot be read.
std::unique_ptr<PictureReader> OpenPictureReader(const std::string& path, std::string* error);

// Largest side the loader accepts, and the largest picture in bytes.
inline constexpr int32_t kMaxPictureSide = 1 << 16;
inline constexpr int64_t kMaxPictureBytes = int64_t(1) << 32;
