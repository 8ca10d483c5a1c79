#pragma once
// One source of a camera module: an attached camera.
#include <string>

#include "viewer/sources/camera/DornObject.h"

class CDornSource : public CDornObject {
public:
    explicit CDornSource(CDornObject* parent) : CDornObject(parent) {}
    ~CDornSource() override;

    CDornObject* MakeChild(uint32_t id) override;
    void OnCapabilityChanged(uint32_t id, int32_t valueOnly) override;

    virtual uint32_t HasKind01() { return GetKindMask() & 0x01; }
    virtual uint32_t HasKind02() { return GetKindMask() & 0x02; }
    virtual uint32_t HasKind08() { return GetKindMask() & 0x08; }
    virtual uint32_t HasKind04() { return GetKindMask() & 0x04; }
    virtual int32_t HasCapability15() { return HasCapability(15); }
    virtual int32_t HasCapability16() { return HasCapability(16); }
    virtual int32_t HasCapability17() { return HasCapability(17); }
    virtual int32_t HasCapability45() { return HasCapability(45); }
    virtual int32_t HasCapability49() { return HasCapability(DORN_CAP_STATUS); }
    virtual int32_t HasCapability50() { return HasCapability(50); }
    virtual int32_t HasCapability51() { return HasCapability(51); }
    virtual std::string GetText11() { return ReadText(11); }
    virtual std::string GetText46() { return ReadText(46); }
    virtual uint16_t GetValue49();
    virtual double GetValue50();
    virtual uint32_t GetValue51();
    virtual int32_t Start15(CAsyncTask* task) { return StartOn(task, 15); }
    virtual int32_t Start16(CAsyncTask* task) { return StartOn(task, 16); }
    virtual int32_t Start17(CAsyncTask* task) { return StartOn(task, 17); }
    virtual int32_t GetValue45(uint32_t* value);
    virtual int32_t SetValue45(uint32_t value);
    virtual uint32_t GetKindMask();

private:
    std::string ReadText(uint32_t id);
    int32_t StartOn(CAsyncTask* task, uint32_t id);

    uint32_t kindMask_ = 0;
    int32_t maskValid_ = 0;
};
