#include "viewer/browser/PictureInfoText.h"

#include <cstdio>
#include <initializer_list>
#include <utility>

namespace {

constexpr uint32_t kLabelIds[kShootingLabelCount] = {
    62426, 62427, 62430, 62431, 62433, 62435, 62438, 62439, 62440, 62443, 62444,
    62454, 62462, 62472, 62473, 62475, 62476, 62477, 62481, 62493, 62506, 62512,
    62515, 62516, 62525, 62532, 62535, 62538, 62539, 62545, 62558, 62561, 62564,
};

using ValueTable = std::initializer_list<std::pair<int32_t, uint32_t>>;

std::string FromTable(int32_t value, ValueTable table, const LangTextFn& text) {
    for (const auto& [v, id] : table)
        if (v == value) return text(id);
    return text(0);
}

std::string FromRange(int32_t value, int32_t last, uint32_t firstId, const LangTextFn& text) {
    if (value < 0 || value > last) return text(0);
    return text(firstId + uint32_t(value));
}

std::string YesNo(int32_t flag, const LangTextFn& text) { return text(flag ? 62567 : 62568); }
std::string OnOff(int32_t value, const LangTextFn& text) { return text(value ? 62570 : 62571); }

// Builds the lines: the label of a line number (1-based) with its value, or the
// placeholder when the value is absent.
class InfoLines {
public:
    InfoLines(std::string& out, const LangTextFn& text) : out_(out), text_(text) {
        separator_ = text(kLabelSeparatorId);
        lineEnd_ = text(kLineEndId);
        absent_ = text(kAbsentValueId);
    }
    void Value(int line, const std::string& value) { out_ += Label(line) + value + lineEnd_; }
    void Absent(int line) { out_ += Label(line) + absent_ + lineEnd_; }
    void Optional(int line, const std::optional<std::string>& value) {
        if (value) Value(line, *value); else Absent(line);
    }
    void Coded(int line, int32_t value, std::string (*format)(int32_t, const LangTextFn&)) {
        if (value == -1) Absent(line); else Value(line, format(value, text_));
    }
    std::string Format(uint32_t id, std::vector<FormatArg> args) const { return FormatLang(text_(id), args); }
    const LangTextFn& text() const { return text_; }

private:
    std::string Label(int line) const { return text_(kLabelIds[line - 1]) + separator_; }
    std::string& out_;
    const LangTextFn& text_;
    std::string separator_, lineEnd_, absent_;
};

std::string SizeText(uint32_t size, const InfoLines& l) {
    if (size < 1048576) return l.Format(62428, {BytesToKilobytes(size), int64_t(size)});
    return l.Format(62429, {BytesToMegabytes(size), int64_t(size)});
}

std::string DateText(const JqCalendar& c) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02.0f", c.year, c.month, c.day, c.hour, c.minute,
                  c.second);
    return buf;
}

void AppendFileLines(InfoLines& l, const PictureRecord& r, const ShotInfo& s, bool withSizes) {
    l.Value(1, r.name);
    l.Value(2, SizeText(r.size, l));
    if (s.dateTime) l.Value(3, DateText(*s.dateTime)); else l.Absent(3);
    if (withSizes) {
        if (s.pixelWidth <= 0 || s.pixelHeight <= 0) l.Absent(4);
        else l.Value(4, l.Format(62432, {int64_t(s.pixelWidth), int64_t(s.pixelHeight)}));
        if (s.xResolution == -1.0 || s.yResolution == -1.0) l.Absent(5);
        else l.Value(5, l.Format(62434, {s.xResolution, s.yResolution}));
    }
    if (s.bitsPerSample == 0) l.Absent(6);
    else if (s.bitsPerSample == 8) l.Value(6, l.text()(62436));
    else l.Value(6, l.Format(62437, {int64_t(s.bitsPerSample)}));
    l.Value(7, YesNo(r.protect, l.text()));
    l.Value(8, YesNo(r.hidden, l.text()));
}

std::string BiasText(double bias, const InfoLines& l) {
    if (bias > 0) return l.Format(62478, {bias});
    if (bias < 0) return l.Format(62479, {bias});
    return l.text()(62480);
}

void AppendCameraLines(InfoLines& l, const ShotInfo& s) {
    const LangTextFn& t = l.text();
    l.Optional(9, s.userComment);
    l.Optional(10, s.model);
    l.Coded(11, s.maker80004, FormatMakerTag80004);
    l.Coded(12, s.meteringMode, FormatMeteringMode);
    l.Coded(13, s.exposureProgram, FormatExposureProgram);
    if (s.flash == -1) l.Absent(14); else l.Value(14, OnOff(s.flash, t));
    if (!s.hasFocalLength) l.Absent(15); else l.Value(15, l.Format(62474, {s.focalLength}));
    if (!s.exposureTime) l.Absent(16); else l.Value(16, *s.exposureTime + t(62569));
    l.Optional(17, s.fNumber);
    if (!s.hasExposureBias) l.Absent(18); else l.Value(18, BiasText(s.exposureBias, l));
    l.Coded(19, s.maker80005, FormatMakerTag80005);
    if (s.maker80082 != -1) l.Value(20, FormatMakerTag80082(s.maker80082, t));
    else l.Optional(20, s.maker80083Text);
    l.Coded(21, s.maker80008, FormatMakerTag80008);
    if (!s.hasMaker8000E) l.Absent(22);
    else l.Value(22, l.Format(s.maker8000E <= 0 ? 62513 : 62514, {s.maker8000E}));
    if (s.maker8000D == -1) l.Absent(23); else l.Value(23, OnOff(s.maker8000D, t));
    l.Optional(24, s.maker80002Text);
    l.Coded(25, s.maker80006, FormatMakerTag80006);
    if (s.colorModel == -1) l.Absent(26);
    else l.Value(26, t(s.colorModel == 2 || s.colorModel == 3 ? 62534 : 62533));
    if (s.maker8008D == -1) l.Absent(27); else l.Value(27, t(s.maker8008D == 1 ? 62536 : 62537));
    if (s.maker80092 == -1) l.Absent(28); else l.Value(28, std::to_string(s.maker80092));
    if (s.maker80094 == 0x7FFFFFFF) l.Absent(29); else l.Value(29, FormatMakerTag80094(s.maker80094, t));
    if (s.maker80080 != -1) l.Value(30, FormatMakerTag80080(s.maker80080, t));
    else l.Coded(30, s.maker80081, FormatMakerTag80081);
    l.Optional(31, s.maker30001Text);
    l.Optional(32, s.maker30003Text);
    if (!s.hasMaker30006) l.Absent(33); else l.Value(33, l.Format(62565, {s.maker30006}));
}

}  // namespace

std::string MakeLangStringObject(uint32_t id, const LangTextFn& text) { return text(id); }

int32_t LoadShootingDataLabels(std::vector<std::string>& labels, const LangTextFn& text) {
    labels.clear();
    const std::string separator = text(kLabelSeparatorId);
    for (uint32_t id : kLabelIds) {
        std::string label = MakeLangStringObject(id, text);
        if (label.empty()) return 0;
        labels.push_back(label + separator);
    }
    return 1;
}

std::string FormatMakerTag80004(int32_t v, const LangTextFn& t) {
    return FromTable(v, {{0, 62445}, {1, 62446}, {2, 62447}, {16, 62448}, {17, 62449}, {32, 62450}, {38, 62451},
                         {132, 62452}, {138, 62453}}, t);
}
std::string FormatMeteringMode(int32_t v, const LangTextFn& t) { return FromRange(v, 6, 62455, t); }
std::string FormatExposureProgram(int32_t v, const LangTextFn& t) { return FromRange(v, 8, 62463, t); }
std::string FormatMakerTag80005(int32_t v, const LangTextFn& t) { return FromRange(v, 10, 62482, t); }
std::string FormatMakerTag80082(int32_t v, const LangTextFn& t) {
    return FromTable(v, {{0, 62494}, {1, 62495}, {0x1001, 62496}, {0x1002, 62497}, {0x2001, 62498}, {0x3001, 62499},
                         {0x3002, 62500}, {0x4001, 62501}}, t);
}
std::string FormatMakerTag80008(int32_t v, const LangTextFn& t) {
    return FromTable(v, {{0, 62507}, {1, 62508}, {2, 62509}, {16, 62510}, {17, 62511}}, t);
}
std::string FormatMakerTag80006(int32_t v, const LangTextFn& t) {
    return FromTable(v, {{0, 62526}, {1, 62527}, {2, 62528}, {3, 62529}, {9, 62530}}, t);
}
std::string FormatMakerTag80081(int32_t v, const LangTextFn& t) {
    return FromTable(v, {{0, 62553}, {1, 62554}, {2, 62555}, {3, 62556}, {16, 62557}}, t);
}
std::string FormatMakerTag80080(int32_t v, const LangTextFn& t) {
    return FromTable(v, {{1, 62546}, {2, 62547}, {257, 62548}, {258, 62549}, {260, 62550}, {264, 62551},
                         {266, 62552}}, t);
}
std::string FormatMakerTag80094(int32_t v, const LangTextFn& t) {
    return FromTable(v, {{0, 62544}, {1, 62543}, {2, 62542}, {3, 62541}, {4, 62540}}, t);
}

double BytesToKilobytes(uint32_t bytes) { return double(bytes) * 0.0009765625; }
double BytesToMegabytes(uint32_t bytes) { return double(bytes) * 9.5367431640625e-7; }

void BuildPictureInfoText(std::string& infoText, const PictureRecord* record, bool cameraSource,
                          const LangTextFn& text) {
    if (!record || !record->shotInfo) return;
    const bool cameraMovie = record->movie && cameraSource;
    InfoLines lines(infoText, text);
    AppendFileLines(lines, *record, *record->shotInfo, !cameraMovie);
    if (!cameraMovie) AppendCameraLines(lines, *record->shotInfo);
}
