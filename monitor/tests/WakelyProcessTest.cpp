// The real Wakely program in a system root of its own: a card put into a reader
// starts the viewer (here a stand-in that records what it gets) with
// "-FromWakely" and tells it the card's index; SIGTERM ends the monitor cleanly.
#include "monitor/WakelyApp.h"

#include "viewer/shell/common/MessageIdRecord.h"
#include "viewer/shell/common/RegistryNames.h"

#include "platform/desktop/FirstWindow.h"
#include "platform/fs/DosAttributes.h"
#include "platform/fs/DriveMap.h"
#include "platform/proc/Process.h"
#include "platform/proc/SingleInstanceLock.h"
#include "platform/registry/Registry.h"
#include "platform/testing/TempRoot.h"
#include "platform/thread/Timing.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool WaitFor(const std::function<bool()>& done, int boundMs)
{
    for (int waited = 0; waited < boundMs && !done(); waited += 50)
        plat::sleepMs(50);
    return done();
}

void SetMachine(const char* key, const char* name, const std::string& value)
{
    plat::RegKey k;
    ASSERT_EQ(plat::Registry::create(plat::Hive::LocalMachine, key, &k), plat::RegResult::Ok);
    ASSERT_EQ(k.setString(name, value), plat::RegResult::Ok);
}

// A child of the test, so that its exit status can be read.
pid_t Spawn(const std::string& program, const char* argument = nullptr)
{
    pid_t pid = 0;
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument), nullptr};
    return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}

// The exit status, or -1 when it has not ended within the bound.
int WaitExit(pid_t pid, int boundMs)
{
    int status = 0;
    for (int waited = 0; waited < boundMs; waited += 50) {
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        plat::sleepMs(50);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) { setenv(name, value.c_str(), 1); }
    ~ScopedEnv() { unsetenv(name_); }

private:
    const char* name_;
};

}  // namespace

class WakelyProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        const fs::path install = root_.path() / "Lumora";
        fs::create_directories(install);
        fs::create_directories(root_.path() / "fake-sys");
        Write(root_.path() / "fake-mountinfo", "");
        SetMachine(kLumoraMachineKey, kVersionValue, "4.3.1");
        SetMachine(kLumoraMachineKey, kInstallDirValue, install.string());
        SetMachine(kLumoraMachineKey, kLanguageValue, "USA");
        SetMachine(kAppPathsKey, "", VOREL_VIEWER_PEER);
        SetMachine(kCurrentVersionKey, kCommonFilesDirValue, (root_.path() / "Common Files").string());
        SetMachine(kCurrentVersionKey, kProgramFilesDirValue, (root_.path() / "Program Files").string());
        ASSERT_TRUE(plat::DriveMap().addManual('E', card_, plat::DriveType::Removable).ok());
    }

    void InsertCard()
    {
        fs::create_directories(card_ / "DCIM/100VOREL");
        Write(card_ / "Vorel001.dsc", "marker");
        plat::changeDosAttributes(card_ / "Vorel001.dsc", plat::FileAttr::Hidden, 0);
    }

    plat::testing::TempRoot root_;
    ScopedEnv sysfs_{"VOREL_SYSFS_ROOT", (root_.path() / "fake-sys").string()};
    ScopedEnv mounts_{"VOREL_MOUNTINFO", (root_.path() / "fake-mountinfo").string()};
    ScopedEnv log_{"VOREL_PEER_LOG", (root_.path() / "peer.log").string()};
    fs::path card_ = root_.path() / "cards/E";
};

TEST_F(WakelyProcess, CardArrivalStartsTheViewerAndTellsItTheIndexThenSigtermEndsCleanly)
{
    const pid_t wakely = Spawn(WAKELY_PROGRAM);
    ASSERT_GT(wakely, 0);
    ASSERT_TRUE(plat::waitForFirstWindow(wakely, 20000));
    // Watching has begun once the device keys are written.
    MessageIdRecord record;
    ASSERT_TRUE(WaitFor([&] { return ReadMessageID(4, &record); }, 20000));

    // A second monitor ends at once.
    EXPECT_EQ(WaitExit(Spawn(WAKELY_PROGRAM), 20000), 1);

    InsertCard();
    const fs::path log = root_.path() / "peer.log";
    ASSERT_TRUE(WaitFor([&] { return ReadAll(log).find("index 4") != std::string::npos; }, 30000)) << ReadAll(log);
    plat::sleepMs(1500);  // a poll or two more announce nothing new
    EXPECT_EQ(ReadAll(log), "start -FromWakely\nindex 4\n");

    ASSERT_EQ(kill(wakely, SIGTERM), 0);
    EXPECT_EQ(WaitExit(wakely, 20000), 0);
    EXPECT_FALSE(ReadMessageID(4, &record));  // the device keys went with it
    plat::SingleInstanceLock lock;
    EXPECT_EQ(plat::SingleInstanceLock::acquire(kWakelyMutexName, &lock), plat::ProcResult::Ok);

    // The viewer stand-in was started detached; it ends on its own SIGTERM.
    std::vector<plat::RunningProcess> processes;
    ASSERT_EQ(plat::listUserProcesses(&processes), plat::ProcResult::Ok);
    for (const plat::RunningProcess& p : processes)
        if (plat::isProgramNamed(p, "wakely_viewer_peer") && p.root == root_.path().string())
            kill(p.pid, SIGTERM);
}

// Started as an automation server it offers nothing and watches nothing.
TEST_F(WakelyProcess, StartedForEmbeddingOrAutomationItEndsWithoutWatching)
{
    for (const char* flag : {"-Embedding", "/automation"}) {
        EXPECT_EQ(WaitExit(Spawn(WAKELY_PROGRAM, flag), 20000), 0) << flag;
        MessageIdRecord record;
        EXPECT_FALSE(ReadMessageID(4, &record)) << flag;  // the card drive was never looked at
    }
}

TEST_F(WakelyProcess, WithoutAnInstallationItEndsAtOnce)
{
    SetMachine(kLumoraMachineKey, kVersionValue, "4.3.0");
    EXPECT_EQ(WaitExit(Spawn(WAKELY_PROGRAM), 20000), 1);
    SetMachine(kLumoraMachineKey, kVersionValue, "4.3.1.2");
    SetMachine(kLumoraMachineKey, kLanguageValue, "XYZ");  // no such language
    EXPECT_EQ(WaitExit(Spawn(WAKELY_PROGRAM), 20000), 1);
}

// With the real viewer: the card's arrival opens it as the viewer's target (the
// viewer records it as its last target).
TEST_F(WakelyProcess, CardArrivalOpensTheCardInTheRealViewer)
{
    const fs::path install = root_.path() / "Lumora";
    for (const char* f : {"temp", "Images", "Catalogs"})
        fs::create_directories(install / f);
    SetMachine(kAppPathsKey, "", LUMORA_PROGRAM);
    const pid_t wakely = Spawn(WAKELY_PROGRAM);
    ASSERT_GT(wakely, 0);
    MessageIdRecord record;
    ASSERT_TRUE(WaitFor([&] { return ReadMessageID(4, &record); }, 20000));
    Write(card_ / "DCIM/100VOREL/VORL0001.JPG", "picture");  // the viewer opens only a card with pictures
    InsertCard();
    std::string target;
    const bool opened = WaitFor(
        [&] {
            plat::RegKey key;
            return plat::Registry::open(plat::Hive::CurrentUser, kLastTargetKey, &key) == plat::RegResult::Ok &&
                   key.queryString(kNameValue, &target) == plat::RegResult::Ok && target == "E:";
        },
        30000);
    kill(wakely, SIGTERM);
    EXPECT_EQ(WaitExit(wakely, 20000), 0);
    std::vector<plat::RunningProcess> processes;
    ASSERT_EQ(plat::listUserProcesses(&processes), plat::ProcResult::Ok);
    for (const plat::RunningProcess& p : processes)
        if (plat::isProgramNamed(p, "Lumora") && p.root == root_.path().string())
            kill(p.pid, SIGTERM);
    EXPECT_TRUE(opened) << "last target: " << target;
}
