// The upload dialog's logic: the details toggle, the login and connect rules, exit against a
// running upload, the queue read once, and a whole run against the loopback album service.
#include "Caravel/src/RunFlags.h"
#include "Caravel/src/UploaderDlg.h"
#include "Caravel/src/tests/RecordingView.h"
#include "outside/kqapi/tests/DavServer.h"

#include "platform/fs/ProfileFile.h"
#include "platform/registry/Registry.h"
#include "platform/testing/SilentServer.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>

using namespace caravel;
namespace fs = std::filesystem;

namespace {

class FakeDialogView : public UploaderDialogView {
public:
    // the worker thread calls these too
    void ShowMessage(const std::string& t) override
    {
        std::lock_guard<std::mutex> l(lock);
        messages.push_back(t);
    }
    void SetStatusText(const std::string& t) override
    {
        std::lock_guard<std::mutex> l(lock);
        status = t;
    }
    void SetFileNameText(const std::string&) override {}
    void AddFileRow(const std::string& n) override { rows.push_back(n); }
    void RemoveFileRow(int i) override
    {
        std::lock_guard<std::mutex> l(lock);
        rows.erase(rows.begin() + i);
    }
    void SetRunning(bool r) override { running = r; }
    void SetLoginNameText(const std::string& t) override { loginText = t; }
    void SetAlbumText(const std::string& t) override { albumText = t; }
    void SetDetails(bool e, const std::string& text) override
    {
        expanded = e;
        detailsText = text;
    }
    void SetProgressPosition(int p) override { progress = p; }
    void SetWaitCursor(bool) override {}
    void FocusUpload() override {}
    bool AskLoginData(LoginData* d, bool) override
    {
        ++loginAsked;
        if (answer)
            *d = *answer;
        return answer.has_value();
    }
    bool AskAlbum(CAlbumSession*, int32_t*, bool*) override
    {
        ++albumAsked;
        return false;
    }
    void PostToUi(std::function<void()> w) override
    {
        std::lock_guard<std::mutex> l(lock);
        posted.push_back(std::move(w));
    }
    void RunPosted()
    {
        auto work = std::move(posted);
        posted.clear();
        for (auto& w : work)
            w();
    }
    void Quit() override { quit = true; }

    std::vector<std::string> messages, rows;
    std::string status, loginText, albumText, detailsText;
    bool running = false, expanded = true, quit = false;
    int progress = -1, loginAsked = 0, albumAsked = 0;
    std::optional<LoginData> answer;
    std::vector<std::function<void()>> posted;
    std::mutex lock;
};

class NoConversion : public PictureConverter {
public:
    bool SetUpPipeline() override { return true; }
    void TearDownPipeline() override {}
    bool LoadImageFile(const std::string&, bool* jpeg) override
    {
        *jpeg = true;
        return false;
    }
    bool TransformAndSave(const std::string&, int32_t, int32_t) override { return false; }
};

class Dialog : public testing::Test {
protected:
    plat::testing::TempRoot root;
    FakeDialogView view;

    std::unique_ptr<CUploaderDlg> Make()
    {
        auto d = std::make_unique<CUploaderDlg>(&view, UploaderSettings(plat::KeyContainer(root.path() / "keys/u.key")),
                                                (root.path() / "work").string());
        d->SetConverterFactory([] { return std::make_unique<NoConversion>(); });
        d->OnInitDialog();
        return d;
    }
    plat::RegKey Key()
    {
        plat::RegKey k;
        EXPECT_EQ(plat::Registry::create(plat::Hive::CurrentUser, kUploaderKey, &k), plat::RegResult::Ok);
        return k;
    }
    std::string QueueOf(const std::vector<std::string>& files)
    {
        const fs::path q = root.path() / "vorelQ";
        for (size_t i = 0; i < files.size(); ++i) {
            const fs::path f = root.path() / files[i];
            std::ofstream(f) << "jpeg";
            plat::writeProfileString(q, "FileParameters", "Source" + std::to_string(i + 1), f.string());
        }
        plat::writeProfileString(q, "General", "TotalItems", std::to_string(files.size()) + " ");
        Key().setString("QueuedDataFile", q.string());
        return q.string();
    }
};

}  // namespace

TEST_F(Dialog, OpensCollapsedAtOriginalSizeAndToggles)
{
    Key().setDword("ImageSize", 3);
    auto d = Make();
    EXPECT_EQ(d->Settings().imageSize, kImageSizeOriginal);
    EXPECT_FALSE(view.expanded);
    EXPECT_EQ(view.detailsText, "<< &Details");
    EXPECT_EQ(view.albumText, "Storage Room");
    d->OnDetails();
    EXPECT_TRUE(view.expanded);
    EXPECT_EQ(view.detailsText, "&Details >>");
    d->OnDetails();
    EXPECT_FALSE(view.expanded);
}

TEST_F(Dialog, UploadAsksForLoginDataAndConnectsOnlyWithThem)
{
    const std::string q = QueueOf({"a.jpg"});
    auto d = Make();
    d->ReadUploadQueue();
    EXPECT_FALSE(fs::exists(q));
    std::string left;
    EXPECT_EQ(Key().queryString("QueuedDataFile", &left), plat::RegResult::NotFound);
    EXPECT_EQ(view.rows, std::vector<std::string>{"a.jpg"});

    d->OnUpload();  // the user cancels the login dialog
    EXPECT_EQ(view.loginAsked, 1);
    EXPECT_EQ(view.messages,
              std::vector<std::string>{"Invalid User Information,\n either the Login name or Password is not specified"});
    EXPECT_EQ(d->GetRunState(), kRunIdle);

    view.messages.clear();
    view.answer = LoginData{"Alice", "pw", false, false};
    d->OnUpload();
    EXPECT_EQ(view.loginText, "Alice");
    EXPECT_EQ(view.messages, std::vector<std::string>{"No URL for Brovane"});
}

TEST_F(Dialog, EmptyQueueDoesNothingEvenWhenStartingByItself)
{
    Key().setString("UserName", "alice");
    Key().setDword("AutoUploadFlag", 1);
    auto d = Make();
    d->Settings().password = "pw";
    d->ReadUploadQueue();  // no queue file named at all
    EXPECT_EQ(view.status, "0 file(s) waiting to upload");
    EXPECT_EQ(view.loginAsked, 0);
    EXPECT_TRUE(view.messages.empty());
}

TEST_F(Dialog, ProgressNeverDividesByZero)
{
    auto d = Make();
    const std::tuple<int64_t, int64_t, int> cases[] = {{0, 0, 0}, {5, 0, 0}, {1, 2, 50}, {3, 2, 100}, {-1, 2, 0}};
    for (auto [done, total, position] : cases) {
        d->SetProgress(done, total);
        EXPECT_EQ(view.progress, position) << done << "/" << total;
    }
}

TEST_F(Dialog, RemoveDeletesOwnedSourcesOnly)
{
    auto d = Make();
    d->Queue().Batches().emplace_back();
    std::vector<std::string> paths;
    for (int i = 0; i < 4; ++i) {
        paths.push_back((root.path() / ("p" + std::to_string(i) + ".jpg")).string());
        std::ofstream(paths.back()) << "x";
        d->Queue().AddQueuedFile(paths.back(), static_cast<int16_t>(i % 2), &d->Queue().Batches().front());
    }
    d->OnRemove({0, 1, 3});
    EXPECT_FALSE(fs::exists(paths[0]));  // owner 0
    EXPECT_TRUE(fs::exists(paths[1]));
    EXPECT_TRUE(fs::exists(paths[3]));
    EXPECT_EQ(view.rows, std::vector<std::string>{"p2.jpg"});
    EXPECT_EQ(view.status, "1 file(s) waiting to upload");
    d->OnRemove({});
    EXPECT_EQ(view.rows.size(), 1u);
}

TEST_F(Dialog, WholeRunAgainstTheService)
{
    if (!kqtest::DavServer::unavailableReason().empty())
        GTEST_SKIP() << kqtest::DavServer::unavailableReason();
    kqtest::DavServer server("alice", "secret", 200000);
    ASSERT_TRUE(server.running());
    Key().setString("BrovaneURL", server.rootUrl());
    QueueOf({"a.jpg", "b.jpg"});
    auto d = Make();
    d->ReadUploadQueue();
    view.answer = LoginData{"alice", "secret", false, false};
    d->OnLoginName();
    d->OnUpload();
    EXPECT_EQ(d->GetRunState(), kRunRunning);
    EXPECT_TRUE(view.running);
    d->OnExit();  // a run is going on: this only asks it to stop
    EXPECT_FALSE(view.quit);
    d->JoinWorker();
    view.RunPosted();
    EXPECT_EQ(d->GetRunState(), kRunEnded);
    EXPECT_FALSE(view.running);
    EXPECT_EQ(CancelFlag().load(), 0);

    d->OnUpload();
    d->JoinWorker();
    view.RunPosted();
    EXPECT_TRUE(view.rows.empty()) << view.rows.size();
    EXPECT_TRUE(view.messages.empty()) << view.messages.front();
    d->OnExit();
    EXPECT_TRUE(view.quit);
}

// With the album service out of reach the user quits: every picture handed over
// stays on disk, and the next start shows them waiting again.
TEST_F(Dialog, ExitWithTheServiceDownKeepsEveryPictureForTheNextStart)
{
    Key().setString("BrovaneURL", "http://127.0.0.1:1/photos/");
    const fs::path q = root.path() / "vorelQ";
    std::vector<std::string> paths;
    for (int i = 1; i <= 3; ++i) {
        paths.push_back((root.path() / ("web" + std::to_string(i) + ".jpg")).string());
        std::ofstream(paths.back()) << "jpeg";
        plat::writeProfileString(q, "FileParameters", "Source" + std::to_string(i), paths.back());
        plat::writeProfileString(q, "FileParameters", "Owner" + std::to_string(i), "0");  // the only copies
    }
    plat::writeProfileString(q, "General", "TotalItems", "3 ");
    Key().setString("QueuedDataFile", q.string());
    {
        auto d = Make();
        d->ReadUploadQueue();
        view.answer = LoginData{"alice", "secret", false, false};
        d->OnLoginName();
        d->OnUpload();   // no connection
        d->JoinWorker();
        view.RunPosted();
        d->OnExit();
        EXPECT_TRUE(view.quit);
    }
    for (const auto& p : paths) EXPECT_TRUE(fs::exists(p)) << p;
    view.rows.clear();
    auto next = Make();
    next->ReadUploadQueue();
    EXPECT_EQ(view.rows, (std::vector<std::string>{"web1.jpg", "web2.jpg", "web3.jpg"}));
    EXPECT_EQ(view.status, "3 file(s) waiting to upload");
}

// A server that takes the connection and never answers: the window's thread is not held
// while the connection is tried, Cancel ends the run without a message, and nothing is sent.
TEST_F(Dialog, ASilentServerNeitherHoldsTheWindowNorOutlastsCancel)
{
    plat::testing::SilentServer server;
    ASSERT_TRUE(server.listening());
    Key().setString("BrovaneURL", server.url("/photos/"));
    QueueOf({"a.jpg"});
    KqSetTimeouts(60000, 60000);
    auto d = Make();
    d->ReadUploadQueue();
    view.answer = LoginData{"alice", "secret", false, false};
    d->OnLoginName();

    d->OnUpload();  // returns while the server is silent
    EXPECT_EQ(d->GetRunState(), kRunRunning);
    EXPECT_TRUE(view.running);
    EXPECT_EQ(view.status, "Connecting To Brovane");
    d->OnCancelUpload();
    server.close();  // the silent server goes, so the connection attempt ends now
    d->JoinWorker();
    view.RunPosted();
    KqSetTimeouts(15000, 60000);
    EXPECT_EQ(d->GetRunState(), kRunEnded);
    EXPECT_FALSE(view.running);
    EXPECT_TRUE(view.messages.empty()) << view.messages.front();
    EXPECT_EQ(view.rows, std::vector<std::string>{"a.jpg"});
    EXPECT_EQ(view.status, "1 file(s) waiting to upload");
}

// The album choice connects on the worker too: the window is free while it connects, the albums
// are asked for once connected, and a Cancel while a silent server holds the connection asks nothing.
TEST_F(Dialog, AlbumChoiceConnectsOffTheWindowThreadAndHearsCancel)
{
    if (!kqtest::DavServer::unavailableReason().empty())
        GTEST_SKIP() << kqtest::DavServer::unavailableReason();
    {
        kqtest::DavServer server("alice", "secret", 200000);
        ASSERT_TRUE(server.running());
        Key().setString("BrovaneURL", server.rootUrl());
        auto d = Make();
        view.answer = LoginData{"alice", "secret", false, false};
        d->OnLoginName();
        d->SelectAlbum();
        EXPECT_TRUE(view.running);
        d->JoinWorker();
        view.RunPosted();
        EXPECT_EQ(view.albumAsked, 1);
        EXPECT_FALSE(view.running);
        EXPECT_EQ(d->GetRunState(), kRunIdle);
        EXPECT_EQ(view.albumText, "Storage Room");
        EXPECT_TRUE(view.messages.empty()) << view.messages.front();
    }
    plat::testing::SilentServer server;
    ASSERT_TRUE(server.listening());
    Key().setString("BrovaneURL", server.url("/photos/"));
    KqSetTimeouts(60000, 60000);
    auto d = Make();
    view.answer = LoginData{"alice", "secret", false, false};
    d->OnLoginName();
    view.albumAsked = 0;
    d->SelectAlbum();  // returns while the server is silent
    EXPECT_EQ(view.status, "Connecting To Brovane");
    EXPECT_TRUE(view.running);
    d->SelectAlbum();  // a second choice while connecting does nothing
    d->OnCancelUpload();
    server.close();
    d->JoinWorker();
    view.RunPosted();
    KqSetTimeouts(15000, 60000);
    EXPECT_EQ(view.albumAsked, 0);
    EXPECT_FALSE(view.running);
    EXPECT_TRUE(view.messages.empty()) << view.messages.front();
    EXPECT_EQ(CancelFlag().load(), 0);
}
