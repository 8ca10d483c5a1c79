#include "outside/dorn/SimCamConfig.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

std::string Trim(const std::string& s)
{
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const size_t last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

uint32_t ToU32(const std::string& v) { return static_cast<uint32_t>(std::strtoul(v.c_str(), nullptr, 0)); }
int32_t ToI32(const std::string& v) { return static_cast<int32_t>(std::strtol(v.c_str(), nullptr, 0)); }

}  // namespace

bool ReadSimCamConfig(const std::string& path, SimCamConfig& config)
{
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        if (key == "root") config.root = value;
        else if (key == "model") config.model = value;
        else if (key == "idle_ms") config.idleMs = ToU32(value);
        else if (key == "chunk_size") config.chunkSize = ToU32(value) ? ToU32(value) : 65536;
        else if (key == "late") config.late = ToU32(value);
        else if (key == "open_result") config.openResult = ToI32(value);
        else if (key == "state") config.state = ToU32(value);
        else if (key == "status") config.status = ToU32(value);
        else if (key == "status_result") config.statusResult = ToI32(value);
        else if (key == "no_answer") config.noAnswer = ToU32(value);
        else if (key == "busy_format") config.busyFormat = ToU32(value);
        else if (key == "busy_refresh") config.busyRefresh = ToU32(value);
        else if (key == "unplug_after_chunks") config.unplugAfterChunks = ToU32(value);
        else if (key == "protect_result") config.protectResult = ToI32(value);
        else if (key == "close_busy") config.closeBusy = ToU32(value);
        else if (key == "prompt_on_format") config.promptOnFormat = ToU32(value);
        else if (key == "folder_list_fails_while") config.folderListFailsWhile = value;
    }
    if (!config.root.empty()) {
        std::filesystem::path root(config.root);
        if (root.is_relative()) {
            // Relative to the file itself, also when it is reached through a link.
            std::error_code ec;
            std::filesystem::path file = std::filesystem::canonical(path, ec);
            if (ec) file = path;
            root = file.parent_path() / root;
        }
        config.root = root.lexically_normal().string();
    }
    return true;
}
