#include "platform/lang/LanguageLibrary.h"

#include "platform/lang/LangDataFile.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef VOREL_BUILD_LANG_DIR
#define VOREL_BUILD_LANG_DIR ""
#endif

namespace plat::lang {

std::unique_ptr<LanguageLibrary> LanguageLibrary::load(const std::string& path, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open " + path;
        return nullptr;
    }
    std::ostringstream data;
    data << in.rdbuf();
    LanguageTables tables;
    std::string why;
    if (!DecodeLangData(data.str(), &tables, &why)) {
        if (error)
            *error = path + ": " + why;
        return nullptr;
    }
    return std::make_unique<LanguageLibrary>(std::move(tables));
}

std::optional<std::string> LanguageLibrary::text(LangId lang, uint32_t id) const
{
    const auto table = tables_.find(lang);
    if (table == tables_.end())
        return std::nullopt;
    const auto it = table->second.strings.find(id);
    if (it == table->second.strings.end() || it->second.empty())
        return std::nullopt;
    return it->second;
}

const Menu* LanguageLibrary::menu(LangId lang, uint32_t id) const
{
    const auto table = tables_.find(lang);
    if (table == tables_.end())
        return nullptr;
    const auto it = table->second.menus.find(id);
    return it == table->second.menus.end() ? nullptr : &it->second;
}

std::string LanguageFileName(const std::string& program, const std::string& language)
{
    return program + "." + language + ".vlang";
}

std::vector<std::string> LanguageSearchFolders()
{
    std::vector<std::string> folders;
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec)
        folders.push_back(exe.parent_path().string());
    if (const char* env = std::getenv("VOREL_LANG_DIR"); env && *env)
        folders.emplace_back(env);
    if (*VOREL_BUILD_LANG_DIR)
        folders.emplace_back(VOREL_BUILD_LANG_DIR);
    return folders;
}

std::string FindLanguageFile(const std::string& program, const std::string& language)
{
    const std::string name = LanguageFileName(program, language);
    for (const std::string& folder : LanguageSearchFolders()) {
        const std::filesystem::path p = std::filesystem::path(folder) / name;
        std::error_code ec;
        if (std::filesystem::is_regular_file(p, ec))
            return p.string();
    }
    return {};
}

}  // namespace plat::lang
