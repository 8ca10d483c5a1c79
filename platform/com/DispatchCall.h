#pragma once
// The client side of automation: invoke a member of a remote object by dispatch id.
#include "platform/com/DispatchObject.h"
#include "platform/com/RemoteObject.h"

#include <vector>

namespace plat {

HResult invokeDispatch(RemoteObject& object, int32_t dispId, DispatchKind kind, const std::vector<Variant>& args,
                       Variant* result = nullptr);

}  // namespace plat
