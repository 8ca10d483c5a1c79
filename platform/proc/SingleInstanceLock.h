#pragma once
// A lock that only one process of the system root can hold: flock on
// run/<name>.lock. It is held while the object lives (keep it for the life of the
// process) and goes with the process, whatever way the process ends.
#include "platform/proc/ProcResult.h"

#include <string>
#include <string_view>

namespace plat {

class SingleInstanceLock {
public:
    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(SingleInstanceLock&& other) noexcept;
    SingleInstanceLock& operator=(SingleInstanceLock&& other) noexcept;
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    // `name` is a plain file name (no '/', not "." or ".."). AlreadyRunning when
    // another process holds it.
    static ProcResult acquire(std::string_view name, SingleInstanceLock* out);

    bool held() const { return fd_ >= 0; }
    void release();

private:
    int fd_ = -1;
};

}  // namespace plat
