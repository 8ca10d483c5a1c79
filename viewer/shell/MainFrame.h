#pragma once
// The hidden main frame: owns the work windows, opens the target the device
// monitor names (or the last one), watches it with timer 1 and turns each status
// into a refresh, a question or the closing of the target. Messages about the
// target are shown once, over whichever work window exists.
#include "viewer/shell/common/HelpRequest.h"
#include "platform/msg/MessageBox.h"
#include "platform/msg/Messages.h"
#include "platform/msg/WindowHandle.h"
#include "viewer/shell/common/LangString.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace plat {
class MessageReceiver;
}
class CLumoraApp;

class CMainFrame {
public:
    static constexpr uint32_t kStatusTimerId = 1;
    static constexpr uint32_t kFirstTickMs = 500;
    static constexpr uint32_t kTickMs = 2000;
    // The window title of a program whose presence refuses a target (61687).
    static constexpr const char* kConflictingProgramTitle = "Vorel Card Station";

    explicit CMainFrame(CLumoraApp& app);
    ~CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // OnCreate: the frame's receiver, listed as a hidden top-level window titled
    // `title`, with device and session-end notifications. False when it cannot be made.
    bool Create(const std::string& title);
    plat::WindowHandle Handle() const;
    bool SetWindowText(const std::string& title);

    // The registered message "WakelyToLumoraMessageString"; 0 when it could not be registered.
    static uint32_t WakelyMessage();

    plat::LResult WindowProc(uint32_t message, plat::WParam wParam, plat::LParam lParam);

    // Handlers.
    void OnWakelyID(int index);
    void OnStartWithoutMonitor(plat::LParam lParam);
    void OnOpenBrowser();
    void OnOpenTransferPanel();
    void OnCloseTarget();
    void OnTargetMessage(uint32_t textId);
    void OnTimer();
    void OnDeviceChange(plat::WParam event, const plat::DeviceChange* change);
    bool OnQueryEndSession();

    bool ConnectTarget();
    bool StartStatusTimer(uint32_t periodMs);
    void KillStatusTimer();
    bool StatusTimerRunning() const { return statusTimer_ != 0; }
    int _IsTargetStatus();
    void ShowTargetMessage(const std::string& text, plat::MessageIcon icon);
    void ShowBox(const std::string& text, plat::MessageIcon icon);
    void ShowHelpTopic(uint32_t contextId);
    // The first target message was shown (the frame is closing the target).
    bool MessageShown() const { return messageShown_.load(); }

    // The device check around long operations of the sources: stop it, and
    // start it again (reconnecting first when needed; false when that failed).
    // Readers and jobs call them from their own threads; the timer is the UI
    // thread's, so both run there while the caller waits.
    void SuspendDeviceCheck();
    bool ResumeDeviceCheck();

private:
    int CreateCameraController();
    int MapControllerResult(int result) const;
    void NotifyTargetOpened(plat::LParam panelLParam);
    void PrepareViewerClasses();
    void HandleStatus(int status);
    void CheckTransferRequest();
    bool PostToSelf(uint32_t message, plat::WParam wParam, plat::LParam lParam);
    void CloseMainFrame();
    void FailStartWithoutMonitor();

    CLumoraApp& app_;
    std::unique_ptr<plat::MessageReceiver> receiver_;
    // Read by the transfer worker while the UI thread sets it.
    std::atomic<bool> messageShown_{false};
    uint32_t statusTimer_ = 0;   // UI thread only
    bool checkPaused_ = false;   // UI thread only: a tick that ends during a pause does not restart the check
    CLangString messageText_;
    HelpHandler previousHelp_;   // put back when this frame goes
};

// The name of a built-in viewer window class: format filled with (style, 0, brush, icon).
std::string RegisterViewerClass(const char* format, uint32_t style, uint32_t brush, uint32_t icon);
