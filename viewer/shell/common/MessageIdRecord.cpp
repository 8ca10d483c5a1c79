#include "viewer/shell/common/MessageIdRecord.h"

#include "viewer/shell/common/RegistryNames.h"
#include "viewer/shell/common/ViewerMessages.h"

#include "platform/registry/Registry.h"

#include <cstring>
#include <string_view>

namespace {

bool SetField(char (&field)[kMessageIdFieldSize], const std::string& text)
{
    if (text.size() >= kMessageIdFieldSize)
        return false;
    std::memset(field, 0, kMessageIdFieldSize);
    std::memcpy(field, text.data(), text.size());
    return true;
}

// Reads a string value into a 260-byte field; the field is left as it was when the read fails.
void ReadField(const plat::RegKey& key, const char* name, char (&field)[kMessageIdFieldSize])
{
    char buf[kMessageIdFieldSize] = {};
    if (key.queryString(name, buf, sizeof buf) == plat::RegResult::Ok)
        std::memcpy(field, buf, sizeof buf);
}

// The text of a field, never past its end.
std::string_view FieldText(const char (&field)[kMessageIdFieldSize])
{
    return std::string_view(field, ::strnlen(field, kMessageIdFieldSize));
}

}  // namespace

void MessageIdRecord::Clear()
{
    std::memset(Name, 0, sizeof Name);
    std::memset(Capability, 0, sizeof Capability);
}

bool MessageIdRecord::SetName(const std::string& text)
{
    return SetField(Name, text);
}

bool MessageIdRecord::SetCapability(const std::string& text)
{
    return SetField(Capability, text);
}

std::string MessageIdSubKey(int index)
{
    return std::string(kMessageIdKey) + "\\" + std::to_string(index);
}

MessageIdRecord DefaultMessageID(int index)
{
    MessageIdRecord r;
    if (IsDriveIndex(index)) {
        r.Name[0] = static_cast<char>('A' + index);
        r.Name[1] = ':';
    }
    return r;
}

bool ReadMessageID(int index, MessageIdRecord* record)
{
    *record = DefaultMessageID(index);
    plat::RegKey key;
    if (plat::Registry::open(plat::Hive::CurrentUser, MessageIdSubKey(index), &key) != plat::RegResult::Ok)
        return false;
    MessageIdRecord read = *record;
    ReadField(key, kNameValue, read.Name);
    ReadField(key, kCapabilityValue, read.Capability);
    // A drive's Name is its letter and colon; anything longer is not a drive name.
    // (Names of other devices always fit: the read refuses what does not.)
    if (IsDriveIndex(index) && std::strlen(read.Name) > 2)
        std::memcpy(read.Name, record->Name, sizeof read.Name);
    *record = read;
    return true;
}

bool WriteMessageID(int index, const MessageIdRecord& record)
{
    plat::RegKey key;
    if (plat::Registry::create(plat::Hive::CurrentUser, MessageIdSubKey(index), &key) != plat::RegResult::Ok)
        return false;
    const bool name = key.setString(kNameValue, FieldText(record.Name), plat::RegType::MultiString) == plat::RegResult::Ok;
    const bool capability =
        key.setString(kCapabilityValue, FieldText(record.Capability), plat::RegType::MultiString) == plat::RegResult::Ok;
    return name && capability;
}
