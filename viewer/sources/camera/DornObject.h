#pragma once
// Base of the wrappers that mirror a camera module's object tree (module,
// sources, items, data objects). It owns the object record handed to the module,
// reads the capability list, installs the module's callbacks, keeps the children
// and defers the deletion of objects that are in use when the module removes them.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "outside/dorn/DornAbi.h"
#include "viewer/shell/common/DynString.h"
#include "viewer/sources/camera/DornCapInfo.h"
#include "viewer/sources/camera/DornObjectRef.h"

class CAsyncTask;

// Context of the layer's own completions.
struct DornCompletionContext {
    CDornObject* object = nullptr;
    void* target = nullptr;
    int32_t kind = 0;  // 1 child count, 2 child-id buffer, 3 make children, 4 async open
};

class CDornObject {
public:
    explicit CDornObject(CDornObject* parent);
    virtual ~CDornObject();
    CDornObject(const CDornObject&) = delete;
    CDornObject& operator=(const CDornObject&) = delete;

    virtual int32_t Open(uint32_t id, CAsyncTask* task);
    virtual int32_t RefreshCapabilities();
    virtual CDornObject* MakeChild(uint32_t id) = 0;
    virtual int32_t ReadArrayHeader(uint32_t id, DornArray* record, int32_t* valid);
    virtual int32_t ReadRangeHeader(uint32_t id, DornRange* record, int32_t* valid);
    virtual int32_t ReadEnumHeader(uint32_t id, DornEnum* record, int32_t* valid);
    virtual int32_t OnModuleRequest(uintptr_t value);
    virtual void OnModuleEvent(uint32_t event, uint32_t data);
    virtual void OnProgress(uint32_t a, uint32_t b, uint32_t c, uint32_t d);
    virtual void OnChildAdded(CDornObject* child);
    virtual void RemoveFromParent();
    virtual void OnCapabilityChanged(uint32_t id, int32_t valueOnly);
    virtual int32_t ReadEnumValues(std::vector<uint32_t>& out, uint32_t id, DornEnum* record, int32_t* valid);
    virtual int32_t ReadEnumStrings(std::vector<std::string>& out, uint32_t id, DornEnum* record, int32_t* valid);
    virtual int32_t SetEnumValue(uint32_t id, uint32_t value, const std::vector<uint32_t>* values);
    virtual int32_t Close();
    virtual int32_t RemoveChild(CDornObject* child);
    virtual int32_t RemoveChildById(uint32_t id);
    virtual void RemoveAllChildren();
    virtual int32_t CallEntry(CDornObject* object, uint32_t command, uint32_t parameter, uint32_t dataType,
                              uintptr_t data, DornCompletionProc proc, uintptr_t reference);
    virtual const std::vector<CDornObjectRef>& GetChildren() const { return children_; }
    virtual CDornObject* GetParent() const { return parent_; }
    virtual DornObjectRecord* GetObjectRecord() { return &record_; }
    virtual uint32_t GetId() const { return record_.objectId; }
    virtual int32_t SendCode15();
    virtual int32_t ReleaseWhenUnlocked();
    virtual void Lock() { ++lockCount_; }
    virtual void Unlock() { if (lockCount_ > 0) --lockCount_; }
    virtual int32_t IsRemoved() const { return removed_; }
    virtual int32_t IsReady() const { return open_ && capabilitiesRead_ && !removed_; }
    virtual int32_t CanSetText10();
    virtual int32_t CanUseArray8();
    virtual int32_t CanStart52();
    virtual int32_t CreateChild(uint32_t id, CDornObject** child);
    virtual int32_t GetText9(std::string& out);
    virtual int32_t GetText10(std::string& out);
    // The same texts into the layer's byte string (the device monitor reads
    // source names this way).
    virtual int32_t GetText9(CDynString& out);
    virtual int32_t GetText10(CDynString& out);
    virtual int32_t SetText10(const std::string& text);
    virtual int32_t ReadArray8(void* buffer, uint32_t* size);
    virtual int32_t WriteArray8(const uint8_t* bytes, uint32_t count);
    virtual int32_t Start52();
    virtual int32_t QueryChildCount(uint32_t* count, CAsyncTask* task);
    virtual int32_t EnumerateChildren(CAsyncTask* task);
    virtual int32_t QueueIdle(CAsyncTask* task);
    virtual int32_t HasCapability(uint32_t id) const;
    virtual uint32_t GetCapabilityType(uint32_t id) const;
    virtual std::string GetCapabilityDescription(uint32_t id) const;
    virtual void ListCapabilities(std::vector<CDornCapInfo>& out) const;
    virtual void ListCapabilitiesFlag04(std::vector<CDornCapInfo>& out) const;
    virtual void ListCapabilitiesFlag04And08(std::vector<CDornCapInfo>& out) const;
    virtual int32_t ListGroupMembers(uint32_t id, std::vector<CDornCapInfo>& out);
    virtual uint32_t HasListFlag01(uint32_t id) const { return ListFlag(id, 0x01); }
    virtual uint32_t HasListFlag02(uint32_t id) const { return ListFlag(id, 0x02); }
    virtual uint32_t HasNoListFlag01Or02(uint32_t id) const;
    virtual uint32_t HasListFlag04(uint32_t id) const { return ListFlag(id, 0x04); }
    virtual uint32_t HasListFlag08(uint32_t id) const { return ListFlag(id, 0x08); }
    virtual uint32_t HasListFlag10(uint32_t id) const { return ListFlag(id, 0x10); }
    virtual uint32_t HasListFlag20(uint32_t id) const { return ListFlag(id, 0x20); }
    virtual uint32_t CanStart(uint32_t id) const { return OperationFlag(id, DORN_OP_START); }
    virtual uint32_t CanGet(uint32_t id) const { return OperationFlag(id, DORN_OP_GET); }
    virtual uint32_t CanSet(uint32_t id) const { return OperationFlag(id, DORN_OP_SET); }
    virtual uint32_t HasOperationFlag08(uint32_t id) const { return OperationFlag(id, DORN_OP_08); }
    virtual uint32_t CanGetDefault(uint32_t id) const { return OperationFlag(id, DORN_OP_DEFAULT); }

    int32_t IsOpen() const { return open_; }
    int32_t GetLockCount() const { return lockCount_; }
    uint32_t GetObjectType() const { return record_.objectType; }
    bool IsDescendantOf(const CDornObject* ancestor) const;

    // A record the module passes back names a live wrapper only when that
    // wrapper still exists: look it up here rather than trusting the pointer.
    static CDornObject* FromRecord(const DornObjectRecord* record);
    static bool IsLive(const CDornObject* object);

    // The layer's completion procedure (contexts of kinds 1..4).
    static int32_t LayerCompletion(DornObjectRecord* object, uint32_t command, uint32_t parameter,
                                   uint32_t dataType, uintptr_t data, uintptr_t reference, int32_t result);

protected:
    int32_t Send(uint32_t command, uint32_t parameter, uint32_t dataType, uintptr_t data);
    void SetOpenFlag(int32_t open) { open_ = open; }
    void MarkRemoved() { removed_ = 1; }
    std::map<uint32_t, DornCapRecord>& CapabilityMap() { return capabilities_; }
    int32_t ReadEnumElements(uint32_t id, DornEnum* record, int32_t* valid, std::vector<uint8_t>& elements);
    // Which callbacks this object installed, so that close removes exactly those.
    std::vector<uint32_t>& InstalledCallbacks() { return installedCallbacks_; }
    int32_t InstallCallback(uint32_t capability, DornProc procedure);

private:
    uint32_t ListFlag(uint32_t id, uint32_t bit) const;
    uint32_t OperationFlag(uint32_t id, uint32_t bit) const;
    int32_t ReadCapabilityRecords();
    void MakeChildrenFromBuffer(CAsyncTask* task);
    void RemoveChildInPlace(CDornObject* child);
    friend class CDornObjectLayer;

    int32_t open_ = 0;
    int32_t capabilitiesRead_ = 0;
    int32_t removed_ = 0;
    int32_t idleRegistered_ = 0;
    DornObjectRecord record_{};
    CDornObject* parent_;
    std::map<uint32_t, DornCapRecord> capabilities_;
    std::vector<CDornObjectRef> children_;
    DornEnum childEnum_{};
    std::vector<uint32_t> childIds_;
    int32_t lockCount_ = 0;
    bool beingRemoved_ = false;  // inside its parent's RemoveChild
    std::vector<uint32_t> installedCallbacks_;
};

// Objects that the module removed while they were locked; the scheduler
// releases them once unlocked.
std::vector<CDornObjectRef>& GetObjectRegistry();

// Bounded repeats of a read the module answers with "changed, read again".
constexpr int kDornChangedRetries = 10;
