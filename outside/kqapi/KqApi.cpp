// The exported Kq* calls: argument checks, the session table, and the mapping of
// WebDAV answers to the library's result codes.
#include "outside/kqapi/KqApi.h"

#include <sys/stat.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "outside/kqapi/DavSession.h"
#include "outside/kqapi/DavXml.h"
#include "outside/kqapi/UrlText.h"

namespace kq {
namespace {

constexpr int32_t kUnlimitedSpace = INT32_MAX / 1000;  // the caller multiplies by 1000
constexpr int kMaxNameTries = 100;

std::atomic<long> gConnectMs{15000};
std::atomic<long> gStallMs{60000};

// Sessions live here; the context holds only a number, so a stale or garbled
// context can never make the library follow a pointer.
struct Table {
    std::mutex lock;
    uint64_t next = 1;
    std::map<uint64_t, std::shared_ptr<DavSession>> sessions;
};

Table& table()
{
    static Table t;
    return t;
}

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

uint64_t handleOf(const KqContext* c)
{
    uint64_t id;
    std::memcpy(&id, c->session, sizeof id);
    return id;
}

void setHandle(KqContext* c, uint64_t id) { std::memcpy(c->session, &id, sizeof id); }

std::shared_ptr<DavSession> sessionOf(const KqContext* c)
{
    Table& t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const auto it = t.sessions.find(handleOf(c));
    return it == t.sessions.end() ? nullptr : it->second;
}

void dropSession(KqContext* c)
{
    Table& t = table();
    std::lock_guard<std::mutex> g(t.lock);
    t.sessions.erase(handleOf(c));
    setHandle(c, 0);
}

std::string boundedText(const char* field, size_t size)
{
    return std::string(field, strnlen(field, size));
}

void copyBounded(char* field, size_t size, const std::string& text)
{
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

struct Album {
    std::string path;  // decoded, with trailing '/'
    std::string name;
    std::string description;
};

int32_t listAlbums(DavSession& s, std::vector<Album>* albums)
{
    const DavResult r = s.propfind(s.rootUrl(), 1);
    if (const int32_t code = resultFromTransfer(r); code != KQ_OK) return code;
    if (r.status != 207) return KQ_ERR_UNKNOWN;
    std::vector<DavEntry> entries;
    if (!parseMultistatus(r.body, &entries)) return KQ_ERR_UNKNOWN;
    const std::string root = withTrailingSlash(s.rootPath());
    albums->clear();
    for (const DavEntry& e : entries) {
        if (!e.collection) continue;
        const std::string path = withTrailingSlash(hrefPath(e.href));
        if (path == root || path.compare(0, root.size(), root) != 0) continue;
        Album a;
        a.path = path;
        a.name = e.displayName.empty() ? lastSegment(path) : e.displayName;
        a.description = e.description;
        albums->push_back(std::move(a));
    }
    return KQ_OK;
}

int32_t checkRoot(DavSession& s)
{
    const DavResult r = s.propfind(s.rootUrl(), 0);
    if (r.transfer == CURLE_OK && (r.status == 404 || r.status == 405)) return KQ_ERR_NO_SERVER;
    if (const int32_t code = resultFromTransfer(r); code != KQ_OK) return code;
    std::vector<DavEntry> entries;
    if (r.status != 207 || !parseMultistatus(r.body, &entries) || entries.empty() ||
        !entries.front().collection)
        return KQ_ERR_NO_SERVER;
    return KQ_OK;
}

bool isPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::string descriptionPatch(const std::string& description)
{
    std::string escaped;
    for (char c : description) {
        switch (c) {
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '&': escaped += "&amp;"; break;
        default: escaped += c;
        }
    }
    return std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                       "<D:propertyupdate xmlns:D=\"DAV:\" xmlns:A=\"") +
           kAlbumNamespace + "\"><D:set><D:prop><A:description>" + escaped +
           "</A:description></D:prop></D:set></D:propertyupdate>";
}

std::string baseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace
}  // namespace kq

using namespace kq;

extern "C" {

int32_t KqConnect(KqContext* context, const char* serverAddress, int32_t /*reserved*/)
{
    if (!context || !serverAddress || !*serverAddress) return KQ_ERR_INVALID_ARGUMENT;
    initCurlOnce();
    dropSession(context);  // a second connect replaces the first
    auto session = std::make_shared<DavSession>(
        boundedText(serverAddress, 4096), boundedText(context->loginName, 256),
        boundedText(context->password, 256), Timeouts{gConnectMs.load(), gStallMs.load()});
    if (!session->valid()) return KQ_ERR_NO_SERVER;
    int32_t code;
    {
        std::lock_guard<std::mutex> g(session->lock());
        code = checkRoot(*session);
    }
    if (code != KQ_OK) return code;
    Table& t = table();
    std::lock_guard<std::mutex> g(t.lock);
    const uint64_t id = t.next++;
    t.sessions[id] = std::move(session);
    setHandle(context, id);
    return KQ_OK;
}

int32_t KqDisconnect(KqContext* context)
{
    if (!context) return KQ_ERR_INVALID_ARGUMENT;
    if (!sessionOf(context)) return KQ_ERR_NO_SESSION;
    dropSession(context);
    return KQ_OK;
}

int32_t KqGetAlbumCount(KqContext* context)
{
    if (!context) return KQ_ERR_INVALID_ARGUMENT;
    auto s = sessionOf(context);
    if (!s) return KQ_ERR_NO_SESSION;
    std::lock_guard<std::mutex> g(s->lock());
    std::vector<Album> albums;
    if (const int32_t code = listAlbums(*s, &albums); code != KQ_OK) return code;
    return static_cast<int32_t>(std::min<size_t>(albums.size(), INT32_MAX));
}

int32_t KqGetAlbumList(KqContext* context, KqAlbum* albums, int32_t count)
{
    if (!context || count < 0 || (count > 0 && !albums)) return KQ_ERR_INVALID_ARGUMENT;
    auto s = sessionOf(context);
    if (!s) return KQ_ERR_NO_SESSION;
    std::lock_guard<std::mutex> g(s->lock());
    std::vector<Album> found;
    if (const int32_t code = listAlbums(*s, &found); code != KQ_OK) return code;
    const size_t n = std::min(found.size(), static_cast<size_t>(count));
    for (size_t i = 0; i < n; ++i) {
        KqAlbum& a = albums[i];
        copyBounded(a.key, sizeof a.key, albumKeyFor(found[i].path));
        copyBounded(a.name, sizeof a.name, found[i].name);
        copyBounded(a.description, sizeof a.description, found[i].description);
    }
    return static_cast<int32_t>(n);
}

int32_t KqGetSpaceLeft(KqContext* context)
{
    if (!context) return KQ_ERR_INVALID_ARGUMENT;
    auto s = sessionOf(context);
    if (!s) return KQ_ERR_NO_SESSION;
    std::lock_guard<std::mutex> g(s->lock());
    const DavResult r = s->propfind(s->rootUrl(), 0);
    if (const int32_t code = resultFromTransfer(r); code != KQ_OK) return code;
    std::vector<DavEntry> entries;
    if (r.status != 207 || !parseMultistatus(r.body, &entries) || entries.empty())
        return KQ_ERR_UNKNOWN;
    const auto& quota = entries.front().quotaAvailable;
    if (!quota) return kUnlimitedSpace;  // a server without quotas
    if (*quota <= 0) return 0;
    return static_cast<int32_t>(std::min<int64_t>(*quota / 1000, kUnlimitedSpace));
}

int32_t KqAlbumNew(KqContext* context, const KqAlbum* album)
{
    if (!context || !album) return KQ_ERR_INVALID_ARGUMENT;
    auto s = sessionOf(context);
    if (!s) return KQ_ERR_NO_SESSION;
    const std::string name = boundedText(album->name, sizeof album->name);
    if (!isPlainName(name)) return KQ_ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> g(s->lock());
    const std::string url = s->urlForPath(withTrailingSlash(s->rootPath()) + name + "/");
    const DavResult r = s->mkcol(url);
    if (r.transfer == CURLE_OK && r.status == 405) return KQ_ERR_INVALID_ARGUMENT;  // exists
    if (const int32_t code = resultFromTransfer(r); code != KQ_OK) return code;
    const std::string description =
        boundedText(album->description, sizeof album->description);
    if (!description.empty()) s->proppatch(url, descriptionPatch(description));  // best effort
    return KQ_OK;
}

int32_t KqPhotoUpload(KqContext* context, KqPhoto* photo, const char* path,
                      KqCancelProc cancel, KqProgressProc progress)
{
    if (!context || !photo || !path || !*path) return KQ_ERR_INVALID_ARGUMENT;
    auto s = sessionOf(context);
    if (!s) return KQ_ERR_NO_SESSION;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path, "rbe"), std::fclose);
    struct stat st {};
    if (!file || fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode)) return KQ_ERR_FILE;
    const std::string name = baseName(path);
    if (!isPlainName(name)) return KQ_ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> g(s->lock());
    const std::string folder = withTrailingSlash(s->rootPath());
    for (int n = 1; n <= kMaxNameTries; ++n) {
        const std::string stored = n == 1 ? name : numberedName(name, n);
        const std::string storedPath = folder + stored;
        if (storedPath.size() >= sizeof photo->href || stored.size() >= sizeof photo->fileName)
            return KQ_ERR_INVALID_ARGUMENT;
        // Servers that ignore If-None-Match would replace: look first.
        if (resultFromTransfer(s->propfind(s->urlForPath(storedPath), 0)) == KQ_OK) continue;
        std::rewind(file.get());
        const DavResult r = s->putNew(s->urlForPath(storedPath), file.get(), st.st_size, cancel,
                                      progress);
        if (r.transfer == CURLE_OK && r.status == 412) continue;  // name taken: next number
        if (const int32_t code = resultFromTransfer(r); code != KQ_OK) return code;
        std::memset(photo, 0, sizeof *photo);
        copyBounded(photo->href, sizeof photo->href, storedPath);
        copyBounded(photo->fileName, sizeof photo->fileName, stored);
        copyBounded(photo->etag, sizeof photo->etag, r.etag);
        uint64_t size = static_cast<uint64_t>(st.st_size);
        for (int i = 0; i < 8; ++i) photo->size[i] = static_cast<unsigned char>(size >> (8 * i));
        return KQ_OK;
    }
    return KQ_ERR_UNKNOWN;
}

int32_t KqAlbumAddPhoto(KqContext* context, const KqAlbum* album, const KqPhoto* photo)
{
    if (!context || !album || !photo) return KQ_ERR_INVALID_ARGUMENT;
    auto s = sessionOf(context);
    if (!s) return KQ_ERR_NO_SESSION;
    const std::string key = boundedText(album->key, sizeof album->key);
    const std::string href = boundedText(photo->href, sizeof photo->href);
    const std::string name = boundedText(photo->fileName, sizeof photo->fileName);
    if (key.empty() || href.empty() || href.size() == sizeof photo->href || !isPlainName(name))
        return KQ_ERR_INVALID_ARGUMENT;
    std::lock_guard<std::mutex> g(s->lock());
    std::vector<Album> albums;
    if (const int32_t code = listAlbums(*s, &albums); code != KQ_OK) return code;
    const Album* target = nullptr;
    for (const Album& a : albums)
        if (albumKeyFor(a.path) == key) target = &a;
    if (!target) return KQ_ERR_INVALID_ARGUMENT;
    for (int n = 1; n <= kMaxNameTries; ++n) {
        const std::string stored = n == 1 ? name : numberedName(name, n);
        const std::string to = s->urlForPath(target->path + stored);
        if (resultFromTransfer(s->propfind(to, 0)) == KQ_OK) continue;
        const DavResult r = s->move(s->urlForPath(href), to);
        if (r.transfer == CURLE_OK && r.status == 412) continue;
        if (r.transfer == CURLE_OK && r.status == 404) return KQ_ERR_INVALID_ARGUMENT;
        return resultFromTransfer(r);
    }
    return KQ_ERR_UNKNOWN;
}

void KqSetTimeouts(int32_t connectMs, int32_t stallMs)
{
    if (connectMs > 0) gConnectMs = connectMs;
    if (stallMs > 0) gStallMs = stallMs;
}

}  // extern "C"
