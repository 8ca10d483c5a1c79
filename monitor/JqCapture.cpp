#include "monitor/JqCapture.h"

#include "platform/registry/Registry.h"

#include <cstdlib>

namespace {

constexpr uint32_t kLevelBytes = 31;

}  // namespace

void JqCapture::LoadStrings(const MonStringTable& strings)
{
    otherKey_ = LoadMonString(strings, MonStringId::OtherCaptureKey);
    otherValue_ = LoadMonString(strings, MonStringId::OtherCaptureValue);
    viewerKey_ = LoadMonString(strings, MonStringId::ViewerCaptureKey);
    viewerValue_ = LoadMonString(strings, MonStringId::ViewerCaptureValue);
}

int JqCapture::ReadLevel(const std::string& keyPath, const std::string& value)
{
    plat::RegKey key;
    if (keyPath.empty() || plat::Registry::open(plat::Hive::LocalMachine, keyPath, &key) != plat::RegResult::Ok)
        return 0;
    plat::RegType type = plat::RegType::None;
    if (key.query(value, &type, nullptr, nullptr) != plat::RegResult::Ok)
        return 0;
    // Nothing says which form an installer writes: a number is taken as it is.
    if (type == plat::RegType::Dword) {
        uint32_t level = 0;
        return key.queryDword(value, &level) == plat::RegResult::Ok ? static_cast<int>(level) : 0;
    }
    char text[kLevelBytes] = {};
    if (key.queryString(value, text, sizeof text) != plat::RegResult::Ok)
        return 0;
    return std::atoi(text);
}

bool JqCapture::IsAlreadyCapture() const
{
    return ReadLevel(otherKey_, otherValue_) != 0 || ReadLevel(viewerKey_, viewerValue_) != 0;
}
