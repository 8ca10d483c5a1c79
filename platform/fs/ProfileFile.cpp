#include "platform/fs/ProfileFile.h"

#include "platform/fs/CardPath.h"
#include "platform/fs/FileOps.h"

#include <cerrno>
#include <limits>
#include <sys/stat.h>
#include <vector>

namespace plat {
namespace fs = std::filesystem;

namespace {

constexpr uint64_t kMaxProfileBytes = 16u << 20;

std::string_view trimBlanks(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// One line of the file, with its line end kept so that untouched lines are
// written back byte for byte.
struct Line {
    std::string text;  // without the line end
    std::string end;   // "\n", "\r\n" or "" (last line without one)
};

std::vector<Line> splitLines(const std::string& bytes) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t nl = bytes.find('\n', start);
        Line line;
        if (nl == std::string::npos) {
            line.text = bytes.substr(start);
            start = bytes.size();
        } else {
            size_t end = nl;
            if (end > start && bytes[end - 1] == '\r') --end;
            line.text = bytes.substr(start, end - start);
            line.end = bytes.substr(end, nl + 1 - end);
            start = nl + 1;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

// "[name]" -> name; false for any other line.
bool sectionName(std::string_view line, std::string_view* name) {
    std::string_view t = trimBlanks(line);
    if (t.size() < 2 || t.front() != '[') return false;
    size_t close = t.find(']');
    if (close == std::string_view::npos) return false;
    *name = trimBlanks(t.substr(1, close - 1));
    return true;
}

// "key = value" -> key, value; false for comments and garbage.
bool keyValue(std::string_view line, std::string_view* key, std::string_view* value) {
    std::string_view t = trimBlanks(line);
    if (t.empty() || t.front() == ';') return false;
    size_t eq = t.find('=');
    if (eq == std::string_view::npos) return false;
    *key = trimBlanks(t.substr(0, eq));
    *value = trimBlanks(t.substr(eq + 1));
    return !key->empty();
}

// Where a section and a key sit in the lines.
struct Place {
    long header = -1;   // line of the section header
    long end = -1;      // first line after the section
    long lastItem = -1; // last non-blank line of the section (or its header)
    long key = -1;      // line of the key
};

Place locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Place place;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (sectionName(lines[i].text, &name)) {
            if (place.header >= 0) {
                place.end = static_cast<long>(i);
                return place;
            }
            if (equalsIgnoreAsciiCase(name, section)) place.header = place.lastItem = static_cast<long>(i);
            continue;
        }
        if (place.header < 0) continue;
        if (!trimBlanks(lines[i].text).empty()) place.lastItem = static_cast<long>(i);
        std::string_view k, v;
        if (place.key < 0 && keyValue(lines[i].text, &k, &v) && equalsIgnoreAsciiCase(k, trimBlanks(key)))
            place.key = static_cast<long>(i);
    }
    if (place.header >= 0) place.end = static_cast<long>(lines.size());
    return place;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool validNames(std::string_view section, std::string_view key) {
    std::string_view s = trimBlanks(section), k = trimBlanks(key);
    if (s.empty() || k.empty() || hasLineBreak(section) || hasLineBreak(key)) return false;
    if (s.find_first_of("[]") != std::string_view::npos) return false;
    if (k.find('=') != std::string_view::npos || k.front() == '[' || k.front() == ';') return false;
    return true;
}

// The line end the file already uses, "\n" for a new file.
std::string lineEndOf(const std::vector<Line>& lines) {
    for (const Line& l : lines) {
        if (!l.end.empty()) return l.end;
    }
    return "\n";
}

std::string joinLines(const std::vector<Line>& lines) {
    std::string out;
    for (const Line& l : lines) out += l.text + l.end;
    return out;
}

// Reads the file; a missing file is an empty one.
FsResult loadLines(const fs::path& file, std::vector<Line>* lines, bool* existed) {
    std::string bytes;
    FsResult r = readFile(file, &bytes, kMaxProfileBytes);
    *existed = r.ok();
    if (!r && r.code != FsError::NotFound) return r;
    *lines = splitLines(bytes);
    return FsResult::success();
}

bool findValue(const fs::path& file, std::string_view section, std::string_view key, std::string* value) {
    std::string bytes;
    if (!readFile(file, &bytes, kMaxProfileBytes)) return false;
    std::vector<Line> lines = splitLines(bytes);
    Place place = locate(lines, trimBlanks(section), key);
    if (place.key < 0) return false;
    std::string_view k, v;
    keyValue(lines[static_cast<size_t>(place.key)].text, &k, &v);
    *value = std::string(v);
    return true;
}

}  // namespace

FsResult writeProfileString(const fs::path& file, std::string_view section, std::string_view key,
                            std::optional<std::string_view> value) {
    if (file.empty() || !validNames(section, key)) return FsResult::fail(FsError::InvalidArgument);
    if (value && hasLineBreak(*value)) return FsResult::fail(FsError::InvalidArgument);

    std::vector<Line> lines;
    bool existed = false;
    if (FsResult r = loadLines(file, &lines, &existed); !r) return r;
    const std::string eol = lineEndOf(lines);
    Place place = locate(lines, trimBlanks(section), key);
    const std::string item = value ? std::string(trimBlanks(key)) + "=" + std::string(*value) : std::string();

    if (!value) {
        // A null value writes nothing; an existing key goes.
        if (place.key < 0) return FsResult::success();
        lines.erase(lines.begin() + place.key);
    } else if (place.key >= 0) {
        // The key keeps the spelling it has in the file.
        Line& line = lines[static_cast<size_t>(place.key)];
        std::string_view oldKey, oldValue;
        keyValue(line.text, &oldKey, &oldValue);
        line.text = std::string(oldKey) + "=" + std::string(*value);
    } else {
        if (!lines.empty() && lines.back().end.empty()) lines.back().end = eol;
        if (place.header < 0) {
            lines.push_back({"[" + std::string(trimBlanks(section)) + "]", eol});
            lines.push_back({item, eol});
        } else {
            lines.insert(lines.begin() + place.lastItem + 1, Line{item, eol});
        }
    }

    // Keep the mode of an existing file.
    unsigned mode = 0644;
    struct stat st {};
    if (existed && stat(file.c_str(), &st) == 0) mode = st.st_mode & 07777;
    return writeFileAtomic(file, joinLines(lines), mode);
}

std::string readProfileString(const fs::path& file, std::string_view section, std::string_view key,
                              std::string_view defaultValue) {
    std::string value;
    if (!findValue(file, section, key, &value)) return std::string(defaultValue);
    return value;
}

int32_t parseProfileInt(std::string_view text) {
    text = trimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        v = v * 10 + (c - '0');
        if (v > static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1) break;
    }
    if (negative) v = -v;
    if (v > std::numeric_limits<int32_t>::max()) v = std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) v = std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

int32_t readProfileInt(const fs::path& file, std::string_view section, std::string_view key, int32_t defaultValue) {
    std::string value;
    if (!findValue(file, section, key, &value)) return defaultValue;
    return parseProfileInt(value);
}

namespace {

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string snapshotKey(std::string_view section, std::string_view key) {
    return lowerAscii(trimBlanks(section)) + "\n" + lowerAscii(trimBlanks(key));
}

}  // namespace

ProfileSnapshot::ProfileSnapshot(const fs::path& file) {
    std::string bytes;
    if (!readFile(file, &bytes, kMaxProfileBytes)) return;
    // Only the first section of a name counts, as for the single reads.
    std::unordered_map<std::string, bool> seenSections;
    bool current = false;
    std::string section;
    for (const Line& line : splitLines(bytes)) {
        std::string_view name;
        if (sectionName(line.text, &name)) {
            section = lowerAscii(name);
            current = seenSections.emplace(section, true).second;
            continue;
        }
        std::string_view k, v;
        if (current && keyValue(line.text, &k, &v))
            values_.emplace(section + "\n" + lowerAscii(k), std::string(v));
    }
}

const std::string* ProfileSnapshot::find(std::string_view section, std::string_view key) const {
    const auto it = values_.find(snapshotKey(section, key));
    return it == values_.end() ? nullptr : &it->second;
}

std::string ProfileSnapshot::readString(std::string_view section, std::string_view key,
                                        std::string_view defaultValue) const {
    const std::string* v = find(section, key);
    return v ? *v : std::string(defaultValue);
}

int32_t ProfileSnapshot::readInt(std::string_view section, std::string_view key, int32_t defaultValue) const {
    const std::string* v = find(section, key);
    return v ? parseProfileInt(*v) : defaultValue;
}

}  // namespace plat
