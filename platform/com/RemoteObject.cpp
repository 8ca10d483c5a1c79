#include "platform/com/RemoteObject.h"

#include "platform/com/ComClasses.h"
#include "platform/com/ComProtocol.h"
#include "platform/com/UnixSocket.h"
#include "platform/proc/Process.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

namespace plat {

using Clock = std::chrono::steady_clock;

// One connection to a server, shared by the objects received on it; one call at
// a time.
class ComConnection {
public:
    ComConnection(SocketFd fd, int callTimeoutMs) : fd_(std::move(fd)), callTimeoutMs_(callTimeoutMs) {}

    HResult call(uint32_t objectId, uint32_t method, const std::string& args, std::string* results) {
        std::lock_guard lock(mutex_);
        if (broken_) return hr::ServerUnavailable;
        WireWriter request;
        request.u32(objectId).u32(method).raw(args);
        std::string reply;
        SocketIo io = writeFrame(fd_.get(), request.data(), callTimeoutMs_);
        if (io == SocketIo::Ok) io = readFrame(fd_.get(), &reply, callTimeoutMs_);
        if (io != SocketIo::Ok) {
            broken_ = true;  // the stream cannot be trusted any more
            return io == SocketIo::TimedOut ? hr::CallTimedOut : hr::ServerUnavailable;
        }
        WireReader in(reply);
        int32_t r = hr::Fail;
        if (!in.i32(&r)) {
            broken_ = true;
            return hr::ServerUnavailable;
        }
        if (results) *results = reply.substr(4);
        return r;
    }

private:
    std::mutex mutex_;
    SocketFd fd_;
    int callTimeoutMs_;
    bool broken_ = false;
};

namespace {

enum class Greeting { Accepted, Refused, Closed };

// The server's answer to a new connection: the result of making its object.
Greeting readGreeting(SocketFd& fd, int timeoutMs, HResult* result) {
    std::string frame;
    if (readFrame(fd.get(), &frame, timeoutMs) != SocketIo::Ok) return Greeting::Closed;
    WireReader in(frame);
    uint32_t id = 0;
    if (!in.i32(result)) return Greeting::Closed;
    if (failed(*result)) return Greeting::Refused;
    return in.u32(&id) && id == comwire::kRootObject ? Greeting::Accepted : Greeting::Closed;
}

// Polls for the server's socket until it answers, the deadline passes, or the
// started program ended without ever listening.
SocketFd waitForServer(const std::filesystem::path& socket, pid_t server, Clock::time_point deadline) {
    std::optional<Clock::time_point> goneSince;
    while (Clock::now() < deadline) {
        SocketFd fd = connectUnixSocket(socket);
        if (fd.valid()) return fd;
        if (!isProcessAlive(server)) {
            // It may have left because another server of the class serves; give
            // that one a moment to answer.
            if (!goneSince) goneSince = Clock::now();
            else if (Clock::now() - *goneSince > std::chrono::seconds(2)) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {};
}

}  // namespace

RemoteObject::RemoteObject(std::shared_ptr<ComConnection> connection, uint32_t id)
    : connection_(std::move(connection)), id_(id) {}

RemoteObject::~RemoteObject() {
    // The root object goes with the connection; further objects are released.
    if (connection_ && id_ != comwire::kRootObject) connection_->call(id_, comwire::kRelease, {}, nullptr);
}

HResult RemoteObject::create(std::string_view classId, std::shared_ptr<RemoteObject>* out, const ActivationOptions& options) {
    return activate(classId, true, out, options);
}

HResult RemoteObject::connectRunning(std::string_view classId, std::shared_ptr<RemoteObject>* out,
                                     const ActivationOptions& options) {
    return activate(classId, false, out, options);
}

HResult RemoteObject::activate(std::string_view classId, bool start, std::shared_ptr<RemoteObject>* out,
                               const ActivationOptions& options) {
    out->reset();
    std::string id;
    if (!normaliseClassId(classId, &id)) return hr::InvalidArg;
    const std::filesystem::path socket = classSocketPath(id);
    if (socket.empty()) return hr::AccessDenied;

    // A server that is just ending closes our connection before greeting: try once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        SocketFd fd = connectUnixSocket(socket);
        if (!fd.valid()) {
            if (!start) return hr::ServerUnavailable;
            std::filesystem::path program;
            HResult r = findLocalServer(id, &program);
            if (failed(r)) return r;
            pid_t pid = 0;
            if (startDetached(program.string(), {"-Embedding"}, &pid) != ProcResult::Ok) return hr::ServerExecFailure;
            fd = waitForServer(socket, pid, Clock::now() + std::chrono::milliseconds(options.startTimeoutMs));
            if (!fd.valid()) return hr::ServerExecFailure;
        }
        if (!peerIsSameUser(fd.get())) return hr::AccessDenied;
        HResult r = hr::Fail;
        switch (readGreeting(fd, options.startTimeoutMs, &r)) {
        case Greeting::Accepted: {
            auto connection = std::make_shared<ComConnection>(std::move(fd), options.callTimeoutMs);
            *out = std::make_shared<RemoteObject>(std::move(connection), comwire::kRootObject);
            return hr::Ok;
        }
        case Greeting::Refused: return r;
        case Greeting::Closed: break;
        }
    }
    return hr::ServerUnavailable;
}

HResult RemoteObject::call(uint32_t method, const WireWriter& args, WireReader* results) {
    std::string reply;
    HResult r = connection_->call(id_, method, args.data(), &reply);
    if (results) {
        *results = WireReader(std::move(reply));
        std::weak_ptr<ComConnection> weak = connection_;
        results->setResolver([weak](uint32_t objectId) -> std::shared_ptr<RemoteObject> {
            auto c = weak.lock();
            return c ? std::make_shared<RemoteObject>(c, objectId) : nullptr;
        });
    }
    return r;
}

HResult RemoteObject::lockServer(bool lock) {
    WireWriter args;
    args.boolean(lock);
    return connection_->call(comwire::kClassObject, comwire::kLockServer, args.data(), nullptr);
}

}  // namespace plat
