// The catalog client against the real catalog application, started as its own process.
#include "viewer/transfer/CatalogLink.h"

#include "outside/quillbase/CatalogFile.h"
#include "platform/com/ComClasses.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

constexpr const char* kClassId = "{3E7C1A50-9B2D-4F61-8A47-5D0C9E2B7F18}";

std::string texts(uint32_t id) {
    switch (id) {
    case 62203: return "Quillbase";
    case 62204: return "Folderview";
    case 62205: return "Albumist";
    case 62206: return "Albumist Window";
    default: return {};
    }
}

class CatalogLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("QUILLBASE_IDLE_MS", "1500", 1);
        program = plat::testing::buildDir() / "outside/quillbase/Quillbase";
        ASSERT_TRUE(fs::exists(program));
        ASSERT_EQ(plat::hr::Ok, plat::registerLocalServer(kClassId, program));
        // The application's own path: the program under the name the settings hold.
        app = (root.path() / "Program Files" / "Quillbase").string();
        fs::create_directories(fs::path(app).parent_path());
        fs::copy_file(program, app);
        fs::permissions(app, fs::perms::owner_all);
        catalog = (root.path() / "Catalogs" / "trip.ccf").string();
        fs::create_directories(fs::path(catalog).parent_path());
    }
    std::string picture(const std::string& name) {
        const fs::path p = root.path() / "Pictures" / name;
        fs::create_directories(p.parent_path());
        std::ofstream(p) << name;
        return p.string();
    }

    plat::testing::TempRoot root;
    fs::path program;
    std::string app, catalog;
};

TEST_F(CatalogLinkTest, OpenChecksApplicationAndTarget) {
    CCatalogLink link(texts);
    std::ofstream(catalog) << "";
    const std::string folder = (root.path() / "Pictures").string();
    fs::create_directories(folder);
    const std::string folderApp = (root.path() / "Program Files" / "folderview").string();
    std::ofstream(folderApp) << "#!/bin/sh\n";
    struct Case {
        std::string application, target;
        int32_t expected;
    } cases[] = {
        {"", catalog, -127},
        {app, "", -125},
        {(root.path() / "Program Files" / "Other").string(), catalog, -128},
        {(root.path() / "Program Files" / "missing" / "Quillbase").string(), catalog, -128},
        {app, catalog + ".none", -126},
        {app, folder, -126},
        {app, catalog, 0},
        {folderApp, folder, 0},     // a folder application, matched without regard to case
        {folderApp, catalog, -126},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, link.OpenDatabase(c.application, c.target)) << c.application;
    fs::permissions(catalog, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(-126, link.OpenDatabase(app, catalog));   // a read-only catalog counts as missing
    EXPECT_EQ(61631u, link.ResultToMessageId(-126));
    EXPECT_EQ(61628u, link.ResultToMessageId(-128));
    EXPECT_EQ(61602u, link.ResultToMessageId(-1));
}

TEST_F(CatalogLinkTest, CreatesACatalogAndAddsPicturesToIt) {
    CCatalogLink link(texts);
    ASSERT_EQ(0, link.CreateCatalog(app, catalog));
    ASSERT_TRUE(fs::exists(catalog));
    EXPECT_EQ(-117, link.CreateCatalog(app, catalog));

    ASSERT_EQ(0, link.OpenDatabase(app, catalog));
    const std::string a = picture("A.JPG"), b = picture("B.JPG");
    EXPECT_EQ(0, link._CatalogAsset(a));
    EXPECT_EQ(0, link._CatalogAsset(b));
    EXPECT_EQ(-121, link._CatalogAsset(a + ".gone"));
    EXPECT_EQ(0, link.CloseDatabase());

    auto file = quillbase::CatalogFile::open(catalog);
    ASSERT_TRUE(file);
    EXPECT_EQ((std::vector<std::string>{a, b}), file->assets());
}

TEST_F(CatalogLinkTest, FolderApplicationsCatalogueNothing) {
    CCatalogLink link(texts);
    const std::string folderApp = (root.path() / "Program Files" / "Folderview").string();
    std::ofstream(folderApp) << "";
    ASSERT_EQ(0, link.OpenDatabase(folderApp, (root.path() / "Program Files").string()));
    EXPECT_EQ(-115, link._CatalogAsset(picture("A.JPG")));
}

}  // namespace
