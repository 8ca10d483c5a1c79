// The viewer as a second real process: it finds the running copy, hands it the
// AutoPlay drive through the registered message and ends; the running copy (this
// test process) opens that drive.
#include "viewer/shell/tests/ShellTestSupport.h"

#include "viewer/shell/common/MessageIdRecord.h"
#include "viewer/shell/MainFrame.h"
#include "viewer/shell/common/ViewerMessages.h"

#include "platform/fs/DosAttributes.h"
#include "platform/fs/DriveMap.h"
#include "platform/msg/Messages.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

extern char** environ;

namespace {

pid_t SpawnViewer(std::vector<std::string> args, const std::string& osVersion, const std::string& output)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("VOREL_OS_VERSION=", 0) != 0)
            env.emplace_back(*e);
    env.push_back("VOREL_OS_VERSION=" + osVersion);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    args.insert(args.begin(), LUMORA_PROGRAM);
    std::vector<char*> argv, envp;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

std::string Slurp(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

using SecondCopyTest = ShellFixture;

TEST_F(SecondCopyTest, AutoPlayDriveIsHandedToTheRunningCopy)
{
    auto first = StartApp({"-FromWakely"}, 9);
    ASSERT_NE(windows_->panel, nullptr);
    const std::string output = (root_.path() / "second.err").string();

    const pid_t second = SpawnViewer({"-FromAutoPlay", "F:\\"}, "2.5.1.2600", output);
    ASSERT_GT(second, 0);
    int status = -1;
    bool ended = false;
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (!ended && ::waitpid(second, &status, WNOHANG) == second)
                ended = true;
            return ended && windows_->panel->got(UM_TARGET_OPENED);
        },
        30000))
        << Slurp(output);

    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Slurp(output);
    // The second copy wrote the drive's record, raised our panel and ended.
    MessageIdRecord record;
    ASSERT_TRUE(ReadMessageID(5, &record));
    EXPECT_STREQ(record.Name, "F:");
    EXPECT_GE(*windows_->panelRestores, 1);
    // We opened the drive it named.
    plat::LParam index = -1;
    windows_->panel->got(UM_TARGET_OPENED, &index);
    EXPECT_EQ(index, 5);
    EXPECT_TRUE(first->targetOpen);
    EXPECT_EQ(first->currentIndex, 5);
    EXPECT_TRUE(boxes_.empty());
    first->ExitInstance();
}

TEST_F(SecondCopyTest, WithoutAutoPlayTheSecondCopyEndsQuietly)
{
    auto first = StartApp({"-FromWakely"}, 8);
    const std::string output = (root_.path() / "second.err").string();
    const pid_t second = SpawnViewer({"-FromWakely"}, "2.5.0.2195", output);
    ASSERT_GT(second, 0);
    int status = -1;
    bool ended = false;
    ASSERT_TRUE(PumpUntil([&] { return ended || (ended = ::waitpid(second, &status, WNOHANG) == second); }, 30000));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Slurp(output);
    PumpFor(200);
    EXPECT_FALSE(first->targetOpen);
    EXPECT_TRUE(boxes_.empty());
    first->ExitInstance();
}

TEST_F(SecondCopyTest, SecondCopyNamingACameraLeavesTheDeviceRecordsAlone)
{
    auto first = StartApp({"-FromWakely"}, 8);
    MessageIdRecord kept;
    std::snprintf(kept.Name, sizeof kept.Name, "%s", "/cf/Vorel/DornMods/W310.kx3");
    std::snprintf(kept.Capability, sizeof kept.Capability, "%s", "Snapwren310");
    ASSERT_TRUE(WriteMessageID(26, kept));
    const std::string output = (root_.path() / "second.err").string();
    const pid_t second = SpawnViewer({"-FromWakely", "-Other.kx3", "-Bogus"}, "2.5.0.2195", output);
    ASSERT_GT(second, 0);
    int status = -1;
    bool ended = false;
    ASSERT_TRUE(PumpUntil([&] { return ended || (ended = ::waitpid(second, &status, WNOHANG) == second); }, 30000));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Slurp(output);
    MessageIdRecord record;
    ASSERT_TRUE(ReadMessageID(26, &record));
    EXPECT_STREQ(record.Name, kept.Name);
    EXPECT_STREQ(record.Capability, kept.Capability);
    first->ExitInstance();
}

TEST_F(SecondCopyTest, CardInTheDriveMapOpensThroughTheCardSource)
{
    // A folder made drive F: of the drive map, holding a camera's card.
    const auto card = root_.path() / "card";
    std::filesystem::create_directories(card / "DCIM" / "100ABCDE");
    std::ofstream(card / "DCIM" / "100ABCDE" / "ABCD0001.JPG") << "picture";
    std::ofstream(card / "Vorel001.dsc") << "";
    plat::writeDosAttributes(card / "Vorel001.dsc", plat::FileAttr::Hidden);
    ASSERT_TRUE(plat::DriveMap().addManual('F', card, plat::DriveType::Removable).ok());

    realSources_ = true;
    auto first = StartApp({"-FromWakely"}, 9);
    const std::string output = (root_.path() / "second.err").string();
    const pid_t second = SpawnViewer({"-FromAutoPlay", "F:\\"}, "2.5.1.2600", output);
    ASSERT_GT(second, 0);
    int status = -1;
    bool ended = false;
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (!ended && ::waitpid(second, &status, WNOHANG) == second)
                ended = true;
            return ended && windows_->panel->got(UM_TARGET_OPENED);
        },
        30000))
        << Slurp(output) << (boxes_.empty() ? "" : boxes_[0].text);
    EXPECT_TRUE(first->targetOpen);
    EXPECT_EQ(first->currentIndex, 5);
    EXPECT_TRUE(boxes_.empty()) << boxes_[0].text;
    // The card is watched: the next check finds it unchanged.
    ASSERT_NE(first->MainFrame(), nullptr);
    EXPECT_TRUE(first->MainFrame()->StatusTimerRunning());
    first->MainFrame()->OnTimer();
    EXPECT_TRUE(boxes_.empty());
    EXPECT_TRUE(first->MainFrame()->StatusTimerRunning());
    // Taking the card away closes the target once.
    std::filesystem::remove_all(card);
    first->MainFrame()->OnTimer();
    ASSERT_TRUE(PumpUntil([&] { return windows_->panel->got(plat::kMsgClose); }));
    EXPECT_EQ(boxes_.size(), 1u);
    first->ExitInstance();
}
