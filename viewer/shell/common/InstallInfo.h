#pragma once
// The installation values the installer wrote (machine hive), read by the viewer
// and the device monitor at start-up, and the migration of the legacy start-up
// value that both run afterwards.
#include <string>

struct InstallInfo {
    std::string installDir;       // InstallDir, when Version begins with "4.3.1"
    std::string viewerPath;       // default value of the viewer's App Paths key
    std::string language;         // Language (read into 5 bytes)
    std::string commonFilesDir;   // CommonFilesDir
    std::string programFilesDir;  // ProgramFilesDir
};

// All four reads are made, each even when an earlier one failed; true only when
// all succeed. Then the StartID migration runs.
bool ReadInstallInfo(InstallInfo* info);

// "Settings\StartUp" StartID (legacy) -> AutoStart, StartType; StartID is deleted.
// 0 -> (0, 0), 1 -> (0, 1), 2 -> (1, 1); any other value -> (0, 0).
void MigrateStartId();

// The installation's Version text is of this release: it begins with "4.3.1"
// (byte-wise, case-sensitive), so "4.3.10" passes and "4.3" does not.
bool IsInstalledVersion(const std::string& version);
