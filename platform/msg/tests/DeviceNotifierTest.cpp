#include "QtApp.h"

#include "platform/fs/DriveMap.h"
#include "platform/msg/DeviceNotifier.h"
#include "platform/msg/Messages.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <fstream>

using namespace plat;
namespace fs = std::filesystem;

TEST(DeviceNotifier, AFolderDriveComingAndGoingReachesTheMonitorsWindow) {
    plat::testing::testApp();
    plat::testing::TempRoot root;
    fs::create_directories(root.path() / "sys");
    std::ofstream(root.path() / "mountinfo").flush();
    DeviceWatcherConfig config;
    config.drives.sysfsRoot = root.path() / "sys";
    config.drives.mountInfo = root.path() / "mountinfo";
    config.drives.discover = false;
    config.useUdev = false;
    config.poll = std::chrono::milliseconds(20);
    const fs::path card = root.path() / "card";
    ASSERT_TRUE(DriveMap(config.drives).addManual('E', card));

    std::vector<std::pair<WParam, uint32_t>> got;
    MessageReceiver monitor([&](uint32_t m, WParam w, LParam l) -> LResult {
        if (m == kMsgDeviceChange && l) got.emplace_back(w, reinterpret_cast<const DeviceChange*>(l)->unitMask);
        return 0;
    });
    registerForDeviceNotifications(monitor.handle());
    DeviceNotifier notifier(config);
    ASSERT_TRUE(notifier.start());
    fs::create_directories(card);
    while (got.empty()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    fs::remove(card);
    while (got.size() < 2) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    notifier.stop();
    unregisterForDeviceNotifications(monitor.handle());
    EXPECT_EQ(got[0], std::make_pair(WParam{kDeviceArrival}, 1u << 4));
    EXPECT_EQ(got[1], std::make_pair(WParam{kDeviceRemoveComplete}, 1u << 4));
}

TEST(DeviceNotifier, EventCodes) {
    EXPECT_EQ(deviceEventCode(DeviceEvent::VolumeArrival), kDeviceArrival);
    EXPECT_EQ(deviceEventCode(DeviceEvent::VolumeRemoval), kDeviceRemoveComplete);
    EXPECT_EQ(deviceEventCode(DeviceEvent::DeviceNodesChanged), kDeviceNodesChanged);
}
