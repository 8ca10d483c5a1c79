#pragma once
// An object of a server process, seen from a client. Creating one connects to
// the class's server, starting the registered program (with "-Embedding") when
// nobody serves the class yet, and waits for it, bounded. Letting the last
// handle go releases the object in the server.
#include "platform/com/HResult.h"
#include "platform/com/WireReader.h"
#include "platform/com/WireWriter.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace plat {

class ComConnection;

struct ActivationOptions {
    int startTimeoutMs = 30000;  // how long a starting server may take to listen
    int callTimeoutMs = 600000;  // how long one call may take before it counts as lost
};

class RemoteObject {
public:
    // A new object of the class (one connection, one object).
    static HResult create(std::string_view classId, std::shared_ptr<RemoteObject>* out,
                          const ActivationOptions& options = {});
    // An object of an already running server; hr::ServerUnavailable when none runs.
    static HResult connectRunning(std::string_view classId, std::shared_ptr<RemoteObject>* out,
                                  const ActivationOptions& options = {});

    RemoteObject(std::shared_ptr<ComConnection> connection, uint32_t id);
    ~RemoteObject();
    RemoteObject(const RemoteObject&) = delete;
    RemoteObject& operator=(const RemoteObject&) = delete;

    // Calls `method` with the encoded arguments. On success `results` (when given)
    // holds the method's results. A server that went away gives hr::ServerUnavailable.
    HResult call(uint32_t method, const WireWriter& args, WireReader* results = nullptr);
    // Keeps the server running without an object (and lets it go again).
    HResult lockServer(bool lock);

private:
    static HResult activate(std::string_view classId, bool start, std::shared_ptr<RemoteObject>* out,
                            const ActivationOptions& options);

    std::shared_ptr<ComConnection> connection_;
    uint32_t id_;
};

}  // namespace plat
