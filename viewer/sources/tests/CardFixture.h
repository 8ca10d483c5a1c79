#pragma once
// A card in a folder: a throw-away system root whose drive map shows the folder
// as removable drive E:, with helpers to lay out the camera's tree.
#include <filesystem>
#include <string>

#include "platform/testing/TempRoot.h"

class CardFixture {
public:
    explicit CardFixture(bool hiddenMarker = true);
    const std::filesystem::path& card() const { return card_; }
    const std::filesystem::path& top() const { return root_.path(); }
    // Makes a file below the card (folders as needed) with `bytes` bytes.
    std::filesystem::path file(const std::string& relative, size_t bytes = 16) const;
    void folder(const std::string& relative) const;
    void setAttributes(const std::string& relative, uint32_t bits) const;

private:
    plat::testing::TempRoot root_;
    std::filesystem::path card_;
};
