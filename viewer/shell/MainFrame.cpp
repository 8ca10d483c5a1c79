#include "viewer/shell/MainFrame.h"

#include "viewer/shell/LumoraApp.h"
#include "viewer/shell/common/TextFormat.h"
#include "viewer/shell/common/ViewerMessages.h"

#include "platform/desktop/Desktop.h"
#include "platform/desktop/RegisteredMessages.h"
#include "platform/msg/DeviceNotifications.h"
#include "platform/msg/MessageReceiver.h"
#include "platform/msg/Messaging.h"
#include "platform/msg/SessionEnd.h"
#include "platform/msg/UiThread.h"
#include "platform/shell/HelpTopic.h"
#include "viewer/shell/common/HelpRequest.h"
#include "viewer/sources/JqIfMngResult.h"

#include <QApplication>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

namespace {

// Text ids of the frame's messages.
constexpr uint32_t kTextGeneralFailure = 61602;
constexpr uint32_t kTextTargetAlreadyOpen = 61606;
constexpr uint32_t kTextControllerOther = 61612;
constexpr uint32_t kTextCheckCamera = 61614;
constexpr uint32_t kTextNoCard = 61616;
constexpr uint32_t kTextHelpMissing = 61662;
constexpr uint32_t kTextNoReadablePictures = 61663;
constexpr uint32_t kTextDeviceGone = 61667;
constexpr uint32_t kTextNotOurCard = 61668;
constexpr uint32_t kTextLastTargetFailed = 61669;
constexpr uint32_t kTextModelUnsupported = 61685;
constexpr uint32_t kTextConflictingProgram = 61687;
constexpr uint32_t kTitlePanel = 62101;
constexpr uint32_t kTitleBrowser = 62102;
constexpr uint32_t kTextCameraRoot = 62421;
constexpr uint32_t kTextCardRoot = 62422;

constexpr uint32_t kBackgroundColour = 227 | (230 << 8) | (240 << 16);  // RGB(227, 230, 240)
constexpr const char* kHelpPage = "01_Get_Started/h001_Get_Started.htm";

uint32_t g_wakelyMessage = 0;

std::string Text(uint32_t id)
{
    return CLangString(id).Text();
}

// Statuses that leave the target open: nothing changed, a refresh, or the
// camera's one-time warning.
bool IsWatchableStatus(int status)
{
    return status == 0 || status == JqIfMngResult_StatusFilesChanged || status == JqIfMngResult_StatusFoldersChanged ||
           status == JqIfMngResult_StatusBothChanged || status == static_cast<int>(kTextCheckCamera);
}

// A minimised owner comes back before its message is shown over it.
void RestoreIfMinimised(plat::WindowHandle owner)
{
    std::vector<plat::TopLevelWindow> windows;
    if (!plat::listTopLevelWindows(&windows))
        return;
    for (const plat::TopLevelWindow& w : windows)
        if (w.pid == ::getpid() && w.window == owner && w.state == plat::WindowState::Minimized)
            plat::restoreAndRaise(w);
}

}  // namespace

std::string RegisterViewerClass(const char* format, uint32_t style, uint32_t brush, uint32_t icon)
{
    char name[128];
    std::snprintf(name, sizeof name, format, static_cast<int>(style), 0, static_cast<int>(brush),
                  static_cast<int>(icon));
    return name;
}

CMainFrame::CMainFrame(CLumoraApp& app) : app_(app)
{
    if (!g_wakelyMessage)
        g_wakelyMessage = plat::registerMessage(kWakelyToLumoraMessageName);
    // Help buttons and F1 in any of the program's windows come here.
    previousHelp_ = SetHelpHandler([this](uint32_t contextId) { ShowHelpTopic(contextId); });
}

CMainFrame::~CMainFrame()
{
    SetHelpHandler(std::move(previousHelp_));
    KillStatusTimer();
    app_.Windows().DestroyAll();
    if (receiver_) {
        plat::removeSessionEndWindow(receiver_->handle());
        plat::unregisterForDeviceNotifications(receiver_->handle());
        plat::unregisterTopLevelWindow(receiver_->handle());
    }
}

uint32_t CMainFrame::WakelyMessage()
{
    return g_wakelyMessage;
}

bool CMainFrame::Create(const std::string& title)
{
    receiver_ = std::make_unique<plat::MessageReceiver>(
        [this](uint32_t m, plat::WParam w, plat::LParam l) { return WindowProc(m, w, l); });
    // Hidden for its whole life: a request to restore it from another process is ignored.
    std::string error;
    if (!plat::registerTopLevelWindow(receiver_->handle(), title, plat::WindowState::Hidden, [] {}, &error)) {
        std::fprintf(stderr, "Lumora: the main window cannot be listed: %s\n", error.c_str());
        receiver_.reset();
        return false;
    }
    plat::registerForDeviceNotifications(receiver_->handle());
    plat::addSessionEndWindow(receiver_->handle());
    return true;
}

plat::WindowHandle CMainFrame::Handle() const
{
    return receiver_ ? receiver_->handle() : plat::WindowHandle{};
}

bool CMainFrame::SetWindowText(const std::string& title)
{
    return receiver_ && plat::setTopLevelTitle(receiver_->handle(), title);
}

plat::LResult CMainFrame::WindowProc(uint32_t message, plat::WParam wParam, plat::LParam lParam)
{
    if (g_wakelyMessage && message == g_wakelyMessage) {
        OnWakelyID(static_cast<int>(lParam));
        return 0;
    }
    switch (message) {
    case UM_OPEN_BROWSER:
        OnOpenBrowser();
        return 0;
    case UM_OPEN_TRANSFER_PANEL:
        OnOpenTransferPanel();
        return 0;
    case UM_CLOSE_TARGET:
        OnCloseTarget();
        return 0;
    case UM_TARGET_MESSAGE:
        OnTargetMessage(static_cast<uint32_t>(lParam));
        return 0;
    case UM_START_WITHOUT_MONITOR:
        OnStartWithoutMonitor(lParam);
        return 0;
    case plat::kMsgTimer:
        OnTimer();
        return 0;
    case plat::kMsgDeviceChange:
        OnDeviceChange(wParam, reinterpret_cast<const plat::DeviceChange*>(lParam));
        return 1;
    case plat::kMsgQueryEndSession:
        return OnQueryEndSession() ? 1 : 0;
    case plat::kMsgEndSession:
        if (wParam)
            app_.Quit();
        return 0;
    case plat::kMsgClose:
        app_.Quit();
        return 0;
    default:
        return 0;
    }
}

// --- opening a target -------------------------------------------------------

void CMainFrame::OnWakelyID(int index)
{
    // 1. Bring our work window to the front.
    app_.FindPreviousInstance();
    // 2. One target at a time.
    if (app_.targetOpen) {
        ShowBox(Text(kTextTargetAlreadyOpen), plat::MessageIcon::Exclamation);
        return;
    }
    // 3. A conflicting program holds the device.
    if (plat::findTopLevelByTitle(kConflictingProgramTitle)) {
        PostToSelf(UM_TARGET_MESSAGE, 0, kTextConflictingProgram);
        return;
    }
    // 4. The device record; a drive without one is named by its letter.
    MessageIdRecord record;
    const bool read = index >= 0 && app_.Settings()->ReadMessageID(index, &record);
    if (index < 0 || (!read && !IsDriveIndex(index))) {
        PostToSelf(UM_TARGET_MESSAGE, 0, kTextGeneralFailure);
        return;
    }
    app_.targetRecord = record;
    // 5.
    app_.targetOpen = true;
    app_.currentIndex = index;
    // 6.-8. Connection, picture access, drop source.
    if (!ConnectTarget()) {
        PostToSelf(UM_TARGET_MESSAGE, 0, kTextGeneralFailure);
        return;
    }
    if (!app_.Parts().CreatePictureAccess()) {
        PostToSelf(UM_TARGET_MESSAGE, 0, kTextGeneralFailure);
        return;
    }
    if (!app_.Parts().CreateDropSource()) {
        PostToSelf(UM_TARGET_MESSAGE, 0, kTextGeneralFailure);
        return;
    }
    // 9. Tell the work window.
    if (plat::WindowHandle view = app_.Windows().BrowserView())
        plat::postMessage(view, UM_TARGET_OPENED, 0, index);
    if (plat::WindowHandle panel = app_.Windows().TransferPanel()) {
        app_.Windows().SetPanelDeviceIndex(index);
        plat::postMessage(panel, UM_TARGET_OPENED, 0, index);
    }
    // 10.-12.
    app_.Settings()->SaveLastTarget(app_.targetRecord);
    PrepareViewerClasses();
    CLumoraApp::CleanFolder(app_.TempFolder(), false, 0, false);
}

void CMainFrame::OnStartWithoutMonitor(plat::LParam lParam)
{
    // 1.
    if (app_.targetOpen) {
        ShowBox(Text(kTextTargetAlreadyOpen), plat::MessageIcon::Exclamation);
        return;
    }
    if (plat::findTopLevelByTitle(kConflictingProgramTitle)) {
        PostToSelf(UM_TARGET_MESSAGE, 0, kTextConflictingProgram);
        return;
    }
    // 2. The last target; none ends quietly.
    MessageIdRecord record;
    if (!app_.Settings()->LoadLastTarget(&record) || record.Name[0] == '\0')
        return;
    // 3. Two characters are a drive, anything else a camera.
    app_.targetRecord = record;
    app_.targetOpen = true;
    const std::string name = record.Name;
    if (name.size() == 2) {
        const char letter = name[0];
        if (letter < 'A' || letter > 'Z' || name[1] != ':') {
            FailStartWithoutMonitor();
            return;
        }
        app_.currentIndex = letter - 'A';
    } else {
        app_.currentIndex = kFirstCameraIndex;
    }
    // 4. The source of the target.
    if (IsCameraIndex(app_.currentIndex)) {
        if (CreateCameraController() != 0) {
            FailStartWithoutMonitor();
            return;
        }
    } else if (!app_.Parts().HasCardSource() && !app_.Parts().CreateCardSource()) {
        FailStartWithoutMonitor();
        return;
    }
    // 5. The target must answer (a refresh or the camera's warning is an answer).
    if (!IsWatchableStatus(_IsTargetStatus())) {
        FailStartWithoutMonitor();
        return;
    }
    // 6. Picture access, connection, drop source.
    if (!app_.Parts().CreatePictureAccess() || !ConnectTarget() ||
        !app_.Parts().CreateDropSource()) {
        PostToSelf(UM_TARGET_MESSAGE, 0, kTextGeneralFailure);
        return;
    }
    // 7. Tell the work window, then the classes and the temp folder.
    if (plat::WindowHandle view = app_.Windows().BrowserView()) {
        KillStatusTimer();
        plat::postMessage(view, UM_TARGET_OPENED, 0, app_.currentIndex);
    }
    if (plat::WindowHandle panel = app_.Windows().TransferPanel()) {
        app_.Windows().SetPanelDeviceIndex(app_.currentIndex);
        plat::postMessage(panel, UM_TARGET_OPENED, 0, lParam);
    }
    PrepareViewerClasses();
    CLumoraApp::CleanFolder(app_.TempFolder(), false, 0, false);
}

// 8. Nothing of the failed target stays behind, the camera controller included.
void CMainFrame::FailStartWithoutMonitor()
{
    app_.targetOpen = false;
    app_.currentIndex = 0;
    app_.Parts().DeleteCardSource();
    app_.Parts().DeleteCameraController();
    ShowBox(Text(kTextLastTargetFailed), plat::MessageIcon::Exclamation);
}

bool CMainFrame::ConnectTarget()
{
    if (StatusTimerRunning())
        return true;
    int result = 0;
    if (IsDriveIndex(app_.currentIndex)) {
        if (!app_.Parts().HasCardSource()) {
            if (!app_.Parts().CreateCardSource()) {
                result = kTextGeneralFailure;
            } else {
                result = _IsTargetStatus();
                if (result == static_cast<int>(kTextNoCard))
                    result = kTextDeviceGone;
                else if (result == static_cast<int>(kTextNotOurCard))
                    result = app_.Parts().IsInputCFCard(app_.targetRecord) ? kTextNoReadablePictures : kTextNoCard;
                else if (IsWatchableStatus(result))
                    result = 0;
            }
        }
    } else {
        result = CreateCameraController();
    }
    if (result != 0) {
        plat::sendMessage(Handle(), UM_TARGET_MESSAGE, 0, result);
        return false;
    }
    return StartStatusTimer(kFirstTickMs);
}

int CMainFrame::CreateCameraController()
{
    if (app_.Parts().HasCameraController())
        return 0;
    bool created = false;
    const int result =
        app_.Parts().OpenCameraController(app_.targetRecord, Text(kTitlePanel), Text(kTitleBrowser), &created);
    if (result == 0 && created)
        return 0;
    return created || result != 0 ? MapControllerResult(result) : static_cast<int>(kTextGeneralFailure);
}

int CMainFrame::MapControllerResult(int result) const
{
    switch (result) {
    case JqIfMngResult_Status102:
    case JqIfMngResult_StatusNotOurs:
        return kTextNoReadablePictures;
    case JqIfMngResult_Failed:
        return kTextGeneralFailure;
    case JqIfMngResult_EmptyFolder:
        return kTextModelUnsupported;
    case JqIfMngResult_Code107:
        return kTextConflictingProgram;
    default:
        return kTextControllerOther;
    }
}

void CMainFrame::PrepareViewerClasses()
{
    app_.backgroundColour = kBackgroundColour;
    app_.viewerClassNames[0] = RegisterViewerClass("BltInFrame:%d:%d:%d:%d", 0x2003, 0, 132);
    app_.viewerClassNames[1] = RegisterViewerClass("BltInForm:%d:%d:%d:%d", 0x3003, kBackgroundColour, 0);
    app_.viewerClassNames[2] = RegisterViewerClass("BltInWnd:%d:%d:%d:%d", 0x3003, kBackgroundColour, 0);
}

// --- watching ------------------------------------------------------------------

bool CMainFrame::StartStatusTimer(uint32_t periodMs)
{
    if (statusTimer_)
        return true;
    if (!plat::setTimer(Handle(), kStatusTimerId, periodMs))
        return false;
    statusTimer_ = kStatusTimerId;
    return true;
}

void CMainFrame::KillStatusTimer()
{
    if (!statusTimer_)
        return;
    plat::killTimer(Handle(), kStatusTimerId);
    statusTimer_ = 0;
}

int CMainFrame::_IsTargetStatus()
{
    std::string folder = app_.Windows().BrowserCurrentFolder();
    int result = 0;
    if (IsDriveIndex(app_.currentIndex)) {
        result = app_.Parts().CardTargetStatus(app_.targetRecord, folder);
    } else {
        if (folder == Text(kTextCameraRoot) || folder == Text(kTextCardRoot))
            folder.clear();
        result = app_.Parts().CameraTargetStatus(folder);
    }
    const int id = GetErrorStringID(result, 0);
    return id < 0 ? static_cast<int>(kTextGeneralFailure) : id;
}

void CMainFrame::OnTimer()
{
    KillStatusTimer();
    const int status = _IsTargetStatus();
    if (!IsWatchableStatus(status)) {
        PostToSelf(UM_TARGET_MESSAGE, 0, status);
        return;
    }
    HandleStatus(status);
    CheckTransferRequest();
    if (!checkPaused_)   // paused while the tick handled its status
        StartStatusTimer(kTickMs);
}

void CMainFrame::HandleStatus(int status)
{
    const plat::WindowHandle view = app_.Windows().BrowserView();
    switch (status) {
    case JqIfMngResult_StatusFilesChanged:
        if (view)
            plat::postMessage(view, UM_TARGET_FILES_CHANGED, 0, 0);
        break;
    case JqIfMngResult_StatusFoldersChanged:
        if (view)
            plat::postMessage(view, UM_TARGET_CHANGED, 0, 0);
        break;
    case JqIfMngResult_StatusBothChanged:
        if (view) {
            plat::postMessage(view, UM_TARGET_CHANGED, 0, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
            plat::postMessage(view, UM_TARGET_FILES_CHANGED, 0, 0);
        }
        break;
    case static_cast<int>(kTextCheckCamera):
        ShowBox(Text(kTextCheckCamera), plat::MessageIcon::Exclamation);
        break;
    default:
        break;
    }
}

// A drive whose card asks for a transfer (and no modal window up).
void CMainFrame::CheckTransferRequest()
{
    if (!IsDriveIndex(app_.currentIndex) || app_.Windows().IsFrameInModalState())
        return;
    if (!app_.Parts().IsTransferRequested(app_.targetRecord))
        return;
    if (plat::WindowHandle view = app_.Windows().BrowserView())
        plat::postMessage(view, UM_TRANSFER_REQUEST, 0, 0);
    if (plat::WindowHandle panel = app_.Windows().TransferPanel())
        plat::postMessage(panel, UM_TRANSFER_REQUEST, 0, 0);
}

void CMainFrame::OnDeviceChange(plat::WParam event, const plat::DeviceChange* change)
{
    if (event != plat::kDeviceRemoveComplete || !change || change->deviceType != plat::kDeviceTypeVolume)
        return;
    // Several volumes may go at once: the current drive's own bit decides.
    if (!app_.targetOpen || !IsDriveIndex(app_.currentIndex))
        return;
    if (change->unitMask & (1u << app_.currentIndex)) {
        KillStatusTimer();
        PostToSelf(UM_TARGET_MESSAGE, 0, kTextDeviceGone);
    }
}

bool CMainFrame::OnQueryEndSession()
{
    KillStatusTimer();
    plat::sendMessage(Handle(), UM_CLOSE_TARGET, 0, 0);
    return true;
}

namespace {

// Without an application object (a frame under test) there is no other thread.
void RunOnUiThread(const std::function<void()>& work)
{
    if (!plat::runOnUiThread(work))
        work();
}

}  // namespace

void CMainFrame::SuspendDeviceCheck()
{
    RunOnUiThread([this] {
        checkPaused_ = true;
        KillStatusTimer();
    });
}

bool CMainFrame::ResumeDeviceCheck()
{
    bool running = false;
    RunOnUiThread([&] {
        checkPaused_ = false;
        running = ConnectTarget();
    });
    return running;
}

// --- closing and messages ------------------------------------------------------------

void CMainFrame::OnTargetMessage(uint32_t textId)
{
    if (messageShown_)
        return;
    messageShown_ = true;
    messageText_.LoadLangString(textId);
    ShowTargetMessage(messageText_.Text(), plat::MessageIcon::Stop);
    plat::sendMessage(Handle(), UM_CLOSE_TARGET, 0, 0);
}

void CMainFrame::OnCloseTarget()
{
    if (IsCameraIndex(app_.currentIndex)) {
        KillStatusTimer();
        app_.Parts().CloseCameraConnection();
    }
    if (plat::WindowHandle panel = app_.Windows().TransferPanel())
        plat::postMessage(panel, plat::kMsgClose, 0, 0);
    else if (plat::WindowHandle frame = app_.Windows().BrowserFrame())
        plat::postMessage(frame, plat::kMsgClose, 0, 0);
    else
        CloseMainFrame();  // no work window to end the program through
}

void CMainFrame::OnOpenTransferPanel()
{
    if (!app_.Windows().OpenTransferPanel(app_.targetOpen ? app_.currentIndex : -1))
        CloseMainFrame();
}

void CMainFrame::OnOpenBrowser()
{
    if (!app_.Windows().OpenBrowser(app_.Settings()->Zoom == 1))
        CloseMainFrame();
}

void CMainFrame::ShowTargetMessage(const std::string& text, plat::MessageIcon icon)
{
    plat::WindowHandle owner = app_.Windows().TransferPanel();
    if (!owner)
        owner = app_.Windows().BrowserFrame();
    if (!owner)
        return;
    RestoreIfMinimised(owner);
    plat::MessageBoxRequest box;
    box.owner = owner;
    box.text = text;
    box.icon = icon;
    box.topmost = true;
    plat::showMessageBox(box);
}

// A box of the frame's own: over the work window when there is one.
void CMainFrame::ShowBox(const std::string& text, plat::MessageIcon icon)
{
    plat::MessageBoxRequest box;
    box.owner = app_.Windows().TransferPanel();
    if (!box.owner)
        box.owner = app_.Windows().BrowserFrame();
    box.text = text;
    box.icon = icon;
    plat::showMessageBox(box);
}

void CMainFrame::ShowHelpTopic(uint32_t /*contextId*/)
{
    // Every topic opens the first page of the help, in the help window over
    // whichever of the program's windows asked.
    const std::filesystem::path installDir(app_.Settings()->InstallDir());
    if (plat::showHelpTopic(installDir, kHelpPage, QApplication::activeWindow()) == plat::HelpResult::Ok)
        return;
    ShowBox(FormatLangText(Text(kTextHelpMissing), {plat::helpFolderOf(installDir).string()}),
            plat::MessageIcon::Exclamation);
}

bool CMainFrame::PostToSelf(uint32_t message, plat::WParam wParam, plat::LParam lParam)
{
    return plat::postMessage(Handle(), message, wParam, lParam);
}

void CMainFrame::CloseMainFrame()
{
    PostToSelf(plat::kMsgClose, 0, 0);
}
