#include "platform/fs/DosAttributes.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace plat {
namespace {

constexpr const char* kXattrName = "user.DOSATTRIB";
constexpr uint32_t kXattrBits = FileAttr::Hidden | FileAttr::System | FileAttr::Archive;
constexpr uint32_t kFatBits = FileAttr::ReadOnly | FileAttr::Hidden | FileAttr::System | FileAttr::Archive;

class SystemBackend final : public AttributeBackend {
public:
    int fatGet(int fd, uint32_t* bits) const override {
        __u32 v = 0;
        if (ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &v) != 0) return errno;
        *bits = v;
        return 0;
    }
    int fatSet(int fd, uint32_t bits) const override {
        __u32 v = bits;
        return ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &v) == 0 ? 0 : errno;
    }
    int xattrGet(int fd, std::string* value) const override {
        char buf[256];
        ssize_t n = fgetxattr(fd, kXattrName, buf, sizeof buf);
        if (n < 0) return errno == ERANGE ? EINVAL : errno;
        value->assign(buf, static_cast<size_t>(n));
        return 0;
    }
    int xattrSet(int fd, const std::string& value) const override {
        return fsetxattr(fd, kXattrName, value.data(), value.size(), 0) == 0 ? 0 : errno;
    }
};

// Owns a descriptor for the attribute calls.
struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) close(fd);
    }
};

// "Not a FAT file system": the ioctl is unknown to the driver.
bool notFat(int err) { return err == ENOTTY || err == EINVAL || err == ENOTSUP || err == ENOSYS; }

bool readOnlyByMode(const struct stat& st) { return (st.st_mode & 0222) == 0; }

uint32_t withNormal(uint32_t bits) { return bits == 0 ? FileAttr::Normal : bits; }

// Fills `out` from the descriptor (may be -1 when the file could not be opened).
void readFromFd(int fd, const struct stat& st, const AttributeBackend& backend, DosAttributes* out) {
    uint32_t bits = S_ISDIR(st.st_mode) ? FileAttr::Directory : 0;
    if (readOnlyByMode(st)) bits |= FileAttr::ReadOnly;
    out->dosKnown = false;
    if (fd >= 0) {
        uint32_t fat = 0;
        int err = backend.fatGet(fd, &fat);
        if (err == 0) {
            bits |= fat & kFatBits;
            out->dosKnown = true;
        } else if (notFat(err)) {
            std::string text;
            err = backend.xattrGet(fd, &text);
            uint32_t stored = 0;
            if (err == 0 && parseDosAttrText(text, &stored)) {
                bits |= stored & kXattrBits;
                out->dosKnown = true;
            } else if (err == ENODATA) {
                out->dosKnown = true;  // the file system takes them; none set
            }
        }
    }
    out->bits = withNormal(bits);
}

int openForAttributes(int dirFd, const char* name, const struct stat& st) {
    if (S_ISLNK(st.st_mode)) return -1;  // a link is reported as itself
    if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return -1;
    return openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
}

// Sets the permission bits for read-only; returns 0 or errno.
int applyReadOnly(int fd, const struct stat& st, bool readOnly) {
    mode_t mode = st.st_mode & 07777;
    mode_t wanted = readOnly ? (mode & ~0222) : ((mode & 0222) ? mode : (mode | S_IWUSR));
    if (wanted == mode) return 0;
    return fchmod(fd, wanted) == 0 ? 0 : errno;
}

FsResult writeThroughXattr(int fd, const struct stat& st, uint32_t bits, const AttributeBackend& backend) {
    const bool readOnly = (bits & FileAttr::ReadOnly) != 0;
    const uint32_t dos = bits & kXattrBits;
    // A read-only file refuses extended attribute writes (also when it stays
    // read-only, e.g. a protected picture being hidden): open it up first,
    // close it last, and put the mode back when the attribute cannot be stored.
    if (int err = applyReadOnly(fd, st, false)) return FsResult::fromErrno(err);
    int err = backend.xattrSet(fd, formatDosAttrText(dos));
    if (err != 0) {
        const bool cannotStore = err == ENOTSUP || err == EOPNOTSUPP || err == EPERM;
        if (!(cannotStore && dos == 0)) {
            fchmod(fd, st.st_mode & 07777);
            return cannotStore ? FsResult::fail(FsError::Unsupported, err) : FsResult::fromErrno(err);
        }
    }
    // Read-only from the mode the file had, not from the opened-up one.
    if (readOnly && fchmod(fd, (st.st_mode & 07777) & ~0222) != 0) return FsResult::fromErrno(errno);
    return FsResult::success();
}

}  // namespace

const AttributeBackend& AttributeBackend::system() {
    static const SystemBackend backend;
    return backend;
}

std::string formatDosAttrText(uint32_t bits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", bits & kXattrBits);
    return buf;
}

bool parseDosAttrText(const std::string& text, uint32_t* bits) {
    size_t i = 0, end = text.size();
    while (end > 0 && (text[end - 1] == '\0' || text[end - 1] == ' ' || text[end - 1] == '\n')) --end;
    while (i < end && text[i] == ' ') ++i;
    if (end - i < 3 || text[i] != '0' || (text[i + 1] != 'x' && text[i + 1] != 'X')) return false;
    i += 2;
    if (end - i > 8) return false;
    uint32_t v = 0;
    for (; i < end; ++i) {
        char c = text[i];
        uint32_t d;
        if (c >= '0' && c <= '9') d = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f') d = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F') d = static_cast<uint32_t>(c - 'A' + 10);
        else return false;
        v = (v << 4) | d;
    }
    *bits = v;
    return true;
}

FsResult readDosAttributesAt(int dirFd, const char* name, DosAttributes* out, const AttributeBackend& backend) {
    struct stat st {};
    if (fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return FsResult::fromErrno(errno);
    Fd fd{openForAttributes(dirFd, name, st)};
    readFromFd(fd.fd, st, backend, out);
    return FsResult::success();
}

FsResult readDosAttributes(const std::filesystem::path& path, DosAttributes* out, const AttributeBackend& backend) {
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    return readDosAttributesAt(AT_FDCWD, path.c_str(), out, backend);
}

FsResult writeDosAttributes(const std::filesystem::path& path, uint32_t bits, const AttributeBackend& backend) {
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return FsResult::fromErrno(errno);
    if (S_ISLNK(st.st_mode)) return FsResult::fail(FsError::Unsupported);
    Fd fd{openForAttributes(AT_FDCWD, path.c_str(), st)};
    if (fd.fd < 0) return FsResult::fromErrno(errno ? errno : EINVAL);
    bits &= FileAttr::Settable;

    uint32_t fat = 0;
    int err = backend.fatGet(fd.fd, &fat);
    if (err == 0) {
        // Keep the bits we do not manage (directory, volume label).
        uint32_t next = (fat & ~kFatBits) | bits;
        err = backend.fatSet(fd.fd, next);
        return err == 0 ? FsResult::success() : FsResult::fromErrno(err);
    }
    if (!notFat(err)) return FsResult::fromErrno(err);
    return writeThroughXattr(fd.fd, st, bits, backend);
}

FsResult changeDosAttributes(const std::filesystem::path& path, uint32_t setBits, uint32_t clearBits,
                             const AttributeBackend& backend) {
    DosAttributes now;
    FsResult r = readDosAttributes(path, &now, backend);
    if (!r) return r;
    uint32_t bits = ((now.bits & FileAttr::Settable) | setBits) & ~clearBits;
    return writeDosAttributes(path, bits & FileAttr::Settable, backend);
}

}  // namespace plat
