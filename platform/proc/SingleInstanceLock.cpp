#include "platform/proc/SingleInstanceLock.h"

#include "platform/sysroot/SystemRoot.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace plat {

SingleInstanceLock::~SingleInstanceLock() { release(); }

SingleInstanceLock::SingleInstanceLock(SingleInstanceLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

SingleInstanceLock& SingleInstanceLock::operator=(SingleInstanceLock&& other) noexcept {
    if (this != &other) {
        release();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void SingleInstanceLock::release() {
    if (fd_ >= 0) close(fd_);  // closing drops the flock
    fd_ = -1;
}

ProcResult SingleInstanceLock::acquire(std::string_view name, SingleInstanceLock* out) {
    out->release();
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos)
        return ProcResult::LockFailed;
    SystemRoot root = SystemRoot::current();
    std::string error;
    if (!root.ensureLayout(&error)) return ProcResult::LockFailed;
    std::string file = (root.runDir() / (std::string(name) + ".lock")).string();
    int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return errno == EACCES ? ProcResult::AccessDenied : ProcResult::LockFailed;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        close(fd);
        return err == EWOULDBLOCK ? ProcResult::AlreadyRunning : ProcResult::LockFailed;
    }
    out->fd_ = fd;
    return ProcResult::Ok;
}

}  // namespace plat
