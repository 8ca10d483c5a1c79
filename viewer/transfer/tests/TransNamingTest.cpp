#include "viewer/transfer/TransNaming.h"

#include "platform/fs/FileOps.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class NamingTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("naming-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    void touch(const std::string& name) { std::ofstream(dir / name) << "x"; }
    std::string folder() const { return dir.string(); }

    fs::path dir;
    CTransNaming naming;
    TransDate date{2001, 12, 31, 23, 59, 59.0};
};

std::time_t localTime(int y, int mo, int d, int h, int mi, int s) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_isdst = -1;
    return std::mktime(&t);
}

TEST_F(NamingTest, DatedFolderCountsItsTimePartUpKeepingDigits) {
    TransferSettings s;
    s.TransferFile = folder();
    std::string out;
    ASSERT_EQ(0, naming.MakeDestinationFolderName(&out, s, localTime(2001, 12, 31, 23, 59, 59)));
    EXPECT_EQ(folder() + "/20011231-235959", out);
    fs::create_directory(out);
    ASSERT_EQ(0, naming.MakeDestinationFolderName(&out, s, localTime(2001, 12, 31, 23, 59, 59)));
    EXPECT_EQ(folder() + "/20011231-235960", out);

    // A leading zero stays, so names keep sorting by time.
    fs::create_directory(dir / "20240101-093015");
    ASSERT_EQ(0, naming.MakeDestinationFolderName(&out, s, localTime(2024, 1, 1, 9, 30, 15)));
    EXPECT_EQ(folder() + "/20240101-093016", out);
}

TEST_F(NamingTest, UnusableBaseIsRefused) {
    TransferSettings s;
    std::string out;
    EXPECT_EQ(kNamingBadBase, naming.MakeDestinationFolderName(&out, s));
    s.TransferFile = folder() + "/missing";
    EXPECT_EQ(kNamingBadBase, naming.MakeDestinationFolderName(&out, s));
}

TEST_F(NamingTest, KeptNamesGetACounterOnAClash) {
    TransferSettings s;  // CreateFile 0
    struct Case {
        std::vector<std::string> taken;
        std::string source;
        std::string expected;
    } cases[] = {
        {{}, "DCIM/100ABCDE/DSC_0001.JPG", "DSC_0001.JPG"},
        {{"DSC_0001.JPG"}, "DCIM/100ABCDE/DSC_0001.JPG", "DSC_0001-1.JPG"},
        {{"DSC_0001.JPG", "DSC_0001-1.JPG"}, "x/DSC_0001.JPG", "DSC_0001-2.JPG"},
        {{"A-12.JPG"}, "x/A-12.JPG", "A-13.JPG"},
        {{"A-9999.JPG"}, "x/A-9999.JPG", "A-1.JPG"},
        {{}, "x/..", "_."},
    };
    for (const auto& c : cases) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        for (const auto& t : c.taken) touch(t);
        std::string out;
        ASSERT_EQ(0, naming.MakeNewName(&out, c.source, folder(), s, date)) << c.source;
        EXPECT_EQ(folder() + "/" + c.expected, out) << c.source;
    }
}

TEST_F(NamingTest, NewNamesFromPrefixContentsAndSerial) {
    struct Case {
        uint32_t prefixSuffix, contents;
        std::string text, serial, expected, next;
    } cases[] = {
        {0, 0, "TRIP", "41", "TRIP_41.JPG", "42"},
        {1, 0, "TRIP", "41", "41TRIP.JPG", "42"},
        {2, 0, "TRIP", "41", "41.JPG", "42"},
        {0, 1, "", "7", "100ABCDE_7.JPG", "8"},
        {0, 2, "P", "7", "PDSC_0001_7.JPG", "8"},
        {2, 3, "", "999999", "011231235959_999999.JPG", "0"},
        {0, 0, "a/b", "1", "a_b_1.JPG", "2"},
    };
    for (const auto& c : cases) {
        TransferSettings s;
        s.CreateFile = 1;
        s.PrefixSuffix = c.prefixSuffix;
        s.Contents = c.contents;
        s.PrefixTEXT = c.text;
        s.SerialNumber = c.serial;
        std::string out;
        ASSERT_EQ(0, naming.MakeNewName(&out, "DCIM/100ABCDE/DSC_0001.JPG", folder(), s, date));
        EXPECT_EQ(folder() + "/" + c.expected, out);
        EXPECT_EQ(c.next, s.SerialNumber);
    }
}

TEST_F(NamingTest, NewNameSkipsTakenSerials) {
    TransferSettings s;
    s.CreateFile = 1;
    s.Contents = 0;
    s.PrefixTEXT = "A";
    s.SerialNumber = "5";
    touch("A_5.JPG");
    touch("A_6.JPG");
    std::string out;
    ASSERT_EQ(0, naming.MakeNewName(&out, "d/X.JPG", folder(), s, date));
    EXPECT_EQ(folder() + "/A_7.JPG", out);
    EXPECT_EQ("8", s.SerialNumber);
}

// A name a copy is still on its way to counts as taken, as a file standing there does.
TEST_F(NamingTest, ANameStillComingIsTaken) {
    TransferSettings serial;
    serial.CreateFile = 1;
    serial.Contents = 0;
    serial.PrefixTEXT = "A";
    serial.SerialNumber = "5";
    std::string out;
    const auto coming = [](const std::string& name) { return name == "A_5.JPG" || name == "X.JPG"; };
    ASSERT_EQ(0, naming.MakeNewName(&out, "d/X.JPG", folder(), serial, date, coming));
    EXPECT_EQ(folder() + "/A_6.JPG", out);

    TransferSettings keep;
    keep.CreateFile = 0;
    ASSERT_EQ(0, naming.MakeNewName(&out, "d/X.JPG", folder(), keep, date, coming));
    EXPECT_EQ(folder() + "/X-1.JPG", out);
    ASSERT_EQ(0, naming.MakeNewName(&out, "d/Y.JPG", folder(), keep, date, coming));
    EXPECT_EQ(folder() + "/Y.JPG", out);
}

TEST_F(NamingTest, LongPathsCutThePrefixOrFail) {
    std::string deep = folder() + "/" + std::string(200, 'd');
    fs::create_directories(deep);
    TransferSettings s;
    s.CreateFile = 1;
    s.Contents = 0;
    s.PrefixTEXT = std::string(80, 'p');
    s.SerialNumber = "1";
    std::string out;
    ASSERT_EQ(0, naming.MakeNewName(&out, "d/X.JPG", deep, s, date));
    EXPECT_EQ(259u, out.size());
    EXPECT_EQ(".JPG", out.substr(out.size() - 4));

    std::string deeper = deep + "/" + std::string(60, 'e');
    fs::create_directories(deeper);
    s.SerialNumber = "1";
    EXPECT_EQ(kNamingPathTooLong, naming.MakeNewName(&out, "d/X.JPG", deeper, s, date));
}

TEST(PathLength, CountsTheLongestName) {
    TransferSettings s;
    s.TransferFile = std::string(230, 'a');
    EXPECT_TRUE(PathLengthCheck(s));   // 230 + 29 = 259
    s.TransferFile += "a";
    EXPECT_FALSE(PathLengthCheck(s));
    s.CreateFile = 1;
    s.Contents = 2;
    s.SerialNumber = "12";
    s.TransferFile = std::string(223, 'a');
    EXPECT_TRUE(PathLengthCheck(s));   // 223 + 17 + 12 + 1 + 2 + 4 = 259
    s.SerialNumber = "123";
    EXPECT_FALSE(PathLengthCheck(s));
}

TEST(Space, OneTestWhenTempAndDestinationShareAVolume) {
    const std::string here = fs::temp_directory_path().string();
    std::vector<std::pair<std::string, uint64_t>> asked;
    uint64_t free = 1000;
    FreeSpaceProbe probe = [&](const std::string& f, uint64_t* b) {
        asked.emplace_back(f, 0);
        *b = free;
        return true;
    };
    SpaceNeed need{here, here, true, true, 100, 400};
    EXPECT_TRUE(SpaceCheck(need, probe));  // 100 + 400 (web) + 400 (destination) = 900
    EXPECT_EQ(1u, asked.size());
    free = 899;
    EXPECT_FALSE(SpaceCheck(need, probe));
    need.total = uint64_t{5} << 32;  // no 32-bit wrap
    free = 1000;
    EXPECT_FALSE(SpaceCheck(need, probe));
}

}  // namespace
