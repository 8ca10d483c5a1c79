#pragma once
// A scripted camera module for the layer's own tests: it records every entry
// call, answers from a small model (capabilities per object type, child ids, an
// idle period) and lets a test answer any call itself through a hook.
// Asynchronous requests complete on the target's next command 0, inside the
// call, never, or are refused without a completion.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "outside/dorn/DornAbi.h"

namespace camtest {

struct FakeCall {
    DornObjectRecord* object = nullptr;
    uint32_t command = 0;
    uint32_t parameter = 0;
    uint32_t dataType = 0;
    uintptr_t data = 0;
    bool async = false;
};

struct FakePending {
    FakeCall call;
    DornCompletionProc proc = nullptr;
    uintptr_t reference = 0;
    int32_t result = 0;
};

DornCapRecord FakeCap(uint32_t id, uint32_t operations = DORN_OP_GET | DORN_OP_SET | DORN_OP_START,
                      uint32_t type = 0, uint32_t listFlags = 0);

class FakeModule {
public:
    enum class Async { OnPump, Inside, Never, Refuse };

    FakeModule();
    ~FakeModule();
    static FakeModule* Current();
    static int32_t Entry(DornObjectRecord* object, uint32_t command, uint32_t parameter, uint32_t dataType,
                         uintptr_t data, DornCompletionProc proc, uintptr_t reference);

    // Capabilities by object type (1 module, 2 source, 3 item, 4 data object).
    std::map<uint32_t, std::vector<DornCapRecord>> caps;
    std::vector<uint32_t> childIds;   // what capability 7 lists, on any object
    uint32_t idlePeriod = 0;
    Async async = Async::OnPump;
    bool completeOnAbort = true;      // command 11 completes the request in flight
    std::function<std::optional<int32_t>(const FakeCall&)> hook;

    std::vector<FakeCall> calls;
    std::vector<FakePending> pending;
    std::map<DornObjectRecord*, std::map<uint32_t, DornCallbackRecord>> callbacks;
    std::map<DornObjectRecord*, uint32_t> types;

    size_t Count(uint32_t command, int64_t parameter = -1) const;
    void SendEvent(DornObjectRecord* object, uint32_t event, uint32_t data);
    void CompleteAll(int32_t result);

private:
    int32_t Answer(const FakeCall& call);
    void Pump(DornObjectRecord* object);
};

}  // namespace camtest
