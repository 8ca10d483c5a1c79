#include "outside/kqapi/DavSession.h"

#include <algorithm>
#include <cstring>

#include "outside/kqapi/UrlText.h"

namespace kq {
namespace {

constexpr size_t kMaxAnswer = 16u << 20;

struct Sink {
    std::string* body;
    std::string* etag;
};

size_t onBody(char* data, size_t size, size_t count, void* user)
{
    auto* sink = static_cast<Sink*>(user);
    const size_t n = size * count;
    if (sink->body->size() + n > kMaxAnswer) return 0;  // oversized answer: stop the transfer
    sink->body->append(data, n);
    return n;
}

size_t onHeader(char* data, size_t size, size_t count, void* user)
{
    auto* sink = static_cast<Sink*>(user);
    const size_t n = size * count;
    static constexpr char name[] = "etag:";
    if (n > sizeof name - 1 && strncasecmp(data, name, sizeof name - 1) == 0) {
        std::string value(data + sizeof name - 1, n - (sizeof name - 1));
        const auto b = value.find_first_not_of(" \t");
        const auto e = value.find_last_not_of(" \t\r\n");
        *sink->etag = b == std::string::npos ? std::string() : value.substr(b, e - b + 1);
    }
    return n;
}

struct Upload {
    std::FILE* file;
    KqCancelProc cancel;
    KqProgressProc progress;
};

size_t onRead(char* buffer, size_t size, size_t count, void* user)
{
    auto* up = static_cast<Upload*>(user);
    const size_t got = std::fread(buffer, 1, size * count, up->file);
    if (got == 0 && std::ferror(up->file)) return CURL_READFUNC_ABORT;
    return got;
}

// libcurl sends a request again on a fresh connection when a kept-alive one turns out
// dead; the body is then read again from its start.
int onSeek(void* user, curl_off_t offset, int origin)
{
    auto* up = static_cast<Upload*>(user);
    if (origin != SEEK_SET || fseeko(up->file, static_cast<off_t>(offset), SEEK_SET) != 0)
        return CURL_SEEKFUNC_CANTSEEK;
    return CURL_SEEKFUNC_OK;
}

int onTransferInfo(void* user, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow)
{
    auto* up = static_cast<Upload*>(user);
    if (up->cancel && up->cancel(nullptr) != 0) return 1;  // non-zero aborts the transfer
    if (up->progress) up->progress(nullptr, ulnow, ultotal);
    return 0;
}

constexpr char kPropfindBody[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
    "<D:propfind xmlns:D=\"DAV:\" xmlns:A=\"http://vorel.invalid/ns/album\"><D:prop>"
    "<D:resourcetype/><D:displayname/><D:getetag/><D:quota-available-bytes/>"
    "<A:description/></D:prop></D:propfind>";

}  // namespace

DavSession::DavSession(std::string rootUrl, std::string user, std::string password,
                       Timeouts timeouts)
    : rootUrl_(std::move(rootUrl)),
      origin_(originOf(rootUrl_)),
      user_(std::move(user)),
      password_(std::move(password)),
      timeouts_(timeouts)
{
    if (rootUrl_.empty() || rootUrl_.back() != '/') rootUrl_ += '/';
    if (!origin_.empty()) curl_ = curl_easy_init();
}

DavSession::~DavSession()
{
    if (curl_) curl_easy_cleanup(curl_);
}

std::string DavSession::rootPath() const { return hrefPath(rootUrl_); }

std::string DavSession::urlForPath(const std::string& decodedPath) const
{
    std::string url = origin_;
    size_t i = 0;
    while (i < decodedPath.size()) {
        const size_t slash = decodedPath.find('/', i);
        const size_t end = slash == std::string::npos ? decodedPath.size() : slash;
        url += percentEncodeSegment(std::string_view(decodedPath).substr(i, end - i));
        if (slash == std::string::npos) break;
        url += '/';
        i = slash + 1;
    }
    return url;
}

void DavSession::prepare(const char* method, const std::string& url)
{
    curl_easy_reset(curl_);
    curl_easy_setopt(curl_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl_, CURLOPT_CUSTOMREQUEST, method);
    curl_easy_setopt(curl_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl_, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(curl_, CURLOPT_USERNAME, user_.c_str());
    curl_easy_setopt(curl_, CURLOPT_PASSWORD, password_.c_str());
    curl_easy_setopt(curl_, CURLOPT_CONNECTTIMEOUT_MS, timeouts_.connectMs);
    // A transfer that moves less than one byte a second for the stall time ends.
    curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl_, CURLOPT_LOW_SPEED_TIME, std::max(1L, timeouts_.stallMs / 1000));
}

DavResult DavSession::perform(curl_slist* headers, bool boundTotal)
{
    DavResult r;
    Sink sink{&r.body, &r.etag};
    curl_easy_setopt(curl_, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl_, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(curl_, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl_, CURLOPT_HEADERDATA, &sink);
    if (headers) curl_easy_setopt(curl_, CURLOPT_HTTPHEADER, headers);
    // Requests without a payload of their own are bounded as a whole as well.
    if (boundTotal)
        curl_easy_setopt(curl_, CURLOPT_TIMEOUT_MS, timeouts_.connectMs + timeouts_.stallMs);
    r.transfer = curl_easy_perform(curl_);
    curl_easy_getinfo(curl_, CURLINFO_RESPONSE_CODE, &r.status);
    curl_slist_free_all(headers);
    return r;
}

DavResult DavSession::propfind(const std::string& url, int depth)
{
    prepare("PROPFIND", url);
    curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, kPropfindBody);
    curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE, static_cast<long>(sizeof kPropfindBody - 1));
    curl_slist* h = curl_slist_append(nullptr, depth == 0 ? "Depth: 0" : "Depth: 1");
    h = curl_slist_append(h, "Content-Type: application/xml; charset=utf-8");
    return perform(h, true);
}

DavResult DavSession::mkcol(const std::string& url)
{
    prepare("MKCOL", url);
    return perform(nullptr, true);
}

DavResult DavSession::proppatch(const std::string& url, const std::string& body)
{
    prepare("PROPPATCH", url);
    curl_easy_setopt(curl_, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(curl_, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    curl_slist* h = curl_slist_append(nullptr, "Content-Type: application/xml; charset=utf-8");
    return perform(h, true);
}

DavResult DavSession::move(const std::string& from, const std::string& to)
{
    prepare("MOVE", from);
    const std::string destination = "Destination: " + to;
    curl_slist* h = curl_slist_append(nullptr, destination.c_str());
    h = curl_slist_append(h, "Overwrite: F");
    return perform(h, true);
}

DavResult DavSession::putNew(const std::string& url, std::FILE* file, int64_t size,
                             KqCancelProc cancel, KqProgressProc progress)
{
    prepare("PUT", url);
    Upload up{file, cancel, progress};
    curl_easy_setopt(curl_, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl_, CURLOPT_READFUNCTION, onRead);
    curl_easy_setopt(curl_, CURLOPT_READDATA, &up);
    curl_easy_setopt(curl_, CURLOPT_SEEKFUNCTION, onSeek);
    curl_easy_setopt(curl_, CURLOPT_SEEKDATA, &up);
    curl_easy_setopt(curl_, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
    curl_easy_setopt(curl_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl_, CURLOPT_XFERINFOFUNCTION, onTransferInfo);
    curl_easy_setopt(curl_, CURLOPT_XFERINFODATA, &up);
    curl_slist* h = curl_slist_append(nullptr, "If-None-Match: *");
    h = curl_slist_append(h, "Content-Type: application/octet-stream");
    h = curl_slist_append(h, "Expect:");
    return perform(h, false);
}

int32_t resultFromTransfer(const DavResult& r)
{
    switch (r.transfer) {
    case CURLE_OK: break;
    case CURLE_ABORTED_BY_CALLBACK: return KQ_ERR_CANCELLED;
    case CURLE_READ_ERROR: return KQ_ERR_FILE;
    case CURLE_OUT_OF_MEMORY: return KQ_ERR_MEMORY;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_COULDNT_RESOLVE_HOST: return KQ_ERR_NO_SERVER;
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_SEND_FAIL_REWIND:  // the connection went while the body was on its way
    case CURLE_RECV_ERROR:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION: return KQ_ERR_NO_CONNECTION;
    default: return KQ_ERR_UNKNOWN;
    }
    if (r.status >= 200 && r.status < 300) return KQ_OK;
    if (r.status == 401 || r.status == 403) return KQ_ERR_ACCOUNT;
    return KQ_ERR_UNKNOWN;
}

}  // namespace kq
