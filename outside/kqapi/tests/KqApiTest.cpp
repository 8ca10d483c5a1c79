// The album calls against a real WebDAV server on 127.0.0.1.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "outside/kqapi/KqApi.h"
#include "outside/kqapi/tests/DavServer.h"
#include "platform/testing/SilentServer.h"

namespace {

using kqtest::DavServer;

constexpr char kUser[] = "alice";
constexpr char kPassword[] = "secret";

bool inCi()
{
    const char* ci = std::getenv("CI");
    return ci && std::string(ci) == "true";
}

void fill(char* field, size_t size, const std::string& text)
{
    std::memset(field, 0, size);
    std::strncpy(field, text.c_str(), size - 1);
}

std::filesystem::path writeFile(const std::string& name, size_t bytes)
{
    const auto dir = std::filesystem::temp_directory_path() / ("kqapi-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const auto path = dir / name;
    std::ofstream out(path, std::ios::binary);
    for (size_t i = 0; i < bytes; ++i) out.put(static_cast<char>(i * 7));
    return path;
}

class AlbumService : public ::testing::Test {
protected:
    virtual long quota() const { return 200000; }

    void SetUp() override
    {
        const std::string reason = DavServer::unavailableReason();
        if (!reason.empty()) {
            if (inCi()) FAIL() << reason;
            GTEST_SKIP() << reason;
        }
        server_ = std::make_unique<DavServer>(kUser, kPassword, quota());
        ASSERT_TRUE(server_->running()) << "the WebDAV test server did not start";
        KqSetTimeouts(15000, 60000);
        std::memset(&ctx_, 0, sizeof ctx_);
        fill(ctx_.serverAddress, sizeof ctx_.serverAddress, server_->rootUrl());
        fill(ctx_.loginName, sizeof ctx_.loginName, kUser);
        fill(ctx_.password, sizeof ctx_.password, kPassword);
    }

    void TearDown() override { KqDisconnect(&ctx_); }

    void connect() { ASSERT_EQ(KqConnect(&ctx_, server_->rootUrl().c_str(), 0), KQ_OK); }

    KqAlbum newAlbum(const std::string& name, const std::string& description = "")
    {
        KqAlbum a{};
        fill(a.name, sizeof a.name, name);
        fill(a.description, sizeof a.description, description);
        return a;
    }

    std::vector<KqAlbum> albums()
    {
        const int32_t n = KqGetAlbumCount(&ctx_);
        EXPECT_GE(n, 0);
        std::vector<KqAlbum> list(static_cast<size_t>(std::max(n, 0)));
        if (n > 0) {
            EXPECT_EQ(KqGetAlbumList(&ctx_, list.data(), n), n);
        }
        return list;
    }

    long status(const std::string& path)
    {
        return kqtest::httpStatus("HEAD", server_->url(path), kUser, kPassword);
    }

    std::unique_ptr<DavServer> server_;
    KqContext ctx_{};
};

TEST_F(AlbumService, ConnectResultsByAddressAndAccount)
{
    struct Case {
        const char* what;
        std::string address;
        const char* login;
        const char* password;
        int32_t expected;
    };
    const std::vector<Case> cases = {
        {"good account", server_->rootUrl(), kUser, kPassword, KQ_OK},
        {"address without trailing slash", server_->url("/photos"), kUser, kPassword, KQ_OK},
        {"wrong password", server_->rootUrl(), kUser, "wrong", KQ_ERR_ACCOUNT},
        {"no credentials", server_->rootUrl(), "", "", KQ_ERR_ACCOUNT},
        {"upper-case login is another account", server_->rootUrl(), "Alice", kPassword,
         KQ_ERR_ACCOUNT},
        {"no album root there", server_->url("/nothing/"), kUser, kPassword, KQ_ERR_NO_SERVER},
        {"not a web address", "ftp://127.0.0.1/", kUser, kPassword, KQ_ERR_NO_SERVER},
        {"empty address", "", kUser, kPassword, KQ_ERR_INVALID_ARGUMENT},
    };
    for (const Case& c : cases) {
        KqContext ctx{};
        fill(ctx.loginName, sizeof ctx.loginName, c.login);
        fill(ctx.password, sizeof ctx.password, c.password);
        EXPECT_EQ(KqConnect(&ctx, c.address.c_str(), 0), c.expected) << c.what;
        if (c.expected != KQ_OK) {
            EXPECT_EQ(KqGetAlbumCount(&ctx), KQ_ERR_NO_SESSION) << c.what;
        }
        KqDisconnect(&ctx);
    }
}

TEST_F(AlbumService, EveryCallNeedsASession)
{
    KqAlbum album = newAlbum("x");
    KqPhoto photo{};
    const auto file = writeFile("a.jpg", 10);
    EXPECT_EQ(KqGetAlbumCount(&ctx_), KQ_ERR_NO_SESSION);
    EXPECT_EQ(KqGetAlbumList(&ctx_, &album, 1), KQ_ERR_NO_SESSION);
    EXPECT_EQ(KqGetSpaceLeft(&ctx_), KQ_ERR_NO_SESSION);
    EXPECT_EQ(KqAlbumNew(&ctx_, &album), KQ_ERR_NO_SESSION);
    EXPECT_EQ(KqPhotoUpload(&ctx_, &photo, file.c_str(), nullptr, nullptr), KQ_ERR_NO_SESSION);
    EXPECT_EQ(KqAlbumAddPhoto(&ctx_, &album, &photo), KQ_ERR_NO_SESSION);
    EXPECT_EQ(KqDisconnect(&ctx_), KQ_ERR_NO_SESSION);

    // A garbled handle is no session either, never a pointer.
    std::memset(ctx_.session, 0xA5, sizeof ctx_.session);
    EXPECT_EQ(KqGetSpaceLeft(&ctx_), KQ_ERR_NO_SESSION);
    std::memset(ctx_.session, 0, sizeof ctx_.session);

    connect();
    EXPECT_EQ(KqDisconnect(&ctx_), KQ_OK);
    EXPECT_EQ(KqGetAlbumCount(&ctx_), KQ_ERR_NO_SESSION);
}

TEST_F(AlbumService, ReconnectReplacesTheSession)
{
    connect();
    connect();
    EXPECT_EQ(KqGetAlbumCount(&ctx_), 0);
    fill(ctx_.password, sizeof ctx_.password, "wrong");
    EXPECT_EQ(KqConnect(&ctx_, server_->rootUrl().c_str(), 0), KQ_ERR_ACCOUNT);
    EXPECT_EQ(KqGetAlbumCount(&ctx_), KQ_ERR_NO_SESSION);
}

TEST_F(AlbumService, NewAlbumsAreListedWithDistinctKeys)
{
    connect();
    EXPECT_EQ(KqGetAlbumCount(&ctx_), 0);
    for (const char* name : {"Summer Trip", "Caf\xc3\xa9 & friends", "2026"}) {
        KqAlbum a = newAlbum(name, "pictures of " + std::string(name));
        EXPECT_EQ(KqAlbumNew(&ctx_, &a), KQ_OK) << name;
    }
    const std::vector<KqAlbum> list = albums();
    ASSERT_EQ(list.size(), 3u);
    std::set<std::string> names, keys;
    for (const KqAlbum& a : list) {
        names.insert(a.name);
        keys.insert(a.key);
        EXPECT_EQ(std::strlen(a.key), 15u);
    }
    EXPECT_EQ(names, (std::set<std::string>{"Summer Trip", "Caf\xc3\xa9 & friends", "2026"}));
    EXPECT_EQ(keys.size(), 3u);

    // A shorter array gets only as many records as it holds.
    KqAlbum one[1];
    EXPECT_EQ(KqGetAlbumList(&ctx_, one, 1), 1);
    EXPECT_EQ(KqGetAlbumList(&ctx_, one, 0), 0);
    EXPECT_EQ(KqGetAlbumList(&ctx_, nullptr, 2), KQ_ERR_INVALID_ARGUMENT);
}

TEST_F(AlbumService, NewAlbumRefusesBadOrTakenNames)
{
    connect();
    KqAlbum a = newAlbum("Trip");
    ASSERT_EQ(KqAlbumNew(&ctx_, &a), KQ_OK);
    for (const char* name : {"Trip", "", "a/b", "..", "."}) {
        KqAlbum b = newAlbum(name);
        EXPECT_EQ(KqAlbumNew(&ctx_, &b), KQ_ERR_INVALID_ARGUMENT) << '"' << name << '"';
    }
    // A name filling its whole field without a terminating zero is read bounded.
    KqAlbum full{};
    std::memset(full.name, 'n', sizeof full.name);
    std::memset(full.description, 'd', sizeof full.description);
    EXPECT_EQ(KqAlbumNew(&ctx_, &full), KQ_OK);
    for (const KqAlbum& listed : albums()) {
        EXPECT_LT(strnlen(listed.name, sizeof listed.name), sizeof listed.name);
        EXPECT_LT(strnlen(listed.description, sizeof listed.description),
                  sizeof listed.description);
    }
}

struct Progress {
    static inline int64_t lastDone = -1;
    static inline int64_t lastTotal = -1;
    static inline int calls = 0;
    static void reset() { lastDone = lastTotal = -1; calls = 0; }
    static void record(void*, int64_t done, int64_t total)
    {
        ++calls;
        lastDone = done;
        lastTotal = total;
    }
};

int neverCancel(void*) { return 0; }
int alwaysCancel(void*) { return 1; }

TEST_F(AlbumService, UploadStoresThePictureAndReportsProgress)
{
    connect();
    const auto file = writeFile("beach.jpg", 30000);
    Progress::reset();
    KqPhoto photo{};
    ASSERT_EQ(KqPhotoUpload(&ctx_, &photo, file.c_str(), neverCancel, Progress::record), KQ_OK);
    EXPECT_STREQ(photo.href, "/photos/beach.jpg");
    EXPECT_STREQ(photo.fileName, "beach.jpg");
    uint64_t size = 0;
    for (int i = 7; i >= 0; --i) size = size << 8 | photo.size[i];
    EXPECT_EQ(size, 30000u);
    EXPECT_GT(Progress::calls, 0);
    EXPECT_EQ(Progress::lastDone, 30000);
    EXPECT_EQ(Progress::lastTotal, 30000);
    EXPECT_EQ(status("/photos/beach.jpg"), 200);

    // The same name again never replaces the first picture.
    KqPhoto second{};
    ASSERT_EQ(KqPhotoUpload(&ctx_, &second, file.c_str(), nullptr, nullptr), KQ_OK);
    EXPECT_STREQ(second.fileName, "beach (2).jpg");
    EXPECT_EQ(status("/photos/beach%20(2).jpg"), 200);
}

TEST_F(AlbumService, UploadFailures)
{
    connect();
    KqPhoto photo{};
    EXPECT_EQ(KqPhotoUpload(&ctx_, &photo, "/nonexistent/x.jpg", nullptr, nullptr), KQ_ERR_FILE);
    EXPECT_EQ(KqPhotoUpload(&ctx_, &photo, std::filesystem::temp_directory_path().c_str(),
                            nullptr, nullptr),
              KQ_ERR_FILE);
    EXPECT_EQ(KqPhotoUpload(&ctx_, &photo, nullptr, nullptr, nullptr), KQ_ERR_INVALID_ARGUMENT);

    const auto file = writeFile("cancelled.jpg", 50000);
    EXPECT_EQ(KqPhotoUpload(&ctx_, &photo, file.c_str(), alwaysCancel, nullptr), KQ_ERR_CANCELLED);
    EXPECT_NE(status("/photos/cancelled.jpg"), 200);
}

TEST_F(AlbumService, AddPhotoMovesItIntoTheAlbum)
{
    connect();
    KqAlbum made = newAlbum("Trip");
    ASSERT_EQ(KqAlbumNew(&ctx_, &made), KQ_OK);
    const std::vector<KqAlbum> list = albums();
    ASSERT_EQ(list.size(), 1u);

    const auto file = writeFile("dune.jpg", 1000);
    for (int i = 0; i < 2; ++i) {
        KqPhoto photo{};
        ASSERT_EQ(KqPhotoUpload(&ctx_, &photo, file.c_str(), nullptr, nullptr), KQ_OK);
        KqAlbum byKey{};
        std::memcpy(byKey.key, list[0].key, sizeof byKey.key);  // only the key, as callers do
        EXPECT_EQ(KqAlbumAddPhoto(&ctx_, &byKey, &photo), KQ_OK);
    }
    EXPECT_EQ(status("/photos/Trip/dune.jpg"), 200);
    EXPECT_EQ(status("/photos/Trip/dune%20(2).jpg"), 200);
    EXPECT_EQ(status("/photos/dune.jpg"), 404);

    KqPhoto photo{};
    ASSERT_EQ(KqPhotoUpload(&ctx_, &photo, file.c_str(), nullptr, nullptr), KQ_OK);
    KqAlbum unknown{};
    fill(unknown.key, sizeof unknown.key, "000000000000000");
    EXPECT_EQ(KqAlbumAddPhoto(&ctx_, &unknown, &photo), KQ_ERR_INVALID_ARGUMENT);
    KqAlbum empty{};
    EXPECT_EQ(KqAlbumAddPhoto(&ctx_, &empty, &photo), KQ_ERR_INVALID_ARGUMENT);
}

TEST_F(AlbumService, SpaceLeftFollowsTheQuota)
{
    connect();
    const int32_t before = KqGetSpaceLeft(&ctx_);
    EXPECT_GT(before, 150);
    EXPECT_LE(before, 200);
    const auto file = writeFile("big.jpg", 60000);
    KqPhoto photo{};
    ASSERT_EQ(KqPhotoUpload(&ctx_, &photo, file.c_str(), nullptr, nullptr), KQ_OK);
    const int32_t after = KqGetSpaceLeft(&ctx_);
    EXPECT_LE(after, before - 60);
    EXPECT_GE(after, 0);
}

class SmallQuota : public AlbumService {
protected:
    long quota() const override { return 5000; }
};

TEST_F(SmallQuota, UploadBeyondTheQuotaFails)
{
    connect();
    const auto file = writeFile("huge.jpg", 20000);
    KqPhoto photo{};
    const int32_t code = KqPhotoUpload(&ctx_, &photo, file.c_str(), nullptr, nullptr);
    EXPECT_LT(code, 0);
    EXPECT_NE(code, KQ_ERR_CANCELLED);
}

// A server that takes the connection and never answers: the call ends by itself.
TEST(AlbumServiceTimeouts, SilentServerGivesNoConnection)
{
    plat::testing::SilentServer server;
    ASSERT_TRUE(server.listening());
    const std::string url = server.url();

    KqSetTimeouts(1000, 1000);
    KqContext ctx{};
    EXPECT_EQ(KqConnect(&ctx, url.c_str(), 0), KQ_ERR_NO_CONNECTION);
    server.close();
    // Nobody listens any more.
    EXPECT_EQ(KqConnect(&ctx, url.c_str(), 0), KQ_ERR_NO_CONNECTION);
    KqSetTimeouts(15000, 60000);
}

// A server that lists the album root and knows no picture, but drops every connection that
// brings one, after part of the picture has arrived.
class CuttingServer {
public:
    CuttingServer()
    {
        fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(fd_, 8);
        socklen_t len = sizeof addr;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~CuttingServer()
    {
        shutdown(fd_, SHUT_RDWR);  // ends the waiting accept
        thread_.join();
        close(fd_);
    }
    std::string rootUrl() const { return "http://127.0.0.1:" + std::to_string(port_) + "/photos/"; }
    int puts() const { return puts_.load(); }

private:
    void serve()
    {
        for (;;) {
            const int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) return;
            while (answer(c)) {
            }
            close(c);
        }
    }

    // One request; false when the connection is to go.
    bool answer(int c)
    {
        std::string head;
        char ch;
        while (head.find("\r\n\r\n") == std::string::npos) {
            if (recv(c, &ch, 1, 0) != 1) return false;
            head += ch;
        }
        size_t length = 0;
        if (const size_t at = head.find("Content-Length: "); at != std::string::npos)
            length = std::strtoul(head.c_str() + at + 16, nullptr, 10);
        if (head.rfind("PUT ", 0) == 0) {
            ++puts_;
            std::vector<char> some(std::min<size_t>(length, 1000));
            recv(c, some.data(), some.size(), MSG_WAITALL);
            return false;
        }
        std::vector<char> body(length);
        if (length > 0 && recv(c, body.data(), length, MSG_WAITALL) != static_cast<ssize_t>(length)) return false;
        std::string reply;
        if (head.rfind("PROPFIND /photos/ ", 0) == 0) {
            const std::string xml =
                "<?xml version=\"1.0\" encoding=\"utf-8\"?><D:multistatus xmlns:D=\"DAV:\"><D:response>"
                "<D:href>/photos/</D:href><D:propstat><D:status>HTTP/1.1 200 OK</D:status><D:prop>"
                "<D:resourcetype><D:collection/></D:resourcetype></D:prop></D:propstat></D:response>"
                "</D:multistatus>";
            reply = "HTTP/1.1 207 Multi-Status\r\nContent-Type: application/xml\r\nContent-Length: " +
                    std::to_string(xml.size()) + "\r\n\r\n" + xml;
        } else {
            reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        }
        return send(c, reply.data(), reply.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(reply.size());
    }

    int fd_ = -1;
    int port_ = 0;
    std::atomic<int> puts_{0};
    std::thread thread_;
};

// The picture goes over the connection the name check before it left open; when the server
// drops it, the picture is sent again from its start on a new one, and a connection that is
// lost again reads as no connection.
TEST(AlbumServiceTimeouts, ConnectionCutDuringAnUploadGivesNoConnection)
{
    CuttingServer server;
    KqSetTimeouts(5000, 5000);
    KqContext ctx{};
    fill(ctx.loginName, sizeof ctx.loginName, kUser);
    fill(ctx.password, sizeof ctx.password, kPassword);
    ASSERT_EQ(KqConnect(&ctx, server.rootUrl().c_str(), 0), KQ_OK);
    const auto file = writeFile("cut.jpg", 200000);
    KqPhoto photo{};
    EXPECT_EQ(KqPhotoUpload(&ctx, &photo, file.c_str(), nullptr, nullptr), KQ_ERR_NO_CONNECTION);
    EXPECT_GE(server.puts(), 1);
    KqDisconnect(&ctx);
    KqSetTimeouts(15000, 60000);
}

}  // namespace
