#include "viewer/shell/settings/tests/SettingsFixture.h"

#include "viewer/shell/common/InstallInfo.h"
#include "viewer/shell/common/MessageIdRecord.h"

#include <cstring>

using InstallInfoTest = SettingsFixture;

TEST_F(InstallInfoTest, ReadsTheFourValues)
{
    InstallInfo info;
    ASSERT_TRUE(ReadInstallInfo(&info));
    EXPECT_EQ(info.installDir, installDir_.string());
    EXPECT_EQ(info.language, "USA");
    EXPECT_EQ(info.viewerPath, (installDir_ / "Lumora").string());
    EXPECT_EQ(info.commonFilesDir, (root_.path() / "Common Files").string());
    EXPECT_EQ(info.programFilesDir, (root_.path() / "Program Files").string());
}

TEST_F(InstallInfoTest, VersionIsComparedAsPrefix)
{
    const struct { const char* version; bool ok; } cases[] = {
        {"4.3.1", true}, {"4.3.10", true}, {"4.3.1 beta", true}, {"4.3", false}, {"4.3.2", false}, {"", false},
    };
    for (const auto& c : cases) {
        SetMachine(kLumoraMachineKey, kVersionValue, c.version);
        InstallInfo info;
        EXPECT_EQ(ReadInstallInfo(&info), c.ok) << c.version;
    }
}

TEST_F(InstallInfoTest, EveryReadIsMadeEvenAfterAFailure)
{
    plat::Registry::deleteTree(plat::Hive::LocalMachine, kAppPathsKey);
    SetMachine(kLumoraMachineKey, kVersionValue, "4.3");
    InstallInfo info;
    EXPECT_FALSE(ReadInstallInfo(&info));
    EXPECT_EQ(info.language, "USA");
    EXPECT_FALSE(info.commonFilesDir.empty());
}

TEST_F(InstallInfoTest, LanguageMustFitFiveBytes)
{
    SetMachine(kLumoraMachineKey, kLanguageValue, "ENGLISH");
    InstallInfo info;
    EXPECT_TRUE(ReadInstallInfo(&info));  // the key opens; the language step refuses the name
    EXPECT_EQ(info.language, "");
}

TEST_F(InstallInfoTest, StartIdMigration)
{
    const struct { uint32_t startId; uint32_t autoStart; uint32_t startType; } cases[] = {
        {0, 0, 0}, {1, 0, 1}, {2, 1, 1}, {5, 0, 0},
    };
    for (const auto& c : cases) {
        SetUserDword(kStartUpKey, kStartIdValue, c.startId);
        SetUserDword(kStartUpKey, kAutoStartValue, 7);
        SetUserDword(kStartUpKey, kStartTypeValue, 7);
        InstallInfo info;
        ReadInstallInfo(&info);
        uint32_t v = 0;
        EXPECT_FALSE(UserDword(kStartUpKey, kStartIdValue, &v)) << "StartID left behind";
        ASSERT_TRUE(UserDword(kStartUpKey, kAutoStartValue, &v));
        EXPECT_EQ(v, c.autoStart) << c.startId;
        ASSERT_TRUE(UserDword(kStartUpKey, kStartTypeValue, &v));
        EXPECT_EQ(v, c.startType) << c.startId;
    }
    // Without StartID nothing changes.
    SetUserDword(kStartUpKey, kAutoStartValue, 1);
    MigrateStartId();
    uint32_t v = 0;
    ASSERT_TRUE(UserDword(kStartUpKey, kAutoStartValue, &v));
    EXPECT_EQ(v, 1u);
}

TEST_F(InstallInfoTest, MessageIdRecords)
{
    MessageIdRecord r;
    // Missing key: false, the drive default stays.
    EXPECT_FALSE(ReadMessageID(4, &r));
    EXPECT_STREQ(r.Name, "E:");
    EXPECT_FALSE(ReadMessageID(26, &r));
    EXPECT_STREQ(r.Name, "");

    MessageIdRecord camera;
    ASSERT_TRUE(camera.SetName("/opt/Common Files/Vorel/DornMods/W310.kx3"));
    ASSERT_TRUE(camera.SetCapability("Snapwren310"));
    ASSERT_TRUE(WriteMessageID(26, camera));
    plat::RegType type = plat::RegType::None;
    EXPECT_EQ(UserString(MessageIdSubKey(26), "Name", &type), camera.Name);
    EXPECT_EQ(type, plat::RegType::MultiString);
    ASSERT_TRUE(ReadMessageID(26, &r));
    EXPECT_STREQ(r.Capability, "Snapwren310");

    // A drive Name longer than two characters is not a drive name.
    SetUserString(MessageIdSubKey(4), "Name", "E:\\DCIM");
    ASSERT_TRUE(ReadMessageID(4, &r));
    EXPECT_STREQ(r.Name, "E:");
    SetUserString(MessageIdSubKey(5), "Name", "F:");
    ASSERT_TRUE(ReadMessageID(5, &r));
    EXPECT_STREQ(r.Name, "F:");

    // A Name that does not fit 260 bytes is refused on read.
    SetUserString(MessageIdSubKey(27), "Name", std::string(300, 'm'));
    ASSERT_TRUE(ReadMessageID(27, &r));
    EXPECT_STREQ(r.Name, "");
    EXPECT_FALSE(r.SetName(std::string(260, 'x')));
    EXPECT_TRUE(r.SetName(std::string(259, 'x')));
}
