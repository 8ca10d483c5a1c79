#include "Skylet/UploadQueueFile.h"

#include "platform/fs/FileOps.h"
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

plat::FsResult UploadQueueFile::writeTotalItems(int count) {
    const plat::FsResult r = plat::writeProfileString(path_, kGeneralSection, "TotalItems", std::to_string(count) + " ");
    if (r) totalWritten_ = true;
    return r;
}

plat::FsResult UploadQueueFile::addItem(int n, const std::optional<std::string>& source, int32_t owner) {
    if (source && source->find_first_of("\r\n") != std::string::npos)
        return plat::FsResult::fail(plat::FsError::InvalidArgument);
    if (totalWritten_) {
        if (plat::FsResult r = writeSource(n, source); !r) return r;
        return writeOwner(n, owner);
    }
    // The same lines the INI writer would put at the end of the section.
    std::string lines;
    if (source) lines += "Source" + std::to_string(n) + "=" + *source + "\n";
    lines += "Owner" + std::to_string(n) + "=" + std::to_string(owner) + "\n";
    return appendLines(lines);
}

plat::FsResult UploadQueueFile::appendLines(const std::string& lines) const {
    std::error_code ec;
    const bool empty = std::filesystem::file_size(path_, ec) == 0 && !ec;
    return plat::appendToFile(path_, empty ? std::string("[") + kFileSection + "]\n" + lines : lines);
}

bool UploadQueueFile::remove() const { return std::remove(path_.c_str()) == 0 || errno == ENOENT; }

}  // namespace skylet
