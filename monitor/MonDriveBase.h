#pragma once
// One drive letter as the monitor watches it: whether a medium is in it and
// whether the medium holds camera data (the camera's hidden marker file and a
// DCIM or IM01W200 folder). Paths are drive paths ("E:\DCIM"), resolved through
// the drive map at each look.
#include "platform/fs/DriveMap.h"

#include <cstdint>
#include <string>

class MonDriveBase {
public:
    static constexpr uint16_t kNoDrive = 0xFFFF;

    // Name, type and paths of drive `number` (0 = A:); the flags as after a change.
    void Init(uint16_t number, const plat::DriveMap* map, const std::string& hiddenFile,
              const std::string& dcimFolder, const std::string& im01Folder);
    void Reset();

    // A status change reported for this drive; true for removable and fixed drives.
    bool IsDeviceStatusChange(bool removed);
    // The drive rule of IsUseful: newly inserted camera media (and fixed drives
    // once after a change).
    bool IsUseful();
    bool IsCheckInputDisk();
    bool IsCameraData() const;

    uint16_t GetNumber() const { return number_; }
    const std::string& GetName() const { return name_; }
    plat::DriveType GetType() const { return type_; }
    bool InitFlg() const { return initFlg_; }
    bool AccessFlg() const { return accessFlg_; }
    bool InputDisk() const { return inputDisk_; }
    bool RemoveEvent() const { return removeEvent_; }

private:
    bool PathExists(const std::string& drivePath, bool* isFolder) const;

    uint16_t number_ = kNoDrive;
    std::string name_;
    plat::DriveType type_ = plat::DriveType::Unknown;
    bool initFlg_ = false;
    bool accessFlg_ = false;
    bool inputDisk_ = false;
    bool removeEvent_ = false;
    std::string hiddenFilePath_;
    std::string dcimPath_;
    std::string im01Path_;
    const plat::DriveMap* map_ = nullptr;
};
