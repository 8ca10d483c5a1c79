#pragma once
// A language library mapped as data: the texts and menus of one program
// (LumoraLang, WakelyLang) looked up by id and language id. An empty text is
// "not found", as in a string table.
#include "platform/lang/LangTables.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plat::lang {

class LanguageLibrary {
public:
    // Loads a compiled language file; nullptr (and a reason) when it is missing or malformed.
    static std::unique_ptr<LanguageLibrary> load(const std::string& path, std::string* error = nullptr);

    explicit LanguageLibrary(LanguageTables tables) : tables_(std::move(tables)) {}

    // The text of id in the language, or nothing when missing or empty.
    std::optional<std::string> text(LangId lang, uint32_t id) const;
    // The menu of id in the language, or nullptr.
    const Menu* menu(LangId lang, uint32_t id) const;
    bool hasLanguage(LangId lang) const { return tables_.count(lang) != 0; }

private:
    LanguageTables tables_;
};

// The file name of a program's library for one language: "<program>.<language>.vlang"
// (e.g. "LumoraLang.USA.vlang").
std::string LanguageFileName(const std::string& program, const std::string& language);

// Where the file is: the folder of the running program first (the installer puts
// the libraries beside the programs), then $VOREL_LANG_DIR, then the build's
// language folder. Empty when none has it.
std::string FindLanguageFile(const std::string& program, const std::string& language);

// The folders searched by FindLanguageFile, in order.
std::vector<std::string> LanguageSearchFolders();

}  // namespace plat::lang
