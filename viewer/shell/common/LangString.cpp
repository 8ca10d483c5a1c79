#include "viewer/shell/common/LangString.h"

#include "viewer/shell/common/LanguageContext.h"

#include <cstdlib>

bool CLangString::LoadLangString(uint32_t id)
{
    text_.clear();
    std::optional<std::string> text = TheLanguage().LoadText(id);
    if (!text)
        return false;
    text_ = std::move(*text);
    return true;
}

int LangInt(uint32_t id)
{
    CLangString text;
    text.LoadLangString(id);
    return std::atoi(text.c_str());
}

std::string CutUtf8(const std::string& text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t end = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the start of the cut character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}
