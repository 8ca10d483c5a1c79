// End to end with real processes: clients reach the upload server through its
// class registration, the server starts on demand, writes the queue, starts the
// upload program and ends when idle.
#include "Skylet/JqUploadServerProxy.h"
#include "Skylet/tests/SkyletFixture.h"
#include "platform/com/ComClasses.h"
#include "platform/desktop/Desktop.h"
#include "platform/msg/Messages.h"
#include "platform/proc/Process.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using skylet::JqUploadServerProxy;
namespace hr = plat::hr;

namespace {

class SkyletProcess : public SkyletFixture {
protected:
    std::unique_ptr<JqUploadServerProxy> create() {
        std::unique_ptr<JqUploadServerProxy> p;
        EXPECT_EQ(JqUploadServerProxy::create(&p), hr::Ok);
        return p;
    }
    pid_t onlyServer() {
        auto pids = processesOfRoot("Skylet");
        EXPECT_EQ(pids.size(), 1u);
        return pids.empty() ? 0 : pids[0];
    }
};

TEST_F(SkyletProcess, ActivationQueueRegistryAndUploadProgram) {
    auto server = create();
    ASSERT_TRUE(server);
    const std::string path = "/media/card/DCIM/100 VOREL/\xe5\x86\x99\xe7\x9c\x9f \xc3\xa9t\xc3\xa9.JPG";
    ASSERT_EQ(server->AddFile(path, 0), hr::Ok);
    ASSERT_EQ(server->AddFile(std::string("/raw/\xff\xfe name.jpg"), 0), hr::Ok);  // not UTF-8: kept byte for byte
    ASSERT_EQ(server->StartUpload(), hr::Ok);
    auto queue = queuedDataFile();
    ASSERT_TRUE(queue);
    EXPECT_EQ(readText(*queue), "[FileParameters]\nSource1=" + path + "\nOwner1=0\nSource2=/raw/\xff\xfe name.jpg\nOwner2=0\n"
                                "[General]\nTotalItems=2 \n");
    auto runs = caravelRuns(1);
    ASSERT_EQ(runs.size(), 1u);
    // no arguments, and none of the server's sockets or locks
    EXPECT_NE(runs[0].find("argc=1\nfds=0 1 2 \n"), std::string::npos) << runs[0];
    // nor the client's terminal or pipes
    EXPECT_NE(runs[0].find("\nstdout=/dev/null\n"), std::string::npos) << runs[0];
}

TEST_F(SkyletProcess, MissingUploadProgramShowsTheErrorBoxOnTheDesktop) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);   // the server and its box inherit it
    fs::remove(caravelPath());
    auto server = create();
    ASSERT_TRUE(server);
    ASSERT_EQ(server->AddFile("/pictures/a.jpg", 0), hr::Ok);
    EXPECT_EQ(server->StartUpload(), hr::Fail);
    std::optional<plat::TopLevelWindow> box;
    for (int i = 0; i < 600 && !box; ++i) {
        box = plat::findTopLevelByTitle("Error");
        if (!box) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    unsetenv("QT_QPA_PLATFORM");
    ASSERT_TRUE(box) << "no error box came up";
    const auto skylets = processesOfRoot("Skylet");
    EXPECT_NE(std::find(skylets.begin(), skylets.end(), box->pid), skylets.end());
    EXPECT_NE(messages().find("Error: Unable to find App, " + caravelPath().string()), std::string::npos);
    // the box goes when it is answered
    ASSERT_TRUE(plat::postToTopLevel(*box, plat::kMsgClose, 0, 0));
    EXPECT_TRUE(waitUntilGone(box->pid));
}

TEST_F(SkyletProcess, SeveralClientsAtOnceGetOneServerAndAQueueEach) {
    constexpr int kClients = 5;
    std::vector<std::unique_ptr<JqUploadServerProxy>> clients(kClients);
    std::vector<std::thread> threads;
    for (int i = 0; i < kClients; ++i) {
        threads.emplace_back([&, i] {
            clients[i] = create();
            if (clients[i]) clients[i]->AddFile("/pictures/" + std::to_string(i) + ".jpg", 0);
        });
    }
    for (auto& t : threads) t.join();
    for (auto& c : clients) ASSERT_TRUE(c);
    // A server started by a client that lost the race leaves by itself once it
    // sees the other one serving; what stays is one server.
    for (int i = 0; i < 500 && processesOfRoot("Skylet").size() > 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(processesOfRoot("Skylet").size(), 1u);
    EXPECT_EQ(queueFiles().size(), static_cast<std::size_t>(kClients));
    ASSERT_EQ(clients[3]->StartUpload(), hr::Ok);
    EXPECT_EQ(readText(*queuedDataFile()), "[FileParameters]\nSource1=/pictures/3.jpg\nOwner1=0\n[General]\nTotalItems=1 \n");
}

TEST_F(SkyletProcess, SecondStartWhileTheUploadProgramRunsIsRefused) {
    holdCaravel(true);
    auto first = create();
    ASSERT_EQ(first->AddFile("/a.jpg", 0), hr::Ok);
    ASSERT_EQ(first->StartUpload(), hr::Ok);
    ASSERT_EQ(caravelRuns(1).size(), 1u);
    const auto recorded = queuedDataFile();

    auto second = create();
    ASSERT_EQ(second->AddFile("/b.jpg", 0), hr::Ok);
    EXPECT_EQ(second->StartUpload(), hr::AccessDenied);
    EXPECT_EQ(queuedDataFile(), recorded);
    ASSERT_EQ(queueFiles().size(), 1u);
    EXPECT_EQ(queueFiles()[0].string(), *recorded);
    EXPECT_EQ(caravelRuns().size(), 1u);
}

TEST_F(SkyletProcess, ServerEndsWhenIdleAlsoAfterAClientDiedHoldingAnObject) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::unique_ptr<JqUploadServerProxy> p;
        char c = JqUploadServerProxy::create(&p) == hr::Ok && p->AddFile("/left.jpg", 0) == hr::Ok ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    pid_t server = onlyServer();
    ASSERT_NE(server, 0);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(waitUntilGone(server));  // five seconds after the last object went
    EXPECT_FALSE(fs::exists(plat::classSocketPath("{5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B11}")));
    EXPECT_EQ(queueFiles().size(), 1u);  // an unstarted queue stays, unreferenced
    EXPECT_FALSE(queuedDataFile());
    close(ready[0]);
    close(ready[1]);
}

TEST_F(SkyletProcess, StaleSocketOfAKilledServerIsReplaced) {
    {
        auto first = create();
        ASSERT_TRUE(first);
        pid_t server = onlyServer();
        kill(server, SIGKILL);
        ASSERT_TRUE(waitUntilGone(server));
        EXPECT_EQ(first->AddFile("/a.jpg", 0), hr::ServerUnavailable);
    }
    EXPECT_TRUE(fs::exists(plat::classSocketPath("{5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B11}")));
    auto again = create();
    ASSERT_TRUE(again);
    ASSERT_EQ(again->AddFile("/b.jpg", 0), hr::Ok);
    EXPECT_EQ(again->StartUpload(), hr::Ok);
}

TEST_F(SkyletProcess, RegistrationSwitches) {
    const std::string exe = (plat::testing::buildDir() / "Skylet/Skylet").string();
    ASSERT_EQ(plat::unregisterLocalServer("{5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B11}"), hr::Ok);
    auto run = [&](const std::string& arg) { return std::system(("'" + exe + "' " + arg).c_str()); };
    EXPECT_EQ(run("/regserver"), 0);
    fs::path program;
    ASSERT_EQ(plat::findLocalServer("{5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B11}", &program), hr::Ok);
    EXPECT_EQ(fs::canonical(program), fs::canonical(exe));
    EXPECT_EQ(run("-UNREGSERVER"), 0);
    EXPECT_EQ(plat::findLocalServer("{5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B11}", &program), hr::ClassNotRegistered);
    EXPECT_EQ(run("x-RegServer"), 0);  // found anywhere after a '-'
    EXPECT_EQ(plat::findLocalServer("{5B1E7A20-3C44-4E8B-9D21-6A0F2C7E4B11}", &program), hr::Ok);
}

}  // namespace
