#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/fs/DriveMap.h"
#include "platform/testing/TempRoot.h"
#include "viewer/sources/PrintOrderFile.h"

namespace {

const char* const kHeader =
    "[HDR]\n"
    "GEN REV = 01.00\n"
    "GEN CRT = \"X\" -00.00\n";

const char* const kVendor = "VUQ VNM = \"Vorel Corporation\" -ATR \"Dezer Evedaziz Edaveda V1.0\"\n";

std::string marking(const std::string& qty, const std::string& srcs) {
    return std::string(kHeader) +
           "[JOB]\nPRT PID = 001\nPRT TYP = STD\nVUQ RGN = BGN\n" + kVendor +
           "[JOB]\nITM PID = 001\nITM QTY = " + qty + "\n" + srcs + "VUQ RGN = END\n";
}

const std::string kTwo = "IMG SRC = \"../DCIM/100ABCDE/ABCD0001.JPG\"\nIMG SRC = \"../DCIM/100ABCDE/ABCD0002.JPG\"\n";

struct Case {
    const char* name;
    std::string text;
    int32_t result;
    int32_t count;
};

TEST(PrintOrderFile, Grammar) {
    const Case cases[] = {
        {"minimal", marking("002", kTwo), 0, 2},
        {"lower case keywords", "[hdr]\ngen rev = 01.00\ngen crt = \"X\"\n[job]\nprt pid = 001\nprt typ = idx\n"
                                "vuq rgn = bgn\n" + std::string(kVendor) + "[Job]\nitm pid = 001\nitm qty = 1\n"
                                "img src = \"../DCIM/100ABCDE/ABCD0001.JPG\"\nvuq rgn = end\n", 0, 1},
        {"comments blanks and CRLF", "; made by a camera\r\n\r\n" + marking("002", kTwo), 0, 2},
        {"duplicate removed", marking("003", kTwo + "IMG SRC = \"../dcim/100abcde/abcd0001.jpg\"\n"), 0, 2},
        {"fewer paths than the count", marking("003", kTwo), -125, 0},
        {"more paths than the count", marking("001", kTwo), -126, 0},
        {"revision 01.01 leaves REV missing",
         "[HDR]\nGEN REV = 01.01\nGEN CRT = \"X\"\n[JOB]\nPRT PID = 001\nPRT TYP = STD\n", -126, 0},
        {"REV twice", "[HDR]\nGEN REV = 01.00\nGEN REV = 01.00\nGEN CRT = \"X\"\n", -126, 0},
        {"CRT without a value", "[HDR]\nGEN REV = 01.00\nGEN CRT =\n", -126, 0},
        {"PRT PID 000", std::string(kHeader) + "[JOB]\nPRT PID = 000\nPRT TYP = STD\n", -126, 0},
        {"PRT PID 1000 reads as 100", std::string(kHeader) + "[JOB]\nPRT PID = 1000\nPRT TYP = STD\n", -125, 0},
        {"PRT TYP other", std::string(kHeader) + "[JOB]\nPRT PID = 001\nPRT TYP = XYZ\n", -126, 0},
        {"job without TYP", std::string(kHeader) + "[JOB]\nPRT PID = 001\n", -126, 0},
        {"first line not HDR", "[JOB]\n" + marking("002", kTwo), -126, 0},
        {"broken header line", "[HDR\n", -126, 0},
        {"END outside a region", std::string(kHeader) + "VUQ RGN = END\n", -126, 0},
        {"other vendor region skipped, nested",
         std::string(kHeader) + "VUQ RGN = BGN\nVUQ VNM = \"Other\"\nVUQ RGN = BGN\nXXX YYY = 1\nVUQ RGN = END\n"
                                "VUQ RGN = END\n" + marking("002", kTwo).substr(std::string(kHeader).size()), 0, 2},
        {"file ends inside the marking", std::string(kHeader) + "[JOB]\nPRT PID = 001\nPRT TYP = STD\nVUQ RGN = BGN\n" +
                                             kVendor + "[JOB]\nITM PID = 001\nITM QTY = 001\n", -126, 0},
        {"unexpected line in the marking", marking("002", kTwo + "PRT QTY = 1\n"), -126, 0},
        {"source without quotes", marking("001", "IMG SRC = ../DCIM/100ABCDE/ABCD0001.JPG\n"), -126, 0},
        {"source empty", marking("001", "IMG SRC = \"\"\n"), -126, 0},
        {"source too short", marking("001", "IMG SRC = \"..\"\n"), -126, 0},
        {"source climbing out", marking("001", "IMG SRC = \"../DCIM/../../etc/passwd\"\n"), -126, 0},
        {"source on another drive", marking("001", "IMG SRC = \"F:/DCIM/100ABCDE/ABCD0001.JPG\"\n"), -126, 0},
        {"source absolute on this drive", marking("001", "IMG SRC = \"e:/DCIM/100ABCDE/ABCD0001.JPG\"\n"), 0, 1},
        {"quantity zero", marking("000", ""), -126, 0},
        {"no marks at all", std::string(kHeader) + "[JOB]\nPRT PID = 001\nPRT TYP = STD\n", -125, 0},
        {"line after a complete list", marking("002", kTwo) + "[JOB]\nPRT PID = 002\n", -126, 0},
        {"over-long line split, ignored in the header", std::string(kHeader) + "USR NAM = " + std::string(600, 'a') + "\n",
         -125, 0},
        {"over-long line split inside the marking", marking("002", kTwo + "IMG SRC = \"../" + std::string(600, 'a') + "\"\n"),
         -126, 0},
    };
    for (const Case& c : cases) {
        CPrintOrderFile f;
        EXPECT_EQ(f.Parse(c.text, 'e'), c.result) << c.name;
        if (c.result == 0) {
            EXPECT_EQ(f.GetCount(), c.count) << c.name;
        }
    }
}

TEST(PrintOrderFile, PathsBecomeCardPaths) {
    CPrintOrderFile f;
    ASSERT_EQ(f.Parse(marking("002", kTwo), 'E'), 0);
    EXPECT_EQ(f.GetAt(0), "E:/DCIM/100ABCDE/ABCD0001.JPG");
    EXPECT_EQ(f.GetAt(1), "E:/DCIM/100ABCDE/ABCD0002.JPG");
    EXPECT_EQ(f.GetAt(2), "");
    EXPECT_EQ(f.GetAt(-1), "");
}

TEST(PrintOrderFile, LoadFromTheCard) {
    plat::testing::TempRoot root;
    const std::filesystem::path card = root.path() / "card";
    std::filesystem::create_directories(card / "misc");
    plat::DriveMap map;
    ASSERT_TRUE(map.addManual('E', card));
    CPrintOrderFile f;
    EXPECT_EQ(f.Load(""), -128);
    EXPECT_EQ(f.Load("E:"), -128);  // no file
    std::ofstream(card / "misc" / "autprint.mrk").close();
    EXPECT_EQ(f.Load("E:"), -128);  // empty
    std::ofstream(card / "misc" / "autprint.mrk") << marking("002", kTwo);
    EXPECT_EQ(f.Load("E:\\"), 0);   // found without regard to case
    EXPECT_EQ(f.GetCount(), 2);
    EXPECT_EQ(f.Load("Q"), -128);   // no such drive
}

}  // namespace
