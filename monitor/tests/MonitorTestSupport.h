#pragma once
// A machine for the monitor's tests: a throw-away system root with the
// installation's machine values, a fake sysfs tree and mount table, card folders
// as manual drives, and a window titled like the viewer's that records the
// broadcasts it gets.
#include "monitor/MainFrame.h"

#include "viewer/shell/common/LanguageContext.h"

#include "platform/msg/MessageReceiver.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

void EnsureQtApp();
// Runs the event loop until done() or the bound passes; done() once more.
bool PumpUntil(const std::function<bool()>& done, int boundMs = 5000);
void PumpFor(int ms);

void WriteFile(const std::filesystem::path& path, const std::string& text);

// A present USB device in a sysfs tree.
void AddUsbDevice(const std::filesystem::path& sysfs, const std::string& name, const std::string& vendor,
                  const std::string& product, const std::string& revision = "0100");

// A top-level window of this process, titled like the viewer's main frame, that
// keeps the lParam of each "WakelyToLumoraMessageString" it gets.
class ViewerWindow {
public:
    explicit ViewerWindow(const std::string& title = "Lumora Target Supervisor");
    ~ViewerWindow();
    // Broadcasts a marker and waits for it: what was broadcast before it has
    // then been delivered (one sender's posts keep their order).
    bool Flush();
    std::vector<plat::LParam> indices;

private:
    uint32_t message_ = 0;
    uint32_t marker_ = 0;
    int markers_ = 0;
    std::unique_ptr<plat::MessageReceiver> receiver_;
};

class MonitorFixture : public ::testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    // A card in a reader: a manual removable drive whose folder is the medium.
    std::filesystem::path CardFolder(char letter) const;
    void AddReader(char letter);
    // The folder with a DCIM folder and the hidden marker file.
    void InsertCard(char letter, bool marker = true);
    void EjectCard(char letter);

    // The frame, its settings loaded, started (no boot wait).
    CMainFrame& StartFrame();
    // One poll of the timer, then the broadcasts it gave.
    std::vector<plat::LParam> Tick();

    void SetUserDword(const std::string& key, const char* name, uint32_t value);
    void SetMachineString(const std::string& key, const char* name, const std::string& value);
    void SetMachineDword(const std::string& key, const char* name, uint32_t value);

    plat::testing::TempRoot root_;
    std::filesystem::path sysfs_;
    std::filesystem::path mountInfo_;
    std::filesystem::path commonFiles_;
    std::filesystem::path installDir_;
    MainFrameConfig config_;
    LanguageContext language_;
    std::unique_ptr<ViewerWindow> viewer_;
    std::unique_ptr<CMainFrame> frame_;
};
