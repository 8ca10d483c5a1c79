#include "platform/thread/PictureHeap.h"

#include <malloc.h>

namespace plat {

void keepPictureMemoryInHeap() {
    // Without the first, large blocks are still mapped and unmapped one by one;
    // without the second, the freed heap top goes back to the kernel. The third
    // puts every thread on the main heap: a thread's own arena grows in heaps of
    // at most 64 MiB, and an extra heap is unmapped as soon as it is empty, so a
    // picture decoded off the main thread faulted its pages in afresh each time
    // whatever the trim threshold says.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    mallopt(M_ARENA_MAX, 1);
}

}  // namespace plat
