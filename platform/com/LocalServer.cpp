#include "platform/com/LocalServer.h"

#include "platform/com/ComClasses.h"
#include "platform/com/ComProtocol.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace plat {

namespace {

using Clock = std::chrono::steady_clock;

int g_stopPipe[2] = {-1, -1};

void makeStopPipe() {
    if (g_stopPipe[0] < 0 && pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) g_stopPipe[0] = g_stopPipe[1] = -1;
}

void drainStopPipe() {
    char buf[64];
    while (g_stopPipe[0] >= 0 && read(g_stopPipe[0], buf, sizeof buf) > 0) {}
}

}  // namespace

struct LocalServer::Connection {
    SocketFd fd;
    std::string inbox;
    std::map<uint32_t, std::shared_ptr<ComObject>> objects;
    uint32_t nextId = comwire::kRootObject + 1;
    std::size_t locks = 0;
};

LocalServer::LocalServer(std::string classId, Factory factory, int idleMs)
    : classId_(std::move(classId)), factory_(std::move(factory)), idleMs_(idleMs) {}

LocalServer::~LocalServer() {
    if (lockFd_ >= 0) close(lockFd_);
}

void LocalServer::requestStop() {
    if (g_stopPipe[1] >= 0) {
        char c = 1;
        (void)!write(g_stopPipe[1], &c, 1);
    }
}

// Only the holder of the class lock listens, and only it removes a socket file,
// so a stale socket of a killed server is replaced and a live one never is.
LocalServer::LockState LocalServer::takeClassLock() {
    lockFd_ = open(classLockPath(classId_).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (lockFd_ < 0) return LockState::Failed;
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (true) {
        if (flock(lockFd_, LOCK_EX | LOCK_NB) == 0) return LockState::Taken;
        if (errno != EWOULDBLOCK) return LockState::Failed;
        // Held: either a server serves (then we are not needed) or one is ending.
        if (connectUnixSocket(socketPath_).valid()) return LockState::OtherServes;
        if (Clock::now() >= deadline) return LockState::Failed;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::size_t LocalServer::liveCount() const {
    std::size_t n = 0;
    for (const auto& [fd, c] : connections_) n += c->objects.size() + c->locks;
    return n;
}

int LocalServer::run() {
    std::string id;
    if (!normaliseClassId(classId_, &id)) return 1;
    classId_ = id;
    socketPath_ = classSocketPath(classId_);
    if (socketPath_.empty()) return 1;
    makeStopPipe();
    drainStopPipe();
    switch (takeClassLock()) {
    case LockState::OtherServes: return 0;
    case LockState::Failed: return 1;
    case LockState::Taken: break;
    }
    unlink(socketPath_.c_str());
    listen_ = listenUnixSocket(socketPath_);
    if (!listen_.valid()) return 1;

    auto idleSince = Clock::now();  // armed at start: a server nobody reaches still ends
    while (true) {
        std::vector<pollfd> fds;
        fds.push_back({listen_.get(), POLLIN, 0});
        fds.push_back({g_stopPipe[0], POLLIN, 0});
        for (const auto& [fd, c] : connections_) fds.push_back({fd, POLLIN, 0});
        int timeout = -1;
        if (liveCount() == 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                idleSince + std::chrono::milliseconds(idleMs_) - Clock::now()).count();
            if (left <= 0) break;
            timeout = static_cast<int>(left);
        }
        int n = poll(fds.data(), fds.size(), timeout);
        if (n < 0 && errno != EINTR) break;
        if (n <= 0) continue;
        if (fds[1].revents) break;
        if (fds[0].revents & POLLIN) acceptClients();
        const std::size_t before = liveCount();
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            auto it = connections_.find(fds[i].fd);
            if (it != connections_.end() && !serveInput(*it->second)) connections_.erase(it);
        }
        if (before != 0 && liveCount() == 0) idleSince = Clock::now();
    }
    // Remove the name first so new clients start a new server, which waits for our lock.
    unlink(socketPath_.c_str());
    listen_.reset();
    connections_.clear();
    close(lockFd_);
    lockFd_ = -1;
    return 0;
}

void LocalServer::acceptClients() {
    while (true) {
        int fd = accept4(listen_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR) continue;
            return;
        }
        auto c = std::make_unique<Connection>();
        c->fd.reset(fd);
        if (!peerIsSameUser(fd)) continue;  // only this user is served
        std::shared_ptr<ComObject> object;
        HResult r = hr::OutOfMemory;
        try {
            r = factory_ ? factory_(&object) : hr::ClassNotRegistered;
        } catch (...) {
            r = hr::OutOfMemory;
        }
        if (succeeded(r) && !object) r = hr::OutOfMemory;
        WireWriter greeting;
        greeting.i32(r);
        if (succeeded(r)) greeting.u32(comwire::kRootObject);
        if (writeFrame(fd, greeting.data(), comwire::kServerWriteTimeoutMs) != SocketIo::Ok || failed(r)) continue;
        c->objects[comwire::kRootObject] = std::move(object);
        connections_[fd] = std::move(c);
    }
}

bool LocalServer::serveInput(Connection& c) {
    char buf[65536];
    while (true) {
        ssize_t n = recv(c.fd.get(), buf, sizeof buf, 0);
        if (n > 0) {
            c.inbox.append(buf, static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) return false;  // the client went: its objects and locks go with it
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) break;
        return false;
    }
    while (c.inbox.size() >= 4) {
        const auto* b = reinterpret_cast<const unsigned char*>(c.inbox.data());
        const uint32_t len = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
        if (len > kMaxFrameSize) return false;
        if (c.inbox.size() < 4 + static_cast<std::size_t>(len)) break;
        std::string frame = c.inbox.substr(4, len);
        c.inbox.erase(0, 4 + static_cast<std::size_t>(len));
        if (!handleFrame(c, frame)) return false;
    }
    return true;
}

bool LocalServer::handleFrame(Connection& c, const std::string& frame) {
    WireReader in(frame);
    uint32_t objectId = 0, method = 0;
    WireWriter results;
    HResult r = hr::InvalidArg;
    if (in.u32(&objectId) && in.u32(&method)) {
        if (objectId == comwire::kClassObject) {
            bool lock = false;
            if (method == comwire::kLockServer && in.boolean(&lock) && in.atEnd()) {
                if (lock) ++c.locks;
                else if (c.locks > 0) --c.locks;
                r = hr::Ok;
            }
        } else if (method == comwire::kRelease) {
            r = objectId != comwire::kRootObject && c.objects.erase(objectId) ? hr::Ok : hr::InvalidArg;
        } else if (auto it = c.objects.find(objectId); it != c.objects.end()) {
            std::shared_ptr<ComObject> object = it->second;
            results.setRegistrar([&c](std::shared_ptr<ComObject> o) {
                uint32_t id = c.nextId++;
                c.objects[id] = std::move(o);
                return id;
            });
            try {
                r = object->call(method, in, results);
            } catch (...) {
                r = hr::Fail;
            }
        }
    }
    WireWriter reply;
    reply.i32(r);
    if (succeeded(r)) reply.raw(results.data());
    return writeFrame(c.fd.get(), reply.data(), comwire::kServerWriteTimeoutMs) == SocketIo::Ok;
}

}  // namespace plat
