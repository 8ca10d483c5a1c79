#include "platform/shell/MediumFormat.h"
#include "platform/shell/UDisksBusClient.h"
#include "platform/testing/TempRoot.h"

#include <QCoreApplication>

#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace plat {
namespace {
namespace fs = std::filesystem;

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// Records every call and answers with the statuses a test sets.
class RecordingClient : public UDisksClient {
public:
    std::vector<std::string> calls;
    UDisksStatus checkStatus = UDisksStatus::Ok;
    bool removable = true;
    UDisksStatus unmountStatus = UDisksStatus::Ok;
    UDisksStatus formatStatus = UDisksStatus::Ok;
    UDisksStatus mountStatus = UDisksStatus::Ok;

    UDisksStatus checkRemovable(const std::string& path, int timeoutMs, bool* isRemovable, std::string*) override {
        calls.push_back("check " + path + timeoutText(timeoutMs));
        *isRemovable = removable;
        return checkStatus;
    }
    UDisksStatus unmount(const std::string& path, int timeoutMs, std::string*) override {
        calls.push_back("unmount " + path + timeoutText(timeoutMs));
        return unmountStatus;
    }
    UDisksStatus format(const std::string& path, const std::string& type, const std::string& label, int timeoutMs,
                        std::string*) override {
        calls.push_back("format " + path + " " + type + " [" + label + "]" + timeoutText(timeoutMs));
        return formatStatus;
    }
    UDisksStatus mount(const std::string& path, int timeoutMs, std::string* mountPoint, std::string*) override {
        calls.push_back("mount " + path + timeoutText(timeoutMs));
        *mountPoint = "/media/u/NEW";
        return mountStatus;
    }

private:
    static std::string timeoutText(int ms) { return ms > 0 ? "" : " (no time-out)"; }
};

// A fake machine: sysfs, mount table and swap list in the test's root.
//   sdb  removable, sdb1 mounted at /media/u/CARD (label "CARD", 1 MiB)
//   sdc  removable, sdc1 at /media/u/STICK, sdc2 at /boot (a system disk)
//   sdd  removable, sdd1 at /media/u/SWAPPY, sdd2 used as swap
//   sde  removable, nothing mounted
//   sr0  CD-ROM with a disc at /media/u/DISC
class MediumFormatTest : public ::testing::Test {
protected:
    plat::testing::TempRoot tempRoot;
    fs::path fake = tempRoot.path() / "fake";
    RecordingClient client;
    FormatOptions options;

    void SetUp() override {
        addDisk("sdb", "8:16", "1", {{"sdb1", "8:17"}});
        addDisk("sdc", "8:32", "1", {{"sdc1", "8:33"}, {"sdc2", "8:34"}});
        addDisk("sdd", "8:48", "1", {{"sdd1", "8:49"}, {"sdd2", "8:50"}});
        addDisk("sde", "8:64", "1", {{"sde1", "8:65"}});
        addDisk("sr0", "11:0", "1", {});
        writeText(fake / "sys/block/sdb/sdb1/size", "2048\n");
        writeText(fake / "mountinfo",
                  "28 1 254:1 / / rw - ext4 /dev/vda1 rw\n"
                  "40 28 8:17 / /media/u/CARD rw - vfat /dev/sdb1 rw\n"
                  "41 28 8:33 / /media/u/STICK rw - vfat /dev/sdc1 rw\n"
                  "42 28 8:34 / /boot rw - ext4 /dev/sdc2 rw\n"
                  "43 28 8:49 / /media/u/SWAPPY rw - vfat /dev/sdd1 rw\n"
                  "44 28 11:0 / /media/u/DISC ro - iso9660 /dev/sr0 ro\n");
        writeText(fake / "swaps", "Filename Type Size Used Priority\n/dev/sdd2 partition 1024 0 -2\n");

        options.driveMap.sysfsRoot = fake / "sys";
        options.driveMap.mountInfo = fake / "mountinfo";
        options.driveMap.deviceProperties = [](const std::string& name) {
            std::map<std::string, std::string> props{{"ID_PATH", "pci-usb-" + name}};
            if (name == "sdb1") props["ID_FS_LABEL"] = "CARD";
            return props;
        };
        options.swaps = fake / "swaps";
        options.client = &client;
    }

    void addDisk(const std::string& name, const std::string& dev, const std::string& removable,
                 const std::vector<std::pair<std::string, std::string>>& partitions) {
        const fs::path dir = fake / "sys/block" / name;
        writeText(dir / "dev", dev + "\n");
        writeText(dir / "removable", removable + "\n");
        fs::create_directories(fake / "sys/devices/usb" / name);
        fs::create_directory_symlink(fake / "sys/devices/usb" / name, dir / "device");
        for (const auto& [part, partDev] : partitions) {
            writeText(dir / part / "dev", partDev + "\n");
            writeText(dir / part / "partition", "1\n");
        }
    }

    // The letter the drive map gave the disk whose slot is `name`.
    char letterOf(const std::string& name) {
        std::vector<DriveInfo> drives;
        EXPECT_TRUE(DriveMap(options.driveMap).drives(&drives));
        for (const DriveInfo& d : drives) {
            if (d.device == name) return d.letter;
        }
        ADD_FAILURE() << "no letter for " << name;
        return 0;
    }
};

TEST_F(MediumFormatTest, FormatsTheMountedVolumeInOrder) {
    const char e = letterOf("sdb");
    FormatTarget seen;
    options.confirm = [&](const FormatTarget& t) {
        seen = t;
        return true;
    };
    EXPECT_EQ(formatRemovableMedium(e, "PICTURES", options), FormatResult::Ok);
    const std::string object = "/org/freedesktop/UDisks2/block_devices/sdb1";
    EXPECT_EQ(client.calls, (std::vector<std::string>{"check " + object, "unmount " + object, "format " + object + " vfat [PICTURES]",
                                                      "mount " + object}));
    EXPECT_EQ(seen.letter, e);
    EXPECT_EQ(seen.root, "/media/u/CARD");
    EXPECT_EQ(seen.disk, "sdb");
    EXPECT_EQ(seen.volume, "sdb1");
    EXPECT_EQ(seen.currentLabel, "CARD");
    EXPECT_EQ(seen.sizeBytes, 2048u * 512u);
    EXPECT_FALSE(seen.folder);
}

TEST_F(MediumFormatTest, ConfirmationSaysNoAndNothingIsAsked) {
    options.confirm = [](const FormatTarget&) { return false; };
    EXPECT_EQ(formatRemovableMedium(letterOf("sdb"), "", options), FormatResult::Cancelled);
    EXPECT_TRUE(client.calls.empty());
}

TEST_F(MediumFormatTest, RefusalsNeverReachTheService) {
    ASSERT_TRUE(DriveMap(options.driveMap).addManual('R', tempRoot.path() / "fixed", DriveType::Fixed));
    fs::create_directories(tempRoot.path() / "folder-card");
    ASSERT_TRUE(DriveMap(options.driveMap).addManual('S', tempRoot.path() / "folder-card"));
    struct Case {
        char letter;
        std::string label;
        FormatResult expected;
    };
    const Case cases[] = {
        {'1', "", FormatResult::BadDrive},
        {'Y', "", FormatResult::NoDrive},
        {'C', "", FormatResult::NotRemovable},               // the system disk
        {letterOf("sr0"), "", FormatResult::NotRemovable},   // a CD-ROM
        {'R', "", FormatResult::NotRemovable},               // a manual fixed drive
        {'S', "", FormatResult::NotADevice},                 // a folder, no fallback
        {letterOf("sdc"), "", FormatResult::SystemDisk},     // another partition is /boot
        {letterOf("sdd"), "", FormatResult::SystemDisk},     // another partition is swap
        {letterOf("sde"), "", FormatResult::NoMedium},
        {letterOf("sdb"), "TWELVE_CHARS", FormatResult::BadLabel},
        {letterOf("sdb"), "A*B", FormatResult::BadLabel},
        {letterOf("sdb"), "LINE\nBREAK", FormatResult::BadLabel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(1, c.letter) + " [" + c.label + "]");
        EXPECT_EQ(formatRemovableMedium(c.letter, c.label, options), c.expected) << formatResultName(c.expected);
    }
    EXPECT_TRUE(client.calls.empty());
}

TEST_F(MediumFormatTest, ServiceAnswersBecomeResults) {
    struct Case {
        UDisksStatus check;
        bool removable;
        UDisksStatus unmount, format, mount;
        FormatResult expected;
        size_t calls;
    };
    const UDisksStatus ok = UDisksStatus::Ok;
    const Case cases[] = {
        {ok, true, UDisksStatus::NotMounted, ok, ok, FormatResult::Ok, 4},
        // The service's own view of the device has the last word.
        {ok, false, ok, ok, ok, FormatResult::NotRemovable, 1},
        {UDisksStatus::NoService, true, ok, ok, ok, FormatResult::NoService, 1},
        {UDisksStatus::TimedOut, true, ok, ok, ok, FormatResult::TimedOut, 1},
        {ok, true, UDisksStatus::Busy, ok, ok, FormatResult::Busy, 2},
        {ok, true, UDisksStatus::NotAuthorized, ok, ok, FormatResult::Refused, 2},
        // A failed format still gives the old medium back.
        {ok, true, ok, UDisksStatus::NotAuthorized, ok, FormatResult::Refused, 4},
        {ok, true, ok, UDisksStatus::TimedOut, ok, FormatResult::TimedOut, 4},
        {ok, true, ok, UDisksStatus::Failed, ok, FormatResult::Failed, 4},
        {ok, true, ok, ok, UDisksStatus::Failed, FormatResult::NotMountedBack, 4},
    };
    const char e = letterOf("sdb");
    for (const Case& c : cases) {
        SCOPED_TRACE(formatResultName(c.expected));
        client.calls.clear();
        client.checkStatus = c.check;
        client.removable = c.removable;
        client.unmountStatus = c.unmount;
        client.formatStatus = c.format;
        client.mountStatus = c.mount;
        EXPECT_EQ(formatRemovableMedium(e, "", options), c.expected);
        EXPECT_EQ(client.calls.size(), c.calls);
    }
}

TEST_F(MediumFormatTest, FolderFallbackEmptiesWithoutFollowingLinks) {
    const fs::path card = tempRoot.path() / "card";
    const fs::path outside = tempRoot.path() / "outside";
    writeText(card / "DCIM/100ABCDE/IMG_0001.JPG", "picture");
    writeText(outside / "keep.txt", "keep");
    fs::create_directory_symlink(outside, card / "link");
    ASSERT_TRUE(DriveMap(options.driveMap).addManual('M', card));
    options.manualFolderFallback = true;

    EXPECT_EQ(formatRemovableMedium('M', "NEW", options), FormatResult::Ok);
    EXPECT_TRUE(fs::is_directory(card));
    EXPECT_TRUE(fs::is_empty(card));
    EXPECT_TRUE(fs::exists(outside / "keep.txt"));
    EXPECT_TRUE(client.calls.empty());
}

TEST_F(MediumFormatTest, FolderFallbackRefusesPreciousFolders) {
    options.manualFolderFallback = true;
    const fs::path linkToCard = tempRoot.path() / "card-link";
    fs::create_directories(tempRoot.path() / "card");
    fs::create_directory_symlink(tempRoot.path() / "card", linkToCard);
    ASSERT_TRUE(DriveMap(options.driveMap).addManual('M', tempRoot.path()));  // holds the system root
    ASSERT_TRUE(DriveMap(options.driveMap).addManual('N', "/"));
    ASSERT_TRUE(DriveMap(options.driveMap).addManual('O', linkToCard));
    ASSERT_TRUE(DriveMap(options.driveMap).addManual('P', tempRoot.path() / "missing"));
    EXPECT_EQ(formatRemovableMedium('M', "", options), FormatResult::NotADevice);
    EXPECT_EQ(formatRemovableMedium('N', "", options), FormatResult::NotADevice);
    EXPECT_EQ(formatRemovableMedium('O', "", options), FormatResult::NotADevice);
    EXPECT_EQ(formatRemovableMedium('P', "", options), FormatResult::NoMedium);
    EXPECT_TRUE(fs::exists(tempRoot.path() / "registry"));
}

TEST(UDisksBusClientTest, NoBusMeansNoService) {
    int argc = 1;
    char name[] = "shell_format_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    plat::testing::TempRoot tempRoot;
    UDisksBusClient bus("unix:path=" + (tempRoot.path() / "no-bus").string());
    std::string error;
    EXPECT_EQ(bus.unmount(udisksBlockObjectPath("sdb1"), 1000, &error), UDisksStatus::NoService);
    bool removable = true;
    EXPECT_EQ(bus.checkRemovable(udisksBlockObjectPath("sdb1"), 1000, &removable, nullptr), UDisksStatus::NoService);
    EXPECT_FALSE(removable);
    EXPECT_FALSE(error.empty());
    std::string mountPoint;
    EXPECT_EQ(bus.mount(udisksBlockObjectPath("sdb1"), 1000, &mountPoint, nullptr), UDisksStatus::NoService);
    EXPECT_EQ(bus.format(udisksBlockObjectPath("sdb1"), "vfat", "X", 1000, nullptr), UDisksStatus::NoService);
}

TEST(UDisksBusClientTest, ObjectPathsEscapeAsTheServiceDoes) {
    EXPECT_EQ(udisksBlockObjectPath("sdb1"), "/org/freedesktop/UDisks2/block_devices/sdb1");
    EXPECT_EQ(udisksBlockObjectPath("mmcblk0p1"), "/org/freedesktop/UDisks2/block_devices/mmcblk0p1");
    EXPECT_EQ(udisksBlockObjectPath("dm-0"), "/org/freedesktop/UDisks2/block_devices/dm_2d0");
}

}  // namespace
}  // namespace plat
