#include "Skylet/QueuedSources.h"

#include "platform/fs/ProfileFile.h"

#include <cstdint>
#include <system_error>

namespace skylet {

std::vector<std::string> QueuedSources(const std::filesystem::path& tempPath) {
    std::vector<std::string> sources;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(tempPath, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("vorel", 0) != 0 || !entry.is_regular_file(ec)) continue;
        // The count is 16 bits wide in the queue's own format.
        const int32_t count = plat::readProfileInt(entry.path(), "General", "TotalItems", 0);
        for (int32_t n = 1; n <= count && n <= INT16_MAX; ++n) {
            std::string source =
                plat::readProfileString(entry.path(), "FileParameters", "Source" + std::to_string(n), "");
            if (!source.empty()) sources.push_back(std::move(source));
        }
    }
    return sources;
}

}  // namespace skylet
