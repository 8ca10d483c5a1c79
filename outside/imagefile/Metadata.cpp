#include "outside/imagefile/Metadata.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <exiv2/exiv2.hpp>

#include "outside/imagefile/JqFileLib.h"
#include "outside/imagefile/MakerNoteTrim.h"
#include "outside/imagefile/MakerTags.h"

namespace jqfl {

struct Metadata::Exif {
    // As read: decoded from a reading copy that hides costly maker-note arrays
    // (MakerNoteTrim.h) until `whole` is decoded in its place.
    Exiv2::ExifData data;
    // The structure as the camera wrote it, while `data` hides part of it.
    std::vector<uint8_t> whole;

    // The whole structure, for writing: what a save writes keeps every array.
    // Should it no longer decode, the hidden arrays are left out rather than
    // written under the wrong tag.
    Exiv2::ExifData wholeData() const {
        if (whole.empty()) return data;
        try {
            Exiv2::ExifData d;
            Exiv2::ExifParser::decode(d, whole.data(), static_cast<uint32_t>(whole.size()));
            return d;
        } catch (...) {
            Exiv2::ExifData d = data;
            for (auto it = d.begin(); it != d.end();)
                it = isHidden(*it) ? d.erase(it) : std::next(it);
            return d;
        }
    }

    // Makes `data` the whole structure, before a tag of it is changed.
    void decodeWhole() {
        if (whole.empty()) return;
        data = wholeData();
        whole.clear();
    }

    static bool isHidden(const Exiv2::Exifdatum& d) {
        return d.tag() == kHiddenMakerArrayTag && Exiv2::ExifTags::isMakerGroup(d.groupName());
    }
};

namespace {

constexpr uint32_t kDateTime = 306;
constexpr uint16_t kIptcResource = 0x0404;
constexpr uint16_t kIptcDigestResource = 0x0425;
constexpr size_t kMaxApp1Payload = 65533 - 6;

struct Calendar {
    uint32_t size;
    int32_t year, month, day, hour, minute;
    double second;
};
static_assert(sizeof(Calendar) == 32);

Exiv2::ByteOrder hostOrder() {
    return std::endian::native == std::endian::little ? Exiv2::littleEndian : Exiv2::bigEndian;
}

void muteExiv2() {
    static std::once_flag once;
    std::call_once(once, [] { Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute); });
}

// Exif-IFD tags live under "Photo"; everything else this library writes is IFD0.
const char* groupOf(uint32_t tag) {
    if (tag >= 33434 && tag <= 42999 && tag != 33723 && tag != 34665 && tag != 34853)
        return "Photo";
    return "Image";
}

bool parseExifDate(const std::string& text, Calendar& c) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (std::sscanf(text.c_str(), "%4d:%2d:%2d %2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s) != 6)
        return false;
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || h < 0 || mi < 0 || s < 0)
        return false;
    c = Calendar{32, y, mo, d, h, mi, static_cast<double>(s)};
    return true;
}

std::string formatExifDate(const Calendar& c) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d:%02d:%02d %02d:%02d:%02d", c.year % 10000, c.month % 100, c.day % 100,
                  c.hour % 100, c.minute % 100, static_cast<int>(c.second) % 100);
    return buf;
}

TagValue calendarTag(const Calendar& c) {
    TagValue v;
    v.type = JQFL_TAGTYPE_CALENDAR;
    v.count = 1;
    v.bytes.resize(sizeof c);
    std::memcpy(v.bytes.data(), &c, sizeof c);
    return v;
}

uint32_t readBig32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void putBig32(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

}  // namespace

size_t iimLength(const uint8_t* data, size_t size) {
    size_t pos = 0;
    while (pos + 5 <= size && data[pos] == 0x1C) {
        size_t len = (size_t{data[pos + 3]} << 8) | data[pos + 4];
        size_t header = 5;
        if (len & 0x8000) {
            const size_t n = len & 0x7FFF;
            if (n < 1 || n > 4 || pos + 5 + n > size)
                break;
            len = 0;
            for (size_t i = 0; i < n; ++i)
                len = (len << 8) | data[pos + 5 + i];
            header += n;
        }
        if (len > size - pos - header)
            break;
        pos += header + len;
    }
    return pos;
}

Metadata::Metadata() : exif_(std::make_unique<Exif>()) { muteExiv2(); }
Metadata::~Metadata() = default;

bool Metadata::readExif(const uint8_t* data, size_t size) {
    if (!data || size < 8 || size > 0x7FFFFFFF)
        return false;
    exif_->whole.clear();
    const std::vector<uint8_t> reading = makerArraysHidden(data, size);
    try {
        if (reading.empty()) {
            Exiv2::ExifParser::decode(exif_->data, data, static_cast<uint32_t>(size));
        } else {
            Exiv2::ExifParser::decode(exif_->data, reading.data(), static_cast<uint32_t>(reading.size()));
            exif_->whole.assign(data, data + size);
        }
    } catch (...) {
        exif_->data.clear();
        exif_->whole.clear();
        return false;
    }
    for (const Exiv2::Exifdatum& d : exif_->data) {
        const std::string group = d.groupName();
        if (group != "Image" && group != "Photo")
            continue;
        const uint32_t tag = d.tag();
        if (tag == kDateTime) {
            Calendar c{};
            if (parseExifDate(d.toString(), c))
                tags_[tag] = calendarTag(c);
            continue;
        }
        if (tag == JQFL_TAG_IPTC) {
            continue;  // read from the IPTC block
        }
        const long bytes = d.size();
        if (bytes <= 0 || bytes > (1 << 24))
            continue;
        TagValue v;
        v.type = static_cast<uint32_t>(d.typeId());
        v.count = static_cast<uint32_t>(d.count());
        v.bytes.resize(static_cast<size_t>(bytes));
        d.copy(v.bytes.data(), hostOrder());
        tags_[tag] = std::move(v);
    }
    addMakerTags(exif_->data, tags_);
    // an IPTC block stored in the EXIF structure counts when there is no other
    if (iptc_.empty()) {
        auto it = findExifEntry(exif_->data, "Image", 0x83BB);
        if (it != exif_->data.end() && it->size() > 0 && it->size() < (1 << 22)) {
            std::vector<uint8_t> raw(static_cast<size_t>(it->size()));
            it->copy(raw.data(), hostOrder());
            setIptc(raw.data(), raw.size());
        }
    }
    return true;
}

void Metadata::readPhotoshop(const uint8_t* data, size_t size) {
    // resources: "8BIM", id, padded Pascal name, size, data padded to even
    size_t pos = 0;
    while (pos + 12 <= size && std::memcmp(data + pos, "8BIM", 4) == 0) {
        const size_t start = pos;
        const uint16_t id = static_cast<uint16_t>((data[pos + 4] << 8) | data[pos + 5]);
        size_t nameLen = data[pos + 6];
        size_t p = pos + 6 + ((nameLen + 2) & ~size_t{1});
        if (p + 4 > size)
            break;
        const size_t len = readBig32(data + p);
        p += 4;
        if (len > size - p)
            break;
        const size_t end = std::min(size, p + len + (len & 1));
        if (id == kIptcResource && iptc_.empty())
            setIptc(data + p, len);
        else if (id == kIptcDigestResource)
            iptcDigest_.assign(data + start, data + end);
        else if (id != kIptcResource)
            otherResources_.insert(otherResources_.end(), data + start, data + end);
        pos = end;
    }
}

void Metadata::setIptc(const uint8_t* data, size_t size) {
    size_t keep = size;
    const size_t well = iimLength(data, size);
    if (well < size && size - well <= 3) {
        bool zeros = true;
        for (size_t i = well; i < size; ++i) zeros = zeros && data[i] == 0;
        if (zeros) keep = well;
    }
    iptc_.assign(data, data + keep);
    refreshIptcTag();
}

void Metadata::refreshIptcTag() {
    if (iptc_.empty()) {
        tags_.erase(JQFL_TAG_IPTC);
        return;
    }
    TagValue v;
    v.type = 1;
    v.count = static_cast<uint32_t>(iptc_.size());
    v.bytes = iptc_;
    tags_[JQFL_TAG_IPTC] = std::move(v);
}

const TagValue* Metadata::find(uint32_t tag) const {
    auto it = tags_.find(tag);
    return it == tags_.end() ? nullptr : &it->second;
}

bool Metadata::set(uint32_t tag, uint32_t type, const uint8_t* data, size_t size) {
    if (!data && size > 0)
        return false;
    if (tag == JQFL_TAG_IPTC) {
        iptc_.assign(data, data + size);
        iptcChanged_ = true;
        refreshIptcTag();
        return true;
    }
    exifChanged_ = true;
    try {
        exif_->decodeWhole();
    } catch (...) {
        return false;
    }
    if (tag == kDateTime && type == JQFL_TAGTYPE_CALENDAR) {
        if (size < sizeof(Calendar))
            return false;
        Calendar c{};
        std::memcpy(&c, data, sizeof c);
        tags_[tag] = calendarTag(c);
        try {
            exif_->data["Exif.Image.DateTime"] = formatExifDate(c);
        } catch (...) {
            return false;
        }
        return true;
    }
    if (tag > 0xFFFF || type < 1 || type > 10 || size > (1 << 20))
        return false;
    try {
        Exiv2::Value::AutoPtr value = Exiv2::Value::create(static_cast<Exiv2::TypeId>(type));
        if (value->read(data, static_cast<long>(size), hostOrder()) != 0)
            return false;
        Exiv2::ExifKey key(static_cast<uint16_t>(tag), groupOf(tag));
        exif_->data[key.key()] = *value;
        TagValue v;
        v.type = type;
        v.count = static_cast<uint32_t>(value->count());
        v.bytes.assign(data, data + size);
        tags_[tag] = std::move(v);
    } catch (...) {
        return false;
    }
    return true;
}

std::vector<uint8_t> Metadata::exifSegment(int width, int height, bool turned) const {
    if (exif_->data.empty())
        return {};
    try {
        Exiv2::ExifData data = exif_->wholeData();
        Exiv2::ExifThumb(data).erase();  // the old thumbnail no longer matches
        auto drop = [&data](const char* key) {
            auto it = data.findKey(Exiv2::ExifKey(key));
            if (it != data.end()) data.erase(it);
        };
        drop("Exif.Image.IPTCNAA");  // JPEG keeps IPTC in APP13
        if (turned)
            data["Exif.Image.Orientation"] = uint16_t{1};
        if (data.findKey(Exiv2::ExifKey("Exif.Photo.PixelXDimension")) != data.end())
            data["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(width);
        if (data.findKey(Exiv2::ExifKey("Exif.Photo.PixelYDimension")) != data.end())
            data["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(height);
        for (int attempt = 0; attempt < 2; ++attempt) {
            Exiv2::Blob blob;
            Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, data);
            if (!blob.empty() && blob.size() <= kMaxApp1Payload) {
                std::vector<uint8_t> out{'E', 'x', 'i', 'f', 0, 0};
                out.insert(out.end(), blob.begin(), blob.end());
                return out;
            }
            drop("Exif.Photo.MakerNote");  // too large for one segment: the maker note goes first
        }
    } catch (...) {
    }
    return {};
}

std::vector<uint8_t> Metadata::photoshopSegment() const {
    if (iptc_.empty() && otherResources_.empty() && (iptcChanged_ || iptcDigest_.empty()))
        return {};
    std::vector<uint8_t> out;
    const char head[] = "Photoshop 3.0";
    out.insert(out.end(), head, head + sizeof head);  // with its NUL
    out.insert(out.end(), otherResources_.begin(), otherResources_.end());
    if (!iptcChanged_) out.insert(out.end(), iptcDigest_.begin(), iptcDigest_.end());
    if (!iptc_.empty()) {
        const uint8_t res[] = {'8', 'B', 'I', 'M', 0x04, 0x04, 0, 0};
        out.insert(out.end(), res, res + sizeof res);
        putBig32(out, static_cast<uint32_t>(iptc_.size()));
        out.insert(out.end(), iptc_.begin(), iptc_.end());
        if (iptc_.size() & 1) out.push_back(0);
    }
    if (out.size() > 65533)
        return {};
    return out;
}

std::vector<uint8_t> Metadata::thumbnail() const {
    try {
        Exiv2::ExifThumbC thumb(exif_->data);
        Exiv2::DataBuf buf = thumb.copy();
        if (buf.size_ <= 0 || buf.size_ > (4 << 20))
            return {};
        return std::vector<uint8_t>(buf.pData_, buf.pData_ + buf.size_);
    } catch (...) {
        return {};
    }
}

void Metadata::exifDimensions(int* width, int* height) const {
    *width = 0;
    *height = 0;
    auto read = [this](uint32_t tag) {
        const TagValue* v = find(tag);
        if (!v) return 0;
        if (v->type == 3 && v->bytes.size() >= 2) {
            uint16_t s;
            std::memcpy(&s, v->bytes.data(), 2);
            return static_cast<int>(s);
        }
        if (v->type == 4 && v->bytes.size() >= 4) {
            uint32_t l;
            std::memcpy(&l, v->bytes.data(), 4);
            return l > 65535 ? 0 : static_cast<int>(l);
        }
        return 0;
    };
    *width = read(40962);
    *height = read(40963);
}

std::vector<std::pair<uint32_t, std::string>> Metadata::textTags() const {
    std::vector<std::pair<uint32_t, std::string>> out;
    for (uint32_t tag : {270u, 271u, 272u, 305u, 315u, 33432u}) {
        const TagValue* v = find(tag);
        if (v && v->type == 2 && !v->bytes.empty())
            out.emplace_back(tag, std::string(v->bytes.begin(), v->bytes.end()).c_str());
    }
    if (const TagValue* v = find(kDateTime); v && v->bytes.size() == sizeof(Calendar)) {
        Calendar c{};
        std::memcpy(&c, v->bytes.data(), sizeof c);
        out.emplace_back(kDateTime, formatExifDate(c));
    }
    return out;
}

namespace {

// Exiv2's XMP toolkit is shared by every thread of the process.
std::mutex gXmpLock;
void lockXmp(void*, bool lock) {
    if (lock) gXmpLock.lock();
    else gXmpLock.unlock();
}
void initXmp() {
    static std::once_flag once;
    std::call_once(once, [] { Exiv2::XmpParser::initialize(lockXmp, nullptr); });
}

// Values that describe the stored pixels themselves.
const char* const kXmpLayout[] = {"Xmp.tiff.Orientation",     "Xmp.tiff.ImageWidth", "Xmp.tiff.ImageLength",
                                  "Xmp.exif.PixelXDimension", "Xmp.exif.PixelYDimension"};

// IFD0 tags that describe the old file's layout: the new file has its own.
bool layoutTag(const Exiv2::Exifdatum& d) {
    static const uint16_t layout[] = {254, 255, 256, 257, 258, 259, 262, 266, 273, 277, 278, 279, 284, 292, 293,
                                      317, 320, 322, 323, 324, 325, 330, 338, 339, 340, 341, 347, 513, 514,
                                      530, 531, 532, 33723, 37393};
    if (d.groupName() != "Image") return false;
    for (uint16_t t : layout)
        if (d.tag() == t) return true;
    return false;
}

}  // namespace

std::string Metadata::xmpForNewPixels(const std::string& packet) {
    if (packet.empty()) return {};
    // A packet the toolkit cannot read is kept as it stands when it says nothing
    // of the old pixels' layout.
    const auto keptAsItStands = [&packet] {
        for (const char* name : {"Orientation", "ImageWidth", "ImageLength", "PixelXDimension", "PixelYDimension"})
            if (packet.find(name) != std::string::npos) return std::string();
        return packet;
    };
    initXmp();
    try {
        Exiv2::XmpData data;
        if (Exiv2::XmpParser::decode(data, packet) != 0) return keptAsItStands();
        for (const char* key : kXmpLayout) {
            auto it = data.findKey(Exiv2::XmpKey(key));
            if (it != data.end()) data.erase(it);
        }
        std::string out;
        if (Exiv2::XmpParser::encode(out, data, Exiv2::XmpParser::useCompactFormat) != 0) return keptAsItStands();
        return out;
    } catch (...) {
        return keptAsItStands();
    }
}

bool Metadata::writeIntoTiff(const std::string& path, int width, int height, bool turned,
                             const std::vector<uint8_t>& icc, const std::string& xmp) const {
    try {
        Exiv2::ExifData data;
        for (const Exiv2::Exifdatum& d : exif_->data) {
            const std::string group = d.groupName();
            // the main picture's own tags, its EXIF, GPS and interoperability data
            if (group != "Image" && group != "Photo" && group != "GPSInfo" && group != "Iop") continue;
            if (layoutTag(d) || d.key() == "Exif.Image.InterColorProfile" || d.key() == "Exif.Image.XMLPacket") continue;
            data.add(d);
        }
        if (turned && data.findKey(Exiv2::ExifKey("Exif.Image.Orientation")) != data.end())
            data["Exif.Image.Orientation"] = uint16_t{1};
        if (data.findKey(Exiv2::ExifKey("Exif.Photo.PixelXDimension")) != data.end())
            data["Exif.Photo.PixelXDimension"] = static_cast<uint32_t>(width);
        if (data.findKey(Exiv2::ExifKey("Exif.Photo.PixelYDimension")) != data.end())
            data["Exif.Photo.PixelYDimension"] = static_cast<uint32_t>(height);
        auto addBytes = [&data](const char* key, Exiv2::TypeId type, const uint8_t* bytes, size_t size) {
            Exiv2::DataValue value(type);
            value.read(bytes, static_cast<long>(size), Exiv2::littleEndian);
            data.add(Exiv2::ExifKey(key), &value);
        };
        if (!icc.empty()) addBytes("Exif.Image.InterColorProfile", Exiv2::undefined, icc.data(), icc.size());
        if (!xmp.empty())
            addBytes("Exif.Image.XMLPacket", Exiv2::unsignedByte, reinterpret_cast<const uint8_t*>(xmp.data()),
                     xmp.size());
        if (data.empty()) return true;
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(path);
        if (!image.get()) return false;
        image->readMetadata();
        Exiv2::ExifData merged = image->exifData();   // the new file's own layout
        for (const Exiv2::Exifdatum& d : data) {
            auto it = merged.findKey(Exiv2::ExifKey(d.key()));
            if (it == merged.end()) merged.add(d);
            else if (d.key() == "Exif.Image.Orientation") it->setValue(&d.value());  // how to show these pixels
        }
        image->setExifData(merged);
        // The file's XMP packet (written with the pixels) goes back as it stands,
        // even one the toolkit cannot take apart.
        image->writeXmpFromPacket(true);
        image->writeMetadata();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace jqfl
