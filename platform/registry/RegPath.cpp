#include "platform/registry/RegPath.h"

namespace plat {

RegResult splitKeyPath(std::string_view path, std::vector<std::string>* names) {
    names->clear();
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    if (path.empty()) return RegResult::Ok;
    std::size_t start = 0;
    while (true) {
        std::size_t sep = path.find('\\', start);
        std::string_view part = path.substr(start, sep == std::string_view::npos ? std::string_view::npos : sep - start);
        if (part.empty() || part.size() > kMaxKeyNameLength) {
            names->clear();
            return RegResult::BadPath;
        }
        names->emplace_back(part);
        if (sep == std::string_view::npos) break;
        start = sep + 1;
    }
    return RegResult::Ok;
}

std::string foldName(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

}  // namespace plat
