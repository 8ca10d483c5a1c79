#pragma once
// One item of a source: a picture. Its children are its data objects, opened
// with their data type as child id (1 picture data, 8 thumbnail).
#include "viewer/sources/camera/DornObject.h"

class CDornItem : public CDornObject {
public:
    explicit CDornItem(CDornObject* parent) : CDornObject(parent) {}
    ~CDornItem() override;

    CDornObject* MakeChild(uint32_t dataType) override;
    void OnCapabilityChanged(uint32_t id, int32_t valueOnly) override;

    virtual uint32_t HasKind01() { return GetKindMask() & 0x01; }
    virtual uint32_t HasKind02() { return GetKindMask() & 0x02; }
    virtual uint32_t HasKind08() { return GetKindMask() & 0x08; }
    virtual uint32_t HasKind04() { return GetKindMask() & 0x04; }
    virtual int32_t HasCapability13() { return HasCapability(DORN_CAP_DATE); }
    virtual int32_t HasCapability14() { return HasCapability(DORN_CAP_SIZE); }
    virtual int32_t GetValue13(DornItemDate* record);
    virtual int32_t GetValue14(uint32_t* value);
    virtual uint32_t GetKindMask();

private:
    uint32_t kindMask_ = 0;
    int32_t maskValid_ = 0;
};
