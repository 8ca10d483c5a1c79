#include "platform/fs/tests/FakeSysfs.h"

#include "platform/fs/tests/FsTestUtil.h"

#include <algorithm>
#include <memory>

namespace fstest {
namespace fs = std::filesystem;

namespace {

std::string escapeMountPoint(const std::string& p) {
    std::string out;
    for (char c : p) {
        if (c == ' ') out += "\\040";
        else if (c == '\t') out += "\\011";
        else if (c == '\\') out += "\\134";
        else out += c;
    }
    return out;
}

}  // namespace

FakeSysfs::FakeSysfs(fs::path root) : root_(std::move(root)) {
    fs::create_directories(sysfs() / "block");
    fs::create_directories(sysfs() / "devices");
    fs::create_directories(sysfs() / "bus" / "usb" / "devices");
    writeMountInfo();
}

void FakeSysfs::addDisk(const std::string& name, const std::string& devnum, bool removable, const std::string& physical,
                        const std::vector<FakePartition>& partitions, const std::string& idPath,
                        const std::string& idSerial) {
    fs::path dir = sysfs() / "block" / name;
    fs::create_directories(dir);
    writeText(dir / "dev", devnum + "\n");
    writeText(dir / "removable", removable ? "1\n" : "0\n");
    if (!physical.empty()) {
        fs::create_directories(sysfs() / "devices" / physical);
        std::error_code ec;
        fs::remove(dir / "device", ec);
        fs::create_directory_symlink(sysfs() / "devices" / physical, dir / "device");
    }
    for (const FakePartition& p : partitions) {
        writeText(dir / p.name / "dev", p.devnum + "\n");
        writeText(dir / p.name / "partition", "1\n");
    }
    std::lock_guard<std::mutex> lock(props_->m);
    auto& props = props_->byName[name];
    props.clear();
    if (!idPath.empty()) props["ID_PATH"] = idPath;
    if (!idSerial.empty()) props["ID_SERIAL"] = idSerial;
}

void FakeSysfs::removeDisk(const std::string& name) {
    fs::remove_all(sysfs() / "block" / name);
    std::lock_guard<std::mutex> lock(props_->m);
    props_->byName.erase(name);
}

void FakeSysfs::addUsbDevice(const std::string& name) {
    writeText(sysfs() / "bus" / "usb" / "devices" / name / "idVendor", "7a1c\n");
}

void FakeSysfs::removeUsbDevice(const std::string& name) { fs::remove_all(sysfs() / "bus" / "usb" / "devices" / name); }

void FakeSysfs::mount(const std::string& devnum, const std::string& mountPoint, const std::string& fsRoot) {
    mounts_.push_back({devnum, mountPoint, fsRoot});
    writeMountInfo();
}

void FakeSysfs::unmount(const std::string& mountPoint) {
    mounts_.erase(std::remove_if(mounts_.begin(), mounts_.end(), [&](const Mount& m) { return m.point == mountPoint; }),
                  mounts_.end());
    writeMountInfo();
}

void FakeSysfs::writeMountInfo() const {
    std::string text = "22 1 0:21 / /proc rw,relatime shared:5 - proc proc rw\n"
                       "28 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n";
    int id = 100;
    for (const Mount& m : mounts_) {
        text += std::to_string(id++) + " 28 " + m.devnum + " " + escapeMountPoint(m.fsRoot) + " " +
                escapeMountPoint(m.point) + " rw,nosuid,nodev shared:300 - vfat /dev/sdx1 rw,uid=1000\n";
    }
    // Replace atomically so a watcher never reads half a table.
    fs::path tmp = root_ / "mountinfo.tmp";
    writeText(tmp, text);
    fs::rename(tmp, mountInfo());
}

plat::DriveMapConfig FakeSysfs::config() const {
    plat::DriveMapConfig c;
    c.sysfsRoot = sysfs();
    c.mountInfo = mountInfo();
    // Shared so that later addDisk calls show in maps made earlier.
    std::shared_ptr<Props> props = props_;
    c.deviceProperties = [props](const std::string& name) {
        std::lock_guard<std::mutex> lock(props->m);
        auto it = props->byName.find(name);
        return it == props->byName.end() ? std::map<std::string, std::string>{} : it->second;
    };
    return c;
}

}  // namespace fstest
