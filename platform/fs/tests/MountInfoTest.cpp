#include "platform/fs/MountInfo.h"

#include <gtest/gtest.h>

namespace plat {
namespace {

TEST(MountInfo, ParsesKernelLines) {
    const char* text =
        "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue\n"
        "101 28 8:17 / /media/user/MY\\040CARD rw,nosuid shared:300 - vfat /dev/sdb1 rw,uid=1000\n"
        "102 28 179:1 / /media/a\\134b\\011c rw - exfat /dev/mmcblk0p1 rw\n"
        "garbage\n"
        "103 28 8:33 / /no/separator rw shared:1 ext4 /dev/sdc1 rw\n"
        "104 28 x:y / /bad/devnum rw - ext4 /dev/sdc1 rw\n"
        "105 28 0:50 / /tmp rw - tmpfs tmpfs rw";
    std::vector<MountEntry> m = parseMountInfo(text);
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].major, 98u);
    EXPECT_EQ(m[0].root, "/mnt1");
    EXPECT_EQ(m[0].mountPoint, "/mnt2");
    EXPECT_EQ(m[0].fsType, "ext3");
    EXPECT_EQ(m[1].mountPoint, "/media/user/MY CARD");
    EXPECT_EQ(m[1].minor, 17u);
    EXPECT_EQ(m[1].source, "/dev/sdb1");
    EXPECT_EQ(m[2].mountPoint, "/media/a\\b\tc");
    EXPECT_EQ(m[2].fsType, "exfat");
    EXPECT_EQ(m[3].mountPoint, "/tmp");
}

TEST(MountInfo, ReadsTheRealTable) {
    std::vector<MountEntry> m;
    ASSERT_TRUE(readMountInfo("/proc/self/mountinfo", &m));
    bool root = false;
    for (const MountEntry& e : m) root = root || e.mountPoint == "/";
    EXPECT_TRUE(root);
    EXPECT_EQ(readMountInfo("/nonexistent/mountinfo", &m).code, FsError::NotFound);
    EXPECT_TRUE(m.empty());
}

}  // namespace
}  // namespace plat
