#include "viewer/shell/common/FolderTools.h"

#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

constexpr int64_t kSecondsPerHour = 3600;

// An open directory, by descriptor; closed on scope exit.
class DirFd {
public:
    explicit DirFd(int fd) : fd_(fd) {}
    ~DirFd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    DirFd(const DirFd&) = delete;
    DirFd& operator=(const DirFd&) = delete;
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }

private:
    int fd_;
};

int OpenDirAt(int parent, const char* name)
{
    return ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Clear "read-only" where it would stop us: owner may enter, list and change it.
void MakeDirWritable(int fd, const struct stat& st)
{
    const mode_t need = S_IRUSR | S_IWUSR | S_IXUSR;
    if ((st.st_mode & need) != need)
        ::fchmod(fd, (st.st_mode & 07777) | need);
}

struct Entry {
    std::string name;
    struct stat st;
};

// Names of a directory (without "." and ".."), with their own (unfollowed) status.
std::vector<Entry> ListEntries(int dirFd)
{
    std::vector<Entry> entries;
    const int dupFd = ::dup(dirFd);
    if (dupFd < 0)
        return entries;
    DIR* dir = ::fdopendir(dupFd);
    if (!dir) {
        ::close(dupFd);
        return entries;
    }
    ::rewinddir(dir);
    while (const dirent* d = ::readdir(dir)) {
        const std::string name = d->d_name;
        if (name == "." || name == "..")
            continue;
        Entry e{name, {}};
        if (::fstatat(dirFd, name.c_str(), &e.st, AT_SYMLINK_NOFOLLOW) == 0)
            entries.push_back(std::move(e));
    }
    ::closedir(dir);
    return entries;
}

void EmptyDirectory(int dirFd);

// Removes the directory `name` below `parent` with everything in it.
void RemoveTreeAt(int parent, const std::string& name)
{
    {
        DirFd dir(OpenDirAt(parent, name.c_str()));
        if (!dir.ok())
            return;
        struct stat st {};
        if (::fstat(dir.get(), &st) == 0)
            MakeDirWritable(dir.get(), st);
        EmptyDirectory(dir.get());
    }
    ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

void EmptyDirectory(int dirFd)
{
    for (const Entry& e : ListEntries(dirFd)) {
        if (S_ISDIR(e.st.st_mode))
            RemoveTreeAt(dirFd, e.name);
        else
            ::unlinkat(dirFd, e.name.c_str(), 0);  // files and links alike
    }
}

bool IsRealDirectory(const std::string& path, struct stat* st)
{
    return !path.empty() && ::lstat(path.c_str(), st) == 0 && S_ISDIR(st->st_mode);
}

bool IsEmptyDirectoryAt(int parent, const std::string& name)
{
    DirFd dir(OpenDirAt(parent, name.c_str()));
    return dir.ok() && ListEntries(dir.get()).empty();
}

// A sub-folder during CleanFolder: old enough (or no age limit) goes with its
// contents; a young one only when empty and removeEmptyYoung.
void CleanSubFolder(int dirFd, const Entry& e, int minAgeHours, bool removeEmptyYoung, std::time_t now)
{
    const int64_t ageHours = TimeDifferenceSeconds(now, e.st.st_mtime) / kSecondsPerHour;
    if (minAgeHours <= 0 || ageHours >= minAgeHours)
        RemoveTreeAt(dirFd, e.name);
    else if (removeEmptyYoung && IsEmptyDirectoryAt(dirFd, e.name))
        ::unlinkat(dirFd, e.name.c_str(), AT_REMOVEDIR);
}

}  // namespace

bool HasFreeSpace(const std::string& path, uint64_t bytes)
{
    struct statvfs vfs {};
    if (path.empty() || ::statvfs(path.c_str(), &vfs) != 0)
        return false;
    const uint64_t available = static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
    return available >= bytes;
}

void CleanFolder(std::string folder, bool removeSelf, int minAgeHours, bool removeEmptyYoung)
{
    CleanFolder(std::move(folder), removeSelf, minAgeHours, removeEmptyYoung, {});
}

void CleanFolder(std::string folder, bool removeSelf, int minAgeHours, bool removeEmptyYoung,
                 const std::set<std::string>& keep)
{
    struct stat st {};
    if (!IsRealDirectory(folder, &st))
        return;
    const std::time_t now = std::time(nullptr);
    {
        DirFd dir(OpenDirAt(AT_FDCWD, folder.c_str()));
        if (!dir.ok())
            return;
        MakeDirWritable(dir.get(), st);
        for (const Entry& e : ListEntries(dir.get())) {
            if (S_ISDIR(e.st.st_mode) && keep.count(e.name))
                continue;
            if (S_ISDIR(e.st.st_mode))
                CleanSubFolder(dir.get(), e, minAgeHours, removeEmptyYoung, now);
            else
                ::unlinkat(dir.get(), e.name.c_str(), 0);
        }
    }
    if (removeSelf)
        ::rmdir(folder.c_str());
}

int64_t TimeDifferenceSeconds(std::time_t later, std::time_t earlier)
{
    return static_cast<int64_t>(later) - static_cast<int64_t>(earlier);
}

bool MakeWorkFolderIn(const std::string& tempFolder, const std::string& name, std::string* path)
{
    if (tempFolder.empty() || name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return false;
    const std::string level1 = tempFolder + "/temp";
    const std::string level2 = level1 + "/" + name;
    auto make = [](const std::string& p) { return ::mkdir(p.c_str(), 0700) == 0 || errno == EEXIST; };
    if (!make(level1) || !make(level2))
        return false;
    *path = level2;
    return true;
}
