// Cameras of the device table: hardware ids from sysfs, the class scan, and the
// probe through the camera module (the simulated camera in the module file).
#include "monitor/tests/MonitorTestSupport.h"

#include "viewer/shell/common/MessageIdRecord.h"

#include <filesystem>
#include <ostream>

namespace fs = std::filesystem;
using Indices = std::vector<plat::LParam>;

namespace {

// The second class of the table drives W310.kx3: the simulated camera serves a
// folder under that name, with the model given in its configuration beside it.
void InstallSimulatedModule(const fs::path& commonFiles, const fs::path& cameraFolder, const std::string& model,
                            int state = 0, const std::string& more = "")
{
    const fs::path mods = commonFiles / "Vorel/DornMods";
    fs::create_directories(mods);
    fs::copy_file(fs::path(VOREL_BUILD_DIR) / "dornmods/SimCam.kx3", mods / "W310.kx3",
                  fs::copy_options::overwrite_existing);
    fs::create_directories(cameraFolder / "DCIM/100VOREL");
    WriteFile(mods / "W310.kx3.conf",
              "root=" + cameraFolder.string() + "\nmodel=" + model + "\nstate=" + std::to_string(state) + "\n" + more);
}

// The third class drives GPhotoCam.kx3 over the camera library; here it serves a
// folder through the library's folder driver, as a camera of any make.
void InstallCameraLibraryModule(const fs::path& commonFiles, const fs::path& cameraFolder)
{
    const fs::path mods = commonFiles / "Vorel/DornMods";
    fs::create_directories(mods);
    fs::copy_file(fs::path(VOREL_BUILD_DIR) / "dornmods/GPhotoCam.kx3", mods / "GPhotoCam.kx3",
                  fs::copy_options::overwrite_existing);
    WriteFile(mods / "GPhotoCam.kx3.conf", "folder=" + cameraFolder.string() + "\nusb=0\n");
}

void AddStillImageCamera(const fs::path& sysfs, const std::string& name)
{
    AddUsbDevice(sysfs, name, "04b0", "0441");
    const fs::path i = sysfs / "bus/usb/devices" / (name + ":1.0");
    WriteFile(i / "bInterfaceClass", "06\n");
    WriteFile(i / "bInterfaceSubClass", "01\n");
    WriteFile(i / "bInterfaceProtocol", "01\n");
}

}  // namespace

class CameraWatch : public MonitorFixture {};

TEST_F(CameraWatch, StillImageCameraIsAnnouncedThroughTheCameraLibrary)
{
    const fs::path camera = root_.path() / "camera";
    InstallCameraLibraryModule(commonFiles_, camera);
    AddStillImageCamera(sysfs_, "2-1");
    StartFrame();
    EXPECT_EQ(Tick(), Indices{});  // the device is there, but the library finds no camera on it
    fs::create_directories(camera / "DCIM/100CAMRA");  // the camera answers now
    EXPECT_EQ(Tick(), Indices{28});
    MessageIdRecord record;
    ASSERT_TRUE(ReadMessageID(28, &record));
    EXPECT_EQ(std::string(record.Name), (commonFiles_ / "Vorel/DornMods/GPhotoCam.kx3").string());
    EXPECT_STREQ(record.Capability, "Directory Browse");  // the model the library reports
    EXPECT_EQ(Tick(), Indices{});  // once per connection
}

TEST_F(CameraWatch, UsbCameraOfTheTableIsAnnouncedWithItsModel)
{
    InstallSimulatedModule(commonFiles_, root_.path() / "camera", "Snapwren310");
    AddUsbDevice(sysfs_, "1-2", "7a1c", "3b95");
    StartFrame();
    EXPECT_EQ(Tick(), Indices{27});
    MessageIdRecord record;
    ASSERT_TRUE(ReadMessageID(27, &record));
    EXPECT_EQ(std::string(record.Name), (commonFiles_ / "Vorel/DornMods/W310.kx3").string());
    EXPECT_STREQ(record.Capability, "Snapwren310");
    EXPECT_EQ(Tick(), Indices{});  // once per connection
}

TEST_F(CameraWatch, CameraPluggedInLaterIsAnnouncedOnTheDeviceMessage)
{
    InstallSimulatedModule(commonFiles_, root_.path() / "camera", "snapwren270");
    StartFrame();
    EXPECT_EQ(Tick(), Indices{});
    AddUsbDevice(sysfs_, "3-1", "7A1C", "3B96", "0200");
    frame_->OnDeviceChange(plat::kDeviceNodesChanged, nullptr);
    EXPECT_TRUE(viewer_->Flush());
    EXPECT_EQ(viewer_->indices, Indices{27});
    MessageIdRecord record;
    ASSERT_TRUE(ReadMessageID(27, &record));
    EXPECT_STREQ(record.Capability, "snapwren270");
}

struct ProbeCase {
    friend void PrintTo(const ProbeCase& c, std::ostream* os) { *os << c.name; }
    const char* name;
    const char* vendor;
    const char* product;
    const char* model;
    int state;
};

class CameraProbe : public CameraWatch, public ::testing::WithParamInterface<ProbeCase> {};

TEST_P(CameraProbe, NothingIsAnnouncedWithoutAKnownAnsweringCamera)
{
    const ProbeCase& c = GetParam();
    InstallSimulatedModule(commonFiles_, root_.path() / "camera", c.model, c.state);
    AddUsbDevice(sysfs_, "1-4", c.vendor, c.product);
    StartFrame();
    EXPECT_EQ(Tick(), Indices{}) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Probes, CameraProbe,
                         ::testing::Values(ProbeCase{"another vendor", "046d", "3b95", "Snapwren310", 0},
                                           ProbeCase{"a product outside the table", "7a1c", "3b97", "Snapwren310", 0},
                                           ProbeCase{"a model the table does not know", "7a1c", "3b95", "Other", 0},
                                           ProbeCase{"a camera without access", "7a1c", "3b95", "Snapwren310", 2}),
                         [](const auto& info) { return std::to_string(info.index); });

TEST_F(CameraWatch, MissingModuleFileFailsTheCheckAndIsTriedAgain)
{
    AddUsbDevice(sysfs_, "1-2", "7a1c", "3b95");
    StartFrame();
    EXPECT_EQ(Tick(), Indices{});
    InstallSimulatedModule(commonFiles_, root_.path() / "camera", "Snapwren310");
    EXPECT_EQ(Tick(), Indices{27});
}

TEST_F(CameraWatch, ModuleThatNeverRunsDryCountsAsNotConnected)
{
    // A scheduler that always has work: the wait for it is bounded, and running
    // out is "not connected", so the monitor goes on with its other devices.
    InstallSimulatedModule(commonFiles_, root_.path() / "camera", "Snapwren310");
    AddUsbDevice(sysfs_, "1-2", "7a1c", "3b95");
    AddReader('E');
    InsertCard('E');
    config_.devices.schedulerLimitMs = 300;
    int polls = 0;
    config_.devices.schedulerPoll = [&polls] {
        ++polls;
        return 1;
    };
    StartFrame();
    EXPECT_EQ(Tick(), Indices{4});
    EXPECT_GT(polls, 0);
}

TEST_F(CameraWatch, CameraUnpluggedAndPluggedBackIsAnnouncedAgain)
{
    InstallSimulatedModule(commonFiles_, root_.path() / "camera", "Snapwren310");
    AddUsbDevice(sysfs_, "1-2", "7a1c", "3b95");
    StartFrame();
    EXPECT_EQ(Tick(), Indices{27});
    fs::remove_all(sysfs_ / "bus/usb/devices/1-2");
    frame_->OnDeviceChange(plat::kDeviceNodesChanged, nullptr);
    EXPECT_EQ(Tick(), Indices{});
    AddUsbDevice(sysfs_, "1-2", "7a1c", "3b95");
    frame_->OnDeviceChange(plat::kDeviceNodesChanged, nullptr);
    EXPECT_TRUE(viewer_->Flush());
    EXPECT_EQ(viewer_->indices, (Indices{27, 27}));
}
