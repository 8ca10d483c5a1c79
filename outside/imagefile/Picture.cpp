#include "outside/imagefile/Picture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "outside/imagefile/JpegCodec.h"
#include "outside/imagefile/Clip.h"
#include "outside/imagefile/TiffCodec.h"

namespace jqfl {

namespace {

constexpr size_t kWriteChunk = 0x20000;

int qualityOfOption(uint32_t option) {
    switch (option) {
    case 1: return 75;
    case 3: return 95;
    default: return 85;
    }
}

// The picture's resolution from its tags, when it has one.
void resolutionOf(const Metadata& meta, TiffExtras* extras) {
    auto rational = [&meta](uint32_t tag) {
        const TagValue* v = meta.find(tag);
        if (!v || v->type != 5 || v->bytes.size() < 8) return 0.0;
        uint32_t n = 0, d = 0;
        std::memcpy(&n, v->bytes.data(), 4);
        std::memcpy(&d, v->bytes.data() + 4, 4);
        return d ? static_cast<double>(n) / d : 0.0;
    };
    extras->xResolution = rational(282);
    extras->yResolution = rational(283);
    if (const TagValue* v = meta.find(296); v && v->type == 3 && v->bytes.size() >= 2)
        std::memcpy(&extras->resolutionUnit, v->bytes.data(), 2);
}

// Opens a plain file for reading (a pipe or device named like a picture is
// refused, never waited on); -1 with `rc` set when it cannot be.
int openPlainFile(const std::string& path, uint64_t& size, int32_t& rc) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        rc = JQFL_CANNOT_OPEN;
        return -1;
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        rc = JQFL_CANNOT_OPEN;
        return -1;
    }
    size = static_cast<uint64_t>(st.st_size);
    return fd;
}

// Fills `out` from the file's start and closes it.
bool readAndClose(int fd, std::vector<uint8_t>& out, int32_t& rc) {
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            rc = JQFL_READ_ERROR;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    ::close(fd);
    return true;
}

// The first `limit` bytes of a plain file (all of it when it is shorter); its
// size in `size`.
bool readFilePrefix(const std::string& path, size_t limit, std::vector<uint8_t>& out, uint64_t& size, int32_t& rc) {
    const int fd = openPlainFile(path, size, rc);
    if (fd < 0)
        return false;
    out.resize(static_cast<size_t>(std::min<uint64_t>(size, limit)));
    return readAndClose(fd, out, rc);
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& out, int32_t& rc) {
    uint64_t size = 0;
    const int fd = openPlainFile(path, size, rc);
    if (fd < 0)
        return false;
    if (size > kMaxFileBytes) {
        // a picture file this large is not read here; it is no lack of memory
        ::close(fd);
        rc = JQFL_UNSUPPORTED;
        return false;
    }
    try {
        out.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
        ::close(fd);
        rc = JQFL_NO_MEMORY;
        return false;
    }
    return readAndClose(fd, out, rc);
}

// Writes under a temporary name in the target folder, then renames: a failed or
// stopped save leaves nothing under the final name.
int32_t writeAtomically(const std::string& path, const std::vector<uint8_t>& bytes, JqflProgress progress,
                        void* reference) {
    std::string tmp = path + ".jqfl-XXXXXX";
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
        return JQFL_WRITE_ERROR;
    int32_t rc = JQFL_OK;
    size_t done = 0;
    while (rc == JQFL_OK && done < bytes.size()) {
        const size_t take = std::min(kWriteChunk, bytes.size() - done);
        const ssize_t n = ::write(fd, bytes.data() + done, take);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            rc = JQFL_WRITE_ERROR;
            break;
        }
        done += static_cast<size_t>(n);
        if (progress && progress(static_cast<uint32_t>(done), static_cast<uint32_t>(bytes.size()), reference) != 0)
            rc = JQFL_STOPPED;
    }
    if (rc == JQFL_OK && ::fsync(fd) != 0)
        rc = JQFL_WRITE_ERROR;
    if (::close(fd) != 0 && rc == JQFL_OK)
        rc = JQFL_WRITE_ERROR;
    if (rc == JQFL_OK) {
        ::chmod(tmp.c_str(), 0644);
        if (::rename(tmp.c_str(), path.c_str()) != 0)
            rc = JQFL_WRITE_ERROR;
    }
    if (rc != JQFL_OK)
        ::unlink(tmp.c_str());
    return rc;
}

uint16_t big16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

}  // namespace

// The header of a JPEG (its markers up to the picture data, the EXIF segment
// with its thumbnail among them) lies in the file's first bytes: the browser's
// thumbnails, the shooting information and the tags need no more, so a JPEG is
// opened from them and the rest is read when pixels or a copy are needed. A
// header longer than that, and every other kind of file, is read whole.
int32_t Picture::openFile(const std::string& path) {
    constexpr size_t kHeadBytes = 256 * 1024;
    std::vector<uint8_t> bytes;
    int32_t rc = JQFL_OK;
    uint64_t size = 0;
    if (!readFilePrefix(path, kHeadBytes, bytes, size, rc))
        return rc;
    if (isClip(bytes.data(), bytes.size())) {
        // a clip is read as its demuxer needs it, whatever its size
        Raster frame;
        if (const int32_t r = firstClipFrame(path, frame); r != JQFL_OK)
            return r;
        return openClipFrame(std::move(frame));
    }
    const bool whole = size <= bytes.size();
    const bool jpeg = bytes.size() >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
    if (!whole && jpeg && size <= kMaxFileBytes) {
        JpegHeader h;
        if (readJpegHeader(bytes.data(), bytes.size(), h) == JQFL_OK) {
            path_ = path;
            partial_ = true;
            fileSize_ = size;
            file_ = std::move(bytes);
            return takeJpegHeader(h);
        }
    }
    if (!whole && !readWholeFile(path, bytes, rc))
        return rc;
    return openBytes(std::move(bytes));
}

int32_t Picture::readRestOfFile() {
    if (!partial_)
        return JQFL_OK;
    std::vector<uint8_t> bytes;
    int32_t rc = JQFL_OK;
    if (!jqfl::readWholeFile(path_, bytes, rc))
        return rc;
    // the file changed since its header was read: what was read of it no longer holds
    if (bytes.size() != fileSize_ || !std::equal(file_.begin(), file_.end(), bytes.begin()))
        return JQFL_READ_ERROR;
    file_ = std::move(bytes);
    partial_ = false;
    return JQFL_OK;
}

int32_t Picture::takeJpegHeader(const JpegHeader& h) {
    type_ = JQFL_TYPE_JPEG;
    width_ = h.width;
    height_ = h.height;
    depth_ = 1;
    colorModel_ = h.colorModel;
    if (!h.exif.empty())
        meta_.readExif(h.exif.data(), h.exif.size());
    if (!h.photoshop.empty())
        meta_.readPhotoshop(h.photoshop.data(), h.photoshop.size());
    takeUprightTurns();
    return JQFL_OK;
}

int32_t Picture::openBytes(std::vector<uint8_t> bytes) {
    file_ = std::move(bytes);
    const uint8_t* d = file_.data();
    const size_t n = file_.size();
    if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) {
        JpegHeader h;
        if (const int32_t rc = readJpegHeader(d, n, h); rc != JQFL_OK)
            return openHeaderFile() == JQFL_OK ? JQFL_OK : rc;
        return takeJpegHeader(h);
    }
    if (n >= 4 && ((d[0] == 'I' && d[1] == 'I' && d[2] == 42 && d[3] == 0) ||
                   (d[0] == 'M' && d[1] == 'M' && d[2] == 0 && d[3] == 42))) {
        TiffHeader h;
        if (const int32_t rc = readTiffHeader(d, n, h); rc != JQFL_OK)
            return rc;
        type_ = JQFL_TYPE_TIFF;
        width_ = h.width;
        height_ = h.height;
        depth_ = h.depth;
        colorModel_ = h.colorModel;
        meta_.readExif(d, n);  // a TIFF file is itself a TIFF structure
        if (!h.iptc.empty())
            meta_.setIptc(h.iptc.data(), h.iptc.size());
        takeUprightTurns();
        return JQFL_OK;
    }
    if (isClip(d, n)) {
        Raster frame;
        const int32_t rc = firstClipFrame(d, n, frame);
        file_.clear();
        if (rc != JQFL_OK)
            return rc;
        return openClipFrame(std::move(frame));
    }
    return JQFL_UNSUPPORTED;
}

// A clip: its first frame stands for it, held decoded.
int32_t Picture::openClipFrame(Raster frame) {
    type_ = JQFL_TYPE_MOVIE;
    width_ = frame.width;
    height_ = frame.height;
    depth_ = 1;
    colorModel_ = JQFL_MODEL_RGB;
    source_ = std::move(frame);
    return JQFL_OK;
}

// A picture's header alone (metadata segments, no picture): its size from the
// EXIF structure, its pixels from the EXIF thumbnail.
int32_t Picture::openHeaderFile() {
    JpegHeader h;
    if (!readHeaderSegments(file_.data(), file_.size(), h) || h.exif.empty())
        return JQFL_CORRUPT;
    meta_.readExif(h.exif.data(), h.exif.size());
    if (!h.photoshop.empty())
        meta_.readPhotoshop(h.photoshop.data(), h.photoshop.size());
    thumb_ = meta_.thumbnail();
    JpegHeader t;
    if (thumb_.empty() || readJpegHeader(thumb_.data(), thumb_.size(), t) != JQFL_OK)
        return JQFL_CORRUPT;
    int w = 0, hgt = 0;
    meta_.exifDimensions(&w, &hgt);
    if (w <= 0 || hgt <= 0) {
        w = t.width;
        hgt = t.height;
    }
    headerOnly_ = true;
    takeUprightTurns();
    type_ = JQFL_TYPE_JPEG;
    width_ = w;
    height_ = hgt;
    depth_ = 1;
    colorModel_ = t.colorModel;
    return JQFL_OK;
}

void Picture::makeNew() {
    isNew_ = true;
    type_ = JQFL_TYPE_OTHER;
}

int32_t Picture::setNewGeometry(int width, int height, int depth, int colorModel) {
    const int channels = colorModel == JQFL_MODEL_GREY ? 1 : 3;
    if ((depth != 1 && depth != 2) || colorModel == JQFL_MODEL_CMYK)
        return JQFL_BAD_PARAMETER;
    if (rasterBytes(width, height, channels, depth) == 0)
        return width > 0 && height > 0 ? JQFL_NO_MEMORY : JQFL_BAD_PARAMETER;
    if (!allocateRaster(source_, width, height, channels, depth))
        return JQFL_NO_MEMORY;
    width_ = width;
    height_ = height;
    depth_ = depth;
    colorModel_ = channels == 1 ? JQFL_MODEL_GREY : JQFL_MODEL_RGB;
    main_ = View{};
    sub_ = View{};
    return JQFL_OK;
}

void Picture::takeUprightTurns() {
    uprightTurns_ = 0;
    const TagValue* tag = meta_.find(274);   // Orientation
    if (!tag || tag->type != 3 || tag->bytes.size() < 2)
        return;
    uint16_t code = 0;
    std::memcpy(&code, tag->bytes.data(), sizeof code);
    uprightTurns_ = uprightTurnsOfExifOrientation(code);
}

int Picture::turnsOf(const View& view) const {
    const int q = quarterTurnsOfOrientation(view.orientation);
    return q < 0 ? q : (q + uprightTurns_) & 3;
}

int32_t Picture::setView(View& view, int width, int height, int orientation) {
    if (quarterTurnsOfOrientation(orientation == 0 ? 1 : orientation) < 0 || width < 0 || height < 0)
        return JQFL_BAD_PARAMETER;
    // Turns from the stored pixels: the camera's own turn first, then the one asked for.
    const int q = (quarterTurnsOfOrientation(orientation == 0 ? 1 : orientation) + uprightTurns_) & 3;
    // The picture's own size, either way round, is the whole picture: callers
    // pass the size they read before choosing the turn.
    const bool full = width == 0 || height == 0 || (width == width_ && height == height_) ||
                      (width == height_ && height == width_);
    View next;
    next.orientation = orientation == 0 ? 1 : orientation;
    if (!full) {
        if (q & 1) {
            // a size with the unturned proportions is read as unturned
            const int64_t errTurned = std::llabs(int64_t{width} * width_ - int64_t{height} * height_);
            const int64_t errUnturned = std::llabs(int64_t{width} * height_ - int64_t{height} * width_);
            if (errUnturned < errTurned)
                std::swap(width, height);
        }
        const int channels = colorModel_ == JQFL_MODEL_GREY ? 1 : 3;
        if (rasterBytes(width, height, channels, depth_) == 0)
            return JQFL_NO_MEMORY;
        next.width = width;
        next.height = height;
    }
    view = std::move(next);
    return JQFL_OK;
}

void Picture::viewSize(const View& view, int& width, int& height) const {
    if (view.width > 0 && view.height > 0) {
        width = view.width;
        height = view.height;
        return;
    }
    const bool swap = (turnsOf(view) & 1) != 0;
    width = swap ? height_ : width_;
    height = swap ? width_ : height_;
}

int32_t Picture::decodeSource(int minWidth, int minHeight, Raster& out) {
    if (!source_.empty()) {
        out = source_;
        return JQFL_OK;
    }
    if (headerOnly_) {
        // the thumbnail stands for the picture
        Raster thumb;
        const int32_t rc = decodeJpeg(thumb_.data(), thumb_.size(), 0, 0, thumb);
        if (rc != JQFL_OK)
            return rc;
        const bool sized = minWidth > 0 && minHeight > 0;
        if (!resampleRaster(thumb, out, sized ? minWidth : width_, sized ? minHeight : height_))
            return JQFL_NO_MEMORY;
        return JQFL_OK;
    }
    if (type_ == JQFL_TYPE_JPEG) {
        if (const int32_t rc = readRestOfFile(); rc != JQFL_OK)
            return rc;
        const bool full = minWidth >= width_ && minHeight >= height_;
        Raster pixels;
        const int32_t rc = decodeJpeg(file_.data(), file_.size(), full ? 0 : minWidth, full ? 0 : minHeight, pixels);
        if (rc != JQFL_OK)
            return rc;
        if (full)
            source_ = pixels;
        out = std::move(pixels);
        return JQFL_OK;
    }
    if (type_ == JQFL_TYPE_TIFF) {
        const int32_t rc = decodeTiff(file_.data(), file_.size(), source_);
        if (rc != JQFL_OK)
            return rc;
        out = source_;
        return JQFL_OK;
    }
    return JQFL_UNSUPPORTED;
}

// The EXIF thumbnail stands for the picture only when it shows the same picture
// at least as large as asked: its proportions within one of its own pixels of the
// picture's, its colours of the same kind. Otherwise (a letter-boxed thumbnail, a
// cropped picture with the camera's old thumbnail, a larger request) false.
bool Picture::decodeEmbeddedThumbnail(int width, int height, Raster& out) {
    if (type_ != JQFL_TYPE_JPEG || headerOnly_ || width <= 0 || height <= 0 || width_ <= 0 || height_ <= 0)
        return false;
    const std::vector<uint8_t> thumb = meta_.thumbnail();
    JpegHeader t;
    if (thumb.empty() || readJpegHeader(thumb.data(), thumb.size(), t) != JQFL_OK)
        return false;
    if (t.width < width || t.height < height || t.colorModel != colorModel_)
        return false;
    const int64_t skew = std::llabs(int64_t{t.width} * height_ - int64_t{t.height} * width_);
    if (skew > std::max(width_, height_))
        return false;
    Raster pixels;
    if (decodeJpeg(thumb.data(), thumb.size(), width, height, pixels) != JQFL_OK)
        return false;
    out = std::move(pixels);
    return true;
}

int32_t Picture::render(View& view) {
    if (view.cached)
        return JQFL_OK;
    if (colorModel_ == JQFL_MODEL_CMYK)
        return JQFL_UNSUPPORTED;
    const int q = turnsOf(view);
    int outW = 0, outH = 0;
    viewSize(view, outW, outH);
    // map to source coordinates, ask for what we need
    const int needW = (q & 1) ? outH : outW;
    const int needH = (q & 1) ? outW : outH;
    Raster decoded;
    const bool fromThumb = &view == &sub_ && subFromThumb_ && decodeEmbeddedThumbnail(needW, needH, decoded);
    if (!fromThumb)
        if (const int32_t rc = decodeSource(needW, needH, decoded); rc != JQFL_OK)
            return rc;
    Raster sized;
    if (decoded.width != needW || decoded.height != needH) {
        if (!resampleRaster(decoded, sized, needW, needH))
            return JQFL_NO_MEMORY;
    } else {
        sized = std::move(decoded);
    }
    if (!turnRaster(sized, view.pixels, q))
        return JQFL_NO_MEMORY;
    view.cached = true;
    return JQFL_OK;
}

int32_t Picture::readRect(View& view, const JqflRectBlock& rect, uint32_t& written) {
    written = 0;
    int w = 0, h = 0;
    viewSize(view, w, h);
    if (!rect.buffer || rect.left < 0 || rect.top < 0 || rect.right > w || rect.bottom > h ||
        rect.left >= rect.right || rect.top >= rect.bottom)
        return JQFL_BAD_PARAMETER;
    const int channels = colorModel_ == JQFL_MODEL_GREY ? 1 : 3;
    const uint64_t need = rasterBytes(rect.right - rect.left, rect.bottom - rect.top, channels, depth_);
    if (need == 0 || need > rect.bufferSize)
        return JQFL_BAD_PARAMETER;
    if (const int32_t rc = render(view); rc != JQFL_OK)
        return rc;
    const Raster& px = view.pixels;
    const size_t rowBytes = static_cast<size_t>(rect.right - rect.left) * px.pixelBytes();
    uint8_t* dst = rect.buffer;
    for (int y = rect.top; y < rect.bottom; ++y) {
        std::memcpy(dst, px.data.data() + static_cast<size_t>(y) * px.rowBytes() + rect.left * px.pixelBytes(), rowBytes);
        dst += rowBytes;
    }
    written = static_cast<uint32_t>(need);
    return JQFL_OK;
}

int32_t Picture::writeRect(const JqflRectBlock& rect, uint32_t& taken) {
    taken = 0;
    if (!isNew_ || source_.empty())
        return JQFL_BAD_PARAMETER;
    if (!rect.buffer || rect.left < 0 || rect.top < 0 || rect.right > width_ || rect.bottom > height_ ||
        rect.left >= rect.right || rect.top >= rect.bottom)
        return JQFL_BAD_PARAMETER;
    const uint64_t need = rasterBytes(rect.right - rect.left, rect.bottom - rect.top, source_.channels, depth_);
    if (need == 0 || need > rect.bufferSize)
        return JQFL_BAD_PARAMETER;
    const size_t rowBytes = static_cast<size_t>(rect.right - rect.left) * source_.pixelBytes();
    const uint8_t* src = rect.buffer;
    for (int y = rect.top; y < rect.bottom; ++y) {
        std::memcpy(source_.data.data() + static_cast<size_t>(y) * source_.rowBytes() + rect.left * source_.pixelBytes(),
                    src, rowBytes);
        src += rowBytes;
    }
    main_.cached = false;
    sub_.cached = false;
    taken = static_cast<uint32_t>(need);
    return JQFL_OK;
}

// Copies the JPEG stream unchanged with its metadata segments replaced. Segments
// this library does not write (APP0, XMP, ICC profile, ...) stay where they were.
// When no EXIF tag was changed the EXIF segment stays byte for byte as it was
// (its thumbnail and maker note are the camera's); only the IPTC block, in
// APP13, is written anew.
int32_t Picture::losslessJpeg(std::vector<uint8_t>& out) const {
    const uint8_t* d = file_.data();
    const size_t n = file_.size();
    enum Kind { kOther, kExif, kPhotoshop };
    struct Piece {
        size_t start, end;
        Kind kind;
        bool app0;
    };
    std::vector<Piece> pieces;
    size_t pos = 2;
    while (true) {
        while (pos < n && d[pos] == 0xFF && pos + 1 < n && d[pos + 1] == 0xFF) ++pos;  // fill bytes
        if (pos + 4 > n || d[pos] != 0xFF)
            return JQFL_CORRUPT;
        const uint8_t marker = d[pos + 1];
        if (marker == 0xDA)
            break;  // start of scan: the rest is copied as it is
        const size_t len = big16(d + pos + 2);
        if (len < 2 || pos + 2 + len > n)
            return JQFL_CORRUPT;
        const uint8_t* body = d + pos + 4;
        const size_t bodyLen = len - 2;
        const bool exif = marker == 0xE1 && bodyLen >= 6 && std::memcmp(body, "Exif\0\0", 6) == 0;
        const bool photoshop = marker == 0xED && bodyLen >= 14 && std::memcmp(body, "Photoshop 3.0\0", 14) == 0;
        pieces.push_back({pos, pos + 2 + len, exif ? kExif : photoshop ? kPhotoshop : kOther, marker == 0xE0});
        pos += 2 + len;
    }
    const bool keepExif = !meta_.exifChanged();
    const std::vector<uint8_t> app1 = keepExif ? std::vector<uint8_t>{} : meta_.exifSegment(width_, height_, false);
    const std::vector<uint8_t> app13 = meta_.photoshopSegment();
    auto segment = [&out](uint8_t marker, const std::vector<uint8_t>& body) {
        if (body.empty()) return;
        const size_t len = body.size() + 2;
        out.insert(out.end(), {0xFF, marker, static_cast<uint8_t>(len >> 8), static_cast<uint8_t>(len)});
        out.insert(out.end(), body.begin(), body.end());
    };
    auto copy = [&out, d](const Piece& p) { out.insert(out.end(), d + p.start, d + p.end); };
    bool app1Done = keepExif, app13Done = false;
    const auto had = [&pieces](Kind kind) {
        return std::any_of(pieces.begin(), pieces.end(), [kind](const Piece& p) { return p.kind == kind; });
    };
    const bool hadExif = had(kExif), hadPhotoshop = had(kPhotoshop);
    // A segment the file had is written where it stood. A new EXIF segment goes
    // early; a new IPTC block right behind the EXIF segment, or early when there
    // is none, so nothing the file had moves in front of it.
    auto placeNew = [&] {
        if (!app1Done && !hadExif) segment(0xE1, app1), app1Done = true;
        if (!app13Done && !hadPhotoshop && !hadExif) segment(0xED, app13), app13Done = true;
    };
    auto placeMetadata = [&] {
        if (!app1Done) segment(0xE1, app1);
        if (!app13Done) segment(0xED, app13);
        app1Done = app13Done = true;
    };
    out.clear();
    out.insert(out.end(), {0xFF, 0xD8});
    for (size_t i = 0; i < pieces.size(); ++i) {
        const Piece& p = pieces[i];
        if (p.kind == kOther) {
            // a leading APP0 must stay first; new segments come right after it
            if (!(i == 0 && p.app0)) placeNew();
            copy(p);
        } else if (p.kind == kExif) {
            if (keepExif) copy(p);
            else if (!app1Done) segment(0xE1, app1), app1Done = true;
            if (!app13Done && !hadPhotoshop) segment(0xED, app13), app13Done = true;
        } else if (!app13Done) {
            // the IPTC block where the old one stood
            segment(0xED, app13);
            app13Done = true;
        }
    }
    placeMetadata();
    out.insert(out.end(), d + pos, d + n);
    return JQFL_OK;
}

void Picture::profileAndXmp(std::vector<uint8_t>* icc, std::string* xmp) const {
    icc->clear();
    xmp->clear();
    if (type_ == JQFL_TYPE_JPEG && !headerOnly_) {
        jpegProfileAndXmp(file_.data(), file_.size(), icc, xmp);
        return;
    }
    if (const TagValue* v = meta_.find(34675))
        icc->assign(v->bytes.begin(), v->bytes.end());
    if (const TagValue* v = meta_.find(700))
        xmp->assign(v->bytes.begin(), v->bytes.end());
}

int32_t Picture::save(uint32_t format, uint32_t option, const char* path, JqflProgress progress, void* reference) {
    if (!path || !*path)
        return JQFL_BAD_PARAMETER;
    if (format != JQFL_TYPE_JPEG && format != JQFL_TYPE_TIFF)
        return JQFL_UNSUPPORTED;
    if (const int32_t rc = readRestOfFile(); rc != JQFL_OK)
        return rc;
    const bool untouched = !isNew_ && !headerOnly_ && main_.width == 0 && main_.orientation == 1;
    if (format == JQFL_TYPE_JPEG && type_ == JQFL_TYPE_JPEG && untouched) {
        std::vector<uint8_t> bytes;
        if (const int32_t rc = losslessJpeg(bytes); rc != JQFL_OK)
            return rc;
        return writeAtomically(path, bytes, progress, reference);
    }
    if (const int32_t rc = render(main_); rc != JQFL_OK)
        return rc;
    const Raster& px = main_.pixels;
    // Pixels that differ from the file's, or a file whose tag turns them, are
    // written upright as delivered, and the saved tag says so.
    const bool turned = turnsOf(main_) != 0 || uprightTurns_ != 0;
    // The colour profile stays true of turned or scaled pixels; the XMP packet
    // does, once its old orientation and size are taken out.
    std::vector<uint8_t> icc;
    std::string xmp;
    profileAndXmp(&icc, &xmp);
    xmp = Metadata::xmpForNewPixels(xmp);
    if (format == JQFL_TYPE_JPEG) {
        std::vector<uint8_t> bytes;
        const int32_t rc = encodeJpeg(px, qualityOfOption(option), meta_.exifSegment(px.width, px.height, turned),
                                      meta_.photoshopSegment(), bytes, profileAndXmpSegments(icc, xmp));
        if (rc != JQFL_OK)
            return rc;
        return writeAtomically(path, bytes, progress, reference);
    }
    std::vector<TiffTextTag> texts;
    for (auto& [tag, text] : meta_.textTags())
        texts.push_back({tag, text});
    std::string tmp = std::string(path) + ".jqfl-XXXXXX";
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
        return JQFL_WRITE_ERROR;
    ::close(fd);
    TiffExtras extras;
    extras.icc = icc;
    extras.xmp = xmp;
    resolutionOf(meta_, &extras);
    int32_t rc = encodeTiff(px, tmp, texts, meta_.iptc(), extras);
    // The camera data go in afterwards; a file the metadata writer refuses keeps
    // its pixels, profile, XMP and IPTC block rather than failing the save.
    if (rc == JQFL_OK)
        meta_.writeIntoTiff(tmp, px.width, px.height, turned, icc, xmp);
    if (rc == JQFL_OK && progress) {
        struct stat st{};
        const uint32_t size = ::stat(tmp.c_str(), &st) == 0 ? static_cast<uint32_t>(st.st_size) : 0;
        if (progress(size, size, reference) != 0)
            rc = JQFL_STOPPED;
    }
    if (rc == JQFL_OK) {
        ::chmod(tmp.c_str(), 0644);
        if (::rename(tmp.c_str(), path) != 0)
            rc = JQFL_WRITE_ERROR;
    }
    if (rc != JQFL_OK)
        ::unlink(tmp.c_str());
    return rc;
}

}  // namespace jqfl
