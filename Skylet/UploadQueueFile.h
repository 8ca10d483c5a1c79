#pragma once
// The queue file handed to the upload program: an INI file "vorel…" in the
// user's temp folder with section "FileParameters" (Source<n>, Owner<n>) and
// section "General" (TotalItems, "%d " with a trailing blank). Every write
// replaces the file whole, so the upload program never reads half of one.
#include "platform/fs/FsResult.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace skylet {

class UploadQueueFile {
public:
    // Makes a new, empty file with a unique name beginning "vorel" in `tempPath`.
    static bool create(const std::filesystem::path& tempPath, UploadQueueFile* out);

    UploadQueueFile() = default;
    explicit UploadQueueFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& path() const { return path_; }

    // A null source writes no Source line (the Owner line is still written).
    plat::FsResult writeSource(int n, const std::optional<std::string>& source) const;
    plat::FsResult writeOwner(int n, int32_t owner) const;
    plat::FsResult writeTotalItems(int count) const;
    bool remove() const;

private:
    std::filesystem::path path_;
};

}  // namespace skylet
