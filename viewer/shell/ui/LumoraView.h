#pragma once
#include <string>

// The view of the start-up template: nothing to draw.
class CLumoraView {
public:
    void SetText(const std::string& text) { text_ = text; }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};
