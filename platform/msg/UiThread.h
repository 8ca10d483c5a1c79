#pragma once
// Work that must run on the user-interface thread (the thread of the application
// object), asked for from any thread. A worker blocks until the UI thread has run
// it; the UI thread takes it from its event loop, modal loops included, and while
// it is itself blocked in a send.
#include <functional>

namespace plat {

bool isUiThread();

// Runs work on the UI thread and waits for it. Runs it directly when called on the
// UI thread. False when there is no application object.
bool runOnUiThread(const std::function<void()>& work);

// Runs a modal dialog (or any step that answers a number) on the UI thread and
// gives its answer; failure when it could not run.
int runModalOnUiThread(const std::function<int()>& dialog, int failure = -1);

}  // namespace plat
