#pragma once
// A server on 127.0.0.1 that takes connections into its backlog and never
// answers: for tests of what a client does when a server goes silent.
#include <cstdint>
#include <string>

namespace plat::testing {

class SilentServer {
public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    bool listening() const { return fd_ >= 0; }
    uint16_t port() const { return port_; }
    // "http://127.0.0.1:<port><path>"
    std::string url(const std::string& path = "/") const;
    // Stops listening: the connections waiting on it are refused from then on.
    void close();

private:
    int fd_ = -1;
    uint16_t port_ = 0;
};

}  // namespace plat::testing
