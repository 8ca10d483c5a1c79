#pragma once
// Storage of a small byte string through virtual operations, so that a derived
// class could keep the characters elsewhere. The slot order is fixed: callers of
// the camera-module layer may rely on it.
#include <cstdint>

class CDynStringBase {
public:
    virtual ~CDynStringBase() = default;
    virtual uint32_t Length() const = 0;
    virtual char* Allocate(uint32_t n) = 0;
    virtual void Free(char* block) = 0;
    virtual void Reserve(uint32_t n) = 0;
    virtual uint32_t Capacity() const = 0;
    virtual char* Data() const = 0;
    virtual int NoPosition() const = 0;
};
