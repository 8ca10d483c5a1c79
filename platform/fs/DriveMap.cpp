#include "platform/fs/DriveMap.h"

#include "platform/fs/CardPath.h"
#include "platform/fs/FileOps.h"
#include "platform/fs/MountInfo.h"
#include "platform/fs/RootCache.h"
#include "platform/sysroot/SystemRoot.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <libudev.h>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace plat {
namespace fs = std::filesystem;

namespace {

using DevNum = std::pair<unsigned, unsigned>;

// A whole block device that can hold media: a slot.
struct Slot {
    std::string kernelName;  // "sdb"
    std::string identity;    // "path:...", "serial:...", "sysfs:..."
    DriveType type = DriveType::Removable;
    std::vector<DevNum> devices;  // the disk and its partitions
};

// One line of the table file.
struct TableEntry {
    char letter = 0;
    bool manual = false;
    DriveType type = DriveType::Removable;
    std::string target;  // slot identity or folder
};

// ---- sysfs -------------------------------------------------------------------

std::string readSmallFile(const fs::path& p) {
    std::string text;
    if (!readFile(p, &text, 4096)) return {};
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

bool parseDevNum(const std::string& text, DevNum* out) {
    unsigned a = 0, b = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%u:%u%c", &a, &b, &tail) != 2) return false;
    *out = {a, b};
    return true;
}

std::map<std::string, std::string> udevDatabaseProperties(const std::string& kernelName) {
    std::map<std::string, std::string> props;
    struct udev* udev = udev_new();
    if (!udev) return props;
    struct udev_device* dev = udev_device_new_from_subsystem_sysname(udev, "block", kernelName.c_str());
    if (dev) {
        for (struct udev_list_entry* e = udev_device_get_properties_list_entry(dev); e;
             e = udev_list_entry_get_next(e)) {
            const char* name = udev_list_entry_get_name(e);
            const char* value = udev_list_entry_get_value(e);
            if (name && value) props[name] = value;
        }
        udev_device_unref(dev);
    }
    udev_unref(udev);
    return props;
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

DriveType slotType(const std::string& name, const std::string& physical, const fs::path& blockDir,
                   const std::map<std::string, std::string>& props) {
    if (startsWith(name, "sr")) return DriveType::CdRom;
    if (readSmallFile(blockDir / "removable") == "1") return DriveType::Removable;
    if (startsWith(name, "mmcblk")) return DriveType::Removable;
    if (physical.find("/usb") != std::string::npos || physical.find("/mmc") != std::string::npos)
        return DriveType::Removable;
    auto bus = props.find("ID_BUS");
    if (bus != props.end() && bus->second == "usb") return DriveType::Removable;
    for (const auto& [key, value] : props) {
        if (startsWith(key, "ID_DRIVE_FLASH_") && value == "1") return DriveType::Removable;
    }
    return DriveType::Fixed;
}

std::string slotIdentity(const std::string& name, const std::string& physical,
                         const std::map<std::string, std::string>& props) {
    auto it = props.find("ID_PATH");
    if (it != props.end() && !it->second.empty()) return "path:" + it->second;
    it = props.find("ID_SERIAL");
    if (it != props.end() && !it->second.empty()) return "serial:" + it->second;
    if (!physical.empty()) return "sysfs:" + physical;
    return "block:" + name;
}

// What a disk is: where it hangs in sysfs and what udev knows of it.
struct DiskFacts {
    std::string physical;  // its device's path below the sysfs root
    std::map<std::string, std::string> props;
};

DiskFacts factsOf(const fs::path& dir, const fs::path& realRoot, const DevicePropertiesFn& props) {
    DiskFacts facts;
    std::error_code ec;
    const fs::path real = fs::weakly_canonical(dir / "device", ec);
    if (!ec && !realRoot.empty()) facts.physical = real.lexically_relative(realRoot).string();
    if (props) facts.props = props(dir.filename().string());
    return facts;
}

// Asked about every disk on every drive query, which follows every path
// lookup: a disk's facts are kept while the same disk is there. The kernel
// numbers each disk it attaches and each medium change (diskseq), so a
// different disk under an old name is looked at afresh; without those numbers
// every query looks again.
DiskFacts knownFactsOf(const fs::path& dir, const fs::path& realRoot, const DevicePropertiesFn& props) {
    static std::mutex lock;
    static std::map<std::string, std::pair<std::string, DiskFacts>> known;
    const std::string seq = readSmallFile(dir / "diskseq");
    if (seq.empty()) return factsOf(dir, realRoot, props);
    {
        std::lock_guard<std::mutex> g(lock);
        auto it = known.find(dir.string());
        if (it != known.end() && it->second.first == seq) return it->second.second;
    }
    DiskFacts facts = factsOf(dir, realRoot, props);
    std::lock_guard<std::mutex> g(lock);
    known[dir.string()] = {seq, facts};
    return facts;
}

// Every whole disk under <sysfs>/block that can take a letter (removable media
// and CD-ROM drives), sorted by kernel name.
std::vector<Slot> scanSlots(const DriveMapConfig& config) {
    std::vector<Slot> slots;
    const fs::path blockRoot = config.sysfsRoot / "block";
    std::error_code ec;
    DevicePropertiesFn props = config.deviceProperties;
    if (!props && config.sysfsRoot == "/sys") props = udevDatabaseProperties;
    std::error_code rootError;
    fs::path realRoot = fs::weakly_canonical(config.sysfsRoot, rootError);
    if (rootError) realRoot.clear();
    for (const auto& entry : fs::directory_iterator(blockRoot, ec)) {
        const std::string name = entry.path().filename().string();
        const fs::path dir = entry.path();
        // Virtual devices (loop, zram, device mapper) have no device behind them.
        fs::path deviceLink = dir / "device";
        if (!fs::exists(fs::symlink_status(deviceLink, ec))) continue;
        const DiskFacts facts = knownFactsOf(dir, realRoot, props);
        const std::string& physical = facts.physical;
        const std::map<std::string, std::string>& p = facts.props;

        Slot slot;
        slot.kernelName = name;
        slot.type = slotType(name, "/" + physical, dir, p);
        if (slot.type != DriveType::Removable && slot.type != DriveType::CdRom) continue;
        slot.identity = slotIdentity(name, physical, p);
        DevNum dn;
        if (parseDevNum(readSmallFile(dir / "dev"), &dn)) slot.devices.push_back(dn);
        for (const auto& sub : fs::directory_iterator(dir, ec)) {
            if (!fs::exists(sub.path() / "partition")) continue;
            if (parseDevNum(readSmallFile(sub.path() / "dev"), &dn)) slot.devices.push_back(dn);
        }
        slots.push_back(std::move(slot));
    }
    std::sort(slots.begin(), slots.end(), [](const Slot& a, const Slot& b) { return a.kernelName < b.kernelName; });
    return slots;
}

// The mount point of the first file system mounted from one of the devices;
// a whole-file-system mount is preferred to a bind mount of a sub-folder.
fs::path mountPointOf(const std::vector<DevNum>& devices, const std::vector<MountEntry>& mounts) {
    const MountEntry* partial = nullptr;
    for (const MountEntry& m : mounts) {
        if (std::find(devices.begin(), devices.end(), DevNum{m.major, m.minor}) == devices.end()) continue;
        if (m.root == "/") return m.mountPoint;
        if (!partial) partial = &m;
    }
    return partial ? fs::path(partial->mountPoint) : fs::path();
}

// ---- the table file -----------------------------------------------------------

fs::path tableFileOf(const DriveMapConfig& config) {
    if (!config.tableFile.empty()) return config.tableFile;
    return SystemRoot::current().runDir() / "drives";
}

// Holds the table's lock file for the life of the object.
class TableLock {
public:
    explicit TableLock(const fs::path& table) {
        fs::path dir = table.parent_path();
        if (!dir.empty() && !folderExists(dir)) {
            std::error_code ec;
            fs::create_directories(dir.parent_path(), ec);
            mkdir(dir.c_str(), 0700);
        }
        fd_ = open((table.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0) {
            error_ = errno;
            return;
        }
        while (flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                error_ = errno;
                break;
            }
        }
    }
    ~TableLock() {
        if (fd_ >= 0) close(fd_);  // releases the lock
    }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;
    FsResult result() const { return error_ ? FsResult::fromErrno(error_) : FsResult::success(); }

private:
    int fd_ = -1;
    int error_ = 0;
};

std::vector<TableEntry> parseTable(const std::string& text) {
    std::vector<TableEntry> entries;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        std::string line = text.substr(start, nl - start);
        start = nl + 1;
        // letter TAB kind TAB type TAB target
        size_t t1 = line.find('\t'), t2 = line.find('\t', t1 + 1), t3 = line.find('\t', t2 + 1);
        if (line.empty() || line[0] == '#' || t1 != 1 || t2 == std::string::npos || t3 == std::string::npos) continue;
        TableEntry e;
        e.letter = line[0];
        std::string kind = line.substr(t1 + 1, t2 - t1 - 1);
        if (e.letter < 'A' || e.letter > 'Z' || (kind != "manual" && kind != "slot")) continue;
        e.manual = kind == "manual";
        if (!parseDriveType(line.substr(t2 + 1, t3 - t2 - 1), &e.type)) continue;
        e.target = line.substr(t3 + 1);
        if (e.target.empty()) continue;
        if (std::any_of(entries.begin(), entries.end(), [&](const TableEntry& o) { return o.letter == e.letter; }))
            continue;
        entries.push_back(std::move(e));
    }
    return entries;
}

std::string formatTable(const std::vector<TableEntry>& entries) {
    std::string text = "# letter\tkind\ttype\tslot or folder\n";
    for (const TableEntry& e : entries) {
        text += std::string(1, e.letter) + "\t" + (e.manual ? "manual" : "slot") + "\t" + driveTypeName(e.type) +
                "\t" + e.target + "\n";
    }
    return text;
}

FsResult loadTable(const fs::path& table, std::vector<TableEntry>* entries) {
    std::string text;
    FsResult r = readFile(table, &text, 1u << 20);
    if (!r && r.code != FsError::NotFound) return r;
    *entries = parseTable(text);
    return FsResult::success();
}

void sortByLetter(std::vector<TableEntry>* entries) {
    std::sort(entries->begin(), entries->end(),
              [](const TableEntry& a, const TableEntry& b) { return a.letter < b.letter; });
}

// Frees the letters of slots that are gone and gives letters to new ones.
bool updateSlots(std::vector<TableEntry>* entries, const std::vector<Slot>& slots) {
    bool changed = false;
    auto present = [&](const std::string& id) {
        return std::any_of(slots.begin(), slots.end(), [&](const Slot& s) { return s.identity == id; });
    };
    auto gone = std::remove_if(entries->begin(), entries->end(),
                               [&](const TableEntry& e) { return !e.manual && !present(e.target); });
    if (gone != entries->end()) {
        entries->erase(gone, entries->end());
        changed = true;
    }
    for (const Slot& s : slots) {
        auto known = std::find_if(entries->begin(), entries->end(),
                                  [&](const TableEntry& e) { return !e.manual && e.target == s.identity; });
        if (known != entries->end()) {
            if (known->type != s.type) {
                known->type = s.type;
                changed = true;
            }
            continue;
        }
        for (char letter = 'D'; letter <= 'Z'; ++letter) {
            bool used = std::any_of(entries->begin(), entries->end(),
                                    [&](const TableEntry& e) { return e.letter == letter; });
            if (used) continue;
            entries->push_back(TableEntry{letter, false, s.type, s.identity});
            changed = true;
            break;
        }
    }
    sortByLetter(entries);
    return changed;
}

DriveInfo infoOf(const TableEntry& e, const std::vector<Slot>& slots, const std::vector<MountEntry>& mounts) {
    DriveInfo info;
    info.letter = e.letter;
    info.type = e.type;
    info.manual = e.manual;
    info.slot = e.target;
    if (e.manual) {
        if (folderExists(e.target)) info.root = e.target;
        return info;
    }
    for (const Slot& s : slots) {
        if (s.identity != e.target) continue;
        info.device = s.kernelName;
        info.root = mountPointOf(s.devices, mounts);
    }
    return info;
}

DriveInfo systemDrive() {
    DriveInfo c;
    c.letter = 'C';
    c.type = DriveType::Fixed;
    c.root = "/";
    return c;
}

FsResult editTable(const DriveMapConfig& config, const std::function<FsResult(std::vector<TableEntry>*)>& edit) {
    const fs::path table = tableFileOf(config);
    TableLock lock(table);
    if (FsResult r = lock.result(); !r) return r;
    std::vector<TableEntry> entries;
    if (FsResult r = loadTable(table, &entries); !r) return r;
    if (FsResult r = edit(&entries); !r) return r;
    sortByLetter(&entries);
    return writeFileAtomic(table, formatTable(entries), 0600);
}

}  // namespace

// ---- public -------------------------------------------------------------------

const char* driveTypeName(DriveType type) {
    switch (type) {
    case DriveType::Unknown: return "unknown";
    case DriveType::NoRootDir: return "noroot";
    case DriveType::Removable: return "removable";
    case DriveType::Fixed: return "fixed";
    case DriveType::Remote: return "remote";
    case DriveType::CdRom: return "cdrom";
    case DriveType::RamDisk: return "ramdisk";
    }
    return "unknown";
}

bool parseDriveType(std::string_view text, DriveType* type) {
    for (DriveType t : {DriveType::Unknown, DriveType::NoRootDir, DriveType::Removable, DriveType::Fixed,
                        DriveType::Remote, DriveType::CdRom, DriveType::RamDisk}) {
        if (equalsIgnoreAsciiCase(text, driveTypeName(t))) {
            *type = t;
            return true;
        }
    }
    return false;
}

DriveMapConfig DriveMapConfig::fromEnvironment() {
    DriveMapConfig config;
    if (const char* s = std::getenv("VOREL_SYSFS_ROOT"); s && *s) config.sysfsRoot = s;
    if (const char* m = std::getenv("VOREL_MOUNTINFO"); m && *m) config.mountInfo = m;
    return config;
}

DriveMap::DriveMap(DriveMapConfig config) : config_(std::move(config)) {}

FsResult DriveMap::drives(std::vector<DriveInfo>* out) const {
    out->clear();
    std::vector<Slot> slots;
    std::vector<TableEntry> entries;
    {
        const fs::path table = tableFileOf(config_);
        TableLock lock(table);
        if (FsResult r = lock.result(); !r) return r;
        if (FsResult r = loadTable(table, &entries); !r) return r;
        if (config_.discover) {
            slots = scanSlots(config_);
            if (updateSlots(&entries, slots)) {
                if (FsResult r = writeFileAtomic(table, formatTable(entries), 0600); !r) return r;
            }
        }
    }
    std::vector<MountEntry> mounts;
    readMountInfo(config_.mountInfo, &mounts);  // no table: no medium anywhere

    const bool manualC = std::any_of(entries.begin(), entries.end(), [](const TableEntry& e) { return e.letter == 'C'; });
    if (!manualC) out->push_back(systemDrive());
    std::vector<DriveInfo> rest;
    for (const TableEntry& e : entries) rest.push_back(infoOf(e, slots, mounts));
    std::stable_sort(rest.begin(), rest.end(), [](const DriveInfo& a, const DriveInfo& b) {
        return (a.letter == 'C') != (b.letter == 'C') ? a.letter == 'C' : a.letter < b.letter;
    });
    out->insert(out->end(), rest.begin(), rest.end());
    return FsResult::success();
}

FsResult DriveMap::lookup(char letter, DriveInfo* out) const {
    *out = DriveInfo{};
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return FsResult::fail(FsError::BadDrive);
    out->letter = letter;
    std::vector<DriveInfo> all;
    if (FsResult r = drives(&all); !r) return r;
    for (const DriveInfo& d : all) {
        if (d.letter == letter) {
            *out = d;
            return FsResult::success();
        }
    }
    return FsResult::fail(FsError::NotFound);
}

DriveType DriveMap::driveType(char letter) const {
    DriveInfo info;
    return lookup(letter, &info) ? info.type : DriveType::NoRootDir;
}

FsResult DriveMap::rootOf(char letter, fs::path* root) const {
    root->clear();
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    RootCache* cache = RootCache::serves(config_) ? &RootCache::instance() : nullptr;
    RootCache::Ticket ticket;
    if (cache && cache->find(config_, tableFileOf(config_), letter, root, &ticket)) return FsResult::success();
    DriveInfo info;
    if (FsResult r = lookup(letter, &info); !r) return r;
    if (!info.hasMedium()) return FsResult::fail(FsError::NoMedium);
    *root = info.root;
    if (cache) cache->keep(ticket, info, config_.sysfsRoot);
    return FsResult::success();
}

uint32_t DriveMap::mediaMask() const {
    std::vector<DriveInfo> all;
    if (!drives(&all)) return 0;
    uint32_t mask = 0;
    for (const DriveInfo& d : all) {
        if (d.hasMedium()) mask |= 1u << d.index();
    }
    return mask;
}

FsResult DriveMap::addManual(char letter, const fs::path& folder, DriveType type) const {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return FsResult::fail(FsError::BadDrive);
    const std::string target = folder.lexically_normal().string();
    if (!folder.is_absolute() || target.find_first_of("\t\n\r") != std::string::npos)
        return FsResult::fail(FsError::InvalidArgument);
    return editTable(config_, [&](std::vector<TableEntry>* entries) {
        // A manual entry takes the letter; a slot that had it gets a new one later.
        entries->erase(std::remove_if(entries->begin(), entries->end(),
                                      [&](const TableEntry& e) { return e.letter == letter; }),
                       entries->end());
        std::string t = target;
        while (t.size() > 1 && t.back() == '/') t.pop_back();
        entries->push_back(TableEntry{letter, true, type, t});
        return FsResult::success();
    });
}

FsResult DriveMap::removeManual(char letter) const {
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return FsResult::fail(FsError::BadDrive);
    return editTable(config_, [&](std::vector<TableEntry>* entries) {
        auto it = std::find_if(entries->begin(), entries->end(),
                               [&](const TableEntry& e) { return e.manual && e.letter == letter; });
        if (it == entries->end()) return FsResult::fail(FsError::NotFound);
        entries->erase(it);
        return FsResult::success();
    });
}

bool parseDriveLetter(std::string_view text, char* letter) {
    if (text.size() == 2 && text[1] == ':') text.remove_suffix(1);
    if (text.size() != 1) return false;
    char c = text[0];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c < 'A' || c > 'Z') return false;
    *letter = c;
    return true;
}

FsResult splitDrivePath(std::string_view dosPath, char* letter, std::string* rest) {
    if (dosPath.size() < 2 || dosPath[1] != ':' || !parseDriveLetter(dosPath.substr(0, 1), letter))
        return FsResult::fail(FsError::BadDrive);
    *rest = std::string(dosPath.substr(2));
    return FsResult::success();
}

FsResult resolveDrivePath(std::string_view dosPath, fs::path* out, const DriveMap& map) {
    char letter = 0;
    std::string rest;
    if (FsResult r = splitDrivePath(dosPath, &letter, &rest); !r) return r;
    fs::path root;
    if (FsResult r = map.rootOf(letter, &root); !r) return r;
    if (letter == 'C') {
        // The system drive is an ordinary case-sensitive tree; still no "..".
        std::vector<std::string> parts = splitPathComponents(rest);
        fs::path p = root;
        for (const std::string& part : parts) {
            if (part == "..") return FsResult::fail(FsError::EscapesRoot);
            p /= part;
        }
        *out = p;
        return FsResult::success();
    }
    return resolveCardPath(root, rest, out);
}

FsResult drivePathOf(const fs::path& path, std::string* dosPath, const DriveMap& map) {
    dosPath->clear();
    if (!path.is_absolute()) return FsResult::fail(FsError::NotFound);
    const fs::path p = path.lexically_normal();
    std::vector<DriveInfo> all;
    if (FsResult r = map.drives(&all); !r) return r;
    const DriveInfo* best = nullptr;
    size_t bestDepth = 0;
    fs::path bestRest;
    for (const DriveInfo& d : all) {
        if (!d.hasMedium()) continue;
        const fs::path root = d.root.lexically_normal();
        fs::path rest = p.lexically_relative(root);
        if (rest.empty() || *rest.begin() == "..") continue;
        size_t depth = static_cast<size_t>(std::distance(root.begin(), root.end()));
        if (!best || depth > bestDepth) {
            best = &d;
            bestDepth = depth;
            bestRest = rest;
        }
    }
    if (!best) return FsResult::fail(FsError::NotFound);
    std::string out = best->name();
    for (const auto& part : bestRest) {
        if (part == ".") continue;
        out += "\\" + part.string();
    }
    if (out.size() == 2) out += "\\";
    *dosPath = out;
    return FsResult::success();
}

}  // namespace plat
