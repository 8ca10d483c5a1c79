#pragma once
// The device controller: decides when a camera card (drives C:..Z:) or a camera
// of the device table (classes, index 26 + k) has newly appeared.
#include "monitor/MonDriveBase.h"
#include "monitor/MonModuleBase.h"
#include "monitor/MonModuleTable.h"
#include "monitor/MonStrings.h"
#include "monitor/PresentDevices.h"

#include "platform/fs/DriveMap.h"

#include <array>
#include <functional>
#include <string>

class MonSettings;

struct DeviceCtrlConfig {
    plat::DriveMapConfig drives = plat::DriveMapConfig::fromEnvironment();
    // The present devices of a class; empty: sysfs at MonitorSysfsRoot().
    HardwareIdLister lister;
    const MonStringTable* strings = nullptr;  // null: the program's table
    bool xpMode = false;                      // no drive is ever reported
    uint32_t schedulerLimitMs = MonModuleBase::kSchedulerLimitMs;
    std::function<int32_t()> schedulerPoll;   // empty: the camera-module scheduler
};

class DeviceCtrl {
public:
    static constexpr int kDriveCount = 26;
    static constexpr int kClassSlots = 26;

    DeviceCtrl(MonSettings* settings, DeviceCtrlConfig config = {});
    ~DeviceCtrl();
    DeviceCtrl(const DeviceCtrl&) = delete;
    DeviceCtrl& operator=(const DeviceCtrl&) = delete;

    // Drives and classes from the settings and the device table; writes the
    // MessageID key of every index. Nothing without settings.
    void Initialize();
    // Forgets everything and deletes the MessageID key (when settings are held).
    void Uninitialize();

    bool IsUseful(int index);
    std::string GetDriverName(int index) const;
    std::string GetCapabilityName(int index) const;
    // For a device message: a drive's status change (indices 3..25 but the
    // excluded one), or, for 26 and above, a rescan of every class: index then
    // names the last class that found more devices.
    bool IsDeviceStatusChange(int& index, bool removed);

    int GetIndexCount() const { return indexCount_; }
    int GetExcludedDrive() const { return excludedDrive_; }
    int GetClassCount() const { return classCount_; }
    MonDriveBase& Drive(int n) { return drives_[n]; }
    MonModuleBase& Class(int k) { return classes_[k]; }
    const plat::DriveMap& DriveMapOf() const { return map_; }

private:
    bool IsExcludedDrive(int index) const;
    static int ExcludedDriveOf(const std::string& installDir, const plat::DriveMap& map);

    MonSettings* settings_;
    DeviceCtrlConfig config_;
    const MonStringTable& strings_;
    plat::DriveMap map_;
    int excludedDrive_ = 0;
    int indexCount_ = 0;
    int classCount_ = 0;
    std::array<MonDriveBase, kDriveCount> drives_;
    std::array<MonModuleBase, kClassSlots> classes_;
};
