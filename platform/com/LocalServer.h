#pragma once
// The server side of a class: one process serves every client of the class; each
// connection gets its own object; calls run one at a time. The server ends when
// no object and no lock has been left for the idle time (also when no client
// ever came after it started).
#include "platform/com/ComObject.h"
#include "platform/com/UnixSocket.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace plat {

class LocalServer {
public:
    using Factory = std::function<HResult(std::shared_ptr<ComObject>*)>;

    LocalServer(std::string classId, Factory factory, int idleMs = 5000);
    ~LocalServer();
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    // Serves until idle or stopped. 0 when it served (or another server of the
    // class already serves); 1 when it could not start.
    int run();
    // Safe in a signal handler and from other threads: ends run() soon.
    static void requestStop();

private:
    struct Connection;
    enum class LockState { Taken, OtherServes, Failed };

    LockState takeClassLock();
    void acceptClients();
    bool serveInput(Connection& c);
    bool handleFrame(Connection& c, const std::string& frame);
    std::size_t liveCount() const;

    std::string classId_;
    Factory factory_;
    int idleMs_;
    int lockFd_ = -1;
    std::filesystem::path socketPath_;
    SocketFd listen_;
    std::map<int, std::unique_ptr<Connection>> connections_;
};

}  // namespace plat
