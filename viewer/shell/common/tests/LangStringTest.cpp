#include "viewer/shell/common/LangMenu.h"
#include "viewer/shell/common/LangString.h"
#include "viewer/shell/common/LanguageContext.h"

#include "platform/lang/LangSource.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

constexpr uint16_t kUsa = 0x0409;
constexpr uint16_t kJpn = 0x0411;

class LangStringTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string source = "language 0x0409\n"
                             "61601 \"Not enough space\"\n"
                             "62202 \"9\"\n"
                             "62012 \"Lumora x\"\n"
                             "62300 \"\"\n"
                             "62301 \"" + std::string(600, 'a') + "\"\n"
                             "menu 147\n item 1 \"&Open\"\nend\n"
                             "language 0x0411\n"
                             "61601 \"空き容量が足りません\"\n"
                             "62301 \"" + Repeat("あ", 200) + "\"\n";
        plat::lang::LanguageTables tables;
        std::string error;
        ASSERT_TRUE(plat::lang::ParseLangSource(source, "fixture", &tables, &error)) << error;
        tables_ = tables;
        Bind(kUsa);
    }
    void TearDown() override { TheLanguage().Unbind(); }

    void Bind(uint16_t lang)
    {
        TheLanguage().Bind(std::make_unique<plat::lang::LanguageLibrary>(tables_), lang);
    }
    static std::string Repeat(const std::string& s, int n)
    {
        std::string r;
        for (int i = 0; i < n; ++i)
            r += s;
        return r;
    }
    plat::lang::LanguageTables tables_;
};

}  // namespace

TEST_F(LangStringTest, TextsAreReadOnceAndCached)
{
    CLangString a, b;
    EXPECT_TRUE(a.LoadLangString(61601));
    EXPECT_TRUE(b.LoadLangString(61601));
    EXPECT_EQ(b.Text(), "Not enough space");
    EXPECT_EQ(TheLanguage().CachedCount(), 1u);
}

TEST_F(LangStringTest, MissingAndEmptyEntriesAreNotFoundAndNotCached)
{
    CLangString s(61601);
    EXPECT_FALSE(s.LoadLangString(62300));
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_FALSE(s.LoadLangString(9999));
    EXPECT_FALSE(s.LoadLangString(0x10000 + 61601));  // ids are 16 bits
    EXPECT_EQ(TheLanguage().CachedCount(), 1u);  // only 61601
    TheLanguage().Unbind();
    EXPECT_FALSE(s.LoadLangString(61601));
}

TEST_F(LangStringTest, LongTextsAreCutOnCharacterBoundary)
{
    EXPECT_EQ(CLangString(62301).Text().size(), 511u);
    Bind(kJpn);
    const std::string jp = CLangString(62301).Text();
    EXPECT_EQ(jp.size(), 510u);  // 170 three-byte characters; the 171st would pass 511
    EXPECT_EQ(jp, Repeat("あ", 170));
}

TEST_F(LangStringTest, LanguageIdSelectsTheTable)
{
    Bind(kJpn);
    EXPECT_EQ(CLangString(61601).Text(), "空き容量が足りません");
    EXPECT_FALSE(CLangString().LoadLangString(62012));
    EXPECT_EQ(TheLanguage().LanguageIndex(), 0);
}

TEST_F(LangStringTest, NumbersAndMenus)
{
    EXPECT_EQ(LangInt(62202), 9);
    EXPECT_EQ(LangInt(61601), 0);
    EXPECT_EQ(LangInt(4242), 0);
    CLangMenu menu;
    ASSERT_TRUE(menu.LoadMenu(147));
    EXPECT_EQ(menu.GetMenu()->at(0).text, "&Open");
    EXPECT_FALSE(menu.LoadMenu(129));
}

TEST_F(LangStringTest, WorkersReadTextsConcurrently)
{
    std::vector<std::thread> workers;
    for (int t = 0; t < 8; ++t)
        workers.emplace_back([] {
            for (int i = 0; i < 500; ++i) {
                CLangString s(61601 + static_cast<uint32_t>(i % 3) * 411);  // 61601, 62012, 62423
                (void)s;
                EXPECT_EQ(CLangString(62202).Text(), "9");
            }
        });
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(TheLanguage().CachedCount(), 3u);
}

TEST(LanguageTable, RowsAndLookup)
{
    EXPECT_EQ(FindLanguageRow("usa"), 1);
    EXPECT_EQ(FindLanguageRow("JPN"), 0);
    EXPECT_EQ(FindLanguageRow("Spn"), 4);
    EXPECT_EQ(FindLanguageRow("ITA"), -1);
    EXPECT_EQ(FindLanguageRow(""), -1);
    EXPECT_EQ(kLanguageTable[0].LangId(), 0x0411);
    EXPECT_EQ(kLanguageTable[1].LangId(), 0x0409);
    EXPECT_EQ(kLanguageTable[2].LangId(), 0x040C);
    EXPECT_EQ(kLanguageTable[3].LangId(), 0x0407);
    EXPECT_EQ(kLanguageTable[4].LangId(), 0x040A);
}

TEST(LanguageContextFiles, BindsTheInstalledLibrary)
{
    LanguageContext context;
    ASSERT_TRUE(context.Bind("LumoraLang", FindLanguageRow("GER")));
    EXPECT_EQ(context.LangId(), 0x0407);
    EXPECT_EQ(context.LoadText(62101).value_or(""), "Lumora 4 Übertragung");
    EXPECT_FALSE(context.Bind("NoSuchLang", 1));
    EXPECT_FALSE(context.Bind("LumoraLang", 7));
}
