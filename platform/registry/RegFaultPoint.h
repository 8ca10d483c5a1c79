#pragma once
// An injectable failure point for tests: every registry write asks it when its
// transaction begins and again just before it commits, and a test makes either
// step fail with the result it chooses, then checks that nothing was half-done.
// Unused outside tests.
#include "platform/registry/RegTypes.h"

#include <functional>

namespace plat {

enum class RegStep { BeginWrite, Commit };

// Returns the result to fail the step with, or RegResult::Ok to let it run.
using RegFaultHook = std::function<RegResult(RegStep)>;

void setRegistryFaultHook(RegFaultHook hook);
RegResult injectedRegistryFault(RegStep step);

class ScopedRegistryFault {
public:
    explicit ScopedRegistryFault(RegFaultHook hook) { setRegistryFaultHook(std::move(hook)); }
    ~ScopedRegistryFault() { setRegistryFaultHook({}); }
    ScopedRegistryFault(const ScopedRegistryFault&) = delete;
    ScopedRegistryFault& operator=(const ScopedRegistryFault&) = delete;
};

}  // namespace plat
