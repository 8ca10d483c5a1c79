#include "monitor/MonDriveBase.h"

#include "platform/fs/DosAttributes.h"

#include <system_error>

namespace fs = std::filesystem;

void MonDriveBase::Init(uint16_t number, const plat::DriveMap* map, const std::string& hiddenFile,
                        const std::string& dcimFolder, const std::string& im01Folder)
{
    map_ = map;
    number_ = number;
    name_ = std::string{static_cast<char>('A' + number), ':'};
    type_ = map_->driveType(name_[0]);
    initFlg_ = true;
    accessFlg_ = inputDisk_ = removeEvent_ = false;
    hiddenFilePath_ = name_ + "\\" + hiddenFile;
    dcimPath_ = name_ + "\\" + dcimFolder;
    im01Path_ = name_ + "\\" + im01Folder;
}

void MonDriveBase::Reset()
{
    number_ = kNoDrive;
    name_.clear();
    hiddenFilePath_.clear();
    dcimPath_.clear();
    im01Path_.clear();
    type_ = plat::DriveType::Unknown;
    initFlg_ = accessFlg_ = inputDisk_ = removeEvent_ = false;
}

bool MonDriveBase::IsDeviceStatusChange(bool removed)
{
    if (number_ == kNoDrive)
        return false;
    type_ = map_->driveType(name_[0]);
    initFlg_ = true;
    accessFlg_ = inputDisk_ = false;
    removeEvent_ = removed;
    return type_ == plat::DriveType::Removable || type_ == plat::DriveType::Fixed;
}

bool MonDriveBase::IsCheckInputDisk()
{
    if (number_ == kNoDrive)
        return false;
    fs::path root;
    std::error_code ec;
    const bool present = map_->rootOf(name_[0], &root).ok() && fs::is_directory(root, ec);
    if (removeEvent_) {
        // After a removal the drive must once be seen empty before a medium counts.
        if (!present)
            removeEvent_ = false;
        return false;
    }
    return present;
}

bool MonDriveBase::PathExists(const std::string& drivePath, bool* isFolder) const
{
    fs::path path;
    if (!plat::resolveDrivePath(drivePath, &path, *map_).ok())
        return false;
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(path, ec);
    if (ec || !fs::exists(st))
        return false;
    *isFolder = fs::is_directory(st);
    return true;
}

bool MonDriveBase::IsCameraData() const
{
    if (number_ == kNoDrive)
        return false;
    bool folder = false;
    if (!PathExists(hiddenFilePath_, &folder) || folder)
        return false;
    fs::path marker;
    plat::DosAttributes attributes;
    if (!plat::resolveDrivePath(hiddenFilePath_, &marker, *map_).ok() ||
        !plat::readDosAttributes(marker, &attributes).ok() || !attributes.hiddenOrUnknown())
        return false;
    bool dcimFolder = false, im01Folder = false;
    return (PathExists(dcimPath_, &dcimFolder) && dcimFolder) || (PathExists(im01Path_, &im01Folder) && im01Folder);
}

bool MonDriveBase::IsUseful()
{
    if (number_ == kNoDrive)
        return false;
    if (type_ == plat::DriveType::Fixed) {
        if (!initFlg_)
            return false;
        initFlg_ = false;
        inputDisk_ = true;
        accessFlg_ = IsCameraData();
        return accessFlg_;
    }
    if (type_ != plat::DriveType::Removable)
        return false;
    initFlg_ = false;
    if (inputDisk_) {
        if (!IsCheckInputDisk()) {
            inputDisk_ = false;  // the medium was taken out
            accessFlg_ = false;
        }
        return false;
    }
    if (!IsCheckInputDisk())
        return false;
    inputDisk_ = true;
    accessFlg_ = IsCameraData();
    return accessFlg_;
}
