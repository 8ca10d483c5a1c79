#include "viewer/transfer/UploadClient.h"

#include "Skylet/tests/SkyletFixture.h"
#include "platform/com/ComClasses.h"

#include <gtest/gtest.h>

namespace hr = plat::hr;

namespace {

// A server that answers from a script, at the interface seam.
class ScriptedServer : public skylet::IJqUploadServer {
public:
    std::vector<plat::HResult> addResults;  // by call, Ok past the end
    plat::HResult startResult = hr::Ok;
    std::vector<std::pair<std::string, int32_t>> added;
    int starts = 0;

    plat::HResult AddFile(const std::optional<std::string>& path, int32_t owner) override {
        std::size_t i = added.size();
        added.emplace_back(path.value_or("<null>"), owner);
        return i < addResults.size() ? addResults[i] : hr::Ok;
    }
    plat::HResult StartUpload() override {
        ++starts;
        return startResult;
    }
};

// What the client owns: it outlives no call, the script does.
class Forwarder : public skylet::IJqUploadServer {
public:
    explicit Forwarder(std::shared_ptr<ScriptedServer> s) : s_(std::move(s)) {}
    plat::HResult AddFile(const std::optional<std::string>& p, int32_t o) override { return s_->AddFile(p, o); }
    plat::HResult StartUpload() override { return s_->StartUpload(); }

private:
    std::shared_ptr<ScriptedServer> s_;
};

struct Scripted {
    std::shared_ptr<ScriptedServer> server;
    int creations = 0;
    plat::HResult createResult = hr::Ok;
    std::vector<plat::HResult> addResults;
    plat::HResult startResult = hr::Ok;

    UploadClient client() {
        return UploadClient([this](std::unique_ptr<skylet::IJqUploadServer>* out) {
            ++creations;
            if (plat::failed(createResult)) return createResult;
            server = std::make_shared<ScriptedServer>();
            server->addResults = addResults;
            server->startResult = startResult;
            *out = std::make_unique<Forwarder>(server);
            return hr::Ok;
        });
    }
};

struct StartCase {
    plat::HResult start;
    bool started;
    JqIfMngResult result;
};

TEST(UploadClient, StartResultsMapToResultCodes) {
    const StartCase cases[] = {
        {hr::Ok, true, 0},
        {hr::OutOfMemory, false, -118},
        {hr::Fail, false, -88},
        {hr::AccessDenied, false, -89},
        {hr::False, false, -114},
        {hr::ServerUnavailable, false, -114},
        {hr::InvalidArg, false, -114},
    };
    for (const StartCase& c : cases) {
        Scripted s;
        s.startResult = c.start;
        JqIfMngResult r = 12345;
        std::vector<std::string> notQueued;
        EXPECT_EQ(s.client().UploadFiles({"/w/a.jpg", "/w/b.jpg"}, &r, &notQueued), c.started) << c.start;
        EXPECT_EQ(r, c.result) << c.start;
        EXPECT_EQ(notQueued.size(), c.started ? 0u : 2u) << c.start;
        ASSERT_TRUE(s.server);
        EXPECT_EQ(s.server->added, (std::vector<std::pair<std::string, int32_t>>{{"/w/a.jpg", 0}, {"/w/b.jpg", 0}}));
    }
}

TEST(UploadClient, NothingAddedStartsNothing) {
    Scripted empty;
    JqIfMngResult r = 0;
    EXPECT_FALSE(empty.client().UploadFiles({}, &r));
    EXPECT_EQ(r, -114);
    EXPECT_EQ(empty.creations, 0);  // no server for an empty list

    Scripted noServer;
    noServer.createResult = hr::ClassNotRegistered;
    EXPECT_FALSE(noServer.client().UploadFiles({"/w/a.jpg"}, &r));
    EXPECT_EQ(r, -114);

    Scripted allFail;
    allFail.addResults = {hr::Fail, hr::Fail};
    std::vector<std::string> notQueued;
    EXPECT_FALSE(allFail.client().UploadFiles({"/w/a.jpg", "/w/b.jpg"}, &r, &notQueued));
    EXPECT_EQ(r, -114);
    EXPECT_EQ(allFail.server->starts, 0);
    EXPECT_EQ(notQueued.size(), 2u);
}

TEST(UploadClient, PartlyRefusedListStartsAndNamesTheRefused) {
    Scripted s;
    s.addResults = {hr::Ok, hr::Fail, hr::Ok};
    JqIfMngResult r = -1;
    std::vector<std::string> notQueued;
    EXPECT_TRUE(s.client().UploadFiles({"/w/a.jpg", "/w/b.jpg", "/w/c.jpg"}, &r, &notQueued));
    EXPECT_EQ(r, 0);
    EXPECT_EQ(s.server->starts, 1);
    EXPECT_EQ(notQueued, std::vector<std::string>{"/w/b.jpg"});
}

// The real upload server, started on demand.
class UploadClientWithServer : public SkyletFixture {};

TEST_F(UploadClientWithServer, HandsTheFilesToTheUploadServer) {
    UploadClient client;
    const std::string a = root.path().string() + "/Lumora/Brovane/2026 12 10/\xe5\x86\x99\xe7\x9c\x9f 1.jpg";
    JqIfMngResult r = -1;
    ASSERT_TRUE(client.UploadFiles({a, "/w/b.jpg"}, &r));
    EXPECT_EQ(r, 0);
    auto queue = queuedDataFile();
    ASSERT_TRUE(queue);
    EXPECT_EQ(readText(*queue),
              "[FileParameters]\nSource1=" + a + "\nOwner1=0\nSource2=/w/b.jpg\nOwner2=0\n[General]\nTotalItems=2 \n");
    EXPECT_EQ(caravelRuns(1).size(), 1u);
}

TEST_F(UploadClientWithServer, RunningUploadProgramAndMissingServer) {
    holdCaravel(true);
    UploadClient client;
    JqIfMngResult r = -1;
    ASSERT_TRUE(client.UploadFiles({"/w/a.jpg"}, &r));
    ASSERT_EQ(caravelRuns(1).size(), 1u);
    EXPECT_FALSE(client.UploadFiles({"/w/b.jpg"}, &r));
    EXPECT_EQ(r, -89);

    ASSERT_EQ(plat::unregisterLocalServer(skylet::kJqUploadServerClassId), hr::Ok);
    for (pid_t p : processesOfRoot("Skylet")) {
        kill(p, SIGTERM);
        waitUntilGone(p);
    }
    EXPECT_FALSE(client.UploadFiles({"/w/c.jpg"}, &r));
    EXPECT_EQ(r, -114);
}

}  // namespace
