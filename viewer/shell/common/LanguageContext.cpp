#include "viewer/shell/common/LanguageContext.h"

#include "viewer/shell/common/LangString.h"
#include "viewer/shell/common/Rsrc.h"

#include <strings.h>

int FindLanguageRow(const std::string& name)
{
    for (int i = 0; i < kLanguageCount; ++i)
        if (::strcasecmp(name.c_str(), kLanguageTable[i].name) == 0)
            return i;
    return -1;
}

LanguageContext::LanguageContext() = default;
LanguageContext::~LanguageContext() = default;

bool LanguageContext::Bind(const std::string& program, int languageIndex)
{
    if (languageIndex < 0 || languageIndex >= kLanguageCount)
        return false;
    const LanguageRow& row = kLanguageTable[languageIndex];
    const std::string path = plat::lang::FindLanguageFile(program, row.name);
    auto library = path.empty() ? nullptr : plat::lang::LanguageLibrary::load(path);
    if (!library)
        return false;
    Bind(std::move(library), row.LangId());
    std::lock_guard lock(mutex_);
    languageIndex_ = languageIndex;
    return true;
}

void LanguageContext::Bind(std::unique_ptr<plat::lang::LanguageLibrary> library, uint16_t langId)
{
    std::lock_guard lock(mutex_);
    library_ = std::move(library);
    langId_ = langId;
    languageIndex_ = -1;
    for (int i = 0; i < kLanguageCount; ++i)
        if (kLanguageTable[i].LangId() == langId)
            languageIndex_ = i;
    cache_.clear();
}

void LanguageContext::Unbind()
{
    std::lock_guard lock(mutex_);
    library_.reset();
    cache_.clear();
}

bool LanguageContext::IsBound() const
{
    std::lock_guard lock(mutex_);
    return library_ != nullptr;
}

uint16_t LanguageContext::LangId() const
{
    std::lock_guard lock(mutex_);
    return langId_;
}

int LanguageContext::LanguageIndex() const
{
    std::lock_guard lock(mutex_);
    return languageIndex_;
}

std::optional<std::string> LanguageContext::LoadText(uint32_t id)
{
    std::lock_guard lock(mutex_);
    if (!library_ || id > 0xFFFF)
        return std::nullopt;
    const auto key = static_cast<uint16_t>(id);
    if (const auto hit = cache_.find(key); hit != cache_.end())
        return hit->second->GetText();
    std::optional<std::string> text = library_->text(langId_, id);
    if (!text)
        return std::nullopt;
    std::string kept = CutUtf8(*text, kMaxLangTextBytes);
    cache_.emplace(key, std::make_unique<CRsrc>(kept));
    return kept;
}

std::optional<plat::lang::Menu> LanguageContext::LoadMenu(uint32_t id) const
{
    std::lock_guard lock(mutex_);
    if (!library_)
        return std::nullopt;
    const plat::lang::Menu* menu = library_->menu(langId_, id);
    if (!menu)
        return std::nullopt;
    return *menu;
}

std::size_t LanguageContext::CachedCount() const
{
    std::lock_guard lock(mutex_);
    return cache_.size();
}

LanguageContext& TheLanguage()
{
    static LanguageContext context;
    return context;
}
