#include "platform/shell/MediumFormat.h"

#include "platform/fs/FileOps.h"
#include "platform/fs/MountInfo.h"
#include "platform/shell/UDisksBusClient.h"
#include "platform/sysroot/SystemRoot.h"

#include <libudev.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace plat {

namespace fs = std::filesystem;

const char* formatResultName(FormatResult result) {
    switch (result) {
    case FormatResult::Ok: return "formatted";
    case FormatResult::BadDrive: return "not a drive letter";
    case FormatResult::NoDrive: return "no such drive";
    case FormatResult::NotRemovable: return "not a removable drive";
    case FormatResult::NotADevice: return "the drive is a folder, not a device";
    case FormatResult::SystemDisk: return "the disk holds a system folder or swap";
    case FormatResult::NoMedium: return "no medium in the drive";
    case FormatResult::BadLabel: return "the label is not a valid FAT label";
    case FormatResult::Cancelled: return "cancelled";
    case FormatResult::NoService: return "the disk service (udisks2) is not available";
    case FormatResult::Refused: return "the disk service refused";
    case FormatResult::Busy: return "the medium is in use";
    case FormatResult::TimedOut: return "the disk service did not answer in time";
    case FormatResult::Failed: return "formatting failed";
    case FormatResult::NotMountedBack: return "formatted, but the medium could not be mounted again";
    }
    return "formatting failed";
}

namespace {

std::string readSmallFile(const fs::path& path) {
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\r')) text.pop_back();
    return text;
}

std::string devNumText(const MountEntry& m) { return std::to_string(m.major) + ":" + std::to_string(m.minor); }

// The whole disk and its partitions: kernel name -> "major:minor".
std::map<std::string, std::string> diskDevices(const fs::path& sysfsRoot, const std::string& disk) {
    std::map<std::string, std::string> devices;
    const fs::path dir = sysfsRoot / "block" / disk;
    const std::string own = readSmallFile(dir / "dev");
    if (!own.empty()) devices[disk] = own;
    std::error_code ec;
    for (const auto& sub : fs::directory_iterator(dir, ec)) {
        if (!fs::exists(sub.path() / "partition", ec)) continue;
        const std::string dev = readSmallFile(sub.path() / "dev");
        if (!dev.empty()) devices[sub.path().filename().string()] = dev;
    }
    return devices;
}

bool isAtOrBelow(const fs::path& path, const fs::path& folder) {
    const fs::path p = path.lexically_normal();
    const fs::path f = folder.lexically_normal();
    auto [fi, pi] = std::mismatch(f.begin(), f.end(), p.begin(), p.end());
    for (; fi != f.end(); ++fi) {
        if (!fi->empty()) return false;  // a trailing "/" leaves one empty element
    }
    (void)pi;
    return true;
}

// Mount points that belong to the running system, never to a card.
bool isSystemMountPoint(const std::string& mountPoint) {
    static const char* const kSystemFolders[] = {"/boot", "/usr", "/var", "/etc", "/home", "/opt",
                                                 "/srv",  "/root", "/efi", "/bin", "/sbin", "/lib"};
    if (fs::path(mountPoint).lexically_normal() == "/") return true;
    for (const char* folder : kSystemFolders) {
        if (isAtOrBelow(mountPoint, folder)) return true;
    }
    // The suite's own machine (registry, install folder) on the medium.
    return isAtOrBelow(SystemRoot::current().top(), mountPoint);
}

bool usedAsSwap(const fs::path& swaps, const std::map<std::string, std::string>& devices) {
    std::ifstream in(swaps);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string device;
        fields >> device;
        const std::string name = fs::path(device).filename().string();
        if (devices.count(name)) return true;
    }
    return false;
}

std::string fileSystemLabel(const DriveMapConfig& config, const std::string& volume) {
    if (config.deviceProperties) {
        const auto props = config.deviceProperties(volume);
        auto it = props.find("ID_FS_LABEL");
        return it == props.end() ? std::string() : it->second;
    }
    if (config.sysfsRoot != "/sys") return {};
    std::string label;
    struct udev* udev = udev_new();
    if (!udev) return label;
    if (struct udev_device* dev = udev_device_new_from_subsystem_sysname(udev, "block", volume.c_str())) {
        if (const char* value = udev_device_get_property_value(dev, "ID_FS_LABEL")) label = value;
        udev_device_unref(dev);
    }
    udev_unref(udev);
    return label;
}

// A folder that the fallback may empty: a real folder (not a link), not "/",
// and holding none of the home folder, the system root or the current folder.
bool folderMayBeEmptied(const fs::path& folder) {
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    std::error_code ec;
    const fs::path real = fs::canonical(folder, ec);
    if (ec || real == "/") return false;
    std::vector<fs::path> precious = {SystemRoot::current().top()};
    if (const char* home = std::getenv("HOME"); home && *home) precious.emplace_back(home);
    const fs::path cwd = fs::current_path(ec);
    if (!ec) precious.push_back(cwd);
    for (const fs::path& p : precious) {
        const fs::path canonical = fs::weakly_canonical(p, ec);
        if (!ec && isAtOrBelow(canonical, real)) return false;
    }
    return true;
}

FormatResult resultOfLookup(const FsResult& r) {
    switch (r.code) {
    case FsError::Ok: return FormatResult::Ok;
    case FsError::BadDrive: return FormatResult::BadDrive;
    case FsError::NotFound: return FormatResult::NoDrive;
    default: return FormatResult::Failed;
    }
}

FormatResult resultOfStatus(UDisksStatus status) {
    switch (status) {
    case UDisksStatus::Ok: return FormatResult::Ok;
    case UDisksStatus::NoService: return FormatResult::NoService;
    case UDisksStatus::NotAuthorized: return FormatResult::Refused;
    case UDisksStatus::Busy: return FormatResult::Busy;
    case UDisksStatus::TimedOut: return FormatResult::TimedOut;
    case UDisksStatus::NotMounted:
    case UDisksStatus::Failed: return FormatResult::Failed;
    }
    return FormatResult::Failed;
}

// FAT labels: at most 11 bytes, no control characters, none of the characters
// FAT names refuse.
bool isValidLabel(const std::string& label) {
    if (label.size() > 11) return false;
    for (unsigned char c : label) {
        if (c < 0x20 || c == 0x7f) return false;
        if (std::string_view("*?.,;:/\\|+=<>[]\"").find(static_cast<char>(c)) != std::string_view::npos) return false;
    }
    return true;
}

FormatResult findFolderTarget(const DriveInfo& info, const FormatOptions& options, FormatTarget* target) {
    if (!options.manualFolderFallback) return FormatResult::NotADevice;
    if (!info.hasMedium()) return FormatResult::NoMedium;
    if (!folderMayBeEmptied(info.root)) return FormatResult::NotADevice;
    target->root = info.root;
    target->folder = true;
    return FormatResult::Ok;
}

// The mounted volume of the drive's disk: the device whose file system is
// mounted at the drive's root.
FormatResult findVolume(const DriveInfo& info, const FormatOptions& options, FormatTarget* target) {
    std::vector<MountEntry> mounts;
    if (!readMountInfo(options.driveMap.mountInfo, &mounts)) return FormatResult::Failed;
    const std::map<std::string, std::string> devices = diskDevices(options.driveMap.sysfsRoot, info.device);
    std::string volume;
    for (const MountEntry& m : mounts) {
        if (fs::path(m.mountPoint) != info.root) continue;
        for (const auto& [name, dev] : devices) {
            if (dev == devNumText(m)) volume = name;
        }
        if (!volume.empty()) break;
    }
    if (volume.empty()) return FormatResult::Failed;
    // Nothing on the disk may serve the running system.
    for (const MountEntry& m : mounts) {
        for (const auto& [name, dev] : devices) {
            if (dev == devNumText(m) && isSystemMountPoint(m.mountPoint)) return FormatResult::SystemDisk;
        }
    }
    if (usedAsSwap(options.swaps, devices)) return FormatResult::SystemDisk;

    const fs::path diskDir = options.driveMap.sysfsRoot / "block" / info.device;
    const fs::path volumeDir = volume == info.device ? diskDir : diskDir / volume;
    target->root = info.root;
    target->disk = info.device;
    target->volume = volume;
    target->objectPath = udisksBlockObjectPath(volume);
    target->currentLabel = fileSystemLabel(options.driveMap, volume);
    target->sizeBytes = std::strtoull(readSmallFile(volumeDir / "size").c_str(), nullptr, 10) * 512u;
    return FormatResult::Ok;
}

// Formats the volume; a failed format still tries to give the medium back.
FormatResult formatVolume(const FormatTarget& target, const std::string& label, const FormatOptions& options,
                          UDisksClient& client, std::string* error) {
    bool removable = false;
    UDisksStatus status = client.checkRemovable(target.objectPath, options.unmountTimeoutMs, &removable, error);
    if (status != UDisksStatus::Ok) return resultOfStatus(status);
    if (!removable) return FormatResult::NotRemovable;  // the service knows the device otherwise
    status = client.unmount(target.objectPath, options.unmountTimeoutMs, error);
    if (status != UDisksStatus::Ok && status != UDisksStatus::NotMounted) return resultOfStatus(status);
    status = client.format(target.objectPath, "vfat", label, options.formatTimeoutMs, error);
    std::string mountPoint;
    if (status != UDisksStatus::Ok) {
        if (status != UDisksStatus::NoService) client.mount(target.objectPath, options.mountTimeoutMs, &mountPoint, nullptr);
        return resultOfStatus(status);
    }
    if (client.mount(target.objectPath, options.mountTimeoutMs, &mountPoint, error) != UDisksStatus::Ok)
        return FormatResult::NotMountedBack;
    return FormatResult::Ok;
}

}  // namespace

FormatResult findFormatTarget(char letter, const FormatOptions& options, FormatTarget* target) {
    *target = FormatTarget{};
    char drive = 0;
    if (!parseDriveLetter(std::string_view(&letter, 1), &drive)) return FormatResult::BadDrive;
    DriveInfo info;
    const FormatResult looked = resultOfLookup(DriveMap(options.driveMap).lookup(drive, &info));
    if (looked != FormatResult::Ok) return looked;
    target->letter = drive;
    if (info.type != DriveType::Removable) return FormatResult::NotRemovable;
    if (info.manual) return findFolderTarget(info, options, target);
    if (!info.hasMedium()) return FormatResult::NoMedium;
    if (info.device.empty()) return FormatResult::Failed;
    return findVolume(info, options, target);
}

FormatResult formatRemovableMedium(char letter, const std::string& label, const FormatOptions& options,
                                   std::string* error) {
    if (!isValidLabel(label)) return FormatResult::BadLabel;
    FormatTarget target;
    const FormatResult found = findFormatTarget(letter, options, &target);
    if (found != FormatResult::Ok) return found;
    if (options.confirm && !options.confirm(target)) return FormatResult::Cancelled;
    if (target.folder) {
        const FsResult emptied = emptyFolder(target.root);
        if (!emptied && error) *error = emptied.message();
        return emptied ? FormatResult::Ok : FormatResult::Failed;
    }
    std::unique_ptr<UDisksBusClient> ownClient;
    UDisksClient* client = options.client;
    if (!client) {
        ownClient = std::make_unique<UDisksBusClient>();
        client = ownClient.get();
    }
    return formatVolume(target, label, options, *client, error);
}

}  // namespace plat
