#pragma once
// How the programs that decode pictures keep their memory.
//
// Decoding one photograph allocates and frees blocks of tens of megabytes (the
// whole-picture pixels, a progressive JPEG's coefficients). By default the C
// library hands such blocks straight back to the kernel when they are freed, so
// the next picture faults in and zeroes the same amount of fresh pages again; for
// a thumbnail that costs more than the decoding. Kept in the heap, the next
// picture reuses them. The price is up to half a gigabyte the process holds on to
// after its largest work (several large pictures at once), which a picture
// program may well need again; and all threads share one heap lock, which the
// picture work (a few large blocks per picture) does not feel.
namespace plat {

// Call once at start-up, before other threads run: blocks up to 64 MiB come from
// the heap, every thread allocates from the main heap, and up to 512 MiB of free
// heap is kept rather than given back.
void keepPictureMemoryInHeap();

}  // namespace plat
