#include "monitor/MainFrame.h"

#include "platform/desktop/Desktop.h"
#include "platform/msg/DeviceNotifications.h"
#include "platform/msg/Messaging.h"
#include "platform/msg/SessionEnd.h"

#include <QCoreApplication>

CMainFrame::CMainFrame(LanguageContext& language, MainFrameConfig config)
    : language_(language), config_(std::move(config)), settings_(std::make_unique<MonSettings>())
{
    receiver_ = std::make_unique<plat::MessageReceiver>(
        [this](uint32_t message, plat::WParam wParam, plat::LParam lParam) { return OnMessage(message, wParam, lParam); });
}

CMainFrame::~CMainFrame()
{
    _EndPolling();
    if (deviceCtrl_)
        deviceCtrl_->Uninitialize();
    deviceCtrl_.reset();
    lumoraApi_.reset();
    LumoraAPI::DeleteMessageIdKey();
    settings_.reset();
    if (listed_) {
        plat::removeSessionEndWindow(Handle());
        plat::unregisterForDeviceNotifications(Handle());
        plat::unregisterTopLevelWindow(Handle());
    }
}

bool CMainFrame::Create(const std::string& title, std::string* error)
{
    if (!plat::registerTopLevelWindow(Handle(), title, plat::WindowState::Hidden, [] {}, error))
        return false;
    listed_ = true;
    plat::registerForDeviceNotifications(Handle());
    plat::addSessionEndWindow(Handle());
    return true;
}

plat::LResult CMainFrame::OnMessage(uint32_t message, plat::WParam wParam, plat::LParam lParam)
{
    switch (message) {
    case plat::kMsgCommand:
        if (wParam == kCmdStartMonitor)
            OnStartMonitor();
        return 0;
    case plat::kMsgTimer:
        if (wParam == kPollTimerId)
            OnTimer();
        return 0;
    case plat::kMsgDeviceChange:
        OnDeviceChange(static_cast<uint32_t>(wParam), reinterpret_cast<const plat::DeviceChange*>(lParam));
        return 1;
    case plat::kMsgQueryEndSession:
        plat::postMessage(Handle(), plat::kMsgClose, 0, 0);
        return 1;
    case plat::kMsgEndSession:
        if (wParam)
            OnClose();
        return 0;
    case plat::kMsgClose:
        OnClose();
        return 0;
    default:
        return 0;
    }
}

void CMainFrame::OnStartMonitor()
{
    if (closed_ || deviceCtrl_)
        return;
    // 1. A close or the session's end during the wait: the monitor does not start.
    const bool waited = WaitAfterBoot(config_.clock, [this] {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return closed_;
    });
    if (!waited || closed_)
        return;
    // 2.
    lumoraApi_ = std::make_unique<LumoraAPI>(settings_.get(), config_.viewer);
    lumoraApi_->Initialize(language_);
    // 3.
    deviceCtrl_ = std::make_unique<DeviceCtrl>(settings_.get(), config_.devices);
    deviceCtrl_->Initialize();
    // 4.
    _StartPolling();
}

void CMainFrame::_StartPolling()
{
    if (polling_ || closed_)
        return;
    polling_ = plat::setTimer(Handle(), kPollTimerId, config_.pollMs);
}

void CMainFrame::_EndPolling()
{
    if (polling_)
        plat::killTimer(Handle(), kPollTimerId);
    polling_ = false;
}

void CMainFrame::NotifyLoop(int first, int last)
{
    for (int index = first; index <= last && deviceCtrl_ && lumoraApi_; ++index) {
        if (deviceCtrl_->IsUseful(index))
            lumoraApi_->SendMsgToView(index, deviceCtrl_->GetDriverName(index), deviceCtrl_->GetCapabilityName(index));
    }
}

void CMainFrame::OnTimer()
{
    if (deviceCtrl_)
        NotifyLoop(0, deviceCtrl_->GetIndexCount() - 1);
}

int CMainFrame::_GetChangeDrive(const plat::DeviceChange* change)
{
    if (!change || change->deviceType != plat::kDeviceTypeVolume || change->unitMask == 0)
        return -1;
    int drive = 31;
    while (!(change->unitMask & (1u << drive)))
        --drive;
    return drive;
}

void CMainFrame::OnDeviceChange(uint32_t event, const plat::DeviceChange* change)
{
    if (!deviceCtrl_)
        return;
    switch (event) {
    case plat::kDeviceNodesChanged: {
        int index = 99;  // every class
        if (deviceCtrl_->IsDeviceStatusChange(index, false))
            NotifyLoop(index, index);
        break;
    }
    case plat::kDeviceArrival: {
        int drive = _GetChangeDrive(change);
        if (drive >= 0 && deviceCtrl_->IsDeviceStatusChange(drive, false))
            NotifyLoop(drive, drive);
        break;
    }
    case plat::kDeviceRemoveComplete: {
        int drive = _GetChangeDrive(change);
        if (drive >= 0) {
            deviceCtrl_->IsDeviceStatusChange(drive, true);
        } else {
            // Another kind of device went: polling is toggled.
            if (polling_)
                _EndPolling();
            else
                _StartPolling();
            return;
        }
        break;
    }
    default:
        break;
    }
    if (!polling_)
        _StartPolling();
}

void CMainFrame::OnClose()
{
    if (closed_)
        return;
    closed_ = true;
    _EndPolling();
    if (deviceCtrl_) {
        deviceCtrl_->Uninitialize();
        deviceCtrl_.reset();
    }
    if (config_.onClosed)
        config_.onClosed();
}
