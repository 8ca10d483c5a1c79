#pragma once
// Byte string of the camera-module layer and the device monitor: one heap block
// that only grows, so repeated assignments in module callbacks do not allocate.
#include "viewer/shell/common/DynStringBase.h"

class CDynString : public CDynStringBase {
public:
    CDynString();
    CDynString(const char* text);  // NOLINT: converts like the C string it holds
    CDynString(const CDynString& other);
    ~CDynString() override;

    CDynString& operator=(const char* text);
    CDynString& operator=(const CDynString& other);
    CDynString& operator+=(const char* text);

    void Append(const char* text);
    CDynString Right(uint32_t n) const;
    bool IsEmpty() const;
    const char* GetString() const { return Data(); }

    uint32_t Length() const override;
    char* Allocate(uint32_t n) override;
    void Free(char* block) override;
    void Reserve(uint32_t n) override;
    uint32_t Capacity() const override { return capacity_; }
    char* Data() const override { return data_; }
    int NoPosition() const override { return -1; }

private:
    void Assign(const char* text);
    bool PointsIntoBlock(const char* p) const;

    uint32_t capacity_ = 0;
    char* data_ = nullptr;
};
