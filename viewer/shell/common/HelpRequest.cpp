#include "viewer/shell/common/HelpRequest.h"

#include <utility>

namespace {

HelpHandler& Handler() {
    static HelpHandler handler;
    return handler;
}

}  // namespace

HelpHandler SetHelpHandler(HelpHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

bool RequestHelp(uint32_t contextId) {
    // A copy: the handler may replace itself while it runs (a closing main frame).
    const HelpHandler handler = Handler();
    if (!handler) return false;
    handler(contextId);
    return true;
}
