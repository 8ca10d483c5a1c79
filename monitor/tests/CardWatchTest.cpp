// Cards in readers: which media are announced, once, and when the gate keeps quiet.
#include "monitor/tests/MonitorTestSupport.h"

#include "viewer/shell/common/MessageIdRecord.h"
#include "viewer/shell/common/RegistryNames.h"

#include "platform/fs/DosAttributes.h"

#include <filesystem>
#include <ostream>

namespace fs = std::filesystem;
using Indices = std::vector<plat::LParam>;

TEST_F(MonitorFixture, CardInsertedIsAnnouncedOnceWithItsIndex)
{
    AddReader('E');
    StartFrame();
    EXPECT_EQ(Tick(), Indices{});  // empty reader
    InsertCard('E');
    EXPECT_EQ(Tick(), Indices{4});
    EXPECT_EQ(Tick(), Indices{});  // still the same card
}

TEST_F(MonitorFixture, StartWritesTheKeyOfEveryIndex)
{
    StartFrame();
    MessageIdRecord record;
    ASSERT_TRUE(ReadMessageID(4, &record));
    EXPECT_STREQ(record.Name, "E:");
    EXPECT_STREQ(record.Capability, "");
    ASSERT_TRUE(ReadMessageID(27, &record));
    EXPECT_EQ(std::string(record.Name), (commonFiles_ / "Vorel/DornMods/W310.kx3").string());
    ASSERT_TRUE(ReadMessageID(28, &record));
    EXPECT_EQ(std::string(record.Name), (commonFiles_ / "Vorel/DornMods/GPhotoCam.kx3").string());
    EXPECT_EQ(frame_->Devices()->GetIndexCount(), 29);
}

struct CardCase {
    friend void PrintTo(const CardCase& c, std::ostream* os) { *os << c.name; }
    const char* name;
    bool marker;
    bool markerIsFolder;
    const char* dataFolder;  // "" for none
    bool announced;
};

class CardContents : public MonitorFixture, public ::testing::WithParamInterface<CardCase> {};

TEST_P(CardContents, OnlyCameraCardsAreAnnounced)
{
    const CardCase& c = GetParam();
    AddReader('F');
    StartFrame();
    const fs::path card = CardFolder('F');
    fs::create_directories(card);
    if (*c.dataFolder)
        fs::create_directories(card / c.dataFolder);
    if (c.markerIsFolder)
        fs::create_directories(card / "Vorel001.dsc");
    else if (c.marker) {
        WriteFile(card / "vorel001.DSC", "m");  // card names in any case
        plat::changeDosAttributes(card / "vorel001.DSC", plat::FileAttr::Hidden, 0);
    }
    EXPECT_EQ(Tick(), c.announced ? Indices{5} : Indices{}) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cards, CardContents,
                         ::testing::Values(CardCase{"marker and DCIM", true, false, "DCIM", true},
                                           CardCase{"marker and IM01W200", true, false, "IM01W200", true},
                                           CardCase{"DCIM without marker", false, false, "DCIM", false},
                                           CardCase{"marker that is a folder", false, true, "DCIM", false},
                                           CardCase{"marker without pictures", true, false, "", false}),
                         [](const auto& info) { return std::to_string(info.index); });

TEST_F(MonitorFixture, MarkerThatIsNotHiddenIsNoCameraCard)
{
    AddReader('E');
    StartFrame();
    InsertCard('E');
    const fs::path marker = CardFolder('E') / "Vorel001.dsc";
    if (!plat::changeDosAttributes(marker, 0, plat::FileAttr::Hidden).ok())
        GTEST_SKIP() << "this file system keeps no DOS attributes";
    plat::DosAttributes attributes;
    ASSERT_TRUE(plat::readDosAttributes(marker, &attributes).ok());
    if (!attributes.dosKnown)
        GTEST_SKIP() << "this file system keeps no DOS attributes";
    EXPECT_EQ(Tick(), Indices{});
}

TEST_F(MonitorFixture, EjectedCardIsAnnouncedAgainWhenReinserted)
{
    AddReader('E');
    StartFrame();
    InsertCard('E');
    EXPECT_EQ(Tick(), Indices{4});
    EjectCard('E');
    EXPECT_EQ(Tick(), Indices{});
    InsertCard('E');
    EXPECT_EQ(Tick(), Indices{4});
}

TEST_F(MonitorFixture, AfterARemovalReportTheDriveMustBeSeenEmptyFirst)
{
    AddReader('E');
    StartFrame();
    InsertCard('E');
    const plat::DeviceChange change{plat::kDeviceTypeVolume, 1u << 4};
    frame_->OnDeviceChange(plat::kDeviceRemoveComplete, &change);
    EXPECT_EQ(Tick(), Indices{});  // present, but counted as absent
    EXPECT_EQ(Tick(), Indices{});
    EjectCard('E');
    EXPECT_EQ(Tick(), Indices{});
    InsertCard('E');
    EXPECT_EQ(Tick(), Indices{4});
}

TEST_F(MonitorFixture, ArrivalMessageAnnouncesTheDriveAtOnce)
{
    AddReader('G');
    StartFrame();
    InsertCard('G');
    const plat::DeviceChange change{plat::kDeviceTypeVolume, 1u << 6};
    frame_->OnDeviceChange(plat::kDeviceArrival, &change);
    EXPECT_TRUE(viewer_->Flush());
    EXPECT_EQ(viewer_->indices, Indices{6});
    EXPECT_EQ(Tick(), Indices{});
}

TEST_F(MonitorFixture, InstallDriveAndDrivesBelowDAreNeverAnnounced)
{
    AddReader('H');
    // The installation lives on the card of H:.
    SetMachineString(kLumoraMachineKey, kInstallDirValue, (CardFolder('H') / "Lumora").string());
    InsertCard('H');
    StartFrame();
    EXPECT_EQ(frame_->Devices()->GetExcludedDrive(), 7);
    EXPECT_EQ(Tick(), Indices{});
    EXPECT_FALSE(frame_->Devices()->IsUseful(0));
    EXPECT_FALSE(frame_->Devices()->IsUseful(2));
}

TEST_F(MonitorFixture, XpModeAnnouncesNoDrive)
{
    config_.devices.xpMode = true;
    AddReader('E');
    StartFrame();
    InsertCard('E');
    EXPECT_EQ(Tick(), Indices{});
}

struct GateCase {
    friend void PrintTo(const GateCase& c, std::ostream* os) { *os << c.name; }
    const char* name;
    std::function<void(MonitorFixture&)> set;
    bool announced;
};

class Gate : public MonitorFixture, public ::testing::WithParamInterface<GateCase> {};

TEST_P(Gate, AutoStartAndActivationLevelsKeepTheMonitorQuiet)
{
    GetParam().set(*this);
    AddReader('E');
    StartFrame();
    InsertCard('E');
    EXPECT_EQ(Tick(), GetParam().announced ? Indices{4} : Indices{}) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Levels, Gate,
    ::testing::Values(
        GateCase{"AutoStart 1", [](MonitorFixture& f) { f.SetUserDword(kStartUpKey, kAutoStartValue, 1); }, false},
        GateCase{"AutoStart 0", [](MonitorFixture& f) { f.SetUserDword(kStartUpKey, kAutoStartValue, 0); }, true},
        GateCase{"AutoStart out of range reads 0",
                 [](MonitorFixture& f) { f.SetUserDword(kStartUpKey, kAutoStartValue, 7); }, true},
        GateCase{"MinActiveLevel 3",
                 [](MonitorFixture& f) {
                     f.SetMachineString("SOFTWARE\\Pixfield\\Event support\\Settings", "MinActiveLevel", "3");
                 },
                 false},
        GateCase{"ActivateLevel 2 as text",
                 [](MonitorFixture& f) { f.SetMachineString("SOFTWARE\\Vorel\\Lumora\\Settings", "ActivateLevel", "2"); },
                 false},
        GateCase{"ActivateLevel 1 as number",
                 [](MonitorFixture& f) { f.SetMachineDword("SOFTWARE\\Vorel\\Lumora\\Settings", "ActivateLevel", 1); },
                 false},
        GateCase{"levels 0",
                 [](MonitorFixture& f) {
                     f.SetMachineString("SOFTWARE\\Pixfield\\Event support\\Settings", "MinActiveLevel", "0");
                     f.SetMachineDword("SOFTWARE\\Vorel\\Lumora\\Settings", "ActivateLevel", 0);
                 },
                 true},
        GateCase{"level text too long for its buffer reads 0",
                 [](MonitorFixture& f) {
                     f.SetMachineString("SOFTWARE\\Vorel\\Lumora\\Settings", "ActivateLevel", std::string(40, '5'));
                 },
                 true}),
    [](const auto& info) { return std::to_string(info.index); });

TEST_F(MonitorFixture, GateAlsoKeepsTheCameraKeyUnwritten)
{
    SetUserDword(kStartUpKey, kAutoStartValue, 1);
    StartFrame();
    frame_->Viewer()->SendMsgToView(27, "/x/W310.kx3", "Snapwren310");
    MessageIdRecord record;
    ASSERT_TRUE(ReadMessageID(27, &record));
    EXPECT_STREQ(record.Capability, "");
}

TEST_F(MonitorFixture, CloseDeletesTheDeviceKeysAndStopsPolling)
{
    StartFrame();
    EXPECT_TRUE(frame_->IsPolling());
    frame_->OnClose();
    EXPECT_FALSE(frame_->IsPolling());
    MessageIdRecord record;
    EXPECT_FALSE(ReadMessageID(4, &record));
}

TEST_F(MonitorFixture, BroadcastThatKeepsFailingGivesUp)
{
    StartFrame();
    // The desktop cannot be reached: every post fails, and the retries end.
    const fs::path desktop = root_.path() / "run" / "desktop";
    const fs::path aside = root_.path() / "run" / "desktop-aside";
    fs::rename(desktop, aside);
    WriteFile(desktop, "not a folder");
    EXPECT_FALSE(frame_->Viewer()->_SendMessage(4));
    fs::remove(desktop);
    fs::rename(aside, desktop);
    EXPECT_TRUE(frame_->Viewer()->_SendMessage(4));
    EXPECT_TRUE(viewer_->Flush());
    EXPECT_EQ(viewer_->indices, Indices{4});
}
