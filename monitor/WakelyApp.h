#pragma once
// The device monitor's program object: one monitor per user and system root,
// on supported versions only, with the installation read and the language
// library loaded; it then runs the hidden main frame, which does the watching.
#include "monitor/MainFrame.h"

#include "viewer/shell/common/LanguageContext.h"
#include "viewer/shell/common/WinVersion.h"

#include "platform/msg/DeviceNotifier.h"
#include "platform/proc/SingleInstanceLock.h"

#include <memory>

inline constexpr const char* kWakelyMutexName = "7D3C9E42-1F62-4A57-8B0C-2E9D4F6A1C35";
inline constexpr int kXpVersionCode = 9;

struct WakelyEnvironment {
    MainFrameConfig frame;
    OsVersionQuery osVersion;    // empty: the system's record
    bool watchDevices = true;    // device and volume messages from the device watcher
};

class CWakelyApp {
public:
    explicit CWakelyApp(WakelyEnvironment environment = {});
    ~CWakelyApp();
    CWakelyApp(const CWakelyApp&) = delete;
    CWakelyApp& operator=(const CWakelyApp&) = delete;

    // Any failing step ends the program quietly (false).
    bool InitInstance();
    int ExitInstance();

    CMainFrame* MainFrame() { return frame_.get(); }
    bool IsXpMode() const { return xpMode_; }
    LanguageContext& Language() { return language_; }

private:
    bool CheckVersion();
    bool WaitAfterBootBeforeWindow();
    bool CreateMainFrame();
    static void RepairRawFileAssociation();
    bool LoadLanguageLibrary();

    WakelyEnvironment environment_;
    plat::SingleInstanceLock mutex_;
    bool xpMode_ = false;
    LanguageContext language_;
    std::unique_ptr<CMainFrame> frame_;
    std::unique_ptr<plat::DeviceNotifier> notifier_;
};
