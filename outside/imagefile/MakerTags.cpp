#include "outside/imagefile/MakerTags.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <exiv2/exiv2.hpp>

#include "outside/imagefile/Metadata.h"

namespace jqfl {
namespace {

enum : uint32_t { kAscii = 2, kRational = 5, kSLong = 9, kSRational = 10 };

// A camera's word for a setting matches a rule when every word of the rule is
// in it (lower case). Rules are tried in order; the first that matches gives
// the code, so narrower rules come first ("daylight fluorescent" before
// "fluorescent").
struct Rule {
    std::string_view words[2];
    int32_t code;
};

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

std::optional<int32_t> codeFor(const std::string& text, std::initializer_list<Rule> rules) {
    const std::string t = lower(text);
    for (const Rule& r : rules) {
        bool all = true;
        for (std::string_view w : r.words)
            if (!w.empty() && t.find(w) == std::string::npos) all = false;
        if (all) return r.code;
    }
    return std::nullopt;
}

// The maker-note entries of one picture, found by tag name ("Quality") or by
// group and name ("Nikon3.ShootingMode").
class MakerNote {
public:
    explicit MakerNote(const Exiv2::ExifData& data) : data_(data) {
        // Exiv2 answers "is this a maker's group" by searching all its groups, and
        // makes an entry's name afresh each time it is asked (through a string
        // stream for the many entries it has no name for): the question is asked
        // once per group, and the names are read from the group's tag list, as
        // Exiv2 reads them (the entries of a few groups alternate).
        for (const Exiv2::Exifdatum& d : data) {
            const std::string group = d.groupName();
            auto known = std::find_if(groups_.begin(), groups_.end(), [&](const Group& g) { return g.name == group; });
            if (known == groups_.end())
                known = groups_.insert(groups_.end(), Group::of(group));
            if (known->maker)
                entries_.push_back(Entry{&d, &known->name, known->nameOf(d)});
        }
    }

    bool empty() const { return entries_.empty(); }

    const Exiv2::Exifdatum* find(std::initializer_list<std::string_view> names) const {
        for (std::string_view name : names)
            for (const Entry& e : entries_)
                if (e.matches(name)) return e.datum;
        return nullptr;
    }
    const Exiv2::Exifdatum* find(std::string_view name) const { return find({name}); }

    // The camera's words for the entry's value; empty when Exiv2 does not know
    // the value ("(12)"), or when it says nothing.
    std::string words(const Exiv2::Exifdatum* d) const {
        if (!d) return {};
        std::string text;
        try {
            text = trimmed(d->print(&data_));
        } catch (...) {
            return {};
        }
        const std::string l = lower(text);
        if (l.empty() || l == "n/a" || l == "unknown" || l.rfind("unknown ", 0) == 0) return {};
        // Exiv2 puts values it has no words for in brackets: a number says
        // nothing, a camera's own text ("(AF-F)") is still the camera's word
        if (l.front() == '(' && l.back() == ')') {
            const std::string inside = trimmed(text.substr(1, text.size() - 2));
            if (inside.empty() || inside.find_first_not_of("0123456789-. ") == std::string::npos) return {};
            return inside;
        }
        return text;
    }

    std::string words(std::initializer_list<std::string_view> names) const { return words(find(names)); }
    std::string words(std::string_view name) const { return words(find(name)); }

    // The first value as a signed 16-bit number (the camera-settings arrays
    // store -1 as 0xFFFF).
    static std::optional<int32_t> short16(const Exiv2::Exifdatum* d) {
        if (!d || d->count() < 1) return std::nullopt;
        return static_cast<int16_t>(static_cast<uint16_t>(d->toLong(0)));
    }

private:
    struct Group {
        std::string name;
        bool maker = false;
        // the group's tag numbers and names: the first name Exiv2 lists for a number
        // is the one it gives (an entry whose number it does not list has none)
        std::vector<std::pair<uint16_t, const char*>> names;
        bool listed = false;  // false: Exiv2 has no list for the group, it names each entry

        static Group of(const std::string& group) {
            Group g;
            g.name = group;
            // preview images inside maker notes describe the preview, not the shot
            g.maker = group.find("Preview") == std::string::npos && Exiv2::ExifTags::isMakerGroup(group);
            if (!g.maker) return g;
            const Exiv2::TagInfo* list = Exiv2::ExifTags::tagList(group);
            g.listed = list != nullptr;
            for (int i = 0; list && list[i].tag_ != 0xFFFF; ++i)
                g.names.emplace_back(list[i].tag_, list[i].name_);
            // sorted by number, the first listed of a number first
            std::stable_sort(g.names.begin(), g.names.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            return g;
        }

        std::string nameOf(const Exiv2::Exifdatum& d) const {
            if (!listed) return d.tagName();
            const auto it = std::lower_bound(names.begin(), names.end(), d.tag(),
                                             [](const auto& n, uint16_t tag) { return n.first < tag; });
            return it != names.end() && it->first == d.tag() && it->second ? it->second : std::string();
        }
    };

    struct Entry {
        const Exiv2::Exifdatum* datum;
        const std::string* group;  // the name in groups_, which outlives the entries
        std::string tag;         // empty when Exiv2 has no name for it
        bool matches(std::string_view name) const {
            const auto dot = name.find('.');
            if (dot == std::string_view::npos) return !tag.empty() && tag == name;
            return *group == name.substr(0, dot) && !tag.empty() && tag == name.substr(dot + 1);
        }
    };

    const Exiv2::ExifData& data_;
    std::deque<Group> groups_;  // grows at its end without moving its groups
    std::vector<Entry> entries_;
};

class Writer {
public:
    explicit Writer(std::map<uint32_t, TagValue>& tags) : tags_(tags) {}

    void integer(uint32_t tag, std::optional<int32_t> v) {
        if (!v) return;
        TagValue t;
        t.type = kSLong;
        t.count = 1;
        t.bytes.resize(4);
        std::memcpy(t.bytes.data(), &*v, 4);
        tags_[tag] = std::move(t);
    }

    void text(uint32_t tag, const std::string& s) {
        if (s.empty()) return;
        TagValue t;
        t.type = kAscii;
        t.count = static_cast<uint32_t>(s.size() + 1);
        t.bytes.assign(s.begin(), s.end());
        t.bytes.push_back(0);
        tags_[tag] = std::move(t);
    }

    // Values in thousandths, as rationals of the given type.
    void reals(uint32_t tag, uint32_t type, std::initializer_list<double> values) {
        TagValue t;
        t.type = type;
        t.count = static_cast<uint32_t>(values.size());
        for (double v : values) {
            const int32_t num = static_cast<int32_t>(std::lround(v * 1000.0));
            const int32_t den = 1000;
            const size_t at = t.bytes.size();
            t.bytes.resize(at + 8);
            std::memcpy(t.bytes.data() + at, &num, 4);
            std::memcpy(t.bytes.data() + at + 4, &den, 4);
        }
        tags_[tag] = std::move(t);
    }

private:
    std::map<uint32_t, TagValue>& tags_;
};

// The first number in a text ("2.0x", "1.25 m"); nothing when there is none.
std::optional<double> leadingNumber(const std::string& text) {
    const char* s = text.c_str();
    while (*s && !(std::isdigit(static_cast<unsigned char>(*s)) || *s == '.' || *s == '-' || *s == '+')) ++s;
    if (!*s) return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(s, &end);
    if (end == s || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<int32_t> quality(const MakerNote& note) {
    return codeFor(note.words("Quality"), {
        {{"raw", "tif"}, 38}, {{"raw", "jp"}, 32}, {{"raw", "+"}, 32}, {{"raw", "fine"}, 32},
        {{"raw", "normal"}, 32}, {{"raw", "basic"}, 32}, {{"raw"}, 16}, {{"tif"}, 17},
        {{"movie"}, 132}, {{"motion"}, 132}, {{"video"}, 132},
        {{"super"}, 0}, {{"fine"}, 0}, {{"best"}, 0}, {{"premium"}, 0}, {{"very high"}, 0},
        {{"high quality"}, 1}, {{"high"}, 0}, {{"standard quality"}, 2},
        {{"normal"}, 1}, {{"standard"}, 1}, {{"better"}, 1},
        {{"basic"}, 2}, {{"economy"}, 2}, {{"good"}, 2}, {{"low"}, 2},
    });
}

std::optional<int32_t> whiteBalance(const MakerNote& note) {
    return codeFor(note.words("WhiteBalance"), {
        {{"auto"}, 0}, {{"fluorescent", "daylight"}, 6}, {{"fluorescent", "white"}, 7},
        {{"fluorescent", "cool"}, 7}, {{"fluorescent"}, 5}, {{"daylight"}, 1}, {{"sun"}, 1},
        {{"fine weather"}, 1}, {{"cloud"}, 2}, {{"overcast"}, 2}, {{"shade"}, 3},
        {{"tungsten"}, 4}, {{"incandescent"}, 4}, {{"flash"}, 8}, {{"kelvin"}, 10},
        {{"temperature"}, 10}, {{"custom"}, 9}, {{"manual"}, 9}, {{"preset"}, 9}, {{"one touch"}, 9},
    });
}

void focus(const MakerNote& note, Writer& out) {
    const std::string mode = note.words({"FocusMode", "Focus"});
    std::optional<int32_t> code = codeFor(mode, {
        {{"manual"}, 1}, {{"super", "macro"}, 0x3002}, {{"macro"}, 0x3001}, {{"infinity"}, 0x4001},
        {{"continuous"}, 0x2001}, {{"servo"}, 0x2001}, {{"af-c"}, 0x2001}, {{"c-af"}, 0x2001},
        {{"tracking"}, 0x2001}, {{"one-shot"}, 0x1001}, {{"one shot"}, 0x1001}, {{"single"}, 0x1001},
        {{"af-s"}, 0x1001}, {{"s-af"}, 0x1001}, {{"ai focus"}, 0}, {{"af-a"}, 0}, {{"auto"}, 0},
    });
    // the camera-settings array keeps the macro switch apart from the focus mode
    if (code && *code != 1 && MakerNote::short16(note.find("CanonCs.Macro")) == 1) code = 0x3001;
    out.integer(maker::kFocusMode, code);
    if (!code) out.text(maker::kFocusModeText, mode);
    out.text(maker::kFocusAreaText, note.words({"AFAreaMode", "AFPoint", "FocusArea"}));
}

std::optional<int32_t> drive(const MakerNote& note) {
    if (const Exiv2::Exifdatum* canon = note.find("CanonCs.DriveMode")) {
        // 0 is "single or self-timer": the self-timer entry tells which
        const std::optional<int32_t> mode = MakerNote::short16(canon);
        if (mode == 0) return MakerNote::short16(note.find("CanonCs.Selftimer")).value_or(0) > 0 ? 2 : 0;
        if (mode == 1 || (mode && *mode >= 3 && *mode <= 6)) return 1;
        return std::nullopt;
    }
    const std::string words = note.words({"DriveMode", "Continuous", "BurstMode", "Nikon3.ShootingMode"});
    const std::string l = lower(words);
    if (l == "on") return 1;
    if (l == "off") return 0;
    return codeFor(words, {
        {{"interval"}, 17}, {{"time-lapse"}, 17}, {{"bracket"}, 16}, {{"self"}, 2}, {{"timer"}, 2},
        {{"delay"}, 2}, {{"continuous"}, 1}, {{"burst"}, 1}, {{"sequential"}, 1}, {{"single"}, 0},
        {{"normal"}, 0},
    });
}

std::optional<double> digitalZoom(const MakerNote& note) {
    if (const Exiv2::Exifdatum* canon = note.find("CanonCs.DigitalZoom")) {
        switch (MakerNote::short16(canon).value_or(-1)) {
        case 0: return 0.0;
        case 1: return 2.0;
        case 2: return 4.0;
        default: return std::nullopt;
        }
    }
    const Exiv2::Exifdatum* d = note.find("DigitalZoom");
    const std::string words = lower(note.words(d));
    if (words.empty()) return std::nullopt;
    if (words == "off" || words == "none" || words == "no") return 0.0;
    std::optional<double> ratio;
    if (d->typeId() == Exiv2::unsignedRational || d->typeId() == Exiv2::signedRational) {
        const float f = d->toFloat(0);
        if (std::isfinite(f)) ratio = f;
    } else {
        ratio = leadingNumber(words);
    }
    if (!ratio) return std::nullopt;
    return *ratio <= 1.0 ? 0.0 : *ratio;
}

std::optional<int32_t> noiseReduction(const MakerNote& note) {
    const std::string l = lower(note.words("NoiseReduction"));
    if (l.empty()) return std::nullopt;
    if (l == "off" || l == "none" || l == "(none)" || l == "0") return 0;
    if (l.rfind("on", 0) == 0 || l.find("fpnr") != std::string::npos || l.find("noise") != std::string::npos)
        return 1;
    return std::nullopt;
}

std::optional<int32_t> sharpness(const MakerNote& note) {
    if (const Exiv2::Exifdatum* canon = note.find("CanonCs.Sharpness")) {
        const std::optional<int32_t> v = MakerNote::short16(canon);
        if (!v) return std::nullopt;
        return *v == 0 ? 0 : *v < 0 ? 1 : 2;
    }
    return codeFor(note.words({"Sharpness", "Sharpening"}), {
        {{"auto"}, 9}, {{"off"}, 3}, {{"none"}, 3}, {{"soft"}, 1}, {{"low"}, 1}, {{"hard"}, 2},
        {{"high"}, 2}, {{"sharp"}, 2}, {{"normal"}, 0}, {{"standard"}, 0},
    });
}

// 0 to 4 for contrast -2 to +2.
std::optional<int32_t> contrast(const MakerNote& note) {
    if (const Exiv2::Exifdatum* canon = note.find("CanonCs.Contrast")) {
        const std::optional<int32_t> v = MakerNote::short16(canon);
        if (!v) return std::nullopt;
        return std::clamp(*v, -2, 2) + 2;
    }
    const std::string words = note.words({"Contrast", "ToneComp"});
    if (const auto code = codeFor(words, {
            {{"very low"}, 0}, {{"lowest"}, 0}, {{"med", "low"}, 1}, {{"med.l"}, 1},
            {{"very high"}, 4}, {{"highest"}, 4}, {{"med", "high"}, 3}, {{"med.h"}, 3},
            {{"low"}, 1}, {{"soft"}, 1}, {{"high"}, 3}, {{"hard"}, 3}, {{"normal"}, 2}, {{"standard"}, 2},
        }))
        return code;
    // a camera that writes the step itself: "+1", "-2", "0"
    const std::string t = trimmed(words);
    if (!t.empty() && (std::isdigit(static_cast<unsigned char>(t[0])) || t[0] == '+' || t[0] == '-'))
        if (const auto n = leadingNumber(t)) return std::clamp(static_cast<int32_t>(std::lround(*n)), -2, 2) + 2;
    return std::nullopt;
}

std::optional<int32_t> stabiliser(const MakerNote& note) {
    const std::string l = lower(note.words({"ImageStabilization", "ShakeReduction", "SteadyShot"}));
    if (l.empty()) return std::nullopt;
    if (l.find("off") != std::string::npos) return 0;
    for (const char* on : {"on", "panning", "dynamic", "mode"})
        if (l.find(on) != std::string::npos) return 1;
    return std::nullopt;
}

std::optional<int32_t> shutterCount(const MakerNote& note) {
    const Exiv2::Exifdatum* d = note.find("ShutterCount");
    if (!d || d->count() < 1) return std::nullopt;
    // some cameras encrypt the count: only a plain number is one
    switch (d->typeId()) {
    case Exiv2::unsignedShort:
    case Exiv2::unsignedLong:
    case Exiv2::signedShort:
    case Exiv2::signedLong: {
        const long v = d->toLong(0);
        if (v < 0 || v > 0x7FFFFFFF) return std::nullopt;
        return static_cast<int32_t>(v);
    }
    default:
        return std::nullopt;
    }
}

std::optional<int32_t> shootingProgram(const MakerNote& note) {
    return codeFor(note.words({"EasyMode", "PictureMode", "Panasonic.ShootingMode"}), {
        {{"night"}, 260}, {{"sport"}, 264}, {{"portrait"}, 257}, {{"landscape"}, 258},
        {{"scenery"}, 258}, {{"macro"}, 266}, {{"close"}, 266}, {{"program"}, 2}, {{"auto"}, 1},
    });
}

std::optional<int32_t> scene(const MakerNote& note) {
    return codeFor(note.words("SceneMode"), {
        {{"movie"}, 16}, {{"video"}, 16}, {{"night"}, 3}, {{"portrait"}, 1}, {{"landscape"}, 2},
        {{"scenery"}, 2}, {{"standard"}, 0}, {{"normal"}, 0}, {{"off"}, 0},
    });
}

// Shortest and longest focal length in millimetres.
std::optional<std::pair<double, double>> focalRange(const MakerNote& note) {
    if (const Exiv2::Exifdatum* canon = note.find("CanonCs.Lens"); canon && canon->count() >= 3) {
        // longest, shortest, focal units per millimetre
        const long units = std::max<long>(1, canon->toLong(2));
        const double longest = static_cast<double>(canon->toLong(0)) / units;
        const double shortest = static_cast<double>(canon->toLong(1)) / units;
        if (shortest > 0 && longest >= shortest) return std::pair{shortest, longest};
    }
    if (const Exiv2::Exifdatum* nikon = note.find("Nikon3.Lens"); nikon && nikon->count() >= 2) {
        const double shortest = nikon->toFloat(0), longest = nikon->toFloat(1);
        if (std::isfinite(shortest) && std::isfinite(longest) && shortest > 0 && longest >= shortest)
            return std::pair{shortest, longest};
    }
    const auto shortest = leadingNumber(note.words("MinFocalLength"));
    const auto longest = leadingNumber(note.words("MaxFocalLength"));
    if (shortest && longest && *shortest > 0 && *longest >= *shortest) return std::pair{*shortest, *longest};
    return std::nullopt;
}

// Metres from a distance as Exiv2 writes it ("1.25 m", "850 mm").
std::optional<double> metres(const std::string& words) {
    const std::string l = lower(words);
    if (l.find("inf") != std::string::npos) return std::nullopt;
    const auto n = leadingNumber(l);
    if (!n || *n <= 0) return std::nullopt;
    if (l.find("mm") != std::string::npos) return *n / 1000.0;
    if (l.find("cm") != std::string::npos) return *n / 100.0;
    if (l.find('m') != std::string::npos) return *n;
    return std::nullopt;
}

std::optional<double> subjectDistance(const MakerNote& note, const Exiv2::ExifData& data) {
    if (const auto m = metres(note.words({"SubjectDistance", "FocusDistance"}))) return m;
    // the standard tag, in metres; 0xFFFFFFFF/1 means infinity
    const auto it = findExifEntry(data, "Photo", 0x9206);
    if (it == data.end() || it->count() < 1) return std::nullopt;
    const Exiv2::Rational r = it->toRational(0);
    if (r.second == 0 || r.first <= 0 || static_cast<uint32_t>(r.first) == 0xFFFFFFFFu) return std::nullopt;
    return static_cast<double>(r.first) / r.second;
}

std::string software(const Exiv2::ExifData& data) {
    const auto it = findExifEntry(data, "Image", 0x0131);
    return it == data.end() ? std::string() : trimmed(it->toString());
}

}  // namespace

Exiv2::ExifData::const_iterator findExifEntry(const Exiv2::ExifData& data, const char* group, uint16_t tag) {
    return std::find_if(data.begin(), data.end(),
                        [&](const Exiv2::Exifdatum& d) { return d.tag() == tag && d.groupName() == group; });
}

void addMakerTags(const Exiv2::ExifData& data, std::map<uint32_t, TagValue>& tags) {
    try {
        const MakerNote note(data);
        Writer out(tags);
        if (!note.empty()) {
            out.integer(maker::kQuality, quality(note));
            out.integer(maker::kWhiteBalance, whiteBalance(note));
            focus(note, out);
            out.integer(maker::kDrive, drive(note));
            if (const auto zoom = digitalZoom(note)) out.reals(maker::kDigitalZoom, kSRational, {*zoom});
            out.integer(maker::kNoiseReduction, noiseReduction(note));
            out.text(maker::kPictureStyle, note.words({"PictureStyle", "CreativeStyle", "FilmMode"}));
            out.integer(maker::kSharpness, sharpness(note));
            out.integer(maker::kStabiliser, stabiliser(note));
            out.integer(maker::kShutterCount, shutterCount(note));
            out.integer(maker::kContrast, contrast(note));
            out.integer(maker::kShootingProgram, shootingProgram(note));
            out.integer(maker::kScene, scene(note));
            out.text(maker::kLensName, note.words({"LensModel", "LensIDNumber", "LensType", "LensID", "Nikon3.Lens"}));
            if (const auto range = focalRange(note))
                out.reals(maker::kFocalRange, kRational, {range->first, range->second});
            out.text(maker::kFirmware, note.words({"FirmwareVersion", "Firmware", "FirmwareName"}));
            out.text(maker::kSoftware, software(data));
        }
        if (const auto distance = subjectDistance(note, data))
            out.reals(maker::kSubjectDistance, kSRational, {*distance});
    } catch (...) {
        // a maker note Exiv2 cannot print gives no camera settings; the picture
        // and its standard tags are unaffected
    }
}

}  // namespace jqfl
