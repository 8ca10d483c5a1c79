#include "viewer/sources/camera/tests/FakeModule.h"

#include <cstring>

namespace camtest {

namespace {
FakeModule* g_current = nullptr;
}

DornCapRecord FakeCap(uint32_t id, uint32_t operations, uint32_t type, uint32_t listFlags)
{
    DornCapRecord r{};
    r.id = id;
    r.type = type;
    r.operationFlags = operations;
    r.listFlags = listFlags;
    std::snprintf(r.description, sizeof(r.description), "cap %u", id);
    return r;
}

FakeModule::FakeModule()
{
    g_current = this;
    const std::vector<DornCapRecord> base = {FakeCap(2), FakeCap(3), FakeCap(5), FakeCap(7, DORN_OP_GET, 12)};
    for (uint32_t type = 1; type <= 4; ++type) caps[type] = base;
}

FakeModule::~FakeModule()
{
    g_current = nullptr;
}

FakeModule* FakeModule::Current()
{
    return g_current;
}

int32_t FakeModule::Entry(DornObjectRecord* object, uint32_t command, uint32_t parameter, uint32_t dataType,
                          uintptr_t data, DornCompletionProc proc, uintptr_t reference)
{
    FakeModule* m = g_current;
    if (!m) return DORN_E_NOT_OPEN;
    FakeCall call{object, command, parameter, dataType, data, proc != nullptr};
    m->calls.push_back(call);
    if (command == DORN_CMD_PUMP) {
        m->Pump(object);
        return 0;
    }
    if (command == DORN_CMD_ABORT) {
        if (m->completeOnAbort) {
            std::vector<FakePending> aborted;
            for (auto it = m->pending.begin(); it != m->pending.end();) {
                if (!object || it->call.object == object) {
                    aborted.push_back(*it);
                    it = m->pending.erase(it);
                } else {
                    ++it;
                }
            }
            for (const FakePending& p : aborted)
                p.proc(p.call.object, p.call.command, p.call.parameter, p.call.dataType, p.call.data, p.reference,
                       DORN_E_CANCELLED);
        }
        return 0;
    }
    if (command == DORN_CMD_GO) return 0;
    const int32_t result = m->Answer(call);
    if (!proc) return result;
    switch (m->async) {
    case Async::Inside:
        proc(object, command, parameter, dataType, data, reference, result);
        return 0;
    case Async::Refuse:
        return result != 0 ? result : 77;
    default:
        m->pending.push_back({call, proc, reference, result});
        return 0;
    }
}

void FakeModule::Pump(DornObjectRecord* object)
{
    if (async == Async::Never) return;
    std::vector<FakePending> due;
    for (auto it = pending.begin(); it != pending.end();) {
        if (!object || it->call.object == object) {
            due.push_back(*it);
            it = pending.erase(it);
        } else {
            ++it;
        }
    }
    for (const FakePending& p : due)
        p.proc(p.call.object, p.call.command, p.call.parameter, p.call.dataType, p.call.data, p.reference, p.result);
}

void FakeModule::CompleteAll(int32_t result)
{
    std::vector<FakePending> due;
    due.swap(pending);
    for (const FakePending& p : due)
        p.proc(p.call.object, p.call.command, p.call.parameter, p.call.dataType, p.call.data, p.reference, result);
}

size_t FakeModule::Count(uint32_t command, int64_t parameter) const
{
    size_t n = 0;
    for (const FakeCall& c : calls)
        if (c.command == command && (parameter < 0 || c.parameter == static_cast<uint32_t>(parameter))) ++n;
    return n;
}

void FakeModule::SendEvent(DornObjectRecord* object, uint32_t event, uint32_t data)
{
    auto it = callbacks.find(object);
    if (it == callbacks.end()) return;
    auto cb = it->second.find(DORN_CAP_EVENT_CB);
    if (cb == it->second.end()) return;
    reinterpret_cast<DornEventProc>(cb->second.procedure)(cb->second.reference, event, data);
}

int32_t FakeModule::Answer(const FakeCall& call)
{
    if (hook) {
        if (std::optional<int32_t> r = hook(call)) return *r;
    }
    DornObjectRecord* object = call.object;
    switch (call.command) {
    case DORN_CMD_OPEN: {
        auto* record = reinterpret_cast<DornObjectRecord*>(call.data);
        const uint32_t type = object ? types[object] + 1 : 1;
        record->objectType = type;
        record->objectId = call.parameter;
        types[record] = type;
        return 0;
    }
    case DORN_CMD_CLOSE:
        callbacks.erase(object);
        return 0;
    case DORN_CMD_CAPCOUNT:
        *reinterpret_cast<uint32_t*>(call.data) = static_cast<uint32_t>(caps[types[object]].size());
        return 0;
    case DORN_CMD_CAPRECORDS: {
        const auto& list = caps[types[object]];
        if (call.parameter != list.size()) return DORN_E_CHANGED;
        std::memcpy(reinterpret_cast<void*>(call.data), list.data(), list.size() * sizeof(DornCapRecord));
        return 0;
    }
    case DORN_CMD_SET:
        if (call.dataType == DORN_DT_PCALLBACK) {
            const auto* cb = reinterpret_cast<const DornCallbackRecord*>(call.data);
            if (cb->procedure)
                callbacks[object][call.parameter] = *cb;
            else
                callbacks[object].erase(call.parameter);
        }
        return 0;
    case DORN_CMD_GET:
        if (call.parameter == DORN_CAP_IDLE_PERIOD) {
            *reinterpret_cast<uint32_t*>(call.data) = idlePeriod;
            return 0;
        }
        if (call.parameter == DORN_CAP_CHILDREN) {
            auto* e = reinterpret_cast<DornEnum*>(call.data);
            e->elementType = DORN_ELEM_U32A;
            e->elementCount = static_cast<uint32_t>(childIds.size());
            e->bytesPerElement = 4;
            return 0;
        }
        return 0;
    case DORN_CMD_GETELEMENTS:
        if (call.parameter == DORN_CAP_CHILDREN) {
            auto* e = reinterpret_cast<DornEnum*>(call.data);
            if (e->elementCount != childIds.size()) return DORN_E_CHANGED;
            if (!childIds.empty()) std::memcpy(e->data, childIds.data(), childIds.size() * 4);
        }
        return 0;
    default:
        return 0;
    }
}

}  // namespace camtest
