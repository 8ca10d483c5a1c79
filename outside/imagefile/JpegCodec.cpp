#include "outside/imagefile/JpegCodec.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "outside/imagefile/DcScanDecoder.h"
#include "outside/imagefile/JqFileLib.h"

namespace jqfl {

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    bool damaged;
};

void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    longjmp(err->jump, 1);
}

// Warnings that mean the stream is damaged (truncated, bad entropy data).
void onMessage(j_common_ptr cinfo, int level) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0 && cinfo->err->msg_code != JWRN_EXTRANEOUS_DATA)
        err->damaged = true;
}

void installErrors(jpeg_decompress_struct& cinfo, ErrorManager& err) {
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    err.damaged = false;
}

int colorModelOf(J_COLOR_SPACE space, int components) {
    if (space == JCS_GRAYSCALE && components == 1) return JQFL_MODEL_GREY;
    if (space == JCS_CMYK || space == JCS_YCCK || components == 4) return JQFL_MODEL_CMYK;
    if (components == 3) return JQFL_MODEL_RGB;
    return 0;
}

bool startsWith(const jpeg_saved_marker_ptr m, const char* tag, size_t len) {
    return m->data_length >= len && std::memcmp(m->data, tag, len) == 0;
}

// Reads the header and keeps the metadata markers. Only POD lives across setjmp.
int32_t headerInto(jpeg_decompress_struct& cinfo, ErrorManager& err, const uint8_t* data, size_t size,
                   JpegHeader& header) {
    if (setjmp(err.jump))
        return JQFL_CORRUPT;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 13, 0xFFFF);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
        return JQFL_CORRUPT;
    header.width = static_cast<int>(cinfo.image_width);
    header.height = static_cast<int>(cinfo.image_height);
    header.components = cinfo.num_components;
    header.colorModel = colorModelOf(cinfo.jpeg_color_space, cinfo.num_components);
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && header.exif.empty() && startsWith(m, "Exif\0\0", 6))
            header.exif.assign(m->data + 6, m->data + m->data_length);
        else if (m->marker == JPEG_APP0 + 13 && startsWith(m, "Photoshop 3.0\0", 14))
            header.photoshop.insert(header.photoshop.end(), m->data + 14, m->data + m->data_length);
    }
    return JQFL_OK;
}

// Whether every coefficient the output needs has arrived at full precision.
// A component decoded at one pixel a block needs only its DC coefficient; a
// component decoded larger (the chroma of a subsampled picture) needs them all.
bool neededCoefficientsComplete(const jpeg_decompress_struct& cinfo) {
    if (!cinfo.coef_bits)
        return false;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const int needed = cinfo.comp_info[c].DCT_scaled_size == 1 ? 1 : DCTSIZE2;
        for (int k = 0; k < needed; ++k)
            if (cinfo.coef_bits[c][k] != 0)
                return false;
    }
    return true;
}

// At an eighth of the size the luminance uses only each block's DC coefficient,
// so once the scans carrying what the output needs are in, the picture is the
// one a whole decode gives, and the remaining scans of a progressive file (most
// of its entropy data) need not be decoded. Only for a file that ends with its
// end-of-image marker: a truncated file still goes through the whole decode,
// which finds the damage.
bool earlyScansSuffice(const jpeg_decompress_struct& cinfo, const uint8_t* data, size_t size) {
    return cinfo.progressive_mode && cinfo.scale_num == 1 && cinfo.scale_denom == 8 && size >= 2 &&
           data[size - 2] == 0xFF && data[size - 1] == 0xD9;
}

// Whether every component is decoded at one pixel a block, so that only the DC
// coefficients reach the output.
bool onlyDcNeeded(const jpeg_decompress_struct& cinfo) {
    for (int c = 0; c < cinfo.num_components; ++c)
        if (cinfo.comp_info[c].DCT_scaled_size != 1)
            return false;
    return true;
}

// The colours the DC scans decoder gives for what libjpeg is to output: grey
// from grey, RGB from YCbCr, at 8 bits; none for anything else.
std::optional<DcColour> dcColourOf(const jpeg_decompress_struct& cinfo) {
    if (cinfo.data_precision != 8 || cinfo.arith_code) return std::nullopt;
    if (cinfo.jpeg_color_space == JCS_GRAYSCALE && cinfo.num_components == 1 && cinfo.out_color_space == JCS_GRAYSCALE)
        return DcColour::Grey;
    if (cinfo.jpeg_color_space == JCS_YCbCr && cinfo.num_components == 3 && cinfo.out_color_space == JCS_RGB)
        return DcColour::YCbCrToRgb;
    return std::nullopt;
}

// A copy of a progressive file keeping every segment but the scans of AC
// coefficients (spectral start above 0): the DC scans decode to the same DC
// values without them, since each scan is coded on its own. Empty where the
// file's structure is not the expected one, which the whole decode then meets.
std::vector<uint8_t> dcScansOnly(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return {};
    out.reserve(size / 4);
    out.insert(out.end(), data, data + 2);
    size_t at = 2;
    while (at + 1 < size) {
        if (data[at] != 0xFF)
            return {};
        const uint8_t marker = data[at + 1];
        if (marker == 0xFF) {  // a fill byte
            ++at;
            continue;
        }
        if (marker == 0xD9) {
            out.insert(out.end(), data + at, data + at + 2);
            return out;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8) || at + 4 > size)
            return {};
        const size_t length = (size_t{data[at + 2]} << 8) | data[at + 3];
        if (length < 2 || length > size - at - 2)
            return {};
        const size_t segmentEnd = at + 2 + length;
        if (marker != 0xDA) {
            out.insert(out.end(), data + at, data + segmentEnd);
            at = segmentEnd;
            continue;
        }
        // start of scan: components, then spectral start, end and approximation
        const size_t components = data[at + 4];
        if (length != 6 + 2 * components)
            return {};
        const uint8_t spectralStart = data[at + 5 + 2 * components];
        const size_t scanEnd = endOfEntropyData(data, size, segmentEnd);
        if (spectralStart == 0)
            out.insert(out.end(), data + at, data + scanEnd);
        at = scanEnd;
    }
    return {};
}

// The output's colours and size for a header just read: RGB or grey, at the
// smallest eighth scale that still covers minWidth x minHeight (whole when either
// is 0), and the output dimensions computed.
void chooseOutput(jpeg_decompress_struct& cinfo, int minWidth, int minHeight) {
    cinfo.out_color_space = cinfo.jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
    cinfo.scale_num = 8;
    cinfo.scale_denom = 8;
    if (minWidth > 0 && minHeight > 0) {
        for (unsigned n = 1; n <= 8; ++n) {
            const unsigned long w = (cinfo.image_width * n + 7) / 8;
            const unsigned long h = (cinfo.image_height * n + 7) / 8;
            if (w >= static_cast<unsigned long>(minWidth) && h >= static_cast<unsigned long>(minHeight)) {
                cinfo.scale_num = n;
                break;
            }
        }
        if (cinfo.scale_num < 8) {
            // reduced pictures: speed over the last bit of smoothness
            cinfo.do_fancy_upsampling = FALSE;
            cinfo.dct_method = JDCT_IFAST;
        }
    }
    jpeg_calc_output_dimensions(&cinfo);
}

int32_t decodeInto(jpeg_decompress_struct& cinfo, ErrorManager& err, const uint8_t* data, size_t size,
                   int minWidth, int minHeight, Raster& out, std::vector<uint8_t>& dcOnly) {
    if (setjmp(err.jump))
        return err.damaged ? JQFL_CORRUPT : JQFL_CORRUPT;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
        return JQFL_CORRUPT;
    if (colorModelOf(cinfo.jpeg_color_space, cinfo.num_components) == JQFL_MODEL_CMYK)
        return JQFL_UNSUPPORTED;
    const int grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    // refuse before libjpeg allocates anything sized by the header
    if (rasterBytes(static_cast<int>(cinfo.image_width), static_cast<int>(cinfo.image_height), 3, 1) == 0)
        return JQFL_NO_MEMORY;
    chooseOutput(cinfo, minWidth, minHeight);
    // every row is written before the picture is handed out (decodeJpeg)
    if (!allocateRasterForOverwrite(out, static_cast<int>(cinfo.output_width),
                                    static_cast<int>(cinfo.output_height), grey ? 1 : 3, 1))
        return JQFL_NO_MEMORY;
    if (earlyScansSuffice(cinfo, data, size)) {
        // Where the output needs only DC coefficients the AC scans are left out
        // before decoding: their entropy data, most of the file, is never read.
        if (onlyDcNeeded(cinfo)) {
            dcOnly = dcScansOnly(data, size);
            if (!dcOnly.empty()) {
                jpeg_abort_decompress(&cinfo);
                jpeg_mem_src(&cinfo, dcOnly.data(), static_cast<unsigned long>(dcOnly.size()));
                if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
                    return JQFL_CORRUPT;
                chooseOutput(cinfo, minWidth, minHeight);
                if (static_cast<int>(cinfo.output_width) != out.width ||
                    static_cast<int>(cinfo.output_height) != out.height)
                    return JQFL_CORRUPT;
                // The plain case needs only the DC values, not libjpeg's
                // coefficient buffer for the whole picture.
                if (const auto colour = dcColourOf(cinfo);
                    colour && decodeDcScans(dcOnly.data(), dcOnly.size(), *colour, out)) {
                    jpeg_abort_decompress(&cinfo);
                    return err.damaged ? JQFL_CORRUPT : JQFL_OK;
                }
            }
        }
        // Scans are read until the coefficients the output needs are whole;
        // the output pass then shows exactly those.
        cinfo.buffered_image = TRUE;
        cinfo.do_block_smoothing = FALSE;
        jpeg_start_decompress(&cinfo);
        for (;;) {
            const int r = jpeg_consume_input(&cinfo);
            if (r == JPEG_REACHED_EOI || (r == JPEG_SCAN_COMPLETED && neededCoefficientsComplete(cinfo)))
                break;
            if (r == JPEG_SUSPENDED || err.damaged)
                return JQFL_CORRUPT;
        }
        jpeg_start_output(&cinfo, cinfo.input_scan_number);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = out.data.data() + static_cast<size_t>(cinfo.output_scanline) * out.rowBytes();
            if (jpeg_read_scanlines(&cinfo, &row, 1) != 1 || err.damaged)
                return JQFL_CORRUPT;
        }
        jpeg_abort_decompress(&cinfo);
        return err.damaged ? JQFL_CORRUPT : JQFL_OK;
    }
    jpeg_start_decompress(&cinfo);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out.data.data() + static_cast<size_t>(cinfo.output_scanline) * out.rowBytes();
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1)
            return JQFL_CORRUPT;
        if (err.damaged)
            return JQFL_CORRUPT;
    }
    jpeg_finish_decompress(&cinfo);
    return err.damaged ? JQFL_CORRUPT : JQFL_OK;
}

}  // namespace

bool readHeaderSegments(const uint8_t* data, size_t size, JpegHeader& header) {
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    size_t at = 2;
    while (at + 4 <= size && data[at] == 0xFF && data[at + 1] >= 0xE0 && data[at + 1] <= 0xEF) {
        const size_t length = (size_t{data[at + 2]} << 8) | data[at + 3];
        if (length < 2 || length > size - at - 2)
            return false;
        const uint8_t* body = data + at + 4;
        const size_t bodyLen = length - 2;
        if (data[at + 1] == 0xE1 && header.exif.empty() && bodyLen >= 6 && std::memcmp(body, "Exif\0\0", 6) == 0)
            header.exif.assign(body + 6, body + bodyLen);
        else if (data[at + 1] == 0xED && bodyLen >= 14 && std::memcmp(body, "Photoshop 3.0\0", 14) == 0)
            header.photoshop.insert(header.photoshop.end(), body + 14, body + bodyLen);
        at += 2 + length;
    }
    // only segments, then the end marker
    return at + 2 <= size && data[at] == 0xFF && data[at + 1] == 0xD9;
}

int32_t readJpegHeader(const uint8_t* data, size_t size, JpegHeader& header) {
    if (!data || size < 4)
        return JQFL_CORRUPT;
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    installErrors(cinfo, err);
    const int32_t rc = headerInto(cinfo, err, data, size, header);
    jpeg_destroy_decompress(&cinfo);
    return rc;
}

int32_t decodeJpeg(const uint8_t* data, size_t size, int minWidth, int minHeight, Raster& out) {
    if (!data || size < 4)
        return JQFL_CORRUPT;
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    installErrors(cinfo, err);
    Raster pixels;
    std::vector<uint8_t> dcOnly;  // outlives the decode, which may jump back
    const int32_t rc = decodeInto(cinfo, err, data, size, minWidth, minHeight, pixels, dcOnly);
    jpeg_destroy_decompress(&cinfo);
    if (rc == JQFL_OK)
        out = std::move(pixels);
    return rc;
}

namespace {

struct CompressErrors {
    jpeg_error_mgr pub;
    jmp_buf jump;
};

void onCompressError(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<CompressErrors*>(cinfo->err)->jump, 1);
}

int32_t encodeInto(jpeg_compress_struct& cinfo, CompressErrors& err, const Raster& in, int quality,
                   const std::vector<uint8_t>& app1, const std::vector<uint8_t>& app13,
                   const std::vector<JpegSegment>& more, const std::vector<uint8_t>& rowBuffer, unsigned char** mem,
                   unsigned long* memSize) {
    if (setjmp(err.jump))
        return JQFL_WRITE_ERROR;
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, mem, memSize);
    cinfo.image_width = static_cast<JDIMENSION>(in.width);
    cinfo.image_height = static_cast<JDIMENSION>(in.height);
    cinfo.input_components = in.channels;
    cinfo.in_color_space = in.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    if (!app1.empty())
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, app1.data(), static_cast<unsigned>(app1.size()));
    if (!app13.empty())
        jpeg_write_marker(&cinfo, JPEG_APP0 + 13, app13.data(), static_cast<unsigned>(app13.size()));
    for (const JpegSegment& m : more)
        jpeg_write_marker(&cinfo, m.marker, m.body.data(), static_cast<unsigned>(m.body.size()));
    uint8_t* rowData = const_cast<uint8_t*>(rowBuffer.data());
    const size_t samples = static_cast<size_t>(in.width) * in.channels;
    while (cinfo.next_scanline < cinfo.image_height) {
        const uint8_t* src = in.data.data() + static_cast<size_t>(cinfo.next_scanline) * in.rowBytes();
        JSAMPROW row;
        if (in.depth == 2) {
            // reduce 16-bit samples to their high byte
            const uint16_t* s = reinterpret_cast<const uint16_t*>(src);
            for (size_t k = 0; k < samples; ++k) rowData[k] = static_cast<uint8_t>(s[k] >> 8);
            row = rowData;
        } else {
            row = const_cast<JSAMPROW>(src);
        }
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    return JQFL_OK;
}

}  // namespace

int32_t encodeJpeg(const Raster& in, int quality, const std::vector<uint8_t>& app1,
                   const std::vector<uint8_t>& app13, std::vector<uint8_t>& out, const std::vector<JpegSegment>& more) {
    if (in.empty() || (in.channels != 1 && in.channels != 3) || app1.size() > 65533 || app13.size() > 65533)
        return JQFL_BAD_PARAMETER;
    for (const JpegSegment& m : more)
        if (m.body.size() > 65533 || m.marker < 0xE0 || m.marker > 0xEF)
            return JQFL_BAD_PARAMETER;
    std::vector<uint8_t> rowBuffer(static_cast<size_t>(in.width) * in.channels);
    jpeg_compress_struct cinfo;
    CompressErrors err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onCompressError;
    unsigned char* mem = nullptr;
    unsigned long memSize = 0;
    const int32_t rc = encodeInto(cinfo, err, in, quality, app1, app13, more, rowBuffer, &mem, &memSize);
    jpeg_destroy_compress(&cinfo);
    if (rc == JQFL_OK && mem)
        out.assign(mem, mem + memSize);
    std::free(mem);
    return rc;
}

namespace {

constexpr char kIccHead[] = "ICC_PROFILE";            // with its NUL: 12 bytes
constexpr char kXmpHead[] = "http://ns.adobe.com/xap/1.0/";  // with its NUL: 29 bytes
constexpr size_t kIccChunk = 65533 - 14;

}  // namespace

void jpegProfileAndXmp(const uint8_t* d, size_t n, std::vector<uint8_t>* icc, std::string* xmp) {
    icc->clear();
    xmp->clear();
    std::vector<std::vector<uint8_t>> chunks;
    size_t at = 2;
    while (n >= 4 && at + 4 <= n && d[at] == 0xFF && d[at + 1] != 0xDA && d[at + 1] != 0xD9) {
        const size_t len = (size_t{d[at + 2]} << 8) | d[at + 3];
        if (len < 2 || len > n - at - 2) break;
        const uint8_t* body = d + at + 4;
        const size_t bodyLen = len - 2;
        if (d[at + 1] == 0xE2 && bodyLen > 14 && std::memcmp(body, kIccHead, sizeof kIccHead) == 0) {
            const size_t seq = body[12], count = body[13];
            if (seq >= 1 && seq <= count) {
                if (chunks.size() < count) chunks.resize(count);
                chunks[seq - 1].assign(body + 14, body + bodyLen);
            }
        } else if (d[at + 1] == 0xE1 && xmp->empty() && bodyLen > sizeof kXmpHead &&
                   std::memcmp(body, kXmpHead, sizeof kXmpHead) == 0) {
            xmp->assign(reinterpret_cast<const char*>(body) + sizeof kXmpHead, bodyLen - sizeof kXmpHead);
        }
        at += 2 + len;
    }
    for (const auto& c : chunks) {
        if (c.empty()) {  // a chunk is missing: the profile cannot be trusted
            icc->clear();
            return;
        }
        icc->insert(icc->end(), c.begin(), c.end());
    }
}

std::vector<JpegSegment> profileAndXmpSegments(const std::vector<uint8_t>& icc, const std::string& xmp) {
    std::vector<JpegSegment> out;
    const size_t count = (icc.size() + kIccChunk - 1) / kIccChunk;
    if (count > 0 && count <= 255)
        for (size_t i = 0; i < count; ++i) {
            JpegSegment s{0xE2, {}};
            s.body.assign(kIccHead, kIccHead + sizeof kIccHead);
            s.body.push_back(static_cast<uint8_t>(i + 1));
            s.body.push_back(static_cast<uint8_t>(count));
            const size_t from = i * kIccChunk, to = std::min(icc.size(), from + kIccChunk);
            s.body.insert(s.body.end(), icc.begin() + static_cast<std::ptrdiff_t>(from),
                          icc.begin() + static_cast<std::ptrdiff_t>(to));
            out.push_back(std::move(s));
        }
    if (!xmp.empty() && xmp.size() + sizeof kXmpHead <= 65533) {
        JpegSegment s{0xE1, {}};
        s.body.assign(kXmpHead, kXmpHead + sizeof kXmpHead);
        s.body.insert(s.body.end(), xmp.begin(), xmp.end());
        out.push_back(std::move(s));
    }
    return out;
}

}  // namespace jqfl
