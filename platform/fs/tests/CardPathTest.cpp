#include "platform/fs/CardPath.h"
#include "platform/fs/tests/FsTestUtil.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

namespace plat {
namespace {
namespace fs = std::filesystem;

class CardPathTest : public ::testing::Test {
protected:
    plat::testing::TempRoot tempRoot;
    fs::path card = tempRoot.path() / "card";
    void SetUp() override {
        fstest::writeText(card / "DCIM" / "100ABCDE" / "IMG_0001.JPG", "x");
        fstest::writeText(card / "MISC" / "AUTPRINT.MRK", "x");
        fstest::writeText(card / "Vorel001.dsc", "x");
    }
};

TEST_F(CardPathTest, FindsNamesInAnyCase) {
    struct Case {
        const char* asked;
        const char* found;  // relative to the card
    };
    const Case cases[] = {
        {"DCIM/100ABCDE/IMG_0001.JPG", "DCIM/100ABCDE/IMG_0001.JPG"},
        {"dcim/100abcde/img_0001.jpg", "DCIM/100ABCDE/IMG_0001.JPG"},
        {"\\DCIM\\100abcde\\Img_0001.Jpg", "DCIM/100ABCDE/IMG_0001.JPG"},
        {"/misc//./autprint.mrk", "MISC/AUTPRINT.MRK"},
        {"VOREL001.DSC", "Vorel001.dsc"},
        {"DCIM/101NEW/IMG_0002.JPG", "DCIM/101NEW/IMG_0002.JPG"},  // not there: kept as given
        {"dcim/newdir/Sub", "DCIM/newdir/Sub"},
        {"", ""},
    };
    for (const Case& c : cases) {
        fs::path out;
        ASSERT_TRUE(resolveCardPath(card, c.asked, &out)) << c.asked;
        EXPECT_EQ(out, c.found[0] ? card / c.found : card) << c.asked;
    }
}

TEST_F(CardPathTest, ExactNameWinsOverOtherCase) {
    fstest::writeText(card / "dcim" / "x", "lower");
    fs::path out;
    ASSERT_TRUE(resolveCardPath(card, "dcim/x", &out));
    EXPECT_EQ(out, card / "dcim" / "x");
    ASSERT_TRUE(resolveCardPath(card, "Dcim", &out));
    EXPECT_EQ(out, card / "DCIM");  // the smallest of the case variants
}

TEST_F(CardPathTest, RefusesPathsLeavingTheCard) {
    fstest::writeText(tempRoot.path() / "secret" / "file", "s");
    fs::create_directory_symlink(tempRoot.path() / "secret", card / "OUT");
    fs::create_directory_symlink(card / "DCIM", card / "INSIDE");
    fs::create_symlink("../../secret/file", card / "MISC" / "rel");
    const char* bad[] = {"..", "../secret", "DCIM/../../secret", "DCIM\\..\\MISC", "OUT/file", "out", "misc/REL"};
    for (const char* p : bad) {
        fs::path out = "unchanged";
        FsResult r = resolveCardPath(card, p, &out);
        EXPECT_EQ(r.code, FsError::EscapesRoot) << p;
        EXPECT_EQ(out, "unchanged") << p;
    }
    fs::path out;
    ASSERT_TRUE(resolveCardPath(card, "inside/100abcde", &out));
    EXPECT_EQ(out, card / "INSIDE" / "100ABCDE");
}

TEST(CardPathSplit, SplitsOnBothSeparators) {
    EXPECT_EQ(splitPathComponents("\\DCIM/100A\\\\x.jpg/."), (std::vector<std::string>{"DCIM", "100A", "x.jpg"}));
    EXPECT_TRUE(splitPathComponents("/./").empty());
    EXPECT_TRUE(equalsIgnoreAsciiCase("Im01W200", "IM01w200"));
    EXPECT_FALSE(equalsIgnoreAsciiCase("IMG", "IMG_"));
    EXPECT_FALSE(equalsIgnoreAsciiCase("\xc3\xa9", "\xc3\x89"));  // only ASCII folds
}

}  // namespace
}  // namespace plat
