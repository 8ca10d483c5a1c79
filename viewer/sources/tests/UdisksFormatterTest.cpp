#include <gtest/gtest.h>

#include <string>

#include "platform/fs/DriveMap.h"
#include "viewer/sources/UdisksFormatter.h"
#include "viewer/sources/tests/CardFixture.h"

namespace {

// Only removable devices are formatted: a folder made a drive by hand, a fixed
// drive and a missing drive are refused before anything is asked of udisks.
TEST(UdisksFormatter, RefusesWhatIsNotARemovableDevice) {
    CardFixture card;  // E: is a folder
    std::string why;
    EXPECT_EQ(FormatRemovableMedium('E', &why), -1);
    EXPECT_EQ(why, "not a removable device");
    EXPECT_EQ(FormatRemovableMedium('C', &why), -1);
    EXPECT_EQ(why, "not a removable device");
    EXPECT_EQ(FormatRemovableMedium('Q', &why), -1);
    EXPECT_EQ(why, "no such drive");
}

}  // namespace
