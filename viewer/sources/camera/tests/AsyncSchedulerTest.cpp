// The scheduler: ordering, sending, completion, cancellation and bounded waits.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "viewer/sources/camera/AsyncScheduler.h"
#include "viewer/sources/camera/AsyncWaitTask.h"
#include "viewer/sources/camera/CameraClock.h"
#include "viewer/sources/camera/DornModule.h"
#include "viewer/sources/camera/DornSource.h"
#include "viewer/sources/camera/tests/FakeModule.h"

using namespace camtest;

namespace {

std::atomic<uint32_t> g_tick{1000};
uint32_t TestTick() { return g_tick++; }  // time moves a little with every look
void TestSleep(uint32_t ms) { g_tick += ms; }

class AsyncSchedulerTest : public ::testing::Test {
protected:
    AsyncSchedulerTest()
    {
        CDornModule::RegisterBuiltin("fake", &FakeModule::Entry);
        SetCameraClock(&TestTick, &TestSleep);
        EXPECT_EQ(module_.OpenModule("fake"), 0);
        fake_.calls.clear();
    }
    ~AsyncSchedulerTest() override
    {
        module_.CloseModule();
        SetCameraClock(nullptr, nullptr);
        SetCameraWaitLimit(30000);
    }

    CDornSource* AddSource(uint32_t id)
    {
        fake_.SendEvent(module_.GetObjectRecord(), DORN_EVENT_ADDED, id);
        return dynamic_cast<CDornSource*>(module_.GetChildren().back().Get());
    }

    FakeModule fake_;
    CDornModule module_;
};

// A task that records the order in which its requests are sent.
class RecordingTask : public CAsyncTask {
public:
    RecordingTask(std::vector<int>* log, int name, bool deleteWhenFinished = false)
        : CAsyncTask(deleteWhenFinished), log_(log), name_(name)
    {
    }
    void OnRequestSent(CDornObject*, uint32_t, uint32_t, uint32_t, uintptr_t) override { log_->push_back(name_); }

private:
    std::vector<int>* log_;
    int name_;
};

class RecordingWaitTask : public CAsyncWaitTask {
public:
    RecordingWaitTask(std::vector<int>* log, int name) : log_(log), name_(name) {}
    void OnRequestSent(CDornObject*, uint32_t, uint32_t, uint32_t, uintptr_t) override { log_->push_back(name_); }

private:
    std::vector<int>* log_;
    int name_;
};

void RunUntilIdle(int limit = 1000)
{
    while (CAsyncScheduler::PollScheduler() && --limit > 0) {
    }
}

TEST_F(AsyncSchedulerTest, TaskSubmittedTwiceIsQueuedOnce)
{
    CAsyncWaitTask task;
    task.AddRequest(&module_, DORN_CMD_IDLE, 0, 0, 0, nullptr, 0);
    task.Submit();
    task.Submit();
    EXPECT_EQ(CAsyncScheduler::GetScheduler()->QueueSize(), 1u);
    EXPECT_EQ(WaitTaskIdle(task), 0);
    EXPECT_EQ(CAsyncScheduler::GetScheduler()->QueueSize(), 0u);
}

TEST_F(AsyncSchedulerTest, CompletionInsideTheSendMeansNoGoCommand)
{
    fake_.async = FakeModule::Async::Inside;
    CAsyncWaitTask task;
    task.AddRequest(&module_, DORN_CMD_IDLE, 0, 0, 0, nullptr, 0);
    task.Submit();
    EXPECT_EQ(CAsyncScheduler::PollScheduler(), 1);
    EXPECT_TRUE(task.IsIdle());
    EXPECT_EQ(fake_.Count(DORN_CMD_GO), 0u);

    fake_.async = FakeModule::Async::OnPump;
    CAsyncWaitTask later;
    later.AddRequest(&module_, DORN_CMD_IDLE, 0, 0, 0, nullptr, 0);
    later.Submit();
    EXPECT_EQ(WaitTaskIdle(later), 0);
    EXPECT_EQ(fake_.Count(DORN_CMD_GO), 1u);
    EXPECT_GE(fake_.Count(DORN_CMD_PUMP), 1u);
}

TEST_F(AsyncSchedulerTest, PriorityStaysWithinItsRangeAndGrowsWithWaiting)
{
    CAsyncTask task(false);
    for (int i = 0; i < 20; ++i) task.RaisePriority();
    EXPECT_EQ(task.GetPriority(), 10);
    for (int i = 0; i < 20; ++i) task.LowerPriority();
    EXPECT_EQ(task.GetPriority(), 0);
    task.SetPriority(4);
    task.SetStartTick(1000);
    EXPECT_EQ(task.EffectivePriority(1000 + 25000), 14u);
    EXPECT_EQ(task.EffectivePriority(1000 + 999), 4u);
    task.SetStartTick(0xFFFFFF00u);  // the tick wraps
    EXPECT_EQ(task.EffectivePriority(0xFFFFFF00u + 25000), 14u);
}

TEST_F(AsyncSchedulerTest, OrdinaryTasksByPriorityThenWaitTasksInSubmissionOrder)
{
    std::vector<int> log;
    RecordingWaitTask wait1(&log, 1), wait2(&log, 2);
    RecordingTask low(&log, 3), high(&log, 4);
    low.SetPriority(2);
    high.SetPriority(8);
    for (CAsyncTask* t : std::initializer_list<CAsyncTask*>{&wait1, &wait2, &low, &high}) {
        t->AddRequest(&module_, DORN_CMD_IDLE, 0, 0, 0, nullptr, 0);
        t->Submit();
    }
    fake_.async = FakeModule::Async::Inside;
    RunUntilIdle();
    EXPECT_EQ(log, (std::vector<int>{4, 3, 1, 2}));
}

TEST_F(AsyncSchedulerTest, IdleTimersServeTheMostOverdueOnePerPoll)
{
    CDornSource* a = AddSource(1);
    CDornSource* b = AddSource(2);
    CAsyncScheduler::AddIdleTimer(a, 100);
    CAsyncScheduler::AddIdleTimer(b, 50);
    g_tick += 200;  // a is 100 ms overdue, b 150 ms
    fake_.calls.clear();
    EXPECT_EQ(CAsyncScheduler::PollScheduler(), 1);
    ASSERT_EQ(fake_.Count(DORN_CMD_PUMP), 1u);
    EXPECT_EQ(fake_.calls.back().object, b->GetObjectRecord());
    EXPECT_EQ(CAsyncScheduler::PollScheduler(), 1);
    EXPECT_EQ(fake_.calls.back().object, a->GetObjectRecord());
    EXPECT_EQ(CAsyncScheduler::PollScheduler(), 0);
    CAsyncScheduler::RemoveIdleTimer(a);
    CAsyncScheduler::RemoveIdleTimer(b);
}

int32_t CountingCallback(DornObjectRecord*, uint32_t, uint32_t, uint32_t, uintptr_t, uintptr_t reference, int32_t result)
{
    auto* results = reinterpret_cast<std::vector<int32_t>*>(reference);
    results->push_back(result);
    return 0;
}

TEST_F(AsyncSchedulerTest, CancellingATaskThatDeletesItselfCompletesEveryRequestOnce)
{
    std::vector<int32_t> results;
    std::vector<int> log;
    auto* task = new RecordingTask(&log, 1, true);
    for (int i = 0; i < 3; ++i)
        task->AddRequest(&module_, DORN_CMD_IDLE, static_cast<uint32_t>(i), 0, 0, &CountingCallback,
                         reinterpret_cast<uintptr_t>(&results));
    task->Submit();
    EXPECT_EQ(CAsyncScheduler::PollScheduler(), 1);  // the first one is in flight
    task->Cancel();                                  // deletes the task at the end
    EXPECT_EQ(results, (std::vector<int32_t>{DORN_E_CANCELLED, DORN_E_CANCELLED, DORN_E_CANCELLED}));
    EXPECT_EQ(CAsyncScheduler::GetScheduler()->QueueSize(), 0u);
}

TEST_F(AsyncSchedulerTest, FailureCancelsTheRestAndIsNotHiddenByTheCancellation)
{
    fake_.hook = [](const FakeCall& c) -> std::optional<int32_t> {
        if (c.command == DORN_CMD_IDLE && c.parameter == 0) return 9;
        return std::nullopt;
    };
    std::vector<int32_t> results;
    CAsyncWaitTask task;
    task.AddRequest(&module_, DORN_CMD_IDLE, 0, 0, 0, &CountingCallback, reinterpret_cast<uintptr_t>(&results));
    task.AddRequest(&module_, DORN_CMD_IDLE, 1, 0, 0, &CountingCallback, reinterpret_cast<uintptr_t>(&results));
    task.Submit();
    EXPECT_EQ(WaitTaskIdle(task), 9);
    // The failure cancels the rest before its own callback runs.
    EXPECT_EQ(results, (std::vector<int32_t>{DORN_E_CANCELLED, 9}));
}

TEST_F(AsyncSchedulerTest, RemovingAnObjectWhoseModuleIgnoresTheAbortEnds)
{
    CDornSource* source = AddSource(1);
    fake_.completeOnAbort = false;
    std::vector<int32_t> results;
    CAsyncWaitTask task;
    task.AddRequest(source, DORN_CMD_GET, 49, 0, 0, &CountingCallback, reinterpret_cast<uintptr_t>(&results));
    task.Submit();
    EXPECT_EQ(CAsyncScheduler::PollScheduler(), 1);  // sent, in flight
    module_.RemoveChild(source);                     // cancels, and the module never completes
    EXPECT_TRUE(task.IsIdle());
    EXPECT_EQ(results, (std::vector<int32_t>{DORN_E_CANCELLED}));
    fake_.CompleteAll(0);  // a late completion for a request that is done: ignored
    EXPECT_EQ(results.size(), 1u);
    EXPECT_EQ(CAsyncScheduler::PollScheduler(), 0);
}

TEST_F(AsyncSchedulerTest, RefusalWithoutCompletionEndsTheRequest)
{
    fake_.async = FakeModule::Async::Refuse;
    CAsyncWaitTask task;
    task.AddRequest(&module_, DORN_CMD_IDLE, 0, 0, 0, nullptr, 0);
    task.Submit();
    EXPECT_EQ(WaitTaskIdle(task), 77);
}

TEST_F(AsyncSchedulerTest, WaitForAModuleThatNeverAnswersIsBounded)
{
    fake_.async = FakeModule::Async::Never;
    SetCameraWaitLimit(500);
    std::vector<int32_t> results;
    CAsyncWaitTask task;
    task.AddRequest(&module_, DORN_CMD_IDLE, 0, 0, 0, &CountingCallback, reinterpret_cast<uintptr_t>(&results));
    task.Submit();
    EXPECT_EQ(WaitTaskIdle(task), DORN_R_NO_ANSWER);
    EXPECT_TRUE(task.IsIdle());
    EXPECT_EQ(results, (std::vector<int32_t>{DORN_E_CANCELLED}));
    EXPECT_EQ(CAsyncScheduler::GetScheduler()->QueueSize(), 0u);
}

TEST_F(AsyncSchedulerTest, TaskDestroyedWhileQueuedLeavesTheQueue)
{
    std::vector<int32_t> results;
    {
        CAsyncWaitTask task;
        task.AddRequest(&module_, DORN_CMD_IDLE, 0, 0, 0, &CountingCallback, reinterpret_cast<uintptr_t>(&results));
        task.Submit();
        CAsyncScheduler::PollScheduler();
    }
    EXPECT_EQ(CAsyncScheduler::GetScheduler()->QueueSize(), 0u);
    EXPECT_EQ(results, (std::vector<int32_t>{DORN_E_CANCELLED}));
    fake_.CompleteAll(0);  // the module completes for a task that is gone
    EXPECT_EQ(results.size(), 1u);
}

TEST_F(AsyncSchedulerTest, TwoThreadsWaitingTakeTurns)
{
    SetCameraClock(nullptr, nullptr);
    std::atomic<int> done{0};
    auto work = [&] {
        for (int i = 0; i < 50; ++i) {
            CAsyncWaitTask task;
            task.AddRequest(&module_, DORN_CMD_IDLE, 0, 0, 0, nullptr, 0);
            task.Submit();
            if (WaitTaskIdle(task) == 0) ++done;
        }
    };
    std::thread other(work);
    work();
    other.join();
    EXPECT_EQ(done.load(), 100);
}

}  // namespace
