#include "platform/fs/FaultPoint.h"
#include "platform/fs/ProfileFile.h"
#include "platform/fs/tests/FsTestUtil.h"
#include "platform/testing/TempRoot.h"

#include <cerrno>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace plat {
namespace {
namespace fs = std::filesystem;
using fstest::readText;
using fstest::writeText;

class ProfileFileTest : public ::testing::Test {
protected:
    plat::testing::TempRoot root;
    fs::path ini = root.path() / "tmp" / "vorelq1";
};

TEST_F(ProfileFileTest, WritesAQueueFileFromNothing) {
    ASSERT_TRUE(writeProfileString(ini, "General", "TotalItems", "2"));
    ASSERT_TRUE(writeProfileString(ini, "Item", "Source1", "/pics/a.jpg"));
    ASSERT_TRUE(writeProfileString(ini, "Item", "Owner1", "0"));
    // A null value writes no line; the owner after it is still written.
    ASSERT_TRUE(writeProfileString(ini, "Item", "Source2", std::nullopt));
    ASSERT_TRUE(writeProfileString(ini, "Item", "Owner2", "-1"));
    ASSERT_TRUE(writeProfileString(ini, "general", "TOTALITEMS", "3"));
    EXPECT_EQ(readText(ini), "[General]\nTotalItems=3\n[Item]\nSource1=/pics/a.jpg\nOwner1=0\nOwner2=-1\n");
}

TEST_F(ProfileFileTest, EditsKeepOtherLinesAndLineEnds) {
    writeText(ini,
              "; queue\r\n"
              "garbage line\r\n"
              "[General]\r\n"
              "TotalItems = 1 \r\n"
              "\r\n"
              "[Item]\r\n"
              "Source1=x\r\n"
              "=no key\r\n"
              "\r\n"
              "[Other]\r\n"
              "k=v");
    ASSERT_TRUE(writeProfileString(ini, "item", "Owner1", "1"));
    ASSERT_TRUE(writeProfileString(ini, "GENERAL", "totalitems", "2"));
    ASSERT_TRUE(writeProfileString(ini, "New", "a", ""));
    EXPECT_EQ(readText(ini),
              "; queue\r\n"
              "garbage line\r\n"
              "[General]\r\n"
              "TotalItems=2\r\n"
              "\r\n"
              "[Item]\r\n"
              "Source1=x\r\n"
              "=no key\r\n"
              "Owner1=1\r\n"
              "\r\n"
              "[Other]\r\n"
              "k=v\r\n"
              "[New]\r\n"
              "a=\r\n");
    ASSERT_TRUE(writeProfileString(ini, "Item", "SOURCE1", std::nullopt));
    EXPECT_EQ(readProfileString(ini, "Item", "Source1", "gone"), "gone");
    EXPECT_EQ(readProfileInt(ini, "Item", "Owner1", 7), 1);
}

TEST_F(ProfileFileTest, ReadsStringsWithDefaults) {
    writeText(ini,
              "TopKey=before any section\n"
              "[ General ]\n"
              "  TotalItems=3 \n"
              "Source1 =  /a b/c.jpg\t\n"
              "Empty=\n"
              "Dup=first\n"
              "Dup=second\n"
              "[general]\n"
              "Late=second section\n");
    struct Case {
        const char* section;
        const char* key;
        const char* want;
    };
    const Case cases[] = {
        {"General", "TotalItems", "3"},     {"GENERAL", "source1", "/a b/c.jpg"},
        {"General", "Empty", ""},           {"General", "Dup", "first"},
        {"General", "Late", "default"},     {"General", "TopKey", "default"},
        {"Missing", "TotalItems", "default"}, {"General", "Missing", "default"},
    };
    for (const Case& c : cases) EXPECT_EQ(readProfileString(ini, c.section, c.key, "default"), c.want) << c.key;
    EXPECT_EQ(readProfileString(root.path() / "none.ini", "General", "TotalItems", "d"), "d");
    EXPECT_EQ(readProfileString(root.path(), "General", "TotalItems", "d"), "d");  // a folder
}

TEST_F(ProfileFileTest, ReadsIntegersLikeTheQueueReaderNeeds) {
    struct Case {
        const char* value;
        int32_t want;
    };
    const Case cases[] = {
        {"3", 3},     {"3 ", 3},    {" 42abc", 42},  {"-1", -1},    {"+5", 5},         {"0", 0},
        {"abc", 0},   {"", 0},      {"-", 0},        {"- 1", 0},    {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},           {"-2147483648", -2147483647 - 1},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(writeProfileString(ini, "S", "k", c.value));
        EXPECT_EQ(readProfileInt(ini, "S", "k", 77), c.want) << '"' << c.value << '"';
    }
    EXPECT_EQ(readProfileInt(ini, "S", "missing", 1), 1);
    EXPECT_EQ(readProfileInt(ini, "S", "missing", -5), -5);
}

TEST_F(ProfileFileTest, RefusesNamesThatWouldBreakTheFile) {
    ASSERT_TRUE(writeProfileString(ini, "S", "k", "v"));
    const std::string before = readText(ini);
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"", "k", "v"},       {"S", "", "v"},         {"S]x", "k", "v"},   {"S\n[T]", "k", "v"},
        {"S", "k=1", "v"},    {"S", "k\nx", "v"},     {"S", "k", "v\nx=1"}, {"S", "k", "v\r"},
        {"S", ";k", "v"},     {"S", "[k]", "v"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(writeProfileString(ini, c.section, c.key, c.value).code, FsError::InvalidArgument)
            << c.section << "/" << c.key;
    }
    EXPECT_EQ(readText(ini), before);
}

TEST_F(ProfileFileTest, FailedWriteLeavesTheOldFile) {
    ASSERT_TRUE(writeProfileString(ini, "General", "TotalItems", "1"));
    chmod(ini.c_str(), 0600);
    for (FsStep step : {FsStep::CreateTemp, FsStep::WriteTarget, FsStep::SyncTarget, FsStep::RenameTarget}) {
        ScopedFsFault fault([step](FsStep s) { return s == step ? ENOSPC : 0; });
        FsResult r = writeProfileString(ini, "General", "TotalItems", "2");
        EXPECT_EQ(r.code, FsError::NoSpace);
    }
    EXPECT_EQ(readProfileInt(ini, "General", "TotalItems", 0), 1);
    EXPECT_EQ(fstest::namesIn(ini.parent_path()), std::vector<std::string>{"vorelq1"});
    struct stat st {};
    stat(ini.c_str(), &st);
    ASSERT_TRUE(writeProfileString(ini, "General", "TotalItems", "2"));
    stat(ini.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // the mode survives the rewrite
    EXPECT_EQ(writeProfileString(root.path() / "no" / "such" / "q.ini", "S", "k", "v").code, FsError::NotFound);
}

// A reader of many keys reads the file once; every answer is the one the single
// reads give: first section of a name, first key in it, case, blanks, defaults.
TEST_F(ProfileFileTest, SnapshotAnswersAsTheSingleReads) {
    const fs::path file = root.path() / "tmp" / "snap.ini";
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "; a comment\r\n[General]\nTotalItems=3 \n"
                           "[FileParameters]\n Source1 = /a b.jpg \nsource1=/second.jpg\nOwner1=-7x\n"
                           "garbage line\n[fileparameters]\nSource2=/later section.jpg\n"
                           "[Other]\nSource1=/other.jpg\n";
    const ProfileSnapshot snap(file);
    const std::pair<const char*, const char*> keys[] = {
        {"General", "TotalItems"}, {"FileParameters", "Source1"}, {"FILEPARAMETERS", "SOURCE1"},
        {"FileParameters", "Owner1"}, {"FileParameters", "Source2"}, {"Other", "Source1"},
        {"Missing", "Source1"}, {"General", "Missing"},
    };
    for (const auto& [section, key] : keys) {
        SCOPED_TRACE(std::string(section) + "/" + key);
        EXPECT_EQ(snap.readString(section, key, "none"), readProfileString(file, section, key, "none"));
        EXPECT_EQ(snap.readInt(section, key, 42), readProfileInt(file, section, key, 42));
    }
    const ProfileSnapshot missing(root.path() / "tmp" / "no-such.ini");
    EXPECT_EQ(missing.readString("General", "TotalItems", "d"), "d");
    EXPECT_EQ(missing.readInt("General", "TotalItems", 5), 5);
}

}  // namespace
}  // namespace plat
