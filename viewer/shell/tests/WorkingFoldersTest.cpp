#include "viewer/shell/AppHelpers.h"
#include "viewer/shell/WorkingFolders.h"

#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class WorkingFoldersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        install_ = root_.path() / "Lumora";
        for (const char* f : {"temp", "Images", "Catalogs"})
            fs::create_directories(install_ / f);
        programFiles_ = root_.path() / "Program Files";
    }
    void TearDown() override
    {
        for (const char* f : {"temp", "Images", "Catalogs"})
            ::chmod((install_ / f).c_str(), 0700);
    }
    plat::testing::TempRoot root_;
    fs::path install_, programFiles_;
};

}  // namespace

TEST_F(WorkingFoldersTest, AllThreeUsableWithoutUploader)
{
    WorkingFolders f;
    ASSERT_TRUE(MakeWorkingFolders(install_.string(), programFiles_.string(), &f));
    EXPECT_EQ(f.temp, (install_ / "temp").string());
    EXPECT_EQ(f.catalogs, (install_ / "Catalogs").string());
    EXPECT_FALSE(f.webUploadAvailable);
    EXPECT_EQ(f.webUpload, "");
    // A trailing separator is not doubled.
    ASSERT_TRUE(MakeWorkingFolders(install_.string() + "/", programFiles_.string(), &f));
    EXPECT_EQ(f.images, (install_ / "Images").string());
}

TEST_F(WorkingFoldersTest, UploaderProgramSwitchesTheWebFolderOn)
{
    fs::create_directories(programFiles_ / "Vorel" / "Skylet");
    std::ofstream(programFiles_ / "Vorel" / "Skylet" / "Skylet") << "x";
    WorkingFolders f;
    ASSERT_TRUE(MakeWorkingFolders(install_.string(), programFiles_.string(), &f));
    EXPECT_TRUE(f.webUploadAvailable);
    EXPECT_EQ(f.webUpload, (install_ / "Brovane").string());
}

TEST_F(WorkingFoldersTest, UnusableFolderFails)
{
    const char* names[] = {"temp", "Images", "Catalogs"};
    for (const char* name : names) {
        WorkingFolders f;
        // Missing.
        fs::remove(install_ / name);
        EXPECT_FALSE(MakeWorkingFolders(install_.string(), programFiles_.string(), &f)) << name;
        // A file in its place.
        std::ofstream(install_ / name) << "x";
        EXPECT_FALSE(MakeWorkingFolders(install_.string(), programFiles_.string(), &f)) << name;
        fs::remove(install_ / name);
        fs::create_directories(install_ / name);
        if (::geteuid() != 0) {  // root writes anywhere
            ::chmod((install_ / name).c_str(), 0500);
            EXPECT_FALSE(MakeWorkingFolders(install_.string(), programFiles_.string(), &f)) << name << " read-only";
            ::chmod((install_ / name).c_str(), 0700);
        }
        EXPECT_TRUE(MakeWorkingFolders(install_.string(), programFiles_.string(), &f)) << name;
    }
}

TEST_F(WorkingFoldersTest, WorkFolderBelowTemp)
{
    std::string path;
    ASSERT_TRUE(MakeWorkFolderIn((install_ / "temp").string(), "100ABCDE", &path));
    EXPECT_EQ(path, (install_ / "temp" / "temp" / "100ABCDE").string());
    EXPECT_TRUE(fs::is_directory(path));
    ASSERT_TRUE(MakeWorkFolderIn((install_ / "temp").string(), "100ABCDE", &path));  // again: exists
    EXPECT_FALSE(MakeWorkFolderIn((root_.path() / "missing").string(), "x", &path));
    EXPECT_FALSE(MakeWorkFolderIn((install_ / "temp").string(), "../escape", &path));
    EXPECT_FALSE(MakeWorkFolderIn((install_ / "temp").string(), "", &path));
}
