// Uploader settings: what is stored, what is never written, and the remembered password through
// the user's key container, including values that must not open.
#include "Caravel/src/UploaderSettings.h"

#include "platform/registry/Registry.h"
#include "platform/testing/TempRoot.h"

#include <gtest/gtest.h>

using caravel::UploaderSettings;

namespace {

class Settings : public testing::Test {
protected:
    plat::testing::TempRoot root;

    plat::KeyContainer Container(const char* name) const { return plat::KeyContainer(root.path() / "keys" / name); }

    plat::RegKey Key() const
    {
        plat::RegKey key;
        EXPECT_EQ(plat::Registry::create(plat::Hive::CurrentUser, caravel::kUploaderKey, &key), plat::RegResult::Ok);
        return key;
    }
};

}  // namespace

TEST_F(Settings, RememberedPasswordComesBackOnlyUnderTheSameKey)
{
    UploaderSettings saved(Container("mine.key"));
    ASSERT_TRUE(saved.InitKeyContainer());
    saved.userName = "Alice";
    saved.password = "s3cret pass";
    saved.passwordFlag = true;
    saved.autoUploadFlag = true;
    saved.imageSize = caravel::kImageSize1024;
    saved.SaveSettings();

    plat::RegType type{};
    std::string raw;
    ASSERT_EQ(Key().queryBytes("Password", &raw, &type), plat::RegResult::Ok);
    EXPECT_EQ(type, plat::RegType::None);
    EXPECT_EQ(raw.find("s3cret"), std::string::npos);

    UploaderSettings mine(Container("mine.key"));
    ASSERT_TRUE(mine.InitKeyContainer());
    ASSERT_TRUE(mine.LoadSettings());
    EXPECT_EQ(mine.userName, "Alice");
    EXPECT_EQ(mine.password, "s3cret pass");
    EXPECT_TRUE(mine.passwordFlag);
    EXPECT_TRUE(mine.autoUploadFlag);
    EXPECT_EQ(mine.imageSize, caravel::kImageSize1024);

    // another user's key cannot open the value: the field stays empty
    UploaderSettings other(Container("other.key"));
    ASSERT_TRUE(other.InitKeyContainer());
    ASSERT_TRUE(other.LoadSettings());
    EXPECT_EQ(other.password, "");
}

TEST_F(Settings, ForgottenPasswordIsStoredEmpty)
{
    const struct {
        bool flag;
        std::string password;
        bool keyReady;
    } cases[] = {{false, "pw", true}, {true, "", true}, {true, "pw", false}};
    for (const auto& c : cases) {
        UploaderSettings s(Container("k.key"));
        if (c.keyReady) {
            ASSERT_TRUE(s.InitKeyContainer());
        }
        s.password = c.password;
        s.passwordFlag = c.flag;
        s.SaveSettings();
        std::string value;
        plat::RegType type{};
        uint32_t flag = 7;
        ASSERT_EQ(Key().queryBytes("Password", &value, &type), plat::RegResult::Ok);
        EXPECT_EQ(type, plat::RegType::String);
        EXPECT_EQ(value, std::string(1, '\0'));
        ASSERT_EQ(Key().queryDword("PasswordFlag", &flag), plat::RegResult::Ok);
        EXPECT_EQ(flag, 0u);
    }
}

TEST_F(Settings, StoredPasswordThatDoesNotOpen)
{
    const struct {
        const char* what;
        std::string value;
        bool present;
        std::string password;
        bool flag;
    } cases[] = {
        {"missing", "", false, "", false},
        {"empty", std::string(1, '\0'), true, "kept", false},
        {"length past the value", std::string("\xff\xff\x00\x00VPW1", 8), true, "kept", true},
        {"garbage", std::string(120, 'x'), true, "kept", true},
    };
    for (const auto& c : cases) {
        plat::RegKey key = Key();
        key.deleteValue("Password");
        if (c.present)
            key.set("Password", plat::RegType::None, c.value.data(), static_cast<uint32_t>(c.value.size()));
        key.setDword("PasswordFlag", 1);
        UploaderSettings s(Container("k.key"));
        ASSERT_TRUE(s.InitKeyContainer());
        s.password = "kept";
        ASSERT_TRUE(s.LoadSettings());
        EXPECT_EQ(s.password, c.password) << c.what;
        EXPECT_EQ(s.passwordFlag, c.flag) << c.what;
    }
}

TEST_F(Settings, PasswordLengthIsBoundedByTheValue)
{
    UploaderSettings s(Container("k.key"));
    ASSERT_TRUE(s.InitKeyContainer());
    std::vector<uint8_t> value;
    EXPECT_FALSE(s.EncryptPassword("", &value));
    ASSERT_TRUE(s.EncryptPassword(std::string(UploaderSettings::kMaxPasswordLength, 'p'), &value));
    EXPECT_LE(value.size(), 260u);
    std::string back;
    ASSERT_TRUE(s.DecryptPassword(value, &back));
    EXPECT_EQ(back, std::string(UploaderSettings::kMaxPasswordLength, 'p'));
    value[value.size() - 1] ^= 1;
    EXPECT_FALSE(s.DecryptPassword(value, &back));
    EXPECT_FALSE(s.EncryptPassword(std::string(UploaderSettings::kMaxPasswordLength + 1, 'p'), &value));
}

TEST_F(Settings, ReadOnlyValuesAndDefaults)
{
    UploaderSettings none(Container("k.key"));
    EXPECT_FALSE(none.LoadSettings());  // no key yet: defaults stay

    plat::RegKey key = Key();
    key.setString("BrovaneURL", "http://127.0.0.1:1/dav/");
    key.setString("QueuedDataFile", "/tmp/vorelX");
    UploaderSettings s(Container("k.key"));
    ASSERT_TRUE(s.LoadSettings());
    EXPECT_EQ(s.imageSize, caravel::kImageSizeOriginal);
    EXPECT_EQ(s.serviceAddress, "http://127.0.0.1:1/dav/");
    EXPECT_EQ(s.queuedDataFile, "/tmp/vorelX");

    s.serviceAddress = "changed";
    s.queuedDataFile = "changed";
    s.SaveSettings();
    std::vector<std::string> names;
    ASSERT_EQ(Key().valueNames(&names), plat::RegResult::Ok);
    for (const auto& n : names)
        EXPECT_TRUE(n != "PasswordURL" && n != "MemberURL") << n;
    std::string text;
    EXPECT_EQ(Key().queryString("BrovaneURL", &text), plat::RegResult::Ok);
    EXPECT_EQ(text, "http://127.0.0.1:1/dav/");
    EXPECT_EQ(Key().queryString("QueuedDataFile", &text), plat::RegResult::Ok);
    EXPECT_EQ(text, "/tmp/vorelX");

    UploaderSettings::ClearQueuedDataFile();
    EXPECT_EQ(Key().queryString("QueuedDataFile", &text), plat::RegResult::NotFound);
}
