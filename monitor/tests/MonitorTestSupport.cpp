#include "monitor/tests/MonitorTestSupport.h"

#include "viewer/shell/common/RegistryNames.h"

#include "platform/desktop/Desktop.h"
#include "platform/desktop/RegisteredMessages.h"
#include "platform/fs/DosAttributes.h"
#include "platform/registry/Registry.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fstream>

namespace fs = std::filesystem;

void EnsureQtApp()
{
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "wakely_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
}

bool PumpUntil(const std::function<bool()>& done, int boundMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < boundMs) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return done();
}

void PumpFor(int ms)
{
    PumpUntil([] { return false; }, ms);
}

void WriteFile(const fs::path& path, const std::string& text)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

void AddUsbDevice(const fs::path& sysfs, const std::string& name, const std::string& vendor,
                  const std::string& product, const std::string& revision)
{
    const fs::path device = sysfs / "bus/usb/devices" / name;
    WriteFile(device / "idVendor", vendor + "\n");
    WriteFile(device / "idProduct", product + "\n");
    WriteFile(device / "bcdDevice", revision + "\n");
}

ViewerWindow::ViewerWindow(const std::string& title)
{
    EnsureQtApp();
    message_ = plat::registerMessage("WakelyToLumoraMessageString");
    marker_ = plat::registerMessage("WakelyTestMarker");
    receiver_ = std::make_unique<plat::MessageReceiver>([this](uint32_t message, plat::WParam, plat::LParam lParam) {
        if (message == message_ && message_ != 0)
            indices.push_back(lParam);
        if (message == marker_ && marker_ != 0)
            ++markers_;
        return plat::LResult(0);
    });
    std::string error;
    EXPECT_TRUE(plat::registerTopLevelWindow(receiver_->handle(), title, plat::WindowState::Hidden, [] {}, &error))
        << error;
}

bool ViewerWindow::Flush()
{
    const int expected = markers_ + 1;
    if (!plat::broadcastMessage(marker_, 0, 0))
        return false;
    return PumpUntil([&] { return markers_ >= expected; }, 20000);
}

ViewerWindow::~ViewerWindow()
{
    plat::unregisterTopLevelWindow(receiver_->handle());
}

void MonitorFixture::SetUp()
{
    EnsureQtApp();
    sysfs_ = root_.path() / "fake-sys";
    fs::create_directories(sysfs_ / "bus/usb/devices");
    mountInfo_ = root_.path() / "fake-mountinfo";
    WriteFile(mountInfo_, "");
    commonFiles_ = root_.path() / "Common Files";
    installDir_ = root_.path() / "Lumora";
    fs::create_directories(installDir_);

    SetMachineString(kLumoraMachineKey, kVersionValue, "4.3.1");
    SetMachineString(kLumoraMachineKey, kInstallDirValue, installDir_.string());
    SetMachineString(kLumoraMachineKey, kLanguageValue, "USA");
    SetMachineString(kAppPathsKey, "", (installDir_ / "no-viewer-here").string());
    SetMachineString(kCurrentVersionKey, kCommonFilesDirValue, commonFiles_.string());
    SetMachineString(kCurrentVersionKey, kProgramFilesDirValue, (root_.path() / "Program Files").string());

    config_.devices.drives.sysfsRoot = sysfs_;
    config_.devices.drives.mountInfo = mountInfo_;
    config_.devices.drives.tableFile = root_.path() / "run" / "drives";
    config_.devices.drives.deviceProperties = [](const std::string&) { return std::map<std::string, std::string>(); };
    config_.devices.lister = SysfsHardwareIdLister(sysfs_);
    config_.clock = {[] { return 100000u; }, [](uint32_t) {}};
    config_.pollMs = 3600000;  // the tests tick the frame themselves
    config_.viewer.firstWindowLimitMs = 5000;
    config_.viewer.settleMs = 0;
    config_.viewer.retryMs = 10;
    config_.viewer.broadcastAttempts = 3;
    ASSERT_TRUE(language_.Bind("WakelyLang", 1));
    viewer_ = std::make_unique<ViewerWindow>();
}

void MonitorFixture::TearDown()
{
    frame_.reset();
    viewer_.reset();
    language_.Unbind();
}

fs::path MonitorFixture::CardFolder(char letter) const
{
    return root_.path() / "cards" / std::string(1, letter);
}

void MonitorFixture::AddReader(char letter)
{
    plat::DriveMap map(config_.devices.drives);
    ASSERT_TRUE(map.addManual(letter, CardFolder(letter), plat::DriveType::Removable).ok());
}

void MonitorFixture::InsertCard(char letter, bool marker)
{
    const fs::path card = CardFolder(letter);
    fs::create_directories(card / "DCIM" / "100VOREL");
    if (marker) {
        WriteFile(card / "Vorel001.dsc", "marker");
        // Where the file system cannot keep the bit, the marker counts as hidden anyway.
        plat::changeDosAttributes(card / "Vorel001.dsc", plat::FileAttr::Hidden, 0);
    }
}

void MonitorFixture::EjectCard(char letter)
{
    fs::remove_all(CardFolder(letter));
}

CMainFrame& MonitorFixture::StartFrame()
{
    frame_ = std::make_unique<CMainFrame>(language_, config_);
    EXPECT_TRUE(frame_->Create("Wakely"));
    EXPECT_TRUE(frame_->Settings()->Load());
    frame_->OnStartMonitor();
    return *frame_;
}

std::vector<plat::LParam> MonitorFixture::Tick()
{
    const size_t before = viewer_->indices.size();
    frame_->OnTimer();
    EXPECT_TRUE(viewer_->Flush());
    return std::vector<plat::LParam>(viewer_->indices.begin() + before, viewer_->indices.end());
}

void MonitorFixture::SetUserDword(const std::string& key, const char* name, uint32_t value)
{
    plat::RegKey k;
    ASSERT_EQ(plat::Registry::create(plat::Hive::CurrentUser, key, &k), plat::RegResult::Ok);
    ASSERT_EQ(k.setDword(name, value), plat::RegResult::Ok);
}

void MonitorFixture::SetMachineString(const std::string& key, const char* name, const std::string& value)
{
    plat::RegKey k;
    ASSERT_EQ(plat::Registry::create(plat::Hive::LocalMachine, key, &k), plat::RegResult::Ok);
    ASSERT_EQ(k.setString(name, value), plat::RegResult::Ok);
}

void MonitorFixture::SetMachineDword(const std::string& key, const char* name, uint32_t value)
{
    plat::RegKey k;
    ASSERT_EQ(plat::Registry::create(plat::Hive::LocalMachine, key, &k), plat::RegResult::Ok);
    ASSERT_EQ(k.setDword(name, value), plat::RegResult::Ok);
}
