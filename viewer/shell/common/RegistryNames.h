#pragma once
// Registry keys and value names shared by the viewer and the device monitor
// (the programs' own strings 62006-62015).
inline constexpr const char* kLumoraMachineKey = "SOFTWARE\\Vorel\\Lumora";                                // 62006
inline constexpr const char* kInstallDirValue = "InstallDir";                                              // 62007
inline constexpr const char* kVersionValue = "Version";                                                    // 62008
inline constexpr const char* kLanguageValue = "Language";                                                  // 62009
inline constexpr const char* kAppPathsKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Lumora.exe";  // 62010
inline constexpr const char* kCurrentVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
inline constexpr const char* kCommonFilesDirValue = "CommonFilesDir";
inline constexpr const char* kProgramFilesDirValue = "ProgramFilesDir";
inline constexpr const char* kVersionPrefix = "4.3.1";                                                     // 62015

// Per-user values, below HKEY_CURRENT_USER.
inline constexpr const char* kLumoraUserKey = "Software\\VOREL\\Lumora";
inline constexpr const char* kStartUpKey = "Software\\VOREL\\Lumora\\Settings\\StartUp";
inline constexpr const char* kMessageIdKey = "Software\\VOREL\\Lumora\\MessageID";
inline constexpr const char* kLastTargetKey = "Software\\VOREL\\Lumora\\Settings\\MessageID";
inline constexpr const char* kAutoStartValue = "AutoStart";
inline constexpr const char* kStartTypeValue = "StartType";
inline constexpr const char* kStartIdValue = "StartID";
inline constexpr const char* kNameValue = "Name";
inline constexpr const char* kCapabilityValue = "Capability";
