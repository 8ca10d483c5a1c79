#pragma once
// One entry of the language-text cache.
#include <string>

class CRsrc {
public:
    CRsrc() = default;
    explicit CRsrc(std::string text) : text_(std::move(text)) {}
    std::string GetText() const { return text_; }

private:
    std::string text_;
};
