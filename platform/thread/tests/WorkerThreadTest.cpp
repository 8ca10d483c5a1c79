#include "platform/thread/Event.h"
#include "platform/thread/WorkerThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

using namespace plat;

TEST(WorkerThread, SuspendedRunsOnlyAfterResumeAndReportsItsExitCode) {
    std::atomic<bool> ran{false};
    Event go = Event::create(Event::Reset::Manual, false);
    WorkerThread t([&] {
        ran = true;
        waitFor(go, kInfinite);
        return 42u;
    });
    uint32_t code = 0;
    EXPECT_FALSE(t.exitCode(&code)) << "no thread yet";
    ASSERT_TRUE(t.create(WorkerThread::Start::Suspended));
    EXPECT_FALSE(t.create()) << "one thread per object";
    EXPECT_EQ(t.waitUntilEnded(10), kWaitTimeout);
    EXPECT_FALSE(ran.load());
    ASSERT_TRUE(t.exitCode(&code));
    EXPECT_EQ(code, kStillActive);
    ASSERT_TRUE(t.resume());
    EXPECT_FALSE(t.resume());
    go.set();
    EXPECT_EQ(t.waitUntilEnded(), kWaitSignalled);
    EXPECT_TRUE(ran.load());
    ASSERT_TRUE(t.exitCode(&code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(t.waitUntilEnded(0), kWaitSignalled) << "an ended thread stays signalled";
}

class CountingThread : public WorkerThread {
public:
    ~CountingThread() override { waitUntilEnded(); }
    std::atomic<int> runs{0};

protected:
    uint32_t run() override {
        ++runs;
        return 7;
    }
};

TEST(WorkerThread, ClassFormRunsItsOverride) {
    CountingThread t;
    ASSERT_TRUE(t.create(WorkerThread::Start::Running));
    EXPECT_EQ(t.waitUntilEnded(), kWaitSignalled);
    uint32_t code = 0;
    t.exitCode(&code);
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(t.runs.load(), 1);
}

TEST(WorkerThread, NeverResumedThreadEndsWithoutRunningItsBody) {
    std::atomic<bool> ran{false};
    {
        WorkerThread t([&] {
            ran = true;
            return 0u;
        });
        ASSERT_TRUE(t.create());
    }
    EXPECT_FALSE(ran.load());
}

TEST(WorkerThread, WaitAllOverAnAutoEventAndTheThread) {
    // The stop pattern of the jobs: the stop event and the thread, both at once.
    Event stop = Event::create(Event::Reset::Auto, false);
    Event release = Event::create(Event::Reset::Manual, false);
    WorkerThread t([&] {
        waitFor(release, kInfinite);
        return 0u;
    });
    ASSERT_TRUE(t.create());
    t.resume();
    stop.set();
    EXPECT_EQ(waitForMany({&stop, &t}, WaitMode::All, 0), kWaitTimeout);
    EXPECT_EQ(waitFor(stop, 0), kWaitSignalled) << "not consumed while the thread ran";
    stop.set();
    release.set();
    EXPECT_EQ(waitForMany({&stop, &t}, WaitMode::All, kInfinite), kWaitSignalled);
    EXPECT_EQ(waitFor(stop, 0), kWaitTimeout);
}

TEST(WorkerThread, QuitRequestAndExceptionsStayInside) {
    WorkerThread quitter([&] { return 0u; });
    WorkerThread* self = &quitter;
    WorkerThread polling([self] {
        while (!self->quitRequested()) std::this_thread::yield();
        return 3u;
    });
    ASSERT_TRUE(polling.create(WorkerThread::Start::Running));
    quitter.requestQuit();
    EXPECT_EQ(polling.waitUntilEnded(), kWaitSignalled);

    WorkerThread thrower([]() -> uint32_t { throw std::runtime_error("x"); });
    ASSERT_TRUE(thrower.create(WorkerThread::Start::Running));
    thrower.waitUntilEnded();
    uint32_t code = 0;
    thrower.exitCode(&code);
    EXPECT_EQ(code, kThreadAborted);
    thrower.requestQuit();   // harmless once ended
}

TEST(WorkerThread, NotCreatedThreadCannotBeWaitedOn) {
    WorkerThread t([] { return 0u; });
    EXPECT_EQ(t.waitUntilEnded(0), kWaitFailed);
    EXPECT_FALSE(t.resume());
}

TEST(WorkerThread, DetachedThreadRuns) {
    Event done = Event::create(Event::Reset::Manual, false);
    ASSERT_TRUE(startDetachedThread([done] { done.set(); }));
    EXPECT_EQ(waitFor(done, kInfinite), kWaitSignalled);
}
