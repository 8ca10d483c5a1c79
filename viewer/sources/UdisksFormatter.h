#pragma once
// Formatting a card through udisks2 on the system bus: the card's file system is
// unmounted, its block device formatted as FAT ("vfat") and mounted again. Only
// a drive the drive map sees as a removable device is touched, never a folder
// made a drive by hand, and never a device udisks marks as a system device.
#include <cstdint>
#include <string>

// 0 on success; -1 when the drive is refused or udisks fails (the reason in *why).
int32_t FormatRemovableMedium(char letter, std::string* why = nullptr);

// Makes the card source format through udisks2.
void InstallUdisksFormatter();
