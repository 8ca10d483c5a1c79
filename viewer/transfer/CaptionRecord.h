#pragma once
// CCaptionRecord: the caption (2:120) and keywords (2:25) of a picture's IPTC-IIM
// block, kept as strings beside the block so the transfer can compare them with
// the settings before it writes the block back. Texts are cut to the lengths
// IIM allows (2,000 bytes for a caption, 64 for a keyword) at a character boundary.
#include "viewer/sources/IptcBlock.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CCaptionRecord : public CIptcBlock {
public:
    static constexpr size_t kMaxCaption = 2000;
    static constexpr size_t kMaxKeyword = 64;

    CCaptionRecord() = default;
    ~CCaptionRecord() override = default;

    // Reads the caption and every keyword; false when the block holds no data.
    bool Parse();
    // Replaces (or adds) dataset 2:120; false when the block refuses it.
    bool SetCaption(const char* text, size_t length);
    // Appends a keyword and its 2:25 dataset; false for a null text or a refusal.
    bool AddKeyword(const char* text, size_t length);

    // Copies keyword `index` into the buffer (capacity bytes at most); its length,
    // 0 when there is no such keyword.
    int32_t GetKeyword(char* buffer, size_t capacity, int32_t index) const;
    // The keyword's length; -1 when there is no list, or the keyword is missing or empty.
    int32_t GetKeywordLength(int32_t index) const;
    // The count; -1 when it is 0.
    int32_t GetKeywordCount() const;
    // Copies `length` bytes of the dataset found last; false for a null buffer or
    // when the dataset is shorter.
    bool CopyFoundData(uint8_t* buffer, size_t length) const;

    const std::string& Caption() const { return caption_; }
    const std::vector<std::string>& Keywords() const { return keywords_; }
    bool HasKeyword(const std::string& text) const;

private:
    int32_t CountDatasets(uint16_t tag);
    bool Restore(const std::vector<uint8_t>& before);

    std::string caption_;
    std::vector<std::string> keywords_;
    int32_t keywordCount_ = 0;
    size_t foundLength_ = 0;
};

// text cut to at most maxBytes without splitting a UTF-8 character.
std::string CutAtCharacter(const std::string& text, size_t maxBytes);
