#include "Caravel/src/UploaderSettings.h"

#include "platform/registry/Registry.h"

namespace caravel {

namespace {

void ReadString(const plat::RegKey& key, const char* name, std::string* out)
{
    std::string text;
    if (key.queryString(name, &text) == plat::RegResult::Ok)
        *out = text;
}

void ReadFlag(const plat::RegKey& key, const char* name, bool* out)
{
    uint32_t v = 0;
    if (key.queryDword(name, &v) == plat::RegResult::Ok)
        *out = v != 0;
}

}  // namespace

UploaderSettings::UploaderSettings() : m_container(plat::KeyContainer::forCurrentUser()) {}

UploaderSettings::UploaderSettings(plat::KeyContainer container) : m_container(std::move(container)) {}

bool UploaderSettings::InitKeyContainer()
{
    m_keyReady = m_container.ensure();
    return m_keyReady;
}

bool UploaderSettings::EncryptPassword(const std::string& text, std::vector<uint8_t>* value) const
{
    if (text.empty() || text.size() > kMaxPasswordLength)
        return false;
    return m_container.encrypt(text, value);
}

bool UploaderSettings::DecryptPassword(std::span<const uint8_t> value, std::string* text) const
{
    return m_container.decrypt(value, text);
}

bool UploaderSettings::LoadSettings()
{
    plat::RegKey key;
    if (plat::Registry::open(plat::Hive::CurrentUser, kUploaderKey, &key) != plat::RegResult::Ok)
        return false;
    ReadString(key, "BrovaneURL", &serviceAddress);
    ReadString(key, "QueuedDataFile", &queuedDataFile);
    ReadString(key, "UserName", &userName);
    ReadFlag(key, "PasswordFlag", &passwordFlag);
    ReadFlag(key, "AutoUploadFlag", &autoUploadFlag);

    if (m_keyReady && passwordFlag) {
        std::string stored;
        if (key.queryBytes("Password", &stored) != plat::RegResult::Ok) {
            password.clear();
            passwordFlag = false;
        } else if (stored.empty() || stored[0] == '\0') {
            passwordFlag = false;
        } else {
            // a value that does not open leaves the password and the flag as they were
            std::string text;
            const auto* bytes = reinterpret_cast<const uint8_t*>(stored.data());
            if (DecryptPassword(std::span<const uint8_t>(bytes, stored.size()), &text))
                password = text;
        }
    }

    uint32_t size = kImageSizeOriginal;
    if (key.queryDword("ImageSize", &size) != plat::RegResult::Ok)
        size = kImageSizeOriginal;
    imageSize = size;
    return true;
}

void UploaderSettings::SaveSettings() const
{
    plat::RegKey key;
    if (plat::Registry::create(plat::Hive::CurrentUser, std::string(kUploaderKey) + "\\", &key) !=
        plat::RegResult::Ok)
        return;
    key.setString("UserName", userName);
    if (passwordFlag && m_keyReady && !password.empty()) {
        std::vector<uint8_t> value;
        if (EncryptPassword(password, &value)) {
            key.set("Password", plat::RegType::None, value.data(), static_cast<uint32_t>(value.size()));
        } else {
            const uint8_t zero = 0;  // typed again at the next start
            key.set("Password", plat::RegType::None, &zero, 1);
        }
        key.setDword("PasswordFlag", 1);
    } else {
        key.setString("Password", "");
        key.setDword("PasswordFlag", 0);
    }
    key.setDword("AutoUploadFlag", autoUploadFlag ? 1 : 0);
    key.setDword("ImageSize", imageSize);
}

void UploaderSettings::ClearQueuedDataFile()
{
    plat::RegKey key;
    if (plat::Registry::open(plat::Hive::CurrentUser, kUploaderKey, &key) == plat::RegResult::Ok)
        key.deleteValue("QueuedDataFile");
}

}  // namespace caravel
