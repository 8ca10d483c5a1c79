#include "platform/fs/CardPath.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>

namespace plat {
namespace fs = std::filesystem;

namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The entry of `folder` that equals `name` ignoring ASCII case; the smallest
// such name when there are several (only possible on case-sensitive folders).
bool findIgnoringCase(const fs::path& folder, const std::string& name, std::string* found) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return false;
    bool any = false;
    while (dirent* de = readdir(dir)) {
        std::string_view n = de->d_name;
        if (n == "." || n == "..") continue;
        if (equalsIgnoreAsciiCase(n, name) && (!any || n < *found)) {
            *found = std::string(n);
            any = true;
        }
    }
    closedir(dir);
    return any;
}

// True when `p` lies inside `root` (both absolute and normal).
bool isInside(const fs::path& p, const fs::path& root) {
    auto r = root.begin(), pi = p.begin();
    for (; r != root.end(); ++r, ++pi) {
        if (r->empty()) continue;  // trailing separator of the root
        if (pi == p.end() || *pi != *r) return false;
    }
    return true;
}

// A link on the way must stay below the root.
FsResult checkLink(const fs::path& link, const fs::path& root) {
    std::error_code ec;
    fs::path realRoot = fs::weakly_canonical(root, ec);
    if (ec) return FsResult::fail(FsError::EscapesRoot, ec.value());
    fs::path target = fs::weakly_canonical(link, ec);
    if (ec) return FsResult::fail(FsError::EscapesRoot, ec.value());
    return isInside(target, realRoot) ? FsResult::success() : FsResult::fail(FsError::EscapesRoot);
}

}  // namespace

bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

std::vector<std::string> splitPathComponents(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/' || path[i] == '\\') {
            std::string_view part = path.substr(start, i - start);
            if (!part.empty() && part != ".") parts.emplace_back(part);
            start = i + 1;
        }
    }
    return parts;
}

FsResult resolveCardPath(const fs::path& root, std::string_view relative, fs::path* out) {
    if (root.empty()) return FsResult::fail(FsError::InvalidArgument);
    std::vector<std::string> parts = splitPathComponents(relative);
    for (const std::string& part : parts) {
        if (part == "..") return FsResult::fail(FsError::EscapesRoot);
    }
    fs::path current = root;
    bool lookingUp = true;
    for (const std::string& part : parts) {
        if (!lookingUp) {
            current /= part;
            continue;
        }
        // Try the name as given, then in any case.
        std::string name = part;
        struct stat st {};
        bool present = lstat((current / name).c_str(), &st) == 0;
        if (!present && findIgnoringCase(current, part, &name)) present = lstat((current / name).c_str(), &st) == 0;
        current /= name;
        if (!present) {
            lookingUp = false;
            continue;
        }
        if (S_ISLNK(st.st_mode)) {
            if (FsResult r = checkLink(current, root); !r) return r;
        }
    }
    *out = current;
    return FsResult::success();
}

}  // namespace plat
