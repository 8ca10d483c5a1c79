#pragma once
// One capability record of a camera-module object, by value.
#include <string>

#include "outside/dorn/DornAbi.h"

class CDornCapInfo {
public:
    CDornCapInfo() = default;
    CDornCapInfo(const CDornCapInfo& other) = default;
    explicit CDornCapInfo(const DornCapRecord& record);
    virtual ~CDornCapInfo() = default;
    CDornCapInfo& operator=(const CDornCapInfo& other) = default;

    uint32_t Id() const { return record_.id; }
    uint32_t Type() const { return record_.type; }
    uint32_t ListFlags() const { return record_.listFlags; }
    uint32_t OperationFlags() const { return record_.operationFlags; }
    std::string Description() const;
    const DornCapRecord& Record() const { return record_; }

private:
    DornCapRecord record_{};
};
