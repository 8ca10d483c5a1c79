#pragma once
// How the programs that decode pictures keep their memory.
//
// Decoding one photograph allocates and frees blocks of tens of megabytes (the
// whole-picture pixels, a progressive JPEG's coefficients). By default the C
// library hands such blocks straight back to the kernel when they are freed, so
// the next picture faults in and zeroes the same amount of fresh pages again; for
// a thumbnail that costs more than the decoding. Kept in the heap, the next
// picture reuses them. The price is up to a few hundred megabytes the process
// holds on to after a large picture, which a picture program may well need again.
namespace plat {

// Call once at start-up, before other threads run: blocks up to 64 MiB come from
// the heap, and up to 128 MiB of free heap is kept rather than given back.
void keepPictureMemoryInHeap();

}  // namespace plat
