#pragma once
// The program's language library as the texts are read from it: the mapped data
// file, the language id chosen by the settings and the cache of texts already
// read. One per process (the application's); worker threads read texts too, so
// the cache is guarded.
#include "platform/lang/LanguageLibrary.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

class CRsrc;

// Row of the language table: the name the installation stores and its language id.
struct LanguageRow {
    const char* name;
    uint16_t primary;
    uint16_t sub;
    uint16_t LangId() const { return static_cast<uint16_t>(sub << 10 | primary); }
};

// The fixed language table; the row index is the language index.
inline constexpr LanguageRow kLanguageTable[] = {
    {"JPN", 0x11, 1}, {"USA", 0x09, 1}, {"FRN", 0x0C, 1}, {"GER", 0x07, 1}, {"SPN", 0x0A, 1},
};
inline constexpr int kLanguageCount = 5;
inline constexpr int kFallbackLanguageIndex = 1;  // USA: for messages before a language is known

// Row index of a language name (case-insensitive), or -1.
int FindLanguageRow(const std::string& name);

class LanguageContext {
public:
    LanguageContext();
    ~LanguageContext();

    // Maps <program>.<language>.vlang (see platform/lang); false when it cannot be loaded.
    bool Bind(const std::string& program, int languageIndex);
    // Takes a library that is already loaded (tests).
    void Bind(std::unique_ptr<plat::lang::LanguageLibrary> library, uint16_t langId);
    // Frees the library and every cached text.
    void Unbind();

    bool IsBound() const;
    uint16_t LangId() const;
    int LanguageIndex() const;

    // The text of id: cached after the first read. Nothing when there is no
    // library, or the entry is missing or empty (never cached).
    std::optional<std::string> LoadText(uint32_t id);
    // A copy of the menu of id, or nothing.
    std::optional<plat::lang::Menu> LoadMenu(uint32_t id) const;

    std::size_t CachedCount() const;

private:
    mutable std::mutex mutex_;
    std::unique_ptr<plat::lang::LanguageLibrary> library_;
    uint16_t langId_ = 0;
    int languageIndex_ = -1;
    std::unordered_map<uint16_t, std::unique_ptr<CRsrc>> cache_;
};

// The process's language context (the application's language library).
LanguageContext& TheLanguage();
