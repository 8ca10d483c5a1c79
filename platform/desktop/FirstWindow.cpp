#include "platform/desktop/FirstWindow.h"

#include "platform/desktop/DesktopFolder.h"
#include "platform/thread/Timing.h"


namespace plat {

bool waitForFirstWindow(pid_t pid, uint32_t timeoutMs) {
    const uint32_t start = tickCount();
    for (;;) {
        if (auto folder = desktop::DesktopFolder::open(nullptr)) {
            desktop::ProcessEntry entry;
            if (folder->readEntry(pid, &entry) && !entry.windows.empty() && desktop::processAlive(pid, entry.startTime))
                return true;
        }
        // A program that ended (or never was) will never register.
        if (!desktop::processRunning(pid)) return false;
        if (tickCount() - start >= timeoutMs) return false;
        sleepMs(50);
    }
}

}  // namespace plat
