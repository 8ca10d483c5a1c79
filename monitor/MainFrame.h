#pragma once
// The monitor's hidden main window: it starts the watching (command 101), polls
// the devices every second, takes device messages, and ends the monitor on a
// close or the end of the session.
#include "monitor/BootWait.h"
#include "monitor/DeviceCtrl.h"
#include "monitor/LumoraAPI.h"
#include "monitor/MonSettings.h"

#include "platform/msg/MessageReceiver.h"
#include "platform/msg/Messages.h"

#include <functional>
#include <memory>
#include <string>

class LanguageContext;

inline constexpr uint32_t kCmdStartMonitor = 101;
inline constexpr uint32_t kPollTimerId = 1;

struct MainFrameConfig {
    DeviceCtrlConfig devices;
    LumoraAPIConfig viewer;
    BootClock clock = BootClock::System();
    uint32_t pollMs = 1000;
    std::function<void()> onClosed;  // the frame has closed: the program ends
};

class CMainFrame {
public:
    CMainFrame(LanguageContext& language, MainFrameConfig config);
    ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Lists the hidden window under its title and asks for device and session
    // messages; false (with a reason) when it cannot.
    bool Create(const std::string& title, std::string* error = nullptr);

    plat::WindowHandle Handle() const { return receiver_ ? receiver_->handle() : plat::WindowHandle(); }
    MonSettings* Settings() { return settings_.get(); }
    DeviceCtrl* Devices() { return deviceCtrl_.get(); }
    LumoraAPI* Viewer() { return lumoraApi_.get(); }
    bool IsPolling() const { return polling_; }
    bool IsClosed() const { return closed_; }

    plat::LResult OnMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam);
    void OnStartMonitor();
    void OnTimer();
    void OnDeviceChange(uint32_t event, const plat::DeviceChange* change);
    void OnClose();

    void _StartPolling();
    void _EndPolling();
    // The drive of a volume message (its highest unit bit), or -1.
    static int _GetChangeDrive(const plat::DeviceChange* change);

private:
    void NotifyLoop(int first, int last);

    LanguageContext& language_;
    MainFrameConfig config_;
    std::unique_ptr<plat::MessageReceiver> receiver_;
    std::unique_ptr<MonSettings> settings_;
    std::unique_ptr<LumoraAPI> lumoraApi_;
    std::unique_ptr<DeviceCtrl> deviceCtrl_;
    bool polling_ = false;
    bool closed_ = false;
    bool listed_ = false;
};
