#include "platform/proc/Process.h"
#include "platform/proc/SingleInstanceLock.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using plat::ProcResult;

namespace plat {
void PrintTo(ProcResult r, std::ostream* os) { *os << static_cast<int>(r) << " (" << describe(r) << ")"; }
}  // namespace plat

namespace {

fs::path probe() { return plat::testing::buildDir() / "platform/proc/proc_probe"; }

// Polls for a file a started program writes (no timing is asserted; the bound
// only keeps a broken start from hanging the test).
std::string waitForFile(const fs::path& p) {
    for (int i = 0; i < 1000 && !fs::exists(p); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream f(p);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void writeFile(const fs::path& p, const std::string& text, fs::perms perms) {
    std::ofstream(p) << text;
    fs::permissions(p, perms);
}

TEST(StartDetached, PassesArgvVerbatimInItsOwnSessionWithNoInheritedDescriptors) {
    plat::testing::TempRoot root;
    int leaked = open("/dev/null", O_RDONLY);  // deliberately not close-on-exec
    ASSERT_GE(leaked, 3);
    fs::path out = root.path() / "probe out";
    pid_t pid = 0;
    std::vector<std::string> args = {"write", out.string(), "two words", "$HOME;ls", "caf\xc3\xa9", ""};
    ASSERT_EQ(plat::startDetached(probe().string(), args, &pid), ProcResult::Ok);
    EXPECT_GT(pid, 0);
    std::string text = waitForFile(out);
    close(leaked);
    EXPECT_EQ(text.find("sid=" + std::to_string(getsid(0)) + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("sid="), std::string::npos) << text;
    EXPECT_NE(text.find("fds=0 1 2 \n"), std::string::npos) << text;
    EXPECT_NE(text.find("arg=two words\narg=$HOME;ls\narg=caf\xc3\xa9\narg=\n"), std::string::npos) << text;
    // not our child: nothing to reap, no zombie left behind
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

struct BadProgram {
    const char* name;
    const char* content;  // nullptr: a folder; "-": nothing
    fs::perms perms;
    ProcResult result;
};

TEST(StartDetached, ProgramsThatCannotRunAreReported) {
    plat::testing::TempRoot root;
    const BadProgram cases[] = {
        {"missing", "-", fs::perms::owner_all, ProcResult::NotFound},
        {"folder", nullptr, fs::perms::owner_all, ProcResult::NotExecutable},
        {"empty", "", fs::perms::owner_all, ProcResult::NotExecutable},
        {"garbage", "\x01\x02\x03 not a program", fs::perms::owner_all, ProcResult::NotExecutable},
    };
    for (const BadProgram& c : cases) {
        fs::path p = root.path() / c.name;
        if (!c.content) fs::create_directory(p);
        else if (std::string(c.content) != "-") writeFile(p, c.content, c.perms);
        pid_t pid = 123;
        EXPECT_EQ(plat::startDetached(p.string(), {}, &pid), c.result) << c.name;
        EXPECT_EQ(pid, 0) << c.name;
    }
    if (geteuid() != 0) {
        fs::path p = root.path() / "not-executable";
        writeFile(p, "#!/bin/sh\n", fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(plat::startDetached(p.string(), {}), ProcResult::AccessDenied);
    }
}

struct NameCase {
    plat::RunningProcess process;
    const char* name;
    bool matches;
};

TEST(RunningPrograms, NameMatchingTable) {
    const NameCase cases[] = {
        {{1, "caravel", "caravel", "caravel", "", ""}, "caravel", true},
        {{1, "Caravel", "", "", "", ""}, "CARAVEL", true},
        {{1, "sh", "dash", "caravel", "", ""}, "caravel", true},  // a script shows its name in argv[0]
        {{1, "caravel-helper", "caravel-helper", "caravel-helper", "", ""}, "caravel", false},
        {{1, "averylongprogra", "", "", "", ""}, "averylongprogramname", true},  // kernel name cut at 15
        {{1, "averylongprogra", "", "", "", ""}, "averylongprogra", true},
        {{1, "averylongprogra", "", "", "", ""}, "averylongprogrammer", true},
        {{1, "short", "", "", "", ""}, "shorter", false},
        {{1, "caravel", "caravel", "caravel", "", ""}, "", false},
    };
    for (const NameCase& c : cases) EXPECT_EQ(plat::isProgramNamed(c.process, c.name), c.matches) << c.name << " vs " << c.process.comm;
}

TEST(RunningPrograms, FindsAStartedProgramByNameAndLosesItWhenItEnds) {
    plat::testing::TempRoot root;
    fs::path copy = root.path() / "Caravel";
    fs::copy_file(probe(), copy);
    bool running = true;
    ASSERT_EQ(plat::isProgramRunning("caravel", &running), ProcResult::Ok);
    EXPECT_FALSE(running);

    pid_t pid = 0;
    ASSERT_EQ(plat::startDetached(copy.string(), {"sleep", "30"}, &pid), ProcResult::Ok);
    for (int i = 0; i < 500 && !running; ++i) {
        ASSERT_EQ(plat::isProgramRunning("caravel", &running), ProcResult::Ok);
        if (!running) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(running);
    EXPECT_TRUE(plat::isProcessAlive(pid));
    ASSERT_EQ(plat::isProgramRunning("caravel", &running, pid), ProcResult::Ok);
    EXPECT_FALSE(running);  // the only one is the excepted process
    if (running) {
        std::vector<plat::RunningProcess> list;
        plat::listUserProcesses(&list);
        for (auto& p : list) if (plat::isProgramNamed(p, "caravel")) ADD_FAILURE() << p.pid << " " << p.comm << " " << p.exeName << " " << p.argv0 << " started " << pid;
    }

    kill(pid, SIGKILL);
    for (int i = 0; i < 500 && plat::isProcessAlive(pid); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_FALSE(plat::isProcessAlive(pid));
    ASSERT_EQ(plat::isProgramRunning("caravel", &running), ProcResult::Ok);
    EXPECT_FALSE(running);
}

TEST(RunningPrograms, ListHoldsThisProcess) {
    std::vector<plat::RunningProcess> list;
    ASSERT_EQ(plat::listUserProcesses(&list), ProcResult::Ok);
    bool self = false;
    for (const auto& p : list) self = self || p.pid == getpid();
    EXPECT_TRUE(self);
}

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstGoes) {
    plat::testing::TempRoot root;
    plat::SingleInstanceLock first;
    ASSERT_EQ(plat::SingleInstanceLock::acquire("Wakely", &first), ProcResult::Ok);
    EXPECT_TRUE(first.held());
    plat::SingleInstanceLock second;
    EXPECT_EQ(plat::SingleInstanceLock::acquire("Wakely", &second), ProcResult::AlreadyRunning);
    EXPECT_FALSE(second.held());

    // another process sees the same
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        plat::SingleInstanceLock l;
        _exit(plat::SingleInstanceLock::acquire("Wakely", &l) == ProcResult::AlreadyRunning ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    first.release();
    EXPECT_EQ(plat::SingleInstanceLock::acquire("Wakely", &second), ProcResult::Ok);
}

TEST(SingleInstance, LockOfAKilledProcessIsFree) {
    plat::testing::TempRoot root;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        plat::SingleInstanceLock l;
        char c = plat::SingleInstanceLock::acquire("Skylet", &l) == ProcResult::Ok ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        pause();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    plat::SingleInstanceLock mine;
    EXPECT_EQ(plat::SingleInstanceLock::acquire("Skylet", &mine), ProcResult::AlreadyRunning);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(plat::SingleInstanceLock::acquire("Skylet", &mine), ProcResult::Ok);
    close(ready[0]);
    close(ready[1]);
}

TEST(SingleInstance, NamesThatAreNotPlainFileNamesAreRefused) {
    plat::testing::TempRoot root;
    plat::SingleInstanceLock l;
    for (const char* n : {"", ".", "..", "a/b", "../escape"})
        EXPECT_EQ(plat::SingleInstanceLock::acquire(n, &l), ProcResult::LockFailed) << n;
}

}  // namespace

namespace {

TEST(RunningPrograms, ProgramsOfAnotherRootDoNotCount) {
    plat::testing::TempRoot other;
    fs::path copy = other.path() / "Caravel";
    fs::copy_file(probe(), copy);
    pid_t pid = 0;
    ASSERT_EQ(plat::startDetached(copy.string(), {"sleep", "30"}, &pid), ProcResult::Ok);  // started in `other`
    bool running = false;
    for (int i = 0; i < 500 && !running; ++i) {
        ASSERT_EQ(plat::isProgramRunning("caravel", &running), ProcResult::Ok);
        if (!running) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(running);
    {
        plat::testing::TempRoot mine;  // now this process is in another root
        EXPECT_EQ(plat::isProgramRunning("caravel", &running), ProcResult::Ok);
        EXPECT_FALSE(running);
        EXPECT_EQ(plat::isProgramRunning("caravel", &running, 0, plat::ProcessScope::AnyRoot), ProcResult::Ok);
        EXPECT_TRUE(running);
    }
    kill(pid, SIGKILL);
}

TEST(RunningPrograms, AProcessBelongsToARootByItsEnvironmentOrElseByItsExecutable) {
    struct RootCase {
        const char* root;
        const char* exePath;
        bool ours;
    };
    const RootCase cases[] = {
        {"/r/a", "/anywhere/Caravel", true},             // the environment decides
        {"/r/a/", "/r/a/Caravel", true},
        {"/r/b", "/r/a/Caravel", false},
        {"", "/r/a/Program Files/Vorel/Caravel", true},  // exiting: environment gone, executable still known
        {"", "/r/b/Program Files/Vorel/Caravel", false},  // another machine's program
        {"", "/r/ab/Caravel", false},
        {"", "/r/a/../b/Caravel", false},
        {"", "", false},                                  // nothing to go by: not counted as ours
    };
    for (const RootCase& c : cases) {
        plat::RunningProcess p{1, "Caravel", "Caravel", "Caravel", c.root, c.exePath};
        EXPECT_EQ(plat::isProcessInRoot(p, "/r/a"), c.ours) << "root '" << c.root << "' exe '" << c.exePath << "'";
    }
}

TEST(RunningPrograms, RootOfAnEnvironment) {
    using namespace std::string_literals;
    EXPECT_EQ(plat::rootOfEnvironment("A=1\0VOREL_ROOT=/r/x\0B=2"s), "/r/x");
    EXPECT_EQ(plat::rootOfEnvironment("XDG_DATA_HOME=/d\0HOME=/h"s), "/d/vorel");
    EXPECT_EQ(plat::rootOfEnvironment("HOME=/h\0VOREL_ROOT="s), "/h/.local/share/vorel");
    EXPECT_EQ(plat::rootOfEnvironment(""), "/tmp/.local/share/vorel");
}

}  // namespace
