#pragma once
// The monitor's settings: the installation values, read by the reader the
// viewer shares (the version must be of this release), with the legacy start-up
// value migrated afterwards.
#include "viewer/shell/common/InstallInfo.h"

#include <string>

class MonSettings {
public:
    // True only when every reader succeeded.
    bool Load() { return ReadInstallInfo(&info_); }

    const std::string& GetLanguage() const { return info_.language; }
    const std::string& GetInstallDir() const { return info_.installDir; }
    const std::string& GetViewerPath() const { return info_.viewerPath; }
    const std::string& GetCommonFilesDir() const { return info_.commonFilesDir; }
    const std::string& GetProgramFilesDir() const { return info_.programFilesDir; }

    InstallInfo& Info() { return info_; }

private:
    InstallInfo info_;
};
