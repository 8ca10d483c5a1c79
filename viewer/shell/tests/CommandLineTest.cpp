#include "viewer/shell/CommandLine.h"
#include "viewer/shell/common/TextFormat.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* raw;
    int code;
    int mode;
    int index;
    const char* name;
    const char* capability;
};

const Case kCases[] = {
    {"", 8, 0, 0, "", ""},
    {"   ", 8, 0, 0, "", ""},
    {"-FromWakely", 8, 1, 0, "", ""},
    {"-FROMWAKELY", 8, 1, 0, "", ""},
    {"-FromWakely ", 8, 1, 0, "", ""},                 // trailing blank is not a malformed mode 3
    {"-FromWakely -e:", 8, 3, 4, "E:", ""},
    {"-fromwakely -Z:", 8, 3, 25, "Z:", ""},
    {"-FromWakely -W310.kx3 -Model", 8, 3, 26, "/cf/Vorel/DornMods/W310.kx3", "Model"},
    {"-FromWakely -Halden7_Mod.kx3 -Halden 7S", 9, 3, 26, "/cf/Vorel/DornMods/Halden7_Mod.kx3", "Halden 7S"},
    {"-FromWakely -1:", 8, -1, 0, "", ""},              // not a drive letter
    {"-FromWakely -ee", 8, -1, 0, "", ""},              // two characters without the colon
    {"-FromWakely W310.kx3", 8, -1, 0, "", ""},         // no "-"
    {"-FromWakely -W310.kx3-Model", 8, -1, 0, "", ""},  // module part without a blank
    {"-FromWakely -W310.kx3 -", 8, -1, 0, "", ""},      // no capability
    {"-FromAutoPlay E:\\", 9, 2, 4, "E:", ""},
    {"-fromautoplay f:\\", 9, 2, 5, "F:", ""},
    {"-FromAutoPlay E:\\", 8, -1, 0, "", ""},           // AutoPlay exists only on code 9
    {"-FromAutoPlay 1:", 9, -1, 0, "", ""},
    {"-FromAutoPlay", 9, -1, 0, "", ""},                // no colon
    {"-FromAutoPlay:", 9, -1, 0, "", ""},               // the colon names no drive
    {"picture.jpg", 8, -1, 0, "", ""},
    {"-Embedding", 8, -1, 0, "", ""},
};

}  // namespace

TEST(CommandLine, Classification)
{
    for (const Case& c : kCases) {
        const CommandLineTarget t = ClassifyCommandLine(c.raw, c.code, "/cf");
        EXPECT_EQ(t.mode, c.mode) << "\"" << c.raw << "\" code " << c.code;
        if (t.mode == 2 || t.mode == 3) {
            EXPECT_EQ(t.index, c.index) << c.raw;
            EXPECT_STREQ(t.record.Name, c.name) << c.raw;
            EXPECT_STREQ(t.record.Capability, c.capability) << c.raw;
        }
    }
}

TEST(CommandLine, TextsThatDoNotFitTheRecordAreRefused)
{
    const std::string longModule(300, 'm');
    EXPECT_EQ(ClassifyCommandLine("-FromWakely -" + longModule + " -Model", 8, "/cf").mode, -1);
    EXPECT_EQ(ClassifyCommandLine("-FromWakely -a.kx3 -" + std::string(260, 'c'), 8, "/cf").mode, -1);
    EXPECT_EQ(ClassifyCommandLine("-FromWakely -a.kx3 -" + std::string(259, 'c'), 8, "/cf").mode, 3);
    EXPECT_EQ(ClassifyCommandLine("-FromWakely -a.kx3 -M", 8, std::string(250, 'd')).mode, -1);
}

TEST(CommandLine, RawTextAndShellCommand)
{
    EXPECT_EQ(RawCommandLine({"-FromAutoPlay", "E:\\"}), "-FromAutoPlay E:\\");
    EXPECT_EQ(RawCommandLine({}), "");
    const ShellCommand a = ParseShellCommand({"-FromAutoPlay", "E:\\"});
    EXPECT_EQ(a.fileToOpen, "E:\\");
    EXPECT_FALSE(a.embedding);
    const ShellCommand b = ParseShellCommand({"/Embedding"});
    EXPECT_TRUE(b.embedding);
    EXPECT_TRUE(ParseShellCommand({"-automation"}).automation);
    EXPECT_EQ(ParseShellCommand({"-FromWakely", "-e:"}).fileToOpen, "");
}

TEST(TextFormat, PlacesTakeArgumentsAsTheyAre)
{
    EXPECT_EQ(FormatLangText("%s is not installed.", {"Lumora 4"}), "Lumora 4 is not installed.");
    EXPECT_EQ(FormatLangText("%d left, 100%%", {"7"}), "7 left, 100%");
    EXPECT_EQ(FormatLangText("a %s b %s", {"%s %n"}), "a %s %n b ");
    EXPECT_EQ(FormatLangText("trailing %", {}), "trailing %");
}
