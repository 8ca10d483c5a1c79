#pragma once
// The end of the session: SIGTERM, SIGHUP and SIGINT stand for the session ending.
// Once installed, a signal is taken to the UI thread (self-pipe), which asks every
// window registered here with a send of kMsgQueryEndSession (non-zero = may end),
// then sends each kMsgEndSession with wParam 1 when all agreed, 0 otherwise.
// With no window registered the application quits.
#include "platform/msg/WindowHandle.h"

#include <string>

namespace plat {

// Call on the UI thread once the application object exists. Installing again is a
// no-op. False (with a reason) when the pipe or the handlers cannot be set up.
bool installSessionEndHandling(std::string* error = nullptr);

void addSessionEndWindow(WindowHandle window);
void removeSessionEndWindow(WindowHandle window);

}  // namespace plat
