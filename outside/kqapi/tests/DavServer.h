#pragma once
// Starts the loopback WebDAV server of tests/server (node + webdav-server) on a free
// port for one test, and stops it afterwards.
#include <sys/types.h>

#include <string>

namespace kqtest {

class DavServer {
public:
    // Empty when the server can be started; otherwise the reason.
    static std::string unavailableReason();

    DavServer(const std::string& user, const std::string& password, long quotaBytes);
    ~DavServer();
    DavServer(const DavServer&) = delete;
    DavServer& operator=(const DavServer&) = delete;

    bool running() const { return port_ > 0; }
    int port() const { return port_; }
    std::string rootUrl() const;  // the album root collection, "/photos/"
    std::string url(const std::string& path) const;

private:
    pid_t pid_ = -1;
    int toChild_ = -1;
    int port_ = 0;
};

// HTTP status of a plain request with the given credentials (0 when no answer).
long httpStatus(const std::string& method, const std::string& url, const std::string& user,
                const std::string& password);

}  // namespace kqtest
