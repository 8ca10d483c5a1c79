#include "Skylet/UploadQueueFile.h"

#include "platform/fs/ProfileFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace skylet {

namespace {
const char* const kFileSection = "FileParameters";
const char* const kGeneralSection = "General";
}  // namespace

bool UploadQueueFile::create(const std::filesystem::path& tempPath, UploadQueueFile* out) {
    if (tempPath.empty()) return false;
    std::string name = (tempPath / "vorelXXXXXX").string();
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    close(fd);
    *out = UploadQueueFile(name);
    return true;
}

plat::FsResult UploadQueueFile::writeSource(int n, const std::optional<std::string>& source) const {
    std::optional<std::string_view> value;
    if (source) value = *source;
    return plat::writeProfileString(path_, kFileSection, "Source" + std::to_string(n), value);
}

plat::FsResult UploadQueueFile::writeOwner(int n, int32_t owner) const {
    return plat::writeProfileString(path_, kFileSection, "Owner" + std::to_string(n), std::to_string(owner));
}

plat::FsResult UploadQueueFile::writeTotalItems(int count) const {
    return plat::writeProfileString(path_, kGeneralSection, "TotalItems", std::to_string(count) + " ");
}

bool UploadQueueFile::remove() const { return std::remove(path_.c_str()) == 0 || errno == ENOENT; }

}  // namespace skylet
