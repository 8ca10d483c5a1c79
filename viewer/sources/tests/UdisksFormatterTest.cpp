#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/fs/DriveMap.h"
#include "viewer/sources/MassStrage.h"
#include "viewer/sources/UdisksFormatter.h"
#include "viewer/sources/tests/CardFixture.h"

namespace {

// Only removable devices are formatted: a folder made a drive by hand, a fixed
// drive and a missing drive are refused before anything is asked of udisks, and
// the card source reports the refusal as a failed format.
TEST(UdisksFormatter, RefusesWhatIsNotARemovableDevice) {
    CardFixture card;  // E: is a folder
    std::string why;
    EXPECT_EQ(FormatRemovableMedium('E', &why), -1);
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(FormatRemovableMedium('C', &why), -1);
    EXPECT_EQ(FormatRemovableMedium('Q', &why), -1);
    InstallUdisksFormatter();
    CMassStrage source;
    EXPECT_EQ(source.FormatDrive(4), -102);
    EXPECT_TRUE(std::filesystem::exists(card.card() / "Vorel001.dsc"));
    CMassStrage::SetDriveFormatter({});
}

}  // namespace
