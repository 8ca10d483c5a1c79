#include "platform/desktop/Desktop.h"
#include "platform/desktop/FirstWindow.h"
#include "platform/desktop/RegisteredMessages.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

pid_t spawn(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST(CrossProcess, HiddenWindowOfAnotherProcessGetsTheBroadcastAndTheRestore) {
    plat::testing::TempRoot root;
    const auto output = root.path() / "peer.out";
    pid_t peer = spawn({DESKTOP_PEER, "Lumora - peer", "WakelyToLumoraMessageString", output.string()});
    ASSERT_GT(peer, 0);
    ASSERT_TRUE(plat::waitForFirstWindow(peer, plat::kFirstWindowTimeoutMs)) << slurp(output);

    // Same name, same number in both processes.
    std::string error;
    const uint32_t number = plat::registerMessage("wakelytolumoramessagestring", &error);
    ASSERT_NE(number, 0u) << error;

    auto found = plat::findTopLevelByTitlePrefix("LUMORA", plat::TitleCase::Insensitive);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->pid, peer);
    EXPECT_EQ(found->state, plat::WindowState::Hidden);
    EXPECT_FALSE(plat::findTopLevelByTitlePrefix("LUMORA", plat::TitleCase::Sensitive).has_value());

    EXPECT_TRUE(plat::broadcastMessage(number, 0, 5, &error)) << error;
    EXPECT_TRUE(plat::restoreAndRaise(*found, &error)) << error;

    int status = 0;
    ASSERT_EQ(waitpid(peer, &status, 0), peer);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << slurp(output);
    const std::string got = slurp(output);
    EXPECT_NE(got.find("message 0 5\n"), std::string::npos) << got;
    EXPECT_NE(got.find("restored\n"), std::string::npos) << got;

    // The peer left: its entry is gone, and a broadcast to nobody still succeeds.
    std::vector<plat::TopLevelWindow> windows;
    ASSERT_TRUE(plat::listTopLevelWindows(&windows));
    EXPECT_TRUE(windows.empty());
    EXPECT_TRUE(plat::broadcastMessage(number, 0, 6, &error)) << error;
}

TEST(CrossProcess, FirstWindowWaitEndsWhenTheProgramEndsWithoutOne) {
    plat::testing::TempRoot root;
    pid_t quitter = spawn({"/bin/true"});
    ASSERT_GT(quitter, 0);
    EXPECT_FALSE(plat::waitForFirstWindow(quitter, plat::kFirstWindowTimeoutMs));
    waitpid(quitter, nullptr, 0);
    EXPECT_FALSE(plat::waitForFirstWindow(quitter, 100));
}
