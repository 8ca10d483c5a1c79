#include "viewer/sources/CardPaths.h"

#include "platform/fs/CardPath.h"
#include "platform/fs/DriveMap.h"

plat::FsResult ResolveCardPath(const std::string& cardPath, std::filesystem::path* out) {
    if (!cardPath.empty() && cardPath[0] == '/')
        return plat::resolveCardPath("/", cardPath, out);
    return plat::resolveDrivePath(cardPath, out);
}

std::string JoinCardPath(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (a.back() == '\\' || a.back() == '/') return a + b;
    return a + "\\" + b;
}

std::string LastCardComponent(const std::string& cardPath) {
    std::string p = cardPath;
    while (!p.empty() && (p.back() == '\\' || p.back() == '/')) p.pop_back();
    const size_t cut = p.find_last_of("\\/");
    return cut == std::string::npos ? p : p.substr(cut + 1);
}
