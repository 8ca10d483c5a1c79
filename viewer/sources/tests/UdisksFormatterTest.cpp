#include <gtest/gtest.h>

#include <QApplication>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/fs/DriveMap.h"
#include "platform/msg/MessageBox.h"
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

// The program's formatter tells the user why a drive was not formatted, and a
// folder card is never asked about (it is refused before any question).
TEST(UdisksFormatter, RefusalIsToldAndNothingIsAsked) {
    static int argc = 1;
    static char name[] = "sources_udisks_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);   // the boxes' thread
    CardFixture card;
    std::vector<plat::MessageBoxRequest> boxes;
    plat::setMessageBoxResponder([&](const plat::MessageBoxRequest& r) {
        boxes.push_back(r);
        return plat::kAnswerOk;
    });
    InstallUdisksFormatter();
    CMassStrage source;
    EXPECT_EQ(source.FormatDrive(4), -102);
    CMassStrage::SetDriveFormatter({});
    plat::setMessageBoxResponder({});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].buttons, plat::MessageButtons::Ok);
    EXPECT_EQ(boxes[0].text.rfind("Drive E: was not formatted: ", 0), 0u) << boxes[0].text;
    EXPECT_TRUE(std::filesystem::exists(card.card() / "Vorel001.dsc"));
}

TEST(UdisksFormatter, QuestionNamesDriveLabelAndSize) {
    plat::FormatTarget target;
    target.letter = 'F';
    target.currentLabel = "HOLIDAY";
    target.sizeBytes = 8ull << 30;
    EXPECT_EQ(FormatQuestion(target),
              "Format the medium in drive F:?\n\nLabel: \"HOLIDAY\"\nSize: 8.0 GB\n\nEverything on it will be erased.");
    target.currentLabel.clear();
    target.sizeBytes = 512;
    EXPECT_NE(FormatQuestion(target).find("Label: (no label)\nSize: 512 bytes"), std::string::npos);
}

}  // namespace
