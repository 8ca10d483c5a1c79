#include "viewer/transfer/CaptionRecord.h"

#include <algorithm>
#include <cstring>

std::string CutAtCharacter(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    size_t n = maxBytes;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return text.substr(0, n);
}

bool CCaptionRecord::CopyFoundData(uint8_t* buffer, size_t length) const {
    const uint8_t* data = Cursor();
    if (!buffer || !data || length > foundLength_) return false;
    std::memcpy(buffer, data, length);
    return true;
}

bool CCaptionRecord::Parse() {
    if (GetSize() <= 0) return false;
    int32_t size = Find(kCaption);
    if (size > 0) {
        foundLength_ = static_cast<size_t>(size);
        std::string text(foundLength_, '\0');
        if (CopyFoundData(reinterpret_cast<uint8_t*>(text.data()), text.size())) caption_ = text;
    }
    size = Find(kKeywords);
    while (size >= 0) {
        if (size > 0) {
            foundLength_ = static_cast<size_t>(size);
            std::string text(foundLength_, '\0');
            if (CopyFoundData(reinterpret_cast<uint8_t*>(text.data()), text.size())) {
                keywords_.push_back(text);
                ++keywordCount_;
            }
        }
        size = FindNext(kKeywords);
    }
    return true;
}

int32_t CCaptionRecord::CountDatasets(uint16_t tag) {
    int32_t n = 0;
    for (int32_t size = Find(tag); size >= 0; size = FindNext(tag)) ++n;
    return n;
}

bool CCaptionRecord::Restore(const std::vector<uint8_t>& before) {
    SetData(before.data(), before.size());
    return false;
}

bool CCaptionRecord::SetCaption(const char* text, size_t length) {
    if (!text) return false;
    const std::string cut = CutAtCharacter(std::string(text, length), kMaxCaption);
    const auto* bytes = reinterpret_cast<const uint8_t*>(cut.data());
    const std::vector<uint8_t> before = Bytes();
    if (!Replace(kCaption, bytes, cut.size()) && !Add(kCaption, bytes, cut.size())) return false;
    // A dataset no reader would find (behind damaged bytes) is not written.
    if (Find(kCaption) != static_cast<int32_t>(cut.size())) return Restore(before);
    caption_ = cut;
    return true;
}

bool CCaptionRecord::AddKeyword(const char* text, size_t length) {
    if (!text) return false;
    const std::string cut = CutAtCharacter(std::string(text, length), kMaxKeyword);
    const std::vector<uint8_t> before = Bytes();
    const int32_t had = CountDatasets(kKeywords);
    if (!Add(kKeywords, reinterpret_cast<const uint8_t*>(cut.data()), cut.size())) return false;
    if (CountDatasets(kKeywords) != had + 1) return Restore(before);
    keywords_.push_back(cut);
    ++keywordCount_;
    return true;
}

int32_t CCaptionRecord::GetKeyword(char* buffer, size_t capacity, int32_t index) const {
    if (!buffer || index < 0 || static_cast<size_t>(index) >= keywords_.size()) return 0;
    const std::string& k = keywords_[static_cast<size_t>(index)];
    const size_t n = std::min(capacity, k.size());
    std::memcpy(buffer, k.data(), n);
    return static_cast<int32_t>(n);
}

int32_t CCaptionRecord::GetKeywordLength(int32_t index) const {
    if (keywords_.empty() || keywords_.front().empty()) return -1;
    if (index < 0 || static_cast<size_t>(index) >= keywords_.size()) return -1;
    const std::string& k = keywords_[static_cast<size_t>(index)];
    return k.empty() ? -1 : static_cast<int32_t>(k.size());
}

int32_t CCaptionRecord::GetKeywordCount() const { return keywordCount_ == 0 ? -1 : keywordCount_; }

bool CCaptionRecord::HasKeyword(const std::string& text) const {
    return std::find(keywords_.begin(), keywords_.end(), text) != keywords_.end();
}
