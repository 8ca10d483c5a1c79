#pragma once
// Files and folders: status, enumeration, free space, copy, create, remove,
// rename and tree removal. Every call returns an FsResult; none throws and none
// changes the process's current directory.
#include "platform/fs/DosAttributes.h"
#include "platform/fs/FsResult.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plat {

struct FileStatus {
    bool isDirectory = false;
    bool isLink = false;
    uint64_t size = 0;     // bytes
    int64_t mtime = 0;     // last write, seconds since the epoch (UTC)
    DosAttributes attributes;
};

// Status of `path`; a link is reported as itself.
FsResult fileStatus(const std::filesystem::path& path, FileStatus* out,
                    const AttributeBackend& backend = AttributeBackend::system());

bool fileExists(const std::filesystem::path& path);     // anything there (a link counts)
bool folderExists(const std::filesystem::path& path);   // a folder (following links)
// Whether `path` is `folder` or lies below it, by name alone (both taken in
// normal form, a trailing separator ignored; no link is followed).
bool isInsideFolder(const std::filesystem::path& path, const std::filesystem::path& folder);

// Sets the last write time (seconds since the epoch); the access time is kept.
FsResult setModificationTime(const std::filesystem::path& path, int64_t mtime);

// 64-bit size, or -1 when the file cannot be examined.
int64_t fileSize64(const std::filesystem::path& path);

struct DirEntry {
    std::string name;
    DosAttributes attributes;
    uint64_t size = 0;
    int64_t mtime = 0;
    bool isLink = false;  // a symbolic link, never reported as a folder
    bool isFile = false;  // a regular file: not a folder, link, pipe, socket or device
};

// Every entry of `folder` except "." and "..", in the folder's own order.
FsResult listFolder(const std::filesystem::path& folder, std::vector<DirEntry>* out,
                    const AttributeBackend& backend = AttributeBackend::system());

// Bytes available to the caller on the file system holding `path` (64-bit).
FsResult freeSpace(const std::filesystem::path& path, uint64_t* bytes);

// Copy progress: bytes done and total; returning false stops the copy.
using CopyProgress = std::function<bool(uint64_t done, uint64_t total)>;

// Copies a whole file. The copy goes to a temporary name in the destination
// folder, is checked against the source size, synced and then renamed, so a
// failed or stopped copy never leaves a partial file under `dst`. The copy gets
// the source's permission bits and last write time. With overwrite false an
// existing `dst` fails with Exists.
FsResult copyFile(const std::filesystem::path& src, const std::filesystem::path& dst, bool overwrite = true);

constexpr size_t kCopyChunk = 1024 * 1024;

// Whether a copy is written through to the medium before it takes its name. A
// scratch copy (a work copy whose source stays where it is) is complete and
// checked but not synced: a crash loses only the copy.
enum class Durability { Synced, Scratch };

// The same in `chunk`-byte steps, calling `progress` with (0, total) first and
// after every chunk; a false answer stops with Stopped.
FsResult copyFileChunked(const std::filesystem::path& src, const std::filesystem::path& dst,
                         const CopyProgress& progress, size_t chunk = kCopyChunk, bool overwrite = true,
                         Durability durability = Durability::Synced);

class SourceFile;

// A synced copy in parts, so that the wait for the medium can overlap other
// work. `copyFileWritten` does everything but the commit: the bytes go under a
// temporary name beside `dst`, checked against the source's size, with the
// source's permission bits and last write time. The commit then syncs the
// file, renames it onto `dst` and syncs the folder, and may run on another
// thread. Nothing stands under `dst` until the commit has succeeded; a copy
// dropped uncommitted removes its temporary file.
class WrittenCopy {
public:
    WrittenCopy();
    ~WrittenCopy();
    WrittenCopy(WrittenCopy&&) noexcept;
    WrittenCopy& operator=(WrittenCopy&&) noexcept;

    // The commit in three steps, each a success without a written copy:
    // `sync` puts the bytes on the medium (it may run for several copies side
    // by side); `name` then renames the synced copy onto `dst`, and ends the
    // copy when it fails; `syncFolder` puts the name on the medium and ends the
    // copy. The folder's sync may run beside later copies' names (a journaling
    // file system commits renames in their order). A copy that fails to sync
    // stays unnamed until dropped.
    FsResult sync();
    FsResult name();
    void syncFolder();
    bool empty() const { return !state_; }

private:
    friend FsResult copyFileWritten(SourceFile&, const std::filesystem::path&, const CopyProgress&, size_t,
                                    bool, WrittenCopy*);
    struct State;
    std::unique_ptr<State> state_;
};

FsResult copyFileWritten(const std::filesystem::path& src, const std::filesystem::path& dst,
                         const CopyProgress& progress, size_t chunk, bool overwrite, WrittenCopy* out);

// The source of a copy held open: its bytes stay readable through it after its
// name has been removed, so that the copy can be written later, on another
// thread. Opening fails as a copy's opening would (missing, not a regular file).
class SourceFile {
public:
    SourceFile();
    ~SourceFile();
    SourceFile(SourceFile&&) noexcept;
    SourceFile& operator=(SourceFile&&) noexcept;

    static FsResult open(const std::filesystem::path& path, SourceFile* out);

private:
    friend FsResult copyFileWritten(SourceFile&, const std::filesystem::path&, const CopyProgress&, size_t, bool,
                                    WrittenCopy*);
    struct State;
    std::unique_ptr<State> state_;
};

// `copyFileWritten` from a source held open; a source is copied once.
FsResult copyFileWritten(SourceFile& source, const std::filesystem::path& dst, const CopyProgress& progress,
                         size_t chunk, bool overwrite, WrittenCopy* out);

// Makes one folder (mode 0777 less umask). An existing folder fails with Exists.
FsResult createFolder(const std::filesystem::path& path);
// Makes the folder and its missing parents; an existing folder is success.
FsResult createFolders(const std::filesystem::path& path);

FsResult removeFile(const std::filesystem::path& path);          // a file or link, never a folder
FsResult removeEmptyFolder(const std::filesystem::path& path);   // fails when not empty

// Renames, failing with Exists when `to` is already there.
FsResult renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
// Renames, replacing a file at `to`.
FsResult renameReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// Removes `path` and everything below it. Links are removed, never followed
// (a link to a folder loses only the link); the current directory is never
// changed. Goes on past entries it cannot remove and reports the first failure.
FsResult deleteTree(const std::filesystem::path& path);
// Removes everything inside `folder` and keeps the folder.
FsResult emptyFolder(const std::filesystem::path& folder);

// Writes `bytes` to a new file at `path` through a temporary name and a rename,
// synced (used for small files that must be whole or absent).
FsResult writeFileAtomic(const std::filesystem::path& path, const std::string& bytes, unsigned mode = 0644);
// Reads a whole file of at most `limit` bytes.
FsResult readFile(const std::filesystem::path& path, std::string* bytes, uint64_t limit = 64u << 20);

// Reads a file that another writer (a camera on a mounted card) may have just
// changed: the cached pages are dropped first so the bytes come from the medium.
FsResult readFileFresh(const std::filesystem::path& path, std::string* bytes, uint64_t limit = 1u << 20);
// Creates or truncates `path` and writes `bytes` through to the medium (synced
// before return), for files another device reads at once.
FsResult writeFileThrough(const std::filesystem::path& path, const std::string& bytes, unsigned mode = 0644);

// Adds `bytes` at the end of an existing file, not synced (for a file that is
// made whole and synced later). A failed write cuts the file back to what it
// was, so it never ends in a part of `bytes`.
FsResult appendToFile(const std::filesystem::path& path, const std::string& bytes);

// Creates a new empty file "<folder>/<prefix>XXXXXX" with a unique suffix and
// mode 0600, and returns its path.
FsResult createUniqueFile(const std::filesystem::path& folder, const std::string& prefix,
                          std::filesystem::path* out);

}  // namespace plat
