#include "platform/fs/FileOps.h"

#include "platform/fs/FaultPoint.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace plat {
namespace fs = std::filesystem;

namespace {

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) close(fd_);
        fd_ = fd;
    }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

// The path without trailing separators, so that "link/" is not followed.
std::string plainPath(const fs::path& p) {
    std::string s = p.string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

// Puts the entries of the folder holding `p` on the medium (a rename into it).
void syncFolderOf(const fs::path& p) {
    const ScopedFaultSubject subject(p.string());
    if (injectedFsFault(FsStep::SyncFolder)) return;
    fs::path dir = p.parent_path();
    if (dir.empty()) dir = ".";
    UniqueFd d(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (d.get() >= 0) fsync(d.get());
}

// A temporary file beside its final name; removed unless committed.
class TempBeside {
public:
    FsResult create(const fs::path& finalPath) {
        if (int e = injectedFsFault(FsStep::CreateTemp)) return FsResult::fromErrno(e);
        fs::path dir = finalPath.parent_path();
        if (dir.empty()) dir = ".";
        std::string tmpl = (dir / ("." + finalPath.filename().string() + ".vtmp-XXXXXX")).string();
        int fd = mkostemp(tmpl.data(), O_CLOEXEC);
        if (fd < 0) return FsResult::fromErrno(errno);
        fd_.reset(fd);
        path_ = tmpl;
        return FsResult::success();
    }
    ~TempBeside() {
        fd_.reset();
        if (!path_.empty()) unlink(path_.c_str());
    }
    int fd() const { return fd_.get(); }

    // Syncs (unless the copy is scratch), closes and renames onto `finalPath`.
    FsResult commit(const fs::path& finalPath, bool overwrite, Durability durability = Durability::Synced) {
        const bool synced = durability == Durability::Synced;
        if (synced) {
            if (FsResult r = sync(finalPath); !r) return r;
        }
        return name(finalPath, overwrite, synced);
    }
    // Puts the file's bytes on the medium.
    FsResult sync(const fs::path& finalPath) {
        const ScopedFaultSubject subject(finalPath.string());
        if (int e = injectedFsFault(FsStep::SyncTarget)) return FsResult::fromErrno(e);
        if (fsync(fd_.get()) != 0) return FsResult::fromErrno(errno);
        return FsResult::success();
    }
    // Closes and renames onto `finalPath`; `synced` syncs the folder after.
    FsResult name(const fs::path& finalPath, bool overwrite, bool synced) {
        if (close(fd_.release()) != 0) return FsResult::fromErrno(errno);
        if (int e = injectedFsFault(FsStep::RenameTarget)) return FsResult::fromErrno(e);
        FsResult r = overwrite ? renameReplace(path_, finalPath) : renameNoReplace(path_, finalPath);
        if (!r) return r;
        path_.clear();
        if (synced) syncFolderOf(finalPath);
        return r;
    }

private:
    UniqueFd fd_;
    std::string path_;
};

FsResult writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        if (int e = injectedFsFault(FsStep::WriteTarget)) return FsResult::fromErrno(e);
        ssize_t n = write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return FsResult::fromErrno(errno);
        }
        if (n == 0) return FsResult::fromErrno(ENOSPC);
        data += n;
        size -= static_cast<size_t>(n);
    }
    return FsResult::success();
}

// Moves the next bytes of `in` onto the end of `out`, at most `buf.size()`; returns
// the bytes moved (0 at the end of the source) or -errno. The kernel moves them
// from one page cache to the other in one copy (sendfile) where it can, which
// is half the memory traffic of reading them out into `buf` and writing them
// back; a pair it cannot splice turns `*inKernel` off and `buf` is used from
// then on.
ssize_t moveSome(int in, int out, std::vector<char>& buf, bool* inKernel) {
    if (int e = injectedFsFault(FsStep::ReadSource)) return -e;
    ssize_t n = -1;
    while (*inKernel) {
        n = sendfile(out, in, nullptr, buf.size());
        if (n >= 0) break;
        if (errno == EINTR) continue;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return -errno;
        *inKernel = false;
    }
    if (!*inKernel) {
        do n = read(in, buf.data(), buf.size());
        while (n < 0 && errno == EINTR);
        if (n <= 0) return n < 0 ? -errno : 0;
        if (FsResult r = writeAll(out, buf.data(), static_cast<size_t>(n)); !r) return -r.sysError;
        return n;
    }
    if (n == 0) return 0;
    // Written already; a fault injected here stands for the write failing.
    if (int e = injectedFsFault(FsStep::WriteTarget)) return -e;
    return n;
}

int64_t mtimeOf(const struct stat& st) { return static_cast<int64_t>(st.st_mtim.tv_sec); }

// Opens the source of a copy, a regular file, and learns its size.
FsResult openSource(const fs::path& src, UniqueFd* in, struct stat* st) {
    if (src.empty()) return FsResult::fail(FsError::InvalidArgument);
    if (int e = injectedFsFault(FsStep::OpenSource)) return FsResult::fromErrno(e);
    // Opened without waiting: a pipe or device named like a file would block the
    // open itself until a writer came, and it is refused just after.
    in->reset(open(src.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (in->get() < 0) return FsResult::fromErrno(errno);
    if (fstat(in->get(), st) != 0) return FsResult::fromErrno(errno);
    if (!S_ISREG(st->st_mode)) return FsResult::fail(FsError::InvalidArgument, EISDIR);
    fcntl(in->get(), F_SETFL, fcntl(in->get(), F_GETFL) & ~O_NONBLOCK);
    return FsResult::success();
}

// Everything of a copy but its sync and rename: the checked bytes of the open
// source `in` under the temporary name `tmp` beside `dst`, with the source's
// permission bits and time.
FsResult writeCopyFrom(int in, const struct stat& st, const fs::path& dst, const CopyProgress* progress,
                       size_t chunk, bool overwrite, TempBeside* tmp) {
    if (dst.empty()) return FsResult::fail(FsError::InvalidArgument);
    if (chunk == 0) chunk = kCopyChunk;
    struct stat dstSt {};
    if (!overwrite && lstat(dst.c_str(), &dstSt) == 0) return FsResult::fail(FsError::Exists, EEXIST);
    const uint64_t total = static_cast<uint64_t>(st.st_size);

    // Copy into a temporary file beside the destination.
    if (FsResult r = tmp->create(dst); !r) return r;
    if (progress && !(*progress)(0, total)) return FsResult::fail(FsError::Stopped);
    std::vector<char> buf(chunk);
    bool inKernel = true;
    uint64_t done = 0;
    for (;;) {
        ssize_t n = moveSome(in, tmp->fd(), buf, &inKernel);
        if (n < 0) return FsResult::fromErrno(static_cast<int>(-n));
        if (n == 0) break;
        done += static_cast<uint64_t>(n);
        if (progress && !(*progress)(done, total)) return FsResult::fail(FsError::Stopped);
    }

    // A source that shrank or grew under us is not a faithful copy.
    if (done != total) return FsResult::fail(FsError::IoError, EIO);

    // Same permissions and last write time as the source.
    fchmod(tmp->fd(), st.st_mode & 0777);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(tmp->fd(), times);
    return FsResult::success();
}

FsResult writeCopy(const fs::path& src, const fs::path& dst, const CopyProgress* progress, size_t chunk,
                   bool overwrite, TempBeside* tmp) {
    const ScopedFaultSubject subject(src.string());
    UniqueFd in;
    struct stat st {};
    if (FsResult r = openSource(src, &in, &st); !r) return r;
    return writeCopyFrom(in.get(), st, dst, progress, chunk, overwrite, tmp);
}

FsResult copyImpl(const fs::path& src, const fs::path& dst, const CopyProgress* progress, size_t chunk,
                  bool overwrite, Durability durability) {
    TempBeside tmp;
    if (FsResult r = writeCopy(src, dst, progress, chunk, overwrite, &tmp); !r) return r;
    return tmp.commit(dst, overwrite, durability);
}

// Removes every entry inside the open folder `dfd`; returns the first errno.
int removeEntries(int dfd) {
    int dupFd = dup(dfd);
    if (dupFd < 0) return errno;
    DIR* dir = fdopendir(dupFd);
    if (!dir) {
        int e = errno;
        close(dupFd);
        return e;
    }
    std::vector<std::string> names;
    while (dirent* de = readdir(dir)) {
        std::string n = de->d_name;
        if (n != "." && n != "..") names.push_back(std::move(n));
    }
    closedir(dir);

    int first = 0;
    for (const std::string& name : names) {
        struct stat st {};
        if (fstatat(dfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT && !first) first = errno;
            continue;
        }
        int flags = 0;
        if (S_ISDIR(st.st_mode)) {
            UniqueFd child(openat(dfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (child.get() < 0) {
                if (!first) first = errno;
                continue;
            }
            // A folder without write permission cannot lose its entries.
            if ((st.st_mode & S_IRWXU) != S_IRWXU) fchmod(child.get(), (st.st_mode & 07777) | S_IRWXU);
            if (int e = removeEntries(child.get()); e && !first) first = e;
            flags = AT_REMOVEDIR;
        }
        if (unlinkat(dfd, name.c_str(), flags) != 0 && errno != ENOENT && !first) first = errno;
    }
    return first;
}

}  // namespace

FsResult fileStatus(const fs::path& path, FileStatus* out, const AttributeBackend& backend) {
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    std::string p = plainPath(path);
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) return FsResult::fromErrno(errno);
    out->isDirectory = S_ISDIR(st.st_mode);
    out->isLink = S_ISLNK(st.st_mode);
    out->size = out->isDirectory ? 0 : static_cast<uint64_t>(st.st_size);
    out->mtime = mtimeOf(st);
    return readDosAttributesAt(AT_FDCWD, p.c_str(), &out->attributes, backend);
}

bool fileExists(const fs::path& path) {
    struct stat st {};
    return !path.empty() && lstat(plainPath(path).c_str(), &st) == 0;
}

bool folderExists(const fs::path& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isInsideFolder(const fs::path& path, const fs::path& folder) {
    auto normal = [](const fs::path& p) {
        fs::path n = p.lexically_normal();
        return n.has_filename() ? n : n.parent_path();
    };
    const fs::path rel = normal(path).lexically_relative(normal(folder));
    return !rel.empty() && *rel.begin() != "..";
}

FsResult setModificationTime(const fs::path& path, int64_t mtime) {
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(mtime), 0}};
    if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return FsResult::fromErrno(errno);
    return FsResult::success();
}

int64_t fileSize64(const fs::path& path) {
    struct stat st {};
    if (path.empty() || stat(path.c_str(), &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

FsResult listFolder(const fs::path& folder, std::vector<DirEntry>* out, const AttributeBackend& backend) {
    out->clear();
    if (folder.empty()) return FsResult::fail(FsError::InvalidArgument);
    UniqueFd dfd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dfd.get() < 0) return FsResult::fromErrno(errno);
    int dupFd = dup(dfd.get());
    if (dupFd < 0) return FsResult::fromErrno(errno);
    DIR* dir = fdopendir(dupFd);
    if (!dir) {
        int e = errno;
        close(dupFd);
        return FsResult::fromErrno(e);
    }
    errno = 0;
    while (dirent* de = readdir(dir)) {
        std::string name = de->d_name;
        if (name == "." || name == "..") continue;
        struct stat st {};
        if (fstatat(dfd.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
        DirEntry e;
        e.name = std::move(name);
        e.isLink = S_ISLNK(st.st_mode);
        e.isFile = S_ISREG(st.st_mode);
        e.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
        e.mtime = mtimeOf(st);
        readDosAttributesAt(dfd.get(), e.name.c_str(), &e.attributes, backend);
        out->push_back(std::move(e));
        errno = 0;
    }
    int err = errno;
    closedir(dir);
    return err ? FsResult::fromErrno(err) : FsResult::success();
}

FsResult freeSpace(const fs::path& path, uint64_t* bytes) {
    *bytes = 0;
    struct statvfs sv {};
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    if (statvfs(path.c_str(), &sv) != 0) return FsResult::fromErrno(errno);
    *bytes = static_cast<uint64_t>(sv.f_bavail) * static_cast<uint64_t>(sv.f_frsize);
    return FsResult::success();
}

FsResult copyFile(const fs::path& src, const fs::path& dst, bool overwrite) {
    return copyImpl(src, dst, nullptr, kCopyChunk, overwrite, Durability::Synced);
}

FsResult copyFileChunked(const fs::path& src, const fs::path& dst, const CopyProgress& progress, size_t chunk,
                         bool overwrite, Durability durability) {
    return copyImpl(src, dst, progress ? &progress : nullptr, chunk, overwrite, durability);
}

struct WrittenCopy::State {
    TempBeside tmp;
    fs::path dst;
    bool overwrite = false;
    bool synced = false;
    bool named = false;  // standing under dst, its folder still to be synced
};

WrittenCopy::WrittenCopy() = default;
WrittenCopy::~WrittenCopy() = default;
WrittenCopy::WrittenCopy(WrittenCopy&&) noexcept = default;
WrittenCopy& WrittenCopy::operator=(WrittenCopy&&) noexcept = default;

FsResult WrittenCopy::sync() {
    if (!state_ || state_->synced) return FsResult::success();
    FsResult r = state_->tmp.sync(state_->dst);
    state_->synced = r.ok();
    return r;
}

FsResult WrittenCopy::name() {
    if (!state_ || state_->named) return FsResult::success();
    if (!state_->synced) {
        state_.reset();
        return FsResult::fail(FsError::InvalidArgument);
    }
    FsResult r = state_->tmp.name(state_->dst, state_->overwrite, false);
    if (r.ok()) state_->named = true;
    else state_.reset();
    return r;
}

void WrittenCopy::syncFolder() {
    const std::unique_ptr<State> state = std::move(state_);
    if (state && state->named) syncFolderOf(state->dst);
}

struct SourceFile::State {
    UniqueFd fd;
    struct stat st {};
    std::string path;
    bool used = false;
};

SourceFile::SourceFile() = default;
SourceFile::~SourceFile() = default;
SourceFile::SourceFile(SourceFile&&) noexcept = default;
SourceFile& SourceFile::operator=(SourceFile&&) noexcept = default;

FsResult SourceFile::open(const fs::path& path, SourceFile* out) {
    *out = SourceFile();
    auto state = std::make_unique<State>();
    const ScopedFaultSubject subject(path.string());
    if (FsResult r = openSource(path, &state->fd, &state->st); !r) return r;
    state->path = path.string();
    out->state_ = std::move(state);
    return FsResult::success();
}

FsResult copyFileWritten(SourceFile& source, const fs::path& dst, const CopyProgress& progress, size_t chunk,
                         bool overwrite, WrittenCopy* out) {
    *out = WrittenCopy();
    // read once from its start: the descriptor's position moves with the copy
    if (!source.state_ || source.state_->used) return FsResult::fail(FsError::InvalidArgument);
    source.state_->used = true;
    const ScopedFaultSubject subject(source.state_->path);
    auto state = std::make_unique<WrittenCopy::State>();
    if (FsResult r = writeCopyFrom(source.state_->fd.get(), source.state_->st, dst, progress ? &progress : nullptr,
                                   chunk, overwrite, &state->tmp);
        !r)
        return r;
    state->dst = dst;
    state->overwrite = overwrite;
    out->state_ = std::move(state);
    return FsResult::success();
}

FsResult copyFileWritten(const fs::path& src, const fs::path& dst, const CopyProgress& progress, size_t chunk,
                         bool overwrite, WrittenCopy* out) {
    *out = WrittenCopy();
    if (dst.empty()) return FsResult::fail(FsError::InvalidArgument);
    SourceFile source;
    if (FsResult r = SourceFile::open(src, &source); !r) return r;
    return copyFileWritten(source, dst, progress, chunk, overwrite, out);
}

FsResult createFolder(const fs::path& path) {
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    if (mkdir(path.c_str(), 0777) != 0) return FsResult::fromErrno(errno);
    return FsResult::success();
}

FsResult createFolders(const fs::path& path) {
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    if (folderExists(path)) return FsResult::success();
    fs::path parent = fs::path(plainPath(path)).parent_path();
    if (!parent.empty() && parent != path && !folderExists(parent)) {
        if (FsResult r = createFolders(parent); !r) return r;
    }
    if (mkdir(path.c_str(), 0777) != 0 && !(errno == EEXIST && folderExists(path))) return FsResult::fromErrno(errno);
    return FsResult::success();
}

FsResult removeFile(const fs::path& path) {
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    if (unlink(plainPath(path).c_str()) != 0) return FsResult::fromErrno(errno == EISDIR ? EPERM : errno);
    return FsResult::success();
}

FsResult removeEmptyFolder(const fs::path& path) {
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    if (rmdir(plainPath(path).c_str()) != 0) return FsResult::fromErrno(errno);
    return FsResult::success();
}

FsResult renameNoReplace(const fs::path& from, const fs::path& to) {
    if (from.empty() || to.empty()) return FsResult::fail(FsError::InvalidArgument);
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return FsResult::success();
    if (errno != EINVAL && errno != ENOSYS) return FsResult::fromErrno(errno);
    // File systems without the flag: check, then rename.
    struct stat st {};
    if (lstat(to.c_str(), &st) == 0) return FsResult::fail(FsError::Exists, EEXIST);
    if (rename(from.c_str(), to.c_str()) != 0) return FsResult::fromErrno(errno);
    return FsResult::success();
}

FsResult renameReplace(const fs::path& from, const fs::path& to) {
    if (from.empty() || to.empty()) return FsResult::fail(FsError::InvalidArgument);
    if (rename(from.c_str(), to.c_str()) != 0) return FsResult::fromErrno(errno);
    return FsResult::success();
}

FsResult deleteTree(const fs::path& path) {
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    std::string p = plainPath(path);
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) return FsResult::fromErrno(errno);
    if (!S_ISDIR(st.st_mode)) return removeFile(p);
    if (FsResult r = emptyFolder(p); !r) return r;
    return removeEmptyFolder(p);
}

FsResult emptyFolder(const fs::path& folder) {
    if (folder.empty()) return FsResult::fail(FsError::InvalidArgument);
    UniqueFd dfd(open(plainPath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dfd.get() < 0) return FsResult::fromErrno(errno);
    int err = removeEntries(dfd.get());
    return err ? FsResult::fromErrno(err) : FsResult::success();
}

FsResult writeFileAtomic(const fs::path& path, const std::string& bytes, unsigned mode) {
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    TempBeside tmp;
    if (FsResult r = tmp.create(path); !r) return r;
    if (FsResult r = writeAll(tmp.fd(), bytes.data(), bytes.size()); !r) return r;
    fchmod(tmp.fd(), mode & 07777);
    return tmp.commit(path, true);
}

FsResult readFile(const fs::path& path, std::string* bytes, uint64_t limit) {
    bytes->clear();
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return FsResult::fromErrno(errno);
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) return FsResult::fromErrno(errno);
    if (S_ISDIR(st.st_mode)) return FsResult::fail(FsError::InvalidArgument, EISDIR);
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return FsResult::fromErrno(errno);
        }
        if (n == 0) break;
        if (bytes->size() + static_cast<size_t>(n) > limit) return FsResult::fail(FsError::InvalidArgument, EFBIG);
        bytes->append(buf, static_cast<size_t>(n));
    }
    return FsResult::success();
}

FsResult readFileFresh(const fs::path& path, std::string* bytes, uint64_t limit) {
    bytes->clear();
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    {
        UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd.get() < 0) return FsResult::fromErrno(errno);
        posix_fadvise(fd.get(), 0, 0, POSIX_FADV_DONTNEED);
    }
    return readFile(path, bytes, limit);
}

FsResult writeFileThrough(const fs::path& path, const std::string& bytes, unsigned mode) {
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    UniqueFd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode & 07777));
    if (fd.get() < 0) return FsResult::fromErrno(errno);
    if (FsResult r = writeAll(fd.get(), bytes.data(), bytes.size()); !r) return r;
    if (int e = injectedFsFault(FsStep::SyncTarget)) return FsResult::fromErrno(e);
    if (fsync(fd.get()) != 0) return FsResult::fromErrno(errno);
    if (close(fd.release()) != 0) return FsResult::fromErrno(errno);
    return FsResult::success();
}

FsResult appendToFile(const fs::path& path, const std::string& bytes) {
    if (path.empty()) return FsResult::fail(FsError::InvalidArgument);
    UniqueFd fd(open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    if (fd.get() < 0) return FsResult::fromErrno(errno);
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) return FsResult::fromErrno(errno);
    if (FsResult r = writeAll(fd.get(), bytes.data(), bytes.size()); !r) {
        if (ftruncate(fd.get(), st.st_size) != 0) {}
        return r;
    }
    if (close(fd.release()) != 0) return FsResult::fromErrno(errno);
    return FsResult::success();
}

FsResult createUniqueFile(const fs::path& folder, const std::string& prefix, fs::path* out) {
    out->clear();
    if (folder.empty() || prefix.find('/') != std::string::npos) return FsResult::fail(FsError::InvalidArgument);
    std::string tmpl = (folder / (prefix + "XXXXXX")).string();
    int fd = mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return FsResult::fromErrno(errno);
    close(fd);
    *out = tmpl;
    return FsResult::success();
}

}  // namespace plat
