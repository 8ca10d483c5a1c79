#include "viewer/shell/common/InstallInfo.h"

#include "viewer/shell/common/RegistryNames.h"

#include "platform/registry/Registry.h"

#include <cstring>

namespace {

using plat::Hive;
using plat::RegKey;
using plat::RegResult;

constexpr uint32_t kPathBytes = 260;
constexpr uint32_t kLanguageBytes = 5;

bool OpenMachineKey(const char* path, RegKey* key)
{
    return plat::Registry::open(Hive::LocalMachine, path, key) == RegResult::Ok;
}

// The string into a buffer of `bytes` bytes; empty when it does not fit or is missing.
std::string ReadString(const RegKey& key, const char* name, uint32_t bytes, bool* ok = nullptr)
{
    std::string buf(bytes, '\0');
    const bool read = key.queryString(name, buf.data(), bytes) == RegResult::Ok;
    if (ok)
        *ok = read;
    return read ? std::string(buf.c_str()) : std::string();
}

bool ReadInstallDir(InstallInfo* info)
{
    RegKey key;
    if (!OpenMachineKey(kLumoraMachineKey, &key))
        return false;
    info->installDir = ReadString(key, kInstallDirValue, kPathBytes);
    return IsInstalledVersion(ReadString(key, kVersionValue, kPathBytes));
}

bool ReadViewerPath(InstallInfo* info)
{
    RegKey key;
    if (!OpenMachineKey(kAppPathsKey, &key))
        return false;
    info->viewerPath = ReadString(key, "", kPathBytes);
    return true;
}

bool ReadLanguage(InstallInfo* info)
{
    RegKey key;
    if (!OpenMachineKey(kLumoraMachineKey, &key))
        return false;
    info->language = ReadString(key, kLanguageValue, kLanguageBytes);
    return true;
}

bool ReadSystemFolders(InstallInfo* info)
{
    info->commonFilesDir.clear();
    info->programFilesDir.clear();
    RegKey key;
    if (!OpenMachineKey(kCurrentVersionKey, &key))
        return false;
    info->commonFilesDir = ReadString(key, kCommonFilesDirValue, kPathBytes);
    info->programFilesDir = ReadString(key, kProgramFilesDirValue, kPathBytes);
    return true;
}

}  // namespace

bool IsInstalledVersion(const std::string& version)
{
    return version.compare(0, std::strlen(kVersionPrefix), kVersionPrefix) == 0;
}

bool ReadInstallInfo(InstallInfo* info)
{
    const bool dir = ReadInstallDir(info);
    const bool viewer = ReadViewerPath(info);
    const bool language = ReadLanguage(info);
    const bool folders = ReadSystemFolders(info);
    MigrateStartId();
    return dir && viewer && language && folders;
}

void MigrateStartId()
{
    RegKey key;
    if (plat::Registry::open(Hive::CurrentUser, kStartUpKey, &key) != RegResult::Ok)
        return;
    uint32_t startId = 0;
    if (key.queryDword(kStartIdValue, &startId) != RegResult::Ok)
        return;
    uint32_t autoStart = 0, startType = 0;
    if (startId == 1)
        startType = 1;
    else if (startId == 2)
        autoStart = startType = 1;
    // The new values first: a failure leaves StartID for the next start.
    if (key.setDword(kAutoStartValue, autoStart) != RegResult::Ok ||
        key.setDword(kStartTypeValue, startType) != RegResult::Ok)
        return;
    key.deleteValue(kStartIdValue);
}
