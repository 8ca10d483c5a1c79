#include "platform/fs/DeviceWatcher.h"
#include "platform/fs/tests/FakeSysfs.h"
#include "platform/testing/TempRoot.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <vector>

namespace plat {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(DeviceEventCoalescer, MergesABurstIntoOne) {
    DeviceEventCoalescer c(200ms);
    const auto t0 = DeviceEventCoalescer::Clock::time_point{} + 1h;
    EXPECT_FALSE(c.takeDue(t0));
    c.note(t0);
    c.note(t0 + 50ms);
    c.note(t0 + 199ms);
    EXPECT_TRUE(c.pending());
    EXPECT_EQ(c.remaining(t0 + 150ms), 50ms);
    EXPECT_FALSE(c.takeDue(t0 + 199ms));
    EXPECT_TRUE(c.takeDue(t0 + 200ms));
    EXPECT_FALSE(c.takeDue(t0 + 201ms));  // once only
    EXPECT_FALSE(c.pending());
    c.note(t0 + 300ms);  // a new burst opens a new window
    EXPECT_FALSE(c.takeDue(t0 + 499ms));
    EXPECT_TRUE(c.takeDue(t0 + 500ms));
}

// Collects the watcher's calls and waits for them.
class Recorder {
public:
    void operator()(DeviceEvent kind, uint32_t mask) {
        std::lock_guard<std::mutex> lock(m_);
        events_.emplace_back(kind, mask);
        cv_.notify_all();
    }
    // Waits (bounded, for slow machines) until `count` events came, and returns them.
    std::vector<std::pair<DeviceEvent, uint32_t>> waitFor(size_t count) {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait_for(lock, 10s, [&] { return events_.size() >= count; });
        return events_;
    }
    // Waits (bounded) until the events of `kind` so far cover `mask`; returns their union.
    uint32_t waitForMask(DeviceEvent kind, uint32_t mask) {
        std::unique_lock<std::mutex> lock(m_);
        uint32_t seen = 0;
        cv_.wait_for(lock, 10s, [&] {
            seen = 0;
            for (auto& e : events_) seen |= e.first == kind ? e.second : 0;
            return (seen & mask) == mask;
        });
        return seen;
    }
    std::vector<std::pair<DeviceEvent, uint32_t>> take() {
        std::lock_guard<std::mutex> lock(m_);
        auto e = std::move(events_);
        events_.clear();
        return e;
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<std::pair<DeviceEvent, uint32_t>> events_;
};

class DeviceWatcherTest : public ::testing::Test {
protected:
    plat::testing::TempRoot tempRoot;
    fstest::FakeSysfs sys{tempRoot.path() / "fake"};
    Recorder rec;
    std::unique_ptr<DeviceWatcher> watcher;

    void SetUp() override {
        sys.addDisk("sdb", "8:16", true, "pci0000:00/usb1/1-1/host6/6:0:0:0", {{"sdb1", "8:17"}}, "usb-reader-slot-1");
        sys.addDisk("sdc", "8:32", true, "pci0000:00/usb1/1-2/host7/7:0:0:0", {{"sdc1", "8:33"}}, "usb-reader-slot-2");
    }
    void startWatcher() {
        DeviceWatcherConfig config;
        config.drives = sys.config();
        config.useUdev = false;
        config.poll = 20ms;
        config.coalesce = 50ms;
        watcher = std::make_unique<DeviceWatcher>([this](DeviceEvent k, uint32_t m) { rec(k, m); }, config);
        ASSERT_TRUE(watcher->start());
        EXPECT_FALSE(watcher->usingUdev());
    }
    static constexpr uint32_t D = 1u << 3, E = 1u << 4, F = 1u << 5;
};

TEST_F(DeviceWatcherTest, VolumesArriveAndGoByLetter) {
    sys.mount("8:17", "/media/already");  // present at start: the baseline
    startWatcher();
    sys.unmount("/media/already");
    auto ev = rec.waitFor(1);
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0], std::make_pair(DeviceEvent::VolumeRemoval, D));
    rec.take();

    // Two cards, whether they fall into one poll or two.
    sys.mount("8:17", "/media/a");
    sys.mount("8:33", "/media/b");
    EXPECT_EQ(rec.waitForMask(DeviceEvent::VolumeArrival, D | E), D | E);
    for (auto& e : rec.take()) EXPECT_EQ(e.first, DeviceEvent::VolumeArrival);

    // The reader unplugged with its medium: the volume goes.
    sys.unmount("/media/b");
    sys.removeDisk("sdc");
    ev = rec.waitFor(1);
    ASSERT_GE(ev.size(), 1u);
    EXPECT_EQ(ev[0], std::make_pair(DeviceEvent::VolumeRemoval, E));
    watcher->stop();
    EXPECT_FALSE(watcher->running());
    watcher->stop();  // harmless twice
}

TEST_F(DeviceWatcherTest, ManualFoldersActAsMedia) {
    fs::path card = tempRoot.path() / "card";
    ASSERT_TRUE(DriveMap(sys.config()).addManual('F', card));
    startWatcher();
    fs::create_directories(card);
    auto ev = rec.waitFor(1);
    ASSERT_EQ(ev.size(), 1u);
    EXPECT_EQ(ev[0], std::make_pair(DeviceEvent::VolumeArrival, F));
    fs::remove(card);
    ev = rec.waitFor(2);
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[1], std::make_pair(DeviceEvent::VolumeRemoval, F));
}

TEST_F(DeviceWatcherTest, DeviceNodeChangesAreCoalesced) {
    startWatcher();
    sys.addUsbDevice("1-3");
    sys.addUsbDevice("1-4");
    sys.removeUsbDevice("1-3");
    auto ev = rec.waitFor(1);
    ASSERT_GE(ev.size(), 1u);
    EXPECT_EQ(ev[0], std::make_pair(DeviceEvent::DeviceNodesChanged, 0u));
    // No volume came with them, and no removal is made up for a plain device.
    for (auto& e : ev) EXPECT_EQ(e.first, DeviceEvent::DeviceNodesChanged);
    rec.take();
    sys.removeUsbDevice("1-4");
    ev = rec.waitFor(1);
    ASSERT_GE(ev.size(), 1u);
    for (auto& e : ev) EXPECT_EQ(e.first, DeviceEvent::DeviceNodesChanged);
}

TEST_F(DeviceWatcherTest, RealSystemStartsAndStops) {
    // On this machine: udev when the netlink socket is allowed, else the sysfs lists.
    DeviceWatcherConfig config;
    config.drives.tableFile = tempRoot.path() / "run" / "drives";
    DeviceWatcher w([](DeviceEvent, uint32_t) {}, config);
    ASSERT_TRUE(w.start());
    EXPECT_TRUE(w.running());
    w.stop();
    EXPECT_FALSE(w.running());
}

}  // namespace
}  // namespace plat
