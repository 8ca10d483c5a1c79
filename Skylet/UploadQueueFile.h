#pragma once
// The queue file handed to the upload program: an INI file "vorel…" in the
// user's temp folder with section "FileParameters" (Source<n>, Owner<n>) and
// section "General" (TotalItems, "%d " with a trailing blank). Items are added
// at the end of the file as they come, without a sync each: the file is only
// read once the total is written, and that write replaces it whole and syncs
// it, so the upload program never reads half of one.
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

    // Item n: its Source line (none for a null source) and its Owner line. A
    // source holding a line break is refused, the file untouched.
    plat::FsResult addItem(int n, const std::optional<std::string>& source, int32_t owner);
    // A null source writes no Source line (the Owner line is still written).
    plat::FsResult writeSource(int n, const std::optional<std::string>& source) const;
    plat::FsResult writeOwner(int n, int32_t owner) const;
    plat::FsResult writeTotalItems(int count);
    bool remove() const;

private:
    plat::FsResult appendLines(const std::string& lines) const;

    std::filesystem::path path_;
    bool totalWritten_ = false;  // a General section follows: items go in through the INI writer
};

}  // namespace skylet
