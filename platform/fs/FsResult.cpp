#include "platform/fs/FsResult.h"

#include <cerrno>
#include <cstring>

namespace plat {

FsResult FsResult::fromErrno(int err) {
    switch (err) {
    case 0: return success();
    case ENOENT:
    case ENOTDIR: return fail(FsError::NotFound, err);
    case EEXIST:
    case ENOTEMPTY: return fail(FsError::Exists, err);
    case EACCES:
    case EPERM: return fail(FsError::AccessDenied, err);
    case EROFS: return fail(FsError::WriteProtected, err);
    case ENOSPC:
    case EDQUOT: return fail(FsError::NoSpace, err);
    case ENOMEDIUM: return fail(FsError::NoMedium, err);
    case ENOTSUP:
    case ENOTTY: return fail(FsError::Unsupported, err);
    case EINVAL:
    case ENAMETOOLONG: return fail(FsError::InvalidArgument, err);
    case ELOOP: return fail(FsError::EscapesRoot, err);
    default: return fail(FsError::IoError, err);
    }
}

const char* fsErrorName(FsError code) {
    switch (code) {
    case FsError::Ok: return "success";
    case FsError::NotFound: return "not found";
    case FsError::Exists: return "already exists";
    case FsError::AccessDenied: return "access denied";
    case FsError::WriteProtected: return "write protected";
    case FsError::NoSpace: return "no space left on the destination";
    case FsError::EscapesRoot: return "path leaves its root folder";
    case FsError::BadDrive: return "not a drive letter A-Z";
    case FsError::NoMedium: return "no medium in the drive";
    case FsError::Stopped: return "stopped";
    case FsError::Unsupported: return "not supported by the file system";
    case FsError::InvalidArgument: return "invalid argument";
    case FsError::IoError: return "input/output error";
    }
    return "unknown error";
}

std::string FsResult::message() const {
    std::string text = fsErrorName(code);
    if (sysError != 0) {
        text += " (";
        text += std::strerror(sysError);
        text += ")";
    }
    return text;
}

}  // namespace plat
