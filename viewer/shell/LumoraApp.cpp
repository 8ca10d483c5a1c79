#include "viewer/shell/LumoraApp.h"

#include "viewer/shell/AppWorkWindows.h"
#include "viewer/shell/MainFrame.h"
#include "viewer/shell/SourceTargetParts.h"
#include "viewer/shell/common/TextFormat.h"
#include "viewer/shell/common/FolderTools.h"
#include "viewer/shell/common/LanguageContext.h"
#include "viewer/shell/common/ViewerMessages.h"
#include "viewer/shell/common/WinVersion.h"
#include "viewer/shell/ui/LumoraDoc.h"
#include "viewer/transfer/UploadClient.h"

#include "outside/lang/InitLangDll.h"
#include "viewer/sources/JqFileLib.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/RegisteredMessages.h"
#include "platform/msg/MessageBox.h"
#include "platform/msg/Messaging.h"

#include <QCoreApplication>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

constexpr uint32_t kTextNoFreeSpace = 61601;
constexpr uint32_t kTextUnsupportedSystem = 61603;
constexpr uint32_t kTextNotInstalled = 61604;
constexpr uint32_t kTextMainTitle = 62012;
constexpr uint32_t kTitlePanel = 62101;
constexpr uint32_t kTitleBrowser = 62102;
constexpr const char* kLanguageProgram = "LumoraLang";
constexpr const char* kInstanceLockName = "Lumora.lock";
constexpr auto kBroadcastRetry = std::chrono::milliseconds(1000);

// Said when not even the fallback language file can be read.
constexpr const char* kBuiltInNotInstalled = "%s is not installed correctly. Please install it again.";

CLumoraApp* g_app = nullptr;

}  // namespace

CLumoraApp* TheApp()
{
    return g_app;
}

CLumoraApp::CLumoraApp(AppEnvironment environment) : env_(std::move(environment))
{
    parts_ = env_.makeTargetParts ? env_.makeTargetParts(*this) : std::make_unique<SourceTargetParts>(*this);
    windows_ = env_.workWindows ? std::move(env_.workWindows) : std::make_unique<AppWorkWindows>(*this);
    g_app = this;
}

CLumoraApp::~CLumoraApp()
{
    mainFrame_.reset();
    if (g_app == this)
        g_app = nullptr;
}

bool CLumoraApp::InitInstance()
{
    // 1.
    targetOpen = false;
    TheLanguage().Unbind();
    InitLangDll();
    // 2.-3. Installation values and language.
    settings_ = std::make_unique<CViewSettings>();
    if (!ReadInstallation() || !BindLanguage()) {
        ShowStartupFailure(kTextNotInstalled, kProductTitle);
        return false;
    }
    // 4.
    if (!LoadSettingsAndFolders()) {
        ShowStartupFailure(kTextNotInstalled, kProductTitle);
        return false;
    }
    // 5.
    if (!CheckVersion()) {
        ShowStartupFailure(kTextUnsupportedSystem);
        return false;
    }
    // 6. Another copy ends here, silently, after handing on an AutoPlay drive.
    if (!CheckSingleInstance())
        return false;
    // 7.
    if (!CheckFreeSpace()) {
        ShowStartupFailure(kTextNoFreeSpace);
        return false;
    }
    // 8. The document server of the original has no role here: no automation
    // clients exist, so there is nothing to initialise.
    // 9.
    GetCommandLineMode();
    // 10.-12.
    if (!ProcessShellCommand())
        return false;
    // 13.-14.
    PostStartUpChoice();
    if (::chdir(settings_->InstallDir().c_str()) != 0)
        std::fprintf(stderr, "Lumora: cannot make the installation folder current\n");
    // 15.
    if (commandLine_.mode == -1)
        return false;
    PostByMode();
    return true;
}

bool CLumoraApp::ReadInstallation()
{
    return settings_->ReadInstallInfo();
}

bool CLumoraApp::BindLanguage()
{
    const int row = FindLanguageRow(settings_->Language());
    if (row < 0)
        return false;
    languageIndex_ = row;
    languageId_ = kLanguageTable[row].LangId();
    return TheLanguage().Bind(kLanguageProgram, row);
}

bool CLumoraApp::LoadSettingsAndFolders()
{
    if (!settings_->LoadSettings())
        return false;
    if (!MakeWorkingFolders(settings_->InstallDir(), settings_->ProgramFilesDir(), &folders_))
        return false;
    // The image-file library and its work files.
    CJqFileLib::SetCommonFilesDir(settings_->CommonFilesDir());
    CJqFileLib::SetWorkFolder(folders_.temp);
    if (!folders_.webUploadAvailable)
        settings_->WriteTransferDestChecks(0, 1);
    return true;
}

bool CLumoraApp::CheckVersion()
{
    osVersionCode_ = env_.versionCode ? env_.versionCode() : CWinVersion().GetWindowsVersionCode();
    return CWinVersion::IsSupportedCode(osVersionCode_);
}

// The lock closes the gap in which two copies started at once would both find
// no window; the window search then raises the one that runs.
bool CLumoraApp::CheckSingleInstance()
{
    const bool locked = AcquireInstanceLock();
    const bool windowFound = FindPreviousInstance();
    previousInstanceFound_ = !locked || windowFound;
    if (!previousInstanceFound_)
        return true;
    // The device records are the running copy's: a second copy writes one only
    // for the AutoPlay drive it hands on, never for a camera it cannot open.
    ReadCommandLine();
    if (commandLine_.mode == 2) {
        settings_->WriteMessageID(commandLine_.index, commandLine_.record);
        PostDeviceToRunningCopy();
    }
    return false;
}

bool CLumoraApp::AcquireInstanceLock()
{
    const plat::ProcResult r = plat::SingleInstanceLock::acquire(kInstanceLockName, &instanceLock_);
    if (r == plat::ProcResult::AlreadyRunning)
        return false;
    if (r != plat::ProcResult::Ok)
        std::fprintf(stderr, "Lumora: the single-instance lock is not available (%s)\n", plat::describe(r));
    return true;
}

bool CLumoraApp::FindPreviousInstance()
{
    if (titlePrefix1_.IsEmpty())
        titlePrefix1_.LoadLangString(kTitlePanel);
    if (titlePrefix2_.IsEmpty())
        titlePrefix2_.LoadLangString(kTitleBrowser);
    for (const CLangString* prefix : {&titlePrefix1_, &titlePrefix2_}) {
        if (prefix->IsEmpty())
            continue;  // an empty prefix would match every window
        if (auto window = plat::findTopLevelByTitlePrefix(prefix->Text(), plat::TitleCase::Sensitive)) {
            plat::restoreAndRaise(*window);
            return true;
        }
    }
    return false;
}

bool CLumoraApp::CheckFreeSpace()
{
    const std::string& folder = settings_->InstallDir();
    return env_.hasFreeSpace ? env_.hasFreeSpace(folder, kRequiredFreeBytes) : HasFreeSpace(folder, kRequiredFreeBytes);
}

void CLumoraApp::ReadCommandLine()
{
    commandLine_ = ClassifyCommandLine(RawCommandLine(env_.args), osVersionCode_, settings_->CommonFilesDir());
}

int CLumoraApp::GetCommandLineMode()
{
    ReadCommandLine();
    if (commandLine_.mode == 2 || commandLine_.mode == 3)
        settings_->WriteMessageID(commandLine_.index, commandLine_.record);
    return commandLine_.mode;
}

bool CLumoraApp::PostDeviceToRunningCopy()
{
    const uint32_t message = plat::registerMessage(kWakelyToLumoraMessageName);
    if (!message)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(env_.broadcastRetryLimitMs);
    for (;;) {
        if (plat::broadcastMessage(message, 0, commandLine_.index))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kBroadcastRetry);
    }
}

// The document step: only an AutoPlay drive root ("E:\") may be named, and only
// where AutoPlay exists (code 9); nothing is opened for it.
bool CLumoraApp::ProcessShellCommand()
{
    const ShellCommand command = ParseShellCommand(env_.args);
    if (command.embedding || command.automation)
        return false;  // no automation clients here
    if (!command.fileToOpen.empty() && !CLumoraDoc().OnOpenDocument(command.fileToOpen, osVersionCode_))
        return false;
    return CreateMainFrame();
}

bool CLumoraApp::CreateMainFrame()
{
    mainFrame_ = std::make_unique<CMainFrame>(*this);
    if (!mainFrame_->Create(CLangString(kTextMainTitle).Text())) {
        mainFrame_.reset();
        return false;
    }
    return true;
}

void CLumoraApp::PostStartUpChoice()
{
    StartUpRecord startUp;
    settings_->ReadStartUp(&startUp);
    plat::postMessage(mainFrame_->Handle(), startUp.StartType == 1 ? UM_OPEN_BROWSER : UM_OPEN_TRANSFER_PANEL, 0, 0);
}

void CLumoraApp::PostByMode()
{
    switch (commandLine_.mode) {
    case 0:
        plat::postMessage(mainFrame_->Handle(), UM_START_WITHOUT_MONITOR, 0, 0);
        break;
    case 2:
    case 3:
        if (CMainFrame::WakelyMessage())
            plat::postMessage(mainFrame_->Handle(), CMainFrame::WakelyMessage(), 0, commandLine_.index);
        break;
    default:
        break;  // 1: the device monitor broadcasts itself
    }
}

// A start-up failure box: before a language is chosen the fallback language
// speaks, and without any language file a built-in text.
void CLumoraApp::ShowStartupFailure(uint32_t textId, const std::string& argument)
{
    if (!TheLanguage().IsBound())
        TheLanguage().Bind(kLanguageProgram, kFallbackLanguageIndex);
    std::string text = CLangString(textId).Text();
    if (text.empty())
        text = kBuiltInNotInstalled;
    plat::MessageBoxRequest box;
    box.text = FormatLangText(text, {argument});
    box.icon = plat::MessageIcon::Stop;
    plat::showMessageBox(box);
}

int CLumoraApp::ExitInstance()
{
    // 1. Only the copy that ran cleans the working folders.
    if (!previousInstanceFound_) {
        CleanFolder(folders_.temp, false, 0, false);
        PruneWebUploadFolder(folders_.webUpload, 24, false);
        backgroundColour = 0;
        viewerClassNames = {};
    }
    mainFrame_.reset();
    // 2.-4.
    TheLanguage().Unbind();
    settings_.reset();
    parts_->DeleteCameraController();
    parts_->DeleteCardSource();
    instanceLock_.release();
    return 0;
}

void CLumoraApp::CleanFolder(std::string folder, bool removeSelf, int minAgeHours, bool removeEmptyYoung)
{
    ::CleanFolder(std::move(folder), removeSelf, minAgeHours, removeEmptyYoung);
}

void CLumoraApp::Quit()
{
    if (env_.quit)
        env_.quit();
    else
        QCoreApplication::exit(0);  // quit() would let a work window that refuses to close keep us running
}
