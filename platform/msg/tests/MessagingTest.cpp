#include "QtApp.h"

#include "platform/msg/Messages.h"
#include "platform/msg/Messaging.h"
#include "platform/msg/MessageWait.h"
#include "platform/thread/Event.h"
#include "platform/thread/WorkerThread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>

#include <atomic>
#include <thread>
#include <vector>

using namespace plat;
using plat::testing::LoopThread;
using plat::testing::testApp;

namespace {

// Runs the calling thread's loop until done() holds (nothing is timed: a hang is a failure
// that ctest's time-out reports).
template <typename Done>
void pumpUntil(Done done) {
    while (!done()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace

TEST(Messaging, PostsReachTheirOwnReceiverOnItsThread) {
    testApp();
    std::atomic<int> firstGot{0}, secondGot{0};
    std::thread::id firstThread;
    Event done = Event::create(Event::Reset::Manual, false);
    // Both receivers take 0x401, each with its own meaning.
    LoopThread first([&](uint32_t m, WParam w, LParam l) -> LResult {
        firstThread = std::this_thread::get_id();
        if (m == kMsgUser + 1) firstGot = static_cast<int>(w + l);
        done.set();
        return 0;
    });
    MessageReceiver second([&](uint32_t m, WParam w, LParam) -> LResult {
        if (m == kMsgUser + 1) secondGot = static_cast<int>(w);
        return 0;
    });
    ASSERT_TRUE(postMessage(first.handle(), kMsgUser + 1, 40, 2));
    ASSERT_TRUE(postMessage(second.handle(), kMsgUser + 1, 7, 0));
    EXPECT_EQ(waitFor(done, kInfinite), kWaitSignalled);
    EXPECT_EQ(firstGot.load(), 42);
    EXPECT_NE(firstThread, std::this_thread::get_id());
    EXPECT_EQ(secondGot.load(), 0) << "a post is handled by the owner's loop, not at once";
    pumpUntil([&] { return secondGot.load() == 7; });
}

TEST(Messaging, HandlesAreNeverReusedAndGoneWindowsRefuseMessages) {
    testApp();
    std::vector<uint32_t> ids;
    WindowHandle last;
    for (int i = 0; i < 3; ++i) {
        MessageReceiver r([](uint32_t, WParam, LParam) -> LResult { return 0; });
        EXPECT_TRUE(isWindow(r.handle()));
        ids.push_back(r.handle().id());
        last = r.handle();
    }
    EXPECT_LT(ids[0], ids[1]);
    EXPECT_LT(ids[1], ids[2]);
    EXPECT_FALSE(isWindow(last));
    EXPECT_FALSE(isWindow(WindowHandle()));
    EXPECT_FALSE(postMessage(last, kMsgUser, 0, 0));
    EXPECT_EQ(sendMessage(last, kMsgUser, 0, 0), 0);
    LResult r = 5;
    EXPECT_FALSE(sendMessageTimeout(last, kMsgUser, 0, 0, 10, &r));
    EXPECT_FALSE(setTimer(last, 1, 100));
    bool dropped = false;
    EXPECT_FALSE(postMessageOwned(last, kMsgUser, 0, 0, [&] { dropped = true; }));
    EXPECT_TRUE(dropped);
}

TEST(Messaging, SendOnTheOwnersThreadIsADirectCall) {
    testApp();
    int calls = 0;
    MessageReceiver r([&](uint32_t m, WParam w, LParam) -> LResult {
        ++calls;
        return m == kMsgUser + 0x0e ? static_cast<LResult>(w) * 2 : 0;
    });
    EXPECT_EQ(sendMessage(r.handle(), kMsgUser + 0x0e, 21, 0), 42);
    EXPECT_EQ(calls, 1);
}

struct TransferRecord {
    char name[32];
    int percent;
};

TEST(Messaging, CrossThreadSendWithAPointerParameter) {
    // A worker sends a pointer to its own stack to a window of the UI thread; the
    // pointer is valid for the whole call and the answer comes back.
    testApp();
    std::string seen;
    MessageReceiver dialog([&](uint32_t m, WParam, LParam l) -> LResult {
        if (m != kMsgUser + 0x15) return 0;
        auto* record = reinterpret_cast<TransferRecord*>(l);
        seen = record->name;
        record->percent = 100;
        return 1;
    });
    std::atomic<bool> finished{false};
    LResult answer = 0;
    int percentAfter = 0;
    std::thread worker([&] {
        TransferRecord record{"IMG_0001.JPG", 0};
        answer = sendMessage(dialog.handle(), kMsgUser + 0x15, 0, reinterpret_cast<LParam>(&record));
        percentAfter = record.percent;
        finished = true;
    });
    pumpUntil([&] { return finished.load(); });
    worker.join();
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(seen, "IMG_0001.JPG");
    EXPECT_EQ(percentAfter, 100);
}

TEST(Messaging, SendsBetweenTwoThreadsDoNotLock) {
    // The UI thread sends to a worker's window, whose handler sends back to a UI
    // window while the UI thread is still blocked in its send.
    testApp();
    MessageReceiver ui([](uint32_t m, WParam w, LParam) -> LResult { return m == kMsgUser ? static_cast<LResult>(w) + 1 : 0; });
    WindowHandle uiHandle = ui.handle();
    LoopThread worker([uiHandle](uint32_t m, WParam w, LParam) -> LResult {
        if (m != kMsgUser + 1) return 0;
        return sendMessage(uiHandle, kMsgUser, w, 0) * 10;
    });
    EXPECT_EQ(sendMessage(worker.handle(), kMsgUser + 1, 4, 0), 50);
}

TEST(Messaging, SendWithTimeOutToAReceiverThatNeverAnswers) {
    testApp();
    std::atomic<int> handled{0};
    LoopThread stuck([&](uint32_t, WParam, LParam) -> LResult {
        ++handled;
        return 1;
    }, /*pumping=*/false);
    LResult result = 9;
    int onStack = 0;
    EXPECT_FALSE(sendMessageTimeout(stuck.handle(), kMsgUser, 0, reinterpret_cast<LParam>(&onStack), 30, &result));
    EXPECT_EQ(result, 9);
    // Once the receiver's thread comes back to its loop, the abandoned send is not
    // handled (its pointer would be dangling by then); a new one is.
    stuck.release();
    EXPECT_EQ(sendMessage(stuck.handle(), kMsgUser, 0, 0), 1);
    EXPECT_EQ(handled.load(), 1);
}

TEST(Messaging, SenderIsReleasedWhenTheWindowGoesFirst) {
    testApp();
    std::atomic<bool> waiting{false};
    Event canDestroy = Event::create(Event::Reset::Manual, false);
    Event destroyed = Event::create(Event::Reset::Manual, false);
    WindowHandle handle;
    Event made = Event::create(Event::Reset::Manual, false);
    std::thread owner([&] {
        auto* r = new MessageReceiver([](uint32_t, WParam, LParam) -> LResult { return 1; });
        handle = r->handle();
        made.set();
        waitFor(canDestroy, kInfinite);   // never takes the send
        delete r;
        destroyed.set();
    });
    waitFor(made, kInfinite);
    bool sent = true;
    std::thread sender([&] {
        waiting = true;
        sent = sendMessageTimeout(handle, kMsgUser, 0, 0, kSendNoTimeout, nullptr);
    });
    while (!waiting.load()) std::this_thread::yield();
    canDestroy.set();
    sender.join();
    owner.join();
    EXPECT_FALSE(sent);
}

TEST(Messaging, PostsRacingTheWindowsDestruction) {
    // Posters keep posting owned payloads while the window is destroyed: every
    // payload is either handled or dropped exactly once, never touched after the
    // window went (the sanitizers watch).
    testApp();
    std::atomic<int> handled{0}, dropped{0}, refused{0}, posted{0};
    auto owner = std::make_unique<LoopThread>([&](uint32_t m, WParam, LParam l) -> LResult {
        if (m == kMsgUser + 0x0f) {
            delete reinterpret_cast<std::string*>(l);
            ++handled;
        }
        return 0;
    });
    const WindowHandle target = owner->handle();
    std::atomic<bool> go{false};
    std::vector<std::thread> posters;
    // Each poster goes on until the window has refused it a few times, so the
    // posts straddle the destruction however the threads are scheduled.
    constexpr int kRefusalsEach = 20, kMostPosts = 5'000'000;
    for (int t = 0; t < 3; ++t) {
        posters.emplace_back([&] {
            while (!go.load()) std::this_thread::yield();
            for (int i = 0, mine = 0; i < kMostPosts && mine < kRefusalsEach; ++i) {
                auto* path = new std::string("/card/DCIM/IMG.JPG");
                ++posted;
                bool ok = postMessageOwned(target, kMsgUser + 0x0f, 0, reinterpret_cast<LParam>(path), [path, &dropped] {
                    delete path;
                    ++dropped;
                });
                if (!ok) ++mine, ++refused;
            }
        });
    }
    go = true;
    while (handled.load() < 100) std::this_thread::yield();
    owner->destroyReceiver();
    for (auto& p : posters) p.join();
    owner.reset();
    EXPECT_FALSE(isWindow(target));
    EXPECT_EQ(refused.load(), 3 * kRefusalsEach);
    EXPECT_EQ(handled.load() + dropped.load(), posted.load());
    EXPECT_FALSE(postMessage(target, kMsgUser, 0, 0));
}

TEST(Messaging, PayloadLivesUntilHandledAndGoesWithADeadWindow) {
    testApp();
    auto payload = std::make_shared<DeviceChange>(DeviceChange{kDeviceTypeVolume, 1u << 4});
    std::weak_ptr<DeviceChange> watch = payload;
    uint32_t mask = 0;
    MessageReceiver r([&](uint32_t m, WParam w, LParam l) -> LResult {
        if (m == kMsgDeviceChange && w == kDeviceArrival) mask = reinterpret_cast<const DeviceChange*>(l)->unitMask;
        return 0;
    });
    ASSERT_TRUE(postMessageWithPayload(r.handle(), kMsgDeviceChange, kDeviceArrival, std::move(payload)));
    EXPECT_FALSE(watch.expired());
    pumpUntil([&] { return mask != 0; });
    EXPECT_EQ(mask, 1u << 4);
    EXPECT_TRUE(watch.expired());

    auto second = std::make_shared<int>(1);
    std::weak_ptr<int> watchSecond = second;
    {
        MessageReceiver gone([](uint32_t, WParam, LParam) -> LResult { return 0; });
        ASSERT_TRUE(postMessageWithPayload(gone.handle(), kMsgUser, 0, std::move(second)));
    }
    EXPECT_TRUE(watchSecond.expired());
}

TEST(Messaging, TimersByWindowAndId) {
    testApp();
    int ticksOf1 = 0, ticksOf2 = 0, callbackTicks = 0;
    MessageReceiver r([&](uint32_t m, WParam w, LParam) -> LResult {
        if (m == kMsgTimer && w == 1) ++ticksOf1;
        if (m == kMsgTimer && w == 2) ++ticksOf2;
        return 0;
    });
    ASSERT_TRUE(setTimer(r.handle(), 1, 5));
    ASSERT_TRUE(setTimer(r.handle(), 2, 5, [&](WindowHandle w, uint32_t id) {
        EXPECT_EQ(w, r.handle());
        EXPECT_EQ(id, 2u);
        ++callbackTicks;
    }));
    pumpUntil([&] { return ticksOf1 >= 3 && callbackTicks >= 3; });
    EXPECT_EQ(ticksOf2, 0) << "a timer with a procedure sends no message";
    EXPECT_TRUE(killTimer(r.handle(), 1));
    EXPECT_FALSE(killTimer(r.handle(), 1));
    const int frozen = ticksOf1;
    const int target = callbackTicks + 3;
    pumpUntil([&] { return callbackTicks >= target; });
    EXPECT_EQ(ticksOf1, frozen);
}

TEST(Messaging, TimerSetFromAnotherThread) {
    testApp();
    std::atomic<int> ticks{0};
    LoopThread owner([&](uint32_t m, WParam w, LParam) -> LResult {
        if (m == kMsgTimer && w == 7) ++ticks;
        return 0;
    });
    ASSERT_TRUE(setTimer(owner.handle(), 7, 5));
    while (ticks.load() < 2) std::this_thread::yield();
    ASSERT_TRUE(killTimer(owner.handle(), 7));
}

TEST(Messaging, UiThreadWaitingForAWorkerStillTakesTheWorkersSends) {
    // The end of a transfer: the UI thread waits for the worker while the worker is
    // sending its last record to the UI's dialog.
    testApp();
    int records = 0;
    MessageReceiver dialog([&](uint32_t m, WParam, LParam) -> LResult {
        if (m == kMsgUser + 0x15) ++records;
        return 1;
    });
    const WindowHandle target = dialog.handle();
    WorkerThread worker([target] { return static_cast<uint32_t>(sendMessage(target, kMsgUser + 0x15, 0, 0)); });
    ASSERT_TRUE(worker.create(WorkerThread::Start::Running));
    EXPECT_EQ(waitServingSends(worker, kInfinite), kWaitSignalled);
    uint32_t code = 0;
    worker.exitCode(&code);
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(records, 1);
}
