#include "outside/grindel/PictureReaders.h"

#include <jpeglib.h>
#include <jerror.h>
#include <setjmp.h>
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "outside/grindel/VeltraLoad.h"

namespace {

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

FilePtr openFile(const std::string& path) { return FilePtr(std::fopen(path.c_str(), "rbe"), std::fclose); }

bool sizeAcceptable(int64_t width, int64_t height, int64_t bytesPerPixel)
{
    return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height * bytesPerPixel <= kMaxPictureBytes;
}

// ---- JPEG ---------------------------------------------------------------------------

// True when an APP1 "Exif" block comes before the first frame marker.
bool jpegHasExif(std::FILE* f)
{
    unsigned char b[4];
    if (std::fseek(f, 2, SEEK_SET) != 0) return false;
    for (int markers = 0; markers < 64; ++markers) {
        if (std::fread(b, 1, 4, f) != 4 || b[0] != 0xFF) return false;
        const int marker = b[1];
        const long length = (b[2] << 8) | b[3];
        if (length < 2) return false;
        if (marker == 0xE1 && length >= 8) {
            char id[6];
            if (std::fread(id, 1, 6, f) != 6) return false;
            if (std::memcmp(id, "Exif\0\0", 6) == 0) return true;
            if (std::fseek(f, length - 8, SEEK_CUR) != 0) return false;
            continue;
        }
        if ((marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) ||
            marker == 0xDA)
            return false;
        if (std::fseek(f, length - 2, SEEK_CUR) != 0) return false;
    }
    return false;
}

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    char text[JMSG_LENGTH_MAX];
    bool truncated;
};

void jpegFail(j_common_ptr info)
{
    auto* e = reinterpret_cast<JpegError*>(info->err);
    info->err->format_message(info, e->text);
    longjmp(e->jump, 1);
}

// Warnings are not shown; data that ends early is noted, since libjpeg would go on
// with made-up grey rows.
void jpegQuiet(j_common_ptr info, int level)
{
    if (level == -1 && info->err->msg_code == JWRN_JPEG_EOF)
        reinterpret_cast<JpegError*>(info->err)->truncated = true;
}

class JpegReader final : public PictureReader {
public:
    ~JpegReader() override
    {
        if (m_started) jpeg_destroy_decompress(&m_info);
    }

    bool Open(const std::string& path, int32_t format, std::string* error)
    {
        m_file = openFile(path);
        if (!m_file) {
            *error = "cannot open the file";
            return false;
        }
        m_format = format;
        m_info.err = jpeg_std_error(&m_error.mgr);
        m_error.mgr.error_exit = jpegFail;
        m_error.mgr.emit_message = jpegQuiet;
        if (setjmp(m_error.jump)) {
            *error = m_error.text;
            return false;
        }
        jpeg_create_decompress(&m_info);
        m_started = true;
        m_info.mem->max_memory_to_use = 1L << 30;  // progressive pictures keep whole planes
        jpeg_stdio_src(&m_info, m_file.get());
        jpeg_read_header(&m_info, TRUE);
        const bool grey = m_info.num_components == 1;
        m_info.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
        if (!sizeAcceptable(m_info.image_width, m_info.image_height, grey ? 1 : 3)) {
            *error = "picture size out of range";
            return false;
        }
        jpeg_start_decompress(&m_info);
        m_width = static_cast<int32_t>(m_info.output_width);
        m_height = static_cast<int32_t>(m_info.output_height);
        m_colorSpace = grey ? 2 : 32;
        if (m_info.saw_JFIF_marker && m_info.X_density > 0) {
            if (m_info.density_unit == 1) m_resolution = m_info.X_density;
            if (m_info.density_unit == 2) m_resolution = m_info.X_density * 2.54;
        }
        return true;
    }

    bool ReadRows(unsigned char* out, int32_t rowBytes, int32_t rows, std::string* error) override
    {
        if (setjmp(m_error.jump)) {
            *error = m_error.text;
            return false;
        }
        for (int32_t y = 0; y < rows; ++y) {
            JSAMPROW row = out + static_cast<ptrdiff_t>(y) * rowBytes;
            if (jpeg_read_scanlines(&m_info, &row, 1) != 1 || m_error.truncated) {
                *error = "JPEG data ends early";
                return false;
            }
        }
        return true;
    }

private:
    FilePtr m_file{nullptr, std::fclose};
    jpeg_decompress_struct m_info{};
    JpegError m_error{};
    bool m_started = false;
};

// ---- TIFF ---------------------------------------------------------------------------

int tiffError(TIFF*, void* user, const char*, const char* fmt, va_list ap)
{
    auto* text = static_cast<std::string*>(user);
    char buf[512];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    if (text->empty()) *text = buf;
    return 1;
}

int tiffWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

class TiffReader final : public PictureReader {
public:
    ~TiffReader() override
    {
        if (m_rgbaStarted) TIFFRGBAImageEnd(&m_rgba);
        if (m_tiff) TIFFClose(m_tiff);
    }

    bool Open(const std::string& path, std::string* error)
    {
        TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
        if (!options) {
            *error = "out of memory";
            return false;
        }
        TIFFOpenOptionsSetErrorHandlerExtR(options, tiffError, &m_libError);
        TIFFOpenOptionsSetWarningHandlerExtR(options, tiffWarning, nullptr);
        TIFFOpenOptionsSetMaxSingleMemAlloc(options, 256 << 20);
        m_tiff = TIFFOpenExt(path.c_str(), "r", options);
        TIFFOpenOptionsFree(options);
        if (!m_tiff) {
            *error = m_libError.empty() ? "not a readable TIFF file" : m_libError;
            return false;
        }
        uint32_t w = 0, h = 0;
        uint16_t bits = 1, samples = 1, photometric = 0, planar = PLANARCONFIG_CONTIG, format = 1;
        TIFFGetField(m_tiff, TIFFTAG_IMAGEWIDTH, &w);
        TIFFGetField(m_tiff, TIFFTAG_IMAGELENGTH, &h);
        TIFFGetFieldDefaulted(m_tiff, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(m_tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetFieldDefaulted(m_tiff, TIFFTAG_PLANARCONFIG, &planar);
        TIFFGetFieldDefaulted(m_tiff, TIFFTAG_SAMPLEFORMAT, &format);
        if (!TIFFGetField(m_tiff, TIFFTAG_PHOTOMETRIC, &photometric)) photometric = 0xFFFF;
        readResolution();

        const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
        const bool rgb = photometric == PHOTOMETRIC_RGB;
        m_planes = grey ? 1 : 3;
        const bool direct = (grey || rgb) && (bits == 8 || bits == 16) && samples >= m_planes &&
                            planar == PLANARCONFIG_CONTIG && format == SAMPLEFORMAT_UINT &&
                            !TIFFIsTiled(m_tiff);
        m_invert = photometric == PHOTOMETRIC_MINISWHITE;
        // sizes from the file are checked before anything is allocated for them
        const int64_t fileBytesPerPixel = direct ? int64_t(samples) * (bits / 8) : 4;
        if (samples > 8 || !sizeAcceptable(w, h, fileBytesPerPixel)) {
            *error = "picture size out of range";
            return false;
        }
        if (direct) {
            m_bytes = bits / 8;
            m_samples = samples;
            m_format = bits == 8 ? kGrindelTiff8 : kGrindelTiff16;
            m_colorSpace = grey ? (bits == 8 ? 2 : 3) : (bits == 8 ? 32 : 33);
            m_line.resize(static_cast<size_t>(TIFFScanlineSize64(m_tiff)));
        } else {
            char message[1024] = {};
            if (!TIFFRGBAImageOK(m_tiff, message) ||
                !TIFFRGBAImageBegin(&m_rgba, m_tiff, 0, message)) {
                *error = std::string("TIFF layout not supported: ") + message;
                return false;
            }
            m_rgbaStarted = true;
            m_rgba.req_orientation = ORIENTATION_TOPLEFT;
            m_format = kGrindelTiffOther;
            m_colorSpace = 32;
            m_planes = 3;
        }
        m_width = static_cast<int32_t>(w);
        m_height = static_cast<int32_t>(h);
        return true;
    }

    bool ReadRows(unsigned char* out, int32_t rowBytes, int32_t rows, std::string* error) override
    {
        const bool ok = m_rgbaStarted ? readRgbaRows(out, rowBytes, rows) : readDirectRows(out, rowBytes, rows);
        if (!ok) *error = m_libError.empty() ? "TIFF data cannot be read" : m_libError;
        return ok;
    }

private:
    void readResolution()
    {
        float x = 0;
        uint16_t unit = RESUNIT_INCH;
        TIFFGetFieldDefaulted(m_tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
        if (TIFFGetField(m_tiff, TIFFTAG_XRESOLUTION, &x) && x > 0) {
            if (unit == RESUNIT_INCH) m_resolution = x;
            if (unit == RESUNIT_CENTIMETER) m_resolution = x * 2.54;
        }
    }

    bool readDirectRows(unsigned char* out, int32_t rowBytes, int32_t rows)
    {
        const size_t pixelBytes = size_t(m_planes) * m_bytes;
        const size_t fileBytes = size_t(m_samples) * m_bytes;
        if (size_t(m_width) * fileBytes > m_line.size()) return false;
        for (int32_t y = 0; y < rows; ++y, ++m_row) {
            unsigned char* dst = out + static_cast<ptrdiff_t>(y) * rowBytes;
            if (TIFFReadScanline(m_tiff, m_line.data(), static_cast<uint32_t>(m_row), 0) < 0) return false;
            for (int32_t x = 0; x < m_width; ++x)
                std::memcpy(dst + x * pixelBytes, m_line.data() + x * fileBytes, pixelBytes);
            if (m_invert) {
                for (size_t i = 0; i < size_t(m_width) * pixelBytes; ++i)
                    dst[i] = static_cast<unsigned char>(~dst[i]);
            }
        }
        return true;
    }

    // libtiff renders any other layout to 8-bit RGBA, a band at a time.
    bool readRgbaRows(unsigned char* out, int32_t rowBytes, int32_t rows)
    {
        m_rgbaRows.resize(size_t(m_width) * size_t(rows));
        m_rgba.row_offset = m_row;
        m_rgba.col_offset = 0;
        if (!TIFFRGBAImageGet(&m_rgba, m_rgbaRows.data(), static_cast<uint32_t>(m_width),
                              static_cast<uint32_t>(rows)))
            return false;
        for (int32_t y = 0; y < rows; ++y) {
            unsigned char* dst = out + static_cast<ptrdiff_t>(y) * rowBytes;
            const uint32_t* src = m_rgbaRows.data() + size_t(y) * size_t(m_width);
            for (int32_t x = 0; x < m_width; ++x) {
                dst[3 * x] = static_cast<unsigned char>(TIFFGetR(src[x]));
                dst[3 * x + 1] = static_cast<unsigned char>(TIFFGetG(src[x]));
                dst[3 * x + 2] = static_cast<unsigned char>(TIFFGetB(src[x]));
            }
        }
        m_row += rows;
        return true;
    }

    TIFF* m_tiff = nullptr;
    std::string m_libError;
    TIFFRGBAImage m_rgba{};
    bool m_rgbaStarted = false;
    std::vector<uint32_t> m_rgbaRows;
    std::vector<unsigned char> m_line;
    int32_t m_planes = 0;
    int32_t m_samples = 0;
    int32_t m_bytes = 1;
    int32_t m_row = 0;
    bool m_invert = false;
};

}  // namespace

int32_t DetectFileFormat(const std::string& path)
{
    FilePtr f = openFile(path);
    if (!f) return 0;
    unsigned char head[4] = {};
    if (std::fread(head, 1, 4, f.get()) != 4) return 0;
    const bool tiff = (head[0] == 'I' && head[1] == 'I' && (head[2] == 42 || head[2] == 43) && head[3] == 0) ||
                      (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && (head[3] == 42 || head[3] == 43));
    if (tiff) return kGrindelTiff8;  // refined when the reader opens it
    if (head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
        return jpegHasExif(f.get()) ? kGrindelExifJpeg : kGrindelJfif;
    return 0;
}

std::unique_ptr<PictureReader> OpenPictureReader(const std::string& path, std::string* error)
{
    const int32_t format = DetectFileFormat(path);
    if (format == kGrindelJfif || format == kGrindelExifJpeg) {
        auto r = std::make_unique<JpegReader>();
        if (!r->Open(path, format, error)) return nullptr;
        return r;
    }
    if (format != 0) {
        auto r = std::make_unique<TiffReader>();
        if (!r->Open(path, error)) return nullptr;
        return r;
    }
    *error = "file format not recognised";
    return nullptr;
}
