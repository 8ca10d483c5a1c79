// The device table, hardware ids from sysfs, model matching and the class scan.
#include "monitor/MonModuleBase.h"
#include "monitor/MonModuleTable.h"
#include "monitor/MainFrame.h"
#include "monitor/PresentDevices.h"
#include "monitor/tests/MonitorTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

TEST(MonModuleTable, ShippedTableHasItsThreeCameraClasses)
{
    MonModuleTable table;
    table.Read(ProgramStrings());
    ASSERT_EQ(table.Classes().size(), 3u);
    const MonModuleInfo& halden = table.Classes()[0];
    EXPECT_EQ(halden.className, "VorelHalden");
    EXPECT_EQ(halden.moduleFile, "Halden7_Mod.kx3");
    EXPECT_TRUE(halden.exactLength);
    ASSERT_EQ(halden.models.size(), 3u);
    EXPECT_EQ(halden.models[2].m_strCapability, "Halden7R");
    const MonModuleInfo& image = table.Classes()[1];
    EXPECT_EQ(image.hardwarePrefix, "USB\\VID_7A1C&PID_3B");
    EXPECT_FALSE(image.exactLength);
    ASSERT_EQ(image.models.size(), 2u);
    EXPECT_EQ(image.models[1].m_strHardWare, "USB\\VID_7A1C&PID_3B96");
    // Cameras of every maker, through the camera library's module, whatever their model.
    const MonModuleInfo& any = table.Classes()[2];
    EXPECT_EQ(any.className, "StillImage");
    EXPECT_EQ(any.moduleFile, "GPhotoCam.kx3");
    ASSERT_EQ(any.models.size(), 1u);
    EXPECT_EQ(any.models[0].m_strCapability, "*");
}

TEST(MonModuleTable, CountsAreClampedAndAnIncompleteClassEndsTheTable)
{
    MonStringTable strings = ProgramStrings();
    strings[62056] = "9";  // more classes than the table holds
    MonModuleTable table;
    table.Read(strings);
    EXPECT_EQ(table.Classes().size(), 3u);
    strings.erase(62080);  // a model row of the second class is cut short
    table.Read(strings);
    EXPECT_EQ(table.Classes().size(), 1u);
}

TEST(PresentDevices, HardwareIdsFromSysfs)
{
    plat::testing::TempRoot root;
    const fs::path sys = root.path() / "sys";
    AddUsbDevice(sys, "1-2", "7a1c", "3b95", "0100");
    WriteFile(sys / "bus/usb/devices/1-2:1.0/bInterfaceClass", "06\n");  // an interface, not a device
    WriteFile(sys / "bus/firewire/devices/fw1/vendor_name", "Vorel\n");
    WriteFile(sys / "bus/firewire/devices/fw1/model_name", "Halden7 S\n");
    WriteFile(sys / "bus/firewire/devices/fw0/guid", "0x1\n");  // no texts: no id

    std::vector<std::string> ids;
    ASSERT_TRUE(ListPresentHardwareIds(sys, "Image", &ids));
    EXPECT_EQ(ids, std::vector<std::string>{"USB\\VID_7A1C&PID_3B95&REV_0100"});
    ASSERT_TRUE(ListPresentHardwareIds(sys, "VorelHalden", &ids));
    EXPECT_EQ(ids, std::vector<std::string>{"1394\\VOREL&HALDEN7_S"});
    EXPECT_FALSE(ListPresentHardwareIds(sys, "Printer", &ids));
    EXPECT_FALSE(ListPresentHardwareIds(root.path() / "nothing", "Image", &ids));
}

TEST(PresentDevices, StillImageCamerasOfEveryMaker)
{
    plat::testing::TempRoot root;
    const fs::path sys = root.path() / "sys";
    const fs::path bus = sys / "bus/usb/devices";
    auto addInterface = [&](const std::string& device, const char* klass, const char* subclass, const char* protocol) {
        const fs::path i = bus / (device + ":1.0");
        WriteFile(i / "bInterfaceClass", std::string(klass) + "\n");
        WriteFile(i / "bInterfaceSubClass", std::string(subclass) + "\n");
        WriteFile(i / "bInterfaceProtocol", std::string(protocol) + "\n");
    };
    AddUsbDevice(sys, "1-2", "04b0", "0441", "0101");  // a PTP camera
    addInterface("1-2", "06", "01", "01");
    AddUsbDevice(sys, "1-3", "046d", "c52b");  // a keyboard
    addInterface("1-3", "03", "01", "01");
    AddUsbDevice(sys, "1-4", "05ac", "1290", "0001");  // a camera that names no class, known by its id
    addInterface("1-4", "ff", "ff", "00");
    AddUsbDevice(sys, "1-5", "0781", "5581");  // a card reader: the drive road, not a camera
    addInterface("1-5", "08", "06", "50");

    std::vector<std::string> ids;
    const UsbCameraList list = [](uint16_t vendor, uint16_t product) { return vendor == 0x05ac && product == 0x1290; };
    ASSERT_TRUE(ListStillImageDevices(sys, list, &ids));
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(ids, (std::vector<std::string>{"USB\\VID_04B0&PID_0441&REV_0101", "USB\\VID_05AC&PID_1290&REV_0001"}));
    ASSERT_TRUE(ListStillImageDevices(sys, nullptr, &ids));
    EXPECT_EQ(ids, std::vector<std::string>{"USB\\VID_04B0&PID_0441&REV_0101"});

    // The camera library's own list is the one the program asks.
    const UsbCameraList library = CameraLibraryList();
    EXPECT_TRUE(library(0x05ac, 0x1290));
    EXPECT_FALSE(library(0x046d, 0xc52b));
    ASSERT_TRUE(ListPresentHardwareIds(sys, "StillImage", &ids));
    EXPECT_EQ(ids.size(), 2u);
}

namespace {

MonModuleInfo ClassOf(int k)
{
    MonModuleTable table;
    table.Read(ProgramStrings());
    return table.Classes()[k];
}

}  // namespace

TEST(MonModuleBase, HardwareIdsNameTheirModel)
{
    struct Case {
        int klass;
        const char* id;
        int model;
    };
    const Case cases[] = {
        {1, "USB\\VID_7A1C&PID_3B95&REV_0100", 0},
        {1, "usb\\vid_7a1c&pid_3b96&rev_0001", 1},
        {1, "USB\\VID_7A1C&PID_3B97&REV_0100", -1},
        {1, "USB\\VID_7A1C&PID_3B", -1},    // exactly the prefix
        {1, "USB\\VID_7A1D&PID_3B95", -1},
        {0, "1394\\VOREL&HALDEN7", 0},
        {0, "1394\\VOREL&HALDEN7S", 1},     // exact length: not HALDEN7
        {0, "1394\\VOREL&HALDEN7R", 2},
        {0, "1394\\VOREL&HALDEN7X", -1},
        {0, "1394\\VOREL&HALDEN", -1},
    };
    for (const Case& c : cases) {
        MonModuleBase klass;
        klass.Init(ClassOf(c.klass), nullptr);
        EXPECT_EQ(klass._IsVorelDevice(c.id), c.model) << c.id;
    }
}

TEST(MonModuleBase, PresentCountFollowsTheModelsPresentWithoutDrifting)
{
    std::vector<std::string> present;
    bool listable = true;
    MonModuleBase klass;
    klass.Init(ClassOf(1), [&](const std::string&, std::vector<std::string>* ids) {
        *ids = present;
        return listable;
    });
    const std::string a = "USB\\VID_7A1C&PID_3B95&REV_0100", b = "USB\\VID_7A1C&PID_3B96&REV_0100";

    present = {a, a};  // two cameras of one model
    EXPECT_TRUE(klass.IsDeviceStatusChange());
    EXPECT_EQ(klass.GetModelCounts(), (std::vector<int>{2, 0}));
    EXPECT_EQ(klass.GetPresentCount(), 1);
    present = {a};
    EXPECT_FALSE(klass.IsDeviceStatusChange());
    EXPECT_EQ(klass.GetPresentCount(), 1);  // one camera is still there
    present = {};
    EXPECT_FALSE(klass.IsDeviceStatusChange());
    EXPECT_EQ(klass.GetPresentCount(), 0);
    present = {a};
    EXPECT_TRUE(klass.IsDeviceStatusChange());
    EXPECT_EQ(klass.GetPresentCount(), 1);  // seen again, not -1 + 1
    present = {b};  // one model swapped for the other in one scan
    EXPECT_TRUE(klass.IsDeviceStatusChange());
    EXPECT_EQ(klass.GetPresentCount(), 1);
    present = {};
    EXPECT_FALSE(klass.IsDeviceStatusChange());
    EXPECT_EQ(klass.GetPresentCount(), 0);  // nothing attached, nothing probed
    listable = false;  // no device list: nothing changes
    present = {a};
    EXPECT_FALSE(klass.IsDeviceStatusChange());
    EXPECT_EQ(klass.GetPresentCount(), 0);
}

TEST(MainFrame, ChangedDriveIsTheHighestUnitOfAVolume)
{
    EXPECT_EQ(CMainFrame::_GetChangeDrive(nullptr), -1);
    const plat::DeviceChange none{plat::kDeviceTypeVolume, 0};
    EXPECT_EQ(CMainFrame::_GetChangeDrive(&none), -1);
    const plat::DeviceChange drives{plat::kDeviceTypeVolume, (1u << 4) | (1u << 9)};
    EXPECT_EQ(CMainFrame::_GetChangeDrive(&drives), 9);
    const plat::DeviceChange a{plat::kDeviceTypeVolume, 1u};
    EXPECT_EQ(CMainFrame::_GetChangeDrive(&a), 0);
    const plat::DeviceChange other{5, 1u << 4};
    EXPECT_EQ(CMainFrame::_GetChangeDrive(&other), -1);
}

TEST(BootWait, SleepsUntilTheSystemHasSettled)
{
    uint32_t tick = 25500;
    std::vector<uint32_t> sleeps;
    const BootClock clock{[&] { return tick; }, [&](uint32_t ms) {
                              sleeps.push_back(ms);
                              tick += ms;
                          }};
    EXPECT_TRUE(WaitAfterBoot(clock, [] { return false; }));
    EXPECT_EQ(sleeps, (std::vector<uint32_t>{2000, 2000, 501}));
    EXPECT_EQ(tick, 30001u);
    tick = 0;  // a tick count of 0 is not waited on
    sleeps.clear();
    EXPECT_TRUE(WaitAfterBoot(clock, [] { return false; }));
    EXPECT_TRUE(sleeps.empty());

    tick = 10000;
    int handled = 0;
    EXPECT_FALSE(WaitAfterBoot(clock, [&] { return ++handled == 2; }));  // ended on the second look
    EXPECT_EQ(tick, 14000u);
}
