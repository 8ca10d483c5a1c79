#include "platform/thread/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace plat;

TEST(Event, SameNameIsOneObjectWhileAHandleLives) {
    bool existed = true;
    Event a = Event::create(Event::Reset::Auto, false, "CANCEL_EVENT", &existed);
    EXPECT_FALSE(existed);
    // The second creation's kind and state are ignored: it is the first object.
    Event b = Event::create(Event::Reset::Manual, true, "CANCEL_EVENT", &existed);
    EXPECT_TRUE(existed);
    EXPECT_TRUE(a.sameObject(b));
    EXPECT_EQ(waitFor(a, 0), kWaitTimeout);
    b.set();
    EXPECT_EQ(waitFor(a, 0), kWaitSignalled);
    EXPECT_EQ(waitFor(b, 0), kWaitTimeout) << "auto-reset: consumed by the first wait";

    a.close();
    b.close();
    Event c = Event::create(Event::Reset::Manual, true, "CANCEL_EVENT", &existed);
    EXPECT_FALSE(existed) << "the object died with its last handle";
    EXPECT_EQ(waitFor(c, 0), kWaitSignalled);
}

TEST(Event, UnnamedEventsAreDistinct) {
    Event a = Event::create(Event::Reset::Manual, false);
    Event b = Event::create(Event::Reset::Manual, false);
    EXPECT_FALSE(a.sameObject(b));
}

TEST(Event, ManualStaysSignalledUntilReset) {
    Event e = Event::create(Event::Reset::Manual, false);
    e.set();
    EXPECT_EQ(waitFor(e, 0), kWaitSignalled);
    EXPECT_EQ(waitFor(e, 0), kWaitSignalled);
    e.reset();
    EXPECT_EQ(waitFor(e, 0), kWaitTimeout);
}

TEST(Event, InvalidHandlesFail) {
    Event none;
    EXPECT_FALSE(none.set());
    EXPECT_FALSE(none.reset());
    EXPECT_EQ(waitFor(none, 0), kWaitFailed);
    Event ok = Event::create(Event::Reset::Manual, true);
    EXPECT_EQ(waitForMany({&ok, &none}, WaitMode::Any, 0), kWaitFailed);
    EXPECT_EQ(waitForMany(std::span<const Waitable* const>(), WaitMode::Any, 0), kWaitFailed);
}

TEST(Event, WaitAllConsumesOnlyWhenAllAreSignalled) {
    Event first = Event::create(Event::Reset::Auto, true);
    Event second = Event::create(Event::Reset::Auto, false);
    EXPECT_EQ(waitForMany({&first, &second}, WaitMode::All, 0), kWaitTimeout);
    EXPECT_EQ(waitForMany({&first, &second}, WaitMode::All, 20), kWaitTimeout);
    EXPECT_EQ(waitFor(first, 0), kWaitSignalled) << "a failed wait-all must not consume";
    first.set();
    second.set();
    EXPECT_EQ(waitForMany({&first, &second}, WaitMode::All, 0), kWaitSignalled);
    EXPECT_EQ(waitFor(first, 0), kWaitTimeout);
    EXPECT_EQ(waitFor(second, 0), kWaitTimeout);
}

TEST(Event, WaitAnyGivesTheLowestSignalledIndexAndConsumesOnlyIt) {
    Event a = Event::create(Event::Reset::Auto, false);
    Event b = Event::create(Event::Reset::Auto, true);
    Event c = Event::create(Event::Reset::Auto, true);
    EXPECT_EQ(waitForMany({&a, &b, &c}, WaitMode::Any, 0), kWaitSignalled + 1);
    EXPECT_EQ(waitForMany({&a, &b, &c}, WaitMode::Any, 0), kWaitSignalled + 2);
    EXPECT_EQ(waitForMany({&a, &b, &c}, WaitMode::Any, 0), kWaitTimeout);
}

TEST(Event, WaitWakesWhenAnotherThreadSets) {
    Event e = Event::create(Event::Reset::Auto, false);
    std::thread setter([e] { e.set(); });
    EXPECT_EQ(waitFor(e, kInfinite), kWaitSignalled);
    setter.join();
}

TEST(Event, AutoResetReleasesOneWaiterPerSet) {
    Event e = Event::create(Event::Reset::Auto, false);
    std::atomic<int> released{0};
    auto waiter = [&] {
        if (waitFor(e, kInfinite) == kWaitSignalled) ++released;
    };
    std::thread t1(waiter), t2(waiter);
    e.set();
    while (released.load() < 1) std::this_thread::yield();
    EXPECT_EQ(waitFor(e, 0), kWaitTimeout) << "the one set went to one waiter";
    e.set();
    t1.join();
    t2.join();
    EXPECT_EQ(released.load(), 2);
}
