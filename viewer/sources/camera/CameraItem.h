#pragma once
// The program's item object: one picture, with change tracking.
#include "viewer/sources/camera/DornItem.h"

class CCameraSource;

class CCameraItem : public CDornItem {
public:
    explicit CCameraItem(CDornObject* source) : CDornItem(source) {}
    ~CCameraItem() override;

    CDornObject* MakeChild(uint32_t dataType) override;
    void RemoveFromParent() override;
    void OnCapabilityChanged(uint32_t id, int32_t valueOnly) override;

    void SetDeletedByProgram(bool deleted) { deletedByProgram_ = deleted; }
    bool IsDeletedByProgram() const { return deletedByProgram_; }

private:
    CCameraSource* Source() const;
    bool deletedByProgram_ = false;
};
