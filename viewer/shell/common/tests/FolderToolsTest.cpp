#include "viewer/shell/common/FolderTools.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class FolderToolsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/lumora-folders-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        for (auto& p : fs::recursive_directory_iterator(root_, ec))
            ::chmod(p.path().c_str(), 0700);
        fs::remove_all(root_, ec);
    }
    fs::path file(const fs::path& p, bool readOnly = false)
    {
        fs::create_directories(p.parent_path());
        std::ofstream(p) << "x";
        if (readOnly)
            ::chmod(p.c_str(), 0444);
        return p;
    }
    fs::path folderAgedHours(const fs::path& p, int hours)
    {
        fs::create_directories(p);
        const std::time_t t = std::time(nullptr) - static_cast<std::time_t>(hours) * 3600 - 60;
        const timespec times[2] = {{t, 0}, {t, 0}};
        ::utimensat(AT_FDCWD, p.c_str(), times, 0);
        return p;
    }
    fs::path root_;
};

}  // namespace

TEST_F(FolderToolsTest, CleanFolderKeepsYoungSubFoldersAndDropsFiles)
{
    const fs::path web = root_ / "Brovane";
    file(web / "loose.jpg");
    file(web / "locked.jpg", true);
    file(folderAgedHours(web / "young", 23) / "a.jpg");
    folderAgedHours(web / "young", 23);
    file(folderAgedHours(web / "old", 24) / "b.jpg");
    folderAgedHours(web / "old", 24);

    CleanFolder(web.string(), false, 24, false);

    EXPECT_FALSE(fs::exists(web / "loose.jpg"));
    EXPECT_FALSE(fs::exists(web / "locked.jpg"));
    EXPECT_TRUE(fs::exists(web / "young" / "a.jpg"));
    EXPECT_FALSE(fs::exists(web / "old"));
    EXPECT_TRUE(fs::exists(web));
}

TEST_F(FolderToolsTest, CleanFolderEmptyYoungRule)
{
    for (bool removeEmptyYoung : {false, true}) {
        const fs::path f = root_ / (removeEmptyYoung ? "on" : "off");
        folderAgedHours(f / "empty", 1);
        file(f / "full" / "x");
        folderAgedHours(f / "full", 1);
        CleanFolder(f.string(), false, 24, removeEmptyYoung);
        EXPECT_EQ(fs::exists(f / "empty"), !removeEmptyYoung);
        EXPECT_TRUE(fs::exists(f / "full" / "x"));
    }
}

TEST_F(FolderToolsTest, CleanFolderWithoutAgeRemovesAllAndSelf)
{
    const fs::path temp = root_ / "temp";
    file(temp / "a" / "b" / "c.jpg", true);
    ::chmod((temp / "a" / "b").c_str(), 0500);  // a read-only folder
    file(temp / "d.txt");
    CleanFolder(temp.string(), false, 0, false);
    EXPECT_TRUE(fs::exists(temp));
    EXPECT_TRUE(fs::is_empty(temp));
    CleanFolder(temp.string(), true, 0, false);
    EXPECT_FALSE(fs::exists(temp));
}

TEST_F(FolderToolsTest, LinksAreRemovedNeverFollowed)
{
    const fs::path outside = root_ / "outside";
    file(outside / "keep.jpg");
    const fs::path temp = root_ / "temp";
    fs::create_directories(temp / "sub");
    fs::create_directory_symlink(outside, temp / "link");
    fs::create_directory_symlink(outside, temp / "sub" / "link");
    fs::create_symlink(outside / "keep.jpg", temp / "file-link");

    CleanFolder(temp.string(), false, 0, false);
    EXPECT_TRUE(fs::exists(outside / "keep.jpg"));
    EXPECT_TRUE(fs::is_empty(temp));

    // A link given as the folder itself is left alone.
    fs::create_directory_symlink(outside, root_ / "alias");
    CleanFolder((root_ / "alias").string(), true, 0, false);
    EXPECT_TRUE(fs::exists(outside / "keep.jpg"));
}

TEST_F(FolderToolsTest, FreeSpace)
{
    EXPECT_TRUE(HasFreeSpace(root_.string(), 1));
    EXPECT_FALSE(HasFreeSpace(root_.string(), UINT64_MAX));
    EXPECT_FALSE(HasFreeSpace((root_ / "missing").string(), 1));
    EXPECT_FALSE(HasFreeSpace("", 1));
    EXPECT_EQ(TimeDifferenceSeconds(100, 40), 60);
}
