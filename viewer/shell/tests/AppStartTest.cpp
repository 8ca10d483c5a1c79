#include "viewer/shell/tests/ShellTestSupport.h"

#include "viewer/shell/MainFrame.h"
#include "viewer/shell/common/MessageIdRecord.h"
#include "viewer/shell/common/RegistryNames.h"
#include "viewer/shell/common/ViewerMessages.h"

#include "platform/desktop/Desktop.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

using AppStartTest = ShellFixture;

TEST_F(AppStartTest, StartsWithoutMonitorAndOpensThePanel)
{
    auto app = StartApp();
    ASSERT_NE(app->MainFrame(), nullptr);
    EXPECT_EQ(windows_->panelOpens, 1);
    EXPECT_EQ(windows_->browserOpens, 0);
    EXPECT_EQ(app->GetLanguageIndex(), 1);
    EXPECT_EQ(app->GetLanguageId(), 0x0409);
    EXPECT_FALSE(app->PreviousInstanceFound());
    EXPECT_EQ(fs::current_path(), installDir_);
    // The hidden frame is listed under its title (the monitor looks for it).
    auto frame = plat::findTopLevelByTitlePrefix("Lumora", plat::TitleCase::Insensitive);
    ASSERT_TRUE(frame.has_value());
    // No last target: the start without the monitor ends quietly.
    EXPECT_FALSE(app->targetOpen);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_EQ(app->ExitInstance(), 0);
}

TEST_F(AppStartTest, InstallationFailuresShowNotInstalled)
{
    const struct {
        const char* what;
        std::function<void(ShellFixture*)> breakIt;
    } cases[] = {
        {"version 4.3", [](ShellFixture* f) { f->SetUpVersion("4.3"); }},
        {"language ITA", [](ShellFixture* f) { f->SetUpLanguage("ITA"); }},
        {"no Catalogs", [](ShellFixture* f) { f->RemoveFolder("Catalogs"); }},
    };
    for (const auto& c : cases) {
        SetUpVersion("4.3.1");
        SetUpLanguage("usa");
        fs::create_directories(installDir_ / "Catalogs");
        boxes_.clear();
        c.breakIt(this);
        auto app = MakeApp({});
        EXPECT_FALSE(app->InitInstance()) << c.what;
        ASSERT_EQ(boxes_.size(), 1u) << c.what;
        // Spoken in the fallback language even when the language itself was refused.
        EXPECT_EQ(boxes_[0].text, "Lumora 4 is not installed correctly. Please install it again.") << c.what;
        EXPECT_EQ(boxes_[0].icon, plat::MessageIcon::Stop);
        app->ExitInstance();
    }
}

TEST_F(AppStartTest, Version4310PassesAndLanguageIsCaseInsensitive)
{
    SetUpVersion("4.3.10");
    SetUpLanguage("ger");
    auto app = StartApp();
    EXPECT_EQ(app->GetLanguageIndex(), 3);
    EXPECT_TRUE(boxes_.empty());
    app->ExitInstance();
}

TEST_F(AppStartTest, UnsupportedSystemAndFullDisk)
{
    auto old = MakeApp({}, 6);
    EXPECT_FALSE(old->InitInstance());
    EXPECT_TRUE(BoxShown(61603));
    old->ExitInstance();

    boxes_.clear();
    freeSpace_ = false;
    auto full = MakeApp({});
    EXPECT_FALSE(full->InitInstance());
    EXPECT_TRUE(BoxShown(61601));
    full->ExitInstance();
}

TEST_F(AppStartTest, UploaderDecidesTheTransferDestinations)
{
    const std::string transfer = "Software\\VOREL\\Lumora\\Settings\\Transfer";
    SetUserDword(transfer, "CheckWeb", 1);
    auto without = StartApp();
    EXPECT_FALSE(without->WebUploadAvailable());
    EXPECT_EQ(without->Settings()->CheckWeb, 0u);
    EXPECT_EQ(without->Settings()->CheckLocal, 1u);
    without->ExitInstance();
    without.reset();

    InstallUploader();
    SetUserDword(transfer, "CheckWeb", 1);
    auto with = StartApp();
    EXPECT_TRUE(with->WebUploadAvailable());
    EXPECT_EQ(with->WebUploadFolder(), (installDir_ / "Brovane").string());
    EXPECT_EQ(with->Settings()->CheckWeb, 1u);
    with->ExitInstance();
}

TEST_F(AppStartTest, StartTypeOneOpensTheBrowserMaximisedByZoom)
{
    SetUserDword(kStartUpKey, kStartTypeValue, 1);
    SetUserDword("Software\\VOREL\\Lumora\\PrevViewInfo", "Zoom", 1);
    auto app = StartApp({"-FromWakely"});
    EXPECT_EQ(windows_->browserOpens, 1);
    EXPECT_TRUE(windows_->lastMaximised);
    app->ExitInstance();
}

TEST_F(AppStartTest, UnusableCommandLinesEndTheProgram)
{
    for (const char* arg : {"-Bogus", "picture.jpg", "-Embedding"}) {
        auto app = MakeApp({arg});
        EXPECT_FALSE(app->InitInstance()) << arg;
        EXPECT_TRUE(boxes_.empty()) << arg;
        app->ExitInstance();
    }
}

TEST_F(AppStartTest, AutoPlayDriveOpensInTheFirstCopy)
{
    auto app = StartApp({"-FromAutoPlay", "E:\\"}, 9);
    EXPECT_EQ(UserString(MessageIdSubKey(4), "Name"), "E:");
    ASSERT_TRUE(PumpUntil([&] { return app->targetOpen; }));
    EXPECT_EQ(app->currentIndex, 4);
    plat::LParam index = -1;
    ASSERT_TRUE(PumpUntil([&] { return windows_->panel && windows_->panel->got(UM_TARGET_OPENED, &index); }));
    EXPECT_EQ(index, 4);
    EXPECT_EQ(parts_->cardCreations, 1);
    app->ExitInstance();
}

TEST_F(AppStartTest, ModeThreeNamesACamera)
{
    auto app = StartApp({"-FromWakely", "-W310.kx3", "-Snapwren310"});
    ASSERT_TRUE(PumpUntil([&] { return app->targetOpen; }));
    EXPECT_EQ(app->currentIndex, 26);
    EXPECT_EQ(std::string(parts_->lastControllerRecord.Name),
              (root_.path() / "Common Files").string() + "/Vorel/DornMods/W310.kx3");
    EXPECT_STREQ(parts_->lastControllerRecord.Capability, "Snapwren310");
    EXPECT_EQ(parts_->lastTitle1, "Lumora 4 Transfer");
    EXPECT_EQ(parts_->lastTitle2, "Lumora 4 Browser");
    app->ExitInstance();
}

TEST_F(AppStartTest, SecondCopyInTheSameRootEndsWithoutCleaning)
{
    auto first = StartApp();
    std::ofstream(installDir_ / "temp" / "keep.tmp") << "x";
    auto second = MakeApp({"-FromWakely"});
    EXPECT_FALSE(second->InitInstance());
    EXPECT_TRUE(second->PreviousInstanceFound());
    EXPECT_TRUE(boxes_.empty());
    second->ExitInstance();
    EXPECT_TRUE(fs::exists(installDir_ / "temp" / "keep.tmp"));
    second.reset();
    // The first copy cleans at its end.
    first->ExitInstance();
    EXPECT_FALSE(fs::exists(installDir_ / "temp" / "keep.tmp"));
}

TEST_F(AppStartTest, DeviceNotificationsDoNotMarkAPreviousInstance)
{
    auto app = StartApp();
    // The own panel is found by the window search on every notification...
    EXPECT_TRUE(app->FindPreviousInstance());
    // ...but only start-up decides that another copy ran.
    EXPECT_FALSE(app->PreviousInstanceFound());
    std::ofstream(installDir_ / "temp" / "scratch") << "x";
    app->ExitInstance();
    EXPECT_FALSE(fs::exists(installDir_ / "temp" / "scratch"));
}
