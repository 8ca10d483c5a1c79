#include "outside/imagefile/TiffCodec.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include <tiffio.h>

#include "outside/imagefile/JqFileLib.h"

namespace jqfl {

namespace {

struct MemoryFile {
    const uint8_t* data;
    toff_t size;
    toff_t pos;
};

tsize_t memRead(thandle_t h, tdata_t buf, tsize_t n) {
    auto* f = static_cast<MemoryFile*>(h);
    if (n <= 0 || f->pos >= f->size) return 0;
    const toff_t take = std::min<toff_t>(static_cast<toff_t>(n), f->size - f->pos);
    std::memcpy(buf, f->data + f->pos, static_cast<size_t>(take));
    f->pos += take;
    return static_cast<tsize_t>(take);
}
tsize_t memWrite(thandle_t, tdata_t, tsize_t) { return 0; }
toff_t memSeek(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    toff_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->size : 0;
    const toff_t target = base + off;
    if (target > f->size) return static_cast<toff_t>(-1);
    f->pos = target;
    return f->pos;
}
int memClose(thandle_t) { return 0; }
toff_t memSize(thandle_t h) { return static_cast<MemoryFile*>(h)->size; }
int memMap(thandle_t, tdata_t*, toff_t*) { return 0; }
void memUnmap(thandle_t, tdata_t, toff_t) {}

void quietLibtiff() {
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
}

struct TiffCloser {
    TIFF* t;
    ~TiffCloser() { if (t) TIFFClose(t); }
};

TIFF* openMemory(MemoryFile& f) {
    quietLibtiff();
    return TIFFClientOpen("memory", "rm", &f, memRead, memWrite, memSeek, memClose, memSize, memMap, memUnmap);
}

struct Layout {
    uint32_t width = 0, height = 0;
    uint16_t spp = 1, bps = 8, photometric = PHOTOMETRIC_MINISBLACK, planar = PLANARCONFIG_CONTIG;
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
};

Layout layoutOf(TIFF* t) {
    Layout l;
    TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(t, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &l.spp);
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &l.bps);
    TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &l.planar);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &l.sampleFormat);
    if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &l.photometric))
        l.photometric = l.spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    return l;
}

int colorModelOf(const Layout& l) {
    if (l.photometric == PHOTOMETRIC_SEPARATED) return JQFL_MODEL_CMYK;
    if ((l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE) && l.spp == 1)
        return JQFL_MODEL_GREY;
    return JQFL_MODEL_RGB;
}

bool directRows(const Layout& l, TIFF* t) {
    return !TIFFIsTiled(t) && l.planar == PLANARCONFIG_CONTIG && l.sampleFormat == SAMPLEFORMAT_UINT &&
           (l.bps == 8 || l.bps == 16) &&
           ((l.photometric == PHOTOMETRIC_MINISBLACK && l.spp == 1) || (l.photometric == PHOTOMETRIC_RGB && l.spp >= 3));
}

int32_t readRows(TIFF* t, const Layout& l, Raster& out) {
    const int channels = l.spp == 1 ? 1 : 3;
    const int depth = l.bps / 8;
    if (!allocateRaster(out, static_cast<int>(l.width), static_cast<int>(l.height), channels, depth))
        return JQFL_NO_MEMORY;
    const tmsize_t lineSize = TIFFScanlineSize(t);
    const size_t need = static_cast<size_t>(l.width) * l.spp * depth;
    if (lineSize <= 0 || static_cast<size_t>(lineSize) < need)
        return JQFL_CORRUPT;
    std::vector<uint8_t> line(static_cast<size_t>(lineSize));
    for (uint32_t y = 0; y < l.height; ++y) {
        if (TIFFReadScanline(t, line.data(), y, 0) < 0)
            return JQFL_CORRUPT;
        uint8_t* dst = out.data.data() + y * out.rowBytes();
        if (l.spp == static_cast<uint16_t>(channels)) {
            std::memcpy(dst, line.data(), out.rowBytes());
        } else {
            const size_t px = static_cast<size_t>(depth) * channels;
            const size_t srcPx = static_cast<size_t>(depth) * l.spp;
            for (uint32_t x = 0; x < l.width; ++x)
                std::memcpy(dst + x * px, line.data() + x * srcPx, px);
        }
    }
    return JQFL_OK;
}

int32_t readRgba(TIFF* t, const Layout& l, Raster& out) {
    if (rasterBytes(static_cast<int>(l.width), static_cast<int>(l.height), 4, 1) == 0)
        return JQFL_NO_MEMORY;
    std::vector<uint32_t> rgba;
    try {
        rgba.resize(static_cast<size_t>(l.width) * l.height);
    } catch (const std::bad_alloc&) {
        return JQFL_NO_MEMORY;
    }
    if (!TIFFReadRGBAImageOriented(t, l.width, l.height, rgba.data(), ORIENTATION_TOPLEFT, 0))
        return JQFL_CORRUPT;
    if (!allocateRaster(out, static_cast<int>(l.width), static_cast<int>(l.height), 3, 1))
        return JQFL_NO_MEMORY;
    for (size_t i = 0; i < rgba.size(); ++i) {
        out.data[i * 3] = static_cast<uint8_t>(TIFFGetR(rgba[i]));
        out.data[i * 3 + 1] = static_cast<uint8_t>(TIFFGetG(rgba[i]));
        out.data[i * 3 + 2] = static_cast<uint8_t>(TIFFGetB(rgba[i]));
    }
    return JQFL_OK;
}

}  // namespace

int32_t readTiffHeader(const uint8_t* data, size_t size, TiffHeader& header) {
    MemoryFile f{data, static_cast<toff_t>(size), 0};
    TiffCloser t{openMemory(f)};
    if (!t.t)
        return JQFL_CORRUPT;
    const Layout l = layoutOf(t.t);
    if (l.width == 0 || l.height == 0 || l.width > 65535 || l.height > 65535)
        return JQFL_CORRUPT;
    header.width = static_cast<int>(l.width);
    header.height = static_cast<int>(l.height);
    header.depth = directRows(l, t.t) && l.bps == 16 ? 2 : 1;
    header.colorModel = colorModelOf(l);
    uint32_t count = 0;
    void* iptc = nullptr;
    if (TIFFGetField(t.t, TIFFTAG_RICHTIFFIPTC, &count, &iptc) && iptc && count > 0 && count < (1u << 22)) {
        const auto* b = static_cast<const uint8_t*>(iptc);
        header.iptc.assign(b, b + count);  // libtiff counts this tag in bytes
    }
    return JQFL_OK;
}

int32_t decodeTiff(const uint8_t* data, size_t size, Raster& out) {
    MemoryFile f{data, static_cast<toff_t>(size), 0};
    TiffCloser t{openMemory(f)};
    if (!t.t)
        return JQFL_CORRUPT;
    const Layout l = layoutOf(t.t);
    if (l.width == 0 || l.height == 0 || l.width > 65535 || l.height > 65535)
        return JQFL_CORRUPT;
    if (colorModelOf(l) == JQFL_MODEL_CMYK)
        return JQFL_UNSUPPORTED;
    Raster pixels;
    const int32_t rc = directRows(l, t.t) ? readRows(t.t, l, pixels) : readRgba(t.t, l, pixels);
    if (rc == JQFL_OK)
        out = std::move(pixels);
    return rc;
}

int32_t encodeTiff(const Raster& in, const std::string& path, const std::vector<TiffTextTag>& texts,
                   const std::vector<uint8_t>& iptc, const TiffExtras& extras) {
    quietLibtiff();
    TiffCloser t{TIFFOpen(path.c_str(), "w")};
    if (!t.t)
        return JQFL_WRITE_ERROR;
    TIFFSetField(t.t, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(in.width));
    TIFFSetField(t.t, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(in.height));
    TIFFSetField(t.t, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(in.channels));
    TIFFSetField(t.t, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(in.depth * 8));
    TIFFSetField(t.t, TIFFTAG_PHOTOMETRIC, in.channels == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(t.t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t.t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(t.t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t.t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t.t, 0));
    for (const TiffTextTag& tt : texts)
        TIFFSetField(t.t, tt.tag, tt.text.c_str());
    if (!extras.icc.empty())
        TIFFSetField(t.t, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(extras.icc.size()), extras.icc.data());
    if (!extras.xmp.empty())
        TIFFSetField(t.t, TIFFTAG_XMLPACKET, static_cast<uint32_t>(extras.xmp.size()), extras.xmp.data());
    if (extras.xResolution > 0 && extras.yResolution > 0) {
        TIFFSetField(t.t, TIFFTAG_XRESOLUTION, static_cast<float>(extras.xResolution));
        TIFFSetField(t.t, TIFFTAG_YRESOLUTION, static_cast<float>(extras.yResolution));
        if (extras.resolutionUnit >= 1 && extras.resolutionUnit <= 3)
            TIFFSetField(t.t, TIFFTAG_RESOLUTIONUNIT, extras.resolutionUnit);
    }
    if (!iptc.empty()) {
        std::vector<uint8_t> padded(iptc);
        padded.resize((padded.size() + 3) / 4 * 4, 0);
        TIFFSetField(t.t, TIFFTAG_RICHTIFFIPTC, static_cast<uint32_t>(padded.size()), padded.data());
    }
    for (int y = 0; y < in.height; ++y) {
        auto* row = const_cast<uint8_t*>(in.data.data() + static_cast<size_t>(y) * in.rowBytes());
        if (TIFFWriteScanline(t.t, row, static_cast<uint32_t>(y), 0) < 0)
            return JQFL_WRITE_ERROR;
    }
    if (!TIFFFlush(t.t))
        return JQFL_WRITE_ERROR;
    return JQFL_OK;
}

}  // namespace jqfl
