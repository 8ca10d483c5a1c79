#pragma once
// A fake sysfs tree and mount table in a temp folder, laid out as the kernel
// does: block/<disk>/{dev,removable,device -> ../../devices/...,<part>/{dev,partition}},
// bus/usb/devices/<name>. Tests plug and unplug "devices" by editing it.
#include "platform/fs/DriveMap.h"

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace fstest {

struct FakePartition {
    std::string name;    // "sdb1"
    std::string devnum;  // "8:17"
};

class FakeSysfs {
public:
    explicit FakeSysfs(std::filesystem::path root);

    // A whole disk under block/ with its device link into devices/<physical>
    // (empty physical: a virtual device with no link).
    void addDisk(const std::string& name, const std::string& devnum, bool removable, const std::string& physical,
                 const std::vector<FakePartition>& partitions = {}, const std::string& idPath = {},
                 const std::string& idSerial = {});
    void removeDisk(const std::string& name);

    void addUsbDevice(const std::string& name);
    void removeUsbDevice(const std::string& name);

    // Mount table lines: "<devnum> <mount point>" (mount point escaped as the kernel does).
    void mount(const std::string& devnum, const std::string& mountPoint, const std::string& fsRoot = "/");
    void unmount(const std::string& mountPoint);

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path sysfs() const { return root_ / "sys"; }
    std::filesystem::path mountInfo() const { return root_ / "mountinfo"; }

    // A drive map config on this tree, with udev properties from addDisk.
    plat::DriveMapConfig config() const;

private:
    void writeMountInfo() const;
    std::filesystem::path root_;
    // Read by watcher threads while the test plugs devices.
    struct Props {
        std::mutex m;
        std::map<std::string, std::map<std::string, std::string>> byName;
    };
    std::shared_ptr<Props> props_ = std::make_shared<Props>();
    struct Mount {
        std::string devnum, point, fsRoot;
    };
    std::vector<Mount> mounts_;
};

}  // namespace fstest
