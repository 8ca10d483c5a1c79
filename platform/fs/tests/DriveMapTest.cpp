#include "platform/fs/DosAttributes.h"
#include "platform/fs/DriveMap.h"
#include "platform/fs/tests/FakeSysfs.h"
#include "platform/fs/tests/FsTestUtil.h"
#include "platform/testing/TempRoot.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

namespace plat {
namespace {
namespace fs = std::filesystem;

class DriveMapTest : public ::testing::Test {
protected:
    plat::testing::TempRoot tempRoot;
    fstest::FakeSysfs sys{tempRoot.path() / "fake"};
    fs::path card = tempRoot.path() / "card";

    DriveMap map() const { return DriveMap(sys.config()); }

    // A typical machine: a USB card reader (sdb), an SD slot (mmcblk0), a
    // CD-ROM (sr0), a fixed virtio disk and a loop device.
    void plugUsualDevices() {
        sys.addDisk("sdb", "8:16", true, "pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/host6/target6:0:0/6:0:0:0",
                    {{"sdb1", "8:17"}}, "pci-0000:00:14.0-usb-0:1:1.0-scsi-0:0:0:0");
        sys.addDisk("mmcblk0", "179:0", false, "platform/mmc_host/mmc0/mmc0:0001", {{"mmcblk0p1", "179:1"}});
        sys.addDisk("sr0", "11:0", true, "pci0000:00/0000:00:1f.2/ata1/host0/target0:0:0/0:0:0:0");
        sys.addDisk("vda", "254:0", false, "pci0000:00/0000:00:05.0/virtio2", {{"vda1", "254:1"}});
        sys.addDisk("loop0", "7:0", false, "");
    }

    std::string lettersAndRoots() const {
        std::vector<DriveInfo> drives;
        EXPECT_TRUE(map().drives(&drives));
        std::string s;
        for (const DriveInfo& d : drives) {
            s += d.name() + driveTypeName(d.type) + "=" + (d.hasMedium() ? d.root.string() : "-") + " ";
        }
        return s;
    }
};

TEST_F(DriveMapTest, SystemDriveAndBadLetters) {
    DriveInfo c;
    ASSERT_TRUE(map().lookup('C', &c));
    EXPECT_EQ(c.root, "/");
    EXPECT_EQ(c.type, DriveType::Fixed);
    EXPECT_EQ(c.name(), "C:");
    EXPECT_EQ(c.index(), 2);

    DriveInfo d;
    for (char bad : {'1', '@', '[', '\0', static_cast<char>(0xC3)}) {
        EXPECT_EQ(map().lookup(bad, &d).code, FsError::BadDrive) << static_cast<int>(bad);
        EXPECT_EQ(map().driveType(bad), DriveType::NoRootDir);
    }
    EXPECT_EQ(map().lookup('a', &d).code, FsError::NotFound);
    EXPECT_EQ(map().driveType('Q'), DriveType::NoRootDir);
    fs::path p;
    for (const char* bad : {"1:\\x", "E", "", ":\\", "EE:\\x", "[:"})
        EXPECT_EQ(resolveDrivePath(bad, &p, map()).code, FsError::BadDrive) << bad;
    EXPECT_EQ(resolveDrivePath("Q:\\x", &p, map()).code, FsError::NotFound);
    ASSERT_TRUE(resolveDrivePath("c:\\etc\\hostname", &p, map()));
    EXPECT_EQ(p, "/etc/hostname");
    EXPECT_EQ(resolveDrivePath("C:\\..\\etc", &p, map()).code, FsError::EscapesRoot);
}

TEST_F(DriveMapTest, ManualEntryMakesAFolderACard) {
    fstest::writeText(card / "DCIM" / "100VOREL" / "IMG_0001.JPG", "x");
    ASSERT_TRUE(map().addManual('e', card));
    DriveInfo e;
    ASSERT_TRUE(map().lookup('E', &e));
    EXPECT_TRUE(e.manual);
    EXPECT_EQ(e.type, DriveType::Removable);
    EXPECT_EQ(e.root, card);
    EXPECT_EQ(map().mediaMask(), (1u << 2) | (1u << 4));

    fs::path p;
    ASSERT_TRUE(resolveDrivePath("E:\\dcim\\100vorel\\img_0001.jpg", &p, map()));
    EXPECT_EQ(p, card / "DCIM" / "100VOREL" / "IMG_0001.JPG");
    EXPECT_EQ(resolveDrivePath("E:/DCIM/../../x", &p, map()).code, FsError::EscapesRoot);

    // Taking the "card" out: the drive stays, without a medium.
    fs::rename(card, tempRoot.path() / "elsewhere");
    ASSERT_TRUE(map().lookup('E', &e));
    EXPECT_FALSE(e.hasMedium());
    EXPECT_EQ(map().rootOf('E', &p).code, FsError::NoMedium);
    EXPECT_EQ(resolveDrivePath("E:\\DCIM", &p, map()).code, FsError::NoMedium);
    EXPECT_EQ(map().mediaMask(), 1u << 2);

    ASSERT_TRUE(map().addManual('F', tempRoot.path(), DriveType::Fixed));
    EXPECT_EQ(map().driveType('F'), DriveType::Fixed);
    ASSERT_TRUE(map().removeManual('E'));
    EXPECT_EQ(map().removeManual('E').code, FsError::NotFound);
    EXPECT_EQ(map().driveType('E'), DriveType::NoRootDir);
    EXPECT_EQ(map().addManual('E', "relative/folder").code, FsError::InvalidArgument);
    EXPECT_EQ(map().addManual('9', card).code, FsError::BadDrive);
}


// On the real mount table a root is kept between queries; it is given up as soon
// as the folder, the table or the mounts change.
TEST_F(DriveMapTest, KeptRootsFollowTheFolderAndTheTable) {
    DriveMapConfig real = sys.config();
    real.mountInfo = "/proc/self/mountinfo";
    const DriveMap kept(real);
    fs::create_directories(card / "DCIM");
    ASSERT_TRUE(kept.addManual('E', card));
    fs::path p;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(resolveDrivePath("E:\\dcim", &p, kept));
        EXPECT_EQ(p, card / "DCIM");
    }
    EXPECT_TRUE(kept.rootOf('e', &p));

    fs::rename(card, tempRoot.path() / "pulled");
    EXPECT_EQ(kept.rootOf('E', &p).code, FsError::NoMedium);
    fs::create_directories(card);  // another card in the same place
    ASSERT_TRUE(kept.rootOf('E', &p));
    EXPECT_EQ(p, card);

    const fs::path other = tempRoot.path() / "other";
    fs::create_directories(other);
    ASSERT_TRUE(kept.removeManual('E'));
    EXPECT_EQ(kept.rootOf('E', &p).code, FsError::NotFound);
    ASSERT_TRUE(kept.addManual('E', other));
    ASSERT_TRUE(kept.rootOf('E', &p));
    EXPECT_EQ(p, other);
}
TEST_F(DriveMapTest, DrivePathsBackFromFileSystemPaths) {
    fs::create_directories(card / "DCIM");
    ASSERT_TRUE(map().addManual('E', card));
    struct Case {
        fs::path path;
        const char* want;
    };
    const Case cases[] = {
        {card / "DCIM" / "IMG_0001.JPG", "E:\\DCIM\\IMG_0001.JPG"},
        {card, "E:\\"},
        {card / "", "E:\\"},
        {"/etc/hosts", "C:\\etc\\hosts"},
        {card / ".." / "other", nullptr},  // below the temp root, not the card: C:
        {"/", "C:\\"},
    };
    for (const Case& c : cases) {
        std::string dos;
        ASSERT_TRUE(drivePathOf(c.path, &dos, map())) << c.path;
        if (c.want) {
            EXPECT_EQ(dos, c.want) << c.path;
        } else {
            EXPECT_EQ(dos.substr(0, 3), "C:\\") << c.path;
        }
    }
    std::string dos = "unchanged";
    EXPECT_EQ(drivePathOf("relative/x", &dos, map()).code, FsError::NotFound);
    EXPECT_TRUE(dos.empty());
}

TEST_F(DriveMapTest, RemovableMediaGetLettersFromD) {
    // Seen together, slots are taken in kernel-name order: mmcblk0, sdb, sr0.
    plugUsualDevices();
    sys.mount("8:17", "/media/user/MY CARD");
    EXPECT_EQ(lettersAndRoots(), "C:fixed=/ D:removable=- E:removable=/media/user/MY CARD F:cdrom=- ");
    sys.mount("179:1", "/media/user/SD");
    sys.mount("179:1", "/media/user/SD-bind");
    EXPECT_EQ(lettersAndRoots(), "C:fixed=/ D:removable=/media/user/SD E:removable=/media/user/MY CARD F:cdrom=- ");
    DriveInfo e;
    ASSERT_TRUE(map().lookup('E', &e));
    EXPECT_EQ(e.device, "sdb");
    EXPECT_EQ(e.slot, "path:pci-0000:00:14.0-usb-0:1:1.0-scsi-0:0:0:0");
    EXPECT_EQ(map().driveType('D'), DriveType::Removable);  // mmcblk, under an mmc host
    EXPECT_EQ(map().driveType('F'), DriveType::CdRom);
    EXPECT_EQ(map().mediaMask(), (1u << 2) | (1u << 3) | (1u << 4));

    // A whole-disk file system (no partition table) counts too; a bind mount of a
    // sub-folder only when nothing else is mounted.
    sys.unmount("/media/user/SD");
    sys.unmount("/media/user/SD-bind");
    sys.mount("179:0", "/media/user/sub", "/DCIM");
    EXPECT_EQ(lettersAndRoots(), "C:fixed=/ D:removable=/media/user/sub E:removable=/media/user/MY CARD F:cdrom=- ");
}

TEST_F(DriveMapTest, SlotsKeepLettersWhileTheyExist) {
    plugUsualDevices();
    EXPECT_EQ(lettersAndRoots(), "C:fixed=/ D:removable=- E:removable=- F:cdrom=- ");

    // The USB reader (E:) goes: its letter is free for the next new slot, and
    // the others keep theirs.
    sys.removeDisk("sdb");
    EXPECT_EQ(lettersAndRoots(), "C:fixed=/ D:removable=- F:cdrom=- ");
    sys.addDisk("sdc", "8:32", false, "pci0000:00/0000:00:14.0/usb2/2-3/2-3:1.0/host7/target7:0:0/7:0:0:0",
                {}, "", "Vorel_Camera_0123");
    DriveInfo e;
    ASSERT_TRUE(map().lookup('E', &e));
    EXPECT_EQ(e.slot, "serial:Vorel_Camera_0123");
    EXPECT_EQ(e.device, "sdc");
    EXPECT_EQ(e.type, DriveType::Removable);  // not flagged removable, but on USB

    // The same slot under a new kernel name keeps its letter.
    sys.removeDisk("sdc");
    sys.addDisk("sdh", "8:112", false, "pci0000:00/0000:00:14.0/usb2/2-3/2-3:1.0/host8/target8:0:0/8:0:0:0",
                {{"sdh1", "8:113"}}, "", "Vorel_Camera_0123");
    sys.mount("8:113", "/media/cam");
    ASSERT_TRUE(map().lookup('E', &e));
    EXPECT_EQ(e.device, "sdh");
    EXPECT_EQ(e.root, "/media/cam");
}

// A kernel that numbers its disks (diskseq): a disk's udev properties are asked
// once while the same disk is there, and again for a new disk under the old name.
TEST_F(DriveMapTest, DiskPropertiesAreAskedOncePerDisk) {
    sys.addDisk("sdb", "8:16", false, "pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/host6/target6:0:0/6:0:0:0", {}, "",
                "Reader_A");
    auto seq = [&](const char* n) { fstest::writeText(sys.sysfs() / "block/sdb/diskseq", std::string(n) + "\n"); };
    seq("7");
    DriveMapConfig config = sys.config();
    auto asked = std::make_shared<int>(0);
    const DevicePropertiesFn real = config.deviceProperties;
    config.deviceProperties = [asked, real](const std::string& name) {
        ++*asked;
        return real(name);
    };
    DriveInfo d;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(DriveMap(config).lookup('D', &d));
        EXPECT_EQ(d.slot, "serial:Reader_A");
    }
    EXPECT_EQ(*asked, 1);
    // another reader under the same kernel name: a new number, asked afresh
    sys.removeDisk("sdb");
    sys.addDisk("sdb", "8:16", false, "pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/host6/target6:0:0/6:0:0:0", {}, "",
                "Reader_B");
    seq("8");
    std::vector<DriveInfo> all;
    ASSERT_TRUE(DriveMap(config).drives(&all));
    EXPECT_EQ(*asked, 2);
    bool found = false;
    for (const DriveInfo& i : all) found = found || i.slot == "serial:Reader_B";
    EXPECT_TRUE(found);
}

TEST_F(DriveMapTest, ManualEntriesComeFirst) {
    fs::create_directories(card);
    ASSERT_TRUE(map().addManual('D', card));
    plugUsualDevices();
    EXPECT_EQ(lettersAndRoots(), "C:fixed=/ D:removable=" + card.string() + " E:removable=- F:removable=- G:cdrom=- ");
    DriveInfo f;
    ASSERT_TRUE(map().lookup('F', &f));
    EXPECT_EQ(f.device, "sdb");
    // A manual entry over a slot's letter takes it; the slot moves on.
    ASSERT_TRUE(map().addManual('F', card, DriveType::CdRom));
    EXPECT_EQ(lettersAndRoots(), "C:fixed=/ D:removable=" + card.string() + " E:removable=- F:cdrom=" + card.string() +
                                     " G:cdrom=- H:removable=- ");
    ASSERT_TRUE(map().lookup('H', &f));
    EXPECT_EQ(f.device, "sdb");
    // Even C: can be a folder for a test.
    ASSERT_TRUE(map().addManual('C', card, DriveType::Fixed));
    DriveInfo c;
    ASSERT_TRUE(map().lookup('C', &c));
    EXPECT_EQ(c.root, card);
}

TEST_F(DriveMapTest, NoLettersBeyondZ) {
    for (int i = 0; i < 30; ++i) {
        std::string name = "sd" + std::string(1, static_cast<char>('a' + i % 26)) + std::to_string(i / 26);
        sys.addDisk(name, "8:" + std::to_string(i * 16), true, "usb1/1-" + std::to_string(i), {},
                    "usb-" + std::to_string(i));
    }
    std::vector<DriveInfo> drives;
    ASSERT_TRUE(map().drives(&drives));
    ASSERT_EQ(drives.size(), 1u + 23u);  // C: and D: .. Z:
    EXPECT_EQ(drives.back().letter, 'Z');
}

// A folder becomes a card a camera would have written: its marker file hidden.
TEST_F(DriveMapTest, ToolHidesAMarkerFileAndRefusesBadChanges) {
    fs::create_directories(card);
    const fs::path marker = card / "Vorel001.dsc";
    { std::FILE* f = std::fopen(marker.c_str(), "w"); ASSERT_NE(f, nullptr); std::fclose(f); }
    const std::string tool = std::string(VDRIVE_PATH) + " attrib ";
    ASSERT_EQ(std::system((tool + "+h +r '" + marker.string() + "' >/dev/null").c_str()), 0);
    DosAttributes attrs;
    ASSERT_TRUE(readDosAttributes(marker, &attrs));
    EXPECT_TRUE(attrs.isReadOnly());
    if (attrs.dosKnown) {
        EXPECT_TRUE(attrs.has(FileAttr::Hidden));
    }
    ASSERT_EQ(std::system((tool + "-r '" + marker.string() + "' >/dev/null").c_str()), 0);
    ASSERT_TRUE(readDosAttributes(marker, &attrs));
    EXPECT_FALSE(attrs.isReadOnly());
    EXPECT_EQ(attrs.has(FileAttr::Hidden), attrs.dosKnown);  // clearing one bit keeps the other
    for (const char* bad : {"+x '", "h '", "+hh '"})
        EXPECT_NE(std::system((tool + bad + marker.string() + "' 2>/dev/null").c_str()), 0) << bad;
    EXPECT_NE(std::system((tool + "+h '" + (card / "missing").string() + "' 2>/dev/null").c_str()), 0);
}

TEST_F(DriveMapTest, TableIsSharedAcrossProcessesAndThreads) {
    fs::create_directories(card);
    // Another process (the vdrive tool) adds a drive; this one sees it.
    std::string cmd = std::string(VDRIVE_PATH) + " add G: '" + card.string() + "' fixed";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(map().driveType('G'), DriveType::Fixed);
    FILE* out = popen((std::string(VDRIVE_PATH) + " list").c_str(), "r");
    ASSERT_NE(out, nullptr);
    char buf[4096] = {};
    size_t n = fread(buf, 1, sizeof buf - 1, out);
    pclose(out);
    EXPECT_NE(std::string(buf, n).find("G:\tfixed\tmanual\t" + card.string() + "\t" + card.string()),
              std::string::npos)
        << buf;
    EXPECT_NE(std::system((std::string(VDRIVE_PATH) + " add 1: /tmp 2>/dev/null").c_str()), 0);
    EXPECT_NE(std::system((std::string(VDRIVE_PATH) + " remove H: 2>/dev/null").c_str()), 0);
    ASSERT_EQ(std::system((std::string(VDRIVE_PATH) + " remove g:").c_str()), 0);
    EXPECT_EQ(map().driveType('G'), DriveType::NoRootDir);

    // Many writers at once: every entry survives (the table is edited under its lock).
    std::vector<std::thread> threads;
    for (char letter = 'H'; letter <= 'W'; ++letter) {
        threads.emplace_back([&, letter] {
            EXPECT_TRUE(DriveMap(sys.config()).addManual(letter, card / std::string(1, letter)));
        });
    }
    for (auto& t : threads) t.join();
    std::vector<DriveInfo> drives;
    ASSERT_TRUE(map().drives(&drives));
    EXPECT_EQ(drives.size(), 1u + 16u);
}

TEST_F(DriveMapTest, DamagedTableLinesAreSkipped) {
    fs::create_directories(card);
    fstest::writeText(tempRoot.path() / "run" / "drives",
                      "# comment\n"
                      "E\tmanual\tremovable\t" + card.string() + "\n"
                      "garbage\n"
                      "1\tmanual\tremovable\t/x\n"
                      "F\tweird\tremovable\t/x\n"
                      "G\tmanual\tflying\t/x\n"
                      "H\tmanual\tremovable\t\n"
                      "E\tmanual\tfixed\t/dup\n");
    EXPECT_EQ(lettersAndRoots(), "C:fixed=/ E:removable=" + card.string() + " ");
}

}  // namespace
}  // namespace plat
