#pragma once
// The card source formats through the shell module's disk-service format
// (udisks2): removable devices only, the service asked first, unmounted,
// formatted as FAT and mounted again.
#include <cstdint>
#include <string>

// 0 on success; -1 when the drive is refused or the format fails (the reason in *why).
int32_t FormatRemovableMedium(char letter, std::string* why = nullptr);

// Makes the card source format through it.
void InstallUdisksFormatter();
