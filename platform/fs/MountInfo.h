#pragma once
// The mount table as the kernel gives it in /proc/self/mountinfo.
#include "platform/fs/FsResult.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::string root;        // the part of the file system that is mounted ("/" for all of it)
    std::string mountPoint;  // escapes (\040 ...) undone
    std::string fsType;
    std::string source;
};

// Parses mountinfo text; malformed lines are skipped.
std::vector<MountEntry> parseMountInfo(std::string_view text);

FsResult readMountInfo(const std::filesystem::path& path, std::vector<MountEntry>* out);

}  // namespace plat
