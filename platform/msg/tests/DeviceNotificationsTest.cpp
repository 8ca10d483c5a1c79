#include "QtApp.h"

#include "platform/msg/DeviceNotifications.h"
#include "platform/msg/Messages.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <thread>

using namespace plat;
using plat::testing::testApp;

TEST(DeviceNotifications, RegisteredWindowsGetEachEventWithItsDriveMask) {
    testApp();
    struct Got {
        WParam event;
        uint32_t type;
        uint32_t mask;
    };
    std::vector<Got> got;
    MessageReceiver monitor([&](uint32_t m, WParam w, LParam l) -> LResult {
        if (m != kMsgDeviceChange) return 0;
        const auto* change = reinterpret_cast<const DeviceChange*>(l);
        got.push_back({w, change ? change->deviceType : 0, change ? change->unitMask : 0});
        return 0;
    });
    int others = 0;
    MessageReceiver notRegistered([&](uint32_t, WParam, LParam) -> LResult { return ++others; });
    registerForDeviceNotifications(monitor.handle());
    {
        MessageReceiver gone([](uint32_t, WParam, LParam) -> LResult { return 0; });
        registerForDeviceNotifications(gone.handle());
    }
    // From the watcher's thread, as the device watcher does.
    std::thread watcher([] {
        EXPECT_EQ(notifyDeviceChange(kDeviceArrival, 1u << 4), 1) << "the window that went is not counted";
        notifyDeviceChange(kDeviceRemoveComplete, (1u << 4) | (1u << 6));
        notifyDeviceChange(kDeviceNodesChanged, 0);
    });
    watcher.join();
    while (got.size() < 3) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].event, kDeviceArrival);
    EXPECT_EQ(got[0].type, kDeviceTypeVolume);
    EXPECT_EQ(got[0].mask, 1u << 4);
    EXPECT_EQ(got[1].event, kDeviceRemoveComplete);
    EXPECT_EQ(got[1].mask, (1u << 4) | (1u << 6));
    EXPECT_EQ(got[2].event, kDeviceNodesChanged);
    EXPECT_EQ(got[2].type, 0u) << "no volume record with a nodes-changed event";
    EXPECT_EQ(others, 0);
    unregisterForDeviceNotifications(monitor.handle());
    EXPECT_EQ(notifyDeviceChange(kDeviceNodesChanged, 0), 0);
}
