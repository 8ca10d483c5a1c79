#include "monitor/WakelyApp.h"

#include "monitor/MonStrings.h"

#include "outside/lang/InitLangDll.h"

#include "platform/msg/MessageReceiver.h"
#include "platform/msg/Messages.h"
#include "platform/msg/Messaging.h"
#include "platform/msg/SessionEnd.h"
#include "platform/registry/Registry.h"

#include <QCoreApplication>

namespace {

constexpr const char* kRawExtensionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.rwq";
constexpr const char* kRawProgId = "Vorel Electronic Image Format";

}  // namespace

CWakelyApp::CWakelyApp(WakelyEnvironment environment) : environment_(std::move(environment))
{
    if (!environment_.frame.onClosed)
        environment_.frame.onClosed = [] { QCoreApplication::quit(); };
}

CWakelyApp::~CWakelyApp()
{
    ExitInstance();
}

bool CWakelyApp::InitInstance()
{
    // 1.
    xpMode_ = false;
    InitLangDll();
    // 2. Another monitor runs.
    if (plat::SingleInstanceLock::acquire(kWakelyMutexName, &mutex_) != plat::ProcResult::Ok)
        return false;
    // 3.-4.
    if (!CheckVersion() || !WaitAfterBootBeforeWindow())
        return false;
    // 5.-9. The hidden frame (there are no documents or automation clients here).
    if (!CreateMainFrame())
        return false;
    // 10.-11.
    if (!frame_->Settings()->Load())
        return false;
    LumoraAPI::DeleteMessageIdKey();
    // 12.
    if (xpMode_)
        RepairRawFileAssociation();
    // 13.
    if (!LoadLanguageLibrary())
        return false;
    // 14.
    if (environment_.watchDevices) {
        plat::DeviceWatcherConfig watch;
        watch.drives = environment_.frame.devices.drives;
        notifier_ = std::make_unique<plat::DeviceNotifier>(watch);
        notifier_->start();
    }
    plat::postMessage(frame_->Handle(), plat::kMsgCommand, kCmdStartMonitor, 0);
    return true;
}

bool CWakelyApp::CheckVersion()
{
    const CWinVersion version = environment_.osVersion ? CWinVersion(environment_.osVersion) : CWinVersion();
    const int code = version.GetWindowsVersionCode();
    if (!CWinVersion::IsSupportedCode(code))
        return false;
    xpMode_ = code == kXpVersionCode;
    environment_.frame.devices.xpMode = xpMode_;
    return true;
}

bool CWakelyApp::WaitAfterBootBeforeWindow()
{
    if (!xpMode_)
        return true;
    // No window yet: a stand-in takes the close and the session's end meanwhile.
    bool ending = false;
    plat::MessageReceiver watcher([&ending](uint32_t message, plat::WParam, plat::LParam) -> plat::LResult {
        if (message == plat::kMsgQueryEndSession || message == plat::kMsgClose)
            ending = true;
        return 1;
    });
    plat::addSessionEndWindow(watcher.handle());
    const bool waited = WaitAfterBoot(environment_.frame.clock, [&ending] {
        QCoreApplication::processEvents();
        return ending;
    });
    plat::removeSessionEndWindow(watcher.handle());
    return waited;
}

bool CWakelyApp::CreateMainFrame()
{
    frame_ = std::make_unique<CMainFrame>(language_, environment_.frame);
    return frame_->Create(LoadMonString(ProgramStrings(), MonStringId::MainTitle));
}

void CWakelyApp::RepairRawFileAssociation()
{
    plat::RegKey key;
    if (plat::Registry::create(plat::Hive::CurrentUser, kRawExtensionKey, &key) != plat::RegResult::Ok)
        return;
    key.deleteValue("Application");
    key.setString("Progid", kRawProgId);
}

bool CWakelyApp::LoadLanguageLibrary()
{
    const int row = FindLanguageRow(frame_->Settings()->GetLanguage());
    return row >= 0 && language_.Bind("WakelyLang", row);
}

int CWakelyApp::ExitInstance()
{
    if (notifier_) {
        notifier_->stop();
        notifier_.reset();
    }
    frame_.reset();
    language_.Unbind();
    mutex_.release();
    return 0;
}
