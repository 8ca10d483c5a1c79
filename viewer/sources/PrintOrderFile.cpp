#include "viewer/sources/PrintOrderFile.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string_view>

#include "platform/fs/DriveMap.h"
#include "platform/fs/FileOps.h"
#include "viewer/sources/SourceStrings.h"

namespace {

constexpr size_t kMaxLine = 512;
constexpr uint64_t kMaxFileBytes = 4u << 20;

// Tokens: the row of the keyword table, or a section header.
enum Token : int {
    GenRev = 0, GenCrt, GenDtm, UsrNam, UsrAdr, UsrTel, PrtPid, PrtTyp, PrtQty, PrtPsl,
    ImgFmt, ImgSrc, CfgDsc, CfgTrm, CfgRot, RgnBegin, RgnEnd, VnmOther, VnmOurs, ItmPid, ItmQty,
    Hdr = 100, Job = 101,
    Blank = -1,     // blank or comment
    Unknown = -2,   // a pair in no row
    Bad = -3,       // a failed value check, or a malformed header
    RevIgnored = -4 // GEN REV with another version
};

struct Row {
    const char* group;
    const char* key;
};

constexpr Row kRows[] = {
    {"GEN", "REV"}, {"GEN", "CRT"}, {"GEN", "DTM"}, {"USR", "NAM"}, {"USR", "ADR"}, {"USR", "TEL"},
    {"PRT", "PID"}, {"PRT", "TYP"}, {"PRT", "QTY"}, {"PRT", "PSL"}, {"IMG", "FMT"}, {"IMG", "SRC"},
    {"CFG", "DSC"}, {"CFG", "TRM"}, {"CFG", "ROT"}, {"VUQ", "RGN"}, {"VUQ", "RGN"}, {"VUQ", "VNM"},
    {"VUQ", "VNM"}, {"ITM", "PID"}, {"ITM", "QTY"},
};

bool isBlankChar(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool startsWithNoCase(std::string_view text, std::string_view head) {
    return text.size() >= head.size() && strncasecmp(text.data(), head.data(), head.size()) == 0;
}

std::string_view skipBlanks(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && isBlankChar(s[i])) ++i;
    return s.substr(i);
}

// The first up to three characters read as a number 1-999.
bool idNumber(std::string_view value, int* out) {
    int n = 0, digits = 0;
    for (size_t i = 0; i < value.size() && i < 3 && std::isdigit(static_cast<unsigned char>(value[i])); ++i) {
        n = n * 10 + (value[i] - '0');
        ++digits;
    }
    if (digits == 0 || n < 1 || n > 999)
        return false;
    *out = n;
    return true;
}

bool isOurVendor(std::string_view value) {
    using namespace source_strings;
    std::string_view v = value;
    for (std::string_view part : {std::string_view(kVendorName), std::string_view(kVendorTag),
                                  std::string_view(kVendorProduct)}) {
        v = skipBlanks(v);
        if (!startsWithNoCase(v, part))
            return false;
        v.remove_prefix(part.size());
    }
    return true;
}

struct Line {
    Token token = Blank;
    std::string_view value;
};

Token sectionHeader(std::string_view text) {
    std::string_view s = skipBlanks(text.substr(1));
    Token t;
    if (startsWithNoCase(s, "HDR")) t = Hdr;
    else if (startsWithNoCase(s, "JOB")) t = Job;
    else return Bad;
    s = skipBlanks(s.substr(3));
    if (s.empty() || s[0] != ']')
        return Bad;
    s = skipBlanks(s.substr(1));
    return s.empty() || s[0] == ';' ? t : Bad;
}

Line classify(std::string_view raw) {
    Line line;
    const std::string_view text = skipBlanks(raw);
    if (text.empty() || text[0] == ';')
        return line;
    if (text[0] == '[') {
        line.token = sectionHeader(text);
        return line;
    }
    // group, spaces, key
    if (text.size() < 3) {
        line.token = Unknown;
        return line;
    }
    const std::string_view group = text.substr(0, 3);
    std::string_view rest = text.substr(3);
    size_t spaces = 0;
    while (spaces < rest.size() && (rest[spaces] == ' ' || rest[spaces] == '\t')) ++spaces;
    rest.remove_prefix(spaces);
    if (spaces == 0 || rest.size() < 3) {
        line.token = Unknown;
        return line;
    }
    const std::string_view key = rest.substr(0, 3);
    rest = skipBlanks(rest.substr(3));
    const bool hasEquals = !rest.empty() && rest[0] == '=';
    if (hasEquals) rest = skipBlanks(rest.substr(1));
    while (!rest.empty() && isBlankChar(rest.back())) rest.remove_suffix(1);
    line.value = rest;
    int row = -1;
    for (int i = 0; i < static_cast<int>(std::size(kRows)); ++i)
        if (strncasecmp(group.data(), kRows[i].group, 3) == 0 && strncasecmp(key.data(), kRows[i].key, 3) == 0) {
            row = i;
            break;
        }
    int n = 0;
    switch (row) {
    case -1: line.token = Unknown; break;
    case GenRev: line.token = startsWithNoCase(rest, "01.00") ? GenRev : RevIgnored; break;
    case GenCrt: line.token = hasEquals && !rest.empty() ? GenCrt : Bad; break;
    case PrtPid: line.token = idNumber(rest, &n) ? PrtPid : Bad; break;
    case PrtTyp: line.token = startsWithNoCase(rest, "STD") || startsWithNoCase(rest, "IDX") ? PrtTyp : Bad; break;
    case RgnBegin:
        line.token = startsWithNoCase(rest, "BGN") ? RgnBegin : startsWithNoCase(rest, "END") ? RgnEnd : Bad;
        break;
    case VnmOther: line.token = isOurVendor(rest) ? VnmOurs : VnmOther; break;
    case ItmPid: line.token = idNumber(rest, &n) ? ItmPid : Bad; break;
    default: line.token = static_cast<Token>(row); break;
    }
    return line;
}

// Splits the text into lines of at most kMaxLine characters.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        const size_t stop = end == std::string_view::npos ? text.size() : end;
        size_t take = std::min(stop - pos, kMaxLine);
        lines.push_back(text.substr(pos, take));
        pos += take;
        if (pos == stop && end != std::string_view::npos) ++pos;  // past the line feed
    }
    return lines;
}

class Parser {
public:
    Parser(const std::vector<std::string_view>& lines, const std::string& prefix, std::vector<std::string>& paths,
           int32_t& count)
        : lines_(lines), prefix_(prefix), paths_(paths), count_(count) {}

    bool run() {
        Line line = next();
        if (line.token != Hdr || !header())
            return false;
        while (!atEnd()) {
            line = next();
            if (line.token == Blank) continue;
            if (line.token != Job || !job())
                return false;
        }
        return true;
    }

private:
    bool atEnd() const { return pos_ >= lines_.size(); }
    Line next() {
        while (pos_ < lines_.size()) {
            Line l = classify(lines_[pos_++]);
            if (l.token != Blank) return l;
        }
        return Line{};
    }
    // Looks at the next non-blank line without taking it.
    Token peek() {
        size_t p = pos_;
        while (p < lines_.size()) {
            const Line l = classify(lines_[p++]);
            if (l.token != Blank) return l.token;
        }
        return Blank;
    }

    bool header() {
        int rev = 0, crt = 0;
        while (!atEnd() && peek() != Hdr && peek() != Job && peek() != Bad) {
            const Line l = next();
            if (l.token == GenRev && ++rev > 1) return false;
            if (l.token == GenCrt && ++crt > 1) return false;
            if (l.token == RgnEnd) return false;
            if (l.token == RgnBegin && !vendorRegion()) return false;
        }
        if (peek() == Bad || peek() == Hdr) return false;
        return rev == 1 && crt == 1;
    }

    bool job() {
        const bool complete = count_ != 0 && count_ == static_cast<int32_t>(paths_.size());
        int pid = 0, typ = 0;
        while (!atEnd() && peek() != Hdr && peek() != Job) {
            const Line l = next();
            if (l.token == Blank) break;
            if (complete || l.token == Bad) return false;
            if (l.token == PrtPid && ++pid > 1) return false;
            if (l.token == PrtTyp && ++typ > 1) return false;
            if (l.token == RgnEnd) return false;
            if (l.token == RgnBegin && !vendorRegion()) return false;
        }
        if (peek() == Hdr) return false;
        return pid == 1 && typ == 1;
    }

    bool vendorRegion() {
        int level = 1;
        while (level > 0) {
            if (atEnd()) return false;
            const Line l = next();
            if (l.token == RgnBegin) ++level;
            else if (l.token == RgnEnd) --level;
            else if (l.token == VnmOurs) {
                if (!marking()) return false;
                --level;
            }
        }
        return true;
    }

    bool marking() {
        if (markingSeen_) return false;  // one list of marks per file
        markingSeen_ = true;
        int job = 0, pid = 0, qty = 0;
        while (true) {
            if (atEnd()) return false;
            const Line l = next();
            switch (l.token) {
            case RgnEnd: return job == 1 && pid == 1 && qty == 1;
            case Job: if (++job > 1) return false; break;
            case ItmPid: if (++pid > 1) return false; break;
            case ItmQty: {
                int n = 0;
                if (++qty > 1 || !idNumber(l.value, &n)) return false;
                count_ = n;
                paths_.reserve(static_cast<size_t>(n));
                break;
            }
            case ImgSrc: {
                std::string path;
                if (!quotedPath(l.value, &path) || static_cast<int32_t>(paths_.size()) >= count_) return false;
                paths_.push_back(std::move(path));
                break;
            }
            default: return false;
            }
        }
    }

    // The camera writes a path relative to the card's MISC folder ("../DCIM/...");
    // it becomes a card path. Anything else than that form or a path already on
    // this card, and any ".." inside, is refused.
    bool quotedPath(std::string_view value, std::string* out) const {
        if (value.empty() || value[0] != '"') return false;
        size_t end = 1;
        while (end < value.size() && !(value[end] == '"' && value[end - 1] != '\\')) ++end;
        if (end >= value.size()) return false;  // no closing quote: an empty path
        std::string_view path = value.substr(1, end - 1);
        if (path.empty()) return false;
        std::string result;
        if (startsWithNoCase(path, prefix_)) result = std::string(path);
        else if (path.substr(0, 3) == "../") result = prefix_ + std::string(path.substr(3));
        else return false;
        if (result.size() <= prefix_.size()) return false;
        std::string_view rest = std::string_view(result).substr(prefix_.size());
        size_t p = 0;
        while (p <= rest.size()) {
            size_t q = rest.find('/', p);
            if (q == std::string_view::npos) q = rest.size();
            const std::string_view part = rest.substr(p, q - p);
            if (part == ".." || part.find('\\') != std::string_view::npos || part.find('\0') != std::string_view::npos)
                return false;
            p = q + 1;
        }
        *out = std::move(result);
        return true;
    }

    const std::vector<std::string_view>& lines_;
    const std::string& prefix_;
    std::vector<std::string>& paths_;
    int32_t& count_;
    size_t pos_ = 0;
    bool markingSeen_ = false;
};

}  // namespace

int32_t CPrintOrderFile::Parse(const std::string& text, char letter) {
    paths_.clear();
    count_ = 0;
    prefix_ = std::string{static_cast<char>(std::toupper(static_cast<unsigned char>(letter))), ':', '/'};
    const std::vector<std::string_view> lines = splitLines(text);
    Parser parser(lines, prefix_, paths_, count_);
    if (!parser.run())
        return kSyntaxError;
    // later copies of a path are dropped, each lowering the count
    for (size_t i = 0; i < paths_.size(); ++i)
        for (size_t j = paths_.size(); j-- > i + 1;)
            if (strcasecmp(paths_[i].c_str(), paths_[j].c_str()) == 0) {
                paths_.erase(paths_.begin() + static_cast<std::ptrdiff_t>(j));
                --count_;
            }
    if (count_ == 0 || count_ != static_cast<int32_t>(paths_.size()))
        return kCountMismatch;
    return kOk;
}

int32_t CPrintOrderFile::Load(const std::string& drive) {
    paths_.clear();
    count_ = 0;
    if (drive.empty())
        return kMissing;
    char letter = 0;
    if (!plat::parseDriveLetter(drive.substr(0, 1), &letter))
        return kMissing;
    filePath_ = std::string{letter, ':'} + source_strings::kPrintOrderPath;
    std::filesystem::path file;
    if (!plat::resolveDrivePath(filePath_, &file))
        return kMissing;
    plat::FileStatus st;
    if (!plat::fileStatus(file, &st) || st.isDirectory || st.size == 0)
        return kMissing;
    std::string text;
    if (!plat::readFile(file, &text, kMaxFileBytes))
        return kCannotOpen;
    return Parse(text, letter);
}

std::string CPrintOrderFile::GetAt(int32_t index) const {
    if (index < 0 || index >= count_ || static_cast<size_t>(index) >= paths_.size())
        return {};
    return paths_[static_cast<size_t>(index)];
}
