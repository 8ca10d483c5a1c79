#pragma once
// A pointer that the pointed-to object knows about: the object sets it to null when it goes
// away, so the holder sees the end instead of a dangling pointer.
template <class T>
class TReferencedObjectPointer {
public:
    TReferencedObjectPointer() = default;
    TReferencedObjectPointer(const TReferencedObjectPointer&) = delete;
    TReferencedObjectPointer& operator=(const TReferencedObjectPointer&) = delete;

    T* Get() const { return m_object; }
    T* operator->() const { return m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    // Stores the pointer only; registering with the object is the holder's step.
    void Set(T* object) { m_object = object; }
    // Called by the object on its way out.
    void Reset() { m_object = nullptr; }

private:
    T* m_object = nullptr;
};
