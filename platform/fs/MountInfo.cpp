#include "platform/fs/MountInfo.h"

#include "platform/fs/FileOps.h"

#include <cstdio>
#include <sstream>

namespace plat {
namespace {

// Undoes the kernel's octal escapes of blanks, tabs, line breaks and backslashes.
std::string unescape(std::string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size()) {
            auto oct = [](char c) { return c >= '0' && c <= '7'; };
            if (oct(s[i + 1]) && oct(s[i + 2]) && oct(s[i + 3])) {
                out += static_cast<char>(((s[i + 1] - '0') << 6) | ((s[i + 2] - '0') << 3) | (s[i + 3] - '0'));
                i += 3;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

bool parseLine(const std::string& line, MountEntry* e) {
    std::istringstream in(line);
    std::string id, parent, devnum, root, mountPoint, field;
    if (!(in >> id >> parent >> devnum >> root >> mountPoint)) return false;
    // Optional fields up to the "-" separator.
    bool separated = false;
    while (in >> field) {
        if (field == "-") {
            separated = true;
            break;
        }
    }
    if (!separated || !(in >> e->fsType)) return false;
    in >> e->source;
    unsigned major = 0, minor = 0;
    char tail = 0;
    if (std::sscanf(devnum.c_str(), "%u:%u%c", &major, &minor, &tail) != 2) return false;
    e->major = major;
    e->minor = minor;
    e->root = unescape(root);
    e->mountPoint = unescape(mountPoint);
    e->source = unescape(e->source);
    return true;
}

}  // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> entries;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) nl = text.size();
        MountEntry e;
        if (parseLine(std::string(text.substr(start, nl - start)), &e)) entries.push_back(std::move(e));
        start = nl + 1;
    }
    return entries;
}

FsResult readMountInfo(const std::filesystem::path& path, std::vector<MountEntry>* out) {
    std::string text;
    FsResult r = readFile(path, &text, 16u << 20);
    *out = r ? parseMountInfo(text) : std::vector<MountEntry>{};
    return r;
}

}  // namespace plat
