#include "viewer/transfer/CaptionRecord.h"

#include <gtest/gtest.h>

namespace {

void dataset(std::vector<uint8_t>& b, uint8_t rec, uint8_t num, const std::string& text) {
    b.insert(b.end(), {0x1C, rec, num, static_cast<uint8_t>(text.size() >> 8), static_cast<uint8_t>(text.size())});
    b.insert(b.end(), text.begin(), text.end());
}

TEST(CaptionRecord, ParsesCaptionAndKeywords) {
    std::vector<uint8_t> b;
    dataset(b, 2, 25, "sea");
    dataset(b, 2, 120, "A day out");
    dataset(b, 2, 25, "sun");
    dataset(b, 2, 25, "");
    dataset(b, 2, 25, "sand");
    CCaptionRecord r;
    ASSERT_TRUE(r.SetData(b.data(), b.size()));
    ASSERT_TRUE(r.Parse());
    EXPECT_EQ("A day out", r.Caption());
    EXPECT_EQ((std::vector<std::string>{"sea", "sun", "sand"}), r.Keywords());
    EXPECT_EQ(3, r.GetKeywordCount());
    char buf[8];
    EXPECT_EQ(3, r.GetKeyword(buf, sizeof buf, 1));
    EXPECT_EQ("sun", std::string(buf, 3));
    EXPECT_EQ(4, r.GetKeywordLength(2));
}

TEST(CaptionRecord, EmptyAndCaptionlessBlocks) {
    CCaptionRecord fresh;
    EXPECT_FALSE(fresh.Parse());
    EXPECT_EQ(-1, fresh.GetKeywordCount());
    EXPECT_EQ(-1, fresh.GetKeywordLength(0));

    std::vector<uint8_t> b;
    dataset(b, 2, 25, "k");
    CCaptionRecord r;
    r.SetData(b.data(), b.size());
    ASSERT_TRUE(r.Parse());
    EXPECT_TRUE(r.Caption().empty());
    EXPECT_EQ(1, r.GetKeywordCount());
}

TEST(CaptionRecord, SetCaptionReplacesOrAddsAndCutsToTheIimLimit) {
    std::vector<uint8_t> b;
    dataset(b, 2, 25, "k");
    CCaptionRecord r;
    r.SetData(b.data(), b.size());
    ASSERT_TRUE(r.SetCaption("first", 5));
    ASSERT_TRUE(r.SetCaption("second", 6));
    CCaptionRecord back;
    back.SetData(r.Bytes().data(), r.Bytes().size());
    ASSERT_TRUE(back.Parse());
    EXPECT_EQ("second", back.Caption());

    // A long caption (shooting text with a long comment) is cut, never wrapped.
    std::string longText(40000, 'x');
    longText.replace(1999, 2, "\xC3\xA9");  // a two-byte character across the limit
    ASSERT_TRUE(r.SetCaption(longText.data(), longText.size()));
    EXPECT_EQ(1999u, r.Caption().size());
    CCaptionRecord again;
    again.SetData(r.Bytes().data(), r.Bytes().size());
    ASSERT_TRUE(again.Parse());
    EXPECT_EQ(1999u, again.Caption().size());
}

TEST(CaptionRecord, NothingIsWrittenWhereNoReaderFindsIt) {
    // A dataset header that claims more bytes than the block holds.
    const std::vector<uint8_t> damaged = {0x1C, 2, 25, 0x00, 0x10, 's', 'h'};
    CCaptionRecord r;
    ASSERT_TRUE(r.SetData(damaged.data(), damaged.size()));
    r.Parse();
    EXPECT_FALSE(r.SetCaption("caption", 7));
    EXPECT_FALSE(r.AddKeyword("sea", 3));
    EXPECT_EQ(damaged, r.Bytes());
    EXPECT_TRUE(r.Caption().empty());
}

TEST(CaptionRecord, AddKeywordAppendsADataset) {
    CCaptionRecord r;
    EXPECT_FALSE(r.AddKeyword(nullptr, 0));
    ASSERT_TRUE(r.AddKeyword("sea", 3));
    ASSERT_TRUE(r.AddKeyword(std::string(100, 'k').c_str(), 100));
    EXPECT_EQ(2, r.GetKeywordCount());
    EXPECT_TRUE(r.HasKeyword("sea"));
    CCaptionRecord back;
    back.SetData(r.Bytes().data(), r.Bytes().size());
    ASSERT_TRUE(back.Parse());
    EXPECT_EQ((std::vector<std::string>{"sea", std::string(64, 'k')}), back.Keywords());
}

}  // namespace
