#include "platform/lang/LangDataFile.h"
#include "platform/lang/LangSource.h"
#include "platform/lang/LanguageLibrary.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

using namespace plat::lang;

namespace {

const char* kSource = R"(# test language
language 0x0409
61601 "Not enough space.\nFree %s."
62012 "Lumora \"main\""
62412 "entry 12 of block 3901"
61700 ""
menu 129
  popup "&File"
    item 32771 "&Open...\tCtrl+O"
    separator
    popup "Recent"
      item 57616 "one" grayed checked
    end
  end
  item 32800 "&Help"
end
language 0x0411
61601 "空き容量が足りません。"
)";

LanguageTables Parse(const std::string& text)
{
    LanguageTables t;
    std::string error;
    EXPECT_TRUE(ParseLangSource(text, "test", &t, &error)) << error;
    return t;
}

}  // namespace

TEST(LangSource, StringsEscapesAndLanguages)
{
    const LanguageTables t = Parse(kSource);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t.at(0x0409).strings.at(61601), "Not enough space.\nFree %s.");
    EXPECT_EQ(t.at(0x0409).strings.at(62012), "Lumora \"main\"");
    EXPECT_EQ(t.at(0x0411).strings.at(61601), "空き容量が足りません。");
}

TEST(LangSource, MenuTree)
{
    const LanguageTables t = Parse(kSource);
    const Menu& m = t.at(0x0409).menus.at(129);
    ASSERT_EQ(m.size(), 2u);
    ASSERT_EQ(m[0].kind, MenuItem::Kind::Popup);
    ASSERT_EQ(m[0].items.size(), 3u);
    EXPECT_EQ(m[0].items[0].command, 32771u);
    EXPECT_EQ(m[0].items[0].text, "&Open...\tCtrl+O");
    EXPECT_EQ(m[0].items[1].kind, MenuItem::Kind::Separator);
    EXPECT_EQ(m[0].items[2].items[0].flags, kMenuGrayed | kMenuChecked);
    EXPECT_EQ(m[1].command, 32800u);
}

TEST(LangSource, FaultsNameTheLine)
{
    struct { const char* text; const char* where; } cases[] = {
        {"61601 \"no language\"\n", "test:1:"},
        {"language 0x0409\n61601 \"a\"\n61601 \"b\"\n", "test:3:"},
        {"language 0x0409\n61601 \"open\n", "test:2:"},
        {"language 0x0409\n61601 \"bad \\q\"\n", "test:2:"},
        {"language 0x0409\n70000 \"too big\"\n", "test:2:"},
        {"language 0x0409\nmenu 1\nitem x \"a\"\nend\n", "test:3:"},
        {"language 0x0409\nmenu 1\nitem 1 \"a\"\n", "no closing end"},
        {"language 0x0409\n61601 text without quotes\n", "test:2:"},
    };
    for (const auto& c : cases) {
        LanguageTables t;
        std::string error;
        EXPECT_FALSE(ParseLangSource(c.text, "test", &t, &error)) << c.text;
        EXPECT_NE(error.find(c.where), std::string::npos) << error;
    }
}

TEST(LangData, RoundTripAndLookup)
{
    const LanguageTables t = Parse(kSource);
    LanguageTables back;
    std::string error;
    ASSERT_TRUE(DecodeLangData(EncodeLangData(t), &back, &error)) << error;
    LanguageLibrary lib(std::move(back));
    EXPECT_EQ(lib.text(0x0409, 62412).value_or(""), "entry 12 of block 3901");
    EXPECT_FALSE(lib.text(0x0409, 61700).has_value());  // empty entry = not found
    EXPECT_FALSE(lib.text(0x0409, 1).has_value());
    EXPECT_FALSE(lib.text(0x040C, 61601).has_value());   // language not in the file
    EXPECT_EQ(lib.text(0x0411, 61601).value_or(""), "空き容量が足りません。");
    ASSERT_NE(lib.menu(0x0409, 129), nullptr);
    EXPECT_EQ(lib.menu(0x0409, 129)->at(0).items.at(2).items.at(0).command, 57616u);
    EXPECT_EQ(lib.menu(0x0411, 129), nullptr);
}

TEST(LangData, MalformedDataIsRefusedWhole)
{
    const std::string good = EncodeLangData(Parse(kSource));
    LanguageTables out;
    std::string error;
    // Every truncation fails cleanly.
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(DecodeLangData(std::string_view(good).substr(0, n), &out, &error)) << n;
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(DecodeLangData(good + "x", &out, &error));
    std::string badMagic = good;
    badMagic[0] = 'X';
    EXPECT_FALSE(DecodeLangData(badMagic, &out, &error));
    // A record length far beyond the data.
    std::string longRecord = good;
    longRecord[12 + 8] = '\xff';
    longRecord[12 + 11] = '\x7f';
    EXPECT_FALSE(DecodeLangData(longRecord, &out, &error));
}

TEST(LanguageLibrary, LoadAndFind)
{
    const auto dir = std::filesystem::temp_directory_path() / ("lang-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / LanguageFileName("TestLang", "USA"), std::ios::binary) << EncodeLangData(Parse(kSource));
    std::ofstream(dir / LanguageFileName("TestLang", "GER"), std::ios::binary) << "garbage";
    ::setenv("VOREL_LANG_DIR", dir.c_str(), 1);

    const std::string path = FindLanguageFile("TestLang", "USA");
    EXPECT_EQ(path, (dir / "TestLang.USA.vlang").string());
    auto lib = LanguageLibrary::load(path);
    ASSERT_TRUE(lib);
    EXPECT_TRUE(lib->hasLanguage(0x0409));
    std::string error;
    EXPECT_EQ(LanguageLibrary::load(FindLanguageFile("TestLang", "GER"), &error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(FindLanguageFile("TestLang", "SPN"), "");

    ::unsetenv("VOREL_LANG_DIR");
    std::filesystem::remove_all(dir);
}
