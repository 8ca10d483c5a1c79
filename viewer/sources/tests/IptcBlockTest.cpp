#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "viewer/sources/IptcBlock.h"

namespace {

std::vector<uint8_t> dataset(uint8_t record, uint8_t number, const std::string& text) {
    std::vector<uint8_t> d{0x1C, record, number, static_cast<uint8_t>(text.size() >> 8),
                           static_cast<uint8_t>(text.size())};
    d.insert(d.end(), text.begin(), text.end());
    return d;
}

std::vector<uint8_t> join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::string at(const CIptcBlock& b, int32_t length) {
    return std::string(reinterpret_cast<const char*>(b.Cursor()), static_cast<size_t>(length));
}

TEST(IptcBlock, RepeatedKeywordsAndStrayBytes) {
    const auto raw = join({dataset(2, 25, "sea"), {0x00, 0x33}, dataset(2, 120, "cap"), dataset(2, 25, "sky")});
    CIptcBlock b;
    ASSERT_TRUE(b.SetData(raw.data(), raw.size()));
    uint8_t buf[8] = {};
    ASSERT_EQ(b.Find(CIptcBlock::kKeywords, buf, sizeof buf), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "sea");
    ASSERT_EQ(b.FindNext(CIptcBlock::kKeywords), 3);
    EXPECT_EQ(at(b, 3), "sky");
    EXPECT_EQ(b.FindNext(CIptcBlock::kKeywords), -1);
    EXPECT_EQ(b.Cursor(), nullptr);
    EXPECT_EQ(b.Find(CIptcBlock::kCaption), 3);
}

TEST(IptcBlock, AddAndReplace) {
    const auto raw = dataset(2, 120, "old");
    CIptcBlock b;
    ASSERT_TRUE(b.SetData(raw.data(), raw.size()));
    const std::string caption = "a longer caption";
    EXPECT_FALSE(b.Add(CIptcBlock::kCaption, reinterpret_cast<const uint8_t*>("x"), 1));
    ASSERT_TRUE(b.Replace(CIptcBlock::kCaption, reinterpret_cast<const uint8_t*>(caption.data()), caption.size()));
    EXPECT_EQ(b.GetSize(), static_cast<int32_t>(raw.size() - 3 + caption.size()));
    ASSERT_EQ(b.Find(CIptcBlock::kCaption), static_cast<int32_t>(caption.size()));
    EXPECT_EQ(at(b, static_cast<int32_t>(caption.size())), caption);
    EXPECT_TRUE(b.Add(CIptcBlock::kKeywords, reinterpret_cast<const uint8_t*>("k"), 1));
    EXPECT_TRUE(b.Add(CIptcBlock::kKeywords, reinterpret_cast<const uint8_t*>("k"), 1));
    EXPECT_EQ(b.Find(CIptcBlock::kKeywords), 1);
    EXPECT_EQ(b.FindNext(CIptcBlock::kKeywords), 1);
}

TEST(IptcBlock, EmptyObject) {
    CIptcBlock b;
    EXPECT_EQ(b.Find(CIptcBlock::kCaption), -1);
    EXPECT_EQ(b.GetSize(), -1);
    EXPECT_FALSE(b.Replace(CIptcBlock::kCaption, reinterpret_cast<const uint8_t*>("x"), 1));
    ASSERT_TRUE(b.Add(CIptcBlock::kCaption, reinterpret_cast<const uint8_t*>("hi"), 2));
    EXPECT_EQ(b.Bytes(), dataset(2, 120, "hi"));
    uint8_t small[3];
    EXPECT_EQ(b.GetData(small, sizeof small), -1);
    EXPECT_EQ(b.GetData(nullptr, 100), -1);
}

TEST(IptcBlock, LongDataUsesAndReplacesExtendedLengths) {
    // a caption over 32,767 bytes is written with an extended length, and
    // replacing it rebuilds the header instead of misplacing the rest
    const std::string big(40000, 'c');
    CIptcBlock b;
    ASSERT_TRUE(b.Add(CIptcBlock::kCaption, reinterpret_cast<const uint8_t*>(big.data()), big.size()));
    ASSERT_TRUE(b.Add(CIptcBlock::kKeywords, reinterpret_cast<const uint8_t*>("tail"), 4));
    EXPECT_EQ(b.GetSize(), static_cast<int32_t>(9 + big.size() + 5 + 4));
    EXPECT_EQ(b.Find(CIptcBlock::kCaption), 40000);
    ASSERT_TRUE(b.Replace(CIptcBlock::kCaption, reinterpret_cast<const uint8_t*>("short"), 5));
    EXPECT_EQ(b.GetSize(), 5 + 5 + 5 + 4);
    ASSERT_EQ(b.Find(CIptcBlock::kKeywords), 4);
    EXPECT_EQ(at(b, 4), "tail");
}

TEST(IptcBlock, MalformedLengthsEndTheScan) {
    struct Case {
        const char* name;
        std::vector<uint8_t> raw;
    } cases[] = {
        {"length past the end", {0x1C, 2, 120, 0x00, 0x50, 'a', 'b'}},
        {"extended with 5 length bytes", {0x1C, 2, 120, 0x80, 0x05, 0, 0, 0, 0, 1, 'a'}},
        {"extended with 0 length bytes", {0x1C, 2, 120, 0x80, 0x00, 'a'}},
        {"extended length cut", {0x1C, 2, 120, 0x80, 0x04, 0, 0}},
        {"header cut", {0x1C, 2, 120, 0x00}},
        {"huge extended length", {0x1C, 2, 120, 0x80, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}},
    };
    for (const Case& c : cases) {
        CIptcBlock b;
        ASSERT_TRUE(b.SetData(c.raw.data(), c.raw.size()));
        EXPECT_EQ(b.Find(CIptcBlock::kCaption), -1) << c.name;
        EXPECT_FALSE(b.Replace(CIptcBlock::kCaption, reinterpret_cast<const uint8_t*>("x"), 1)) << c.name;
        // Nothing is added behind the damage, where no reader would find it.
        const auto keyword = reinterpret_cast<const uint8_t*>("k");
        EXPECT_FALSE(b.Add(CIptcBlock::kKeywords, keyword, 1)) << c.name;
        EXPECT_FALSE(b.Add(CIptcBlock::kCaption, keyword, 1)) << c.name;
        EXPECT_EQ(b.GetSize(), static_cast<int32_t>(c.raw.size())) << c.name;
    }
}

TEST(IptcBlock, SwapBytes) {
    uint8_t v[] = {0x12, 0x34};
    CIptcBlock::SwapBytes(v, 2);
    EXPECT_EQ(v[0], 0x34);
    EXPECT_EQ(v[1], 0x12);
}

}  // namespace
