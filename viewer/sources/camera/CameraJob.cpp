#include "viewer/sources/camera/CameraJob.h"

#include "platform/msg/Messaging.h"
#include "platform/thread/Timing.h"

namespace camerajob {

bool WaitForWindow(plat::WindowHandle window, uint32_t limitMs)
{
    for (uint32_t waited = 0; !plat::isWindow(window); waited += 200) {
        if (waited >= limitMs) return false;
        plat::sleepMs(200);
    }
    return true;
}

}  // namespace camerajob
