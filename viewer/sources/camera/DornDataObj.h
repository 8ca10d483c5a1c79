#pragma once
// Base of an item's data objects: knows its data type, installs the module's
// data-delivery callback and starts a delivery.
#include <string>
#include <vector>

#include "viewer/sources/camera/DornObject.h"

class CDornDataObj : public CDornObject {
public:
    CDornDataObj(CDornObject* parent, uint32_t dataType) : CDornObject(parent), dataType_(dataType) {}
    ~CDornDataObj() override;

    int32_t RefreshCapabilities() override;
    CDornObject* MakeChild(uint32_t) override { return nullptr; }
    void OnCapabilityChanged(uint32_t id, int32_t valueOnly) override;

    virtual uint32_t GetDataType() const { return dataType_; }
    virtual int32_t HasCapability14() { return HasCapability(DORN_CAP_SIZE); }
    virtual int32_t HasCapability19() { return HasCapability(19); }
    virtual int32_t GetValue14(uint32_t* value);
    virtual int32_t GetTexts19(std::vector<std::string>& out);
    virtual int32_t GetCurrent19(uint32_t* out);
    virtual int32_t GetDefault19(uint32_t* out);
    virtual int32_t SetIndex19(uint32_t index);
    virtual int32_t Start20(CAsyncTask* task, uint8_t flag);
    virtual int32_t OnDataDelivered(const DornDeliveryInfo* info, const void* data);

private:
    DornEnum enum19_{};
    int32_t valid19_ = 0;
    uint32_t dataType_;
};
