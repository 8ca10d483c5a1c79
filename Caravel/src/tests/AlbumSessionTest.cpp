// Album session: login data as the library gets them, the messages of failing codes, the album
// choice, and a run against the loopback album service.
#include "Caravel/src/AlbumSession.h"
#include "Caravel/src/RunFlags.h"
#include "Caravel/src/tests/RecordingView.h"
#include "outside/kqapi/tests/DavServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using caravel::CAlbumSession;

TEST(AlbumSession, LoginDataAreLowerCasedAndBounded)
{
    CAlbumSession s("http://127.0.0.1:1/photos/", nullptr);
    s.SetLoginName("User");
    s.SetPassword("PäSS");
    EXPECT_STREQ(s.Context().loginName, "user");
    EXPECT_STREQ(s.Context().password, "päss");
    EXPECT_STREQ(s.Context().serverAddress, "http://127.0.0.1:1/photos/");
    s.SetLoginName(std::string(400, 'N'));
    EXPECT_EQ(std::strlen(s.Context().loginName), 255u);
    EXPECT_EQ(s.Context().password[0], 'p');  // the field beside is untouched
}

TEST(AlbumSession, FailingCodesShowTheirMessageOnce)
{
    const std::pair<int32_t, const char*> cases[] = {
        {0, nullptr},
        {-1, "Unknown Error"},
        {-3, "Invalid Account Data, check Login name and Password"},
        {-8, "Memory Error"},
        {-9, nullptr},  // the user's own cancel
        {-100, "Not Implemented"},
        {5, nullptr},
    };
    for (auto [code, text] : cases) {
        caravel_test::RecordingView view;
        CAlbumSession s("x", &view);
        EXPECT_EQ(s.ReportResult(code), code);
        if (text)
            EXPECT_EQ(view.messages, std::vector<std::string>{text}) << code;
        else
            EXPECT_TRUE(view.messages.empty()) << code;
    }
}

TEST(AlbumSession, NothingHappensWithoutAConnection)
{
    caravel_test::RecordingView view;
    CAlbumSession s("x", &view);
    EXPECT_EQ(s.UploadPhoto("/nonexistent.jpg", nullptr), -1);
    EXPECT_EQ(s.GetAlbumList(), -1);
    EXPECT_TRUE(view.messages.empty());
    // no album to point at: the storage room, never an out-of-range record
    s.SetUseStorageRoom(false);
    s.SetSelectedAlbum(-1);
    EXPECT_EQ(s.GetAlbum(-1), nullptr);
    EXPECT_EQ(s.GetAlbum(65535), nullptr);
    EXPECT_EQ(s.TargetAlbumKey(), "");
}

namespace {

class LiveService : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string reason = kqtest::DavServer::unavailableReason();
        if (!reason.empty()) {
            const char* ci = std::getenv("CI");
            if (ci && std::string(ci) == "true")
                FAIL() << reason;
            GTEST_SKIP() << reason;
        }
        server = std::make_unique<kqtest::DavServer>("alice", "secret", 200000);
        ASSERT_TRUE(server->running());
    }

    std::string Picture(size_t bytes) const
    {
        const auto path = std::filesystem::temp_directory_path() /
                          ("caravel-session-" + std::to_string(getpid()) + ".jpg");
        std::ofstream(path, std::ios::binary) << std::string(bytes, 'j');
        return path.string();
    }

    std::unique_ptr<kqtest::DavServer> server;
    caravel_test::RecordingView view;
};

}  // namespace

TEST_F(LiveService, ConnectListCreateAndUpload)
{
    CAlbumSession wrong(server->rootUrl(), &view);
    wrong.SetLoginName("alice");
    wrong.SetPassword("wrong");
    EXPECT_EQ(wrong.Connect(), -3);
    EXPECT_FALSE(wrong.IsConnected());

    CAlbumSession s(server->rootUrl(), &view);
    s.SetLoginName("Alice");  // the account is held in lower case
    s.SetPassword("SECRET");
    ASSERT_EQ(s.Connect(), 0);
    EXPECT_TRUE(s.IsConnected());
    EXPECT_EQ(s.GetAlbumList(), 0);
    EXPECT_EQ(s.GetAlbumCount(), 0);

    KqAlbum album{};
    std::strcpy(album.name, "Holiday");
    EXPECT_EQ(s.CreateAlbum(album), 0);
    ASSERT_EQ(s.GetAlbumList(), 1);
    ASSERT_NE(s.GetAlbum(0), nullptr);
    EXPECT_EQ(CAlbumSession::AlbumName(*s.GetAlbum(0)), "Holiday");
    EXPECT_GT(s.GetSpaceLeft(), 0);

    const std::string file = Picture(1000);
    EXPECT_EQ(s.UploadPhoto(file, nullptr), 0);
    s.SetUseStorageRoom(false);
    s.SetSelectedAlbum(0);
    const std::string key = s.TargetAlbumKey();
    ASSERT_FALSE(key.empty());
    EXPECT_EQ(s.UploadPhoto(file, key.c_str()), 0);
    EXPECT_TRUE(view.messages.empty());
    s.Disconnect();
    std::filesystem::remove(file);
}

// An album step that fails after the picture reached the service is finished by
// the next try; the picture is never stored a second time under a numbered name.
TEST_F(LiveService, ARetryFinishesTheAlbumStepInsteadOfUploadingAgain)
{
    CAlbumSession s(server->rootUrl(), &view);
    s.SetLoginName("alice");
    s.SetPassword("secret");
    ASSERT_EQ(s.Connect(), 0);
    KqAlbum album{};
    std::strcpy(album.name, "Trip");
    ASSERT_EQ(s.CreateAlbum(album), 0);
    ASSERT_EQ(s.GetAlbumList(), 1);
    s.SetUseStorageRoom(false);
    s.SetSelectedAlbum(0);
    const std::string key = s.TargetAlbumKey();
    ASSERT_FALSE(key.empty());

    const std::string file = Picture(1500);
    const std::string name = std::filesystem::path(file).filename().string();
    const std::string stem = name.substr(0, name.size() - 4);
    auto status = [this](const std::string& path) { return kqtest::httpStatus("HEAD", server->url(path), "alice", "secret"); };
    // The album goes away between the upload and the album step.
    ASSERT_EQ(kqtest::httpStatus("DELETE", server->url("/photos/Trip/"), "alice", "secret") / 100, 2);
    EXPECT_NE(s.UploadPhoto(file, key.c_str()), 0);
    EXPECT_EQ(status("/photos/" + name), 200);   // the upload itself arrived
    ASSERT_EQ(kqtest::httpStatus("MKCOL", server->url("/photos/Trip/"), "alice", "secret"), 201);
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(s.UploadPhoto(file, key.c_str()), 0);
        EXPECT_EQ(status("/photos/Trip/" + name), 200);
        EXPECT_EQ(status("/photos/" + name), 404);
        EXPECT_EQ(status("/photos/" + stem + "%20(2).jpg"), 404);
        EXPECT_EQ(status("/photos/Trip/" + stem + "%20(2).jpg"), attempt == 0 ? 404 : 200);  // a new upload is new
    }
    s.Disconnect();
    std::filesystem::remove(file);
}
