#include "monitor/LumoraAPI.h"

#include "monitor/MonSettings.h"

#include "viewer/shell/common/LanguageContext.h"
#include "viewer/shell/common/MessageIdRecord.h"
#include "viewer/shell/common/RegistryNames.h"

#include "platform/desktop/Desktop.h"
#include "platform/desktop/FirstWindow.h"
#include "platform/desktop/RegisteredMessages.h"
#include "platform/proc/Process.h"
#include "platform/registry/Registry.h"
#include "platform/thread/Timing.h"

#include <strings.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

LumoraAPI::LumoraAPI(MonSettings* settings, LumoraAPIConfig config) : settings_(settings), config_(config) {}

void LumoraAPI::Initialize(LanguageContext& language, const MonStringTable& strings)
{
    messageId_ = plat::registerMessage(LoadMonString(strings, MonStringId::MessageName));
    viewerSwitch_ = LoadMonString(strings, MonStringId::ViewerSwitch);
    viewerPath_ = settings_ ? settings_->GetViewerPath() : std::string();
    titleText_ = language.LoadText(MonStringId::ViewerTitle).value_or(std::string());
    capture_.LoadStrings(strings);
}

uint32_t LumoraAPI::ReadAutoStart()
{
    plat::RegKey key;
    if (plat::Registry::open(plat::Hive::CurrentUser, kStartUpKey, &key) != plat::RegResult::Ok)
        return 0;
    uint32_t value = 0;
    if (key.queryDword(kAutoStartValue, &value) != plat::RegResult::Ok || value > 1)
        return 0;
    return value;
}

void LumoraAPI::SendMsgToView(int index, const std::string& driverName, const std::string& capabilityName)
{
    if (!settings_)
        return;
    // 1.-2. The user turned automatic start off, or another program has the camera.
    if (ReadAutoStart() != 0 || capture_.IsAlreadyCapture())
        return;
    // 3. A camera's key carries its model; a drive's was written at start.
    if (!capabilityName.empty()) {
        MessageIdRecord record;
        // A text that does not fit its field is not written half.
        if (record.SetName(driverName) && record.SetCapability(capabilityName))
            WriteMessageID(index, record);
    }
    // 4.-5.
    StartViewer();
    if (messageId_ != 0)
        _SendMessage(index);
}

bool LumoraAPI::DeleteMessageIdKey()
{
    plat::RegKey key;
    if (plat::Registry::open(plat::Hive::CurrentUser, kLumoraUserKey, &key) != plat::RegResult::Ok)
        return false;
    return key.deleteSubKeyTree("MessageID") == plat::RegResult::Ok;
}

bool LumoraAPI::IsViewerRunning() const
{
    std::vector<plat::TopLevelWindow> windows;
    if (!plat::listTopLevelWindows(&windows))
        return false;
    for (const plat::TopLevelWindow& window : windows)
        if (::strncasecmp(window.title.c_str(), titleText_.c_str(), titleText_.size()) == 0)
            return true;
    return false;
}

void LumoraAPI::StartViewer()
{
    // 1. The viewer program must be a file.
    std::error_code ec;
    if (viewerPath_.empty() || !fs::exists(viewerPath_, ec) || fs::is_directory(viewerPath_, ec))
        return;
    // 2. A viewer runs already.
    if (IsViewerRunning())
        return;
    // 3. Start it and give it time to make its main frame, within a bound.
    pid_t pid = 0;
    if (plat::startDetached(viewerPath_, {viewerSwitch_}, &pid) != plat::ProcResult::Ok)
        return;
    plat::waitForFirstWindow(pid, config_.firstWindowLimitMs);
    plat::sleepMs(config_.settleMs);
}

bool LumoraAPI::_SendMessage(int index)
{
    // A broadcast with no receiver succeeds; only a receiver that could not take
    // it is tried again, and not for ever.
    for (int attempt = 0; attempt < config_.broadcastAttempts; ++attempt) {
        if (attempt > 0)
            plat::sleepMs(config_.retryMs);
        if (plat::broadcastMessage(messageId_, 0, index))
            return true;
    }
    return false;
}
