#include "platform/thread/PictureHeap.h"

#include <malloc.h>

namespace plat {

void keepPictureMemoryInHeap() {
    // Either setting alone does not do it: without the first, large blocks are
    // still mapped and unmapped one by one; without the second, the freed heap
    // top goes back to the kernel.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
}

}  // namespace plat
