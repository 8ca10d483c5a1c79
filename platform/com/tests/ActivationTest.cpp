// Real processes: clients in this test (threads and forked children) and the test
// server started on demand from its class registration.
#include "platform/com/ComClasses.h"
#include "platform/com/DispatchCall.h"
#include "platform/com/RemoteObject.h"
#include "platform/proc/Process.h"
#include "platform/sysroot/SystemRoot.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;
using plat::HResult;
using plat::RemoteObject;
using plat::WireReader;
using plat::WireWriter;
namespace hr = plat::hr;

namespace {

const char* const kClass = "{0C0FFEE0-1111-4222-8333-944445555666}";

bool waitUntilGone(pid_t pid) {
    for (int i = 0; i < 2000 && plat::isProcessAlive(pid); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return !plat::isProcessAlive(pid);
}

class Activation : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("COM_TEST_CLASS", kClass, 1);
        setenv("COM_TEST_IDLE_MS", "300", 1);
        unsetenv("COM_TEST_DISPATCH");
        unsetenv("COM_TEST_FAIL_CREATE");
        ASSERT_EQ(plat::registerLocalServer(kClass, plat::testing::buildDir() / "platform/com/com_test_server"), hr::Ok);
    }
    void TearDown() override {
        for (pid_t p : servers) {
            if (plat::isProcessAlive(p)) kill(p, SIGTERM);
            waitUntilGone(p);
        }
    }

    pid_t serverPid(RemoteObject& o) {
        WireReader in;
        uint32_t pid = 0;
        EXPECT_EQ(o.call(2, WireWriter(), &in), hr::Ok);
        EXPECT_TRUE(in.u32(&pid));
        servers.insert(static_cast<pid_t>(pid));
        return static_cast<pid_t>(pid);
    }

    int32_t count(RemoteObject& o) {
        WireReader in;
        int32_t n = -1;
        EXPECT_EQ(o.call(3, WireWriter(), &in), hr::Ok);
        EXPECT_TRUE(in.i32(&n));
        return n;
    }

    plat::testing::TempRoot root;
    std::set<pid_t> servers;
};

TEST_F(Activation, StartsTheServerOnceAndGivesEachClientItsOwnObject) {
    std::shared_ptr<RemoteObject> a, b;
    ASSERT_EQ(RemoteObject::create(kClass, &a), hr::Ok);
    ASSERT_EQ(RemoteObject::create("{0c0ffee0-1111-4222-8333-944445555666}", &b), hr::Ok);
    EXPECT_EQ(serverPid(*a), serverPid(*b));
    EXPECT_EQ(count(*a), 1);
    EXPECT_EQ(count(*a), 2);
    EXPECT_EQ(count(*b), 1);  // state is per object

    WireWriter args;
    const std::string name = "/tmp/my pictures/\xe5\x86\x99\xe7\x9c\x9f \xff.jpg";  // raw bytes travel unchanged
    args.bytes(name);
    WireReader in;
    ASSERT_EQ(a->call(1, args, &in), hr::Ok);
    std::string echoed;
    ASSERT_TRUE(in.bytes(&echoed));
    EXPECT_EQ(echoed, name);
    EXPECT_EQ(a->call(99, WireWriter()), hr::NotImplemented);
    EXPECT_EQ(a->call(1, WireWriter()), hr::InvalidArg);  // arguments that do not decode
}

TEST_F(Activation, SeveralClientsAtOnceShareOneServer) {
    // The clients keep their objects until all have asked, so the server has no
    // idle moment in which it may end, however slowly the threads get going.
    setenv("COM_TEST_IDLE_MS", "5000", 1);
    constexpr int kClients = 6;
    std::vector<std::thread> threads;
    std::vector<pid_t> pids(kClients, 0);
    std::vector<HResult> results(kClients, hr::Fail);
    std::vector<std::shared_ptr<RemoteObject>> objects(kClients);
    for (int i = 0; i < kClients; ++i) {
        threads.emplace_back([&, i] {
            results[i] = RemoteObject::create(kClass, &objects[i]);
            if (!objects[i]) return;
            WireReader in;
            uint32_t pid = 0;
            if (objects[i]->call(2, WireWriter(), &in) == hr::Ok && in.u32(&pid)) pids[i] = static_cast<pid_t>(pid);
        });
    }
    for (auto& t : threads) t.join();
    for (int i = 0; i < kClients; ++i) {
        EXPECT_EQ(results[i], hr::Ok) << i;
        servers.insert(pids[i]);
    }
    EXPECT_EQ(servers.size(), 1u);  // one process served them all
}

TEST_F(Activation, ServerEndsWhenIdleAndANewOneStartsLater) {
    pid_t first = 0;
    {
        std::shared_ptr<RemoteObject> o;
        ASSERT_EQ(RemoteObject::create(kClass, &o), hr::Ok);
        first = serverPid(*o);
    }
    ASSERT_TRUE(waitUntilGone(first));
    EXPECT_FALSE(fs::exists(plat::classSocketPath("{0C0FFEE0-1111-4222-8333-944445555666}")));
    std::shared_ptr<RemoteObject> again;
    ASSERT_EQ(RemoteObject::create(kClass, &again), hr::Ok);
    EXPECT_NE(serverPid(*again), first);
}

TEST_F(Activation, AClientThatDiesHoldingAnObjectDoesNotKeepTheServer) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::shared_ptr<RemoteObject> o;
        uint32_t pid = 0;
        WireReader in;
        if (RemoteObject::create(kClass, &o) == hr::Ok && o->call(2, WireWriter(), &in) == hr::Ok) in.u32(&pid);
        (void)!write(ready[1], &pid, sizeof pid);
        pause();
        _exit(0);
    }
    uint32_t server = 0;
    ASSERT_EQ(read(ready[0], &server, sizeof server), static_cast<ssize_t>(sizeof server));
    ASSERT_NE(server, 0u);
    servers.insert(static_cast<pid_t>(server));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(waitUntilGone(static_cast<pid_t>(server)));
    close(ready[0]);
    close(ready[1]);
}

TEST_F(Activation, StaleSocketOfAKilledServerIsReplaced) {
    std::shared_ptr<RemoteObject> o;
    ASSERT_EQ(RemoteObject::create(kClass, &o), hr::Ok);
    pid_t first = serverPid(*o);
    kill(first, SIGKILL);
    ASSERT_TRUE(waitUntilGone(first));
    EXPECT_TRUE(fs::exists(plat::classSocketPath("{0C0FFEE0-1111-4222-8333-944445555666}")));  // left behind
    EXPECT_EQ(o->call(3, WireWriter()), hr::ServerUnavailable);
    EXPECT_EQ(o->call(3, WireWriter()), hr::ServerUnavailable);  // the old object is gone for good

    std::shared_ptr<RemoteObject> fresh;
    ASSERT_EQ(RemoteObject::create(kClass, &fresh), hr::Ok);
    EXPECT_NE(serverPid(*fresh), first);
    EXPECT_EQ(count(*fresh), 1);
}

TEST_F(Activation, AServerNobodyReachesEndsByItself) {
    pid_t pid = 0;
    ASSERT_EQ(plat::startDetached((plat::testing::buildDir() / "platform/com/com_test_server").string(), {"-Embedding"}, &pid),
              plat::ProcResult::Ok);
    servers.insert(pid);
    EXPECT_TRUE(waitUntilGone(pid));
}

TEST_F(Activation, FailuresAreReportedNotHidden) {
    std::shared_ptr<RemoteObject> o;
    EXPECT_EQ(RemoteObject::create("not a class", &o), hr::InvalidArg);
    EXPECT_EQ(RemoteObject::create("{11111111-2222-3333-4444-555555555555}", &o), hr::ClassNotRegistered);
    EXPECT_EQ(RemoteObject::connectRunning(kClass, &o), hr::ServerUnavailable);
    EXPECT_FALSE(o);

    const char* gone = "{22222222-2222-3333-4444-555555555555}";
    ASSERT_EQ(plat::registerLocalServer(gone, root.path() / "no-such-program"), hr::Ok);
    EXPECT_EQ(RemoteObject::create(gone, &o), hr::ServerExecFailure);

    // a program that exits without ever serving: bounded wait, then failure
    const char* quitter = "{33333333-2222-3333-4444-555555555555}";
    ASSERT_EQ(plat::registerLocalServer(quitter, "/bin/true"), hr::Ok);
    plat::ActivationOptions quick;
    quick.startTimeoutMs = 5000;
    EXPECT_EQ(RemoteObject::create(quitter, &o, quick), hr::ServerExecFailure);

    setenv("COM_TEST_FAIL_CREATE", "1", 1);
    EXPECT_EQ(RemoteObject::create(kClass, &o), hr::OutOfMemory);
    EXPECT_FALSE(o);
    EXPECT_EQ(plat::unregisterLocalServer(kClass), hr::Ok);
    fs::path program;
    EXPECT_EQ(plat::findLocalServer(kClass, &program), hr::ClassNotRegistered);
}

TEST_F(Activation, AutomationByDispatchId) {
    setenv("COM_TEST_DISPATCH", "1", 1);
    std::shared_ptr<RemoteObject> calc;
    ASSERT_EQ(RemoteObject::create(kClass, &calc), hr::Ok);
    using plat::DispatchKind;
    using plat::Variant;
    Variant r;
    ASSERT_EQ(plat::invokeDispatch(*calc, 1, DispatchKind::Method, {Variant::fromInt(40), Variant::fromInt(2)}, &r), hr::Ok);
    EXPECT_EQ(r.type, Variant::Type::I4);
    EXPECT_EQ(r.i4, 42);
    EXPECT_EQ(plat::invokeDispatch(*calc, 2, DispatchKind::PropertyPut, {Variant::fromString("mine")}), hr::Ok);
    ASSERT_EQ(plat::invokeDispatch(*calc, 2, DispatchKind::PropertyGet, {}, &r), hr::Ok);
    EXPECT_EQ(r.bstr.value_or("?"), "mine");

    ASSERT_EQ(plat::invokeDispatch(*calc, 3, DispatchKind::Method, {}, &r), hr::Ok);
    ASSERT_EQ(r.type, Variant::Type::Dispatch);
    ASSERT_TRUE(r.remote);
    std::shared_ptr<RemoteObject> child = r.remote;
    Variant name;
    ASSERT_EQ(plat::invokeDispatch(*child, 2, DispatchKind::PropertyGet, {}, &name), hr::Ok);
    EXPECT_EQ(name.bstr.value_or("?"), "mine/child");
    child.reset();
    r = Variant();  // releasing the child leaves the parent working
    ASSERT_EQ(plat::invokeDispatch(*calc, 2, DispatchKind::PropertyGet, {}, &name), hr::Ok);

    EXPECT_EQ(plat::invokeDispatch(*calc, 77, DispatchKind::Method, {}), hr::MemberNotFound);
    EXPECT_EQ(plat::invokeDispatch(*calc, 1, DispatchKind::Method, {Variant::fromInt(1)}), hr::BadParamCount);
    EXPECT_EQ(plat::invokeDispatch(*calc, 1, DispatchKind::Method, {Variant::fromInt(1), Variant::fromBool(true)}),
              hr::TypeMismatch);
}

TEST_F(Activation, RootsTooDeepForASocketAddressStillWork) {
    fs::path deep = root.path();
    while (deep.string().size() < 150) deep /= "a-rather-long-folder-name";
    ASSERT_TRUE(plat::SystemRoot(deep).ensureLayout());
    setenv("VOREL_ROOT", deep.c_str(), 1);
    ASSERT_EQ(plat::registerLocalServer(kClass, plat::testing::buildDir() / "platform/com/com_test_server"), hr::Ok);
    std::shared_ptr<RemoteObject> a, b;
    ASSERT_EQ(RemoteObject::create(kClass, &a), hr::Ok);
    ASSERT_EQ(RemoteObject::create(kClass, &b), hr::Ok);
    EXPECT_EQ(serverPid(*a), serverPid(*b));
    EXPECT_GT(plat::classSocketPath("{0C0FFEE0-1111-4222-8333-944445555666}").string().size(), 108u);
    setenv("VOREL_ROOT", root.path().c_str(), 1);
}

}  // namespace
