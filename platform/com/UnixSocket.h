#pragma once
// Stream sockets in the file system for the object servers: close-on-exec
// descriptors, peers of the same user only, length-prefixed frames, and every
// wait bounded.
#include <cstdint>
#include <filesystem>
#include <string>

namespace plat {

class SocketFd {
public:
    SocketFd() = default;
    explicit SocketFd(int fd) : fd_(fd) {}
    ~SocketFd() { reset(); }
    SocketFd(SocketFd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
    SocketFd& operator=(SocketFd&& o) noexcept {
        if (this != &o) { reset(); fd_ = o.fd_; o.fd_ = -1; }
        return *this;
    }
    SocketFd(const SocketFd&) = delete;
    SocketFd& operator=(const SocketFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

inline constexpr uint32_t kMaxFrameSize = 16u << 20;

enum class SocketIo { Ok, Closed, TimedOut, Failed };

// Connects to the socket at `path`; on failure the result is invalid and errno says why.
SocketFd connectUnixSocket(const std::filesystem::path& path);
// Binds and listens at `path` (which must not exist); non-blocking.
SocketFd listenUnixSocket(const std::filesystem::path& path);
// Whether the process at the other end runs as this process's user.
bool peerIsSameUser(int fd);

SocketIo writeFrame(int fd, const std::string& payload, int timeoutMs);
// Reads one whole frame; a frame above kMaxFrameSize is Failed.
SocketIo readFrame(int fd, std::string* payload, int timeoutMs);

}  // namespace plat
