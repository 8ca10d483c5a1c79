#pragma once
// Formatting a removable medium: a drive letter of the drive map, resolved to the
// mounted volume's block device, checked, then unmounted, formatted (vfat) and
// mounted again through the disk service (udisks2). Anything that is not a
// removable device is refused before the service is asked; the service must
// then agree that the device is removable (and no system device) before
// anything is unmounted.
//
// Manual drive-map entries are folders, not devices: they are refused
// (NotADevice), unless the caller opts in to the folder fallback, which empties
// a manual removable folder in place (links removed, never followed). Only code
// can turn it on (tests and demo machines whose "cards" are folders); the
// folder must not be "/", a link, or hold the home folder, the system root or
// the current directory.
#include "platform/fs/DriveMap.h"
#include "platform/shell/UDisksClient.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace plat {

enum class FormatResult : int32_t {
    Ok = 0,
    BadDrive,       // not a drive letter
    NoDrive,        // no drive with this letter
    NotRemovable,   // fixed disk, CD-ROM, or any drive type but removable
    NotADevice,     // a manual entry (a folder) and no folder fallback
    SystemDisk,     // the disk also holds a system path or swap
    NoMedium,       // no mounted medium in the drive
    BadLabel,       // longer than 11 bytes or with control characters
    Cancelled,      // the confirmation said no
    NoService,      // no system bus or no udisks2
    Refused,        // udisks2 (or the user at its prompt) refused
    Busy,           // the volume is in use and cannot be unmounted
    TimedOut,       // udisks2 did not answer in time
    Failed,         // the volume's device was not found, or udisks2 failed
    NotMountedBack, // formatted, but mounting it again failed
};

const char* formatResultName(FormatResult result);

// What is about to be formatted, for the confirmation.
struct FormatTarget {
    char letter = 0;
    std::filesystem::path root;   // the drive's mount point (or folder)
    std::string disk;             // kernel name of the whole disk ("sdb"); empty for a folder
    std::string volume;           // kernel name of the mounted volume ("sdb1")
    std::string objectPath;       // the volume's udisks2 object
    std::string currentLabel;     // file-system label now (may be empty)
    uint64_t sizeBytes = 0;       // size of the volume
    bool folder = false;          // a manual folder served by the fallback
};

struct FormatOptions {
    DriveMapConfig driveMap = DriveMapConfig::fromEnvironment();
    std::filesystem::path swaps = "/proc/swaps";
    UDisksClient* client = nullptr;            // null: the system bus
    std::function<bool(const FormatTarget&)> confirm;  // null: no question
    int unmountTimeoutMs = 30000;
    int formatTimeoutMs = 300000;              // large cards take their time
    int mountTimeoutMs = 30000;
    bool manualFolderFallback = false;         // see the top of this file
};

// Resolves and checks the drive, as formatRemovableMedium does before it asks
// anything. Ok fills *target.
FormatResult findFormatTarget(char letter, const FormatOptions& options, FormatTarget* target);

// Formats the drive's medium as vfat with `label` (at most 11 bytes; empty: no
// label). `letter` may be "e", "E" or "E:"'s first character.
FormatResult formatRemovableMedium(char letter, const std::string& label, const FormatOptions& options = {},
                                   std::string* error = nullptr);

}  // namespace plat
