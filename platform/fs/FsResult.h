#pragma once
// Result of a file, folder or drive operation: a code the callers branch on, plus
// the system error number behind it (0 when there is none) for messages and logs.
#include <cstdint>
#include <string>

namespace plat {

enum class FsError : int32_t {
    Ok = 0,
    NotFound,        // the file, folder or drive is not there
    Exists,          // the target is already there
    AccessDenied,    // permissions (EACCES, EPERM)
    WriteProtected,  // read-only file system or medium (EROFS)
    NoSpace,         // the destination is full (ENOSPC, EDQUOT)
    EscapesRoot,     // a path leaves the folder it was resolved under ("..", a link out)
    BadDrive,        // a drive letter outside A-Z or a malformed drive path
    NoMedium,        // the drive exists but has no mounted medium
    Stopped,         // the caller's progress callback asked to stop
    Unsupported,     // the file system cannot store what was asked (e.g. the hidden bit)
    InvalidArgument, // empty name, a line break in an INI value, ...
    IoError,         // any other failure of the system call
};

struct FsResult {
    FsError code = FsError::Ok;
    int sysError = 0;  // errno of the failing call, when there was one

    bool ok() const { return code == FsError::Ok; }
    explicit operator bool() const { return ok(); }

    static FsResult success() { return {}; }
    static FsResult fail(FsError c, int err = 0) { return FsResult{c, err}; }
    // Maps an errno to the code callers act on (EROFS -> WriteProtected, ...).
    static FsResult fromErrno(int err);

    // "no space left on the destination (No space left on device)".
    std::string message() const;
};

const char* fsErrorName(FsError code);

}  // namespace plat
