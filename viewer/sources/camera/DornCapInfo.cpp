#include "viewer/sources/camera/DornCapInfo.h"

#include <cstring>

CDornCapInfo::CDornCapInfo(const DornCapRecord& record)
{
    record_.id = record.id;
    record_.type = record.type;
    record_.listFlags = record.listFlags;
    record_.operationFlags = record.operationFlags;
    std::memcpy(record_.description, record.description, sizeof(record_.description));
    record_.description[sizeof(record_.description) - 1] = '\0';
}

std::string CDornCapInfo::Description() const
{
    return std::string(record_.description, strnlen(record_.description, sizeof(record_.description)));
}
