#pragma once
// The drive map: drive letters to mount points, shared by every process of the
// suite through one table file under <root>/run/ (guarded by a file lock).
//
//  - "C:" is "/", a fixed drive.
//  - Manual entries (letter, folder, drive type) come first. They make a "card"
//    of any folder (tests, machines without udev); the folder missing means the
//    drive has no medium.
//  - Removable media and CD-ROM drives get letters from "D:" upward, lowest free
//    first, on first sight of their slot: the whole block device, named by its
//    udev ID_PATH, else ID_SERIAL, else its physical device path in sysfs. A slot
//    keeps its letter while the block device exists, with or without a medium;
//    the letter is freed when the device goes. "A:" and "B:" are never given.
//  - A drive's root is the mount point of the first mounted file system on the
//    slot's disk or partitions; none means no medium.
// Every query reads the current sysfs and mount table, so the answer is always
// today's; the sysfs root and the mountinfo path can be pointed at fakes. Roots
// (`rootOf`, and so every drive path resolved) are kept between queries while
// the kernel signals no change of the mount table (RootCache.h).
//
// The table file (<root>/run/drives, edited under the lock <root>/run/drives.lock
// and replaced whole) has one line per letter, fields separated by tabs:
//   <letter> <"manual"|"slot"> <type: removable|fixed|cdrom|noroot|...> <folder or slot id>
// Lines starting with '#' and malformed lines are ignored.
#include "platform/fs/FsResult.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

enum class DriveType : uint32_t {
    Unknown = 0,
    NoRootDir = 1,  // no drive with this letter
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

const char* driveTypeName(DriveType type);                // "removable", "fixed", ...
bool parseDriveType(std::string_view text, DriveType* type);

// udev properties of a block device (ID_PATH, ID_SERIAL, ID_BUS ...), by its
// kernel name ("sdb").
using DevicePropertiesFn = std::function<std::map<std::string, std::string>(const std::string& kernelName)>;

struct DriveMapConfig {
    std::filesystem::path sysfsRoot = "/sys";
    std::filesystem::path mountInfo = "/proc/self/mountinfo";
    std::filesystem::path tableFile;  // empty: <root>/run/drives
    DevicePropertiesFn deviceProperties;  // empty: udev's database when sysfsRoot is /sys, else none
    bool discover = true;                 // look for removable media in sysfs

    // The default, with $VOREL_SYSFS_ROOT and $VOREL_MOUNTINFO (when set) in place
    // of /sys and /proc/self/mountinfo, so that whole programs can run on fakes.
    static DriveMapConfig fromEnvironment();
};

struct DriveInfo {
    char letter = 0;            // 'C' .. 'Z'
    DriveType type = DriveType::NoRootDir;
    bool manual = false;
    std::string slot;           // slot identity; the folder for a manual entry
    std::string device;         // kernel name of the whole disk ("sdb"), when present
    std::filesystem::path root; // mount point or folder; empty without a medium

    bool hasMedium() const { return !root.empty(); }
    std::string name() const { return std::string{letter, ':'}; }  // "E:"
    int index() const { return letter - 'A'; }                     // 0-25
};

class DriveMap {
public:
    explicit DriveMap(DriveMapConfig config = DriveMapConfig::fromEnvironment());

    // Brings the table up to date with the devices present (assigns and frees
    // letters) and returns every drive, C: first then by letter.
    FsResult drives(std::vector<DriveInfo>* out) const;

    // One drive. A letter with no drive gives NotFound and type NoRootDir;
    // a letter outside A-Z gives BadDrive.
    FsResult lookup(char letter, DriveInfo* out) const;

    DriveType driveType(char letter) const;
    // Mount point or folder of a drive with a medium; NoMedium otherwise.
    FsResult rootOf(char letter, std::filesystem::path* root) const;
    // Bit n set when drive 'A'+n has a medium.
    uint32_t mediaMask() const;

    // Manual entries. The folder must be absolute; letters C-Z.
    FsResult addManual(char letter, const std::filesystem::path& folder, DriveType type = DriveType::Removable) const;
    FsResult removeManual(char letter) const;

    const DriveMapConfig& config() const { return config_; }

private:
    DriveMapConfig config_;
};

// "e" or "E" or "E:" -> 'E'; false for anything outside A-Z.
bool parseDriveLetter(std::string_view text, char* letter);

// Splits "E:\DCIM\100ABCDE" or "E:/DCIM" into 'E' and "\DCIM\100ABCDE".
FsResult splitDrivePath(std::string_view dosPath, char* letter, std::string* rest);

// Resolves a drive path to a file-system path: the drive's root plus the rest,
// looked up without regard to case on every drive but C: (see resolveCardPath).
// BadDrive for a malformed path, NotFound for a letter with no drive, NoMedium
// for an empty drive, EscapesRoot for ".." or a link out of the drive.
FsResult resolveDrivePath(std::string_view dosPath, std::filesystem::path* out,
                          const DriveMap& map = DriveMap());

// The drive path of a file-system path: "E:\DCIM\100ABCDE" for a path below
// E:'s root (the drive with the longest matching root wins; "C:" for the rest
// of "/"). NotFound when `path` is not absolute.
FsResult drivePathOf(const std::filesystem::path& path, std::string* dosPath, const DriveMap& map = DriveMap());

}  // namespace plat
