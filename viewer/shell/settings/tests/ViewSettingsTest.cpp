#include "viewer/shell/settings/tests/SettingsFixture.h"

#include "viewer/shell/settings/ViewSettings.h"

namespace {

constexpr const char* kTransfer = "Software\\VOREL\\Lumora\\Settings\\Transfer";
constexpr const char* kPrev = "Software\\VOREL\\Lumora\\PrevViewInfo";
constexpr const char* kDatabase = "Software\\VOREL\\Lumora\\Settings\\Database";
constexpr const char* kFileInfo = "Software\\VOREL\\Lumora\\Settings\\FileInfo";
constexpr const char* kViewer = "Software\\VOREL\\Lumora\\Settings\\Viewer";
constexpr const char* kRepFolder = "Software\\VOREL\\Lumora\\Settings\\RepFolder";

class ViewSettingsTest : public SettingsFixture {
protected:
    CViewSettings Loaded()
    {
        CViewSettings s;
        EXPECT_TRUE(s.LoadSettings());
        return s;
    }
};

}  // namespace

TEST_F(ViewSettingsTest, DefaultsWithEmptyUserHive)
{
    const CViewSettings s = Loaded();
    const std::string images = (installDir_ / "Images").string();
    const TransferSettings t = s.GetTransferSettings();
    EXPECT_EQ(t.Thumbnail, 1u);
    EXPECT_EQ(t.SaveImage, 1u);
    EXPECT_EQ(t.Contents, 2u);
    EXPECT_EQ(t.SerialNumber, "0");
    EXPECT_EQ(t.TransferFile, images);
    EXPECT_EQ(t.PrvTransferFile, images);
    EXPECT_EQ(s.GetDatabaseSettings().FolderReg, images);
    EXPECT_EQ(s.GetFileInfoSettings().CaptionCopy, 1u);
    EXPECT_EQ(s.ThumbSize, 96u);
    EXPECT_EQ(s.CheckLocal, 1u);
    EXPECT_EQ(s.RepFolder, images);
}

TEST_F(ViewSettingsTest, DefaultFolderFallsBackToParent)
{
    std::filesystem::remove(installDir_ / "Images");
    CViewSettings s;
    ASSERT_TRUE(s.LoadSettings());
    EXPECT_EQ(s.DefaultFolder(), installDir_.string());
    EXPECT_EQ(s.GetTransferSettings().TransferFile, installDir_.string());
    // The database folder keeps the Images path (no existence cut).
    EXPECT_EQ(s.GetDatabaseSettings().FolderReg, (installDir_ / "Images").string());

    SetMachine(kLumoraMachineKey, kInstallDirValue, "/");
    CViewSettings root;
    ASSERT_TRUE(root.LoadSettings());
    EXPECT_EQ(root.DefaultFolder(), std::filesystem::exists("/Images") ? "/Images" : "/");
}

TEST_F(ViewSettingsTest, FailsWhenInstallationIsBroken)
{
    SetMachine(kLumoraMachineKey, kVersionValue, "4.3");
    CViewSettings s;
    EXPECT_FALSE(s.LoadSettings());
}

TEST_F(ViewSettingsTest, OutOfRangeDwordsAreReplaced)
{
    const struct { const char* key; const char* name; uint32_t stored; uint32_t expected; } cases[] = {
        {kStartUpKey, "AutoStart", 2, 0},      {kStartUpKey, "StartType", 5, 0},
        {kTransfer, "Thumbnail", 3, 1},        {kTransfer, "SaveImage", 9, 1},
        {kTransfer, "PrefixSuffix", 3, 0},     {kTransfer, "PrefixSuffix", 2, 2},
        {kTransfer, "Contents", 4, 2},         {kTransfer, "Contents", 3, 3},
        {kTransfer, "CreateFile", 2, 0},       {kTransfer, "ImageSize", 4, 0},
        {kTransfer, "ImageSize", 3, 3},        {kTransfer, "SelectTransfer", 5, 0},
        {kTransfer, "SelectTransfer", 4, 4},   {kTransfer, "KeepSelect", 2, 0},
        {kTransfer, "CheckWeb", 2, 0},         {kTransfer, "CheckLocal", 7, 0},
        {kDatabase, "CheckRegistry", 2, 0},    {kFileInfo, "CaptionCopy", 2, 1},
        {kFileInfo, "Check1", 2, 0},           {kFileInfo, "Check10", 1, 1},
        {kViewer, "CreateThumbnail", 2, 0},    {kViewer, "ViewerSoft", 3, 0},
        {kPrev, "Zoom", 2, 0},                 {kPrev, "ViewInfo", 4, 0},
        {kPrev, "ViewInfo", 3, 3},             {kPrev, "ThumbSize", 100, 96},
        {kPrev, "ThumbSize", 256, 256},        {kPrev, "X", 0xFFFFFFFF, 0xFFFFFFFF},
    };
    for (const auto& c : cases) {
        SetUserDword(c.key, c.name, c.stored);
        const CViewSettings s = Loaded();
        const std::string name = c.name;
        uint32_t got = 0;
        if (name == "AutoStart") got = s.AutoStart;
        else if (name == "StartType") got = s.StartType;
        else if (name == "Thumbnail") got = s.GetTransferSettings().Thumbnail;
        else if (name == "SaveImage") got = s.GetTransferSettings().SaveImage;
        else if (name == "PrefixSuffix") got = s.GetTransferSettings().PrefixSuffix;
        else if (name == "Contents") got = s.GetTransferSettings().Contents;
        else if (name == "CreateFile") got = s.GetTransferSettings().CreateFile;
        else if (name == "ImageSize") got = s.ImageSize;
        else if (name == "SelectTransfer") got = s.SelectTransfer;
        else if (name == "KeepSelect") got = s.KeepSelect;
        else if (name == "CheckWeb") got = s.CheckWeb;
        else if (name == "CheckLocal") got = s.CheckLocal;
        else if (name == "CheckRegistry") got = s.GetDatabaseSettings().CheckRegistry;
        else if (name == "CaptionCopy") got = s.GetFileInfoSettings().CaptionCopy;
        else if (name == "Check1") got = s.GetFileInfoSettings().Check[0];
        else if (name == "Check10") got = s.GetFileInfoSettings().Check[9];
        else if (name == "CreateThumbnail") got = s.GetViewerSettings().CreateThumbnail;
        else if (name == "ViewerSoft") got = s.GetViewerSettings().ViewerSoft;
        else if (name == "Zoom") got = s.Zoom;
        else if (name == "ViewInfo") got = s.ViewInfo;
        else if (name == "ThumbSize") got = s.ThumbSize;
        else if (name == "X") got = s.X;
        EXPECT_EQ(got, c.expected) << c.name << " = " << c.stored;
    }
}

TEST_F(ViewSettingsTest, StringsAreValidated)
{
    const struct { const char* name; std::string stored; std::string expected; } cases[] = {
        {"SerialNumber", "1000000", "0"},  // does not fit 7 bytes: the default stays
        {"SerialNumber", "000", "0"},
        {"SerialNumber", "0", "0"},
        {"SerialNumber", "", "0"},
        {"SerialNumber", "12a", "0"},
        {"SerialNumber", "999999", "999999"},
        {"SerialNumber", "0007", "0007"},
        {"PrefixTEXT", "AB_1", ""},
        {"PrefixTEXT", "ABCDEFGHI", ""},  // 9 characters need 10 bytes
        {"PrefixTEXT", "ABCD1234", "ABCD1234"},
        {"PrefixTEXT", "Ab9", "Ab9"},
        {"PrefixTEXT", "é", ""},
    };
    for (const auto& c : cases) {
        SetUserString(kTransfer, c.name, c.stored);
        const TransferSettings t = Loaded().GetTransferSettings();
        EXPECT_EQ(std::string(c.name) == "SerialNumber" ? t.SerialNumber : t.PrefixTEXT, c.expected)
            << c.name << " = " << c.stored;
    }
}

TEST_F(ViewSettingsTest, OverlongPathsAndKeywords)
{
    const std::string longPath(300, 'p');
    SetUserString(kTransfer, "TransferFile", longPath);
    SetUserString(kDatabase, "FolderReg", longPath);
    SetUserString(kDatabase, "Catalogfile", "/cat/a.ccf");
    SetUserString(kFileInfo, "Keyword1", std::string(40, 'k'));
    SetUserString(kFileInfo, "Keyword2", std::string(31, 'k'));
    SetUserString(kRepFolder, "FolderReg", "/rep");
    const CViewSettings s = Loaded();
    EXPECT_EQ(s.GetTransferSettings().TransferFile, (installDir_ / "Images").string());  // read fails: default
    EXPECT_EQ(s.GetDatabaseSettings().FolderReg, (installDir_ / "Images").string());
    EXPECT_EQ(s.GetDatabaseSettings().Catalogfile, "/cat/a.ccf");
    EXPECT_EQ(s.GetFileInfoSettings().Keyword[0], "");
    EXPECT_EQ(s.GetFileInfoSettings().Keyword[1], std::string(31, 'k'));
    EXPECT_EQ(s.RepFolder, "/rep");
}

TEST_F(ViewSettingsTest, SaveAndLoadRoundTrip)
{
    CViewSettings s = Loaded();
    TransferSettings t = s.GetTransferSettings();
    t.PrefixTEXT = "TRIP";
    t.SerialNumber = "42";
    t.Contents = 3;
    s.SetTransferSettings(t);
    FileInfoSettings f = s.GetFileInfoSettings();
    f.Keyword[9] = "last";
    f.Check[4] = 1;
    s.SetFileInfoSettings(f);
    ViewerSettings v = s.GetViewerSettings();
    v.StaticSoft = "/usr/bin/viewer";
    s.SetViewerSettings(v);
    s.StartType = 1;
    ASSERT_TRUE(s.SaveSettings());
    plat::RegType type = plat::RegType::None;
    EXPECT_EQ(UserString(kTransfer, "PrefixTEXT", &type), "TRIP");
    EXPECT_EQ(type, plat::RegType::MultiString);

    const CViewSettings back = Loaded();
    EXPECT_EQ(back.GetTransferSettings().PrefixTEXT, "TRIP");
    EXPECT_EQ(back.GetTransferSettings().SerialNumber, "42");
    EXPECT_EQ(back.GetTransferSettings().Contents, 3u);
    EXPECT_EQ(back.GetFileInfoSettings().Keyword[9], "last");
    EXPECT_EQ(back.GetFileInfoSettings().Check[4], 1u);
    EXPECT_EQ(back.GetViewerSettings().StaticSoft, "/usr/bin/viewer");
    EXPECT_EQ(back.StartType, 1u);
}

// What the settings sheet takes (31 characters for a keyword, 259 for a path,
// counted as its fields count them) comes back whole at the next start, in
// every language the suite installs.
TEST_F(ViewSettingsTest, TextInEveryLanguageSurvivesTheNextStart)
{
    const struct {
        const char* language;
        std::string keyword;
        std::string folder;
    } cases[] = {
        {"USA", std::string(31, 'k'), "/photos/" + std::string(251, 'p')},
        {"FRN", "Été à Saint-Étienne, fête nâïve", "/photos/Été"},
        {"GER", "Größere Übersicht: Gänseblümche", "/photos/Übersicht"},
        {"SPN", "Señora Muñoz en la montaña, año", "/photos/Año Nuevo"},
        {"JPN", "東京都港区の写真撮影会です", "/写真/" + [] {
             std::string s;
             for (int i = 0; i < 250; ++i) s += "写";
             return s;
         }()},
        {"JPN", [] {
             std::string s;
             for (int i = 0; i < 31; ++i) s += "あ";
             return s;
         }(), "/写真"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.language) + " " + c.keyword);
        CViewSettings s = Loaded();
        FileInfoSettings f = s.GetFileInfoSettings();
        f.Keyword[0] = c.keyword;
        s.SetFileInfoSettings(f);
        DatabaseSettings d = s.GetDatabaseSettings();
        d.Catalogfile = c.folder;
        s.SetDatabaseSettings(d);
        ASSERT_TRUE(s.SaveSettings());
        const CViewSettings back = Loaded();
        EXPECT_EQ(back.GetFileInfoSettings().Keyword[0], c.keyword);
        EXPECT_EQ(back.GetDatabaseSettings().Catalogfile, c.folder);
    }
}

TEST_F(ViewSettingsTest, SingleValueWriters)
{
    CViewSettings s = Loaded();
    ASSERT_TRUE(s.WriteImageSize(2));
    ASSERT_TRUE(s.WritePrevViewInfo(10, 20, 600, 800, 1, 2, 192));
    ASSERT_TRUE(s.WriteRepFolder("/photos"));
    ASSERT_TRUE(s.WriteSelectTransfer(3, 1));
    ASSERT_TRUE(s.WriteTransferDestChecks(1, 0));
    ASSERT_TRUE(s.WriteSerialNumber("77"));
    const CViewSettings back = Loaded();
    EXPECT_EQ(back.ImageSize, 2u);
    EXPECT_EQ(back.Width, 800u);
    EXPECT_EQ(back.Zoom, 1u);
    EXPECT_EQ(back.ThumbSize, 192u);
    EXPECT_EQ(back.RepFolder, "/photos");
    EXPECT_EQ(back.SelectTransfer, 3u);
    EXPECT_EQ(back.KeepSelect, 1u);
    EXPECT_EQ(back.CheckWeb, 1u);
    EXPECT_EQ(back.CheckLocal, 0u);
    EXPECT_EQ(back.GetTransferSettings().SerialNumber, "77");
}

TEST_F(ViewSettingsTest, ReadStartUp)
{
    CViewSettings s = Loaded();
    StartUpRecord r{5, 5};
    EXPECT_FALSE(s.ReadStartUp(&r));  // no key yet
    EXPECT_EQ(r.AutoStart, 0u);
    EXPECT_EQ(r.StartType, 0u);
    SetUserDword(kStartUpKey, "StartType", 1);
    SetUserDword(kStartUpKey, "AutoStart", 1);
    ASSERT_TRUE(s.ReadStartUp(&r));
    EXPECT_EQ(r.StartType, 1u);
    EXPECT_EQ(r.AutoStart, 1u);
    SetUserDword(kStartUpKey, "StartType", 2);
    SetUserDword(kStartUpKey, "AutoStart", 3);
    s.AutoStart = 1;
    ASSERT_TRUE(s.ReadStartUp(&r));
    EXPECT_EQ(r.StartType, 0u);
    EXPECT_EQ(s.AutoStart, 0u);
}

TEST_F(ViewSettingsTest, LastTarget)
{
    CViewSettings s = Loaded();
    MessageIdRecord r;
    EXPECT_FALSE(s.LoadLastTarget(&r));
    MessageIdRecord card;
    card.SetName("E:");
    ASSERT_TRUE(s.SaveLastTarget(card));
    ASSERT_TRUE(s.LoadLastTarget(&r));
    EXPECT_STREQ(r.Name, "E:");
    EXPECT_STREQ(r.Capability, "");
}
