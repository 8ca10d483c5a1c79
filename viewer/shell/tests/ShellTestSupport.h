#pragma once
// A machine for the viewer's start-up tests: a throw-away system root with the
// installer's machine values and folders, a Qt application, message boxes
// answered and recorded, and stand-ins for the sources and work windows that
// record what the main frame asked of them.
#include "viewer/shell/LumoraApp.h"
#include "viewer/shell/TargetParts.h"
#include "viewer/shell/WorkWindows.h"

#include "platform/msg/MessageBox.h"
#include "platform/msg/MessageReceiver.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

void EnsureQtApp();
// Runs the event loop until done() or the bound (10 s) passes; done() once more.
bool PumpUntil(const std::function<bool()>& done, int boundMs = 10000);
void PumpFor(int ms);

struct Received {
    uint32_t message;
    plat::WParam wParam;
    plat::LParam lParam;
};

// A window of the test that records what it gets.
class RecordingWindow {
public:
    RecordingWindow();
    plat::WindowHandle handle() const { return receiver_->handle(); }
    bool got(uint32_t message, plat::LParam* lParam = nullptr) const;
    int count(uint32_t message) const;
    std::vector<Received> messages;

private:
    std::unique_ptr<plat::MessageReceiver> receiver_;
};

class FakeParts : public TargetParts {
public:
    int OpenCameraController(const MessageIdRecord& record, const std::string& t1, const std::string& t2,
                             bool* created) override;
    bool HasCameraController() const override { return camera; }
    void CloseCameraConnection() override { ++cameraCloses; }
    void DeleteCameraController() override { camera = false; ++cameraDeletes; }
    int CameraTargetStatus(const std::string& folder) override;
    bool HasCardSource() const override { return card; }
    bool CreateCardSource() override;
    void DeleteCardSource() override { card = false; ++cardDeletes; }
    int CardTargetStatus(const MessageIdRecord& record, const std::string& folder) override;
    bool IsInputCFCard(const MessageIdRecord&) override { return cardInReader; }
    bool HasPictureAccess() const override { return pictureAccess; }
    bool CreatePictureAccess() override;
    bool CreateDropSource() override { return dropSourceOk; }
    bool IsTransferRequested(const MessageIdRecord&) override { return transferRequested; }

    int NextStatus();

    int controllerResult = 0;
    bool cardCreatable = true;
    bool pictureAccessOk = true;
    bool dropSourceOk = true;
    bool transferRequested = false;
    bool cardInReader = true;
    std::deque<int> statuses;  // raw results of the next checks; 0 when empty
    bool camera = false;
    bool card = false;
    bool pictureAccess = false;
    int cameraCloses = 0, cameraDeletes = 0, cardDeletes = 0, cardCreations = 0;
    std::atomic<int> callsOffUiThread{0};  // the sources are the UI thread's
    MessageIdRecord lastControllerRecord;
    std::string lastTitle1, lastTitle2, lastFolder;
};

class FakeWindows : public WorkWindows {
public:
    bool OpenTransferPanel(int index) override;
    bool OpenBrowser(bool maximised) override;
    plat::WindowHandle TransferPanel() const override;
    plat::WindowHandle BrowserFrame() const override;
    plat::WindowHandle BrowserView() const override;
    void SetPanelDeviceIndex(int index) override { panelIndex = index; }
    std::string BrowserCurrentFolder() const override { return browserFolder; }
    bool IsFrameInModalState() const override { return modal; }
    void DestroyAll() override;

    bool panelCreatable = true;
    bool browserCreatable = true;
    std::string panelTitle = "Lumora 4 Transfer";  // listed in the window directory
    std::unique_ptr<RecordingWindow> panel, browserFrame, browserView;
    int panelIndex = -1;
    int panelOpens = 0, browserOpens = 0;
    std::shared_ptr<int> panelRestores = std::make_shared<int>(0);  // asked by another process
    bool lastMaximised = false;
    std::string browserFolder;
    bool modal = false;
};

struct BoxRecord {
    std::string text;
    plat::MessageIcon icon;
    plat::WindowHandle owner;
};

// The installed machine: HKLM values and the install folder tree.
class ShellFixture : public ::testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    void SetMachine(const char* key, const char* name, const std::string& value);
    void SetUserDword(const std::string& key, const char* name, uint32_t value);
    void SetUserString(const std::string& key, const char* name, const std::string& value);
    std::string UserString(const std::string& key, const char* name);
    void InstallUploader();
    void SetUpVersion(const std::string& v);
    void SetUpLanguage(const std::string& l);
    void RemoveFolder(const std::string& name);

    // The application with fakes; versionCode 8 unless given.
    std::unique_ptr<CLumoraApp> MakeApp(std::vector<std::string> args, int versionCode = 8);
    // MakeApp + InitInstance (asserted) + the posted start-up messages handled.
    std::unique_ptr<CLumoraApp> StartApp(std::vector<std::string> args = {}, int versionCode = 8);
    bool BoxShown(uint32_t textId) const;

    plat::testing::TempRoot root_;
    std::filesystem::path installDir_;
    FakeParts* parts_ = nullptr;      // owned by the app
    FakeWindows* windows_ = nullptr;  // owned by the app
    std::vector<BoxRecord> boxes_;
    bool freeSpace_ = true;
    bool realSources_ = false;  // the card source and picture access of viewer/sources
    int quits_ = 0;
};

// A text of the USA language file, read without binding the language.
std::string UsaText(uint32_t id);
