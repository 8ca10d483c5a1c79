// The key container: sealed values open only under the same user's key, and every
// altered, cut or foreign value fails without reading past its bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/crypt/KeyContainer.h"
#include "platform/sysroot/SystemRoot.h"
#include "platform/testing/TempRoot.h"

namespace fs = std::filesystem;
using plat::KeyContainer;

namespace {

class KeyContainerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(container_.ensure(&error_)) << error_; }

    std::vector<uint8_t> seal(const std::string& text)
    {
        std::vector<uint8_t> v;
        EXPECT_TRUE(container_.encrypt(text, &v));
        return v;
    }

    bool opens(const std::vector<uint8_t>& v, std::string* text = nullptr)
    {
        std::string t;
        const bool ok = container_.decrypt(v, &t);
        if (text) *text = t;
        return ok;
    }

    plat::testing::TempRoot root_;
    KeyContainer container_ = KeyContainer::forCurrentUser();
    std::string error_;
};

TEST_F(KeyContainerTest, KeyIsPrivateAndLastsAcrossInstances)
{
    struct stat st {};
    ASSERT_EQ(stat(container_.keyFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 32);
    EXPECT_EQ(container_.keyFile().parent_path(), plat::SystemRoot::current().keysDir());
    ASSERT_EQ(stat(container_.keyFile().parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    const std::vector<uint8_t> v = seal("hunter2");
    KeyContainer later = KeyContainer::forCurrentUser();
    ASSERT_TRUE(later.ensure());
    std::string text;
    EXPECT_TRUE(later.decrypt(v, &text));
    EXPECT_EQ(text, "hunter2");
}

TEST_F(KeyContainerTest, RoundTripsWithTheGivenLayout)
{
    const std::string texts[] = {"a", "secret", "p\xc3\xa4ssw\xc3\xb6rd",
                                 std::string(KeyContainer::kMaxTextSize, 'x')};
    for (const std::string& text : texts) {
        const std::vector<uint8_t> v = seal(text);
        ASSERT_EQ(v.size(), 4 + KeyContainer::kBlobSize + text.size());
        EXPECT_LE(v.size(), KeyContainer::kMaxValueSize);
        EXPECT_EQ(v[0], KeyContainer::kBlobSize);  // L, little-endian
        EXPECT_EQ(v[1] | v[2] | v[3], 0);
        std::string back;
        EXPECT_TRUE(opens(v, &back));
        EXPECT_EQ(back, text);
    }
    EXPECT_NE(seal("same"), seal("same"));  // a fresh key and nonce every time
}

TEST_F(KeyContainerTest, RefusesEmptyAndOverlongTexts)
{
    std::vector<uint8_t> v;
    EXPECT_FALSE(container_.encrypt("", &v));
    EXPECT_FALSE(container_.encrypt(std::string(KeyContainer::kMaxTextSize + 1, 'x'), &v));
    EXPECT_TRUE(v.empty());
}

TEST_F(KeyContainerTest, AlteredValuesFail)
{
    const std::vector<uint8_t> good = seal("correct horse");
    for (size_t i = 0; i < good.size(); ++i) {
        for (uint8_t flip : {uint8_t(0x01), uint8_t(0x80)}) {
            std::vector<uint8_t> bad = good;
            bad[i] ^= flip;
            std::string text = "unchanged";
            EXPECT_FALSE(container_.decrypt(bad, &text)) << "byte " << i;
            EXPECT_EQ(text, "unchanged");
        }
    }
}

TEST_F(KeyContainerTest, CutOrPaddedValuesFail)
{
    const std::vector<uint8_t> good = seal("correct horse");
    for (size_t n = 0; n < good.size(); ++n) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<ptrdiff_t>(n));
        EXPECT_FALSE(opens(cut)) << n << " bytes";
    }
    std::vector<uint8_t> longer = good;
    longer.push_back(0);
    EXPECT_FALSE(opens(longer));
    std::vector<uint8_t> huge = good;
    huge[0] = 0xFF;
    huge[3] = 0x7F;  // L far beyond the value
    EXPECT_FALSE(opens(huge));
    EXPECT_FALSE(opens(std::vector<uint8_t>(KeyContainer::kMaxValueSize + 1, 0)));
}

TEST_F(KeyContainerTest, AnotherUsersKeyCannotOpenTheValue)
{
    const std::vector<uint8_t> v = seal("mine");
    KeyContainer other(root_.path() / "elsewhere" / "user-other.key");
    ASSERT_TRUE(other.ensure());
    std::string text;
    EXPECT_FALSE(other.decrypt(v, &text));
    EXPECT_TRUE(text.empty());
}

TEST_F(KeyContainerTest, KeyFilesOthersCouldReadOrSwapAreRefused)
{
    const fs::path key = container_.keyFile();
    const std::vector<uint8_t> v = seal("mine");
    std::vector<uint8_t> out;
    std::string text;

    ASSERT_EQ(chmod(key.c_str(), 0640), 0);
    EXPECT_FALSE(container_.ensure(&error_));
    EXPECT_FALSE(container_.encrypt("x", &out));
    EXPECT_FALSE(container_.decrypt(v, &text));
    ASSERT_EQ(chmod(key.c_str(), 0600), 0);
    EXPECT_TRUE(container_.decrypt(v, &text));

    // A link to some other file is not a key.
    const fs::path real = root_.path() / "real.key";
    fs::rename(key, real);
    fs::create_symlink(real, key);
    EXPECT_FALSE(container_.ensure());
    EXPECT_FALSE(container_.decrypt(v, &text));
    fs::remove(key);
    fs::rename(real, key);

    // A key file of the wrong size.
    { std::ofstream(key, std::ios::app) << "x"; }
    EXPECT_FALSE(container_.ensure());
}

TEST_F(KeyContainerTest, KeyOfAnotherOwnerIsRefused)
{
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
    const fs::path key = container_.keyFile();
    ASSERT_EQ(chown(key.c_str(), 4242, 4242), 0);
    EXPECT_FALSE(container_.ensure(&error_));
    EXPECT_NE(error_.find("another user"), std::string::npos);
    ASSERT_EQ(chown(key.parent_path().c_str(), 4242, 4242), 0);
    ASSERT_EQ(chown(key.c_str(), 0, 0), 0);
    EXPECT_FALSE(container_.ensure(&error_));  // a keys folder of someone else
}

}  // namespace
