#include "viewer/sources/camera/DornObject.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "viewer/sources/camera/AsyncScheduler.h"
#include "viewer/sources/camera/CameraClock.h"
#include "viewer/sources/camera/DornDataObj.h"

namespace {

std::mutex& LiveMutex()
{
    static std::mutex m;
    return m;
}

std::unordered_set<const CDornObject*>& LiveObjects()
{
    static std::unordered_set<const CDornObject*> objects;
    return objects;
}

// Records of live objects: a record the module passes back is looked up here,
// never read, since it may lie in an object that is gone.
std::unordered_map<const DornObjectRecord*, CDornObject*>& LiveRecords()
{
    static std::unordered_map<const DornObjectRecord*, CDornObject*> records;
    return records;
}

void EraseFromRegistry(CDornObject* object)
{
    auto& registry = GetObjectRegistry();
    registry.erase(std::remove(registry.begin(), registry.end(), CDornObjectRef(object)), registry.end());
}

// Trampolines from the module's callbacks to the wrapper named by the reference.
void ProgressCallback(uint32_t a, uint32_t b, void* reference, uint32_t c, uint32_t d)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    auto* object = static_cast<CDornObject*>(reference);
    if (CDornObject::IsLive(object)) object->OnProgress(a, b, c, d);
}

void EventCallback(void* reference, uint32_t event, uint32_t data)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    auto* object = static_cast<CDornObject*>(reference);
    if (CDornObject::IsLive(object)) object->OnModuleEvent(event, data);
}

int32_t RequestCallback(void* reference, uintptr_t value)
{
    std::lock_guard<CameraLock> lock(CameraMutex());
    auto* object = static_cast<CDornObject*>(reference);
    return CDornObject::IsLive(object) ? object->OnModuleRequest(value) : 0;
}

}  // namespace

std::vector<CDornObjectRef>& GetObjectRegistry()
{
    static std::vector<CDornObjectRef> registry;
    return registry;
}

CDornObject::CDornObject(CDornObject* parent) : parent_(parent)
{
    record_.clientReference = this;
    record_.moduleReference = nullptr;
    std::lock_guard<std::mutex> lock(LiveMutex());
    LiveObjects().insert(this);
    LiveRecords()[&record_] = this;
}

CDornObject::~CDornObject()
{
    EraseFromRegistry(this);
    if (idleRegistered_) CAsyncScheduler::RemoveIdleTimer(this);
    std::lock_guard<std::mutex> lock(LiveMutex());
    LiveObjects().erase(this);
    LiveRecords().erase(&record_);
}

bool CDornObject::IsLive(const CDornObject* object)
{
    if (!object) return false;
    std::lock_guard<std::mutex> lock(LiveMutex());
    return LiveObjects().count(object) != 0;
}

CDornObject* CDornObject::FromRecord(const DornObjectRecord* record)
{
    if (!record) return nullptr;
    std::lock_guard<std::mutex> lock(LiveMutex());
    auto it = LiveRecords().find(record);
    return it == LiveRecords().end() ? nullptr : it->second;
}

bool CDornObject::IsDescendantOf(const CDornObject* ancestor) const
{
    for (const CDornObject* p = parent_; p; p = p->parent_)
        if (p == ancestor) return true;
    return false;
}

int32_t CDornObject::Send(uint32_t command, uint32_t parameter, uint32_t dataType, uintptr_t data)
{
    return CallEntry(this, command, parameter, dataType, data, nullptr, 0);
}

int32_t CDornObject::CallEntry(CDornObject* object, uint32_t command, uint32_t parameter, uint32_t dataType,
                               uintptr_t data, DornCompletionProc proc, uintptr_t reference)
{
    if (!parent_) return DORN_E_NOT_OPEN;
    return parent_->CallEntry(object, command, parameter, dataType, data, proc, reference);
}

int32_t CDornObject::Open(uint32_t id, CAsyncTask* task)
{
    if (capabilitiesRead_) return DORN_E_ALREADY_OPEN;
    if (task) {
        if (open_) return 0;
        auto* context = new DornCompletionContext{this, &open_, 4};
        task->AddRequest(parent_, DORN_CMD_OPEN, id, DORN_DT_POBJECT, reinterpret_cast<uintptr_t>(&record_),
                         &CDornObject::LayerCompletion, reinterpret_cast<uintptr_t>(context));
        return 0;
    }
    Lock();
    if (!open_) {
        const int32_t r = parent_ ? parent_->CallEntry(parent_, DORN_CMD_OPEN, id, DORN_DT_POBJECT,
                                                        reinterpret_cast<uintptr_t>(&record_), nullptr, 0)
                                  : CallEntry(nullptr, DORN_CMD_OPEN, 0, DORN_DT_POBJECT,
                                              reinterpret_cast<uintptr_t>(&record_), nullptr, 0);
        if (r != 0) {
            Unlock();
            return r;
        }
    }
    open_ = 1;
    const int32_t r = RefreshCapabilities();
    Unlock();
    return r;
}

int32_t CDornObject::ReadCapabilityRecords()
{
    for (int attempt = 0; attempt < kDornChangedRetries; ++attempt) {
        uint32_t count = 0;
        int32_t r = Send(DORN_CMD_CAPCOUNT, 0, DORN_DT_PU32, reinterpret_cast<uintptr_t>(&count));
        if (r != 0) return r;
        if (count > 4096) return DORN_E_BAD_TYPE;
        std::vector<DornCapRecord> records(count);
        r = Send(DORN_CMD_CAPRECORDS, count, DORN_DT_PCAPRECORDS, reinterpret_cast<uintptr_t>(records.data()));
        if (r == DORN_E_CHANGED) continue;
        if (r != 0) return r;
        for (DornCapRecord& record : records) {
            record.description[DORN_DESCRIPTION_SIZE - 1] = '\0';
            capabilities_[record.id] = record;
        }
        return 0;
    }
    return DORN_E_CHANGED;
}

int32_t CDornObject::InstallCallback(uint32_t capability, DornProc procedure)
{
    DornCallbackRecord callback{procedure, this};
    const int32_t r = Send(DORN_CMD_SET, capability, DORN_DT_PCALLBACK, reinterpret_cast<uintptr_t>(&callback));
    if (r == 0 && procedure &&
        std::find(installedCallbacks_.begin(), installedCallbacks_.end(), capability) == installedCallbacks_.end())
        installedCallbacks_.push_back(capability);
    return r;
}

int32_t CDornObject::RefreshCapabilities()
{
    capabilitiesRead_ = 1;
    Lock();
    int32_t result = DORN_E_NOT_OPEN;
    if (open_) {
        capabilities_.clear();
        if (idleRegistered_) {
            CAsyncScheduler::RemoveIdleTimer(this);
            idleRegistered_ = 0;
        }
        result = ReadCapabilityRecords();
        const std::pair<uint32_t, DornProc> callbacks[] = {
            {DORN_CAP_PROGRESS_CB, reinterpret_cast<DornProc>(&ProgressCallback)},
            {DORN_CAP_EVENT_CB, reinterpret_cast<DornProc>(&EventCallback)},
            {DORN_CAP_REQUEST_CB, reinterpret_cast<DornProc>(&RequestCallback)},
        };
        for (const auto& [capability, procedure] : callbacks) {
            if (result != 0) break;
            if (HasCapability(capability)) result = InstallCallback(capability, procedure);
        }
        if (result == 0 && HasCapability(DORN_CAP_IDLE_PERIOD)) {
            uint32_t period = 0;
            if (Send(DORN_CMD_GET, DORN_CAP_IDLE_PERIOD, DORN_DT_PU32, reinterpret_cast<uintptr_t>(&period)) == 0 &&
                period > 0) {
                CAsyncScheduler::AddIdleTimer(this, period);
                idleRegistered_ = 1;
            }
        }
    }
    capabilitiesRead_ = result == 0 ? 1 : 0;
    Unlock();
    return result;
}

int32_t CDornObject::OnModuleRequest(uintptr_t value)
{
    Lock();
    const int32_t r = parent_ ? parent_->OnModuleRequest(value) : 0;
    Unlock();
    return r;
}

void CDornObject::OnModuleEvent(uint32_t event, uint32_t data)
{
    switch (event) {
    case DORN_EVENT_ADDED: {
        CDornObject* child = nullptr;
        if (CreateChild(data, &child) == 0 && child) OnChildAdded(child);
        break;
    }
    case DORN_EVENT_REMOVED: {
        std::vector<CDornObject*> gone;
        for (const CDornObjectRef& ref : children_) {
            CDornObject* child = ref.Get();
            if (record_.objectType == DORN_TYPE_ITEM) {
                auto* data_object = dynamic_cast<CDornDataObj*>(child);
                if (!child->IsRemoved() && data_object && data_object->GetDataType() == data) gone.push_back(child);
            } else if (child->GetId() == data) {
                gone.push_back(child);
                break;
            }
        }
        for (CDornObject* child : gone) {
            if (!IsLive(child)) continue;
            if (child->GetLockCount() > 0) {
                auto& registry = GetObjectRegistry();
                if (std::find(registry.begin(), registry.end(), CDornObjectRef(child)) == registry.end())
                    registry.emplace_back(child);
            } else {
                child->MarkRemoved();
                child->RemoveFromParent();
            }
        }
        break;
    }
    case DORN_EVENT_CAPLIST:
        RefreshCapabilities();
        OnCapabilityChanged(data, 0);
        break;
    case DORN_EVENT_VALUE:
        OnCapabilityChanged(data, 1);
        break;
    default:
        break;
    }
}

void CDornObject::OnProgress(uint32_t, uint32_t, uint32_t, uint32_t) {}

void CDornObject::OnChildAdded(CDornObject*) {}

void CDornObject::RemoveFromParent()
{
    if (parent_) parent_->RemoveChild(this);
}

void CDornObject::OnCapabilityChanged(uint32_t, int32_t) {}

int32_t CDornObject::Close()
{
    if (!open_) return DORN_E_NOT_OPEN;
    RemoveAllChildren();
    // Remove exactly the callbacks this object installed, whatever the flags say.
    for (uint32_t capability : {DORN_CAP_PROGRESS_CB, DORN_CAP_EVENT_CB, DORN_CAP_REQUEST_CB, DORN_CAP_DELIVERY_CB}) {
        if (std::find(installedCallbacks_.begin(), installedCallbacks_.end(), capability) != installedCallbacks_.end())
            InstallCallback(capability, nullptr);
    }
    installedCallbacks_.clear();
    if (idleRegistered_) {
        CAsyncScheduler::RemoveIdleTimer(this);
        idleRegistered_ = 0;
    }
    const int32_t r = Send(DORN_CMD_CLOSE, 0, DORN_DT_NONE, 0);
    open_ = 0;
    capabilitiesRead_ = 0;
    capabilities_.clear();
    return r;
}

void CDornObject::RemoveChildInPlace(CDornObject* child)
{
    children_.erase(std::remove(children_.begin(), children_.end(), CDornObjectRef(child)), children_.end());
}

int32_t CDornObject::RemoveChild(CDornObject* child)
{
    if (child->beingRemoved_) return DORN_E_NO_SUCH;  // a removal already under way finishes it
    child->beingRemoved_ = true;
    if (CAsyncScheduler* scheduler = CAsyncScheduler::GetScheduler()) scheduler->CancelTasksOf(child);
    const int32_t r = child->Close();
    if (std::find(children_.begin(), children_.end(), CDornObjectRef(child)) == children_.end()) {
        child->beingRemoved_ = false;
        return DORN_E_NO_SUCH;
    }
    EraseFromRegistry(child);
    RemoveChildInPlace(child);
    delete child;
    return r;
}

int32_t CDornObject::RemoveChildById(uint32_t id)
{
    for (const CDornObjectRef& ref : children_)
        if (ref->GetId() == id) return RemoveChild(ref.Get());
    return DORN_E_NO_SUCH;
}

void CDornObject::RemoveAllChildren()
{
    while (!children_.empty()) RemoveChild(children_.back().Get());
}

int32_t CDornObject::SendCode15()
{
    return CallEntry(this, DORN_CMD_CODE15, 0, DORN_DT_NONE, 0, nullptr, 0);
}

int32_t CDornObject::ReleaseWhenUnlocked()
{
    if (lockCount_ > 0) return 0;
    EraseFromRegistry(this);
    removed_ = 1;
    RemoveFromParent();
    return 1;
}

int32_t CDornObject::CreateChild(uint32_t id, CDornObject** child)
{
    Lock();
    CDornObject* made = MakeChild(id);
    if (child) *child = made;
    if (!made) {
        Unlock();
        return DORN_E_NO_WRAPPER;
    }
    children_.emplace_back(made);
    const int32_t r = made->Open(id, nullptr);
    if (r != 0) {
        RemoveChildInPlace(made);
        delete made;
        if (child) *child = nullptr;
    }
    Unlock();
    return r;
}

int32_t CDornObject::QueryChildCount(uint32_t* count, CAsyncTask* task)
{
    if (!HasCapability(DORN_CAP_CHILDREN)) return DORN_E_NOT_OFFERED;
    auto* context = new DornCompletionContext{this, count, 1};
    task->AddRequest(this, DORN_CMD_GET, DORN_CAP_CHILDREN, DORN_DT_PENUM, reinterpret_cast<uintptr_t>(&childEnum_),
                     &CDornObject::LayerCompletion, reinterpret_cast<uintptr_t>(context));
    return 0;
}

int32_t CDornObject::EnumerateChildren(CAsyncTask* task)
{
    if (!HasCapability(DORN_CAP_CHILDREN)) return DORN_E_NOT_OFFERED;
    auto* first = new DornCompletionContext{this, &childIds_, 2};
    auto* second = new DornCompletionContext{this, task, 3};
    task->AddRequest(this, DORN_CMD_GET, DORN_CAP_CHILDREN, DORN_DT_PENUM, reinterpret_cast<uintptr_t>(&childEnum_),
                     &CDornObject::LayerCompletion, reinterpret_cast<uintptr_t>(first));
    task->AddRequest(this, DORN_CMD_GETELEMENTS, DORN_CAP_CHILDREN, DORN_DT_PENUM,
                     reinterpret_cast<uintptr_t>(&childEnum_), &CDornObject::LayerCompletion,
                     reinterpret_cast<uintptr_t>(second));
    return 0;
}

int32_t CDornObject::QueueIdle(CAsyncTask* task)
{
    task->AddRequest(this, DORN_CMD_IDLE, 0, DORN_DT_NONE, 0, nullptr, 0);
    return 0;
}

void CDornObject::MakeChildrenFromBuffer(CAsyncTask* task)
{
    std::vector<uint32_t> ids;
    if (childEnum_.bytesPerElement == 4) {
        const size_t n = std::min<size_t>(childEnum_.elementCount, childIds_.size());
        ids.assign(childIds_.begin(), childIds_.begin() + static_cast<std::ptrdiff_t>(n));
    }
    childIds_.clear();
    childIds_.shrink_to_fit();
    childEnum_.data = nullptr;
    for (uint32_t id : ids) {
        CDornObject* child = MakeChild(0);
        if (!child) continue;
        children_.emplace_back(child);
        child->Open(id, task);
    }
}

int32_t CDornObject::LayerCompletion(DornObjectRecord*, uint32_t, uint32_t, uint32_t, uintptr_t, uintptr_t reference,
                                     int32_t result)
{
    std::unique_ptr<DornCompletionContext> context(reinterpret_cast<DornCompletionContext*>(reference));
    if (!context || !IsLive(context->object)) return 0;
    CDornObject* object = context->object;
    if (result != 0) {
        // A child whose asynchronous open failed leaves the children again.
        if (context->kind == 4 && object->parent_ && !object->open_ && !object->beingRemoved_)
            object->parent_->RemoveChild(object);
        return 0;
    }
    switch (context->kind) {
    case 1:
        *static_cast<uint32_t*>(context->target) = object->childEnum_.elementCount;
        break;
    case 2: {
        const uint32_t count = object->childEnum_.elementCount;
        const uint32_t bpe = object->childEnum_.bytesPerElement > 4 ? object->childEnum_.bytesPerElement : 4;
        if (count > (1u << 20)) {
            object->childEnum_.elementCount = 0;
            object->childEnum_.data = nullptr;
            break;
        }
        object->childIds_.assign((static_cast<size_t>(count) * bpe + 3) / 4, 0);
        object->childEnum_.data = object->childIds_.data();
        break;
    }
    case 3:
        object->MakeChildrenFromBuffer(static_cast<CAsyncTask*>(context->target));
        break;
    case 4:
        object->open_ = 1;
        object->RefreshCapabilities();
        break;
    default:
        break;
    }
    return 0;
}
