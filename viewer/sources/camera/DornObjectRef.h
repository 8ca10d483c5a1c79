#pragma once
// A non-owning reference to a camera-module wrapper object.
class CDornObject;

class CDornObjectRef {
public:
    CDornObjectRef(CDornObject* object = nullptr) : object_(object) {}  // NOLINT
    virtual ~CDornObjectRef() = default;
    CDornObjectRef(const CDornObjectRef&) = default;
    CDornObjectRef& operator=(const CDornObjectRef&) = default;
    bool operator==(const CDornObjectRef& other) const { return object_ == other.object_; }
    CDornObject* Get() const { return object_; }
    CDornObject* operator->() const { return object_; }

private:
    CDornObject* object_;
};
