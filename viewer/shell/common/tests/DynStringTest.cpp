#include "viewer/shell/common/DynString.h"

#include <gtest/gtest.h>

#include <string>

TEST(DynString, FreshStringHoldsFourByteBlock)
{
    CDynString s;
    EXPECT_EQ(s.Capacity(), 4u);
    EXPECT_TRUE(s.IsEmpty());
    s = "";
    EXPECT_EQ(s.Capacity(), 4u);
    EXPECT_STREQ(s.GetString(), "");
    EXPECT_EQ(s.NoPosition(), -1);
}

TEST(DynString, AppendEmptyAllocatesNothing)
{
    CDynString s("abc");
    const char* before = s.Data();
    const uint32_t capacity = s.Capacity();
    s += "";
    s.Append(nullptr);
    EXPECT_EQ(s.Data(), before);
    EXPECT_EQ(s.Capacity(), capacity);
    EXPECT_STREQ(s.GetString(), "abc");
}

TEST(DynString, StorageOnlyGrows)
{
    CDynString s("a longer text of some length");
    const char* block = s.Data();
    const uint32_t capacity = s.Capacity();
    s = "short";
    EXPECT_EQ(s.Data(), block);
    EXPECT_EQ(s.Capacity(), capacity);
    EXPECT_EQ(s.Length(), 5u);
}

TEST(DynString, RightTakesAtMostLength)
{
    CDynString s("abc");
    EXPECT_STREQ(s.Right(10).GetString(), "abc");
    EXPECT_STREQ(s.Right(2).GetString(), "bc");
    EXPECT_STREQ(s.Right(0).GetString(), "");
}

TEST(DynString, AssignFromOwnSuffixAndPrefixOverlap)
{
    CDynString s("hello world");
    s = s.Data() + 6;
    EXPECT_STREQ(s.GetString(), "world");
    s = s.Data();
    EXPECT_STREQ(s.GetString(), "world");
    CDynString& self = s;
    s = self;
    EXPECT_STREQ(s.GetString(), "world");
}

TEST(DynString, AppendOwnTextWhileGrowing)
{
    CDynString s("abc");
    s += s.Data();  // the block is reallocated while the source lies in it
    EXPECT_STREQ(s.GetString(), "abcabc");
    s += s.Data() + 4;
    EXPECT_STREQ(s.GetString(), "abcabcbc");
}

TEST(DynString, CopyIsIndependent)
{
    CDynString a("camera");
    CDynString b(a);
    a += " module";
    EXPECT_STREQ(b.GetString(), "camera");
    EXPECT_STREQ(a.GetString(), "camera module");
    CDynStringBase* base = new CDynString("x");
    EXPECT_EQ(base->Length(), 1u);
    delete base;
}

TEST(DynString, LengthOfBlockWithoutZeroIsZero)
{
    CDynString s("abcd");
    char* d = s.Data();
    for (uint32_t i = 0; i < s.Capacity(); ++i)
        d[i] = 'x';
    EXPECT_EQ(s.Length(), 0u);
}
