#include "monitor/DeviceCtrl.h"

#include "monitor/LumoraAPI.h"
#include "monitor/MonSettings.h"

#include "viewer/shell/common/MessageIdRecord.h"

namespace {

constexpr int kFirstWatchedDrive = 3;  // A:, B: and C: are never cards

}  // namespace

DeviceCtrl::DeviceCtrl(MonSettings* settings, DeviceCtrlConfig config)
    : settings_(settings),
      config_(std::move(config)),
      strings_(config_.strings ? *config_.strings : ProgramStrings()),
      map_(config_.drives)
{
    if (!config_.lister)
        config_.lister = SysfsHardwareIdLister(MonitorSysfsRoot());
}

DeviceCtrl::~DeviceCtrl()
{
    for (MonModuleBase& c : classes_)
        c.UnloadModule();
}

int DeviceCtrl::ExcludedDriveOf(const std::string& installDir, const plat::DriveMap& map)
{
    // The drive the installation lives on: its letter's index; none when the
    // folder lies on no drive of the map.
    std::string dosPath;
    if (installDir.empty() || !plat::drivePathOf(installDir, &dosPath, map).ok() || dosPath.empty())
        return 0;
    const char letter = dosPath[0];
    return letter >= 'A' && letter <= 'Z' ? letter - 'A' : 0;
}

void DeviceCtrl::Initialize()
{
    if (!settings_)
        return;
    // 1.
    excludedDrive_ = ExcludedDriveOf(settings_->GetInstallDir(), map_);
    // 2.
    const std::string hiddenFile = LoadMonString(strings_, MonStringId::HiddenFile);
    const std::string dcim = LoadMonString(strings_, MonStringId::DcimFolder);
    const std::string im01 = LoadMonString(strings_, MonStringId::Im01Folder);
    for (int n = 0; n < kDriveCount; ++n) {
        drives_[n].Init(static_cast<uint16_t>(n), &map_, hiddenFile, dcim, im01);
        MessageIdRecord record;
        record.SetName(drives_[n].GetName());
        WriteMessageID(n, record);
    }
    // 3.
    MonModuleTable table;
    table.Read(strings_);
    classCount_ = static_cast<int>(table.Classes().size());
    const std::string dornMods = LoadMonString(strings_, MonStringId::DornModsFolder);
    for (int k = 0; k < classCount_; ++k) {
        MonModuleBase& c = classes_[k];
        c.SetSchedulerLimit(config_.schedulerLimitMs);
        c.SetSchedulerPoll(config_.schedulerPoll);
        c.Init(table.Classes()[k], config_.lister);
        c.SetModulePath(settings_->GetCommonFilesDir(), dornMods);
        MessageIdRecord record;
        record.SetName(c.GetModulePath());
        WriteMessageID(kDriveCount + k, record);
    }
    // 4.
    indexCount_ = kDriveCount + classCount_;
}

void DeviceCtrl::Uninitialize()
{
    for (MonDriveBase& d : drives_)
        d.Reset();
    for (MonModuleBase& c : classes_)
        c.Clear();
    if (settings_)
        LumoraAPI::DeleteMessageIdKey();
    settings_ = nullptr;
    indexCount_ = 0;
    classCount_ = 0;
    excludedDrive_ = 0;
}

bool DeviceCtrl::IsExcludedDrive(int index) const
{
    return index < kFirstWatchedDrive || (excludedDrive_ != 0 && index == excludedDrive_);
}

bool DeviceCtrl::IsUseful(int index)
{
    if (index < 0 || index >= indexCount_)
        return false;
    if (index < kDriveCount) {
        if (config_.xpMode || IsExcludedDrive(index))
            return false;
        return drives_[index].IsUseful();
    }
    return classes_[index - kDriveCount].IsUseful();
}

std::string DeviceCtrl::GetDriverName(int index) const
{
    if (index < 0 || index >= indexCount_)
        return {};
    if (index < kDriveCount)
        return drives_[index].GetName();
    return classes_[index - kDriveCount].GetModulePath();
}

std::string DeviceCtrl::GetCapabilityName(int index) const
{
    if (index < kDriveCount || index >= indexCount_)
        return {};
    return classes_[index - kDriveCount].GetCapabilityName();
}

bool DeviceCtrl::IsDeviceStatusChange(int& index, bool removed)
{
    if (index < 0)
        return false;
    if (index < kDriveCount) {
        if (IsExcludedDrive(index))
            return false;
        return drives_[index].IsDeviceStatusChange(removed);
    }
    bool changed = false;
    for (int k = 0; k < classCount_; ++k) {
        if (classes_[k].IsDeviceStatusChange()) {
            index = kDriveCount + k;
            changed = true;
        }
    }
    return changed;
}
