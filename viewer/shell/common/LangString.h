#pragma once
// A language text by id, read from the process's language library (cached).
#include <cstdint>
#include <string>

class CLangString {
public:
    CLangString() = default;
    explicit CLangString(uint32_t id) { LoadLangString(id); }
    virtual ~CLangString() = default;

    // The text of id (empty on failure). Texts are cut to 511 bytes, never inside
    // a character.
    bool LoadLangString(uint32_t id);

    const std::string& Text() const { return text_; }
    const char* c_str() const { return text_.c_str(); }
    bool IsEmpty() const { return text_.empty(); }

private:
    std::string text_;
};

// The decimal number in language text id (dialog positions, font sizes); 0 when
// the text is missing or not a number.
int LangInt(uint32_t id);

// The longest text the string loader keeps, in bytes.
inline constexpr std::size_t kMaxLangTextBytes = 511;

// text cut to at most maxBytes bytes without splitting a UTF-8 character.
std::string CutUtf8(const std::string& text, std::size_t maxBytes);
