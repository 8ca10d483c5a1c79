#pragma once
// One logged-on connection to the album root collection: a libcurl handle with the
// account's basic authentication, and the WebDAV requests the album calls need.
// Every request is bounded by the connect and stall time-outs.
#include <curl/curl.h>

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "outside/kqapi/KqApi.h"

namespace kq {

struct DavResult {
    CURLcode transfer = CURLE_OK;
    long status = 0;
    std::string body;
    std::string etag;  // the ETag header of the answer, when any
};

struct Timeouts {
    long connectMs = 15000;
    long stallMs = 60000;
};

class DavSession {
public:
    DavSession(std::string rootUrl, std::string user, std::string password, Timeouts timeouts);
    ~DavSession();
    DavSession(const DavSession&) = delete;
    DavSession& operator=(const DavSession&) = delete;

    bool valid() const { return curl_ != nullptr; }
    const std::string& rootUrl() const { return rootUrl_; }
    std::string rootPath() const;
    std::string urlForPath(const std::string& decodedPath) const;  // percent-encodes segments

    DavResult propfind(const std::string& url, int depth);
    DavResult mkcol(const std::string& url);
    DavResult proppatch(const std::string& url, const std::string& body);
    DavResult move(const std::string& from, const std::string& to);
    // PUT of an open file, refusing to replace an existing resource.
    DavResult putNew(const std::string& url, std::FILE* file, int64_t size, KqCancelProc cancel,
                     KqProgressProc progress);

    std::mutex& lock() { return lock_; }

private:
    void prepare(const char* method, const std::string& url);
    DavResult perform(curl_slist* headers, bool boundTotal);

    CURL* curl_ = nullptr;
    std::string rootUrl_;
    std::string origin_;
    std::string user_;
    std::string password_;
    Timeouts timeouts_;
    std::mutex lock_;
};

// Maps a finished request to the library's result codes (2xx -> 0).
int32_t resultFromTransfer(const DavResult& r);

}  // namespace kq
