#include "viewer/transfer/TransNaming.h"

#include "platform/fs/FileOps.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kKeepNameTries = 9999;
constexpr int32_t kSerialLimit = 999999;

bool exists(const std::string& path) { return plat::fileExists(path); }

std::string joinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string lastComponent(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const auto slash = p.find_last_of('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

bool allDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

int32_t serialValue(const std::string& text) {
    if (!allDigits(text) || text.size() > 9) return 0;
    return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

int32_t nextSerial(int32_t serial) { return serial >= kSerialLimit ? 0 : serial + 1; }

// Cuts `text` to at most `bytes` without splitting a UTF-8 character.
std::string cutText(const std::string& text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t n = bytes;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return text.substr(0, n);
}

std::string dateName(const TransDate& d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d%02d%02d%02d%02d%02.0f", d.year % 100, d.month, d.day, d.hour, d.minute,
                  d.second);
    return buf;
}

struct NameParts {
    std::string folderName;  // the source folder's own name
    std::string base;        // file name before its last '.'
    std::string extension;   // from the last '.', as on the source
};

NameParts splitSource(const std::string& sourcePath) {
    NameParts parts;
    const auto slash = sourcePath.find_last_of('/');
    const std::string file = slash == std::string::npos ? sourcePath : sourcePath.substr(slash + 1);
    parts.folderName = slash == std::string::npos ? std::string() : lastComponent(sourcePath.substr(0, slash));
    const auto dot = file.find_last_of('.');
    parts.base = dot == std::string::npos ? file : file.substr(0, dot);
    parts.extension = dot == std::string::npos ? std::string() : file.substr(dot);
    return parts;
}

// base "A-12" -> "A-13"; "A-9999" -> "A-1"; "A" -> "A-1".
std::string countedBase(const std::string& base) {
    const auto dash = base.find_last_of('-');
    if (dash != std::string::npos) {
        const std::string digits = base.substr(dash + 1);
        if (allDigits(digits) && digits.size() <= 9) {
            const long n = std::strtol(digits.c_str(), nullptr, 10);
            if (n != 0) return base.substr(0, dash + 1) + std::to_string(n >= kKeepNameTries ? 1 : n + 1);
        }
    }
    return base + "-1";
}

// A path is taken when a copy is on its way there, or something stands under it
// (asked in that order: a copy that arrives in between is then found standing).
struct Taken {
    const std::string& folder;
    const std::function<bool(const std::string& name)>& coming;
    bool operator()(const std::string& path) const {
        const std::string prefix = joinPath(folder, "");
        const bool inFolder = path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0;
        return (coming && inFolder && coming(path.substr(prefix.size()))) || exists(path);
    }
};

int32_t keepName(std::string* out, const NameParts& parts, const std::string& destFolder, const Taken& taken) {
    std::string base = SafeNameComponent(parts.base);
    const std::string ext = parts.extension;
    std::string candidate = joinPath(destFolder, SafeNameComponent(base + ext));
    for (int tries = 0; taken(candidate); ++tries) {
        if (tries >= kKeepNameTries) return kNamingNoFreeName;
        base = countedBase(base);
        candidate = joinPath(destFolder, SafeNameComponent(base + ext));
    }
    *out = candidate;
    return 0;
}

struct NewNameBuilder {
    const NameParts& parts;
    const TransferSettings& settings;
    std::string date;

    std::string build(const std::string& text, int32_t serial) const {
        std::string name;
        if (settings.PrefixSuffix == 0) name += text;
        switch (settings.Contents) {
        case 1: name += parts.folderName; break;
        case 2: name += parts.base; break;
        case 3: name += date; break;
        default: break;
        }
        if (!name.empty()) name += "_";
        name += std::to_string(serial);
        if (settings.PrefixSuffix == 1) name += text;
        name += parts.extension;
        return SafeNameComponent(name);
    }
};

int32_t newName(std::string* out, const NameParts& parts, const std::string& destFolder,
                TransferSettings& settings, const TransDate& date, const Taken& taken) {
    const NewNameBuilder builder{parts, settings, dateName(date)};
    const std::string fullText = settings.PrefixSuffix == 2 ? std::string() : settings.PrefixTEXT;
    std::string text = fullText;
    int32_t serial = serialValue(settings.SerialNumber);
    settings.SerialNumber = std::to_string(nextSerial(serial));

    std::string candidate = joinPath(destFolder, builder.build(text, serial));
    for (int32_t round = 0;; ++round) {
        if (round >= kSerialLimit) return kNamingNoFreeName;
        if (taken(candidate)) {
            serial = serialValue(settings.SerialNumber);
            settings.SerialNumber = std::to_string(nextSerial(serial));
            candidate = joinPath(destFolder, builder.build(text, serial));
            continue;
        }
        if (candidate.size() < kMaxTransferPath || text.empty()) break;
        // Too long: cut the text from its end until the path fits (or the text is gone).
        std::string cut = text;
        std::string shorter = candidate;
        while (!cut.empty() && shorter.size() >= kMaxTransferPath) {
            cut = cutText(cut, cut.size() - 1);
            shorter = joinPath(destFolder, builder.build(cut, serial));
        }
        if (shorter.size() >= kMaxTransferPath) break;  // cannot be brought under the limit
        text = cut;
        candidate = shorter;
    }
    *out = candidate;
    return 0;
}

bool parseTimePart(const std::string& name, std::string* head, long* value, size_t* width) {
    const auto dash = name.find_last_of('-');
    if (dash == std::string::npos) return false;
    const std::string digits = name.substr(dash + 1);
    if (!allDigits(digits) || digits.size() > 9) return false;
    *head = name.substr(0, dash + 1);
    *value = std::strtol(digits.c_str(), nullptr, 10);
    *width = digits.size();
    return true;
}

}  // namespace

std::string SafeNameComponent(const std::string& name) {
    if (name == "." || name == ".." || name.empty()) return "_";
    std::string safe = name;
    for (char& c : safe)
        if (c == '/' || c == '\0') c = '_';
    return safe;
}

int32_t CTransNaming::MakeDestinationFolderName(std::string* out, const TransferSettings& settings,
                                                std::time_t now) const {
    const std::string& base = settings.TransferFile;
    if (base.empty() || !plat::folderExists(base)) return kNamingBadBase;

    std::tm local{};
    localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &local);
    std::string name = buf;

    std::string candidate = joinPath(base, name);
    while (exists(candidate)) {
        std::string head;
        long value = 0;
        size_t width = 0;
        if (!parseTimePart(name, &head, &value, &width)) return kNamingBadBase;
        char digits[32];
        std::snprintf(digits, sizeof digits, "%0*ld", static_cast<int>(width), value + 1);
        name = head + digits;
        candidate = joinPath(base, name);
    }
    *out = candidate;
    return 0;
}

int32_t CTransNaming::MakeNewName(std::string* out, const std::string& sourcePath, const std::string& destFolder,
                                  TransferSettings& settings, const TransDate& date,
                                  const std::function<bool(const std::string&)>& coming) const {
    const NameParts parts = splitSource(sourcePath);
    const Taken taken{destFolder, coming};
    std::string path;
    const int32_t r = settings.CreateFile == 0 ? keepName(&path, parts, destFolder, taken)
                                               : newName(&path, parts, destFolder, settings, date, taken);
    if (r != 0) return r;
    *out = path;
    return path.size() >= kMaxTransferPath ? kNamingPathTooLong : 0;
}

bool PathLengthCheck(const TransferSettings& s) {
    size_t sum = s.TransferFile.size();
    if (s.CreateFile == 0) {
        sum += 29;
    } else {
        sum += 17;
        if (s.Contents == 1) sum += 8;
        if (s.Contents == 2 || s.Contents == 3) sum += 12;
        if (s.Contents != 0 || (s.PrefixSuffix == 0 && s.PrefixTEXT.empty())) sum += 1;
        sum += s.SerialNumber.size();
        sum += 4;
    }
    return sum < kMaxTransferPath;
}

FreeSpaceProbe SystemFreeSpace() {
    return [](const std::string& folder, uint64_t* bytes) { return plat::freeSpace(folder, bytes).ok(); };
}

bool SameVolume(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev;
}

bool SpaceCheck(const SpaceNeed& need, const FreeSpaceProbe& probe) {
    uint64_t tempNeed = need.largest;
    if (need.checkWeb) tempNeed += need.total;
    bool destination = need.checkLocal;
    if (destination && SameVolume(need.tempFolder, need.transferFile)) {
        tempNeed += need.total;
        destination = false;
    }
    uint64_t free = 0;
    if (!probe(need.tempFolder, &free) || free < tempNeed) return false;
    if (destination && (!probe(need.transferFile, &free) || free < need.total)) return false;
    return true;
}
