#include "outside/imagefile/QuickTime.h"

#include <cstring>

namespace jqfl {

namespace {

struct Span {
    const uint8_t* data;
    size_t size;
};

uint32_t be32(const uint8_t* p) { return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]; }
uint64_t be64(const uint8_t* p) { return (uint64_t{be32(p)} << 32) | be32(p + 4); }

// The body of the first child atom of `parent` with the type.
bool child(Span parent, const char* type, Span* out) {
    size_t pos = 0;
    while (parent.size - pos >= 8) {
        uint64_t len = be32(parent.data + pos);
        size_t header = 8;
        if (len == 1) {
            if (parent.size - pos < 16) return false;
            len = be64(parent.data + pos + 8);
            header = 16;
        } else if (len == 0) {
            len = parent.size - pos;  // to the end
        }
        if (len < header || len > parent.size - pos) return false;
        if (std::memcmp(parent.data + pos + 4, type, 4) == 0) {
            *out = Span{parent.data + pos + header, static_cast<size_t>(len) - header};
            return true;
        }
        pos += static_cast<size_t>(len);
    }
    return false;
}

bool path(Span from, std::initializer_list<const char*> types, Span* out) {
    Span at = from;
    for (const char* t : types)
        if (!child(at, t, &at)) return false;
    *out = at;
    return true;
}

bool isJpegCodec(const uint8_t* fourcc) {
    return std::memcmp(fourcc, "jpeg", 4) == 0 || std::memcmp(fourcc, "mjpa", 4) == 0 ||
           std::memcmp(fourcc, "mjpb", 4) == 0 || std::memcmp(fourcc, "MJPG", 4) == 0;
}

// The first sample of a motion-JPEG track: offset and size.
bool firstSample(Span stbl, uint64_t* offset, uint32_t* size) {
    Span stsd, stco, stsz;
    if (!child(stbl, "stsd", &stsd) || stsd.size < 16 || be32(stsd.data + 4) == 0 || !isJpegCodec(stsd.data + 12))
        return false;
    if (child(stbl, "stco", &stco)) {
        if (stco.size < 12 || be32(stco.data + 4) == 0) return false;
        *offset = be32(stco.data + 8);
    } else if (child(stbl, "co64", &stco)) {
        if (stco.size < 16 || be32(stco.data + 4) == 0) return false;
        *offset = be64(stco.data + 8);
    } else {
        return false;
    }
    if (!child(stbl, "stsz", &stsz) || stsz.size < 12) return false;
    *size = be32(stsz.data + 4);  // one size for every sample
    if (*size == 0) {
        if (stsz.size < 16 || be32(stsz.data + 8) == 0) return false;
        *size = be32(stsz.data + 12);
    }
    return *size > 0;
}

}  // namespace

bool isQuickTime(const uint8_t* data, size_t size) {
    if (size < 12) return false;
    for (const char* t : {"ftyp", "moov", "mdat", "wide", "free", "skip"})
        if (std::memcmp(data + 4, t, 4) == 0) return true;
    return false;
}

bool firstMotionJpegFrame(const uint8_t* data, size_t size, std::vector<uint8_t>& jpeg) {
    Span file{data, size};
    Span moov;
    if (!child(file, "moov", &moov))
        return false;
    // each track in turn: the first video track coded as JPEG
    size_t pos = 0;
    while (moov.size - pos >= 8) {
        const uint32_t len = be32(moov.data + pos);
        if (len < 8 || len > moov.size - pos) return false;
        if (std::memcmp(moov.data + pos + 4, "trak", 4) == 0) {
            Span trak{moov.data + pos + 8, len - 8u};
            Span stbl;
            uint64_t offset = 0;
            uint32_t sample = 0;
            if (path(trak, {"mdia", "minf", "stbl"}, &stbl) && firstSample(stbl, &offset, &sample) && offset < size &&
                sample <= size - offset && sample >= 4 && data[offset] == 0xFF && data[offset + 1] == 0xD8) {
                jpeg.assign(data + offset, data + offset + sample);
                return true;
            }
        }
        pos += len;
    }
    return false;
}

}  // namespace jqfl
