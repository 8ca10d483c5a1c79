// Every language file of a program holds the same ids, every id the programs
// read is there, and the device monitor finds the viewer's main window by the
// beginning of its title.
#include "platform/lang/LangSource.h"
#include "platform/lang/LanguageLibrary.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string_view>
#include <vector>

using namespace plat::lang;

namespace {

const char* const kLanguages[] = {"USA", "JPN", "FRN", "GER", "SPN"};
const LangId kLangIds[] = {0x0409, 0x0411, 0x040C, 0x0407, 0x040A};

struct Loaded {
    LangId id = 0;
    LanguageTable table;
};

Loaded ParseFile(const std::string& program, int lang)
{
    const std::string path = std::string(VOREL_LANG_SOURCES) + "/" + program + "/" + kLanguages[lang] + ".txt";
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    std::ostringstream text;
    text << in.rdbuf();
    LanguageTables tables;
    std::string error;
    EXPECT_TRUE(ParseLangSource(text.str(), path, &tables, &error)) << error;
    EXPECT_EQ(tables.size(), 1u) << path << ": one language per file";
    Loaded l;
    if (!tables.empty()) {
        l.id = tables.begin()->first;
        l.table = tables.begin()->second;
    }
    return l;
}

template <typename Map>
std::set<uint32_t> Keys(const Map& m)
{
    std::set<uint32_t> k;
    for (const auto& e : m)
        k.insert(e.first);
    return k;
}

void ExpectSameIds(const std::string& program)
{
    std::set<uint32_t> allStrings, allMenus;
    Loaded files[5];
    for (int i = 0; i < 5; ++i) {
        files[i] = ParseFile(program, i);
        EXPECT_EQ(files[i].id, kLangIds[i]) << program << " " << kLanguages[i];
        const auto s = Keys(files[i].table.strings);
        const auto m = Keys(files[i].table.menus);
        allStrings.insert(s.begin(), s.end());
        allMenus.insert(m.begin(), m.end());
    }
    for (int i = 0; i < 5; ++i) {
        for (uint32_t id : allStrings) {
            const auto it = files[i].table.strings.find(id);
            EXPECT_TRUE(it != files[i].table.strings.end() && !it->second.empty())
                << program << " " << kLanguages[i] << " lacks text " << id;
        }
        for (uint32_t id : allMenus)
            EXPECT_TRUE(files[i].table.menus.count(id)) << program << " " << kLanguages[i] << " lacks menu " << id;
    }
}

// The printf conversions of a text in order ("%s", "%d", "%%", ...): a
// translation that drops, adds or swaps one breaks the formatting call.
std::vector<std::string> Placeholders(const std::string& text)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%' || i + 1 >= text.size())
            continue;
        size_t j = i + 1;
        while (j < text.size() && (std::isdigit(static_cast<unsigned char>(text[j])) || text[j] == 'l'))
            ++j;
        if (j < text.size() && std::string_view("%sdux").find(text[j]) != std::string_view::npos) {
            out.push_back(text.substr(i, j - i + 1));
            i = j;
        }
    }
    return out;
}

// The command ids of a menu's first pop-up, separators as 0.
std::vector<uint32_t> PopupCommands(const LanguageTable& table, uint32_t menu)
{
    std::vector<uint32_t> commands;
    const auto it = table.menus.find(menu);
    if (it == table.menus.end() || it->second.size() != 1 || it->second.front().kind != MenuItem::Kind::Popup)
        return commands;
    for (const MenuItem& item : it->second.front().items)
        commands.push_back(item.kind == MenuItem::Kind::Separator ? 0 : item.command);
    return commands;
}

}  // namespace

TEST(LanguageFiles, PlaceholdersMatchEnglish)
{
    for (const char* program : {"LumoraLang", "WakelyLang"}) {
        const Loaded usa = ParseFile(program, 0);
        for (int i = 1; i < 5; ++i) {
            const Loaded other = ParseFile(program, i);
            for (const auto& [id, text] : usa.table.strings) {
                const auto it = other.table.strings.find(id);
                if (it != other.table.strings.end()) {
                    EXPECT_EQ(Placeholders(it->second), Placeholders(text))
                        << program << " " << kLanguages[i] << " " << id;
                }
            }
        }
    }
}

// The transfer panel's picture-size menu and the built-in viewer's context
// menu: each a single pop-up whose commands also have plain texts.
TEST(LanguageFiles, ViewerMenusHoldTheirCommands)
{
    const std::vector<uint32_t> sizes = {32824, 32825, 32826, 32827};
    const std::vector<uint32_t> viewer = {32832, 0, 32834, 32835, 0, 32836, 32837, 0, 32838};
    for (int i = 0; i < 5; ++i) {
        const Loaded file = ParseFile("LumoraLang", i);
        EXPECT_EQ(PopupCommands(file.table, 143), sizes) << kLanguages[i];
        EXPECT_EQ(PopupCommands(file.table, 147), viewer) << kLanguages[i];
        for (const auto& list : {sizes, viewer})
            for (uint32_t command : list) {
                EXPECT_TRUE(command == 0 || file.table.strings.count(command)) << kLanguages[i] << " " << command;
            }
    }
}

TEST(LanguageFiles, EveryFileHasEveryId)
{
    ExpectSameIds("LumoraLang");
    ExpectSameIds("WakelyLang");
}

TEST(LanguageFiles, MonitorFindsTheViewerByTitle)
{
    for (int i = 0; i < 5; ++i) {
        const Loaded viewer = ParseFile("LumoraLang", i);
        const Loaded monitor = ParseFile("WakelyLang", i);
        const std::string& title = viewer.table.strings.at(62012);
        const std::string& prefix = monitor.table.strings.at(62102);
        ASSERT_FALSE(prefix.empty());
        EXPECT_EQ(title.compare(0, prefix.size(), prefix), 0) << kLanguages[i] << ": \"" << title << "\"";
        // The viewer's own single-instance search must not match its hidden frame.
        EXPECT_NE(title.rfind(viewer.table.strings.at(62101), 0), 0u);
        EXPECT_NE(title.rfind(viewer.table.strings.at(62102), 0), 0u);
    }
}

TEST(LanguageFiles, ViewerShellTextsArePresent)
{
    const uint32_t ids[] = {100, 61601, 61602, 61603, 61604, 61606, 61612, 61614, 61616, 61622, 61662, 61663,
                            61667, 61668, 61669, 61685, 61687, 62012, 62101, 62102, 62201, 62202, 62421, 62422};
    const Loaded usa = ParseFile("LumoraLang", 0);
    for (uint32_t id : ids)
        EXPECT_TRUE(usa.table.strings.count(id)) << id;
    EXPECT_NE(usa.table.strings.at(61604).find("%s"), std::string::npos);
    EXPECT_GT(std::stoi(usa.table.strings.at(62202)), 0);
}

TEST(LanguageFiles, CompiledFilesLoad)
{
    for (const char* program : {"LumoraLang", "WakelyLang"}) {
        for (int i = 0; i < 5; ++i) {
            const std::string path = FindLanguageFile(program, kLanguages[i]);
            ASSERT_FALSE(path.empty()) << program << " " << kLanguages[i];
            std::string error;
            auto lib = LanguageLibrary::load(path, &error);
            ASSERT_TRUE(lib) << error;
            EXPECT_TRUE(lib->text(kLangIds[i], 62102).has_value());
        }
    }
}

namespace {

void CollectCommands(const std::vector<MenuItem>& items, std::vector<uint32_t>* out)
{
    for (const MenuItem& item : items) {
        if (item.kind == MenuItem::Kind::Command)
            out->push_back(item.command);
        else if (item.kind == MenuItem::Kind::Popup)
            CollectCommands(item.items, out);
    }
}

}  // namespace

// The browser's menu bar and pop-up menus are there in every language, and
// each command has the text the status bar shows while it is marked.
TEST(LanguageFiles, BrowserMenusAndTheirHelpTexts)
{
    for (int i = 0; i < 5; ++i) {
        const Loaded file = ParseFile("LumoraLang", i);
        for (uint32_t menu : {129u, 136u, 137u, 139u, 140u, 141u, 143u}) {
            const auto it = file.table.menus.find(menu);
            ASSERT_TRUE(it != file.table.menus.end()) << kLanguages[i] << " menu " << menu;
            std::vector<uint32_t> commands;
            CollectCommands(it->second, &commands);
            EXPECT_FALSE(commands.empty()) << kLanguages[i] << " menu " << menu;
            for (uint32_t command : commands) {
                const auto text = file.table.strings.find(command);
                EXPECT_TRUE(text != file.table.strings.end() && !text->second.empty())
                    << kLanguages[i] << " menu " << menu << " command " << command;
            }
        }
        EXPECT_EQ(PopupCommands(file.table, 141), (std::vector<uint32_t>{32814, 32815, 32816, 32817, 32818}))
            << kLanguages[i];
    }
}
