#include "platform/sysroot/SystemRoot.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

TEST(SystemRoot, CurrentFollowsEnvironment) {
    plat::testing::TempRoot root;
    EXPECT_EQ(plat::SystemRoot::current().top(), root.path());
    EXPECT_EQ(plat::SystemRoot::current().tempPath(), (root.path() / "tmp").string() + "/");
}

TEST(SystemRoot, LayoutHasPrivateFolders) {
    plat::testing::TempRoot root;
    plat::SystemRoot sr(root.path());
    for (const fs::path& p : {sr.runDir(), sr.tempDir(), sr.keysDir()}) {
        struct stat st {};
        ASSERT_EQ(lstat(p.c_str(), &st), 0) << p;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << p;
    }
    EXPECT_TRUE(fs::is_directory(sr.registryDir()));
    EXPECT_TRUE(fs::is_directory(sr.programFilesDir()));
    EXPECT_TRUE(fs::is_directory(sr.commonFilesDir()));
}

TEST(SystemRoot, LoosenedPrivateFolderIsTightenedAgain) {
    plat::testing::TempRoot root;
    plat::SystemRoot sr(root.path());
    ASSERT_EQ(chmod(sr.runDir().c_str(), 0777), 0);
    std::string error;
    ASSERT_TRUE(sr.ensureLayout(&error)) << error;
    struct stat st {};
    ASSERT_EQ(stat(sr.runDir().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(SystemRoot, PrivateFolderThatIsAFileIsRefused) {
    plat::testing::TempRoot root;
    fs::path top = root.path() / "other";
    fs::create_directories(top);
    { FILE* f = fopen((top / "run").c_str(), "w"); ASSERT_TRUE(f); fclose(f); }
    std::string error;
    EXPECT_FALSE(plat::SystemRoot(top).ensureLayout(&error));
    EXPECT_FALSE(error.empty());
}
