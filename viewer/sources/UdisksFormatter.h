#pragma once
// The card source formats through the shell module's disk-service format
// (udisks2): removable devices of this machine's drive map only, the user asked
// first with the medium's drive, label and size, then unmounted, formatted as
// FAT and mounted again. A refusal or failure is told to the user with its reason.
#include <cstdint>
#include <string>

#include "platform/shell/MediumFormat.h"

// 0 on success; -1 when the drive is refused, the question is declined or the
// format fails (the reason in *why). Without options.confirm nothing is asked.
int32_t FormatRemovableMedium(char letter, std::string* why = nullptr, plat::FormatOptions options = {});

// The question before a medium is erased: its drive, label and size.
std::string FormatQuestion(const plat::FormatTarget& target);
// What the user is told when a drive was not formatted.
std::string FormatRefusal(char letter, const std::string& why);

// Makes the card source format through it, asking and reporting in message boxes.
void InstallUdisksFormatter();
