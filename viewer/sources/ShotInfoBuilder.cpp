// CJqFileLib::BuildShotInfo: the shooting information of a picture, read tag by
// tag. Each tag is asked for its type and size first, then read into a buffer of
// that size; a tag the picture does not report keeps the field's missing value.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "viewer/sources/JqFileLib.h"

namespace {

enum : uint32_t {
    kBitsPerSample = 258,
    kModel = 272,
    kXResolution = 282,
    kYResolution = 283,
    kDateTime = 306,
    kArtist = 315,
    kCopyright = 33432,
    kExposureTime = 33434,
    kFNumber = 33437,
    kExposureProgram = 34850,
    kExposureBias = 37380,
    kMeteringMode = 37383,
    kFlash = 37385,
    kFocalLength = 37386,
    kUserComment = 37510,
};

enum : uint32_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7, kSLong = 9, kSRational = 10 };

constexpr uint32_t kTypeJpeg = 32;

bool firstInt(uint32_t type, const std::string& b, int32_t* out) {
    if ((type == kShort) && b.size() >= 2) {
        uint16_t v;
        std::memcpy(&v, b.data(), 2);
        *out = v;
        return true;
    }
    if ((type == kLong || type == kSLong) && b.size() >= 4) {
        int32_t v;
        std::memcpy(&v, b.data(), 4);
        *out = v;
        return true;
    }
    if (type == 1 && !b.empty()) {
        *out = static_cast<uint8_t>(b[0]);
        return true;
    }
    return false;
}

// The index-th value of a RATIONAL or SRATIONAL tag.
bool rationalAt(uint32_t type, const std::string& b, size_t index, double* out) {
    if ((type != kRational && type != kSRational) || b.size() < (index + 1) * 8)
        return false;
    const char* p = b.data() + index * 8;
    int64_t num, den;
    if (type == kRational) {
        uint32_t n, d;
        std::memcpy(&n, p, 4);
        std::memcpy(&d, p + 4, 4);
        num = n, den = d;
    } else {
        int32_t n, d;
        std::memcpy(&n, p, 4);
        std::memcpy(&d, p + 4, 4);
        num = n, den = d;
    }
    if (den == 0)
        return false;
    *out = static_cast<double>(num) / static_cast<double>(den);
    return true;
}

bool firstReal(uint32_t type, const std::string& b, double* out) {
    if (type == kRational || type == kSRational)
        return rationalAt(type, b, 0, out);
    int32_t v = 0;
    if (firstInt(type, b, &v)) {
        *out = v;
        return true;
    }
    return false;
}

std::string textOf(const std::string& b) {
    return std::string(b.c_str());  // up to the first NUL
}

// The EXIF user comment starts with an 8-byte character code.
std::string userCommentText(const std::string& b) {
    if (b.size() < 8)
        return textOf(b);
    const std::string code = b.substr(0, 8);
    const std::string body = b.substr(8);
    if (code.compare(0, 7, "UNICODE") == 0) {
        // UTF-16 in either order: keep the ASCII characters (the texts this
        // system shows are the camera's own)
        std::string out;
        const bool bigEndian = body.size() >= 2 && body[0] == 0 && body[1] != 0;
        for (size_t i = 0; i + 1 < body.size(); i += 2) {
            const unsigned char lo = static_cast<unsigned char>(bigEndian ? body[i + 1] : body[i]);
            const unsigned char hi = static_cast<unsigned char>(bigEndian ? body[i] : body[i + 1]);
            if (hi == 0 && lo == 0) break;
            out += hi == 0 && lo < 0x80 ? static_cast<char>(lo) : '?';
        }
        return out;
    }
    return textOf(body);
}

// Short times as photographers write them (1/125); from about a quarter second
// on, seconds with one decimal (0.8, 1.3, 2), since 1/(1/0.8) is no time any
// camera took.
std::string exposureTimeText(double seconds) {
    char buf[32];
    if (seconds > 0 && seconds < 0.25001) {
        std::snprintf(buf, sizeof buf, "1/%.0f", 1.0 / seconds);
        return buf;
    }
    std::snprintf(buf, sizeof buf, "%.1f", seconds);
    std::string text = buf;
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0) text.resize(text.size() - 2);
    return text;
}

std::string fNumberText(double f) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "F%.1f", f);
    return buf;
}

std::string millimetres(double mm) {
    char buf[32];
    std::snprintf(buf, sizeof buf, std::fabs(mm - std::round(mm)) < 0.05 ? "%.0f" : "%.1f", mm);
    return buf;
}

}  // namespace

std::optional<std::string> JoinedMakerText(const std::optional<std::string>& main,
                                           const std::optional<std::string>& detail) {
    if (main && detail) return *main + " (" + *detail + ")";
    return main ? main : detail;
}

std::optional<std::string> FocalRangeText(double shortest, double longest) {
    if (!(shortest > 0) || longest < shortest) return std::nullopt;
    if (millimetres(shortest) == millimetres(longest)) return millimetres(shortest) + " mm";
    return millimetres(shortest) + "-" + millimetres(longest) + " mm";
}

std::optional<std::string> LensText(const std::optional<std::string>& name, const std::optional<std::string>& range) {
    // most lens names carry their focal lengths already ("EF-S18-135mm f/3.5-5.6")
    if (name && range && name->find("mm") != std::string::npos) return name;
    return JoinedMakerText(name, range);
}

bool CJqFileLib::readTagBytes(uint32_t tag, uint32_t* type, std::string* bytes) {
    uint32_t count = 0, size = 0;
    if (!entry_ || GetTag(tag, type, &count, &size, nullptr) != 0)
        return false;
    if (size == 0 || size > (1u << 24))
        return false;
    std::vector<char> buffer(size);
    uint32_t got = size;
    if (GetTag(tag, type, &count, &got, buffer.data()) != 0 || got > size)
        return false;
    bytes->assign(buffer.data(), got);
    return true;
}

int32_t CJqFileLib::BuildShotInfo(ShotInfo* info, int32_t colorModel) {
    if (!info)
        return 0;
    uint32_t type = 0;
    std::string b;
    auto text = [&](uint32_t tag, std::optional<std::string>& field) {
        if (readTagBytes(tag, &type, &b)) {
            const std::string t = tag == kUserComment ? userCommentText(b) : textOf(b);
            if (!IsBlankText(t.c_str(), static_cast<int32_t>(t.size())))
                field = t;
        }
    };
    auto integer = [&](uint32_t tag, int32_t& field) {
        int32_t v = 0;
        if (readTagBytes(tag, &type, &b) && firstInt(type, b, &v))
            field = v;
    };
    auto real = [&](uint32_t tag, double& field, int32_t* present) {
        double v = 0;
        if (readTagBytes(tag, &type, &b) && firstReal(type, b, &v)) {
            field = v;
            if (present) *present = 1;
        }
    };

    // date and time: the library's calendar block
    if (readTagBytes(kDateTime, &type, &b) && type == JQFL_TAGTYPE_CALENDAR && b.size() == sizeof(JqCalendar)) {
        JqCalendar c;
        std::memcpy(&c, b.data(), sizeof c);
        info->dateTime = c;
    }
    int32_t words[4] = {-1, -1, 0, -1};
    if (GetInfoWords(words) == 0 && entry_) {
        info->pixelWidth = words[0];
        info->pixelHeight = words[1];
        if (colorModel != -1)
            info->colorModel = words[3];
    }
    real(kXResolution, info->xResolution, nullptr);
    real(kYResolution, info->yResolution, nullptr);
    text(kModel, info->model);
    text(kUserComment, info->userComment);
    if (fileType_ == kTypeJpeg)
        info->bitsPerSample = 8;  // JPEG samples are 8 bits
    else
        integer(kBitsPerSample, info->bitsPerSample);
    text(kArtist, info->artist);
    text(kCopyright, info->copyright);
    integer(0x80004, info->maker80004);
    integer(kMeteringMode, info->meteringMode);
    integer(kExposureProgram, info->exposureProgram);
    int32_t flash = -1;
    integer(kFlash, flash);
    if (flash != -1)
        info->flash = flash & 1;  // bit 0: the flash fired; the other bits are modes
    real(kFocalLength, info->focalLength, &info->hasFocalLength);
    double seconds = 0;
    if (readTagBytes(kExposureTime, &type, &b) && firstReal(type, b, &seconds))
        info->exposureTime = exposureTimeText(seconds);
    double f = 0;
    if (readTagBytes(kFNumber, &type, &b) && firstReal(type, b, &f))
        info->fNumber = fNumberText(f);
    real(kExposureBias, info->exposureBias, &info->hasExposureBias);
    integer(0x80005, info->maker80005);
    integer(0x80082, info->maker80082);
    integer(0x80008, info->maker80008);
    real(0x8000E, info->maker8000E, &info->hasMaker8000E);
    integer(0x8000D, info->maker8000D);
    text(0x80002, info->maker80002Text);
    integer(0x80006, info->maker80006);
    integer(0x80081, info->maker80081);
    integer(0x80080, info->maker80080);
    real(0x30006, info->maker30006, &info->hasMaker30006);
    integer(0x8008D, info->maker8008D);
    integer(0x80092, info->maker80092);
    integer(0x80094, info->maker80094);
    // the composed texts: each joins a pair of the library's maker tags
    std::optional<std::string> focusMode, focusArea, lens, firmware, software;
    text(0x80083, focusMode);
    text(0x80084, focusArea);
    info->maker80083Text = JoinedMakerText(focusMode, focusArea);
    text(0x30001, lens);
    std::optional<std::string> range;
    double shortest = 0, longest = 0;
    if (readTagBytes(0x30002, &type, &b) && type == kRational && rationalAt(type, b, 0, &shortest) &&
        rationalAt(type, b, 1, &longest))
        range = FocalRangeText(shortest, longest);
    info->maker30001Text = LensText(lens, range);
    text(0x30003, firmware);
    text(0x30004, software);
    info->maker30003Text = firmware ? firmware : software;
    return 1;
}
