#pragma once
// The contents of a language file: string tables and menus per language id.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace plat::lang {

// Language id as the programs compute it: sub-language << 10 | primary language.
using LangId = uint16_t;

enum MenuItemFlag : uint8_t {
    kMenuGrayed = 0x01,
    kMenuChecked = 0x02,
};

struct MenuItem {
    enum class Kind : uint8_t { Command = 1, Popup = 2, Separator = 3 };
    Kind kind = Kind::Command;
    uint8_t flags = 0;
    uint32_t command = 0;        // Command items
    std::string text;            // UTF-8, '&' marks the mnemonic, '\t' the accelerator text
    std::vector<MenuItem> items; // Popup items
};

using Menu = std::vector<MenuItem>;

struct LanguageTable {
    std::map<uint32_t, std::string> strings;
    std::map<uint32_t, Menu> menus;
};

// Every language a file holds, by language id.
using LanguageTables = std::map<LangId, LanguageTable>;

}  // namespace plat::lang
