#include "platform/com/UnixSocket.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace plat {
namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// The address of `path`. A path too long for the address goes through the
// folder's descriptor (/proc/self/fd/N/name), which `dirHolder` keeps open.
bool makeAddress(const fs::path& path, sockaddr_un* addr, SocketFd* dirHolder) {
    std::memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    std::string p = path.string();
    if (p.size() >= sizeof addr->sun_path) {
        int dir = open(path.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0) return false;
        dirHolder->reset(dir);
        p = "/proc/self/fd/" + std::to_string(dir) + "/" + path.filename().string();
        if (p.size() >= sizeof addr->sun_path) {
            errno = ENAMETOOLONG;
            return false;
        }
    }
    std::memcpy(addr->sun_path, p.c_str(), p.size() + 1);
    return true;
}

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

SocketIo waitFor(int fd, short events, Clock::time_point deadline) {
    while (true) {
        pollfd p{fd, events, 0};
        int n = poll(&p, 1, remainingMs(deadline));
        if (n > 0) return SocketIo::Ok;
        if (n == 0) return SocketIo::TimedOut;
        if (errno != EINTR) return SocketIo::Failed;
    }
}

SocketIo writeAll(int fd, const char* data, std::size_t size, Clock::time_point deadline) {
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            SocketIo w = waitFor(fd, POLLOUT, deadline);
            if (w != SocketIo::Ok) return w;
            continue;
        }
        return errno == EPIPE || errno == ECONNRESET ? SocketIo::Closed : SocketIo::Failed;
    }
    return SocketIo::Ok;
}

SocketIo readExact(int fd, char* data, std::size_t size, Clock::time_point deadline) {
    while (size > 0) {
        ssize_t n = recv(fd, data, size, MSG_DONTWAIT);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n == 0) return SocketIo::Closed;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            SocketIo w = waitFor(fd, POLLIN, deadline);
            if (w != SocketIo::Ok) return w;
            continue;
        }
        return errno == ECONNRESET ? SocketIo::Closed : SocketIo::Failed;
    }
    return SocketIo::Ok;
}

}  // namespace

void SocketFd::reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
}

SocketFd connectUnixSocket(const fs::path& path) {
    sockaddr_un addr;
    SocketFd dir;
    if (!makeAddress(path, &addr, &dir)) return {};
    SocketFd s(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!s.valid()) return {};
    while (connect(s.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EINTR) return {};
    }
    return s;
}

SocketFd listenUnixSocket(const fs::path& path) {
    sockaddr_un addr;
    SocketFd dir;
    if (!makeAddress(path, &addr, &dir)) return {};
    SocketFd s(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!s.valid()) return {};
    if (bind(s.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return {};
    chmod(path.c_str(), 0600);
    if (listen(s.get(), 64) != 0) return {};
    return s;
}

bool peerIsSameUser(int fd) {
    ucred cred{};
    socklen_t len = sizeof cred;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0) return false;
    return cred.uid == geteuid();
}

SocketIo writeFrame(int fd, const std::string& payload, int timeoutMs) {
    if (payload.size() > kMaxFrameSize) return SocketIo::Failed;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto n = static_cast<uint32_t>(payload.size());
    const char head[4] = {static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                          static_cast<char>(n >> 24)};
    SocketIo r = writeAll(fd, head, 4, deadline);
    return r == SocketIo::Ok ? writeAll(fd, payload.data(), payload.size(), deadline) : r;
}

SocketIo readFrame(int fd, std::string* payload, int timeoutMs) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    unsigned char head[4];
    SocketIo r = readExact(fd, reinterpret_cast<char*>(head), 4, deadline);
    if (r != SocketIo::Ok) return r;
    const uint32_t n = uint32_t(head[0]) | uint32_t(head[1]) << 8 | uint32_t(head[2]) << 16 | uint32_t(head[3]) << 24;
    if (n > kMaxFrameSize) return SocketIo::Failed;
    payload->assign(n, '\0');
    return readExact(fd, payload->data(), n, deadline);
}

}  // namespace plat
